// The playback tick, with and without drawing, through the scripted device standing at 5000 ms
// (host calls appear in the device's log as "[...]"); the shared transport operations with the
// device at 5200; the desktop bus's requests as the full tick carries them out, with the same
// device commands and record changes as the skin's knob, volume, SHUFFLE and REPEAT.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "playback/BusRequests.h"
#include "playback/PlaybackTick.h"
#include "tests/playback/PlaybackRig.h"
#include "tests/support/FakeWaveVolume.h"

namespace {

const std::string kPos = "status movie position", kFormat = "status movie time format";

struct TickRig : PlaybackRig {
    explicit TickRig(const PlayerState& start = {}, int held = 0) {
        state = start, state.buttonCounters[6] = held & 1, state.buttonCounters[7] = held / 2;  // search buttons held
        device.Answer(kFormat, "milliseconds"), device.Answer(kPos, "5000");
        for (int i = 0; i < 8; ++i) settings.searchSpeed[i] = (i % 2 ? -1 : 1) * (101 + i);
    }
    Strings Tick() {  // the traffic of one PlaybackTick after its drawing
        PlaybackTick(context);
        EXPECT_EQ(Strings(device.sent.begin(), device.sent.begin() + 3), (Strings{"[compose buttons]", kPos, "[present 5000]"}));
        Strings rest(device.sent.begin() + 3, device.sent.end());
        return device.ClearSent(), rest;
    }
};

Strings Seek(int target) { return {kFormat, kPos, "seek movie to " + std::to_string(target), kFormat, kPos}; }

// Each code with speed 5; 14 to 17 wait for the button-up; the sizes stay within -1..6.
TEST(PlaybackTickTest, DispatcherCarriesOutEachCode) {
    const Strings place{"pause movie", "[place video]", "play movie"};
    struct Case { int code, paused, size; Strings sent; int speed, pausedAfter, pending, sizeAfter; };
    const Case cases[] = {
        {2, 1, 1, {"play movie"}, 0, 0, 0, 1},   {3, 0, 1, {"pause movie", kPos}, 0, 1, 0, 1}, {4, 1, 1, {"close movie"}, 5, 0, 0, 1},
        {6, 0, 1, {"close movie"}, 5, 0, 0, 1},  {7, 0, 1, {}, -2, 0, 0, 1},                   {8, 0, 1, {}, 2, 0, 0, 1},
        {9, 0, 1, {"play movie"}, 0, 0, 0, 1},   {9, 1, 1, {}, 0, 1, 0, 1},                    {10, 0, 1, place, 5, 0, 0, 0},
        {10, 0, -1, place, 5, 0, 0, -1},         {11, 0, 5, place, 5, 0, 0, 6},                 {11, 0, 6, place, 5, 0, 0, 6},
        {10, 1, 0, {"pause movie", kPos, "[place video]", "seek movie to 5000"}, 5, 1, 0, -1},
        {14, 0, 1, {}, 5, 0, 14, 1},             {17, 0, 1, {}, 5, 0, 17, 1},                  {12, 0, 1, {}, 5, 0, 0, 1},
    };
    for (const Case& c : cases) {
        TickRig rig({.paused = c.paused, .pendingCommand = c.code, .speed = 5});  // code 6: the list is empty
        rig.settings.videoSizeMode = c.size, rig.state.buttonCounters[10] = rig.state.buttonCounters[11] = 3;
        RunPendingCommand(rig.context);
        EXPECT_EQ(std::tuple(rig.device.sent, rig.state.speed, rig.state.paused, rig.state.pendingCommand, rig.settings.videoSizeMode),
                  std::tuple(c.sent, c.speed, c.pausedAfter, c.pending, c.sizeAfter)) << c.code << " paused " << c.paused;
        EXPECT_EQ(std::tuple(rig.state.position, rig.state.inputCooldown, rig.state.closed,
                             rig.state.buttonCounters[c.code == 10 ? 10 : 11]),
                  std::tuple(c.sent.size() > 1 && c.sent[1] == kPos ? 5000 : 0, c.code == 9 && !c.paused ? 2 : 0,
                             c.code == 4 || c.code == 6, c.code == 10 || c.code == 11 ? 0 : 3))
            << c.code << " paused " << c.paused;
    }
}

// Only a whole "stopped" in the 8-byte reply ends the track; the close request follows.
TEST(PlaybackTickTest, EndCheckAndCloseRequest) {
    for (auto [reply, shown] : {std::pair{"stopped", "stopped"}, {"playing", "playing"}, {"", ""},
                                {"stoppedX", "stopped"}, {"Stopped", "Stopped"}}) {
        TickRig rig({.pendingCommand = 66, .closeRequest = 1});
        rig.device.Answer("status movie mode", reply);
        EXPECT_EQ(rig.Tick(), (Strings{"status movie mode", std::string("[mode ") + shown + "]", "close movie"}));
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.closeRequest), std::tuple(std::string(reply) == "stopped" ? 6 : 66, 0));
    }
}

// Searches by wheel mode, state, keys and search buttons (1 back, 2 forward, 3 both); paused in
// MODE1 a notch is one frame, once per request. The next full-tick rate.
TEST(PlaybackTickTest, SearchesAndTickRate) {
    struct Case { PlayerState st; int held, wheelPlaying, wheelPaused; Strings sent; int speed, divisor; };
    const Case cases[] = {
        {{.speed = 2}, 0, 0, 0, Seek(8000), 2, 0},                      {{.speed = -9}, 0, 0, 0, Seek(0), -9, 0},
        {{.speed = -1}, 0, 1, 0, Seek(4970), -1, 0},                    {{.speed = 4, .rightButtonSearch = 1}, 0, 0, 0, Seek(5060), 1, 0},
        {{.paused = 1, .speed = 2}, 0, 0, 1, Seek(5090), 2, 0},
        {{.paused = 1, .speed = 2, .keysHeld = 2, .prevKeysHeld = 2}, 0, 0, 0, Seek(8000), 2, 0},
        {{.paused = 1, .speed = 2, .prevKeysHeld = 8}, 0, 0, 1, Seek(5090), 0, 0},  // key released: still paused
        {{.speed = 2, .prevKeysHeld = 8}, 0, 0, 0, {kFormat, kPos, "seek movie to 8000", kFormat, kPos, "play movie"}, 0, 5},
        {{}, 1, 1, 1, Seek(4898), -1, 0},                               {{}, 3, 1, 1, Seek(5101), 1, 0},  // forward wins
        {{.paused = 1}, 2, 1, 0, Seek(5103), 1, 0},                     {{.rightButtonSearch = 1}, 1, 1, 1, Seek(4894), -1, 0},
        {{.paused = 1, .rightButtonSearch = 1}, 2, 1, 1, Seek(5107), 0, 0},
        {{.paused = 1, .speed = -6}, 0, 0, 0,  // one frame
         {kFormat, "set movie time format frames", kPos, "seek movie to 4999", kFormat, kPos}, 0, 0},
        {{}, 0, 0, 0, {}, 0, 5},                  {{.timeDisplayMode = 0}, 0, 0, 0, {}, 0, 0},   {{.paused = 1}, 0, 0, 0, {}, 0, 0},
        {{.paused = 1, .fullScreen = 1}, 0, 0, 0, {}, 0, 5},            {{.volumeDragging = 2}, 0, 0, 0, {}, 0, 0},
    };
    for (const Case& c : cases) {
        TickRig rig(c.st, c.held);
        rig.settings.wheelModePlaying = c.wheelPlaying, rig.settings.wheelModePaused = c.wheelPaused;
        EXPECT_EQ(rig.Tick(), c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.tickDivisor, rig.state.prevKeysHeld, rig.state.buttonCounters[7],
                             rig.state.buttonCounters[19]),
                  std::tuple(c.speed, c.divisor, c.sent.empty() ? c.st.prevKeysHeld : c.st.keysHeld, c.held / 2 - 1, -1))
            << &c - cases;
    }
}

// Nothing open: the search buttons browse, one step per 150 ms at either rate, without opening:
// the current name first, then b, c and a again. An empty list has nothing to browse.
TEST(PlaybackTickTest, BrowsingWhileClosed) {
    for (int divisor : {5, 0}) {
        TickRig rig({.closed = 1, .timeDisplayMode = divisor ? 1 : 0, .tickDivisor = divisor, .mouseButtonDown = 1}, 2);
        rig.SetEntries({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        std::vector<int> shown;
        for (int i = 0; i < (divisor ? 4 : 20); ++i) {
            EXPECT_EQ(rig.Tick(), Strings{});
            if (divisor || i % 5 == 4) shown.push_back(rig.state.trackPending * 10 + rig.playlist.currentIndex);
        }
        EXPECT_EQ(shown, (std::vector<int>{10, 11, 12, 10}));
    }
    TickRig rig({.closed = 1, .speed = 1});
    EXPECT_EQ(std::tuple(rig.Tick(), rig.state.trackPending, rig.state.pendingCommand, rig.state.speed), std::tuple(Strings{}, 0, 0, 0));
}

// Minimised with the left button (1) or the right (2, then 3): restored, the video is placed again.
TEST(PlaybackTickTest, MinimiseFollowUp) {
    struct Case { int state, refresh; bool minimised; int stateAfter, activeAfter, refreshAfter, placements; };
    for (const Case& c : {Case{2, 1, true, 3, 0, 0, 2}, {3, 0, true, 3, 0, 0, 0}, {3, 1, false, 0, 1, 1, 0},
                          {1, 0, true, 1, 0, 0, 0}, {1, 0, false, 0, 1, 0, 1}}) {
        TickRig rig({.activeApp = 0, .minimiseState = c.state, .restoreRefresh = c.refresh});
        rig.host.minimised = c.minimised;
        EXPECT_EQ(rig.Tick(), Strings(c.placements, "[place video]"));
        EXPECT_EQ(std::tuple(rig.state.minimiseState, rig.state.activeApp, rig.state.restoreRefresh),
                  std::tuple(c.stateAfter, c.activeAfter, c.refreshAfter)) << c.state << c.refresh << c.minimised;
    }
}

// Full screen without the panel: the same dispatcher and searches; nothing drawn, no browsing,
// no search buttons; the rate, the counters and the minimise state are left alone.
TEST(PlaybackTickNoDrawTest, SearchesWithoutDrawing) {
    struct Case { PlayerState st; int wheelPlaying, wheelPaused; Strings sent; int speed; };
    const Case cases[] = {
        {{.speed = 2}, 0, 0, Seek(8000), 2},                               {{.speed = -2}, 1, 0, Seek(4940), -2},
        {{.paused = 1, .speed = 3}, 0, 1, Seek(5150), 3},
        {{.paused = 1, .speed = 3, .prevKeysHeld = 4}, 0, 1, Seek(5150), 0},
        {{.paused = 1, .speed = 1, .keysHeld = 2, .prevKeysHeld = 2}, 0, 0, Seek(7000), 1},  {{.closed = 1, .speed = 1}, 0, 0, {}, 0},
        {{.speed = 2, .prevKeysHeld = 1}, 0, 0, {kFormat, kPos, "seek movie to 8000", kFormat, kPos, "play movie"}, 0},
        {{.paused = 1, .speed = 5}, 0, 0, {kFormat, "set movie time format frames", kPos, "seek movie to 5001", kFormat, kPos}, 0},
        {{.pendingCommand = 3, .closeRequest = 1}, 0, 0, {"pause movie", kPos, "close movie"}, 0},
    };
    for (const Case& c : cases) {
        TickRig rig(c.st, 2);
        rig.SetEntries({"/m/a.mp3", "/m/b.mp3"});
        rig.state.tickDivisor = 3, rig.state.fullScreen = 1, rig.state.minimiseState = 1, rig.state.buttonCounters[0] = 2;
        rig.settings.wheelModePlaying = c.wheelPlaying, rig.settings.wheelModePaused = c.wheelPaused;
        PlaybackTickNoDraw(rig.context);
        EXPECT_EQ(rig.device.sent, c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.tickDivisor, rig.state.buttonCounters[0], rig.state.minimiseState,
                             rig.state.trackPending),
                  std::tuple(c.speed, 3, 2, 1, 0))
            << &c - cases;
    }
}

TEST(MciSessionTest, CommandTraffic) {
    using Op = std::function<void(MciSession&)>;
    const auto seek = [](int mode, int amount) { return Op([=](MciSession& m) { m.SeekRelative(mode, amount); }); };
    const Op toggle = [](MciSession& m) { m.TogglePlayPause(); };
    const std::string tf = "status movie time format", pos = "status movie position", ms = "milliseconds";
    struct Case { std::string format; int paused, speed, closed; Op op; Strings sent; int pausedAfter, speedAfter, position; };
    const Case cases[] = {
        {ms, 0, 3, 0, toggle, {"play movie", "play movie"}, 0, 0, 7},   // a search ends in play, never paused
        {ms, 1, 0, 1, toggle, {"[open]", "play movie"}, 0, 0, 0},       // nothing open: from 0
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-1); }, {pos, "seek movie to 5199"}, 1, 0, 5199},
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-5201); }, {pos, "seek movie to 0"}, 1, 0, 0},
        {ms, 0, 8, 0, seek(1, 0), {tf, pos, "seek movie to 25200", tf, pos}, 0, 8, 5200},  // 20 x 1000: the table's end
        {ms, 0, 6, 0, seek(0, 0), {tf, "set movie time format frames", pos, "seek movie to 15200", tf, pos}, 0, 6, 5200},
        {ms, 1, 9, 0, seek(0, 2), {tf, "set movie time format frames", pos, "seek movie to 5220", tf, pos}, 1, 9, 5200},
        {"frames", 1, -1, 0, seek(0, 2), {tf, pos, "seek movie to 5199", tf, "set movie time format milliseconds", pos}, 1, -1, 5200},
        {ms, 0, 5, 0, seek(3, -6000), {tf, pos, "seek movie to 0", tf, pos}, 0, 5, 5200},  // never below 0
        {"", 0, 0, 0, [](MciSession& m) { m.SelectTimeFormat(0); }, {tf}, 0, 0, 7},
        {ms, 1, 0, 0, [](MciSession& m) { m.Close(); }, {"close movie"}, 0, 0, 7},
    };
    for (const Case& c : cases) {
        ScriptedMediaDevice device;
        PlayerState state{.closed = c.closed, .paused = c.paused, .position = 7, .speed = c.speed, .seekKnobX = 9};
        MciSession mci(device, state);
        mci.SetTrackOpener([&] { device.sent.push_back("[open]"); }), device.Answer(tf, c.format), device.Answer(pos, "5200");
        c.op(mci);
        EXPECT_EQ(device.sent, c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(state.paused, state.speed, state.position), std::tuple(c.pausedAfter, c.speedAfter, c.position)) << &c - cases;
        EXPECT_EQ(std::tuple(state.closed, state.seekKnobX), c.sent[0] == "close movie" ? std::tuple(1, 0) : std::tuple(0, 9))
            << &c - cases;
    }
    ScriptedMediaDevice device;  // no wrap near the limit
    PlayerState state{.speed = 9};
    device.Answer(pos, "2147483000"), MciSession(device, state).SeekRelative(1, 0);
    EXPECT_EQ(device.sent[2], "seek movie to 2147483647");
}

struct BusRig {
    ScriptedMediaDevice device;
    PlayerState state{.position = 7, .lengthMs = 4000, .lengthFrames = 100, .seekKnobX = 5};
    Settings settings;
    Playlist playlist;
    MciSession mci{device, state};
    FakeClock clock;
    FakeWaveVolume volume;
    void Tick() { CarryOutBusRequests(state, settings, playlist, mci, clock, volume); }
};

// A jump of `ms` from a track of 4000 ms (100 frames); what is sent, then position and knob.
TEST(BusRequestsTest, AJumpIsTheKnobsCommandInTheDisplaysFormat) {
    struct Case { int closed, paused, timeFormatMs; long long ms; std::vector<std::string> sent; int position, knob; };
    const Case cases[] = {
        {0, 0, 1, 2000, {"play movie from 2000"}, 2000, 103}, {0, 1, 1, 1000, {"seek movie to 1000"}, 1000, 51},
        {0, 0, 0, 2000, {"play movie from 50"}, 50, 103},     {0, 0, 1, 9000, {"play movie from 4000"}, 4000, 206},
        {1, 0, 1, 2000, {}, 7, 5},  // closed
    };
    for (const Case& c : cases) {
        BusRig r;
        r.state.closed = c.closed, r.state.paused = c.paused, r.state.timeFormatMs = c.timeFormatMs, r.state.busSeekMs = c.ms;
        r.Tick();
        EXPECT_EQ(r.device.sent, c.sent) << c.ms;
        EXPECT_EQ(std::tuple(r.state.position, r.state.seekKnobX, r.state.busSeeks, r.state.busSeekMs),
                  std::tuple(c.position, c.knob, c.closed ? 0 : 1, -1)) << c.ms;
    }
    PlayerState s{.lengthMs = 0, .lengthFrames = 100};  // a length not known yet does not cut the jump
    EXPECT_EQ(std::pair(DevicePositionFromMs(s, 9000), PositionMsFromDevice(s, 1234)), std::pair(9000, 1234LL));
    s.timeFormatMs = 0;  // nor is it a frame count
    EXPECT_EQ(DevicePositionFromMs(s, 9000), 0);
    s.lengthMs = 4000;
    EXPECT_EQ(std::pair(PositionMsFromDevice(s, 50), DevicePositionFromMs(s, -5)), std::pair(2000LL, 0));
}

TEST(BusRequestsTest, VolumeShuffleAndRepeatActLikeTheirControlsOnce) {
    BusRig r;
    r.playlist.InsertAt(0, "/a.wav"), r.playlist.InsertAt(1, "/b.wav"), r.playlist.SyncCount();
    r.state.busVolume = 32768, r.state.busShuffle = 1, r.state.busRepeat = 0;
    r.Tick();
    // Turning shuffle on builds the order.
    EXPECT_EQ(std::tuple(r.volume.value, r.state.volumeKnobX, r.settings.shuffle, r.playlist.orderCount, r.settings.repeat),
              std::tuple(0x80008000u, 29, 1, 2, 0));
    EXPECT_EQ(std::tuple(r.state.busVolume, r.state.busShuffle, r.state.busRepeat), std::tuple(-1, -1, -1));
    r.settings.repeat = 1;  // nothing asked: nothing changes
    r.Tick();
    EXPECT_EQ(std::tuple(r.volume.writes.size(), r.settings.repeat, r.device.sent.size()), std::tuple(1u, 1, 0u));
}

}  // namespace
