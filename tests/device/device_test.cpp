// The device's command language: what the player writes parses to what it means, anything else is refused with a
// reason. The media device on generated media: exact command strings in, replies and pictures out; the device shell:
// one reply line per command line, and an orderly end however it is ended.
#include <QProcess>
#include <QRect>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "device/DeviceCommand.h"
#include "device/MpvMediaDevice.h"
#include "device/ProcessWaveVolume.h"
#include "device/VideoHostWidget.h"
#include "tests/device/TestMedia.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

// The tests wait for each open whole, as a caller without a tick to finish it would.
constexpr int kWholeOpen = 5000;
DeviceCommand Parse(const std::string& text) {
    ParsedCommand p = ParseDeviceCommand(text);
    EXPECT_TRUE(p.command.has_value()) << text << ": " << p.error;
    return p.command.value_or(DeviceCommand{});
}

TEST(DeviceCommandTest, EveryCommandThePlayerSendsReadsBackAndAnythingElseIsRefused) {
    const struct { std::string text, canonical = ""; } cases[] = {  // canonical "": the same as the text
        {"open \"/a/\xe6\x97\xa5 b.mp3\" type mpegvideo alias movie"}, {"close movie"}, {"stop movie"}, {"play movie"},
        {"play movie from 12345"}, {"pause movie"}, {"seek movie to -3"}, {"seek movie to start"},
        {"seek movie to end"}, {"status movie position"}, {"status movie length"}, {"status movie mode"},
        {"status movie time format"}, {"set movie time format milliseconds"}, {"set movie time format frames"},
        {"window movie handle 83886082"}, {"window movie handle default"}, {"where movie destination"},
        {"window movie handle default state minimized"}, {"put movie destination"},
        {"put movie destination at -5 20 0 0"}, {"seek movie to 2147483647"}, {"seek movie to -2147483648"},
        {"cue movie next \"/m/a \"b\".flac\""}, {"cue movie next"}, {"cue movie next \"/m/a \"b\".flac\" gain -6.02"},
        {"set movie gain -64.00"}, {"set movie gain 0.05"}, {"track movie audio"}, {"track movie audio next"},
        {"SEEK  movie\tTO +007", "seek movie to 7"}, {"set movie time format ms", "set movie time format milliseconds"},
        {"OPEN \"a b.mpg\" ALIAS M TYPE MPEGVideo", "open \"a b.mpg\" type mpegvideo alias M"},
        {"\t open   \"x\"y\"\ttype mpegvideo   alias movie  ", "open \"x\"y\" type mpegvideo alias movie"},
        {"CUE movie NEXT b.flac", "cue movie next \"b.flac\""},
        {"cue movie next b.flac GAIN +3.1", "cue movie next \"b.flac\" gain 3.10"},
        {"cue movie next \"b\" gain -0.00", "cue movie next \"b\""}, {"set movie gain 4", "set movie gain 4.00"},
        {"TRACK movie Subtitle NEXT", "track movie subtitle next"},
        {"open clip.mpg", "open \"clip.mpg\" type mpegvideo"},  // the path is the alias
    };
    for (const auto& [text, canonical] : cases) {
        const DeviceCommand c = Parse(text);
        EXPECT_EQ(FormatDeviceCommand(c), canonical.empty() ? text : canonical);
        EXPECT_EQ(Parse(FormatDeviceCommand(c)), c) << text;
    }
    const std::string refused[] = {
        "", " \t ", "movie", "open", "open \"\" alias movie", "open \"x.mpg alias movie", "open \"x.mpg\"alias movie",
        "open x\"y.mpg alias movie", "open\"x.mpg\" alias movie", "open \"x.mpg\" type cdaudio alias movie",
        "open x.mpg alias", "open x.mpg alias a alias b", "open x.mpg type mpegvideo type mpegvideo",
        "open x.mpg shareable", "open \"x\" alias movie\n", std::string("open \"x") + '\0' + "y\" alias movie", "close",
        "close movie now", "close \"movie\"", "play movie from", "play movie from 2147483648",
        "play movie from -2147483649", "play movie from 1e3", "play movie from 0x10", "play movie from +-1",
        "play movie from --1", "play movie to 5", "seek movie 5", "seek movie to", "seek movie to middle",
        "status movie", "status movie time", "status movie ready", "set movie time format",
        "set movie time format smpte 30", "set movie audio all off", "window movie handle",
        "window movie handle 5 state minimized", "window movie handle default state hide", "window movie text caption",
        "where movie", "where movie destination max", "put movie destination at 1 2 3",
        "put movie destination at 1 2 3 4 5", "put movie destination at 1 2 -3 4", "put movie destination at 1 2 3 -4",
        "put movie window at 1 2 3 4", "status movie mode\n", "status movie\rmode",
        std::string("status movie mode\0", 18), "capability movie can play", "cue movie", "cue movie after \"x\"",
        "cue movie next \"\"", "cue movie next \"x\" now", "cue movie next a b", "cue \"x\"", "cue movie next \"x\"y",
        "cue movie next gain 3", "cue movie next \"x\" gain", "cue movie next \"x\" gain 1.234",
        "cue movie next x gain 1e1", "cue movie next \"x\" gain 3 dB", "set movie gain", "set movie gain -64.01",
        "set movie gain 6,02", "set movie gain .5", "set movie gain 5.", "set movie gain +-1", "set movie gain inf",
        "set movie gain 3 time format ms", "track movie", "track movie video next", "track movie audio 2",
        "track movie subtitle next next", std::string(kMaxCommandLength + 1, 'a'),
    };
    for (const std::string& text : refused) {
        const ParsedCommand p = ParseDeviceCommand(text);
        EXPECT_TRUE(!p.command && !p.error.empty()) << text;
    }
    EXPECT_EQ(Parse("open \"" + std::string(kMaxCommandLength - 7, 'x') + "\"").path.size(), kMaxCommandLength - 7);
}

constexpr double kSameFrame = 4.0;  // libmpv and ffmpeg convert colours a little differently
std::string OpenCommand(const std::string& path) { return "open \"" + path + "\" type mpegvideo alias movie"; }
std::string CueCommand(const std::string& path) { return "cue movie next \"" + path + "\""; }

double MeanDifference(const QImage& a, const QImage& b) {  // per channel (0..255); 255 when the sizes differ
    if (a.size() != b.size() || a.isNull()) return 255.0;
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < x.width() * 3; ++i) sum += std::abs(x.constScanLine(row)[i] - y.constScanLine(row)[i]);
    return sum / (3.0 * x.width() * x.height());
}

// Of raw 16-bit stereo samples, both channels of the frames from `from` to `to` (0: the end); 0 when none.
double PcmRms(const std::string& path, long from = 0, long to = 0) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(from * 4);
    double sum = 0, count = 0;
    for (int16_t s = 0; (to == 0 || count < 2 * (to - from)) && in.read(reinterpret_cast<char*>(&s), 2); ++count)
        sum += static_cast<double>(s) * s;
    return count == 0 ? 0 : std::sqrt(sum / count);
}
const double kToneRms = 0.5 * 32767 / std::sqrt(2.0);  // tone.wav's, a sine at half amplitude, at full volume

// Reads the position at every look, 30 ms apart while the device plays, `looks` at most: it never goes back, nor
// stands still for more than `stillMost` looks in a row. Returns the positions read: the first before any look, the
// last once the device was seen not playing (or at the last look). `look` runs at every look.
std::vector<int> Watch(MpvMediaDevice& device, int looks, int stillMost, const std::function<void()>& look = [] {}) {
    const auto position = [&device] { return std::atoi(device.SendString("status movie position").c_str()); };
    std::vector<int> seen{position()};
    for (int i = 1, still = 0; i <= looks; ++i) {
        look();
        const bool playing = device.SendString("status movie mode") == "playing";
        if (playing) WaitUntil([] { return false; }, 30);
        seen.push_back(position());
        EXPECT_GE(seen.back(), seen.rbegin()[1]) << "after " << i << " looks";
        still = seen.back() == seen.rbegin()[1] ? still + 1 : 0;
        EXPECT_LE(still, stillMost) << "stands at " << seen.back();
        if (!playing) break;
    }
    return seen;
}

struct DeviceTest : ::testing::Test {
    explicit DeviceTest(bool capture = false)  // capture: the sound to pcm, raw samples; else nowhere
        : device(MediaDeviceOptions{capture ? "pcm" : "null", capture ? pcm : "", kWholeOpen}) {
        host.resize(400, 300);
    }
    std::string Send(const std::string& command) { return device.SendString(command); }
    bool Ok(const std::string& command) { return device.Execute(command).ok; }
    void Open(const std::string& name) { ASSERT_TRUE(Ok(OpenCommand(MediaPath(name)))) << name; }
    int Number(const std::string& command) { return std::atoi(Send(command).c_str()); }
    static std::string Attach(const VideoHostWidget& h) { return "window movie handle " + std::to_string(h.hostId()); }
    static bool BlackAround(const QImage& image, const QRect& inside = {}) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (!inside.contains(x, y) && image.pixel(x, y) != qRgb(0, 0, 0)) return false;
        return true;
    }
    QApplication& app = TestApplication();  // before the device
    TempFolder folder; const std::string pcm = folder.path() + "out.pcm";
    MpvMediaDevice device; VideoHostWidget host;
};

// An open that goes on in the background: "not ready" until it ends (play refused meanwhile), then open as any
// other; a close meanwhile gives it up and the next open works.
TEST_F(DeviceTest, AnOpenInTheBackgroundEndsOpenOrIsGivenUpByAClose) {
    MpvMediaDevice background(MediaDeviceOptions{.audioOutput = "null", .openWaitMs = 0});
    const auto opened = [&background](const char* name) {  // the first mode, then once no longer "not ready" (5 s most)
        EXPECT_TRUE(background.Execute(OpenCommand(MediaPath(name))).ok) << name;
        const std::string first = background.SendString("status movie mode");
        if (first == "not ready") { EXPECT_FALSE(background.Execute("play movie").ok) << "refused while it opens"; }
        std::string mode = first;
        WaitUntil([&] { return (mode = background.SendString("status movie mode")) != "not ready"; }, 5000);
        return first + ", then " + mode;
    };
    EXPECT_EQ(opened("video.mpg"), "not ready, then stopped");
    EXPECT_EQ(background.SendString("status movie length"), "4000");
    ASSERT_TRUE(background.Execute(OpenCommand(MediaPath("video.mpg"))).ok);
    EXPECT_TRUE(background.Execute("close movie").ok);
    EXPECT_EQ(background.SendString("status movie mode"), "");
    EXPECT_EQ(opened("tone.wav"), "not ready, then stopped");
    EXPECT_TRUE(background.Execute("play movie").ok);
}

TEST_F(DeviceTest, ModeAndPositionAfterEachCommand) {
    Open("video.mpg");
    struct Step { const char* command; bool ok; const char* mode; int position; };  // position -1: playing
    const Step steps[] = {
        {"status movie mode", true, "stopped", 0},     {"play movie", true, "playing", -1},
        {"pause movie", true, "paused", -1},           {"play movie", true, "playing", -1},
        {"stop movie", true, "stopped", -1},           {"seek movie to 1000", true, "stopped", 1000},
        {"pause movie", true, "paused", 1000},         {"play movie from 500", true, "playing", -1},
        {"seek movie to start", true, "stopped", 0},   {"seek movie to 1200", true, "stopped", 1200},
        // Malformed, or for another alias: refused, nothing changes.
        {"play movie fast", false, "stopped", 1200},   {"seek movie 100", false, "stopped", 1200},
        {"status movie mode\nplay movie", false, "stopped", 1200}, {"play other", false, "stopped", 1200},
        {"PLAY  MOVIE\tFROM 1300", true, "playing", -1},
        {"seek movie to end", true, "stopped", 4000},  {"play movie", true, "stopped", 4000},  // nothing left
        {"pause movie", true, "stopped", 4000},        {"seek movie to 2000", true, "stopped", 2000},
        {"seek movie to 99999", true, "stopped", 4000}, {"seek movie to -5", true, "stopped", 0},
        {"close movie", true, "", -1},                  {"play movie", false, "", -1},  // nothing open
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        EXPECT_EQ(Ok(s.command), s.ok);
        EXPECT_EQ(Send("status movie mode"), s.mode);
        if (s.position >= 0) { EXPECT_EQ(Send("status movie position"), std::to_string(s.position)); }
    }
}

// Files that are no media answer empty to everything and leave nothing open. The player opens the name alone, quoted,
// in the track's folder: whatever a name holds, that file opens (told by its length) and no other, not the files its
// pieces name, after the bad files too.
TEST_F(DeviceTest, BadFilesLeaveNothingOpenAndAnyFileNameOpensExactlyThatFile) {
    std::string noise(200000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 2654435761u >> 13);  // no media
    const std::string bad[] = {
        folder.path() + "missing.mpg", folder.Write("noise.mpg", noise), folder.Write("empty.mp3", ""), folder.path(),
        folder.Write("list.mpg", "#EXTM3U\n" + MediaPath("tone.wav") + "\n"),  // a playlist in disguise
        folder.Write("cut.mpg", std::string("\x00\x00\x01\xba\x44", 5)),
    };
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(Ok(OpenCommand(path)));
        for (const char* query : {"position", "length", "mode", "time format"})
            EXPECT_EQ(Send(std::string("status movie ") + query), "") << query;
        EXPECT_EQ(Send("where movie destination"), "");
        EXPECT_FALSE(Ok("play movie"));
    }
    CurrentFolderGuard cwd;
    const std::string names[] = {"a\"b.wav", "x\" alias evil type mpegvideo \"y.wav", "\"quoted\".wav", "\"",
                                 "two\nlines\r.wav", " blanks .wav", "type", "ends in a quote\""};
    for (const char* decoy : {"a", "b.wav", "x", "y.wav", "evil", "quoted", "two", "lines\r.wav", "blanks", "ends"})
        WriteToneWav(folder.path() + decoy, 1.5, 440, 0.2);
    for (size_t i = 0; i < std::size(names); ++i) WriteToneWav(folder.path() + names[i], 0.2 + 0.1 * i, 440, 0.2);
    std::filesystem::current_path(folder.path());
    for (size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_TRUE(Ok(OpenCommand(names[i])));
        EXPECT_EQ(Send("status movie length"), std::to_string(200 + 100 * i));
    }
}

// A file cut short or overwritten while it plays ends the track where its data ends: the
// device stops at its length, so the player moves on.
TEST_F(DeviceTest, FileCutOrSpoiledWhilePlayingEndsTheTrack) {
    for (const bool cut : {true, false}) {
        SCOPED_TRACE(cut ? "cut" : "overwritten");
        const std::string path = folder.path() + (cut ? "cut.mp3" : "spoiled.mp3");
        std::filesystem::copy_file(MediaPath("long.mp3"), path);
        ASSERT_TRUE(Ok(OpenCommand(path)));
        const int length = Number("status movie length");
        ASSERT_TRUE(Ok("play movie"));
        ASSERT_TRUE(WaitUntil([&] { return Number("status movie position") > 300; }, 5000));
        if (cut) std::filesystem::resize_file(path, 60000);
        else folder.Write("spoiled.mp3", std::string(std::filesystem::file_size(path), '\x55'));
        ASSERT_TRUE(WaitUntil([&] { return Send("status movie mode") == "stopped"; }, 12000));
        EXPECT_EQ(Number("status movie position"), length);
    }
}

// A seek to frame n shows frame n (closer to ffmpeg's decode of n than of n +- 1): MPEG-1 in
// 12-frame groups, H.264 with B-frames in MP4, H.265 in MP4, AV1 in Matroska, VP9 in WebM. A seek
// in milliseconds (-ms here) shows the frame on screen then and reads back as given: steps under a frame add up.
TEST_F(DeviceTest, SeekToFrameShowsExactlyThatFrame) {
    const std::vector<int> clip = {0, 1, 11, 12, 13, 24, 7, 2, -480};
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"video.mpg", {0, 1, 11, 12, 13, 50, 37, 98, 61, 99, 2, -1828, -1840, -1839, -39, -40, -3999}},
        {"clip.mp4", clip}, {"clip.m4v", clip}, {"clip.mkv", clip}, {"clip.webm", clip},
    };
    for (const auto& [name, seeks] : cases) {
        Open(name);
        ASSERT_TRUE(Ok(Attach(host)));
        for (int seek : seeks) {
            SCOPED_TRACE(std::string(name) + " seek " + std::to_string(seek));
            const int n = seek >= 0 ? seek : -seek / 40;  // 25 fps
            ASSERT_TRUE(Ok(seek >= 0 ? "set movie time format frames" : "set movie time format milliseconds"));
            ASSERT_TRUE(Ok("seek movie to " + std::to_string(std::abs(seek))));
            EXPECT_EQ(Send("status movie position"), std::to_string(std::abs(seek)));
            ASSERT_TRUE(Ok("set movie time format frames"));
            EXPECT_EQ(Send("status movie position"), std::to_string(n));
            const QImage shown = host.PaintedPixels().copy(0, 0, 320, 240);
            const double same = MeanDifference(shown, DecodedFrame(name, n));
            EXPECT_LT(same, kSameFrame);
            for (int other : {n - 1, n + 1})
                if (other >= 0 && other < Number("status movie length")) {
                    EXPECT_LT(same, MeanDifference(shown, DecodedFrame(name, other)));
                }
        }
    }
}

// The picture lands in the attached host at the destination, scaled to it, the rest black;
// it moves with "window ... handle" from host to host.
TEST_F(DeviceTest, PictureAtTheDestinationInTheAttachedHost) {
    VideoHostWidget second; second.resize(400, 300);
    Open("video.mpg");
    ASSERT_TRUE(Ok("seek movie to 1200"));
    const QImage frame = DecodedFrame("video.mpg", 30);
    const QRect natural(0, 0, 320, 240), none;
    const std::tuple<std::string, QRect, bool> steps[] = {  // command, picture in the first host, in the second
        {Attach(host), natural, false}, {"put movie destination at 40 30 160 120", QRect(40, 30, 160, 120), false},
        {"put movie destination at 10 20 380 270", QRect(10, 20, 380, 270), false},
        {"put movie destination at 50 60 0 0", QRect(50, 60, 0, 0), false},  // nothing to show
        {"put movie destination", natural, false}, {"window movie handle default", none, false},
        {Attach(second), none, true}, {Attach(host), natural, false},  // straight from one host to the other
        {"window movie handle default state minimized", none, false}, {Attach(second), none, true},
        {"close movie", none, false},
    };
    for (const auto& [command, r, other] : steps) {
        SCOPED_TRACE(command);
        ASSERT_TRUE(Ok(command));
        if (command.rfind("put", 0) == 0) {
            EXPECT_EQ(QString::fromStdString(Send("where movie destination")),
                      QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
        }
        const QImage painted = host.PaintedPixels();
        EXPECT_TRUE(BlackAround(painted, r));
        // Scalers differ more at edges; the picture is still plainly the same.
        const QImage expected = frame.scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!r.isEmpty()) { EXPECT_LT(MeanDifference(painted.copy(r), expected), (r == natural ? 1 : 3) * kSameFrame); }
        EXPECT_EQ(!BlackAround(second.PaintedPixels()), other);
    }
    Open("video.mpg");
    EXPECT_FALSE(Ok("window movie handle 987654321"));  // no such host
    // A huge destination is drawn scaled by the host, not rendered at that size.
    EXPECT_TRUE(Ok("put movie destination at -100000 -100000 2000000000 2000000000"));
    {
        VideoHostWidget gone;
        ASSERT_TRUE(Ok(Attach(gone)));
        ASSERT_TRUE(Ok("play movie"));
        ASSERT_TRUE(WaitUntil([&] { return gone.FramesReceived() > 3; }, 5000));
    }
    // The device plays on without the host it drew into.
    EXPECT_TRUE(WaitUntil([&] { return Number("status movie position") > 600; }, 5000));
    EXPECT_EQ(Send("status movie mode"), "playing");
}

// What sounds, as the samples written (44.1 kHz, 16-bit stereo: 176400 bytes a second): a cued entry follows with no
// sample lost or added; withdrawn, or passed over for another file, it never sounds. A gain given with the cue, or set
// after the open before play, is heard from the entry's first sample (its first 10 ms against the rest of it), and the
// same gain set again on the adopted entry leaves it undisturbed.
TEST_F(DeviceTest, OnlyTheChosenEntrySounds) {
    struct Level { long from, to; double rms; };  // frames
    struct Case { const char* what; std::vector<std::string> commands; long bytes; std::vector<Level> levels = {}; };
    const std::string wav = OpenCommand(MediaPath("tone.wav")), mp3 = OpenCommand(MediaPath("tone.mp3"));
    const std::string cue = CueCommand(MediaPath("tone.flac")), second = folder.path() + "second.wav";
    const std::string m4a = OpenCommand(MediaPath("tone.m4a")), cueM4a = CueCommand(MediaPath("tone.m4a"));
    WriteToneWav(second, 1.0, 1000.0, 0.5);  // tone.wav's 1 kHz (10 ms is 10 periods) for 1 s
    const double half = kToneRms * 0.5, less3dB = kToneRms * 0.708;  // -6.02 dB halves it, -3 dB leaves 0.708 of it
    const Case cases[] = {  // command "": until the end
        {"gains", {wav, "set movie gain -6.02", CueCommand(second) + " gain -3.00", "play movie", "", "close movie",
                   OpenCommand(second), "set movie gain -3.00", "play movie", ""},
         3 * 176400, {{0, 441, half}, {441, 88200, half}, {88200, 88641, less3dB}, {88641, 132300, less3dB}}},
        {"AAC without its padding", {m4a, cueM4a, "play movie", "", "close movie", m4a, "play movie", ""}, 2 * 176400},
        {"withdrawn", {wav, cue, "cue movie next", "play movie", ""}, 2 * 176400},
        {"another opened", {wav, cue, mp3, "play movie", ""}, 2 * 176400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string out = folder.path() + c.what + ".pcm";
        {  // the samples are all written once the device has gone
            MpvMediaDevice d(MediaDeviceOptions{.audioOutput = "pcm", .pcmCaptureFile = out, .openWaitMs = kWholeOpen});
            const auto ended = [&] { return d.SendString("status movie mode") == "stopped"; };
            for (const std::string& command : c.commands)
                ASSERT_TRUE(command.empty() ? WaitUntil(ended, 8000) : d.Execute(command).ok) << command;
        }
        EXPECT_EQ(static_cast<long>(std::filesystem::file_size(out)), c.bytes);
        for (const Level& l : c.levels) EXPECT_NEAR(PcmRms(out, l.from, l.to), l.rms, 20) << "from frame " << l.from;
    }
}

// A list played as the player plays it (each next entry cued while the one before plays, opened once that one has
// ended): each next cue is taken, libmpv's playlist never holds more than the open entry and its successor, every
// length is the one stated (short files too), and the position runs forward at every look, from 0 of the first entry
// opened alone to the end of each. Played in real time every entry is adopted as it sounds (it plays on before its own
// play); written as fast as it decodes, every sample is written once.
TEST_F(DeviceTest, AListHandsOverEveryEntryWithItsStatedLength) {
    struct Case { const char* what; std::vector<int> lengthsMs; bool adopted; };  // adopted: in real time
    const Case cases[] = {
        {.what = "ten tracks", .lengthsMs = std::vector<int>(10, 1000), .adopted = true},
        {.what = "drum samples", .lengthsMs = {100, 300, 120, 250, 180, 100, 280, 150, 200, 100}, .adopted = false},
    };
    for (const Case& c : cases) {
        std::vector<std::string> files;
        long samples = 0;
        for (int ms : c.lengthsMs) {
            files.push_back(folder.path() + c.what + std::to_string(files.size()) + ".flac");
            samples += 44100L * ms / 1000;
            const std::string tone = "-f lavfi -i sine=f=440:d=" + std::to_string(ms / 1000.0) + " -ac 2 '";
            ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y " + tone + files.back() + "'").c_str()), 0);
        }
        const std::string out = folder.path() + c.what + ".pcm";
        {
            MpvMediaDevice list(MediaDeviceOptions{
                .audioOutput = c.adopted ? "null" : "pcm", .pcmCaptureFile = out, .openWaitMs = kWholeOpen});
            int most = 0;
            const auto count = [&] { most = std::max(most, list.EnginePlaylistCount()); };
            for (std::size_t k = 0; k < files.size(); ++k) {
                SCOPED_TRACE(std::string(c.what) + " entry " + std::to_string(k));
                if (k > 0) { ASSERT_TRUE(list.Execute("close movie").ok); }
                ASSERT_TRUE(list.Execute(OpenCommand(files[k])).ok);
                EXPECT_EQ(list.SendString("status movie length"), std::to_string(c.lengthsMs[k]));
                const auto sounds = [&] { return list.SendString("status movie position") != "0"; };
                if (c.adopted && k > 0) { EXPECT_TRUE(WaitUntil(sounds, 300)) << "opened afresh"; }
                if (k + 1 < files.size()) { EXPECT_TRUE(list.Execute(CueCommand(files[k + 1])).ok); }
                ASSERT_TRUE(list.Execute("play movie").ok);
                // Still for 120 ms at most (4 looks), but at the last entry's end, while its sound drains.
                const std::vector<int> seen = Watch(list, 200, k + 1 < files.size() ? 4 : 200, count);
                count();
                if (c.adopted && k == 0) { EXPECT_LT(seen.front(), 150) << "from 0"; }
                ASSERT_EQ(seen.back(), c.lengthsMs[k]) << "stopped at its length";
            }
            EXPECT_LE(most, 2);
        }
        if (c.adopted) continue;
        EXPECT_EQ(static_cast<long>(std::filesystem::file_size(out)), samples * 4) << c.what << ": 4 bytes a frame";
    }
}

// A picture's time is the same whether its file was opened or adopted as it played on from the one before: the same
// length in milliseconds and frames, and positions that follow the time played from its first frame (MPEG program and
// transport streams start after 0), running forward at every look, the opener's stop leaving it playing.
TEST_F(DeviceTest, OpenedAndAdoptedPicturesKeepTheSameTime) {
    for (const char* name : {"video.mpg", "clip.ts", "clip.mp4"}) {
        SCOPED_TRACE(name);
        const std::string path = MediaPath(name);
        Open(name);
        const auto lengths = [&] {
            const std::string ms = Send("status movie length");
            Ok("set movie time format frames");
            const std::string frames = Send("status movie length");
            Ok("set movie time format milliseconds");
            return ms + " ms, " + frames + " frames";
        };
        const std::string opened = lengths();
        ASSERT_TRUE(Ok(CueCommand(path)) && Ok("play movie"));
        ASSERT_TRUE(WaitUntil([&] { return Send("status movie mode") == "stopped"; }, 8000));
        const auto handedOver = std::chrono::steady_clock::now();
        ASSERT_TRUE(Ok("close movie") && Ok(OpenCommand(path)) && Ok("stop movie"));
        EXPECT_EQ(lengths(), opened);
        ASSERT_TRUE(Ok("play movie"));
        EXPECT_EQ(Watch(device, 16, 4).size(), 17u) << "played on through 16 looks";
        const auto played = std::chrono::steady_clock::now() - handedOver;
        EXPECT_NEAR(Number("status movie position"), played / std::chrono::milliseconds(1), 50) << opened;
        Ok("close movie");
    }
}

// No sound output opens (a sound server that is not there): the file plays on silently, and that is said once on
// standard error and to the caller.
TEST_F(DeviceTest, NoSoundOutputIsSaidOnce) {
    ::setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
    MpvMediaDevice silent(MediaDeviceOptions{.audioOutput = "pulse", .openWaitMs = kWholeOpen});
    ::testing::internal::CaptureStderr();
    for (int open = 0; open < 2; ++open) {
        ASSERT_TRUE(silent.Execute(OpenCommand(MediaPath("tone.wav"))).ok);
        EXPECT_TRUE(silent.PlaysSilently()) << "known when the open returns, as the title line is drawn";
        ASSERT_TRUE(silent.Execute("play movie").ok);
        EXPECT_TRUE(WaitUntil([&] { return atoi(silent.SendString("status movie position").c_str()) > 200; }, 3000));
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    ::unsetenv("PULSE_SERVER");
    const std::string line = "velkaf: no sound output could be opened: playing without sound\n";
    EXPECT_TRUE(said.find(line) != std::string::npos && said.find(line) == said.rfind(line)) << said;
}

// Every format of the media table opens with its length in milliseconds (lengthMs 0: states none, known before its end
// is played) and in frames where it has a picture (-1: none, the frames format is refused), plays to its end with sound
// (the wave volume a linear factor on it) and picture (cover art never is one), and stops at its length. Reopened at
// once, it measures the same.
struct Format {  // toleranceMs: audio codecs pad, older containers round
    const char* name; int lengthMs, lengthFrames, toleranceMs; bool sound; uint32_t volume = 0xFFFFFFFFu;
};

struct FormatTest : DeviceTest, ::testing::WithParamInterface<Format> { FormatTest() : DeviceTest(true) {} };

TEST_P(FormatTest, OpensMeasuresAndPlaysToTheEnd) {
    const Format f = GetParam();
    const bool picture = f.lengthFrames >= 0;
    ProcessWaveVolume volume;
    Open(f.name);
    ASSERT_TRUE(volume.Set(f.volume));
    EXPECT_NEAR(Number("status movie length"), f.lengthMs, f.toleranceMs);
    EXPECT_EQ(Send("where movie destination").empty(), !picture);
    EXPECT_EQ(Ok("put movie destination"), picture);
    EXPECT_EQ(Ok("set movie time format frames"), picture);
    if (picture) { EXPECT_NEAR(Number("status movie length"), f.lengthFrames, f.lengthMs == 0 ? 0 : 1); }
    ASSERT_TRUE(Ok("set movie time format milliseconds"));
    ASSERT_TRUE(Ok(Attach(host)));
    ASSERT_TRUE(Ok("play movie"));
    int lengthPlaying = 0;  // the length last read while it still played
    ASSERT_TRUE(WaitUntil([&] {
        const int known = Number("status movie length");
        const bool stopped = Send("status movie mode") == "stopped";
        if (!stopped) lengthPlaying = known;
        return stopped;
    }, 15000));
    const int length = Number("status movie length");
    EXPECT_GT(length, f.lengthMs == 0 ? 500 : 0);
    if (f.lengthMs == 0) { EXPECT_EQ(lengthPlaying, length) << "known before its end was played"; }
    EXPECT_EQ(Number("status movie position"), length);
    if (picture && Ok("set movie time format frames")) {
        EXPECT_EQ(Send("status movie position"), Send("status movie length"));
    }
    // testsrc2 is colourful everywhere: the last picture stays (it may reach the host a moment
    // after the end on a busy machine); without one, all black.
    if (picture) WaitUntil([&] { return host.FramesReceived() > 2u && !BlackAround(host.PaintedPixels()); }, 3000);
    EXPECT_EQ(host.FramesReceived() > 2u, picture);
    EXPECT_EQ(!BlackAround(host.PaintedPixels()), picture);
    EXPECT_TRUE(Ok("play movie"));  // at the end play changes nothing
    EXPECT_EQ(Send("status movie mode"), "stopped");
    for (const char* c : {"stop movie", "window movie handle default", "close movie"}) Send(c);
    volume.Set(0xFFFFFFFFu);
    // tone.wav's RMS at full volume times the volume's low 16 bits (the left channel; both set alike) as a factor.
    if (f.name == std::string("tone.wav")) { EXPECT_NEAR(PcmRms(pcm), (f.volume & 0xFFFF) / 65535.0 * kToneRms, 120); }
    else if (f.sound) { EXPECT_GT(PcmRms(pcm), 1000.0) << "no sound came out"; }
    Open(f.name);  // as the player reopens a track that ended: the same start and length
    EXPECT_EQ(Send("status movie position"), "0");
    if (f.lengthMs != 0) { EXPECT_EQ(Number("status movie length"), length); }
}

const Format kFormats[] = {
    {"video.mpg", 4000, 100, 0, true}, {"videoonly.mpeg", 4000, 100, 0, false}, {"mpeg2.mpeg", 2000, 50, 50, true},
    {"vcd.dat", 2000, 50, 50, true}, {"clip.avi", 2000, 50, 50, true}, {"clip.mov", 2000, 50, 50, true},
    {"clip.asf", 2000, 50, 100, true}, {"clip.rmp", 2000, 50, 100, true}, {"tone.mp3", 2000, -1, 60, true},
    {"tone.wav", 2000, -1, 0, true}, {"tone.wav", 2000, -1, 0, true, 0x80008000u}, {"tone.wav", 2000, -1, 0, true, 0},
    {"tone.wma", 2000, -1, 100, true}, {"tone.ra", 2000, -1, 100, true},
    {"clip.mp4", 1000, 25, 5, true}, {"clip.m4v", 1000, 25, 5, false}, {"clip.mkv", 1000, 25, 5, true},
    {"clip.webm", 1000, 25, 5, true}, {"clip.wmv", 1000, 25, 60, true}, {"clip.flv", 1000, 25, 5, true},
    {"clip.ogv", 1000, 25, 5, true}, {"tone.m4a", 1000, -1, 5, true}, {"tone.aac", 1000, -1, 60, true},
    {"tone.flac", 1000, -1, 5, true}, {"tone.ogg", 1000, -1, 5, true}, {"tone.oga", 1000, -1, 5, true},
    {"tone.opus", 1000, -1, 10, true}, {"tone.mka", 1000, -1, 30, true}, {"tone.wv", 1000, -1, 5, true},
    {"tone.mp2", 1000, -1, 30, true}, {"cover.mp3", 1000, -1, 60, true},
    {"stream.mp3", 1000, -1, 60, true}, {"stream.mpg", 0, 0, 0, false},
};
INSTANTIATE_TEST_SUITE_P(MediaTable, FormatTest, ::testing::ValuesIn(kFormats), [](const auto& info) {
    const uint32_t v = info.param.volume;
    std::string n = info.param.name + (v == 0xFFFFFFFFu ? "" : "_volume" + std::to_string(v));
    for (char& ch : n) ch = ch == '.' ? '_' : ch;
    return n;
});

// Runs the shell with a window on `input` and reads `replies` bytes; with `terminate`, SIGTERM is sent then, the input
// still open. `code` gets its exit code, -1 when a signal ended it or it had not ended 10 s later.
std::string RunShell(const std::string& input, qint64 replies, bool terminate, int& code) {
    QProcess shell;
    shell.start(VELKAF_DEVICE_SHELL, {"--show", "--ao=null"});
    shell.write(input.data(), static_cast<qint64>(input.size()));
    if (!terminate) shell.closeWriteChannel();
    while (shell.bytesAvailable() < replies && shell.waitForReadyRead(10000)) continue;
    if (terminate) shell.terminate();
    code = shell.waitForFinished(10000) && shell.exitStatus() == QProcess::NormalExit ? shell.exitCode() : -1;
    return shell.readAll().toStdString();
}

TEST(DeviceShellTest, OneReplyLinePerCommandAndAnOrderlyEnd) {
    TestApplication();
    const std::string input = OpenCommand(MediaPath("video.mpg")) + "\nstatus movie length\n"
                              "set movie time format frames\nstatus movie length\nbogus command\n"
                              "seek movie to 50\r\n"  // a line ending from elsewhere
                              "where movie destination\nstatus movie position\nstatus movie mode\nclose movie\n"
                              "status movie mode";  // no line end at the end of input
    const std::string replies = "\n4000\n\n100\n\n\n0 0 320 240\n50\nstopped\n\n\n";
    int code = -1;
    EXPECT_EQ(RunShell(input, static_cast<qint64>(replies.size()), false, code), replies);
    EXPECT_EQ(code, 0);
    // With the window up and the input still open, SIGTERM ends it at once and cleanly: the
    // line reader is stopped and joined before the event loop and the device go.
    EXPECT_EQ(RunShell(input, 6, true, code).substr(0, 6), "\n4000\n");
    EXPECT_EQ(code, 0);
}
}  // namespace
