// The media device on generated media: exact command strings in, replies out.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/MpvMediaDevice.h"
#include "device/ProcessWaveVolume.h"
#include "device/VideoHostWidget.h"
#include "tests/device/TestMedia.h"
#include "tests/support/TestSupport.h"

namespace {

MediaDeviceOptions Silent() {
    MediaDeviceOptions o;
    o.audioOutput = "null";
    return o;
}

MediaDeviceOptions Capture(const std::string& file) {
    MediaDeviceOptions o;
    o.audioOutput = "pcm";
    o.pcmCaptureFile = file;
    return o;
}

std::string OpenCommand(const std::string& path) { return "open \"" + path + "\" type mpegvideo alias movie"; }

class DeviceTest : public ::testing::Test {
protected:
    explicit DeviceTest(const MediaDeviceOptions& options = Silent()) : device(options) {}

    std::string Send(const std::string& command) { return device.SendString(command); }
    bool Ok(const std::string& command) { return device.Execute(command).ok; }
    void Open(const std::string& name) { ASSERT_TRUE(Ok(OpenCommand(MediaPath(name)))) << name; }
    int Number(const std::string& command) { return std::atoi(Send(command).c_str()); }
    bool WaitStopped(int timeoutMs) {
        return WaitUntil([&] { return Send("status movie mode") == "stopped"; }, timeoutMs);
    }

    MpvMediaDevice device;
};

TEST_F(DeviceTest, LengthInMillisecondsAndFrames) {
    struct Case {
        const char* name;
        int lengthMs;
        int lengthFrames;  // without a picture the format stays milliseconds
        bool picture;
    };
    const Case cases[] = {
        {"video.mpg", 4000, 100, true},
        {"videoonly.mpeg", 4000, 100, true},
        {"tone.wav", 2000, 2000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.name);
        EXPECT_EQ(Send("status movie time format"), "milliseconds");
        EXPECT_EQ(Send("status movie length"), std::to_string(c.lengthMs));
        EXPECT_EQ(Ok("set movie time format frames"), c.picture);
        EXPECT_EQ(Send("status movie time format"), c.picture ? "frames" : "milliseconds");
        EXPECT_EQ(Send("status movie length"), std::to_string(c.lengthFrames));
        EXPECT_EQ(Send("status movie position"), "0");
        EXPECT_TRUE(Ok("set movie time format milliseconds"));
        EXPECT_EQ(Send("status movie length"), std::to_string(c.lengthMs));
        EXPECT_TRUE(Ok("close movie"));
    }
}

TEST_F(DeviceTest, OpenResolvesTheNameAgainstTheCurrentFolder) {
    CurrentFolderGuard guard;
    const std::filesystem::path media = MediaPath("tone.wav");
    ASSERT_EQ(::chdir(media.parent_path().c_str()), 0);
    EXPECT_TRUE(Ok("open \"tone.wav\" type mpegvideo alias movie"));
    EXPECT_EQ(Send("status movie length"), "2000");
}

TEST_F(DeviceTest, ModeAfterEachCommand) {
    Open("video.mpg");
    struct Step {
        const char* command;
        const char* mode;
        int position;  // -1: not checked (playing)
    };
    const Step steps[] = {
        {"status movie mode", "stopped", 0},
        {"play movie", "playing", -1},
        {"pause movie", "paused", -1},
        {"play movie", "playing", -1},
        {"stop movie", "stopped", -1},
        {"seek movie to 1000", "stopped", 1000},
        {"pause movie", "paused", 1000},
        {"seek movie to 2000", "stopped", 2000},
        {"play movie from 500", "playing", -1},
        {"seek movie to start", "stopped", 0},
        {"seek movie to end", "stopped", 4000},
        {"play movie", "stopped", 4000},   // nothing left to play
        {"pause movie", "stopped", 4000},
        {"play movie from 3000", "playing", -1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        EXPECT_TRUE(Ok(s.command));
        EXPECT_EQ(Send("status movie mode"), s.mode);
        if (s.position >= 0) {
            EXPECT_EQ(Send("status movie position"), std::to_string(s.position));
        }
    }
    EXPECT_TRUE(Ok("close movie"));
    EXPECT_EQ(Send("status movie mode"), "");
    EXPECT_FALSE(Ok("status movie mode"));
}

TEST_F(DeviceTest, PlayingMovesThePosition) {
    Open("video.mpg");
    ASSERT_TRUE(Ok("play movie"));
    ASSERT_TRUE(WaitUntil([&] { return Number("status movie position") >= 400; }, 5000));
    ASSERT_TRUE(Ok("pause movie"));
    const std::string ms = Send("status movie position");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Send("status movie position"), ms);  // paused: the position holds
    ASSERT_TRUE(Ok("set movie time format frames"));
    // 25 fps: the frame number is the millisecond position / 40, to the nearest frame.
    EXPECT_NEAR(Number("status movie position"), std::atoi(ms.c_str()) / 40.0, 0.5 + 1e-9);
}

// At the end: the device stays open, says "stopped", and its position equals its length.
TEST_F(DeviceTest, EndOfMedia) {
    struct Case {
        const char* name;
        int lengthMs;
    };
    const Case cases[] = {{"video.mpg", 4000}, {"videoonly.mpeg", 4000}, {"tone.wav", 2000}, {"tone.mp3", -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.name);
        const int length = Number("status movie length");
        if (c.lengthMs >= 0) {
            EXPECT_EQ(length, c.lengthMs);
        }
        ASSERT_TRUE(Ok("play movie from " + std::to_string(length - 600)));
        ASSERT_TRUE(WaitStopped(5000));
        EXPECT_EQ(Number("status movie position"), length);
        if (Ok("set movie time format frames")) {
            EXPECT_EQ(Send("status movie position"), Send("status movie length"));
            EXPECT_TRUE(Ok("set movie time format milliseconds"));
        }
        EXPECT_TRUE(Ok("play movie"));  // at the end play changes nothing
        EXPECT_EQ(Send("status movie mode"), "stopped");
        EXPECT_EQ(Number("status movie position"), length);
        // And a seek brings it back.
        EXPECT_TRUE(Ok("seek movie to 0"));
        EXPECT_EQ(Send("status movie position"), "0");
        EXPECT_TRUE(Ok("close movie"));
    }
}

// The player reopens a track the moment it ends (repeat with one entry): the sound's length
// and start must come out as on the first open, not shifted by the audio output's delay.
TEST_F(DeviceTest, ReopeningRightAfterTheEndKeepsTheLength) {
    for (const char* name : {"tone.mp3", "tone.wav"}) {
        Open(name);
        const int length = Number("status movie length");
        ASSERT_GT(length, 0) << name;
        for (int round = 0; round < 2; ++round) {
            Send("play movie");
            ASSERT_TRUE(WaitStopped(10000)) << name;
            for (const char* c : {"stop movie", "window movie handle default", "close movie"}) Send(c);
            Open(name);
            EXPECT_EQ(Number("status movie length"), length) << name << " reopened " << round + 1;
            EXPECT_EQ(Number("status movie position"), 0) << name << " reopened " << round + 1;
        }
        Send("close movie");
    }
}

TEST_F(DeviceTest, SeekAtOrPastTheLengthStopsAtTheEnd) {
    Open("video.mpg");
    ASSERT_TRUE(Ok("set movie time format frames"));
    for (const char* to : {"100", "150", "2147483647"}) {
        SCOPED_TRACE(to);
        ASSERT_TRUE(Ok(std::string("seek movie to ") + to));
        EXPECT_EQ(Send("status movie position"), "100");
        EXPECT_EQ(Send("status movie mode"), "stopped");
    }
    ASSERT_TRUE(Ok("seek movie to -5"));  // below 0: the start
    EXPECT_EQ(Send("status movie position"), "0");
}

TEST_F(DeviceTest, BadFilesAnswerEmptyAndLeaveNothingOpen) {
    TempFolder folder;
    std::string noise(200000, '\0');
    uint32_t x = 12345;
    for (char& ch : noise) {
        x = x * 1103515245u + 12345u;
        ch = static_cast<char>(x >> 24);
    }
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing file", folder.path() + "missing.mpg"},
        {"random bytes", folder.Write("noise.mpg", noise)},
        {"empty file", folder.Write("empty.mp3", "")},
        {"folder", folder.path()},
        {"playlist in disguise", folder.Write("list.mpg", "#EXTM3U\n" + MediaPath("tone.wav") + "\n")},
        {"truncated MPEG header", folder.Write("cut.mpg", std::string("\x00\x00\x01\xba\x44", 5))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Ok(OpenCommand(c.path)));
        for (const char* query : {"status movie position", "status movie length", "status movie mode",
                                  "where movie destination", "status movie time format"}) {
            EXPECT_EQ(Send(query), "") << query;
        }
        EXPECT_FALSE(Ok("play movie"));
    }
    // The device is still good for a real file.
    Open("tone.wav");
    EXPECT_EQ(Send("status movie length"), "2000");
}

TEST_F(DeviceTest, MalformedCommandsAnswerEmptyAndChangeNothing) {
    Open("video.mpg");
    ASSERT_TRUE(Ok("seek movie to 1200"));
    const char* bad[] = {
        "",
        "   ",
        "frobnicate movie",
        "play",
        "play film",
        "play movie fast",
        "play movie from",
        "play movie from x",
        "play movie from 99999999999",
        "seek movie 100",
        "seek movie to",
        "status movie",
        "status movie volume",
        "set movie time format",
        "set movie time format hours",
        "window movie handle",
        "window movie handle 12 state minimized",
        "put movie destination at 1 2 3",
        "put movie destination at 1 2 -3 4",
        "where movie source",
        "open",
        "open \"unterminated type mpegvideo alias movie",
        "open \"a.mpg\" type waveaudio alias movie",
        "status movie mode\nplay movie",
    };
    for (const char* command : bad) {
        SCOPED_TRACE(command);
        const DeviceReply reply = device.Execute(command);
        EXPECT_FALSE(reply.ok);
        EXPECT_EQ(reply.text, "");
    }
    EXPECT_EQ(Send("status movie position"), "1200");
    EXPECT_EQ(Send("status movie mode"), "stopped");
    // Keywords in any case, blanks doubled: still the same commands.
    EXPECT_EQ(Send("STATUS  movie\tPosition"), "1200");
}

TEST_F(DeviceTest, BurstOfSeeksWhilePlaying) {
    Open("video.mpg");
    ASSERT_TRUE(Ok("play movie"));
    int last = 0;
    for (int i = 0; i < 100; ++i) {
        last = (i * 373) % 3900;
        ASSERT_TRUE(Ok("seek movie to " + std::to_string(last))) << i;
        if (i % 10 == 0) {
            ASSERT_TRUE(Ok("play movie"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    ASSERT_TRUE(Ok("seek movie to " + std::to_string(last)));
    EXPECT_EQ(Number("status movie position"), last);
    EXPECT_EQ(Send("status movie mode"), "stopped");
    ASSERT_TRUE(Ok("play movie"));
    EXPECT_TRUE(WaitUntil([&] { return Number("status movie position") > last + 200; }, 5000));
}

TEST_F(DeviceTest, AliasMustMatch) {
    Open("tone.wav");
    EXPECT_FALSE(Ok("status other position"));
    EXPECT_EQ(Send("status MOVIE length"), "2000");  // aliases compare without case
    EXPECT_TRUE(Ok("open \"" + MediaPath("tone.mp3") + "\" alias song"));  // replaces the first
    EXPECT_EQ(Send("status movie length"), "");
    EXPECT_NE(Send("status song length"), "");
}

// Every format of the media table plays to its end with sound, and with a picture when it
// has one.
class FormatTest : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(FormatTest, PlaysToTheEndWithPictureAndSound) {
    const auto [name, picture] = GetParam();
    TempFolder folder;
    const std::string pcm = folder.path() + "out.pcm";
    {
        MpvMediaDevice device(Capture(pcm));
        VideoHostWidget host;
        host.resize(400, 300);
        ASSERT_TRUE(device.Execute(OpenCommand(MediaPath(name))).ok);
        EXPECT_EQ(device.Execute("where movie destination").ok, picture);
        ASSERT_TRUE(device.Execute("window movie handle " + std::to_string(host.hostId())).ok);
        const int length = std::atoi(device.SendString("status movie length").c_str());
        EXPECT_GT(length, 1500);
        EXPECT_LT(length, 4100);
        ASSERT_TRUE(device.Execute("play movie").ok);
        // The PCM capture is not paced by a clock: a short sound can already be over here.
        const std::string mode = device.SendString("status movie mode");
        EXPECT_TRUE(mode == "playing" || mode == "stopped") << mode;
        ASSERT_TRUE(WaitUntil([&] { return device.SendString("status movie mode") == "stopped"; }, 15000));
        EXPECT_EQ(device.SendString("status movie position"), std::to_string(length));
        if (picture) {
            EXPECT_GT(host.FramesReceived(), 10u);
            const QImage painted = host.PaintedPixels();
            // testsrc2 is colourful everywhere: the last picture stays in the host.
            EXPECT_NE(painted.pixel(160, 120), qRgb(0, 0, 0));
            EXPECT_EQ(painted.pixel(390, 290), qRgb(0, 0, 0));
        }
    }
    EXPECT_GT(PcmRms(pcm), 1000.0) << "no sound came out";
}

INSTANTIATE_TEST_SUITE_P(MediaTable, FormatTest,
                         ::testing::Values(std::pair{"video.mpg", true}, std::pair{"mpeg2.mpeg", true},
                                           std::pair{"vcd.dat", true}, std::pair{"clip.avi", true},
                                           std::pair{"clip.mov", true}, std::pair{"clip.asf", true},
                                           std::pair{"clip.rmp", true}, std::pair{"tone.mp3", false},
                                           std::pair{"tone.wav", false}, std::pair{"tone.wma", false},
                                           std::pair{"tone.ra", false}),
                         [](const auto& info) {
                             std::string n = info.param.first;
                             for (char& ch : n) if (ch == '.') ch = '_';
                             return n;
                         });

// The wave volume is a linear amplitude factor on what plays.
TEST(DeviceVolume, WaveVolumeScalesTheAmplitudeLinearly) {
    struct Case {
        uint32_t volume;
        double factor;
    };
    const Case cases[] = {
        {0xFFFFFFFFu, 1.0},
        {0x80008000u, 32768.0 / 65535.0},
        {0x40004000u, 16384.0 / 65535.0},
        {0x00000000u, 0.0},
    };
    ProcessWaveVolume volume;
    TempFolder folder;
    double full = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        ASSERT_TRUE(volume.Set(c.volume));
        uint32_t read = 0;
        ASSERT_TRUE(volume.Get(read));
        EXPECT_EQ(read, c.volume);
        const std::string pcm = folder.path() + std::to_string(c.volume) + ".pcm";
        {
            MpvMediaDevice device(Capture(pcm));
            ASSERT_TRUE(device.Execute(OpenCommand(MediaPath("tone.wav"))).ok);
            ASSERT_TRUE(device.Execute("play movie").ok);
            ASSERT_TRUE(WaitUntil([&] { return device.SendString("status movie mode") == "stopped"; }, 10000));
        }
        const double rms = PcmRms(pcm);
        if (c.volume == 0xFFFFFFFFu) {
            full = rms;
            // A 0.5 amplitude sine: RMS 0.5 / sqrt(2) of full scale.
            EXPECT_NEAR(full, 0.5 / std::sqrt(2.0) * 32767.0, 300.0);
        } else {
            EXPECT_NEAR(rms / full, c.factor, 0.01);
        }
    }
    volume.Set(0xFFFFFFFFu);
}

TEST(DeviceVolume, ChangesApplyToWhatIsPlaying) {
    ProcessWaveVolume volume;
    volume.Set(0xFFFFFFFFu);
    TempFolder folder;
    const std::string pcm = folder.path() + "change.pcm";
    {
        MpvMediaDevice device(Capture(pcm));
        ASSERT_TRUE(device.Execute(OpenCommand(MediaPath("tone.wav"))).ok);
        volume.Set(0);  // silent from before the first sample
        ASSERT_TRUE(device.Execute("play movie").ok);
        ASSERT_TRUE(WaitUntil([&] { return device.SendString("status movie mode") == "stopped"; }, 10000));
    }
    volume.Set(0xFFFFFFFFu);
    EXPECT_LT(PcmRms(pcm), 1.0);
}

}  // namespace
