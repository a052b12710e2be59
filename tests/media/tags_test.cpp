// Tags read for the second title line, on bytes and on files made here the way other tools write them (TagLib or
// libavformat reading each container); the loudness tags; what the bus is told of a track and the cover's file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <vector>
#include "media/Id3v1Tag.h"
#include "media/ReplayGain.h"
#include "media/TagLibTag.h"
#include "media/TrackDetails.h"
#include "media/TrackTag.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {
std::string Repeat(const std::string& s, int n) { std::string r; while (n-- > 0) r += s; return r; }
std::string Raw(const std::string& s, int a, int b) { return CutId3v1Field((const unsigned char*)s.data(), a, b); }

// A field is cut after its first padding byte; the tail's title and artist are then shown decoded.
TEST(Id3v1Test, FieldIsCutAfterItsFirstPaddingByteAndTitleAndArtistAreShown) {
    const struct { const char* name; std::string field, raw; } cuts[] = {  // field: 30 bytes
        {"zero padding", "Song" + std::string(26, '\0'), std::string("Song\0", 5)},
        {"all zeros give one zero", std::string(30, '\0'), std::string(1, '\0')},
        {"30 equal letters give one", std::string(30, 'x'), "x"},
        {"line feed before padding is kept", "Band\n" + std::string(25, '\0'), "Band\n"},
        {"line feeds among padding are walked over", "ab\n\n" + std::string(26, '\0'), "ab\n"},
        {"full field ending in a new byte is whole", std::string(29, 'q') + "r", std::string(29, 'q') + "r"},
        {"half a CP932 character is kept", std::string(29, 'q') + "\x96", std::string(29, 'q') + "\x96"},
        {"padding inside the text stays", "A  B" + std::string(26, ' '), "A  B "},
        {"last byte repeated by the text", std::string(28, 'm') + "nn", std::string(28, 'm') + "n"},
    };
    for (const auto& c : cuts) EXPECT_EQ(Raw("kkk" + c.field + std::string(95, 'k'), 3, 32), c.raw) << c.name;
    // An all-padding field looks at the byte before it, here the marker's 'G', and stops there.
    EXPECT_EQ(Raw(Id3v1Block(std::string(30, 'G'), ""), 3, 32), "G");
    const struct { const char* name; std::string tail; bool present; std::string title, artist; } cases[] = {
        {"zero padded", Id3v1Block("Song", "Band"), true, "Song", "Band"},
        {"empty fields", Id3v1Block("", ""), true, "", ""},
        {"zero inside ends the text", Id3v1Block(std::string("AB\0CD", 5), "x", ' '), true, "AB", "x "},
        {"lower-case marker", Id3v1Block("Song", "Band", '\0', "tag"), false, "", ""},
        {"marker with one letter off", Id3v1Block("Song", "Band", '\0', "TAx"), false, "", ""},
        {"no marker", Id3v1Block("Song", "Band", '\0', "ID3"), false, "", ""},
        {"Shift-JIS decoded", Id3v1Block("\x8B\xC8", "\x89\xCC\x8E\xE8"), true, "曲", "歌手"},
        {"UTF-8 kept", Id3v1Block("\xE6\x9B\xB2", "Z"), true, "\xE6\x9B\xB2", "Z"},
        {"undecodable byte replaced", Id3v1Block("a\xFF", "b"), true, "a\xEF\xBF\xBD", "b"},
        {"half a CP932 character at the end dropped", Id3v1Block("\x8B\xC8\x96", "b"), true, "曲", "b"},
        {"a second byte in the first-byte range is no half", Id3v1Block("\x8B\xC8\x8B\x96", "b"), true, "曲許", "b"},
        {"a short read counts as zero", "TAGabc", true, "abc", ""},
        {"too short for the marker", "TA", false, "", ""},
    };
    for (const auto& c : cases) {
        const Id3v1Tag tag = ParseId3v1Tail(c.tail);
        EXPECT_EQ(std::tie(tag.present, tag.title, tag.artist), std::tie(c.present, c.title, c.artist)) << c.name;
    }
}

const std::string kSong = "\xE6\x9B\xB2\xE5\x90\x8D", kSinger = "\xE6\xAD\x8C\xE6\x89\x8B";  // 曲名, 歌手
const std::string kSongCp932 = "\x8B\xC8\x96\xBC";

std::string Size(size_t n, int bits) {  // 4 bytes, big-endian, 7 (sync-safe) or 8 bits each
    std::string o; for (int i = 3; i >= 0; --i) o += char((n >> (bits * i)) & ((1u << bits) - 1)); return o;
}
// An ID3v2 frame (its size in 8 bits a byte in version 2.3, 7 in 2.4) and a tag of frames of version 3 or 4.
std::string Frame(const char* id, std::string b, int bits) { return id + Size(b.size(), bits) + '\0' + '\0' + b; }
std::string Id3v2(char v, const std::string& f) { return std::string{'I', 'D', '3', v, 0, 0} + Size(f.size(), 7) + f; }

TEST(Latin1FieldTest, JapaneseLegacyBytesAreReadAsCp932) {
    const struct { const char* name; std::string bytes, shown; } cases[] = {
        {"IBM extension kanji", "\xFA\xB1\x8B\xB4", "\xEF\xA8\x91\xE6\xA9\x8B"},
        {"UTF-8 written into a Latin-1 field", kSong, kSong},
        {"CP932 kanji", kSongCp932 + " (Live)", kSong + " (Live)"},
        {"CP932 kanji, then the first halfwidth katakana", kSongCp932 + "\xA1", kSong + "\xEF\xBD\xA1"},
        {"CP932 katakana pair, ASCII trail bytes", "\x83\x40\x83\x43", "\xE3\x82\xA1\xE3\x82\xA4"},
        {"a lone katakana stays Windows-1252", "\x83\x41", "\xC6\x92" "A"},
        {"Latin-1 accents", "Caf\xE9 H\xE4\xE4y\xF6", "Caf\xC3\xA9 H\xC3\xA4\xC3\xA4y\xC3\xB6"},
        {"Latin-1 pair that is valid CP932", "Pok\xE9mon", "Pok\xC3\xA9mon"},
        {"curly apostrophe between letters", "It\x92s", "It\xE2\x80\x99s"},
        {"curly quotes, trade mark", "\x93Hi\x94 \x99", "\xE2\x80\x9CHi\xE2\x80\x9D \xE2\x84\xA2"},
        {"user-defined CP932 area", "\x82\xA0\xF0\x40", "\xE2\x80\x9A\xC2\xA0\xC3\xB0@"},
        {"unassigned CP932 code", "\x85\x40\x82\xA0", "\xE2\x80\xA6@\xE2\x80\x9A\xC2\xA0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Latin1FieldToUtf8(c.bytes), c.shown) << c.name;
}

// Files as other people's tools leave them, made by ffmpeg and mutagen (kMutagen), bytes added around.
// WAV: the later tag chunk wins, of a kind and of the two kinds. APE: the ID3v2 tag in front counts when the APE tag
// has no title. Matroska, WebM and an Ogg file with a Theora picture are read by libavformat (the Ogg's title is only
// in its Vorbis comments).
const char kMutagen[] = R"(import struct, sys
from mutagen.id3 import ID3, TIT2, TPE1
from mutagen.apev2 import APEv2
from mutagen.wave import WAVE
def chunk(name, body): return name + struct.pack('<I', len(body)) + body + b'\0' * (len(body) % 2)
def append(path, data):
    d = bytearray(open(path, 'rb').read()) + data
    d[4:8] = struct.pack('<I', len(d) - 8)
    open(path, 'wb').write(d)
def id3(tags, title, artist):
    tags.add(TIT2(encoding=3, text=title))
    if artist: tags.add(TPE1(encoding=3, text=artist))
    return tags
op, path, title, artist = (sys.argv[1:] + [''])[:4]
if op == 'info': append(path, chunk(b'LIST', b'INFO' + chunk(b'INAM', title.encode() + b'\0')))
if op == 'wave-id3': w = WAVE(path); w.add_tags(); id3(w.tags, title, artist); w.save()
if op == 'id3-chunk':
    id3(ID3(), title, artist).save(path + '.id3')
    append(path, chunk(b'id3 ', open(path + '.id3', 'rb').read()))
if op == 'front-id3': id3(ID3(), title, artist).save(path)
if op == 'ape': a = APEv2(); a.update({k: v for k, v in (('Title', title), ('Artist', artist)) if v}); a.save(path)
)";

// What is not a regular file has no tag.
TEST(TrackTagTest, EveryTagFormatOnFilesAsOtherToolsWriteThemAndNoneOnWhatIsNotARegularFile) {
    TempFolder tmp;
    const std::string py = "/usr/bin/python3 " + tmp.Write("make_tags.py", kMutagen) + " ";
    const std::string sine = "ffmpeg -v error -y -f lavfi -i sine=d=0.2 ", bare = sine + "-fflags +bitexact $F && ";
    const std::string film = "ffmpeg -v error -y -f lavfi -i testsrc=s=32x32:d=0.2 -f lavfi -i sine=d=0.2 ";
    const std::string ape = "printf 'MAC \\226\\017' >$F && ", tags = "-metadata title=曲名 -metadata artist=歌手 ";
    // The file: `head`, what `make` left in F (nothing without a `make`), `tail`.
    struct Case { const char* file; std::string make, tail, title, artist; bool present = true; std::string head{}; };
    const Case cases[] = {
        {"v23.mp3", sine + tags + "-id3v2_version 3 $F", "", kSong, kSinger},  // UTF-16 frames
        {"v24.mp3", sine + tags + "-id3v2_version 4 $F", "", kSong, kSinger},  // UTF-8 frames
        {"legacy.mp3", sine + "-id3v2_version 0 $F", "", kSong, "Caf\xC3\xA9", true,
         Id3v2(3, Frame("TIT2", '\0' + kSongCp932, 8) + Frame("TPE1", std::string("\0Caf\xE9", 5), 8))},
        {"x.flac", sine + tags + "$F", "", kSong, kSinger},
        {"x.opus", sine + tags + "-c:a libopus $F", "", kSong, kSinger},
        {"x.ogg", sine + tags + "-c:a libvorbis $F", "", kSong, kSinger},
        {"x.m4a", sine + tags + "-c:a aac $F", "", kSong, kSinger},
        {"x.wma", sine + tags + "$F", "", kSong, kSinger},
        {"x.wv", sine + tags + "$F", "", kSong, kSinger},  // APEv2
        {"both.mp3", sine + tags + "$F", Id3v1Block("one", "two", ' '), "one ", "two "},
        {"blank-v1.mp3", sine + tags + "$F", Id3v1Block("", "", ' '), kSong, kSinger},
        {"half-blank-v1.mp3", sine + tags + "$F", Id3v1Block("", "two", ' '), " ", "two "},
        {"blank-v1-only.mp3", sine + "-id3v2_version 0 $F", Id3v1Block("", "", ' '), " ", " "},
        {"broken.mp3", sine + "-id3v2_version 0 $F", "", "", "", false,
         Id3v2(3, "TIT2" + std::string("\x7F\x7F\x7F\x7F\0\0\0x", 8))},
        {"plain.wav", sine + "-ac 1 $F", "", "", "", false},
        {"v1-only.mp3", "", Id3v1Block("Song", "Band", ' '), "Song ", "Band "},
        {"v1-one-byte-early.mp3", "", Id3v1Block("Song", "Band", ' ') + "x", "", "", false, std::string(10, 'a')},
        {"v1-cut.mp3", "", Id3v1Block("Song", "Band", ' ').substr(0, 127), "", "", false},
        {"empty.mp3", "", "", "", "", false},
        {"info-info.wav", sine + "-metadata title=Title1 $F && " + py + "info $F Title2", "", "Title2", ""},
        {"info-id3.wav", sine + "-metadata title=Title1 -metadata artist=Band $F && " + py + "wave-id3 $F Title2", "",
         "Title2", "Band"},
        {"id3-info.wav", bare + py + "wave-id3 $F Title1 Band && " + py + "info $F Title2", "", "Title2", "Band"},
        {"id3-id3.wav", bare + py + "wave-id3 $F Title1 B1 && " + py + "id3-chunk $F Title2 B2", "", "Title2", "B2"},
        {"front.ape", ape + py + "front-id3 $F 曲名 歌手", "", "曲名", "歌手"},
        {"front-artist.ape", ape + py + "ape $F '' Other && " + py + "front-id3 $F 曲名 歌手", "", kSong, kSinger},
        {"front-titled.ape", ape + py + "ape $F Own Other && " + py + "front-id3 $F 曲名 歌手", "", "Own", "Other"},
        {"theora.ogv", film + "-c:v libtheora -c:a libvorbis -metadata:s:a title=曲名 -metadata:s:a artist=歌手 $F",
         "", "曲名", "歌手"},
        {"x.mkv", film + tags + "-c:v mpeg4 -c:a flac $F", "", "曲名", "歌手"},
        {"x.mka", sine + tags + "-c:a flac $F", "", "曲名", "歌手"},
        {"x.webm", film + tags + "-c:v libvpx -c:a libopus $F", "", "曲名", "歌手"},
        // 曲 14 times, then half of 名
        {"half.mp3", sine + "$F", Id3v1Block("A" + Repeat("\x8B\xC8", 14) + "\x96", "B"), "A" + Repeat("曲", 14), "B"},
    };
    for (const Case& c : cases) {
        const std::string command = "cd '" + tmp.path() + "' && F=m-" + c.file + " && " + c.make;
        ASSERT_TRUE(c.make.empty() || std::system(command.c_str()) == 0) << command;
        const std::string bytes = c.head + (c.make.empty() ? "" : tmp.Read("m-" + std::string(c.file))) + c.tail;
        for (const TrackTag& tag : {ReadTrackTag(tmp.Write(c.file, bytes)), ReadTrackTagFromBytes(bytes, c.file)})
            EXPECT_EQ(std::tie(tag.present, tag.title, tag.artist), std::tie(c.present, c.title, c.artist)) << c.file;
    }
    ::mkdir((tmp.path() + "folder.mp3").c_str(), 0755);
    ASSERT_EQ(::mkfifo((tmp.path() + "pipe.flac").c_str(), 0644), 0);  // a plain open would block
    for (const char* name : {"missing.mp3", "folder.mp3", "pipe.flac"})
        EXPECT_FALSE(ReadTrackTag(tmp.path() + name).present) << name;
    EXPECT_FALSE(ReadId3v1Tag(tmp.path() + "missing.mp3").opened);
    EXPECT_TRUE(ReadId3v1Tag(tmp.path() + "pipe.flac").opened);
}

std::string Le(uint64_t v, int w) { std::string b; for (int i = 0; i < w; ++i) b += char(v >> (8 * i)); return b; }
const std::string kHeader("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kContent("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const std::string kExtended("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
const std::string kFileProperties("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65", 16);
const std::string kStreamProperties("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65", 16);

std::string Utf16(const std::string& s) { std::string b; for (char c : s + '\0') b += {c, '\0'}; return b; }
// An object: its GUID, its size (`sizeAdjust` added to the true one) and its body.
std::string Object(const std::string& guid, const std::string& body, int64_t sizeAdjust = 0) {
    return guid + Le(static_cast<uint64_t>(24 + static_cast<int64_t>(body.size()) + sizeAdjust), 8) + body;
}
// One extended-content attribute: name, type, declared size and the value's bytes.
std::string Attribute(const std::string& name, int type, size_t size, const std::string& value) {
    return Le(Utf16(name).size(), 2) + Utf16(name) + Le(static_cast<uint64_t>(type), 2) + Le(size, 2) + value;
}
// A header with the two objects every file has (zeroed), then `objects`, `count` of them.
std::string Asf(const std::string& objects, int count) {
    const std::string all = Object(kFileProperties, std::string(80, '\0')) +
                            Object(kStreamProperties, std::string(80, '\0')) + objects;
    return kHeader + Le(30 + all.size(), 8) + Le(static_cast<uint64_t>(count + 2), 4) + "\x01\x02" + all;
}

// ASF headers are walked before TagLib reads them: an attribute count its object cannot hold, or an object that does
// not end where it says, leaves the file without a tag (TagLib would make 65 535 attributes).
TEST(AsfHeaderTest, OnlyHeadersThatAddUpAreRead) {
    const std::string t = Utf16("Song"), a = Utf16("Singer");  // title, artist, 3 empty fields
    const std::string song = Object(kContent, Le(t.size(), 2) + Le(a.size(), 2) + Le(0, 6) + t + a);
    const std::string empty = Attribute("", 0, 0, "");  // the smallest attribute: 8 bytes
    // title "": no tag. `details`: the bus's reader takes it, as it only refuses what would cost TagLib dear
    struct Case { const char* name; std::string file; const char* title; bool details = false; };
    const auto ext = [&](uint64_t count, const std::string& attribute, int times = 1) {  // `attribute` `times` over
        return Asf(song + Object(kExtended, Le(count, 2) + Repeat(attribute, times)), 2);
    };
    const Case cases[] = {
        {.name = "content description", .file = Asf(song, 1), .title = "Song"},
        {.name = "and one attribute", .file = ext(1, Attribute("WM/Year", 0, 10, Utf16("1999"))), .title = "Song"},
        {.name = "a boolean of its width", .file = ext(1, Attribute("B", 2, 4, Le(1, 4))), .title = "Song"},
        {.name = "4096 attributes", .file = ext(4096, empty, 4096), .title = "Song"},
        {.name = "4097 attributes", .file = ext(4097, empty, 4097), .title = "", .details = true},
        {.name = "count past its object", .file = ext(65535, ""), .title = ""},
        {.name = "count short of its object", .file = ext(0, empty), .title = "", .details = true},
        {.name = "a boolean of 2 bytes", .file = ext(1, Attribute("B", 2, 2, Le(1, 2))), .title = "", .details = true},
        {.name = "unknown value type", .file = ext(1, Attribute("B", 7, 0, "")), .title = "", .details = true},
        {.name = "value past its object", .file = ext(1, Attribute("B", 1, 9, "x")), .title = "", .details = true},
        {.name = "object under 24 bytes", .file = Asf(song + kExtended + Le(10, 8), 2), .title = ""},
        {.name = "object past the file", .file = Asf(song + Object(kExtended, Le(0, 2), 100), 2), .title = ""},
        {.name = "description shorter than its lengths", .file = Asf(Object(kContent, Le(40, 2)), 1), .title = ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadTagLibTagFromBytes(c.file, "t.wma").title, c.title) << c.name;
        EXPECT_EQ(ReadTrackDetailsFromBytes(c.file, "t.wma").artists.size(), *c.title || c.details ? 1u : 0u) << c.name;
    }
}

// Loudness tags: the forms real taggers write and the gain each gives, what is refused, album and track falling back to
// each other, Opus's R128 integers, clipping prevented by the peak; then the tags read from files each tagger's way.
using Fields = std::vector<std::pair<std::string, std::string>>;
constexpr double kNone = 99;  // no value
double Or(const std::optional<double>& v) { return v.value_or(kNone); }

// Each line: the fields; the track and album gain read; the gain applied in track mode and in order (album).
TEST(ReplayGainTest, TaggersFormsGiveTheirGain) {
    struct Case { Fields f; double track, album, asTrack, inOrder; };
    const Case cases[] = {
        {{{"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"}}, -6.02, -6.02, -6.02, -6.02},
        {{{"replaygain_track_gain", "+3.1 dB"}, {"replaygain_track_peak", "0.5"}}, 3.1, 3.1, 3.1, 3.1},
        {{{"REPLAYGAIN_TRACK_GAIN", "-6.5"}, {"REPLAYGAIN_ALBUM_GAIN", " -8.25DB "}}, -6.5, -8.25, -6.5, -8.25},
        {{{"REPLAYGAIN_ALBUM_GAIN", "-4 dB"}}, -4, -4, -4, -4},
        // Peaks above 1 (lossy overshoot) are kept; a gain that would lift the peak past full scale is lowered to fit.
        {{{"REPLAYGAIN_TRACK_GAIN", "2.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", "1.122018"}}, 2, 2, -1, -1},
        {{{"REPLAYGAIN_TRACK_GAIN", "+12 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.5"}, {"REPLAYGAIN_ALBUM_GAIN", "+1"},
          {"REPLAYGAIN_ALBUM_PEAK", "0.9"}}, 12, 1, 6.0206, 1},
        // Without any peak a positive gain could clip: none is given; a negative one is.
        {{{"REPLAYGAIN_TRACK_GAIN", "+3.00 dB"}}, 3, 3, 0, 0},
        // R128: 1/256 dB relative to -23 LUFS, 5 dB below ReplayGain's reference; it wins over REPLAYGAIN_*.
        {{{"R128_TRACK_GAIN", "-2816"}}, -6, -6, -6, -6},
        {{{"R128_TRACK_GAIN", "-3328"}, {"R128_ALBUM_GAIN", "+256"}, {"REPLAYGAIN_TRACK_GAIN", "1 dB"}}, -8, 6, -8, 0},
        {{{"r128_track_gain", "-32768"}}, -123, -123, -64, -64},
        // Refused: a decimal comma, exponents, words, other units, beyond 64 dB, a peak of 0, R128 decimals, ranges.
        {{{"REPLAYGAIN_TRACK_GAIN", "-6,02 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "-1e1 dB"}}, kNone, kNone, 0, 0},
        {{{"REPLAYGAIN_TRACK_GAIN", "loud"}, {"REPLAYGAIN_ALBUM_GAIN", "-3 LU"}}, kNone, kNone, 0, 0},
        {{{"REPLAYGAIN_TRACK_GAIN", "-65 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "inf"}}, kNone, kNone, 0, 0},
        {{{"REPLAYGAIN_TRACK_GAIN", "-3 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0"}}, -3, -3, -3, -3},
        {{{"R128_TRACK_GAIN", "-512.0"}, {"R128_ALBUM_GAIN", "40000"}, {"TITLE", "-6 dB"}}, kNone, kNone, 0, 0},
    };
    for (const Case& c : cases) {
        const GainTags tags = GainTagsFromFields(c.f);
        const std::string what = c.f.front().first + "=" + c.f.front().second;
        EXPECT_NEAR(Or(tags.track.gainDb), c.track, 0.01) << what;
        EXPECT_NEAR(Or(tags.album.gainDb), c.album, 0.01) << what;
        EXPECT_NEAR(AppliedGainDb(tags, GainMode::Track, false), c.asTrack, 0.001) << what;
        EXPECT_NEAR(AppliedGainDb(tags, GainMode::Auto, false), c.inOrder, 0.001) << what;
        EXPECT_EQ(AppliedGainDb(tags, GainMode::Auto, true), AppliedGainDb(tags, GainMode::Track, false)) << what;
        EXPECT_EQ(AppliedGainDb(tags, GainMode::Off, false), 0) << what;
    }
    // The device's word: hundredths, rounded down so a fitted gain stays within the peak; none for 0.
    for (auto [db, word] : {std::pair{6.0206, "6.02"}, {-6.02, "-6.02"}, {3.1, "3.10"}, {0.004, ""}, {-0.05, "-0.05"}})
        EXPECT_EQ(GainCommandWord(db), word) << db;
}

// Files tagged the way taggers do it (mutagen writes each container's own form); the audio from ffmpeg.
TEST(ReplayGainTest, TagsReadFromEachContainer) {
    if (std::system("ffmpeg -version >/dev/null 2>&1 && /usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0)
        GTEST_SKIP() << "needs ffmpeg and python3-mutagen";
    const TempFolder folder;
    // tag: Python run on f, the file as mutagen's File opened it, then f.save(); p is its path
    const std::string python = "from mutagen import File; from mutagen.id3 import TXXX; from mutagen.apev2 import "
                               "APEv2File as A; from mutagen.mp4 import MP4FreeForm as M; f=File(p); ";
    struct Case { const char *file, *encode, *tag; double track, album, peak; };
    const Case cases[] = {
        {"a.flac", "", "f['replaygain_track_gain']='-6.02 dB'; f['REPLAYGAIN_TRACK_PEAK']='0.5'", -6.02, -6.02, 0.5},
        {"b.mp3", "-c:a libmp3lame", "[f.tags.add(TXXX(desc=d, text=[v])) for d, v in (('replaygain_track_gain', "
         "'+3.1 dB'), ('REPLAYGAIN_ALBUM_GAIN', '-6.5'), ('REPLAYGAIN_TRACK_PEAK', '1.05'))]", 3.1, -6.5, 1.05},
        {"c.mp3", "-c:a libmp3lame", "f=A(p); f.add_tags(); f['Replaygain_Track_Gain']='-2.5 dB'", -2.5, -2.5, kNone},
        {"d.opus", "-c:a libopus", "f['R128_TRACK_GAIN']='-2816'; f['R128_ALBUM_GAIN']='-1280'", -6, 0, kNone},
        {"e.m4a", "-c:a aac", "k='----:com.apple.iTunes:replaygain_track_'; f[k+'gain']=[M(b'-7.00 dB')]; "
         "f[k+'peak']=[M(b'0.25')]", -7, -7, 0.25},
        {"f.wv", "-c:a wavpack", "f['REPLAYGAIN_ALBUM_GAIN']='-1.25 dB'", -1.25, -1.25, kNone},
    };
    for (const Case& c : cases) {
        const std::string path = folder.path() + c.file;
        const std::string make = "ffmpeg -nostdin -v error -f lavfi -i sine=d=0.2 -map_metadata -1 " +
                                 std::string(c.encode) + " '" + path + "' && /usr/bin/python3 -c \"p='" + path + "'; " +
                                 python + c.tag + "; f.save()\"";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const GainTags tags = ReadGainTags(path);
        EXPECT_NEAR(Or(tags.track.gainDb), c.track, 0.01) << c.file;
        EXPECT_NEAR(Or(tags.album.gainDb), c.album, 0.01) << c.file;
        EXPECT_NEAR(Or(tags.track.peak), c.peak, 0.001) << c.file;
    }
    EXPECT_EQ(ReadGainTags(folder.path() + "missing.flac"), GainTags{});
    EXPECT_EQ(ReadGainTags(folder.Write("junk.flac", "fLaC not really")), GainTags{});
}

const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + "front", kJpeg = "\xFF\xD8\xFF\xE0 back";

// ID3v2.4 frames: text in UTF-8 (values apart by a zero byte), a picture without MIME type or description of type
// `t`; a tag of them before eight MPEG-1 Layer III frames of 417 bytes (128 kbit/s).
std::string Text(const char* id, const std::string& values) { return Frame(id, "\x03" + values, 7); }
std::string Picture(char t, const std::string& b) { return Frame("APIC", std::string(2, '\0') + t + '\0' + b, 7); }
std::string Mp3(const std::string& f) { return Id3v2(4, f) + Repeat("\xFF\xFB\x90\x64" + std::string(413, '\0'), 8); }

TEST(TrackDetailsTest, TagsAndTheFrontCoverOfAnId3v2Tag) {
    enum : char { kOther = 0, kFront = 3, kBack = 4, kMedia = 6 };  // picture types
    const struct { const char* what; std::string bytes; bool withCover; TrackDetails expected; } cases[] = {
        {"all fields", Mp3(Text("TPE1", std::string("piman\0jzig", 10)) + Text("TALB", "Album") + Text("TPE2", "V.A.") +
                            Text("TRCK", "3/12") + Text("TPOS", "2") + Text("TCON", "Ambient")),
         true, {.artists = {"piman", "jzig"}, .albumArtists = {"V.A."}, .genres = {"Ambient"}, .album = "Album",
          .trackNumber = 3, .discNumber = 2}},
        {"front over back", Mp3(Picture(kBack, kJpeg) + Picture(kFront, kPng)), true, {.cover = kPng}},
        {"else the first", Mp3(Picture(kOther, kJpeg) + Picture(kMedia, kPng)), true, {.cover = kJpeg}},
        {"no picture format", Mp3(Picture(kFront, "<html>")), true, {}},
        {"not asked for", Mp3(Picture(kFront, kPng)), false, {}},
        {"no tag", Mp3(""), true, {}},
        {"not media", "plain text", true, {}},
    };
    const auto fields = [](const TrackDetails& d) {
        return std::tie(d.artists, d.albumArtists, d.genres, d.album, d.trackNumber, d.discNumber, d.cover);
    };
    for (const auto& c : cases)
        EXPECT_EQ(fields(ReadTrackDetailsFromBytes(c.bytes, "x.mp3", c.withCover)), fields(c.expected)) << c.what;
    EXPECT_EQ(JoinArtists({"piman", "jzig"}), "piman／jzig");
}

TEST(TrackDetailsTest, TheEmbeddedCoverIsWrittenOnceByItsBytesElseTheFoldersPictureNamesIt) {
    TempFolder cache, tracks;
    const std::string track = tracks.Write("a/x.mp3", "x");
    const std::string file = CoverFileFor(track, kPng, cache.path() + "velkaf/covers/");
    EXPECT_TRUE(file.starts_with(cache.path() + "velkaf/covers/") && file.ends_with("-13.png")) << file;
    EXPECT_EQ(cache.Read(file.substr(cache.path().size())), kPng);
    struct stat before {}, after {};
    ::stat(file.c_str(), &before);
    EXPECT_EQ(CoverFileFor(tracks.Write("b/y.mp3", "y"), kPng, cache.path() + "velkaf/covers/"), file);
    ::stat(file.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "not written again";
    EXPECT_NE(CoverFileFor(track, kJpeg, cache.path() + "velkaf/covers/"), file);
    // A cover of the size limit is written; one byte more is not (the folder has no picture to name).
    const std::string largest = std::string(kPng) + std::string(kCoverLimitBytes - std::string(kPng).size(), '\0');
    EXPECT_TRUE(CoverFileFor(track, largest, cache.path()).ends_with("-16777216.png"));
    EXPECT_EQ(CoverFileFor(track, largest + '\0', cache.path()), "");

    const struct { std::vector<std::string> files; std::string chosen; } folders[] = {
        {{"Folder.PNG", "cover.jpeg", "front.jpg"}, "cover.jpeg"},
        {{"FRONT.JPG", "back.jpg"}, "FRONT.JPG"},
        {{"folder.jpg", "Folder.jpg"}, "Folder.jpg"},
        {{"cover.gif", "albumart.jpg", "cover.jpg/inside"}, ""},
        {{}, ""},
    };
    for (const auto& f : folders) {
        TempFolder folder;
        for (const std::string& name : f.files) folder.Write(name, "picture");
        const std::string song = folder.Write("song.flac", "fLaC");
        const std::string chosen = f.chosen.empty() ? "" : folder.path() + f.chosen;
        EXPECT_EQ(CoverFileFor(song, "", cache.path()), chosen) << ::testing::PrintToString(f.files);
        EXPECT_EQ(CoverFileFor(song, "not a picture", cache.path()), chosen) << ::testing::PrintToString(f.files);
    }
}
}  // namespace
