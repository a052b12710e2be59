// Pictures in video hosts: exact frames, the destination rectangle, switching hosts.
#include <QImage>
#include <QRect>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "device/MpvMediaDevice.h"
#include "device/VideoHostWidget.h"
#include "tests/device/TestMedia.h"

namespace {

// Colour conversion and chroma upsampling differ a little between libmpv and ffmpeg.
constexpr double kSameFrame = 4.0;

MediaDeviceOptions Silent() {
    MediaDeviceOptions o;
    o.audioOutput = "null";
    return o;
}

class HostTest : public ::testing::Test {
protected:
    HostTest() : device(Silent()) {}

    bool Ok(const std::string& command) { return device.Execute(command).ok; }
    std::string Send(const std::string& command) { return device.SendString(command); }
    void Open(const std::string& name) {
        ASSERT_TRUE(Ok("open \"" + MediaPath(name) + "\" type mpegvideo alias movie"));
    }
    std::string Attach(const VideoHostWidget& host) { return "window movie handle " + std::to_string(host.hostId()); }

    static bool AllBlack(const QImage& image, const QRect& area) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (image.pixel(x, y) != qRgb(0, 0, 0)) return false;
            }
        }
        return true;
    }

    // Everything of `image` outside `inside` is black.
    static bool BlackAround(const QImage& image, const QRect& inside) {
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (!inside.contains(x, y) && image.pixel(x, y) != qRgb(0, 0, 0)) return false;
            }
        }
        return true;
    }

    MpvMediaDevice device;
};

// A seek to frame n shows frame n: closer to ffmpeg's decode of n than to n - 1 or n + 1.
TEST_F(HostTest, SeekToFrameShowsExactlyThatFrame) {
    VideoHostWidget host;
    host.resize(320, 240);
    Open("video.mpg");
    ASSERT_TRUE(Ok(Attach(host)));
    ASSERT_TRUE(Ok("set movie time format frames"));
    // Frames on both sides of GOP borders (12 frames), in jumps both ways, and the last.
    for (int n : {0, 1, 11, 12, 13, 50, 37, 98, 61, 99, 2}) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(Ok("seek movie to " + std::to_string(n)));
        EXPECT_EQ(Send("status movie position"), std::to_string(n));
        const QImage shown = host.PaintedPixels();
        const double same = MeanDifference(shown, DecodedFrame("video.mpg", n));
        EXPECT_LT(same, kSameFrame);
        for (int other : {n - 1, n + 1}) {
            if (other < 0 || other > 99) continue;
            EXPECT_LT(same, MeanDifference(shown, DecodedFrame("video.mpg", other))) << "looks like " << other;
        }
    }
}

// A seek in milliseconds shows the frame on screen at that time and reads back as given, so
// steps shorter than a frame add up.
TEST_F(HostTest, SeekInMillisecondsShowsTheFrameOnScreenThen) {
    VideoHostWidget host;
    host.resize(320, 240);
    Open("video.mpg");
    ASSERT_TRUE(Ok(Attach(host)));
    struct Case {
        int ms;
        int frame;
    };
    const Case cases[] = {{1828, 45}, {1840, 46}, {1839, 45}, {0, 0}, {39, 0}, {40, 1}, {3999, 99}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        ASSERT_TRUE(Ok("seek movie to " + std::to_string(c.ms)));
        EXPECT_EQ(Send("status movie position"), std::to_string(c.ms));
        EXPECT_LT(MeanDifference(host.PaintedPixels(), DecodedFrame("video.mpg", c.frame)), kSameFrame);
        ASSERT_TRUE(Ok("set movie time format frames"));
        EXPECT_EQ(Send("status movie position"), std::to_string(c.frame));
        ASSERT_TRUE(Ok("set movie time format milliseconds"));
    }
}

TEST_F(HostTest, NeighbouringFramesDiffer) {
    // The exact-frame test means something only when frames n and n + 1 differ clearly.
    EXPECT_GT(MeanDifference(DecodedFrame("video.mpg", 12), DecodedFrame("video.mpg", 13)), 2 * kSameFrame);
}

TEST_F(HostTest, PictureAtTheDestinationTheRestBlack) {
    VideoHostWidget host;
    host.resize(400, 300);
    Open("video.mpg");
    EXPECT_EQ(Send("where movie destination"), "0 0 320 240");
    ASSERT_TRUE(Ok(Attach(host)));
    ASSERT_TRUE(Ok("set movie time format frames"));
    ASSERT_TRUE(Ok("seek movie to 30"));
    const QImage frame = DecodedFrame("video.mpg", 30);

    QImage painted = host.PaintedPixels();
    EXPECT_LT(MeanDifference(painted.copy(0, 0, 320, 240), frame), kSameFrame);
    EXPECT_TRUE(BlackAround(painted, QRect(0, 0, 320, 240)));

    struct Case {
        const char* command;
        QRect rect;
    };
    const Case cases[] = {
        {"put movie destination at 40 30 160 120", QRect(40, 30, 160, 120)},
        {"put movie destination at 10 20 380 270", QRect(10, 20, 380, 270)},
        {"put movie destination at 0 0 400 300", QRect(0, 0, 400, 300)},
        {"put movie destination", QRect(0, 0, 320, 240)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_TRUE(Ok(c.command));
        const QRect r = c.rect;
        EXPECT_EQ(Send("where movie destination"), std::to_string(r.x()) + " " + std::to_string(r.y()) + " " +
                                                       std::to_string(r.width()) + " " + std::to_string(r.height()));
        painted = host.PaintedPixels();
        const QImage expected = frame.scaled(r.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Scalers differ more at edges; the picture is still plainly the same.
        EXPECT_LT(MeanDifference(painted.copy(r), expected), 3 * kSameFrame);
        EXPECT_TRUE(BlackAround(painted, r));
    }

    ASSERT_TRUE(Ok("put movie destination at 50 60 0 0"));  // nothing to show
    EXPECT_TRUE(AllBlack(host.PaintedPixels(), QRect(0, 0, 400, 300)));
    // A huge destination is drawn scaled by the host, not rendered at that size.
    ASSERT_TRUE(Ok("put movie destination at -100000 -100000 2000000000 2000000000"));
    EXPECT_EQ(Send("status movie mode"), "stopped");
}

TEST_F(HostTest, SwitchingHostsMovesThePicture) {
    VideoHostWidget first;
    VideoHostWidget second;
    first.resize(320, 240);
    second.resize(320, 240);
    const QRect all(0, 0, 320, 240);
    Open("video.mpg");
    ASSERT_TRUE(Ok("seek movie to 1000"));

    ASSERT_TRUE(Ok(Attach(first)));
    EXPECT_FALSE(AllBlack(first.PaintedPixels(), all));
    EXPECT_TRUE(AllBlack(second.PaintedPixels(), all));

    ASSERT_TRUE(Ok("window movie handle default"));
    ASSERT_TRUE(Ok(Attach(second)));
    EXPECT_TRUE(AllBlack(first.PaintedPixels(), all));
    EXPECT_FALSE(AllBlack(second.PaintedPixels(), all));
    EXPECT_LT(MeanDifference(second.PaintedPixels(), DecodedFrame("video.mpg", 25)), kSameFrame);

    ASSERT_TRUE(Ok(Attach(first)));  // straight from one host to the other
    EXPECT_FALSE(AllBlack(first.PaintedPixels(), all));
    EXPECT_TRUE(AllBlack(second.PaintedPixels(), all));

    ASSERT_TRUE(Ok("window movie handle default state minimized"));
    EXPECT_TRUE(AllBlack(first.PaintedPixels(), all));

    EXPECT_FALSE(Ok("window movie handle 987654321"));  // no such host
    EXPECT_FALSE(Ok("window movie handle -1"));
}

TEST_F(HostTest, PlayingFillsTheHostWithFrames) {
    VideoHostWidget host;
    host.resize(320, 240);
    Open("video.mpg");
    ASSERT_TRUE(Ok(Attach(host)));
    const uint64_t before = host.FramesReceived();
    ASSERT_TRUE(Ok("play movie"));
    ASSERT_TRUE(WaitUntil([&] { return std::atoi(Send("status movie position").c_str()) >= 1000; }, 5000));
    // About 25 frames a second.
    EXPECT_GE(host.FramesReceived() - before, 15u);
    EXPECT_LE(host.FramesReceived() - before, 60u);
}

TEST_F(HostTest, HostDestroyedWhilePlaying) {
    Open("video.mpg");
    {
        VideoHostWidget host;
        host.resize(320, 240);
        ASSERT_TRUE(Ok(Attach(host)));
        ASSERT_TRUE(Ok("play movie"));
        ASSERT_TRUE(WaitUntil([&] { return host.FramesReceived() > 3; }, 5000));
    }
    // The device goes on without the host; its number is gone.
    EXPECT_TRUE(WaitUntil([&] { return std::atoi(Send("status movie position").c_str()) > 600; }, 5000));
    EXPECT_EQ(Send("status movie mode"), "playing");
    ASSERT_TRUE(Ok("window movie handle default"));
}

TEST_F(HostTest, SoundOnlyMediaHasNoPicture) {
    VideoHostWidget host;
    host.resize(100, 80);
    Open("tone.mp3");  // no cover art as a picture
    EXPECT_EQ(Send("where movie destination"), "");
    EXPECT_FALSE(Ok("put movie destination at 0 0 10 10"));
    EXPECT_TRUE(Ok(Attach(host)));
    EXPECT_TRUE(AllBlack(host.PaintedPixels(), QRect(0, 0, 100, 80)));
}

TEST_F(HostTest, CloseLeavesTheHostBlack) {
    VideoHostWidget host;
    host.resize(320, 240);
    Open("video.mpg");
    ASSERT_TRUE(Ok(Attach(host)));
    EXPECT_FALSE(AllBlack(host.PaintedPixels(), QRect(0, 0, 320, 240)));
    ASSERT_TRUE(Ok("close movie"));
    EXPECT_TRUE(AllBlack(host.PaintedPixels(), QRect(0, 0, 320, 240)));
}

}  // namespace
