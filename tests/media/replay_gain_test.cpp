// Loudness tags: the forms real taggers write and the gain each gives, what is refused, album and track falling back to
// each other, Opus's R128 integers, clipping prevented by the peak; then the tags read from files each tagger's way.
#include <gtest/gtest.h>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>
#include "media/ReplayGain.h"
#include "tests/support/TestSupport.h"

namespace {
using Fields = std::vector<std::pair<std::string, std::string>>;
constexpr double kNone = 99;  // no value

double Or(const std::optional<double>& v) { return v.value_or(kNone); }

// Each line: the fields, then the track and album gain read, and the gain applied in track mode and in order (album).
TEST(ReplayGainTest, TaggersFormsGiveTheirGain) {
    struct Case { Fields fields; double track, album, trackMode, inOrder; };
    const Case cases[] = {
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"}}, .track = -6.02, .album = -6.02, .trackMode = -6.02,
         .inOrder = -6.02},
        {.fields = {{"replaygain_track_gain", "+3.1 dB"}, {"replaygain_track_peak", "0.5"}}, .track = 3.1,
         .album = 3.1, .trackMode = 3.1, .inOrder = 3.1},
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "-6.5"}, {"REPLAYGAIN_ALBUM_GAIN", " -8.25DB "}}, .track = -6.5,
         .album = -8.25, .trackMode = -6.5, .inOrder = -8.25},
        {.fields = {{"REPLAYGAIN_ALBUM_GAIN", "-4 dB"}}, .track = -4, .album = -4, .trackMode = -4, .inOrder = -4},
        // Peaks above 1 (lossy overshoot) are kept: the gain that would lift them is lowered to fit.
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "2.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", "1.122018"}}, .track = 2,
         .album = 2, .trackMode = -1, .inOrder = -1},
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "+12 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.5"},
                    {"REPLAYGAIN_ALBUM_GAIN", "+1 dB"}, {"REPLAYGAIN_ALBUM_PEAK", "0.9"}},
         .track = 12, .album = 1, .trackMode = 6.0206, .inOrder = 1},
        // Without a peak a positive gain could clip: none is given; a negative one is.
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "+3.00 dB"}}, .track = 3, .album = 3, .trackMode = 0, .inOrder = 0},
        // R128: 1/256 dB relative to -23 LUFS, 5 dB below ReplayGain's reference; it wins over REPLAYGAIN_*.
        {.fields = {{"R128_TRACK_GAIN", "-2816"}}, .track = -6, .album = -6, .trackMode = -6, .inOrder = -6},
        {.fields = {{"R128_TRACK_GAIN", "-3328"}, {"R128_ALBUM_GAIN", "+256"}, {"REPLAYGAIN_TRACK_GAIN", "1 dB"}},
         .track = -8, .album = 6, .trackMode = -8, .inOrder = 0},
        {.fields = {{"r128_track_gain", "-32768"}}, .track = -123, .album = -123, .trackMode = -64, .inOrder = -64},
        // Refused: a decimal comma, exponents, words, other units, beyond 64 dB, a peak of 0, R128 decimals, ranges.
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "-6,02 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "-1e1 dB"}}, .track = kNone,
         .album = kNone, .trackMode = 0, .inOrder = 0},
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "loud"}, {"REPLAYGAIN_ALBUM_GAIN", "-3 LU"}}, .track = kNone,
         .album = kNone, .trackMode = 0, .inOrder = 0},
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "-65 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "inf"}}, .track = kNone,
         .album = kNone, .trackMode = 0, .inOrder = 0},
        {.fields = {{"REPLAYGAIN_TRACK_GAIN", "-3 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0"}}, .track = -3, .album = -3,
         .trackMode = -3, .inOrder = -3},
        {.fields = {{"R128_TRACK_GAIN", "-512.0"}, {"R128_ALBUM_GAIN", "40000"}}, .track = kNone, .album = kNone,
         .trackMode = 0, .inOrder = 0},
        {.fields = {{"REPLAYGAIN_REFERENCE_LOUDNESS", "89.0 dB"}, {"TITLE", "-6 dB"}}, .track = kNone,
         .album = kNone, .trackMode = 0, .inOrder = 0},
    };
    for (const Case& c : cases) {
        const GainTags tags = GainTagsFromFields(c.fields);
        const std::string what = c.fields.front().first + "=" + c.fields.front().second;
        EXPECT_NEAR(Or(tags.track.gainDb), c.track, 0.01) << what;
        EXPECT_NEAR(Or(tags.album.gainDb), c.album, 0.01) << what;
        EXPECT_NEAR(AppliedGainDb(tags, GainMode::Track, false), c.trackMode, 0.001) << what;
        EXPECT_NEAR(AppliedGainDb(tags, GainMode::Auto, false), c.inOrder, 0.001) << what;
    }
}

TEST(ReplayGainTest, ModesAndTheCommandWord) {
    const GainTags tags = GainTagsFromFields({{"REPLAYGAIN_TRACK_GAIN", "-6.02"}, {"REPLAYGAIN_ALBUM_GAIN", "-3.5"}});
    EXPECT_EQ(GainCommandWord(AppliedGainDb(tags, GainMode::Auto, false)), "-3.50");  // in order: the album's
    EXPECT_EQ(GainCommandWord(AppliedGainDb(tags, GainMode::Auto, true)), "-6.02");   // shuffled: the track's
    EXPECT_EQ(GainCommandWord(AppliedGainDb(tags, GainMode::Album, true)), "-3.50");
    EXPECT_EQ(GainCommandWord(AppliedGainDb(tags, GainMode::Off, false)), "");
    EXPECT_EQ(GainCommandWord(AppliedGainDb(GainTags{}, GainMode::Track, false)), "");
    EXPECT_EQ(GainCommandWord(0.004), "");
    EXPECT_EQ(GainCommandWord(3.1), "3.10");
    EXPECT_EQ(GainCommandWord(-0.05), "-0.05");
}

// Files tagged the way taggers do it (mutagen writes each container's own form); the audio from ffmpeg.
TEST(ReplayGainTest, TagsReadFromEachContainer) {
    if (std::system("ffmpeg -version >/dev/null 2>&1 && /usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0)
        GTEST_SKIP() << "needs ffmpeg and python3-mutagen";
    const TempFolder folder;
    struct Case { const char* file; const char* encode; const char* tag; double track, album, peak; };
    const Case cases[] = {
        {"a.flac", "", "from mutagen.flac import FLAC as F; f=F(p); f['replaygain_track_gain']='-6.02 dB';"
                       "f['REPLAYGAIN_TRACK_PEAK']='0.5'; f.save()", -6.02, -6.02, 0.5},
        {"b.mp3", "-c:a libmp3lame", "from mutagen.id3 import ID3,TXXX; f=ID3(); f.add(TXXX(desc="
         "'replaygain_track_gain',text=['+3.1 dB'])); f.add(TXXX(desc='REPLAYGAIN_ALBUM_GAIN',text=['-6.5']));"
         "f.add(TXXX(desc='REPLAYGAIN_TRACK_PEAK',text=['1.05'])); f.save(p)", 3.1, -6.5, 1.05},
        {"c.mp3", "-c:a libmp3lame", "from mutagen.apev2 import APEv2; f=APEv2(); f['Replaygain_Track_Gain']="
         "'-2.5 dB'; f.save(p)", -2.5, -2.5, kNone},
        {"d.opus", "-c:a libopus", "from mutagen.oggopus import OggOpus as F; f=F(p); f['R128_TRACK_GAIN']='-2816';"
         "f['R128_ALBUM_GAIN']='-1280'; f.save()", -6, 0, kNone},
        {"e.m4a", "-c:a aac", "from mutagen.mp4 import MP4,MP4FreeForm as M; f=MP4(p); k='----:com.apple.iTunes:';"
         "f[k+'replaygain_track_gain']=[M(b'-7.00 dB')]; f[k+'replaygain_track_peak']=[M(b'0.25')]; f.save()",
         -7, -7, 0.25},
        {"f.wv", "-c:a wavpack", "from mutagen.wavpack import WavPack as F; f=F(p); f['REPLAYGAIN_ALBUM_GAIN']="
         "'-1.25 dB'; f.save()", -1.25, -1.25, kNone},
    };
    for (const Case& c : cases) {
        const std::string path = folder.path() + c.file;
        const std::string make = "ffmpeg -nostdin -v error -f lavfi -i sine=d=0.2 -map_metadata -1 " +
                                 std::string(c.encode) + " '" + path + "' && /usr/bin/python3 -c \"p='" + path + "'; " +
                                 c.tag + "\"";
        ASSERT_EQ(std::system(make.c_str()), 0) << make;
        const GainTags tags = ReadGainTags(path);
        EXPECT_NEAR(Or(tags.track.gainDb), c.track, 0.01) << c.file;
        EXPECT_NEAR(Or(tags.album.gainDb), c.album, 0.01) << c.file;
        EXPECT_NEAR(Or(tags.track.peak), c.peak, 0.001) << c.file;
    }
    EXPECT_EQ(ReadGainTags(folder.path() + "missing.flac"), GainTags{});
    EXPECT_EQ(ReadGainTags(folder.Write("junk.flac", "fLaC not really")), GainTags{});
}
}  // namespace
