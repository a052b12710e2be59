// The main window's input and 30 ms tick without a window. Device commands and window calls
// ("[...]") share one journal, so orders across both are checked. The device stands at 5200.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <tuple>
#include "platform/Files.h"
#include "platform/KeyState.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "player/InputControl.h"
#include "player/MainTick.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;
using K = PolledKey;
using W = AuxWindow;

#define LOGGED(call, name) void call override { Log(name); }  // a call that only leaves its name

// InputHost and MainTickHost share PlaceVideo and FocusStepSink.
struct Rig final : MediaDevice, MainTickHost, InputHost, KeyState, WaveVolume {
    explicit Rig(const PlayerState& start = {}, std::vector<std::string> args = {}) : args(std::move(args)), state(start) {
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        script.Answer("status movie position", "5200"), script.Answer("status movie mode", "stopped");
    }
    std::string SendString(const std::string& command) override { return journal.push_back(command), script.SendString(command); }
    void Log(const std::string& call) { journal.push_back("[" + call + "]"); }
    static std::string Xy(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
    // Window values; all but the positions, the slider values and the editor's are read-and-clear.
    int AuxValue(W w, int i) override {
        const int v = values[{w, i}];
        if (!(w == W::Video && i <= 1) && w != W::PlaylistEditor && !(w == W::ControlPanel && i % 2)) values[{w, i}] = 0;
        return v;
    }
    void AuxSetValue(W w, int i, int v) override {
        Log("set " + std::to_string(int(w)) + "." + std::to_string(i) + "=" + std::to_string(v));
    }
    void ShowControlPanelAtBottom(int w, int h) override { Log("panel " + Xy(w, h)); }
    void ShowOverlay(int w, int h) override { Log("overlay " + Xy(w, h)); }
    void PlaceMainWindow(int x, int y) override { Log("main at " + Xy(x, y)); }
    void ShowVideoWindow(int x, int y) override { Log("video window at " + Xy(x, y)); }
    void OpenCurrentTrack() override { Log("open " + playlist.Entry(playlist.currentIndex)); }
    bool DropItems(const Strings& items) override { return dropped = items, true; }
    void SwitchFullScreen(bool leave) override { Log(leave ? "leave full screen" : "full screen"); }
    LOGGED(EditorLayOut(), "editor lay out") LOGGED(LoadSurfaces(), "surfaces") LOGGED(ApplyShape(), "shape")
    LOGGED(EditorReset(int), "editor reset") LOGGED(PlaceVideo(), "place video") LOGGED(ReloadBackground(), "background")
    LOGGED(PlaybackTick(), "playback tick") LOGGED(EndDialog(), "end") LOGGED(PlaybackTickNoDraw(), "no-draw tick")
    LOGGED(DeleteSurfacesAndWindows(), "delete windows") LOGGED(DestroyVideoWindow(), "destroy video")
    LOGGED(Minimise(), "minimise") LOGGED(StartWindowMove(), "move") LOGGED(CaptureMouse(), "capture")
    LOGGED(OpenButtonAction(), "open dialog") LOGGED(TogglePlaylistEditor(), "editor") LOGGED(SettingsDialog(), "settings")
    LOGGED(MoveFullScreenStepSinksOffScreen(), "step sinks off")
    WindowRect EditorWindowRect() override { return {1, 2, 300, 400}; }
    bool ControlPanelExists() override { return true; }
    bool IsMinimised() override { return false; }
    void ReleaseMouse() override {}
    void FocusStepSink() override {}
    void PollKeyboard() override { ++polls; }
    bool Held(K k) override { return held.count(k) > 0; }
    bool Pressed(K k) override { return pressed.erase(k) + held.count(k) > 0; }
    bool Get(uint32_t& v) override { return v = volume, true; }
    bool Set(uint32_t v) override { return Log("volume " + Xy(v & 0xFFFF, v >> 16)), volume = v, true; }

    void Calls(int n) { for (int i = 0; i < n; ++i) tick.OnTimer(); }
    Strings FullTick(const PlayerState& st) {  // one full tick of a started player in state `st`
        if (!state.firstTickDone) Calls(1);
        return state = st, state.firstTickDone = 1, journal.clear(), Calls(5), journal;
    }

    std::vector<std::string> args;
    CurrentFolderGuard cwd;
    TempFolder folder, start;  // the program folder; the folder the player was started in
    Strings journal, dropped;
    std::map<std::pair<W, int>, int> values;
    std::set<K> held, pressed;
    int polls = 0;
    uint32_t volume = 0x80008000u;
    ScriptedMediaDevice script;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    FakeClock clock;
    MciSession mci{*this, state};
    InputControl input{state, settings, playlist, mci, *this, *this, clock, *this};
    MainTick tick{state, settings, playlist, mci, *this, clock, *this, MainTickSetup{folder.path(), args, start.path()}};
};

// Press and release, left or right: the request, the lit buttons, what acts at once and what the
// button-up carries out. The position stands at 100 in PlayerState and at 5200 in the device.
TEST(InputControlTest, PressesAndReleases) {
    const Strings none = {"[capture]"}, minimise = {"[minimise]", "[place video]", "[capture]"};
    struct Case { int x, y; bool right; PlayerState st; int pending; std::vector<int> lit; Strings sent; };
    const Case cases[] = {
        {250, 50, false, {.closed = 1}, 1, {0}, none},      {273, 70, false, {.paused = 1}, 2, {0}, none},  // play opens, resumes
        {237, 45, false, {.speed = 3}, 2, {0}, none},       {250, 50, false, {}, 0, {0}, none},             // ends a search; nothing
        {236, 45, false, {}, 7, {6}, none},                 {274, 70, false, {}, 0, {}, {"[move]"}},        // rewind's edge; no button
        {280, 25, false, {}, 3, {2}, none},                 {280, 25, false, {.paused = 1}, 2, {1}, none},  // pause; resume
        {280, 25, false, {.closed = 1}, 0, {1}, none},      {240, 25, false, {}, 4, {3}, none},             // only lit; stop
        {210, 75, false, {}, 5, {4}, none},                 {303, 70, false, {}, 8, {7}, none},             // previous; forward
        {254, 86, false, {.paused = 1}, 0, {4}, {"status movie position", "seek movie to 5199", "[capture]"}},  // paused: a step
        {256, 73, false, {.paused = 1}, 0, {5}, {"status movie position", "seek movie to 5201", "[capture]"}},  // from the device
        {158, 75, false, {}, 10, {10}, none},               {160, 75, false, {}, 11, {11}, none},           // smaller, larger
        {210, 50, false, {.closed = 1}, 0, {6}, none},      {20, 70, false, {}, 0, {17}, none},             // only lit; power
        {210, 25, false, {}, 14, {14}, {"[capture]", "[open dialog]"}}, {20, 25, false, {}, 15, {15}, {"[capture]", "[settings]"}},
        {185, 75, false, {}, 16, {16}, {"[capture]", "[full screen]", "[step sinks off]"}},
        {300, 5, false, {}, 0, {}, minimise}, {210, 25, true, {}, 0, {}, {"[editor]", "[capture]"}}, {210, 50, true, {}, 7, {6}, none},
        {300, 5, true, {}, 0, {}, minimise},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        rig.state.position = 100, rig.state.trackPending = 1;
        c.right ? rig.input.OnRButtonDown({c.x, c.y}) : rig.input.OnLButtonDown({c.x, c.y});
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.mouseButtonDown, rig.state.quitRequested, rig.state.trackPending,
                             rig.state.minimiseState, rig.state.rightButtonSearch),
                  std::tuple(c.pending, 1, 0, c.pending == 1 ? 0 : 1, c.y == 5 ? 1 + c.right : 0, c.right && c.pending)) << &c - cases;
        c.right ? rig.input.OnRButtonUp({c.x, c.y}) : rig.input.OnLButtonUp({c.x, c.y});
        std::vector<int> lit;  // the buttons drawn pressed
        for (int i = 0; i < 20; ++i) if (rig.state.buttonCounters[i] > 0) lit.push_back(i);
        EXPECT_EQ(std::tuple(lit, rig.journal), std::tuple(c.lit, c.sent)) << &c - cases;
        const int released = c.pending == 7 || c.pending == 8 ? 9 : c.pending >= 14 ? 0 : c.pending;  // a held search ends
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.quitRequested, rig.state.mouseButtonDown, rig.state.rightButtonSearch),
                  std::tuple(released, c.lit == std::vector<int>{17}, 0, 0)) << &c - cases;
        rig.state.pendingCommand = 0;
        c.right ? rig.input.OnRButtonUp({c.x, c.y}) : rig.input.OnLButtonUp({c.x, c.y});
        EXPECT_EQ(rig.state.pendingCommand, 0) << &c - cases << ": a second release ends no search";
    }
}

// The time display both ways with the time format each mode wants.
TEST(InputControlTest, TimeDisplay) {
    Rig rig;
    rig.script.Answer("status movie time format", "milliseconds");
    std::vector<int> modes;
    for (bool right : {false, false, false, false, true, true, true}) {
        right ? rig.input.OnRButtonDown({129, 68}) : rig.input.OnLButtonDown({201, 55});
        modes.push_back(rig.state.timeDisplayMode * 10 + rig.state.timeFormatMs);
    }
    EXPECT_EQ(std::tuple(modes, std::count(rig.journal.begin(), rig.journal.end(), "set movie time format frames")),
              std::tuple(std::vector<int>{21, 0, 11, 21, 11, 0, 21}, 2));
}

// Wheel (while active) and step sink; while busy (our own dialog took the focus) no deactivation.
TEST(InputControlTest, WheelStepsAndActivation) {
    struct Case { int active, busy, delta; bool step, activate; int wheelAfter, activeAfter; };
    for (const Case& c : {Case{1, 0, -120, false, false, -1, 1}, {0, 0, 120, false, false, 0, 0},
                          {0, 0, 3, true, false, 1, 0}, {1, 0, 120, false, true, 0, 0}, {1, 1, 120, false, true, 1, 1},
                          {0, 0, 120, true, true, 0, 1}, {0, 1, 120, true, true, 0, 0}}) {
        Rig rig({.busy = c.busy, .activeApp = c.active});
        c.step ? rig.input.OnStep(c.delta) : rig.input.OnMouseWheel(c.delta);
        if (c.activate) rig.input.OnActivateApp(c.step);  // a step activates, a wheel turn deactivates
        EXPECT_EQ(std::tuple(rig.state.wheelStep, rig.state.activeApp), std::tuple(c.wheelAfter, c.activeAfter))
            << c.active << c.busy << c.delta;
    }
}

// One poll: requests, cool-down, held-key bits, and what acts at once; presses made while another
// application had the keyboard are forgotten. Then Alt+Enter: one switch per press.
TEST(InputControlTest, KeysPolledEachTick) {
    struct Case { std::set<K> held, pressed; PlayerState st; int pending, speedStep, cooldown, keysHeld; Strings sent; };
    const Case cases[] = {
        {{}, {K::Comma, K::Period}, {}, 0, -1, 0, 1, {}},    {{}, {K::Period}, {}, 0, 1, 0, 8, {}},
        {{K::Right}, {}, {}, 6, 0, 7, 2, {}},                 {{K::Left}, {}, {}, 5, 0, 7, 4, {}},
        {{K::Right}, {}, {.paused = 1}, 0, 1, 0, 2, {}},      {{K::Left}, {}, {.paused = 1}, 0, -1, 0, 4, {}},
        {{K::Space}, {}, {}, 3, 0, 5, 0, {}},                 {{K::Space}, {}, {.paused = 1}, 2, 0, 5, 0, {}},
        {{K::Space}, {}, {.closed = 1}, 0, 0, 5, 0, {}},      {{K::Space}, {}, {.inputCooldown = 3}, 0, 0, 3, 0, {}},
        {{}, {K::X}, {}, 11, 0, 2, 0, {}},                    {{}, {K::Z}, {}, 10, 0, 2, 0, {}},
        {{}, {K::X}, {.inputCooldown = 1}, 0, 0, 1, 0, {}},   {{}, {K::Comma, K::X}, {.activeApp = 0}, 0, 0, 0, 0, {}},
        {{}, {K::Comma}, {.fullScreen = 1, .activeApp = 0}, 0, -1, 0, 1, {}},
        {{}, {K::X}, {.paused = 1, .fullScreen = 1}, 0, 0, 2, 0,
         {"pause movie", "status movie position", "[place video]", "seek movie to 5200"}},
        {{}, {K::Z}, {.fullScreen = 1}, 0, 0, 2, 0, {"pause movie", "[place video]", "play movie"}},
        {{K::N}, {}, {}, 0, 0, 0, 0, {"[volume 31612,31612]"}}, {{K::RightBracket}, {}, {}, 0, 0, 0, 0, {"[volume 33870,33870]"}},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        rig.held = c.held, rig.pressed = c.pressed, rig.input.PollKeyboard();
        rig.state.activeApp = 1, rig.state.fullScreen = 0;
        if (!c.st.activeApp && !c.st.fullScreen) rig.input.PollKeyboard();  // what was forgotten does not come back
        EXPECT_EQ(std::tuple(rig.state.pendingCommand, rig.state.speedStepRequest, rig.state.inputCooldown,
                             int(rig.state.keysHeld), rig.journal),
                  std::tuple(c.pending, c.speedStep, c.cooldown, c.keysHeld, c.sent)) << &c - cases;
        EXPECT_EQ(rig.settings.fullScreenFit, c.sent.size() < 3 ? 4 : c.pressed.count(K::X) ? 5 : 3) << &c - cases;
    }
    Rig rig;
    for (auto [keys, fullScreen, cooldown] : {std::tuple{std::set{K::Alt, K::Enter}, 0, 0}, {{K::Alt, K::Enter}, 1, 0}, {{K::Alt}, 1, 0},
                                              {{K::Alt, K::Enter}, 1, 0}, {{}, 0, 0}, {{K::Alt, K::Enter}, 0, 1}}) {
        rig.held = keys, rig.state.fullScreen = fullScreen, rig.state.inputCooldown = cooldown, rig.input.PollKeyboard();
    }
    EXPECT_EQ(rig.journal, (Strings{"[full screen]", "[leave full screen]"}));
}

// Full ticks every fifth call, or every call, none while busy; keys and background every call.
TEST(MainTickTest, TickRate) {
    for (auto [divisor, busy, calls, fullTicks] : {std::tuple{5, 0, 9, 1}, {0, 0, 7, 7}, {0, 1, 7, 0}}) {
        Rig rig({.firstTickDone = 1, .tickDivisor = divisor, .busy = busy, .backgroundReload = 1});
        rig.Calls(calls);
        EXPECT_EQ(std::tuple(std::count(rig.journal.begin(), rig.journal.end(), "[playback tick]"), rig.journal[0], rig.polls),
                  std::tuple(fullTicks, "[background]", calls));
    }
}

// The command line: the joined name when it exists, else a drop of what the arguments name; else
// the last list (created empty). Auto-play; the volume read. A later start's line waits for the editor.
TEST(MainTickTest, CommandLineOrLastListAndStart) {
    struct Case { Strings args; const char* lastList; int autoPlay; Strings entries, dropped; };
    for (const Case& c : {Case{{}, nullptr, 1, {}, {}}, {{"My", "Music/a.mp3"}, "/old.mp3\r\n", 1, {"My Music/a.mp3"}, {"My Music/a.mp3"}},
                          {{"b.wav", "gone.mp3", "a.wav", "dir/"}, nullptr, 1, {"a.wav", "b.wav", "dir/c.mp3"}, {"b.wav", "a.wav", "dir/"}},
                          {{"list.m3u"}, nullptr, 1, {"/x/2.mp3", "/x/1.mp3"}, {"list.m3u"}},
                          {{"gone.mp3"}, "/m/a.mp3\r\n/m/b.mp3\r\n", 0, {"/m/a.mp3", "/m/b.mp3"}, {}}}) {
        Rig rig({}, c.args);
        for (const char* name : {"My Music/a.mp3", "a.wav", "b.wav", "dir/c.mp3", "dir/notes.txt"}) rig.start.Write(name, "");
        rig.start.Write("list.m3u", "/x/2.mp3\r\n/x/1.mp3\r\n");
        const auto absolute = [&](Strings names) { for (auto& n : names) n = n[0] == '/' ? n : rig.start.path() + n; return names; };
        if (c.lastList) rig.folder.Write("KORU.tsr", c.lastList);
        rig.settings.autoPlay = c.autoPlay, rig.settings.mainX = 7, rig.settings.videoY = 9;
        rig.Calls(1);
        Strings expected{"[surfaces]", "[main at 7,0]", "[shape]", "[video window at 0,9]", "[place video]", "[volume 32768,32768]"};
        if (c.dropped.empty()) expected.insert(expected.begin() + 3, "close movie");  // before the last list loads
        if (!c.entries.empty()) expected.insert(expected.end() - 2, c.autoPlay ? "[open " + absolute(c.entries)[0] + "]" : "close movie");
        const std::string listAfter = c.lastList ? c.lastList : c.dropped.empty() ? "" : "<missing>";
        EXPECT_EQ(std::tuple(rig.journal, rig.playlist.Entries(), rig.playlist.currentIndex, rig.playlist.orderCount,
                             rig.state.volumeKnobX, rig.folder.Read("KORU.tsr")),
                  std::tuple(expected, absolute(c.entries), 0, int(c.entries.size()), 29, listAfter));
        rig.FullTick({.playlistEditorOpen = 1, .handedArguments = c.args, .handedStartFolder = rig.start.path(), .handedCommandLine = 1});
        EXPECT_EQ(rig.state.handedCommandLine, 1) << "the editor owns the list";
        rig.state.playlistEditorOpen = 0, rig.Calls(5);
        EXPECT_EQ(std::tuple(rig.dropped, rig.state.handedCommandLine, rig.state.handedArguments.size()),
                  std::tuple(absolute(c.dropped), 0, 0u));
    }
}

// One full tick from a given state: the traffic and the fields it leaves.
TEST(MainTickTest, FullTickRequests) {
    struct Case { PlayerState st; Strings sent; int speed, paused, pending, cooldown, knob; };
    const std::string pos = "status movie position";
    const auto open = [](int lengthMs, PlayerState s = {}) { return s.lengthMs = lengthMs, s.lengthFrames = 250, s; };
    const Case cases[] = {
        {{.closed = 1, .wheelStep = 1, .inputCooldown = 2}, {}, 0, 0, 0, 1, 0},   // discarded, not delayed
        {{.closed = 1, .wheelStep = 1}, {}, 1, 0, 0, 0, 0},
        {{.closed = 1, .speed = 3, .speedStepRequest = 2}, {}, 2, 0, 0, 0, 0},    // any request but 1 is slower
        {{.closed = 1, .speed = 1, .speedStepRequest = -1}, {"play movie"}, 0, 0, 0, 2, 0},
        {{.closed = 1, .paused = 1, .speed = 1, .speedStepRequest = -1}, {}, 0, 1, 0, 0, 0},
        {{.closed = 1, .speed = 9, .speedStepRequest = 1}, {}, 9, 0, 0, 0, 0},
        {{.closed = 1, .speed = -9, .speedStepRequest = -1}, {}, -9, 0, 0, 0, 0},
        {{.closed = 1, .toggleRequest = 1, .speed = 4}, {"play movie"}, 0, 0, 0, 0, 0},  // a search ends in play
        {{.closed = 1, .paused = 1, .toggleRequest = 1, .speed = -3}, {"pause movie"}, 0, 1, 0, 0, 0},  // frame steps end paused
        {{.toggleRequest = 1, .seekDragging = 1}, {"pause movie", pos}, 0, 1, 0, 0, 0},
        {{.paused = 1, .toggleRequest = 1, .seekDragging = 1}, {"play movie", "play movie"}, 0, 0, 0, 0, 0},
        {open(10000), {pos}, 0, 0, 0, 0, 107},               {open(10000, {.timeFormatMs = 0}), {pos}, 0, 0, 66, 0, 206},
        {open(5200), {pos}, 0, 0, 66, 0, 206},               {open(5000, {.pendingCommand = 6}), {pos}, 0, 0, 6, 0, 206},
        {open(0, {.pendingCommand = 14}), {pos}, 0, 0, 14, 0, 0},  // a click waits for its release
        // Length unknown: only the device's stopping ends the track.
        {open(0), {pos, "status movie mode"}, 0, 0, 66, 0, 0},  {open(0, {.paused = 1}), {pos}, 0, 1, 0, 0, 0},
        {open(0, {.speed = 2}), {pos}, 2, 0, 0, 0, 0},          {open(0, {.pendingCommand = 3}), {pos}, 0, 0, 3, 0, 0},
        {open(10000, {.seekDragging = 2}), {}, 0, 0, 0, 0, 0},
        // A track that won't open.
        {{.failedTrackWait = 2}, {}, 0, 0, 6, 0, 0},             {{.pendingCommand = 66, .failedTrackWait = 2}, {}, 0, 0, 6, 0, 0},
        {{.closed = 1, .failedTrackWait = 2}, {}, 0, 0, 0, 0, 0}, {{.pendingCommand = 3, .failedTrackWait = 2}, {}, 0, 0, 3, 0, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Strings sent = rig.FullTick(c.st);
        EXPECT_EQ(Strings(sent.begin(), sent.end() - 1), c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.paused, rig.state.pendingCommand, rig.state.inputCooldown,
                             rig.state.seekKnobX, rig.state.position,
                             rig.state.speedStepRequest + rig.state.wheelStep + rig.state.toggleRequest, rig.state.failedTrackWait),
                  std::tuple(c.speed, c.paused, c.pending, c.cooldown, c.knob, c.sent.size() > 1 && c.sent[1] == pos ? 5200 : 0, 0,
                             c.st.failedTrackWait && c.pending == 3)) << &c - cases;  // the user's request goes first
    }
}

// Full screen: the windows' steps and clicks; the panel's volume and its paused step.
TEST(MainTickTest, FullScreenWindowsAndPanel) {
    constexpr W F = W::FullScreen, O = W::Overlay, P = W::ControlPanel;
    const std::string length = "status movie length", pos = "status movie position";
    const auto panel = [&](Strings then) { return then.insert(then.begin(), {pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]"}), then; };
    struct Case { int paused, panel; std::map<std::pair<W, int>, int> values; Strings sent; int speed, pending; };
    const Case cases[] = {
        {0, 0, {{{F, 0}, -1}, {{O, 0}, 1}, {{F, 1}, 1}}, {"pause movie", pos, "[overlay 0,0]", pos, "[no-draw tick]"}, 1, 0},
        {0, 0, {{{F, 2}, 1}}, {"pause movie", pos, "[overlay 0,0]", pos, "[no-draw tick]"}, 0, 0},  // a click toggles, with
        {0, 1, {{{F, 2}, 1}}, panel({"[playback tick]"}), 0, 0},
        {0, 1, {{{O, 1}, 1}},  // the panel up
         {"pause movie", pos, "[panel 0,0]", pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]", "[playback tick]"}, 0, 0},
        {1, 1, {{{P, 4}, 3}, {{P, 5}, 3}}, panel({pos, "seek movie to 5199", "[playback tick]"}), 0, 0},
        {1, 1, {{{P, 4}, 3}, {{P, 5}, 1}, {{P, 2}, 2}, {{P, 3}, 300}}, panel({"[volume 65535,65535]", "[playback tick]"}), 0, 2},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.values = c.values, rig.script.Answer(length, "");
        const PlayerState st{.paused = c.paused, .lengthMs = 99999, .fullScreen = 1, .panelInFullScreen = c.panel};
        EXPECT_EQ(rig.FullTick(st), c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.pendingCommand), std::tuple(c.speed, c.pending)) << &c - cases;
    }
}

// The editor's play request: its entry opens; its index and count become the player's.
TEST(MainTickTest, PlaylistEditorInStep) {
    Rig rig;
    rig.values = {{{W::PlaylistEditor, 0}, 1}, {{W::PlaylistEditor, 1}, 1}, {{W::PlaylistEditor, 2}, 1}, {{W::PlaylistEditor, 3}, 2}};
    EXPECT_EQ(rig.FullTick({.closed = 1, .playlistEditorOpen = 1}),
              (Strings{"[editor reset]", "[editor reset]", "close movie", "[playback tick]"}));
    EXPECT_EQ(std::tuple(rig.playlist.currentIndex, rig.playlist.count, rig.state.pendingCommand), std::tuple(1, 2, 1));
}

}  // namespace
