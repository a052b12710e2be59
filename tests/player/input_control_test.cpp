// The skin's buttons, knobs, wheel and keys: which request each press writes, and what acts
// at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/KeyState.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "player/InputControl.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

class FakeKeys final : public KeyState {
public:
    std::set<PolledKey> held, pressed;
    bool Held(PolledKey k) override { return held.count(k) > 0; }
    bool Pressed(PolledKey k) override {
        const bool was = pressed.count(k) > 0 || held.count(k) > 0;
        pressed.erase(k);
        return was;
    }
};

class FakeVolume final : public WaveVolume {
public:
    uint32_t volume = 0xFFFFFFFFu;
    bool Get(uint32_t& v) override { v = volume; return true; }
    bool Set(uint32_t v) override { volume = v; return true; }
};

class RecordingInputHost final : public InputHost {
public:
    Strings calls;
    bool minimised = false;
    bool IsMinimised() override { return minimised; }
    void Minimise() override { calls.push_back("Minimise"); }
    void StartWindowMove() override { calls.push_back("StartWindowMove"); }
    void CaptureMouse() override { calls.push_back("CaptureMouse"); }
    void ReleaseMouse() override {}
    void FocusStepSink() override {}
    void PlaceVideo() override { calls.push_back("PlaceVideo"); }
    void OpenButtonAction() override { calls.push_back("OpenButtonAction"); }
    void TogglePlaylistEditor() override { calls.push_back("TogglePlaylistEditor"); }
    void SettingsDialog() override { calls.push_back("SettingsDialog"); }
    void SwitchFullScreen(bool leave) override { calls.push_back(leave ? "LeaveFullScreen" : "EnterFullScreen"); }
    void MoveFullScreenStepSinksOffScreen() override { calls.push_back("StepSinksOffScreen"); }
};

struct Rig {
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    MciSession mci{device, state};
    FakeVolume volume;
    FakeKeys keys;
    FakeClock clock;
    RecordingInputHost host;
    InputControl input{state, settings, playlist, mci, volume, keys, clock, host};

    void Click(int x, int y) {
        input.OnLButtonDown({x, y});
        input.OnLButtonUp({x, y});
    }
};

TEST(InputControlTest, ButtonEdgesAreInclusive) {
    // (236, 45) lies on the play button's left edge and the rewind button's right edge:
    // rewind is tested first and takes it.
    struct Case { int x, y; int counter; };
    const Case cases[] = {{237, 45, 0}, {273, 70, 0}, {274, 70, -1}, {236, 45, 6}, {250, 71, -1}, {303, 70, 7}, {304, 70, -1}};
    for (const Case& c : cases) {
        Rig rig;
        rig.state.closed = 1;
        rig.input.OnLButtonDown({c.x, c.y});
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(rig.state.buttonCounters[i], i == c.counter ? 1 : 0) << c.x << "," << c.y << " counter " << i;
    }
    const InputControl::HitRect play{236, 45, 37, 25};
    EXPECT_TRUE(play.Contains({236, 45}));
    EXPECT_TRUE(play.Contains({273, 70}));
    EXPECT_FALSE(play.Contains({274, 70}));
}

TEST(InputControlTest, LeftPressRequests) {
    struct Case {
        const char* name; int x, y; int closed, paused, speed;
        int pending; int counter; Strings sent;
    };
    const Case cases[] = {
        {"play while closed opens", 250, 50, 1, 0, 0, kCmdOpenAndPlay, 0, {}},
        {"play while paused resumes", 250, 50, 0, 1, 0, kCmdPlay, 0, {}},
        {"play while searching returns to play", 250, 50, 0, 0, 3, kCmdPlay, 0, {}},
        {"play while playing does nothing more", 250, 50, 0, 0, 0, kCmdNone, 0, {}},
        {"pause while playing", 280, 25, 0, 0, 0, kCmdPause, 2, {}},
        {"pause while paused resumes", 280, 25, 0, 1, 0, kCmdPlay, 1, {}},
        {"pause while closed only lights", 280, 25, 1, 0, 0, kCmdNone, 1, {}},
        {"stop", 240, 25, 0, 0, 0, kCmdClose, 3, {}},
        {"previous while playing", 210, 75, 0, 0, 0, kCmdPreviousTrack, 4, {}},
        {"previous while paused steps back at once", 210, 75, 0, 1, 0, kCmdNone, 4, {"status movie position", "seek movie to 0"}},
        {"next while paused steps forward at once", 260, 75, 0, 1, 0, kCmdNone, 5, {"status movie position", "seek movie to 1"}},
        {"rewind", 210, 50, 0, 0, 0, kCmdSearchBackward, 6, {}},
        {"rewind while closed only lights", 210, 50, 1, 0, 0, kCmdNone, 6, {}},
        {"fast forward", 280, 50, 0, 0, 0, kCmdSearchForward, 7, {}},
        {"smaller video", 145, 75, 0, 0, 0, kCmdSmallerVideo, 10, {}},
        {"larger video", 165, 75, 0, 0, 0, kCmdLargerVideo, 11, {}},
        {"open", 210, 25, 0, 0, 0, kCmdOpenButton, 14, {}},
        {"settings", 20, 25, 0, 0, 0, kCmdSettingsDialog, 15, {}},
        {"full screen", 185, 75, 0, 0, 0, kCmdFullScreen, 16, {}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.state.closed = c.closed;
        rig.state.paused = c.paused;
        rig.state.speed = c.speed;
        rig.state.position = 100;
        rig.input.OnLButtonDown({c.x, c.y});
        EXPECT_EQ(rig.state.pendingCommand, c.pending) << c.name;
        EXPECT_EQ(rig.state.buttonCounters[c.counter], 1) << c.name;
        EXPECT_EQ(rig.device.sent, c.sent) << c.name;
        EXPECT_EQ(rig.state.mouseButtonDown, 1) << c.name;
    }
}

TEST(InputControlTest, ButtonUpCarriesOutDialogsFullScreenAndQuit) {
    struct Case { int x, y; Strings calls; int quit; };
    const Case cases[] = {
        {210, 25, {"CaptureMouse", "OpenButtonAction"}, 0},
        {20, 25, {"CaptureMouse", "SettingsDialog"}, 0},
        {185, 75, {"CaptureMouse", "EnterFullScreen", "StepSinksOffScreen"}, 0},
        {20, 70, {"CaptureMouse"}, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.input.OnLButtonDown({c.x, c.y});
        EXPECT_EQ(rig.state.quitRequested, 0) << "a press never quits by itself";
        rig.input.OnLButtonUp({c.x, c.y});
        EXPECT_EQ(rig.host.calls, c.calls);
        EXPECT_EQ(rig.state.quitRequested, c.quit);
        EXPECT_EQ(rig.state.pendingCommand, 0);
        EXPECT_EQ(rig.state.mouseButtonDown, 0);
    }
}

TEST(InputControlTest, HeldSearchEndsOnRelease) {
    for (bool right : {false, true}) {
        Rig rig;
        if (right) rig.input.OnRButtonDown({280, 50});
        else rig.input.OnLButtonDown({280, 50});
        EXPECT_EQ(rig.state.pendingCommand, kCmdSearchForward);
        EXPECT_EQ(rig.state.rightButtonSearch, right ? 1 : 0);
        rig.state.pendingCommand = 0;  // the tick carried it out
        if (right) rig.input.OnRButtonUp({280, 50});
        else rig.input.OnLButtonUp({280, 50});
        EXPECT_EQ(rig.state.pendingCommand, kCmdEndSearch);
        EXPECT_EQ(rig.state.rightButtonSearch, 0);
    }
}

TEST(InputControlTest, TimeDisplayCyclesBothWaysAndSelectsTheFormat) {
    Rig rig;
    rig.device.Answer("status movie time format", "milliseconds");
    std::vector<int> forward;
    for (int i = 0; i < 4; ++i) {
        rig.input.OnLButtonDown({150, 60});
        forward.push_back(rig.state.timeDisplayMode);
    }
    EXPECT_EQ(forward, (std::vector<int>{2, 0, 1, 2}));
    EXPECT_NE(std::find(rig.device.sent.begin(), rig.device.sent.end(), "set movie time format frames"), rig.device.sent.end());
    rig.state.timeDisplayMode = 1;
    std::vector<int> backward;
    for (int i = 0; i < 3; ++i) {
        rig.input.OnRButtonDown({150, 60});
        backward.push_back(rig.state.timeDisplayMode);
    }
    EXPECT_EQ(backward, (std::vector<int>{0, 2, 1}));
}

TEST(InputControlTest, ToggleSwitchesAndTitle) {
    Rig rig;
    rig.playlist.InsertAt(0, "/a.mp3");
    rig.playlist.InsertAt(1, "/b.mp3");
    rig.playlist.SyncCount();
    rig.Click(25, 55);
    EXPECT_EQ(rig.settings.shuffle, 1);
    EXPECT_EQ(rig.playlist.orderCount, 2) << "switching shuffle on rebuilds the order";
    rig.Click(25, 55);
    EXPECT_EQ(rig.settings.shuffle, 0);
    rig.Click(25, 40);
    EXPECT_EQ(rig.settings.repeat, 0);
    rig.Click(100, 30);
    EXPECT_EQ(rig.state.marqueeLine, 0);
    EXPECT_EQ(rig.state.marqueeOffset, -144);
    rig.Click(5, 5);
    EXPECT_EQ(rig.host.calls.back(), "StartWindowMove");
}

TEST(InputControlTest, PositionKnobSpansItsRectangleAndDragsRelatively) {
    Rig rig;
    rig.state.seekKnobX = 100;
    rig.input.OnLButtonDown({161, 5});
    EXPECT_EQ(rig.state.seekDragging, 0) << "x 161 is left of the knob";
    rig.input.OnLButtonDown({185, 5});
    EXPECT_EQ(rig.state.seekDragging, 1);
    rig.device.Answer("status movie length", "20600");
    rig.input.OnMouseMove({195, 5});
    EXPECT_EQ(rig.state.seekKnobX, 110);
    EXPECT_EQ(rig.device.sent.back(), "play movie from 11000");
    rig.state.paused = 1;
    rig.input.OnMouseMove({40, 5});
    EXPECT_EQ(rig.state.seekKnobX, 0);
    EXPECT_EQ(rig.state.seekDragging, 2);
    EXPECT_EQ(rig.device.sent.back(), "seek movie to 0");
    rig.input.OnMouseMove({200, 5});
    EXPECT_EQ(rig.state.seekKnobX, 0) << "an ended drag follows no more";
    rig.input.OnLButtonUp({200, 5});
    EXPECT_EQ(rig.state.seekDragging, 0);
}

TEST(InputControlTest, VolumeKnobDragStopsAtItsEnds) {
    Rig rig;
    rig.state.volumeKnobX = 40;
    rig.input.OnLButtonDown({105, 78});
    ASSERT_EQ(rig.state.volumeDragging, 1);
    rig.input.OnMouseMove({133, 78});
    EXPECT_EQ(rig.state.volumeKnobX, 58);
    EXPECT_EQ(rig.volume.volume, 58u * 1129u * 65537u);
    rig.input.OnMouseMove({50, 78});
    EXPECT_EQ(rig.state.volumeKnobX, 0);
    EXPECT_EQ(rig.state.volumeDragging, 2);
    EXPECT_EQ(rig.volume.volume, 0u);
}

TEST(InputControlTest, WheelOnlyWhileActive) {
    struct Case { int active, delta, step; };
    const Case cases[] = {{1, 120, 1}, {1, -120, -1}, {1, 0, 0}, {0, 120, 0}};
    for (const Case& c : cases) {
        Rig rig;
        rig.state.activeApp = c.active;
        rig.input.OnMouseWheel(c.delta);
        EXPECT_EQ(rig.state.wheelStep, c.step);
    }
}

TEST(InputControlTest, KeysPolledEachTick) {
    struct Case {
        const char* name; std::set<PolledKey> held, pressed; int paused, cooldown;
        int pending, speedStep, cooldownAfter; uint8_t keysHeld;
    };
    const Case cases[] = {
        {"comma", {}, {PolledKey::Comma}, 0, 0, 0, -1, 0, 1},
        {"full stop", {}, {PolledKey::Period}, 0, 0, 0, 1, 0, 8},
        {"right while playing: next track", {PolledKey::Right}, {}, 0, 0, kCmdNextTrack, 0, 7, 2},
        {"left while playing: previous track", {PolledKey::Left}, {}, 0, 0, kCmdPreviousTrack, 0, 7, 4},
        {"right while paused: faster", {PolledKey::Right}, {}, 1, 0, 0, 1, 0, 2},
        {"space while playing pauses", {PolledKey::Space}, {}, 0, 0, kCmdPause, 0, 5, 0},
        {"space while paused plays", {PolledKey::Space}, {}, 1, 0, kCmdPlay, 0, 5, 0},
        {"space during a cool-down", {PolledKey::Space}, {}, 0, 3, 0, 0, 3, 0},
        {"x in a window", {}, {PolledKey::X}, 0, 0, kCmdLargerVideo, 0, 2, 0},
        {"z in a window", {}, {PolledKey::Z}, 0, 0, kCmdSmallerVideo, 0, 2, 0},
        {"x during a cool-down", {}, {PolledKey::X}, 0, 1, 0, 0, 1, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.keys.held = c.held;
        rig.keys.pressed = c.pressed;
        rig.state.paused = c.paused;
        rig.state.inputCooldown = c.cooldown;
        rig.input.PollKeyboard();
        EXPECT_EQ(rig.state.pendingCommand, c.pending) << c.name;
        EXPECT_EQ(rig.state.speedStepRequest, c.speedStep) << c.name;
        EXPECT_EQ(rig.state.inputCooldown, c.cooldownAfter) << c.name;
        EXPECT_EQ(rig.state.keysHeld, c.keysHeld) << c.name;
    }
}

TEST(InputControlTest, KeysOfAnInactivePlayerAreReadAndForgotten) {
    Rig rig;
    rig.state.activeApp = 0;
    rig.keys.pressed = {PolledKey::Comma, PolledKey::X};
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.state.speedStepRequest, 0);
    EXPECT_TRUE(rig.keys.pressed.empty());
    rig.state.activeApp = 1;
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.state.speedStepRequest, 0) << "presses made while inactive do not arrive later";
}

TEST(InputControlTest, VolumeKeysStepBothChannels) {
    Rig rig;
    rig.keys.held = {PolledKey::N};
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.volume.volume, 64353u * 65537u);
    rig.keys.held = {PolledKey::RightBracket};
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.volume.volume, 65482u * 65537u);
    EXPECT_EQ(rig.state.volumeKnobX, 57);
}

TEST(InputControlTest, AltEnterSwitchesOncePerPressOutsideACoolDown) {
    Rig rig;
    rig.keys.held = {PolledKey::Alt, PolledKey::Enter};
    rig.input.PollKeyboard();
    rig.state.fullScreen = 1;
    rig.input.PollKeyboard();  // still held: no second switch
    rig.input.PollKeyboard();
    rig.keys.held = {PolledKey::Alt};
    rig.input.PollKeyboard();
    rig.keys.held = {PolledKey::Alt, PolledKey::Enter};
    rig.input.PollKeyboard();
    rig.keys.held = {};
    rig.input.PollKeyboard();
    rig.state.inputCooldown = 1;
    rig.keys.held = {PolledKey::Alt, PolledKey::Enter};
    rig.input.PollKeyboard();
    EXPECT_EQ(rig.host.calls, (Strings{"EnterFullScreen", "LeaveFullScreen"}));
}

TEST(InputControlTest, MinimiseButtons) {
    Rig rig;
    rig.input.OnLButtonDown({300, 5});
    EXPECT_EQ(rig.state.minimiseState, 1);
    EXPECT_EQ(rig.state.activeApp, 0);
    EXPECT_EQ(rig.host.calls, (Strings{"Minimise", "PlaceVideo", "CaptureMouse"}));
    Rig right;
    right.input.OnRButtonDown({300, 5});
    EXPECT_EQ(right.state.minimiseState, 2);
}

}  // namespace
