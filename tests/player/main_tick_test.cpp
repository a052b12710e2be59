// The 30 ms heartbeat: tick rate, first-tick set-up, the requests a full tick carries out, the
// full-screen windows and the panel, the editor in step, the quit path. Device commands and
// window calls ("[...]") share one journal, so orders across both are checked.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "player/MainTick.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

struct Rig final : MediaDevice, MainTickHost, WaveVolume {
    explicit Rig(std::vector<std::string> args = {}) : args(std::move(args)) {
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        script.Answer("status movie position", "5200");
    }
    std::string SendString(const std::string& command) override { return journal.push_back(command), script.SendString(command); }
    void Log(const std::string& call) { journal.push_back("[" + call + "]"); }
    // Window values; all but the positions, the slider values and the editor's are read-and-clear.
    int AuxValue(AuxWindow w, int i) override {
        const int v = values[{w, i}];
        if (!(w == AuxWindow::Video && i <= 1) && w != AuxWindow::PlaylistEditor && !(w == AuxWindow::ControlPanel && i % 2)) values[{w, i}] = 0;
        return v;
    }
    void AuxSetValue(AuxWindow w, int i, int v) override { Log("set " + std::to_string(int(w)) + "." + std::to_string(i) + "=" + std::to_string(v)); }
    void EditorReset(int which) override { Log("editor reset " + std::to_string(which)); }
    void EditorLayOut() override { Log("editor lay out"); }
    WindowRect EditorWindowRect() override { return {1, 2, 300, 400}; }
    bool ControlPanelExists() override { return true; }
    void ShowControlPanelAtBottom(int w, int h) override { Log("panel " + std::to_string(w) + "x" + std::to_string(h)); }
    void ShowOverlay(int w, int h) override { Log("overlay " + std::to_string(w) + "x" + std::to_string(h)); }
    void FocusStepSink() override { Log("focus"); }
    void PollKeyboard() override { ++polls; }
    void LoadSurfaces() override { Log("surfaces"); }
    void PlaceMainWindow(int x, int y) override { Log("main at " + std::to_string(x) + "," + std::to_string(y)); }
    void ApplyShape() override { Log("shape"); }
    void ShowVideoWindow(int x, int y) override { Log("video window at " + std::to_string(x) + "," + std::to_string(y)); }
    void PlaceVideo() override { Log("place video"); }
    void ReloadBackground() override { Log("background"); }
    void PlaybackTick() override { Log("playback tick"); }
    void PlaybackTickNoDraw() override { Log("playback tick, no drawing"); }
    void OpenCurrentTrack() override { Log("open " + playlist.Entry(playlist.currentIndex)); }
    void DestroyVideoWindow() override { Log("destroy video window, list " + folder.Read("KORU.tsr") + " cfg " + (folder.Read("KORU.CFG").size() > 100 ? "saved" : "missing")); }
    void DeleteSurfacesAndWindows() override { Log("delete windows"); }
    void EndDialog() override { Log("end"); }
    bool Get(uint32_t& v) override { return v = volume, true; }
    bool Set(uint32_t v) override { return volume = v, true; }

    void Calls(int n) { for (int i = 0; i < n; ++i) tick.OnTimer(); }
    Strings FullTick(const PlayerState& st) {  // from a started player in state `st`
        if (!state.firstTickDone) Calls(1);
        state = st;
        state.firstTickDone = 1;
        journal.clear();
        Calls(5);
        return journal;
    }

    CurrentFolderGuard cwd;
    TempFolder folder;
    std::vector<std::string> args;
    Strings journal;
    std::map<std::pair<AuxWindow, int>, int> values;
    int polls = 0;
    uint32_t volume = 0x80008000u;
    ScriptedMediaDevice script;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    FakeClock clock;
    MciSession mci{*this, state};
    MainTick tick{state, settings, playlist, mci, *this, clock, *this, MainTickSetup{folder.path(), args, "/start/here"}};
};

TEST(MainTickTest, FullTicksComeEveryFifthCallOrEveryCallAndNotWhileBusy) {
    struct Case { int divisor, busy, calls, fullTicks; };
    for (const Case& c : {Case{5, 0, 4, 0}, Case{5, 0, 5, 1}, Case{5, 0, 14, 2}, Case{0, 0, 7, 7}, Case{0, 1, 7, 0}}) {
        Rig rig;
        rig.Calls(1);
        rig.state.tickDivisor = c.divisor, rig.state.busy = c.busy, rig.state.tickCounter = 0, rig.state.backgroundReload = 1;
        rig.journal.clear();
        rig.Calls(c.calls);
        EXPECT_EQ(std::count(rig.journal.begin(), rig.journal.end(), "[playback tick]"), c.fullTicks) << c.divisor << " " << c.calls;
        EXPECT_EQ(rig.journal[0], "[background]") << "on the next call, busy or not";
        EXPECT_EQ(rig.polls, c.calls + 1) << "the keys on every call";
    }
}

TEST(MainTickTest, FirstTickFillsThePlaylistAndStarts) {
    struct Case { std::vector<std::string> args; const char* lastList; int autoPlay; Strings entries; const char* opens; };
    const Case cases[] = {
        {{}, nullptr, 1, {}, nullptr},
        {{"/My", "Music/a.mp3"}, "/old.mp3\r\n", 1, {"/My Music/a.mp3"}, "[open /My Music/a.mp3]"},
        {{"sub dir/x.mpg"}, nullptr, 1, {"/start/here/sub dir/x.mpg"}, "[open /start/here/sub dir/x.mpg]"},
        {{}, "/m/a.mp3\r\n/m/b.mp3\r\n", 1, {"/m/a.mp3", "/m/b.mp3"}, "[open /m/a.mp3]"},
        {{}, "/m/a.mp3\r\n/m/b.mp3\r\n", 0, {"/m/a.mp3", "/m/b.mp3"}, "close movie"},
    };
    for (const Case& c : cases) {
        Rig rig(c.args);
        if (c.lastList) rig.folder.Write("KORU.tsr", c.lastList);
        rig.settings.autoPlay = c.autoPlay, rig.settings.mainX = 7, rig.settings.videoY = 9;
        rig.Calls(1);
        Strings expected{"[surfaces]", "[main at 7,0]", "[shape]", "[video window at 0,9]", "[place video]"};
        if (c.args.empty()) expected.insert(expected.begin() + 3, "close movie");  // before the last list loads
        if (c.opens) expected.insert(expected.end() - 1, c.opens);
        EXPECT_EQ(rig.journal, expected);
        EXPECT_EQ(rig.playlist.Entries(), c.entries);
        EXPECT_EQ(std::tuple(rig.playlist.currentIndex, rig.playlist.orderCount, rig.state.firstTickDone, rig.state.volumeKnobX),
                  std::tuple(0, int(c.entries.size()), 1, 29));
        EXPECT_EQ(rig.folder.Read("KORU.tsr"), c.lastList ? c.lastList : c.args.empty() ? "" : "<missing>");
    }
}

// One full tick from a given state: the traffic and the fields it leaves. The device stands at
// 5200; the length is 10000 ms or 250 frames.
TEST(MainTickTest, FullTickRequests) {
    struct Case { const char* name; PlayerState st; Strings sent; int speed, paused, pending, cooldown, knob; };
    const PlayerState open{.lengthMs = 10000, .lengthFrames = 250};
    auto with = [&](auto set) { PlayerState s = open; set(s); return s; };
    const Case cases[] = {
        {"wheel during a cool-down: discarded", {.closed = 1, .wheelStep = 1, .inputCooldown = 2}, {}, 0, 0, 0, 1, 0},
        {"wheel step", {.closed = 1, .wheelStep = 1}, {}, 1, 0, 0, 0, 0},
        {"any request but 1 is slower", {.closed = 1, .speed = 3, .speedStepRequest = 2}, {}, 2, 0, 0, 0, 0},
        {"back to normal play", {.closed = 1, .speed = 1, .speedStepRequest = -1}, {"play movie"}, 0, 0, 0, 2, 0},
        {"paused: no play", {.closed = 1, .paused = 1, .speed = 1, .speedStepRequest = -1}, {}, 0, 1, 0, 0, 0},
        {"held at 9", {.closed = 1, .speed = 9, .speedStepRequest = 1}, {}, 9, 0, 0, 0, 0},
        {"held at -9", {.closed = 1, .speed = -9, .speedStepRequest = -1}, {}, -9, 0, 0, 0, 0},
        {"toggle ends a search in play", {.closed = 1, .toggleRequest = 1, .speed = 4}, {"play movie"}, 0, 0, 0, 0, 0},
        {"toggle ends frame steps paused", {.closed = 1, .paused = 1, .toggleRequest = 1, .speed = -3}, {"pause movie"}, 0, 1, 0, 0, 0},
        {"toggle pauses", {.toggleRequest = 1, .seekDragging = 1}, {"pause movie", "status movie position"}, 0, 1, 0, 0, 0},
        {"position poll", open, {"status movie position"}, 0, 0, 0, 0, 107},
        {"poll in frames", with([](PlayerState& s) { s.timeFormatMs = 0; }), {"status movie position"}, 0, 0, 66, 0, 206},
        {"at the end", with([](PlayerState& s) { s.lengthMs = 5200; }), {"status movie position"}, 0, 0, 66, 0, 206},
        {"next already queued", with([](PlayerState& s) { s.lengthMs = 5000, s.pendingCommand = 6; }), {"status movie position"}, 0, 0, 6, 0, 206},
        {"a click waits for its release", with([](PlayerState& s) { s.lengthMs = 0, s.pendingCommand = 14; }), {"status movie position"}, 0, 0, 14, 0, 0},
        {"no poll while dragging", with([](PlayerState& s) { s.seekDragging = 2; }), {}, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        const Strings sent = rig.FullTick(c.st);
        EXPECT_EQ(Strings(sent.begin(), sent.end() - 1), c.sent) << c.name;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.paused, rig.state.pendingCommand, rig.state.inputCooldown, rig.state.seekKnobX),
                  std::tuple(c.speed, c.paused, c.pending, c.cooldown, c.knob)) << c.name;
        EXPECT_EQ(std::tuple(rig.state.speedStepRequest, rig.state.wheelStep, rig.state.toggleRequest, rig.state.position),
                  std::tuple(0, 0, 0, c.sent.size() > 1 && c.sent[1] == "status movie position" ? 5200 : 0)) << c.name;
    }
}

// Full screen: the windows' steps and clicks, and the control panel's slider, volume and
// buttons (a paused step starts from where the device stands).
TEST(MainTickTest, FullScreenWindowsAndPanel) {
    using V = std::map<std::pair<AuxWindow, int>, int>;
    constexpr AuxWindow F = AuxWindow::FullScreen, O = AuxWindow::Overlay, P = AuxWindow::ControlPanel;
    const std::string length = "status movie length", pos = "status movie position";
    struct Case { const char* name; int paused, panel; V values; Strings sent; int speed, pending; };
    const Case cases[] = {
        {"steps: the overlay's wins; a click toggles", 0, 0, {{{F, 0}, -1}, {{O, 0}, 1}, {{F, 1}, 1}},
         {"[focus]", "pause movie", pos, "[overlay 0x0]", "[focus]", pos, "[playback tick, no drawing]"}, 1, 0},
        {"a click on the window counts only without the panel", 0, 1, {{{F, 2}, 1}},
         {pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]", "[playback tick]"}, 0, 0},
        {"slider moved while paused", 1, 1, {{{P, 0}, 1}, {{P, 1}, 777}},
         {pos, pos, length, "[set 3.0=0]", "seek movie to 777", "[set 3.1=777]", "[focus]", "[playback tick]"}, 0, 0},
        {"step back while paused", 1, 1, {{{P, 4}, 3}, {{P, 5}, 3}},
         {pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]", pos, "seek movie to 5199", "[focus]", "[playback tick]"}, 0, 0},
        {"next while playing", 0, 1, {{{P, 4}, 3}, {{P, 5}, 2}},
         {pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]", "[focus]", "[playback tick]"}, 0, 6},
        {"play/pause", 1, 1, {{{P, 4}, 3}, {{P, 5}, 1}, {{P, 2}, 2}, {{P, 3}, 300}},
         {pos, pos, length, "[set 3.0=0]", "[set 3.1=5200]", "[focus]", "[focus]", "[playback tick]"}, 0, 2},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.values = c.values;
        rig.script.Answer(length, "");
        const Strings sent = rig.FullTick({.paused = c.paused, .lengthMs = 99999, .fullScreen = 1, .panelInFullScreen = c.panel});
        EXPECT_EQ(sent, c.sent) << c.name;
        EXPECT_EQ(std::tuple(rig.state.speed, rig.state.pendingCommand), std::tuple(c.speed, c.pending)) << c.name;
        EXPECT_EQ(rig.volume, c.values.count({P, 3}) ? 255u * 0x01010101u : 0x80008000u) << c.name;
    }
}

TEST(MainTickTest, PlaylistEditorInStepAndTheQuit) {
    Rig rig({"/music/only one.mp3"});
    rig.Calls(1);
    rig.playlist.InsertAt(1, "/m/d.mp3");
    rig.values = {{{AuxWindow::PlaylistEditor, 0}, 1}, {{AuxWindow::PlaylistEditor, 1}, 1},
                  {{AuxWindow::PlaylistEditor, 2}, 1}, {{AuxWindow::PlaylistEditor, 3}, 2}};
    EXPECT_EQ(rig.FullTick({.closed = 1, .playlistEditorOpen = 1}),
              (Strings{"[editor reset 0]", "[editor reset 1]", "close movie", "[playback tick]"}));
    EXPECT_EQ(std::tuple(rig.playlist.currentIndex, rig.playlist.count, rig.state.pendingCommand), std::tuple(1, 2, 1));
    rig.values[{AuxWindow::PlaylistEditor, 0}] = 10;  // resized: laid out on every full tick until replaced
    rig.Calls(10);
    EXPECT_EQ(std::count(rig.journal.begin(), rig.journal.end(), "[editor lay out]"), 2);
    EXPECT_EQ(std::tuple(rig.settings.editorX, rig.settings.editorHeight, rig.playlist.orderCount), std::tuple(1, 400, 2));

    rig.values = {{{AuxWindow::Video, 0}, 640}, {{AuxWindow::Video, 1}, -20}, {{AuxWindow::Video, 4}, 1}};
    EXPECT_EQ(rig.FullTick({.closed = 1, .quitRequested = 1}),
              (Strings{"[playback tick]", "[place video]", "close movie", "[destroy video window, list /music/only one.mp3\r\n/m/d.mp3\r\n cfg saved]",
                       "[delete windows]", "[end]"}));
    EXPECT_NE(rig.folder.Read("KORU.CFG").find("MovieX=640\r\nMovieY=-20\r\n"), std::string::npos);
    EXPECT_TRUE(rig.tick.Ended() && rig.playlist.order.empty());
    rig.journal.clear();
    rig.Calls(10);
    EXPECT_TRUE(rig.journal.empty()) << "no tick after the end";
}

}  // namespace
