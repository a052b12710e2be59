// The second title line's tag on files made here: every tag format TagLib reads for us, the
// ID3v1-first rule and where its 128 bytes lie, Japanese legacy bytes in Latin-1 fields, and
// damaged or odd files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "media/Id3v1Tag.h"
#include "media/TrackTag.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {

const std::string kSong = "\xE6\x9B\xB2\xE5\x90\x8D", kSinger = "\xE6\xAD\x8C\xE6\x89\x8B";  // 曲名, 歌手
const std::string kSongCp932 = "\x8B\xC8\x96\xBC";

std::string Size(size_t n, int bits) {  // 4 bytes, big-endian, 7 (sync-safe) or 8 bits each
    std::string out;
    for (int i = 3; i >= 0; --i) out += static_cast<char>((n >> (bits * i)) & ((1u << bits) - 1));
    return out;
}
std::string Latin1Frame(const std::string& id, const std::string& text) {
    return id + Size(text.size() + 1, 8) + std::string(3, '\0') + text;
}
std::string Id3v23(const std::string& frames) { return std::string("ID3\3\0\0", 6) + Size(frames.size(), 7) + frames; }
std::string Id3v1(const std::string& title, const std::string& artist) {
    return ("TAG" + title + std::string(30, ' ')).substr(0, 33) + (artist + std::string(95, ' ')).substr(0, 95);
}

TEST(Latin1FieldTest, JapaneseLegacyBytesAreReadAsCp932) {
    const struct { const char* name; std::string bytes, shown; } cases[] = {
        {"IBM extension kanji", "\xFA\xB1\x8B\xB4", "\xEF\xA8\x91\xE6\xA9\x8B"},
        {"UTF-8 written into a Latin-1 field", kSong, kSong},
        {"CP932 kanji", kSongCp932 + " (Live)", kSong + " (Live)"},
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

TEST(TrackTagTest, EveryTagFormatOnGeneratedFiles) {
    TempFolder tmp;
    const std::string tags = "-metadata title=" + kSong + " -metadata artist=" + kSinger;
    const struct {
        const char* file;
        std::string ffmpeg, before, after;  // the file: `before`, ffmpeg's output, `after`
        bool present;
        std::string title = "", artist = "";
    } cases[] = {
        {"v23.mp3", tags + " -id3v2_version 3", "", "", true, kSong, kSinger},  // UTF-16 frames
        {"v24.mp3", tags + " -id3v2_version 4", "", "", true, kSong, kSinger},  // UTF-8 frames
        {"legacy.mp3", "-id3v2_version 0", Id3v23(Latin1Frame("TIT2", kSongCp932) + Latin1Frame("TPE1", "Caf\xE9")), "",
         true, kSong, "Caf\xC3\xA9"},
        {"x.flac", tags, "", "", true, kSong, kSinger},
        {"x.opus", tags + " -c:a libopus", "", "", true, kSong, kSinger},
        {"x.ogg", tags + " -c:a libvorbis", "", "", true, kSong, kSinger},
        {"x.m4a", tags + " -c:a aac", "", "", true, kSong, kSinger},
        {"x.wma", tags, "", "", true, kSong, kSinger},
        {"x.wv", tags, "", "", true, kSong, kSinger},  // APEv2
        {"both.mp3", tags, "", Id3v1("one", "two"), true, "one ", "two "},
        {"blank-v1.mp3", tags, "", Id3v1("", ""), true, kSong, kSinger},
        {"half-blank-v1.mp3", tags, "", Id3v1("", "two"), true, " ", "two "},
        {"blank-v1-only.mp3", "-id3v2_version 0", "", Id3v1("", ""), true, " ", " "},
        {"broken.mp3", "-id3v2_version 0", Id3v23("TIT2" + std::string("\x7F\x7F\x7F\x7F\0\0\0x", 8)), "", false},
        {"plain.wav", "-ac 1", "", "", false},
        {"v1-only.mp3", "", "", Id3v1("Song", "Band"), true, "Song ", "Band "},
        {"v1-one-byte-early.mp3", "", std::string(10, 'a'), Id3v1("Song", "Band") + "x", false},
        {"v1-cut.mp3", "", "", Id3v1("Song", "Band").substr(0, 127), false},
        {"empty.mp3", "", "", "", false},
    };
    for (const auto& c : cases) {
        const std::string made = tmp.path() + "made-" + c.file;
        const std::string command = "ffmpeg -v error -y -f lavfi -i sine=d=0.2 " + c.ffmpeg + " '" + made + "'";
        ASSERT_TRUE(c.ffmpeg.empty() || std::system(command.c_str()) == 0) << command;
        const std::string audio = c.ffmpeg.empty() ? "" : tmp.Read("made-" + std::string(c.file));
        const std::string bytes = c.before + audio + c.after;
        for (const TrackTag& tag : {ReadTrackTag(tmp.Write(c.file, bytes)), ReadTrackTagFromBytes(bytes, c.file)}) {
            EXPECT_EQ(tag.present, c.present) << c.file;
            EXPECT_EQ(tag.title, c.title) << c.file;
            EXPECT_EQ(tag.artist, c.artist) << c.file;
        }
    }
}

TEST(TrackTagTest, WhatIsNotARegularFileHasNoTag) {
    TempFolder tmp;
    ::mkdir((tmp.path() + "folder.mp3").c_str(), 0755);
    ASSERT_EQ(::mkfifo((tmp.path() + "pipe.flac").c_str(), 0644), 0);  // a plain open would block
    for (const char* name : {"missing.mp3", "folder.mp3", "pipe.flac"})
        EXPECT_FALSE(ReadTrackTag(tmp.path() + name).present) << name;
    EXPECT_FALSE(ReadId3v1Tag(tmp.path() + "missing.mp3").opened);
    EXPECT_TRUE(ReadId3v1Tag(tmp.path() + "pipe.flac").opened);
}

}  // namespace
