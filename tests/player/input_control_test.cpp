// The skin's buttons, knobs, wheel and keys: the request each press writes, what acts at once
// (device commands at the exact strings, window calls), and the keys polled every tick.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "platform/KeyState.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "player/InputControl.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;
using K = PolledKey;

struct Rig final : InputHost, KeyState, WaveVolume {
    explicit Rig(const PlayerState& start = {}) : state(start) { device.Answer("status movie position", "5200"); }
    // Window calls go into the device's log as "[...]", so both are checked in one order.
    void Log(const char* call) { device.sent.push_back(std::string("[") + call + "]"); }
    bool IsMinimised() override { return false; }
    void Minimise() override { Log("minimise"); }
    void StartWindowMove() override { Log("move"); }
    void CaptureMouse() override { Log("capture"); }
    void ReleaseMouse() override {}
    void FocusStepSink() override {}
    void PlaceVideo() override { Log("place video"); }
    void OpenButtonAction() override { Log("open dialog"); }
    void TogglePlaylistEditor() override { Log("editor"); }
    void SettingsDialog() override { Log("settings"); }
    void SwitchFullScreen(bool leave) override { Log(leave ? "leave full screen" : "full screen"); }
    void MoveFullScreenStepSinksOffScreen() override { Log("step sinks off"); }
    bool Held(PolledKey k) override { return held.count(k) > 0; }
    bool Pressed(PolledKey k) override { return pressed.erase(k) + held.count(k) > 0; }
    bool Get(uint32_t& v) override { return v = volume, true; }
    bool Set(uint32_t v) override { return volume = v, true; }
    std::vector<int> Lit() const {
        std::vector<int> lit;
        for (int i = 0; i < 20; ++i) if (state.buttonCounters[i] > 0) lit.push_back(i);
        return lit;
    }

    std::set<PolledKey> held, pressed;
    uint32_t volume = 0xFFFFFFFFu;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    MciSession mci{device, state};
    FakeClock clock;
    InputControl input{state, settings, playlist, mci, *this, *this, clock, *this};
};

// Left and right presses. The position stands at 100 in PlayerState and at 5200 in the device.
TEST(InputControlTest, PressesWriteRequestsOrActAtOnce) {
    struct Case { const char* name; int x, y; bool right; PlayerState st; int pending; std::vector<int> lit; Strings sent; };
    const Case cases[] = {
        {"play while closed opens", 250, 50, false, {.closed = 1}, 1, {0}, {"[capture]"}},
        {"play while paused resumes", 273, 70, false, {.paused = 1}, 2, {0}, {"[capture]"}},
        {"play while searching plays", 237, 45, false, {.speed = 3}, 2, {0}, {"[capture]"}},
        {"play while playing: nothing more", 250, 50, false, {}, 0, {0}, {"[capture]"}},
        {"edges belong to both: rewind first", 236, 45, false, {}, 7, {6}, {"[capture]"}},
        {"left of FF: a window move", 274, 70, false, {}, 0, {}, {"[move]"}},
        {"pause while playing", 280, 25, false, {}, 3, {2}, {"[capture]"}},
        {"pause while paused resumes", 280, 25, false, {.paused = 1}, 2, {1}, {"[capture]"}},
        {"pause while closed only lights", 280, 25, false, {.closed = 1}, 0, {1}, {"[capture]"}},
        {"stop", 240, 25, false, {}, 4, {3}, {"[capture]"}},
        {"previous while playing", 210, 75, false, {}, 5, {4}, {"[capture]"}},
        {"previous while paused steps from the device", 210, 75, false, {.paused = 1}, 0, {4},
         {"status movie position", "seek movie to 5199", "[capture]"}},
        {"next while paused", 302, 86, false, {.paused = 1}, 0, {5}, {"status movie position", "seek movie to 5201", "[capture]"}},
        {"rewind", 210, 50, false, {}, 7, {6}, {"[capture]"}},
        {"rewind while closed only lights", 210, 50, false, {.closed = 1}, 0, {6}, {"[capture]"}},
        {"fast forward", 303, 70, false, {}, 8, {7}, {"[capture]"}},
        {"smaller video", 158, 75, false, {}, 10, {10}, {"[capture]"}},
        {"larger video", 160, 75, false, {}, 11, {11}, {"[capture]"}},
        {"open", 210, 25, false, {}, 14, {14}, {"[capture]"}},
        {"settings", 20, 25, false, {}, 15, {15}, {"[capture]"}},
        {"full screen", 185, 75, false, {}, 16, {16}, {"[capture]"}},
        {"minimise", 300, 5, false, {}, 0, {}, {"[minimise]", "[place video]", "[capture]"}},
        {"right on the open button: the editor", 210, 25, true, {}, 0, {}, {"[editor]", "[capture]"}},
        {"right rewind", 210, 50, true, {}, 7, {6}, {"[capture]"}},
        {"right fast forward", 280, 50, true, {}, 8, {7}, {"[capture]"}},
        {"right minimise", 300, 5, true, {}, 0, {}, {"[minimise]", "[place video]", "[capture]"}},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        rig.state.position = 100, rig.state.trackPending = 1;
        if (c.right) rig.input.OnRButtonDown({c.x, c.y});
        else rig.input.OnLButtonDown({c.x, c.y});
        EXPECT_EQ(rig.state.pendingCommand, c.pending) << c.name;
        EXPECT_EQ(rig.Lit(), c.lit) << c.name;
        EXPECT_EQ(rig.device.sent, c.sent) << c.name;
        EXPECT_EQ(rig.state.mouseButtonDown, 1) << c.name;
        EXPECT_EQ(rig.state.minimiseState, c.y == 5 ? 1 + c.right : 0) << c.name;
        EXPECT_EQ(rig.state.rightButtonSearch, c.right && (c.pending == 7 || c.pending == 8)) << c.name;
        EXPECT_EQ(rig.state.trackPending, c.pending == 1 ? 0 : 1) << c.name;
    }
}

// The button-up runs the dialogs and full screen, ends a held search, and quits after POWER.
TEST(InputControlTest, ReleasesCarryOutTheirButtons) {
    struct Case { int x, y; bool right; Strings calls; int pending, quit; };
    const Case cases[] = {
        {210, 25, false, {"[capture]", "[open dialog]"}, 0, 0},
        {20, 25, false, {"[capture]", "[settings]"}, 0, 0},
        {185, 75, false, {"[capture]", "[full screen]", "[step sinks off]"}, 0, 0},
        {20, 70, false, {"[capture]"}, 0, 1},
        {280, 50, false, {"[capture]"}, 9, 0},
        {210, 50, true, {"[capture]"}, 9, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        if (c.right) rig.input.OnRButtonDown({c.x, c.y}), rig.input.OnRButtonUp({c.x, c.y});
        else rig.input.OnLButtonDown({c.x, c.y}), rig.input.OnLButtonUp({c.x, c.y});
        EXPECT_EQ(rig.device.sent, c.calls) << c.x << "," << c.y;
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.quitRequested, rig.state.mouseButtonDown, rig.state.rightButtonSearch),
                  std::tuple(c.pending, c.quit, 0, 0)) << c.x << "," << c.y;
    }
}

TEST(InputControlTest, DisplayTogglesAndSwitches) {
    Rig rig;
    rig.device.Answer("status movie time format", "milliseconds");
    std::vector<int> modes;
    for (bool right : {false, false, false, false, true, true, true}) {
        if (right) rig.input.OnRButtonDown({129, 68});
        else rig.input.OnLButtonDown({201, 55});
        modes.push_back(rig.state.timeDisplayMode * 10 + rig.state.timeFormatMs);
    }
    EXPECT_EQ(modes, (std::vector<int>{21, 0, 11, 21, 11, 0, 21})) << "mode and milliseconds wanted";
    EXPECT_EQ(std::count(rig.device.sent.begin(), rig.device.sent.end(), "set movie time format frames"), 2);
    rig.playlist.InsertAt(0, "/a.mp3");
    rig.playlist.SyncCount();
    for (WindowPoint p : {WindowPoint{19, 51}, {51, 62}, {19, 38}, {60, 27}, {68, 57}}) rig.input.OnLButtonDown(p);
    EXPECT_EQ(std::tuple(rig.settings.shuffle, rig.playlist.orderCount, rig.settings.repeat, rig.state.marqueeLine,
                         rig.state.marqueeOffset, rig.state.showZoom), std::tuple(0, 1, 0, 0, -144, 1));
}

TEST(InputControlTest, KnobDragsFollowThePointerRelatively) {
    Rig rig({.seekKnobX = 100, .volumeKnobX = 40});
    rig.device.Answer("status movie length", "20600");
    rig.input.OnLButtonDown({161, 5});
    EXPECT_EQ(rig.state.seekDragging, 0) << "left of the knob";
    rig.input.OnLButtonDown({185, 13});
    rig.input.OnMouseMove({195, 5});
    rig.state.paused = 1;
    rig.input.OnMouseMove({56, 5});
    rig.input.OnMouseMove({200, 5});  // an ended drag follows no more
    EXPECT_EQ(Strings(rig.device.sent.end() - 4, rig.device.sent.end()),
              (Strings{"status movie length", "play movie from 11000", "status movie length", "seek movie to 0"}));
    EXPECT_EQ(std::tuple(rig.state.seekKnobX, rig.state.seekDragging), std::tuple(0, 2));
    rig.input.OnLButtonUp({200, 5});
    rig.input.OnLButtonDown({101, 75});
    rig.input.OnMouseMove({133, 75});
    EXPECT_EQ(std::tuple(rig.state.volumeKnobX, rig.volume), std::tuple(58, 58u * 1129u * 65537u));
    rig.input.OnMouseMove({134, 75});
    rig.input.OnMouseMove({56, 75});
    EXPECT_EQ(std::tuple(rig.state.volumeKnobX, rig.state.volumeDragging, rig.volume), std::tuple(58, 2, 58u * 1129u * 65537u));
    rig.input.OnLButtonUp({56, 75});
    rig.state.inputCooldown = 1;
    rig.input.OnLButtonDown({125, 80});
    EXPECT_EQ(rig.state.volumeDragging, 0) << "the knob waits for the cool-down";
}

// The wheel and the step sink, and what the application's activation does to them.
TEST(InputControlTest, WheelStepsAndActivation) {
    struct Case { int active, busy, delta; bool step; bool activate; int wheelAfter, activeAfter; };
    const Case cases[] = {
        {1, 0, 120, false, false, 1, 1},  {1, 0, -120, false, false, -1, 1}, {1, 0, 0, false, false, 0, 1},
        {0, 0, 120, false, false, 0, 0},  {0, 0, 3, true, false, 1, 0},      {1, 0, -2, true, false, -1, 1},
        {1, 0, 120, false, true, 0, 0},   {1, 1, 120, false, true, 1, 1},   // busy: our own dialog took the focus
        {0, 0, 120, true, true, 0, 1},    {0, 1, 120, true, true, 0, 0},
    };
    for (const Case& c : cases) {
        Rig rig({.busy = c.busy, .activeApp = c.active});
        if (c.step) rig.input.OnStep(c.delta);
        else rig.input.OnMouseWheel(c.delta);
        if (c.activate) rig.input.OnActivateApp(c.step);
        EXPECT_EQ(std::tuple(rig.state.wheelStep, rig.state.activeApp), std::tuple(c.wheelAfter, c.activeAfter))
            << c.active << c.busy << c.delta << c.step << c.activate;
    }
}

TEST(InputControlTest, KeysPolledEachTick) {
    struct Case { const char* name; std::set<K> held, pressed; PlayerState st; int pending, speedStep, cooldown, keysHeld; Strings sent; };
    const Case cases[] = {
        {"comma", {}, {K::Comma, K::Period}, {}, 0, -1, 0, 1, {}},
        {"full stop", {}, {K::Period}, {}, 0, 1, 0, 8, {}},
        {"right while playing: next track", {K::Right}, {}, {}, 6, 0, 7, 2, {}},
        {"left while playing: previous track", {K::Left}, {}, {}, 5, 0, 7, 4, {}},
        {"right while paused: faster", {K::Right}, {}, {.paused = 1}, 0, 1, 0, 2, {}},
        {"left while paused: slower", {K::Left}, {}, {.paused = 1}, 0, -1, 0, 4, {}},
        {"space while playing pauses", {K::Space}, {}, {}, 3, 0, 5, 0, {}},
        {"space while paused plays", {K::Space}, {}, {.paused = 1}, 2, 0, 5, 0, {}},
        {"space while closed", {K::Space}, {}, {.closed = 1}, 0, 0, 5, 0, {}},
        {"space during a cool-down", {K::Space}, {}, {.inputCooldown = 3}, 0, 0, 3, 0, {}},
        {"x in a window", {}, {K::X}, {}, 11, 0, 2, 0, {}},
        {"z in a window", {}, {K::Z}, {}, 10, 0, 2, 0, {}},
        {"x during a cool-down", {}, {K::X}, {.inputCooldown = 1}, 0, 0, 1, 0, {}},
        {"x in full screen, paused", {}, {K::X}, {.paused = 1, .fullScreen = 1}, 0, 0, 2, 0,
         {"pause movie", "status movie position", "[place video]", "seek movie to 5200"}},
        {"z in full screen, playing", {}, {K::Z}, {.fullScreen = 1}, 0, 0, 2, 0, {"pause movie", "[place video]", "play movie"}},
        {"inactive: read and forgotten", {}, {K::Comma, K::X}, {.activeApp = 0}, 0, 0, 0, 0, {}},
        {"inactive in full screen still counts", {}, {K::Comma}, {.fullScreen = 1, .activeApp = 0}, 0, -1, 0, 1, {}},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        rig.held = c.held, rig.pressed = c.pressed;
        rig.input.PollKeyboard();
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.speedStepRequest, rig.state.inputCooldown, int(rig.state.keysHeld)),
                  std::tuple(c.pending, c.speedStep, c.cooldown, c.keysHeld)) << c.name;
        EXPECT_EQ(rig.device.sent, c.sent) << c.name;
        EXPECT_EQ(rig.settings.fullScreenFit, c.sent.size() < 3 ? 4 : c.pressed.count(K::X) ? 5 : 3) << c.name;
    }
    Rig rig({.activeApp = 0});
    rig.pressed = {K::Comma, K::X};
    rig.input.PollKeyboard();
    rig.state.activeApp = 1;
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.state.speedStepRequest + rig.state.pendingCommand, 0) << "presses made while inactive never arrive";
}

TEST(InputControlTest, VolumeKeysAndAltEnter) {
    Rig rig;
    rig.held = {K::N};
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.volume, 64353u * 65537u);
    rig.held = {K::RightBracket};
    rig.input.PollKeyboard();
    EXPECT_EQ(std::tuple(rig.volume, rig.state.volumeKnobX), std::tuple(65482u * 65537u, 57));
    // One switch per press of Alt+Enter, none during a cool-down.
    const std::tuple<std::set<K>, int, int> polls[] = {{{K::Alt, K::Enter}, 0, 0}, {{K::Alt, K::Enter}, 1, 0}, {{K::Alt}, 1, 0},
                                                       {{K::Alt, K::Enter}, 1, 0}, {{}, 0, 0}, {{K::Alt, K::Enter}, 0, 1}};
    for (const auto& [keys, fullScreen, cooldown] : polls) {
        rig.held = keys, rig.state.fullScreen = fullScreen, rig.state.inputCooldown = cooldown;
        rig.input.PollKeyboard();
    }
    EXPECT_EQ(rig.device.sent, (Strings{"[full screen]", "[leave full screen]"}));
}

}  // namespace
