// The playback tick with and without drawing (the device at 5000 ms, host calls logged as "[...]"),
// the transport operations (the device at 5200) and the desktop bus's requests as the tick runs them.
#include <gtest/gtest.h>
#include <functional>
#include <tuple>
#include "playback/BusRequests.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackTick.h"
#include "playback/TrackChoice.h"
#include "tests/playback/PlaybackRig.h"

namespace {

const std::string kPos = "status movie position", kFormat = "status movie time format", kMode = "status movie mode";
const std::string kToFrames = "set movie time format frames", kToMs = "set movie time format milliseconds";
const Strings kSearchEnds{kFormat, kPos, "seek movie to 8000", kFormat, kPos, "play movie"};

enum Held { kNoButton = 0, kRewHeld = 1, kFfHeld = 2, kBothHeld = 3 };

struct TickRig : PlaybackRig {
    TickRig(const PlayerState& st = {}, Held held = kNoButton, const Asked& ask = {}, std::pair<int, int> wheel = {}) {
        state = st;
        Ask(state, ask);
        state.buttonCounters[kCounterSearchBackward] = held & kRewHeld;
        state.buttonCounters[kCounterSearchForward] = held & kFfHeld ? 1 : 0;
        std::tie(settings.wheelModePlaying, settings.wheelModePaused) = wheel;
        device.Answer(kFormat, "milliseconds");
        device.Answer(kPos, "5000");
        for (int i = 0; i < 8; ++i) settings.searchSpeed[i] = (i % 2 ? -1 : 1) * (101 + i);
    }
    Strings Tick() {  // the traffic of one PlaybackTick after its drawing
        PlaybackTick(context);
        const Strings sent = std::exchange(device.sent, {});
        EXPECT_EQ(Strings(sent.begin(), sent.begin() + 3), (Strings{"[compose buttons]", kPos, "[present 5000]"}));
        return Strings(sent.begin() + 3, sent.end());
    }
};

Strings Seek(int target) { return {kFormat, kPos, "seek movie to " + std::to_string(target), kFormat, kPos}; }

// Each code from speed 5; the button-up codes wait; the sizes stay within -1..6 and put out
// their own light (both size lights start at 3); only a whole "stopped" in the 8-byte reply ends the track.
TEST(PlaybackTickTest, DispatcherCarriesOutEachCode) {
    const Strings place{"pause movie", "[place video]", "play movie"};
    const Strings pausedPlace{"pause movie", kPos, "[place video]", "seek movie to 5000"};
    const auto seen = [](const std::string& mode) { return Strings{kMode, "[mode " + mode + "]"}; };  // the reply shown
    struct Case { const char* name; PendingCommand code; const char* mode = "stopped"; int paused = 0, size = 1;
                  Strings sent; int speed = 5, pausedAfter = 0; PendingCommand pending = kCmdNone;
                  int sizeAfter = 1, position = 0, cooldown = 0, closed = 0, smallerLit = 3, largerLit = 3; };
    const Case cases[] = {
        {.name = "play", .code = kCmdPlay, .paused = 1, .sent = {"play movie"}, .speed = 0},
        {.name = "pause", .code = kCmdPause, .sent = {"pause movie", kPos}, .speed = 0, .pausedAfter = 1,
         .position = 5000},
        {.name = "close", .code = kCmdClose, .paused = 1, .sent = {"close movie"}, .closed = 1},
        {.name = "next track, the list empty", .code = kCmdNextTrack, .sent = {"close movie"}, .closed = 1},
        {.name = "search backward", .code = kCmdSearchBackward, .speed = -2},
        {.name = "search forward", .code = kCmdSearchForward, .speed = 2},
        {.name = "end of a search plays", .code = kCmdEndSearch, .sent = {"play movie"}, .speed = 0, .cooldown = 2},
        {.name = "end of a search while paused", .code = kCmdEndSearch, .paused = 1, .speed = 0, .pausedAfter = 1},
        {.name = "smaller", .code = kCmdSmallerVideo, .sent = place, .sizeAfter = 0, .smallerLit = 0},
        {.name = "smaller at -1 stays", .code = kCmdSmallerVideo, .size = -1, .sent = place, .sizeAfter = -1,
         .smallerLit = 0},
        {.name = "smaller paused: the frame where the device really stood", .code = kCmdSmallerVideo, .paused = 1,
         .size = 0, .sent = pausedPlace, .pausedAfter = 1, .sizeAfter = -1, .position = 5000, .smallerLit = 0},
        {.name = "larger", .code = kCmdLargerVideo, .size = 5, .sent = place, .sizeAfter = 6, .largerLit = 0},
        {.name = "larger at 6 stays", .code = kCmdLargerVideo, .size = 6, .sent = place, .sizeAfter = 6,
         .largerLit = 0},
        {.name = "OPEN waits for its release", .code = kCmdOpenButton, .pending = kCmdOpenButton},
        {.name = "quit waits", .code = kCmdQuit, .pending = kCmdQuit},
        {.name = "no such command", .code = PendingCommand{12}},
        {.name = "end check, stopped", .code = kCmdCheckEnd, .sent = seen("stopped"), .pending = kCmdNextTrack},
        {.name = "end check, playing", .code = kCmdCheckEnd, .mode = "playing", .sent = seen("playing"),
         .pending = kCmdCheckEnd},
        {.name = "end check, no reply", .code = kCmdCheckEnd, .mode = "", .sent = seen(""), .pending = kCmdCheckEnd},
        {.name = "end check, a reply too long", .code = kCmdCheckEnd, .mode = "stoppedX", .sent = seen("stopped"),
         .pending = kCmdCheckEnd},
        {.name = "end check, another case", .code = kCmdCheckEnd, .mode = "Stopped", .sent = seen("Stopped"),
         .pending = kCmdCheckEnd},
    };
    for (const Case& c : cases) {
        TickRig rig({.paused = c.paused, .speed = 5}, kNoButton, {.command = c.code});
        rig.state.buttonCounters[kCounterSmallerVideo] = rig.state.buttonCounters[kCounterLargerVideo] = 3;
        rig.settings.videoSizeMode = c.size;
        rig.device.Answer(kMode, c.mode);
        RunPendingCommand(rig.context);
        const PlayerState& s = rig.state;
        EXPECT_EQ(std::tuple(rig.device.sent, s.speed, s.paused, s.pendingCommand.Get(), rig.settings.videoSizeMode,
                             s.position, s.inputCooldown, s.closed, s.buttonCounters[kCounterSmallerVideo],
                             s.buttonCounters[kCounterLargerVideo]),
                  std::tuple(c.sent, c.speed, c.pausedAfter, c.pending, c.sizeAfter, c.position, c.cooldown, c.closed,
                             c.smallerLit, c.largerLit)) << c.name;
    }
}

// Searches by wheel mode (0 MODE1, 1 MODE2), state, keys and search buttons; paused in MODE1 a notch is one frame,
// once per request. The next full-tick rate; FF's light counts down. In full screen without the panel the tick that
// draws nothing sends the same and leaves the same speed and keys, FF held or not: it reads no search button, leaves
// the rate, the counters and the minimise state alone, and browses nothing.
TEST(PlaybackTickTest, SearchesAndTickRate) {
    const Strings oneFrame{kFormat, kToFrames, kPos, "seek movie to 4999", kFormat, kPos};
    struct Case { const char* name; PlayerState st; Held held = kNoButton; std::pair<int, int> wheel{0, 0};
                  Strings sent; int speed = 0, divisor = 0, prevKeys = 0, ffLit = -1; Asked ask{}; };
    const Case cases[] = {
        {.name = "playing, MODE1", .st = {.speed = 2}, .sent = Seek(8000), .speed = 2},
        {.name = "playing, back past the start", .st = {.speed = -9}, .sent = Seek(0), .speed = -9},
        {.name = "playing, MODE2", .st = {.speed = -1}, .wheel = {1, 0}, .sent = Seek(4970), .speed = -1},
        {.name = "right button, playing", .st = {.speed = 4, .rightButtonSearch = 1}, .sent = Seek(5060), .speed = 1},
        {.name = "paused, MODE2", .st = {.paused = 1, .speed = 2}, .wheel = {0, 1}, .sent = Seek(5090), .speed = 2},
        {.name = "paused, a key held", .st = {.paused = 1, .speed = 2, .keysHeld = kHeldRight,
         .prevKeysHeld = kHeldRight}, .sent = Seek(8000), .speed = 2, .prevKeys = kHeldRight},
        {.name = "paused, the key released", .st = {.paused = 1, .speed = 2, .prevKeysHeld = kHeldFullStop},
         .wheel = {0, 1}, .sent = Seek(5090)},
        {.name = "playing, the key released: play", .st = {.speed = 2, .prevKeysHeld = kHeldFullStop},
         .sent = kSearchEnds, .divisor = 5},
        {.name = "nothing open: an empty list has nothing to browse", .st = {.closed = 1, .speed = 1}, .divisor = 5},
        {.name = "a request, then the close", .sent = {"pause movie", kPos, "close movie"}, .divisor = 5,
         .ask = {.command = kCmdPause, .close = true}},
        {.name = "REW held", .held = kRewHeld, .wheel = {1, 1}, .sent = Seek(4898), .speed = -1},
        {.name = "both held: forward wins", .held = kBothHeld, .wheel = {1, 1}, .sent = Seek(5101), .speed = 1,
         .ffLit = 0},
        {.name = "FF held, paused", .st = {.paused = 1}, .held = kFfHeld, .wheel = {1, 0}, .sent = Seek(5103),
         .speed = 1, .ffLit = 0},
        {.name = "REW held with the right button", .st = {.rightButtonSearch = 1}, .held = kRewHeld, .wheel = {1, 1},
         .sent = Seek(4894), .speed = -1},
        {.name = "FF held with the right button, paused", .st = {.paused = 1, .rightButtonSearch = 1},
         .held = kFfHeld, .wheel = {1, 1}, .sent = Seek(5107), .ffLit = 0},
        {.name = "paused, MODE1: one frame", .st = {.paused = 1, .speed = -6}, .sent = oneFrame},
        {.name = "playing: every fifth call", .divisor = 5},
        {.name = "raw position shown: every call", .st = {.timeDisplayMode = TimeDisplayMode::RawPosition}},
        {.name = "paused: every call", .st = {.paused = 1}},
        {.name = "paused in full screen: every fifth call", .st = {.paused = 1, .fullScreen = 1}, .divisor = 5},
        {.name = "the volume knob dragged: every call", .st = {.volumeDragging = KnobDrag::PastAnEnd}},
    };
    for (const Case& c : cases) {
        TickRig rig(c.st, c.held, c.ask, c.wheel);
        EXPECT_EQ(rig.Tick(), c.sent) << c.name;
        const PlayerState& s = rig.state;
        EXPECT_EQ(std::tuple(s.speed, s.tickDivisor, int(s.prevKeysHeld), s.buttonCounters[kCounterSearchForward],
                             s.buttonCounters[kButtonCounterCount - 1], s.trackPending, s.pendingCommand.Get(),
                             s.closeRequest.Get()),
                  std::tuple(c.speed, c.divisor, c.prevKeys, c.ffLit, -1, 0, kCmdNone, false)) << c.name;
        if (c.held != kNoButton || c.st.rightButtonSearch) continue;  // the search buttons are the drawn tick's
        TickRig full(c.st, kFfHeld, c.ask, c.wheel);
        full.SetEntries({"/m/a.mp3", "/m/b.mp3"});
        full.state.tickDivisor = 3;
        full.state.fullScreen = 1;
        full.state.minimiseState = MinimiseState::HidingVideo;
        full.state.buttonCounters[kCounterPlay] = 2;
        PlaybackTickNoDraw(full.context);
        const PlayerState& f = full.state;
        EXPECT_EQ(std::tuple(full.device.sent, f.speed, int(f.prevKeysHeld), f.tickDivisor,
                             f.buttonCounters[kCounterPlay], int(f.minimiseState), f.trackPending),
                  std::tuple(c.sent, c.speed, c.prevKeys, 3, 2, 1, 0)) << c.name << ", not drawn";
    }
}

// Nothing open: FF browses, one step per 150 ms at either rate, without opening: the current
// name first, then b, c and a again.
TEST(PlaybackTickTest, BrowsingWhileClosed) {
    using Shown = std::vector<std::pair<int, int>>;  // trackPending, currentIndex
    for (int divisor : {5, 0}) {
        const TimeDisplayMode mode = divisor ? TimeDisplayMode::Elapsed : TimeDisplayMode::RawPosition;
        TickRig rig({.closed = 1, .timeDisplayMode = mode, .tickDivisor = divisor, .mouseButtonDown = 1}, kFfHeld);
        rig.SetEntries({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
        Shown shown;
        for (int i = 0; i < (divisor ? 4 : 20); ++i) {
            EXPECT_EQ(rig.Tick(), Strings{}) << divisor << " " << i;
            if (divisor || i % 5 == 4) shown.emplace_back(rig.state.trackPending, rig.playlist.currentIndex);
        }
        EXPECT_EQ(shown, (Shown{{1, 0}, {1, 1}, {1, 2}, {1, 0}})) << divisor;
    }
}

// Minimised with the left button (1) or the right (2, then 3): restored, the video is placed again.
TEST(PlaybackTickTest, MinimiseFollowUp) {
    struct Case { const char* name; int state, refresh; bool minimised;
                  int stateAfter, activeAfter, refreshAfter, placements; };
    const Case cases[] = {
        {.name = "right button, still minimised", .state = 2, .refresh = 1, .minimised = true, .stateAfter = 3,
         .placements = 2},
        {.name = "right button later, still minimised", .state = 3, .refresh = 0, .minimised = true, .stateAfter = 3},
        {.name = "right button later, restored", .state = 3, .refresh = 1, .minimised = false, .activeAfter = 1,
         .refreshAfter = 1},
        {.name = "left button, still minimised", .state = 1, .refresh = 0, .minimised = true, .stateAfter = 1},
        {.name = "left button, restored", .state = 1, .refresh = 0, .minimised = false, .activeAfter = 1,
         .placements = 1},
    };
    for (const Case& c : cases) {
        TickRig rig({.activeApp = 0, .minimiseState = MinimiseState(c.state), .restoreRefresh = c.refresh});
        rig.host.minimised = c.minimised;
        EXPECT_EQ(rig.Tick(), Strings(c.placements, "[place video]")) << c.name;
        EXPECT_EQ(std::tuple(int(rig.state.minimiseState), rig.state.activeApp, rig.state.restoreRefresh),
                  std::tuple(c.stateAfter, c.activeAfter, c.refreshAfter)) << c.name;
    }
}

using Op = std::function<void(MciSession&)>;
const std::string tf = kFormat, pos = kPos, ms = "milliseconds", toF = kToFrames;

// The transport operations from a position of 7 in the record, 5200 in the device unless `at`. SeekRelative answers
// the device's position, in the format each mode needs and back, and leaves the speed and the knob alone.
TEST(MciSessionTest, TransportTraffic) {
    const Op toggle = [](MciSession& m) { m.TogglePlayPause(); };
    const Op back = [](MciSession& m) { m.StepWhilePaused(-1); };
    const Op farBack = [](MciSession& m) { m.StepWhilePaused(-5201); };
    const auto seek = [](SeekMode mode, int unit, int at = 5200) -> Op {
        return [=](MciSession& m) { EXPECT_EQ(m.SeekRelative(mode, unit), at) << "SeekRelative " << unit; };
    };
    const Strings backOneFrame{tf, pos, "seek movie to 5199", tf, kToMs, pos};  // the display shows milliseconds
    struct Case { const char* name; std::string format = ms; int paused = 0, speed = 0, closed = 0, at = 5200; Op op;
                  Strings sent; int pausedAfter = 0, position = 7, closedAfter = 0, knob = 9, speedAfter = 0; };
    const Case cases[] = {
        {.name = "toggle: a search ends in play, never paused", .speed = 3, .op = toggle,
         .sent = {"play movie", "play movie"}},
        {.name = "toggle with nothing open plays from 0", .paused = 1, .closed = 1, .op = toggle,
         .sent = {"[open]", "play movie"}, .position = 0},
        {.name = "a step back", .paused = 1, .op = back, .sent = {pos, "seek movie to 5199"}, .pausedAfter = 1,
         .position = 5199},
        {.name = "a step back past the start", .paused = 1, .op = farBack, .sent = {pos, "seek movie to 0"},
         .pausedAfter = 1, .position = 0},
        {.name = "no format answered: none set", .format = "", .op = [](MciSession& m) { m.SelectTimeFormat(0); },
         .sent = {tf}},
        {.name = "close", .paused = 1, .op = [](MciSession& m) { m.Close(); }, .sent = {"close movie"},
         .closedAfter = 1, .knob = 0},
        {.name = "by speed in seconds", .speed = 8, .op = seek(kSeekBySpeed, kUnitSecond),
         .sent = {tf, pos, "seek movie to 25200", tf, pos}, .position = 5200, .speedAfter = 8},
        {.name = "frames mode by seconds", .speed = 6, .op = seek(kSeekFrames, kUnitSecond),
         .sent = {tf, toF, pos, "seek movie to 15200", tf, pos}, .position = 5200, .speedAfter = 6},
        {.name = "frames mode by frames", .speed = 9, .op = seek(kSeekFrames, kUnitOneFrame),
         .sent = {tf, toF, pos, "seek movie to 5220", tf, pos}, .position = 5200, .speedAfter = 9},
        {.name = "one frame back from frames", .format = "frames", .speed = -1, .op = seek(kSeekFrames, kUnitOneFrame),
         .sent = backOneFrame, .position = 5200, .speedAfter = -1},
        {.name = "an amount past the start stops at 0", .speed = 5, .op = seek(kSeekByAmount, -6000),
         .sent = {tf, pos, "seek movie to 0", tf, pos}, .position = 5200, .speedAfter = 5},
        {.name = "no wrap near the limit", .speed = 9, .at = 2147483000,
         .op = seek(kSeekBySpeed, kUnitSecond, 2147483000), .sent = {tf, pos, "seek movie to 2147483647", tf, pos},
         .position = 2147483000, .speedAfter = 9},
    };
    for (const Case& c : cases) {
        ScriptedMediaDevice device;
        PlayerState state{.closed = c.closed, .paused = c.paused, .position = 7, .speed = c.speed, .seekKnobX = 9};
        MciSession mci(device, state);
        mci.SetTrackOpener([&] { device.sent.push_back("[open]"); });
        device.Answer(tf, c.format);
        device.Answer(pos, std::to_string(c.at));
        c.op(mci);
        EXPECT_EQ(device.sent, c.sent) << c.name;
        EXPECT_EQ(std::tuple(state.paused, state.speed, state.position, state.closed, state.seekKnobX),
                  std::tuple(c.pausedAfter, c.speedAfter, c.position, c.closedAfter, c.knob)) << c.name;
    }
}

void BusTick(PlaybackRig& r) { CarryOutBusRequests(r.state, r.settings, r.playlist, r.mci, r.clock, r.volume); }

// A jump of `ms` from a track of 4000 ms (100 frames); what is sent, then position and knob.
TEST(BusRequestsTest, AJumpIsTheKnobsCommandInTheDisplaysFormat) {
    struct Case { int closed = 0, paused = 0, timeFormatMs = 1; int ms; Strings sent; int position, knob, seeks; };
    const Case cases[] = {
        {.ms = 2000, .sent = {"play movie from 2000"}, .position = 2000, .knob = 103, .seeks = 1},
        {.paused = 1, .ms = 1000, .sent = {"seek movie to 1000"}, .position = 1000, .knob = 51, .seeks = 1},
        {.timeFormatMs = 0, .ms = 2000, .sent = {"play movie from 50"}, .position = 50, .knob = 103, .seeks = 1},
        {.ms = 9000, .sent = {"play movie from 4000"}, .position = 4000, .knob = 206, .seeks = 1},
        {.closed = 1, .ms = 2000, .sent = {}, .position = 7, .knob = 5, .seeks = 0},
    };
    for (const Case& c : cases) {
        PlaybackRig r;
        r.state = {.closed = c.closed, .paused = c.paused, .position = 7, .lengthMs = 4000, .lengthFrames = 100,
                   .timeFormatMs = c.timeFormatMs, .seekKnobX = 5};
        r.state.busSeekMs.Ask(c.ms);
        BusTick(r);
        EXPECT_EQ(r.device.sent, c.sent) << c.ms;
        EXPECT_EQ(std::tuple(r.state.position, r.state.seekKnobX, r.state.busSeeks, r.state.busSeekMs.Pending()),
                  std::tuple(c.position, c.knob, c.seeks, false)) << c.ms;
    }
    PlayerState s{.lengthMs = 0, .lengthFrames = 100};  // a length not known yet does not cut the jump
    EXPECT_EQ(std::pair(DevicePositionFromMs(s, 9000), PositionMsFromDevice(s, 1234)), std::pair(9000, 1234LL));
    s.timeFormatMs = 0;  // nor is it a frame count
    EXPECT_EQ(DevicePositionFromMs(s, 9000), 0);
    s.lengthMs = 4000;
    EXPECT_EQ(std::pair(PositionMsFromDevice(s, 50), DevicePositionFromMs(s, -5)), std::pair(2000LL, 0));
}

// Shuffle on moves currentIndex without an open: the desktop still names the open track until the device closes.
TEST(BusRequestsTest, VolumeShuffleAndRepeatActLikeTheirControlsOnce) {
    PlaybackRig r;
    r.SetEntries({r.tmp.Write("a.wav", "x"), "/b.wav", "/c.wav"});
    OpenCurrentTrack(r.context);
    r.device.sent.clear();
    r.state.busVolume.Ask(32768);
    r.state.busShuffle.Ask(true);
    r.state.busRepeat.Ask(false);
    BusTick(r);
    // Turning shuffle on builds the order.
    EXPECT_EQ(std::tuple(r.volume.value, r.state.volumeKnobX, r.settings.shuffle, r.playlist.orderCount,
                         r.settings.repeat), std::tuple(0x80008000u, 29, 1, 3, 0));
    EXPECT_FALSE(r.state.requests.AnyPending());
    ASSERT_NE(r.playlist.currentIndex, 0);
    const BusTrack open = TrackOnTheBus(r.state, r.playlist);
    EXPECT_EQ(std::pair(open.index, open.path), std::pair(0, r.tmp.path() + "a.wav"));
    r.state.closed = 1;
    EXPECT_EQ(TrackOnTheBus(r.state, r.playlist).index, r.playlist.currentIndex);
    r.settings.repeat = 1;
    BusTick(r);  // nothing asked: nothing changes
    EXPECT_EQ(std::tuple(r.volume.writes.size(), r.settings.repeat, r.device.sent.size()), std::tuple(1u, 1, 0u));
}

// The B and V keys' request: one device command, the chosen track's language in the title line
// at once, and after kTrackNoticeTicks full ticks the track's own title back.
TEST(TrackChoiceTest, NextTrackIsAskedForAndNamedInTheTitleLine) {
    struct Case { int request; const char* reply; const char* title; };
    const Case cases[] = {
        {.request = kTrackAudio, .reply = "1 2 eng", .title = " \xE9\x9F\xB3\xE5\xA3\xB0 1/2: eng |"},
        {.request = kTrackSubtitle, .reply = "0 1 none",
         .title = " \xE5\xAD\x97\xE5\xB9\x95 0/1: \xE3\x81\xAA\xE3\x81\x97 |"},
        {.request = kTrackSubtitle, .reply = "", .title = ""},         // no such track: the title stays
        {.request = kTrackAudio, .reply = "3 2 jpn", .title = ""},     // not a track of the file
        {.request = kTrackAudio, .reply = "1 1 j\x1b[p", .title = ""},  // not a language
        {.request = kTrackAudio, .reply = "2 3 az-AZ09", .title = " \xE9\x9F\xB3\xE5\xA3\xB0 2/3: az-AZ09 |"},
    };
    for (const Case& c : cases) {
        TickRig rig({.titleLine1 = "a", .titleLine2 = "b"}, kNoButton, {.track = c.request});
        const std::string command = c.request == kTrackAudio ? "track movie audio next" : "track movie subtitle next";
        rig.device.Answer(command, c.reply);
        EXPECT_EQ(rig.Tick(), (*c.title ? Strings{command, "[title lines]"} : Strings{command})) << c.reply;
        EXPECT_EQ(std::tuple(rig.host.line1, rig.state.trackRequest.Get(), rig.state.marqueeOffset),
                  std::tuple(c.title, 0, 0)) << c.reply;
        if (!*c.title) continue;
        // The lines' ends as the host drew them (104, 208), less the 4-pixel margin.
        EXPECT_EQ(std::pair(rig.state.titleWidth[0], rig.state.titleWidth[1]), std::pair(100, 204)) << c.reply;
        for (int tick = 1; tick < kTrackNoticeTicks; ++tick) EXPECT_EQ(rig.Tick(), Strings{}) << tick;
        EXPECT_EQ(rig.Tick(), Strings{"[title lines]"}) << c.reply;
        EXPECT_EQ(std::tuple(rig.host.line1, rig.state.marqueeStarted, rig.state.marqueeOffset),
                  std::tuple("a", 0, -141)) << c.reply;
    }
}
}  // namespace
