// The main window's input and 30 ms tick without a window. Device commands and window calls
// ("[...]") share one journal, so orders across both are checked. The device stands at 5200.
#include <gtest/gtest.h>
#include <set>
#include <tuple>
#include "platform/Files.h"
#include "platform/KeyState.h"
#include "playback/TrackChoice.h"
#include "platform/WaveVolume.h"
#include "player/InputControl.h"
#include "player/MainTick.h"
#include "state/AuxProtocol.h"
#include "tests/playback/PlaybackRig.h"

namespace {

using K = PolledKey; using W = AuxWindow;

#define LOGGED(call, name) void call override { Log(name); }  // a call that only leaves its name

// InputHost and MainTickHost share PlaceVideo and FocusStepSink.
struct Rig final : MediaDevice, MainTickHost, InputHost, KeyState, WaveVolume {
    explicit Rig(const PlayerState& start = {}, Strings args = {}) : args(std::move(args)) {
        state = start;
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        script.Answer("status movie position", "5200");
        script.Answer("status movie mode", "stopped");
    }
    std::string SendString(const std::string& c) override {
        journal.push_back(c);
        return script.SendString(c);
    }
    void Log(const std::string& call) { journal.push_back("[" + call + "]"); }
    static std::string Xy(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
    // Window values; all but the positions, the slider values and the editor's are read-and-clear.
    int AuxValue(W w, int i) override {
        const bool panel = w == W::ControlPanel && (i == kPanelPosition || i == kPanelVolumeLevel || i == kPanelButton);
        const bool kept = panel || w == W::PlaylistEditor || (w == W::Video && i != kVideoSnapped);
        return kept ? values[{w, i}] : std::exchange(values[{w, i}], 0);
    }
    void AuxSetValue(W w, int i, int v) override {
        const char* slot = i == kPanelSetLength ? "length" : i == kPanelShowPosition ? "position" : "?";
        Log(std::string(w == W::ControlPanel ? "panel " : "? ") + slot + "=" + std::to_string(v));
    }
    void ShowControlPanelAtBottom(int w, int h) override { Log("panel " + Xy(w, h)); }
    void ShowOverlay(int w, int h) override { Log("overlay " + Xy(w, h)); }
    void PlaceMainWindow(int x, int y) override { Log("main at " + Xy(x, y)); }
    void ShowVideoWindow(int x, int y) override { Log("video window at " + Xy(x, y)); }
    void OpenCurrentTrack() override { Log("open " + playlist.Entry(playlist.currentIndex)); }
    bool DropItems(const Strings& items) override {
        dropped = items;
        return !dropRefused;
    }
    void SwitchFullScreen(bool leave) override { Log(leave ? "leave full screen" : "full screen"); }
    void EditorReset(int which) override { Log(which == kResetRequest ? "reset request" : "reset entry"); }
    LOGGED(EditorLayOut(), "editor lay out") LOGGED(LoadSurfaces(), "surfaces") LOGGED(ApplyShape(), "shape")
    LOGGED(PlaceVideo(), "place video") LOGGED(ReloadBackground(), "background") LOGGED(EndDialog(), "end")
    LOGGED(PlaybackTick(), "playback tick") LOGGED(PlaybackTickNoDraw(), "no-draw tick")
    LOGGED(DeleteSurfacesAndWindows(), "delete windows") LOGGED(DestroyVideoWindow(), "destroy video")
    LOGGED(Minimise(), "minimise") LOGGED(StartWindowMove(), "move") LOGGED(CaptureMouse(), "capture")
    LOGGED(OpenButtonAction(), "open dialog") LOGGED(TogglePlaylistEditor(), "editor")
    LOGGED(SettingsDialog(), "settings") LOGGED(MoveFullScreenStepSinksOffScreen(), "step sinks off")
    WindowRect EditorWindowRect() override { return {1, 2, 300, 400}; }
    bool ControlPanelExists() override { return true; } bool IsMinimised() override { return false; }
    void ReleaseMouse() override {} void FocusStepSink() override {} void PollKeyboard() override { ++polls; }
    bool Held(K k) override { return held.count(k) > 0; }
    bool Pressed(K k) override { return pressed.erase(k) + held.count(k) > 0; }
    bool Get(uint32_t& v) override {
        v = volume;
        return true;
    }
    bool Set(uint32_t v) override {
        Log("volume " + Xy(v & 0xFFFF, v >> 16));
        volume = v;
        return true;
    }

    void Calls(int n) { for (int i = 0; i < n; ++i) tick.OnTimer(); }
    Strings InStart(Strings lines) {  // '%' stands for the folder the player was started in
        for (std::string& l : lines) if (const size_t at = l.find('%'); at != l.npos) l.replace(at, 1, start.path());
        return lines;
    }
    Strings FullTick(const PlayerState& st, const Asked& ask = {}) {  // one full tick of a started player in `st`
        if (!state.firstTickDone) Calls(1);
        state = st;
        Ask(state, ask);
        state.firstTickDone = 1;
        journal.clear();
        Calls(5);
        return journal;
    }

    Strings args;  // what the command line names, '%' for the folder the player was started in
    CurrentFolderGuard cwd;
    TempFolder folder, start;  // the program folder; the folder the player was started in
    Strings journal, dropped; bool dropRefused = false;  // DropItems answers as the window does while busy
    std::map<std::pair<W, int>, int> values; std::set<K> held, pressed;
    int polls = 0; uint32_t volume = 0x80008000u;
    ScriptedMediaDevice script; PlayerState state; Settings settings; Playlist playlist; FakeClock clock;
    MciSession mci{*this, state};
    InputControl input{state, settings, playlist, mci, *this, *this, clock, *this};
    MainTick tick{state, settings, playlist, mci, *this, clock, *this, {folder.path(), InStart(args)}};
};

// A press and its release, with the position at 100 in PlayerState and at 5200 in the device, and
// browsing on: the request of the press, the buttons lit for one more tick (at 1) and the journal
// after the release, what the button-up carries out; a second release ends no search. A left
// button up anywhere shortens the lights of the first nine buttons to that one tick.
TEST(InputControlTest, PressesAndReleases) {
    const WindowPoint playButton{250, 50}, rewButton{210, 50}, openButton{210, 25}, minimiseBox{300, 5};
    const Strings minimise = {"[minimise]", "[place video]", "[capture]"};
    // One picture whatever the display's time format: milliseconds are left for frames and back.
    const std::string frames = "set movie time format frames", ms = "set movie time format milliseconds";
    const std::string pos = "status movie position";
    const WindowPoint gap{274, 70}, still{280, 25};  // no button; PAUSE
    struct Case { const char* name; WindowPoint at; bool right = false; PlayerState st; int pending = kCmdNone;
                  std::vector<int> lit; Strings sent{"[capture]"};
                  int released = -1, minimised = 0, quit = 0, track = 1, search = 0; };  // released -1: as pressed
    const Case cases[] = {
        {.name = "PLAY's corner while paused plays", .at = {273, 70}, .st = {.paused = 1}, .pending = kCmdPlay,
         .lit = {kCounterPlay}},
        {.name = "PLAY's edge while searching plays", .at = {237, 45}, .st = {.speed = 3}, .pending = kCmdPlay,
         .lit = {kCounterPlay}},
        {.name = "PLAY while playing: nothing", .at = playButton, .lit = {kCounterPlay}},
        {.name = "REW's edge searches back", .at = {236, 45}, .pending = kCmdSearchBackward,
         .lit = {kCounterSearchBackward}, .released = kCmdEndSearch},
        {.name = "no button: the window moves", .at = gap, .sent = {"[move]"}},
        {.name = "no button, ten lit longer", .at = gap, .st = {.buttonCounters = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
         .lit = {0, 1, 2, 3, 4, 5, 6, 7, 8, -11}, .sent = {"[move]"}},
        {.name = "PAUSE while playing pauses", .at = still, .pending = kCmdPause, .lit = {kCounterPauseLit}},
        {.name = "PAUSE while paused plays", .at = still, .st = {.paused = 1}, .pending = kCmdPlay,
         .lit = {kCounterPause}},
        {.name = "PAUSE with nothing open: only lit", .at = still, .st = {.closed = 1}, .lit = {kCounterPause}},
        {.name = "STOP closes", .at = {240, 25}, .pending = kCmdClose, .lit = {kCounterStop}},
        {.name = "BACK: previous track", .at = {210, 75}, .pending = kCmdPreviousTrack, .lit = {kCounterPrevious}},
        {.name = "FF searches forward", .at = {303, 70}, .pending = kCmdSearchForward, .lit = {kCounterSearchForward},
         .released = kCmdEndSearch},
        {.name = "BACK's edge while paused: a frame back", .at = {254, 86}, .st = {.paused = 1},
         .lit = {kCounterPrevious}, .sent = {frames, pos, "seek movie to 5199", ms, pos, "[capture]"}},
        {.name = "NEXT while paused: a frame on", .at = {256, 73}, .st = {.paused = 1, .timeFormatMs = 0},
         .lit = {kCounterNext}, .sent = {pos, "seek movie to 5201", "[capture]"}},
        {.name = "smaller video", .at = {158, 75}, .pending = kCmdSmallerVideo, .lit = {kCounterSmallerVideo}},
        {.name = "larger video", .at = {160, 75}, .pending = kCmdLargerVideo, .lit = {kCounterLargerVideo}},
        {.name = "REW with nothing open: only lit", .at = rewButton, .st = {.closed = 1},
         .lit = {kCounterSearchBackward}},
        {.name = "power quits", .at = {20, 70}, .lit = {kCounterClose}, .quit = 1},
        {.name = "OPEN: the file dialog", .at = openButton, .pending = kCmdOpenButton, .lit = {kCounterOpen},
         .sent = {"[capture]", "[open dialog]"}, .released = kCmdNone},
        {.name = "CONFIG: the settings", .at = {20, 25}, .pending = kCmdSettingsDialog, .lit = {kCounterSettings},
         .sent = {"[capture]", "[settings]"}, .released = kCmdNone},
        {.name = "full screen", .at = {185, 75}, .pending = kCmdFullScreen, .lit = {kCounterFullScreen},
         .sent = {"[capture]", "[full screen]", "[step sinks off]"}, .released = kCmdNone},
        {.name = "minimise box", .at = minimiseBox, .sent = minimise, .minimised = 1},
        {.name = "OPEN with the right button: the editor", .at = openButton, .right = true,
         .sent = {"[editor]", "[capture]"}},
        {.name = "minimise box with the right button", .at = minimiseBox, .right = true, .sent = minimise,
         .minimised = 2},
        {.name = "PLAY with nothing open opens the entry and ends the browsing", .at = playButton, .st = {.closed = 1},
         .pending = kCmdOpenAndPlay, .lit = {kCounterPlay}, .track = 0},
        {.name = "REW with the right button searches at its speeds until released", .at = rewButton, .right = true,
         .pending = kCmdSearchBackward, .lit = {kCounterSearchBackward}, .released = kCmdEndSearch, .search = 1},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        const PlayerState& s = rig.state;
        rig.state.position = 100;
        rig.state.trackPending = 1;
        const auto release = [&] { c.right ? rig.input.OnRButtonUp(c.at) : rig.input.OnLButtonUp(c.at); };
        c.right ? rig.input.OnRButtonDown(c.at) : rig.input.OnLButtonDown(c.at);
        EXPECT_EQ(std::tuple(s.pendingCommand.Get(), s.mouseButtonDown, s.quitRequested.Get(), s.trackPending,
                             int(s.minimiseState), s.rightButtonSearch),
                  std::tuple(c.pending, 1, 0, c.track, c.minimised, c.search)) << c.name;
        release();
        std::vector<int> lit;
        for (int i = 0; i < kButtonCounterCount; ++i)  // lit one more tick: its index; longer: minus the ticks
            if (const int n = s.buttonCounters[i]; n > 0) lit.push_back(n == 1 ? i : -n);
        EXPECT_EQ(std::tuple(lit, rig.journal), std::tuple(c.lit, c.sent)) << c.name;
        EXPECT_EQ(std::tuple(s.pendingCommand.Get(), s.quitRequested.Get(), s.mouseButtonDown, s.rightButtonSearch),
                  std::tuple(c.released < 0 ? c.pending : c.released, c.quit, 0, 0)) << c.name;
        rig.state.pendingCommand.Clear();
        release();
        EXPECT_EQ(s.pendingCommand.Get(), kCmdNone) << "a second release ends no search, " << c.name;
    }
    // The time display both ways with the time format each mode wants.
    Rig rig;
    rig.script.Answer("status movie time format", "milliseconds");
    std::vector<std::pair<int, int>> modes, expected{{2, 1}, {0, 0}, {1, 1}, {2, 1}, {1, 1}, {0, 0}, {2, 1}};
    for (bool right : {false, false, false, false, true, true, true}) {
        right ? rig.input.OnRButtonDown({129, 68}) : rig.input.OnLButtonDown({201, 55});
        modes.emplace_back(int(rig.state.timeDisplayMode), rig.state.timeFormatMs);
    }
    EXPECT_EQ(std::tuple(modes, std::count(rig.journal.begin(), rig.journal.end(), "set movie time format frames")),
              std::tuple(expected, 2));
}

// A hotspot takes a press on each of its pixels, edges included, and none just past its right or bottom edge:
// its top-left and bottom-right corners act, the points one beyond them do not.
TEST(InputControlTest, HotspotsTakePressesOnTheirOwnPixelsOnly) {
    const struct { const char* name; int x, y, w, h; bool (*acted)(Rig&); } spots[] = {
        {"time", 129, 55, 72, 13, [](Rig& r) { return r.state.timeDisplayMode != TimeDisplayMode::Elapsed; }},
        {"STOP", 237, 19, 37, 23, [](Rig& r) { return r.state.closeRequest.Get(); }},
        {"REW", 208, 45, 28, 25, [](Rig& r) { return r.state.buttonCounters[kCounterSearchBackward] > 0; }},
        {"SHUFFLE", 19, 51, 32, 11, [](Rig& r) { return r.settings.shuffle == 0; }},
        {"REPEAT", 19, 38, 32, 11, [](Rig& r) { return r.settings.repeat == 0; }},
        {"BACK", 208, 73, 46, 13, [](Rig& r) { return r.state.pendingCommand.Get() == kCmdPreviousTrack; }},
        {"PAUSE", 275, 19, 28, 23, [](Rig& r) { return r.state.pendingCommand.Get() == kCmdPause; }},
        {"MINIMISE", 295, 1, 13, 14, [](Rig& r) { return r.state.minimiseState == MinimiseState::HidingVideo; }},
    };
    for (const auto& spot : spots) {
        const int right = spot.x + spot.w, bottom = spot.y + spot.h;
        for (const auto& [x, y, inside] : {std::tuple{spot.x, spot.y, true}, {right, bottom, true},
                                            {right + 1, spot.y, false}, {spot.x, bottom + 1, false}}) {
            Rig rig;
            rig.settings.shuffle = 1;
            rig.settings.repeat = 1;
            rig.input.OnLButtonDown({x, y});
            rig.input.OnLButtonUp({x, y});
            EXPECT_EQ(spot.acted(rig), inside) << spot.name << " at " << x << "," << y;
        }
    }
}

// Wheel (while active) and step sink; while busy (our own dialog took the focus) no deactivation.
// Then a step activates the player and a wheel turn deactivates it.
TEST(InputControlTest, WheelStepsAndActivation) {
    struct Case { const char* name; int active, busy = 0, delta; bool step = false, activate = false;
                  int wheelAfter = 0; bool switched = false; };  // switched: activated or deactivated
    const Case cases[] = {
        {.name = "wheel while active", .active = 1, .delta = -120, .wheelAfter = -1},
        {.name = "wheel while inactive: dropped", .active = 0, .delta = 120},
        {.name = "a fine wheel's smallest turn", .active = 1, .delta = 1, .wheelAfter = 1},
        {.name = "no turn", .active = 1, .delta = 0},
        {.name = "step while inactive", .active = 0, .delta = 3, .step = true, .wheelAfter = 1},
        {.name = "a wheel turn deactivates", .active = 1, .delta = 120, .activate = true, .switched = true},
        {.name = "busy: no deactivation", .active = 1, .busy = 1, .delta = 120, .activate = true, .wheelAfter = 1},
        {.name = "a step activates", .active = 0, .delta = 120, .step = true, .activate = true, .switched = true},
        {.name = "busy: no activation", .active = 0, .busy = 1, .delta = 120, .step = true, .activate = true},
    };
    for (const Case& c : cases) {
        Rig rig({.busy = c.busy, .activeApp = c.active});
        c.step ? rig.input.OnStep(c.delta) : rig.input.OnMouseWheel(c.delta);
        if (c.activate) rig.input.OnActivateApp(c.step);
        EXPECT_EQ(std::tuple(rig.state.wheelStep.Get(), rig.state.activeApp),
                  std::tuple(c.wheelAfter, c.switched ? 1 - c.active : c.active)) << c.name;
    }
}

// B and V ask for the next audio and subtitle track of an open file. A press while another application has the
// keyboard is forgotten, also at the next poll. A held arrow steps the track once, then not again until the 7 full
// ticks of its cool-down have run out. Alt+Enter switches full screen once per press.
TEST(InputControlTest, KeysPolledEachTick) {
    using enum PolledKey;
    struct Case { const char* name; std::set<K> held, pressed; PlayerState st;
                  int pending = kCmdNone, speedStep = 0, cooldown = 0, keysHeld = 0; Strings sent; int fit = 4;
                  std::vector<std::set<K>> then; int track = kTrackNone; };  // the keys held at later polls
    const Case cases[] = {
        {.name = "comma and full stop: comma", .pressed = {Comma, Period}, .speedStep = -1, .keysHeld = kHeldComma},
        {.name = "full stop: a step up", .pressed = {Period}, .speedStep = 1, .keysHeld = kHeldFullStop},
        {.name = "right: next track", .held = {Right}, .pending = kCmdNextTrack, .cooldown = 7, .keysHeld = kHeldRight},
        {.name = "left: previous track", .held = {Left}, .pending = kCmdPreviousTrack, .cooldown = 7,
         .keysHeld = kHeldLeft},
        {.name = "right held in a cool-down", .held = {Right}, .st = {.inputCooldown = 6}, .cooldown = 6,
         .keysHeld = kHeldRight},
        {.name = "right while paused: a step up", .held = {Right}, .st = {.paused = 1}, .speedStep = 1,
         .keysHeld = kHeldRight},
        {.name = "left while paused: a step down", .held = {Left}, .st = {.paused = 1}, .speedStep = -1,
         .keysHeld = kHeldLeft},
        {.name = "space pauses", .held = {Space}, .pending = kCmdPause, .cooldown = 5},
        {.name = "space while paused plays", .held = {Space}, .st = {.paused = 1}, .pending = kCmdPlay, .cooldown = 5},
        {.name = "space with nothing open", .held = {Space}, .st = {.closed = 1}, .cooldown = 5},
        {.name = "space in a cool-down", .held = {Space}, .st = {.inputCooldown = 3}, .cooldown = 3},
        {.name = "X: larger video", .pressed = {X}, .pending = kCmdLargerVideo, .cooldown = 2},
        {.name = "Z: smaller video", .pressed = {Z}, .pending = kCmdSmallerVideo, .cooldown = 2},
        {.name = "X in a cool-down", .pressed = {X}, .st = {.inputCooldown = 1}, .cooldown = 1},
        {.name = "comma in full screen, inactive", .pressed = {Comma}, .st = {.fullScreen = 1, .activeApp = 0},
         .speedStep = -1, .keysHeld = kHeldComma},
        {.name = "X, full screen, paused: the fit", .pressed = {X}, .st = {.paused = 1, .fullScreen = 1}, .cooldown = 2,
         .sent = {"pause movie", "status movie position", "[place video]", "seek movie to 5200"}, .fit = 5},
        {.name = "Z in full screen: the fit", .pressed = {Z}, .st = {.fullScreen = 1}, .cooldown = 2,
         .sent = {"pause movie", "[place video]", "play movie"}, .fit = 3},
        {.name = "N: volume down", .held = {N}, .sent = {"[volume 31612,31612]"}},
        {.name = "]: volume up", .held = {RightBracket}, .sent = {"[volume 33870,33870]"}},
        {.name = "presses while another application had the keyboard", .pressed = {Comma, X, B},
         .st = {.activeApp = 0}, .then = {{}}},
        {.name = "B: audio", .pressed = {B}, .then = {{}}, .track = kTrackAudio},
        {.name = "V: subtitle", .pressed = {V}, .track = kTrackSubtitle},
        {.name = "B and V: audio, V not kept", .pressed = {B, V}, .then = {{}}, .track = kTrackAudio},
        {.name = "V with nothing open", .pressed = {V}, .st = {.closed = 1}, .then = {{}}},
        {.name = "Alt+Enter held over two polls: one switch", .held = {Alt, Enter}, .sent = {"[full screen]"},
         .then = {{Alt, Enter}}},
        {.name = "Alt+Enter again once Enter was let go", .held = {Alt, Enter},
         .sent = {"[full screen]", "[full screen]"}, .then = {{Alt}, {Alt, Enter}}},
        {.name = "Alt+Enter in full screen", .held = {Alt, Enter}, .st = {.fullScreen = 1},
         .sent = {"[leave full screen]"}},
        {.name = "Alt+Enter in a cool-down", .held = {Alt, Enter}, .st = {.inputCooldown = 1}, .cooldown = 1},
    };
    for (const Case& c : cases) {
        Rig rig(c.st);
        rig.held = c.held;
        rig.pressed = c.pressed;
        rig.input.PollKeyboard();
        for (const std::set<K>& keys : c.then) {  // later polls, the player active
            rig.state.activeApp = 1;
            rig.held = keys;
            rig.input.PollKeyboard();
        }
        const PlayerState& s = rig.state;
        EXPECT_EQ(std::tuple(s.pendingCommand.Get(), s.speedStepRequest.Get(), s.inputCooldown, int(s.keysHeld),
                             rig.journal, s.trackRequest.Get(), rig.pressed.count(K::B) + rig.pressed.count(K::V)),
                  std::tuple(c.pending, c.speedStep, c.cooldown, c.keysHeld, c.sent, c.track, 0u)) << c.name;
        EXPECT_EQ(rig.settings.fullScreenFit, c.fit) << c.name;
    }
}

// The first tick: the joined command line when it names a file, else a drop of what the arguments
// name; else the last list (created empty). Auto-play; the volume read. '%' stands for the folder
// the player was started in. The same command line handed by a later start is taken as a drop of
// what it names at the next full tick, with the editor open too (the window then shows the new list
// there); kept while the window refuses.
TEST(MainTickTest, CommandLineAtTheFirstTickAndHandedLater) {
    const std::string video = "[video window at 0,9]", close = "close movie", lastAB = "/m/a.mp3\r\n/m/b.mp3\r\n";
    const Strings head{"[surfaces]", "[main at 7,0]", "[shape]"}, tail{"[place video]", "[volume 32768,32768]"};
    const Strings mixed{"%b.wav", "%a.wav", "%dir/"}, mixedEntries{"%a.wav", "%b.wav", "%dir/c.mp3"};
    struct Case { const char* name; Strings items; std::string last; int autoPlay = 1; Strings entries, middle;
                  std::string listAfter; int editorOpen = 1; bool refused = false; };
    const Case cases[] = {
        {.name = "no arguments, no last list: created empty", .middle = {close, video}, .listAfter = ""},
        {.name = "a file", .items = {"%My Music/a.mp3"}, .last = "/old.mp3\r\n",
         .entries = {"%My Music/a.mp3"}, .middle = {video, "[open %My Music/a.mp3]"}, .listAfter = "/old.mp3\r\n"},
        {.name = "a drop of what the command line names", .items = mixed, .entries = mixedEntries,
         .middle = {video, "[open %a.wav]"}, .listAfter = "<missing>", .editorOpen = 0},
        {.name = "a list file, then refused", .items = {"%list.m3u"}, .entries = {"/x/2.mp3", "/x/1.mp3"},
         .middle = {video, "[open /x/2.mp3]"}, .listAfter = "<missing>", .refused = true},
        {.name = "naming nothing: the last list, no auto-play", .last = lastAB, .autoPlay = 0,
         .entries = {"/m/a.mp3", "/m/b.mp3"}, .middle = {close, video, close}, .listAfter = lastAB, .editorOpen = 0},
    };
    for (const Case& c : cases) {
        Rig rig({}, c.items);
        if (!c.last.empty()) rig.folder.Write("KORU.tsr", c.last);
        for (const char* n : {"My Music/a.mp3", "a.wav", "b.wav", "dir/c.mp3", "dir/notes.txt"}) rig.start.Write(n, "");
        rig.start.Write("list.m3u", "/x/2.mp3\r\n/x/1.mp3\r\n");
        rig.settings.autoPlay = c.autoPlay;
        rig.settings.mainX = 7;
        rig.settings.videoY = 9;
        rig.Calls(1);
        EXPECT_EQ(rig.journal, rig.InStart(Concat({head, c.middle, tail}))) << c.name;
        const Playlist& list = rig.playlist;
        EXPECT_EQ(std::tuple(list.Entries(), list.currentIndex, list.orderCount, rig.state.volumeKnobX),
                  std::tuple(rig.InStart(c.entries), 0, int(c.entries.size()), 29)) << c.name;
        EXPECT_EQ(rig.folder.Read("KORU.tsr"), c.listAfter) << c.name;
        rig.dropRefused = c.refused;
        rig.FullTick({.playlistEditorOpen = c.editorOpen}, {.handed = HandedCommandLine{rig.InStart(c.items)}});
        const bool kept = rig.state.handedCommandLine.Pending();
        EXPECT_EQ(std::tuple(rig.dropped, kept, kept ? rig.state.handedCommandLine->value().items : Strings{}),
                  std::tuple(rig.InStart(c.items), c.refused, c.refused ? rig.InStart(c.items) : Strings{})) << c.name;
    }
}

TEST(MainTickTest, FullTickRequests) {
    using Values = std::map<std::pair<W, int>, int>;
    constexpr W F = W::FullScreen, O = W::Overlay, P = W::ControlPanel, E = W::PlaylistEditor;
    const std::string pos = "status movie position", len = "status movie length", fmt = "status movie time format";
    // A length of 0, asked again; `learned` the device's answer, measured in both formats when known.
    const Strings measured{pos, len, fmt, len, fmt, len, fmt};
    // Full screen, a track of 99999 ms open (the knob at 10 for 5200): a toggle shows the overlay; the panel shows
    // the length and position.
    const auto full = [](int paused, int panel) {
        return PlayerState{.paused = paused, .lengthMs = 99999, .fullScreen = 1, .panelInFullScreen = panel};
    };
    const Strings toggled{"pause movie", pos, "[overlay 0,0]", pos};
    const Strings shown{pos, pos, len, "[panel length=0]", "[panel position=5200]"};
    const Strings panelStep = Concat({shown, {"set movie time format frames", pos, "seek movie to 5199",
                                              "set movie time format milliseconds", pos}});
    const Values steps{{{F, kFullScreenScrollStep}, -1}, {{O, kFullScreenScrollStep}, 1},
                       {{F, kFullScreenMiddleClick}, 1}};
    const Values back{{{P, kPanelButtonState}, kPanelButtonPressed}, {{P, kPanelButton}, kPanelBack}};
    const auto volume = [P](int level) {  // the slider moved to `level` (0..255 on the panel), PLAY pressed
        return Values{{{P, kPanelButtonState}, kPanelButtonPressed}, {{P, kPanelButton}, kPanelPlayPause + 1},
                      {{P, kPanelVolumeState}, kPanelVolumeMoved}, {{P, kPanelVolumeLevel}, level}};
    };
    struct Case { const char* name; PlayerState st; Asked ask{}; int lengthMs = -1;  // -1: no track of a length open
                  Values values; Strings sent; std::string last = "[playback tick]"; int speed = 0, paused = 0;
                  int pending = kCmdNone, cooldown = 0, knob = 0, position = 0, failedWait = 0, learned = 0;
                  int index = 0, count = 0; };
    const Case cases[] = {
        {.name = "a wheel step in a cool-down is discarded, not delayed", .st = {.closed = 1, .inputCooldown = 2},
         .ask = {.wheel = 1}, .cooldown = 1},
        {.name = "a wheel step", .st = {.closed = 1}, .ask = {.wheel = 1}, .speed = 1},
        {.name = "any step request but 1 is slower", .st = {.closed = 1, .speed = 3}, .ask = {.speedStep = 2},
         .speed = 2},
        {.name = "a step down from 1 plays", .st = {.closed = 1, .speed = 1}, .ask = {.speedStep = -1},
         .sent = {"play movie"}, .cooldown = 2},
        {.name = "a step down from 1 while paused", .st = {.closed = 1, .paused = 1, .speed = 1},
         .ask = {.speedStep = -1}, .paused = 1},
        {.name = "no step up from 9", .st = {.closed = 1, .speed = 9}, .ask = {.speedStep = 1}, .speed = 9},
        {.name = "no step down from -9", .st = {.closed = 1, .speed = -9}, .ask = {.speedStep = -1}, .speed = -9},
        {.name = "toggle while searching ends in play", .st = {.closed = 1, .speed = 4}, .ask = {.toggle = true},
         .sent = {"play movie"}},
        {.name = "toggle while paused and searching", .st = {.closed = 1, .paused = 1, .speed = -3},
         .ask = {.toggle = true}, .sent = {"pause movie"}, .paused = 1},
        {.name = "toggle with nothing open: as PLAY", .st = {.closed = 1}, .ask = {.toggle = true},
         .pending = kCmdOpenAndPlay},
        {.name = "toggle paused with nothing open: as PLAY", .st = {.closed = 1, .paused = 1}, .ask = {.toggle = true},
         .paused = 1, .pending = kCmdOpenAndPlay},
        {.name = "toggle while dragging the knob pauses", .st = {.seekDragging = KnobDrag::Dragging},
         .ask = {.toggle = true}, .sent = {"pause movie", pos}, .paused = 1, .position = 5200},
        {.name = "toggle paused while dragging the knob plays", .st = {.paused = 1, .seekDragging = KnobDrag::Dragging},
         .ask = {.toggle = true}, .sent = {"play movie", "play movie"}},
        {.name = "the knob follows the position", .lengthMs = 10000, .sent = {pos}, .knob = 107},
        {.name = "in frames past the length: the end check", .st = {.timeFormatMs = 0}, .lengthMs = 10000,
         .sent = {pos}, .pending = kCmdCheckEnd, .knob = 206},
        {.name = "at the length: the end check", .lengthMs = 5200, .sent = {pos}, .pending = kCmdCheckEnd, .knob = 206},
        {.name = "a request goes before the end check", .ask = {.command = kCmdNextTrack}, .lengthMs = 5000,
         .sent = {pos}, .pending = kCmdNextTrack, .knob = 206},
        {.name = "a click waits for its release", .ask = {.command = kCmdOpenButton}, .lengthMs = 0,
         .sent = {pos, len}, .pending = kCmdOpenButton},
        // Length unknown: only the device's stopping ends the track, until the device knows the length.
        {.name = "length unknown, playing", .lengthMs = 0, .sent = {pos, len, "status movie mode"},
         .pending = kCmdCheckEnd},
        {.name = "length unknown, paused", .st = {.paused = 1}, .lengthMs = 0, .sent = {pos, len}, .paused = 1},
        {.name = "length unknown, searching", .st = {.speed = 2}, .lengthMs = 0, .sent = {pos, len}, .speed = 2},
        {.name = "length unknown, a request", .ask = {.command = kCmdPause}, .lengthMs = 0, .sent = {pos, len},
         .pending = kCmdPause},
        {.name = "length learned, playing", .lengthMs = 0, .sent = measured, .pending = kCmdCheckEnd, .knob = 206,
         .learned = 4000},
        {.name = "length learned, paused", .st = {.paused = 1}, .lengthMs = 0, .sent = measured, .paused = 1,
         .knob = 99, .learned = 10800},
        {.name = "the drag left the bar", .st = {.seekDragging = KnobDrag::PastAnEnd}, .lengthMs = 10000},
        // A track that won't open; the user's request goes first.
        {.name = "failed track: the next", .st = {.failedTrackWait = 2}, .pending = kCmdNextTrack},
        {.name = "failed track over an end check", .st = {.failedTrackWait = 2}, .ask = {.command = kCmdCheckEnd},
         .pending = kCmdNextTrack},
        {.name = "failed track, nothing open: no step", .st = {.closed = 1, .failedTrackWait = 2}},
        {.name = "failed track: the user's request first", .st = {.failedTrackWait = 2}, .ask = {.command = kCmdPause},
         .pending = kCmdPause, .failedWait = 1},
        {.name = "full screen: the last step wins; the middle click toggles", .st = full(0, 0), .values = steps,
         .sent = toggled, .last = "[no-draw tick]", .speed = 1, .paused = 1, .knob = 10, .position = 5200},
        {.name = "full screen: a left click toggles", .st = full(0, 0), .values = {{{F, kFullScreenLeftClick}, 1}},
         .sent = toggled, .last = "[no-draw tick]", .paused = 1, .knob = 10, .position = 5200},
        {.name = "panel up: no toggle", .st = full(0, 1), .values = {{{F, kFullScreenLeftClick}, 1}}, .sent = shown,
         .knob = 10, .position = 5200},
        {.name = "panel up: the overlay's middle click", .st = full(0, 1), .values = {{{O, kFullScreenMiddleClick}, 1}},
         .sent = Concat({{"pause movie", pos, "[panel 0,0]"}, shown}), .paused = 1, .knob = 10, .position = 5200},
        {.name = "the panel's BACK while paused", .st = full(1, 1), .values = back, .sent = panelStep, .paused = 1,
         .knob = 10, .position = 5200},
        {.name = "the panel's volume past full and PLAY", .st = full(1, 1), .values = volume(300),
         .sent = Concat({shown, {"[volume 65535,65535]"}}), .paused = 1, .pending = kCmdPlay, .knob = 10,
         .position = 5200},
        {.name = "the panel's volume below silence", .st = full(1, 1), .values = volume(-5),
         .sent = Concat({shown, {"[volume 0,0]"}}), .paused = 1, .pending = kCmdPlay, .knob = 10, .position = 5200},
        // The editor's play request: its entry opens; its index and count become the player's.
        {.name = "the editor's play request", .st = {.closed = 1, .playlistEditorOpen = 1},
         .values = {{{E, kEditorRequest}, kEditorRequestPlay}, {{E, kEditorChosenEntry}, 1}, {{E, kEditorCurrent}, 1},
                    {{E, kEditorCount}, 2}}, .sent = {"[reset request]", "[reset entry]", "close movie"},
         .pending = kCmdOpenAndPlay, .index = 1, .count = 2},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.values = c.values;
        if (c.learned != 0) rig.script.Answer(len, std::to_string(c.learned));
        PlayerState start;
        start = c.st;
        if (c.lengthMs >= 0) {  // an open track of this length; 250 frames
            start.lengthMs = c.lengthMs;
            start.lengthFrames = 250;
        }
        EXPECT_EQ(rig.FullTick(start, c.ask), Concat({c.sent, {c.last}})) << c.name;
        const PlayerState& s = rig.state;  // the length learned, else the one it started with
        const auto length = c.learned ? std::pair(c.learned, c.learned) : std::pair(start.lengthMs, start.lengthFrames);
        EXPECT_EQ(std::pair(s.lengthMs, s.lengthFrames), length) << c.name;
        EXPECT_EQ(std::tuple(s.speed, s.paused, s.pendingCommand.Get(), s.inputCooldown, s.seekKnobX),
                  std::tuple(c.speed, c.paused, c.pending, c.cooldown, c.knob)) << c.name;
        EXPECT_EQ(std::tuple(s.position, s.failedTrackWait, rig.playlist.currentIndex, rig.playlist.count,
                             s.speedStepRequest.Get(), s.wheelStep.Get(), s.toggleRequest.Get()),
                  std::tuple(c.position, c.failedWait, c.index, c.count, 0, 0, 0)) << c.name;
    }
}

// After a full tick the timer rests (nothing can change), naps through the sub-calls (CanSkipSubTicks: only the clock
// moves) or runs on; resting needs all that napping needs. After a sub-call it runs on; once ended it stops.
TEST(MainTickTest, PaceAfterAFullTick) {
    using enum TickPace;
    using Change = void (*)(PlayerState&);
    struct Case { const char* name; Change change; bool quiet = true, entry = false; TickPace pace = Run; };
    const Case cases[] = {
        {.name = "closed", .change = [](PlayerState&) {}, .pace = Rest},
        {.name = "paused, browsed", .change = [](PlayerState& s) { s.closed = 0; s.paused = 1; s.trackPending = 1; },
         .entry = true, .pace = Rest},
        {.name = "key down", .change = [](PlayerState&) {}, .quiet = false},
        {.name = "ticker", .change = [](PlayerState&) {}, .entry = true, .pace = Nap},
        {.name = "first tick", .change = [](PlayerState& s) { s.firstTickDone = 0; }},
        {.name = "busy", .change = [](PlayerState& s) { s.busy = 1; }},
        {.name = "playing", .change = [](PlayerState& s) { s.closed = 0; }, .pace = Nap},
        {.name = "playing, search", .change = [](PlayerState& s) { s.closed = 0; s.speed = -1; }},
        {.name = "search", .change = [](PlayerState& s) { s.speed = 2; }},
        {.name = "a request", .change = [](PlayerState& s) { s.pendingCommand.Ask(kCmdPlay); }},
        {.name = "cooldown", .change = [](PlayerState& s) { s.inputCooldown = 1; }},
        {.name = "keys held", .change = [](PlayerState& s) { s.keysHeld = kHeldRight; }},
        {.name = "keys held before", .change = [](PlayerState& s) { s.prevKeysHeld = kHeldRight; }},
        {.name = "mouse down", .change = [](PlayerState& s) { s.mouseButtonDown = 1; }},
        {.name = "seek drag", .change = [](PlayerState& s) { s.seekDragging = KnobDrag::Dragging; }},
        {.name = "volume drag", .change = [](PlayerState& s) { s.volumeDragging = KnobDrag::Dragging; }},
        {.name = "lit", .change = [](PlayerState& s) { s.buttonCounters[kCounterStop] = 1; }},
        {.name = "failed track", .change = [](PlayerState& s) { s.failedTrackWait = 1; }},
        {.name = "minimised", .change = [](PlayerState& s) { s.minimiseState = MinimiseState::HidingVideo; }},
        {.name = "full screen", .change = [](PlayerState& s) { s.fullScreen = 1; }},
        {.name = "editor", .change = [](PlayerState& s) { s.playlistEditorOpen = 1; }},
    };
    for (const Case& c : cases) {
        Rig rig({.closed = 1, .firstTickDone = 1});
        if (c.entry) rig.playlist.InsertAt(0, "/m/a.mp3");
        rig.playlist.SyncCount();
        c.change(rig.state);
        EXPECT_EQ(std::tuple(rig.tick.CanRest(c.quiet), rig.tick.CanSkipSubTicks(c.quiet), rig.tick.Pace(c.quiet)),
                  std::tuple(c.pace == Rest, c.pace != Run, c.pace)) << c.name;
    }
    Rig sub({.closed = 1, .firstTickDone = 1, .tickCounter = 3});  // a sub-call: it could rest, yet runs on
    EXPECT_EQ(std::pair(sub.tick.CanRest(true), sub.tick.Pace(true)), std::pair(true, Run));
    ASSERT_TRUE(sub.tick.QuitNow());
    EXPECT_EQ(sub.tick.Pace(true), Stop);
}

// Slept calls count as run: the counters move on, a held full tick comes on the next call, a failed track's wait
// counts down to 1 (step now); `toFull` is the calls from then to the next full tick, none while busy. The keys are
// polled on every call, a background reload taken on the first.
TEST(MainTickTest, SleptCallsCountAsRun) {
    struct Case { const char* name; int divisor, counter, calls, toFull, wait = 0, waitAfter = 0, busy = 0; };
    const Case cases[] = {
        {.name = "nothing slept", .divisor = 5, .counter = 2, .calls = 0, .toFull = 3},
        {.name = "two of four sub-calls", .divisor = 5, .counter = 1, .calls = 2, .toFull = 2},
        {.name = "up to the full tick", .divisor = 5, .counter = 1, .calls = 3, .toFull = 1},
        {.name = "exactly the calls to it", .divisor = 5, .counter = 1, .calls = 4, .toFull = 1},
        {.name = "past it: folded into the next", .divisor = 5, .counter = 0, .calls = 12, .toFull = 1},
        {.name = "every call full", .divisor = 0, .counter = 0, .calls = 7, .toFull = 1},
        {.name = "a wait counts down", .divisor = 5, .counter = 0, .calls = 3, .toFull = 2, .wait = 10, .waitAfter = 7},
        {.name = "a wait stops at 1", .divisor = 5, .counter = 0, .calls = 9, .toFull = 1, .wait = 3, .waitAfter = 1},
        {.name = "busy: no full tick", .divisor = 0, .counter = 0, .calls = 0, .toFull = 1, .busy = 1},
    };
    for (const Case& c : cases) {
        Rig rig({.closed = 1, .firstTickDone = 1, .tickDivisor = c.divisor, .tickCounter = c.counter, .busy = c.busy});
        rig.state.failedTrackWait = c.wait;
        rig.tick.Slept(c.calls);
        EXPECT_EQ(std::pair(rig.tick.CallsToFullTick(), rig.state.failedTrackWait), std::pair(c.toFull, c.waitAfter))
            << c.name;
        rig.state.failedTrackWait = 0;
        rig.state.backgroundReload.Ask(true);
        rig.Calls(c.toFull - 1);
        EXPECT_EQ(std::count(rig.journal.begin(), rig.journal.end(), "[playback tick]"), 0) << c.name;
        rig.Calls(1);
        EXPECT_EQ(std::tuple(std::count(rig.journal.begin(), rig.journal.end(), "[playback tick]"), rig.journal[0],
                             rig.polls), std::tuple(1 - c.busy, "[background]", c.toFull)) << c.name;
    }
}

}  // namespace
