// The desktop bus's requests as the full tick carries them out: the same device commands and
// record changes as the skin's knob, volume, SHUFFLE and REPEAT.
#include <gtest/gtest.h>

#include "platform/WaveVolume.h"
#include "playback/BusRequests.h"
#include "playback/MciSession.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

class StoredVolume final : public WaveVolume {
public:
    bool Get(uint32_t& v) override { v = value; return true; }
    bool Set(uint32_t v) override { value = v; return true; }
    uint32_t value = 0xFFFFFFFFu;
};

struct Rig {
    ScriptedMediaDevice device;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    MciSession mci{device, state};
    FakeClock clock;
    StoredVolume volume;
    void Tick() { CarryOutBusRequests(state, settings, playlist, mci, clock, volume); }
};

TEST(BusRequestsTest, AJumpIsTheKnobsCommandInTheDisplaysFormat) {
    struct Case {
        const char* name;
        int closed, paused, timeFormatMs;
        long long ms;
        std::vector<std::string> sent;
        int position, knob;
    } cases[] = {
        {"playing", 0, 0, 1, 2000, {"play movie from 2000"}, 2000, 103},
        {"paused", 0, 1, 1, 1000, {"seek movie to 1000"}, 1000, 51},
        {"frames shown", 0, 0, 0, 2000, {"play movie from 50"}, 50, 103},
        {"past the end", 0, 0, 1, 9000, {"play movie from 4000"}, 4000, 206},
        {"closed", 1, 0, 1, 2000, {}, 7, 5},
    };
    for (const Case& c : cases) {
        Rig r;
        r.state.closed = c.closed;
        r.state.paused = c.paused;
        r.state.timeFormatMs = c.timeFormatMs;
        r.state.lengthMs = 4000;
        r.state.lengthFrames = 100;
        r.state.position = 7;
        r.state.seekKnobX = 5;
        r.state.busSeekMs = c.ms;
        r.Tick();
        EXPECT_EQ(r.device.sent, c.sent) << c.name;
        EXPECT_EQ(r.state.position, c.position) << c.name;
        EXPECT_EQ(r.state.seekKnobX, c.knob) << c.name;
        EXPECT_EQ(r.state.busSeeks, c.closed ? 0 : 1) << c.name;
        EXPECT_EQ(r.state.busSeekMs, -1) << c.name;
    }
}

TEST(BusRequestsTest, VolumeShuffleAndRepeatActLikeTheirControlsOnce) {
    Rig r;
    r.playlist.InsertAt(0, "/a.wav");
    r.playlist.InsertAt(1, "/b.wav");
    r.playlist.SyncCount();
    r.state.busVolume = 32768;
    r.state.busShuffle = 1;
    r.state.busRepeat = 0;
    r.Tick();
    EXPECT_EQ(r.volume.value, 0x80008000u);
    EXPECT_EQ(r.state.volumeKnobX, 29);
    EXPECT_EQ(r.settings.shuffle, 1);
    EXPECT_EQ(r.playlist.orderCount, 2);  // turning shuffle on builds the order
    EXPECT_EQ(r.settings.repeat, 0);
    EXPECT_EQ(r.state.busVolume, -1);
    EXPECT_EQ(r.state.busShuffle, -1);
    EXPECT_EQ(r.state.busRepeat, -1);

    // Nothing asked: nothing changes.
    r.volume.value = 5;
    r.settings.repeat = 1;
    r.Tick();
    EXPECT_EQ(r.volume.value, 5u);
    EXPECT_EQ(r.settings.repeat, 1);
    EXPECT_TRUE(r.device.sent.empty());
}

TEST(BusRequestsTest, PositionsConvertBetweenMillisecondsAndFrames) {
    PlayerState s;
    s.lengthMs = 4000;
    s.lengthFrames = 100;
    s.timeFormatMs = 0;
    EXPECT_EQ(PositionMsFromDevice(s, 50), 2000);
    EXPECT_EQ(DevicePositionFromMs(s, -5), 0);
    s.timeFormatMs = 1;
    EXPECT_EQ(PositionMsFromDevice(s, 1234), 1234);
    s.lengthMs = 0;  // a length not known yet does not cut the jump
    EXPECT_EQ(DevicePositionFromMs(s, 9000), 9000);
}

}  // namespace
