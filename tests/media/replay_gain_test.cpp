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

// Each line: the fields; the track and album gain read; the gain applied in track mode and in order (album).
TEST(ReplayGainTest, TaggersFormsGiveTheirGain) {
    struct Case { Fields f; double track, album, asTrack, inOrder; };
    const Case cases[] = {
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "-6.02 dB"}}, .track = -6.02, .album = -6.02, .asTrack = -6.02,
         .inOrder = -6.02},
        {.f = {{"replaygain_track_gain", "+3.1 dB"}, {"replaygain_track_peak", "0.5"}}, .track = 3.1, .album = 3.1,
         .asTrack = 3.1, .inOrder = 3.1},
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "-6.5"}, {"REPLAYGAIN_ALBUM_GAIN", " -8.25DB "}}, .track = -6.5,
         .album = -8.25, .asTrack = -6.5, .inOrder = -8.25},
        {.f = {{"REPLAYGAIN_ALBUM_GAIN", "-4 dB"}}, .track = -4, .album = -4, .asTrack = -4, .inOrder = -4},
        // Peaks above 1 (lossy overshoot) are kept; a gain that would lift the peak past full scale is lowered to fit.
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "2.00 dB"}, {"REPLAYGAIN_TRACK_PEAK", "1.122018"}}, .track = 2, .album = 2,
         .asTrack = -1, .inOrder = -1},
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "+12 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0.5"}, {"REPLAYGAIN_ALBUM_GAIN", "+1"},
               {"REPLAYGAIN_ALBUM_PEAK", "0.9"}}, .track = 12, .album = 1, .asTrack = 6.0206, .inOrder = 1},
        // Without any peak a positive gain could clip: none is given; a negative one is.
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "+3.00 dB"}}, .track = 3, .album = 3, .asTrack = 0, .inOrder = 0},
        // R128: 1/256 dB relative to -23 LUFS, 5 dB below ReplayGain's reference; it wins over REPLAYGAIN_*.
        {.f = {{"R128_TRACK_GAIN", "-2816"}}, .track = -6, .album = -6, .asTrack = -6, .inOrder = -6},
        {.f = {{"R128_TRACK_GAIN", "-3328"}, {"R128_ALBUM_GAIN", "+256"}, {"REPLAYGAIN_TRACK_GAIN", "1 dB"}},
         .track = -8, .album = 6, .asTrack = -8, .inOrder = 0},
        {.f = {{"r128_track_gain", "-32768"}}, .track = -123, .album = -123, .asTrack = -64, .inOrder = -64},
        // Refused: a decimal comma, exponents, words, other units, beyond 64 dB, a peak of 0, R128 decimals, ranges.
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "-6,02 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "-1e1 dB"}}, .track = kNone,
         .album = kNone, .asTrack = 0, .inOrder = 0},
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "loud"}, {"REPLAYGAIN_ALBUM_GAIN", "-3 LU"}}, .track = kNone, .album = kNone,
         .asTrack = 0, .inOrder = 0},
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "-65 dB"}, {"REPLAYGAIN_ALBUM_GAIN", "inf"}}, .track = kNone, .album = kNone,
         .asTrack = 0, .inOrder = 0},
        {.f = {{"REPLAYGAIN_TRACK_GAIN", "-3 dB"}, {"REPLAYGAIN_TRACK_PEAK", "0"}}, .track = -3, .album = -3,
         .asTrack = -3, .inOrder = -3},
        {.f = {{"R128_TRACK_GAIN", "-512.0"}, {"R128_ALBUM_GAIN", "40000"}, {"TITLE", "-6 dB"}}, .track = kNone,
         .album = kNone, .asTrack = 0, .inOrder = 0},
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
    EXPECT_EQ(std::vector<std::string>({GainCommandWord(6.0206), GainCommandWord(-6.02), GainCommandWord(3.1),
                                        GainCommandWord(0.004), GainCommandWord(-0.05)}),
              std::vector<std::string>({"6.02", "-6.02", "3.10", "", "-0.05"}));
}

// Files tagged the way taggers do it (mutagen writes each container's own form); the audio from ffmpeg.
TEST(ReplayGainTest, TagsReadFromEachContainer) {
    if (std::system("ffmpeg -version >/dev/null 2>&1 && /usr/bin/python3 -c 'import mutagen' 2>/dev/null") != 0)
        GTEST_SKIP() << "needs ffmpeg and python3-mutagen";
    const TempFolder folder;
    struct Case { const char *file, *encode, *tag; double track, album, peak; };
    const Case cases[] = {
        {.file = "a.flac", .encode = "", .tag = "from mutagen.flac import FLAC as F; f=F(p); "
         "f['replaygain_track_gain']='-6.02 dB'; f['REPLAYGAIN_TRACK_PEAK']='0.5'; f.save()", .track = -6.02,
         .album = -6.02, .peak = 0.5},
        {.file = "b.mp3", .encode = "-c:a libmp3lame", .tag = "from mutagen.id3 import ID3,TXXX; f=ID3(); f.add(TXXX("
         "desc='replaygain_track_gain',text=['+3.1 dB'])); f.add(TXXX(desc='REPLAYGAIN_ALBUM_GAIN',text=['-6.5']));"
         "f.add(TXXX(desc='REPLAYGAIN_TRACK_PEAK',text=['1.05'])); f.save(p)", .track = 3.1, .album = -6.5,
         .peak = 1.05},
        {.file = "c.mp3", .encode = "-c:a libmp3lame", .tag = "from mutagen.apev2 import APEv2; f=APEv2(); "
         "f['Replaygain_Track_Gain']='-2.5 dB'; f.save(p)", .track = -2.5, .album = -2.5, .peak = kNone},
        {.file = "d.opus", .encode = "-c:a libopus", .tag = "from mutagen.oggopus import OggOpus as F; f=F(p); "
         "f['R128_TRACK_GAIN']='-2816'; f['R128_ALBUM_GAIN']='-1280'; f.save()", .track = -6, .album = 0,
         .peak = kNone},
        {.file = "e.m4a", .encode = "-c:a aac", .tag = "from mutagen.mp4 import MP4,MP4FreeForm as M; f=MP4(p); "
         "k='----:com.apple.iTunes:'; f[k+'replaygain_track_gain']=[M(b'-7.00 dB')]; f[k+'replaygain_track_peak']="
         "[M(b'0.25')]; f.save()", .track = -7, .album = -7, .peak = 0.25},
        {.file = "f.wv", .encode = "-c:a wavpack", .tag = "from mutagen.wavpack import WavPack as F; f=F(p); "
         "f['REPLAYGAIN_ALBUM_GAIN']='-1.25 dB'; f.save()", .track = -1.25, .album = -1.25, .peak = kNone},
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
