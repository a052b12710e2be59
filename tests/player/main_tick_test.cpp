// The 30 ms heartbeat: tick rate, first-tick set-up, requests carried out by the full tick,
// and the order of the quit path.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "player/MainTick.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

// One journal for device commands and window calls, so orders across both can be checked.
class JournalDevice final : public MediaDevice {
public:
    explicit JournalDevice(Strings& journal) : journal_(journal) {}
    std::string SendString(const std::string& command) override {
        journal_.push_back(command);
        return script.SendString(command);
    }
    ScriptedMediaDevice script;
private:
    Strings& journal_;
};

class FakeWaveVolume final : public WaveVolume {
public:
    bool Get(uint32_t& v) override { if (!readable) return false; v = volume; return true; }
    bool Set(uint32_t v) override { volume = v; ++sets; return true; }
    uint32_t volume = 0xFFFFFFFFu;
    bool readable = true;
    int sets = 0;
};

class RecordingHost final : public MainTickHost {
public:
    RecordingHost(Strings& journal, const std::string& folder) : journal_(journal), folder_(folder) {}

    // Values the windows report; the read-and-clear ones go back to 0 when read.
    std::map<std::pair<AuxWindow, int>, int> values;
    std::map<std::pair<AuxWindow, int>, int> setValues;
    WindowRect editorRect{1, 2, 300, 400};
    bool panelExists = false;
    int playbackTicks = 0;
    int keyboardPolls = 0;
    int noDrawTicks = 0;
    int opens = 0;

    int AuxValue(AuxWindow w, int i) override {
        const auto key = std::make_pair(w, i);
        const int v = values.count(key) ? values[key] : 0;
        const bool keeps = (w == AuxWindow::Video && i <= 1) || w == AuxWindow::PlaylistEditor ||
                           (w == AuxWindow::ControlPanel && (i == 1 || i == 3 || i == 5));
        if (!keeps) values[key] = 0;
        return v;
    }
    void AuxSetValue(AuxWindow w, int i, int v) override { setValues[{w, i}] = v; }
    void EditorReset(int which) override { Log("EditorReset " + std::to_string(which)); values[{AuxWindow::PlaylistEditor, which}] = 0; }
    void EditorLayOut() override { Log("EditorLayOut"); }
    WindowRect EditorWindowRect() override { return editorRect; }
    bool ControlPanelExists() override { return panelExists; }
    void ShowControlPanelAtBottom(int w, int h) override { Log("ShowControlPanelAtBottom " + std::to_string(w) + "x" + std::to_string(h)); }
    void ShowOverlay(int w, int h) override { Log("ShowOverlay " + std::to_string(w) + "x" + std::to_string(h)); }
    void FocusStepSink() override { Log("FocusStepSink"); }
    void PollKeyboard() override { ++keyboardPolls; }
    void LoadSurfaces() override { Log("LoadSurfaces"); }
    void PlaceMainWindow(int x, int y) override { Log("PlaceMainWindow " + std::to_string(x) + "," + std::to_string(y)); }
    void ApplyShape() override { Log("ApplyShape"); }
    void ShowVideoWindow(int x, int y) override { Log("ShowVideoWindow " + std::to_string(x) + "," + std::to_string(y)); }
    void PlaceVideo() override { Log("PlaceVideo"); }
    void ReloadBackground() override { Log("ReloadBackground"); }
    void PlaybackTick() override { ++playbackTicks; }
    void PlaybackTickNoDraw() override { ++noDrawTicks; }
    void OpenCurrentTrack() override { ++opens; Log("OpenCurrentTrack"); }
    bool DropItems(const Strings& items) override {
        for (const std::string& item : items) Log("DropItems " + item);
        return true;
    }
    void DestroyVideoWindow() override {
        Log(std::string("DestroyVideoWindow tsr=") + (CanOpenForReading(folder_ + "KORU.tsr") ? "yes" : "no") +
            " cfg=" + (CanOpenForReading(folder_ + "KORU.CFG") ? "yes" : "no"));
    }
    void DeleteSurfacesAndWindows() override { Log("DeleteSurfacesAndWindows"); }
    void EndDialog() override { Log("EndDialog"); }

private:
    void Log(const std::string& s) { journal_.push_back("[" + s + "]"); }
    Strings& journal_;
    std::string folder_;
};

std::string ShippedTemplate() {
    auto bytes = ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys");
    return bytes ? *bytes : std::string();
}

struct Rig {
    explicit Rig(std::vector<std::string> args = {}, std::string start = "/start/here") {
        folder.Write("KORU.sys", ShippedTemplate());
        device = std::make_unique<JournalDevice>(journal);
        mci = std::make_unique<MciSession>(*device, state);
        host = std::make_unique<RecordingHost>(journal, folder.path());
        tick = std::make_unique<MainTick>(state, settings, playlist, *mci, volume, clock, *host,
                                          MainTickSetup{folder.path(), std::move(args), std::move(start)});
    }
    // Runs calls of the timer until the next full tick has run (the first call included).
    void Calls(int n) { for (int i = 0; i < n; ++i) tick->OnTimer(); }
    // After the first tick, one full tick is five calls away.
    void FullTick() { Calls(5); }
    void Start() {
        Calls(5);
        journal.clear();
        device->script.ClearSent();
        host->playbackTicks = host->noDrawTicks = 0;
    }

    CurrentFolderGuard cwd;
    TempFolder folder;
    Strings journal;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    FakeWaveVolume volume;
    FakeClock clock;
    std::unique_ptr<JournalDevice> device;
    std::unique_ptr<MciSession> mci;
    std::unique_ptr<RecordingHost> host;
    std::unique_ptr<MainTick> tick;
};

TEST(MainTickTest, FullTicksComeEveryFifthCallOrEveryCall) {
    struct Case { int divisor; int calls; int fullTicks; };
    const Case cases[] = {{5, 4, 0}, {5, 5, 1}, {5, 15, 3}, {5, 14, 2}, {0, 7, 7}};
    for (const Case& c : cases) {
        Rig rig;
        rig.state.tickDivisor = c.divisor;
        rig.Calls(c.calls);
        EXPECT_EQ(rig.host->playbackTicks, c.fullTicks) << "divisor " << c.divisor << " calls " << c.calls;
    }
}

TEST(MainTickTest, KeysArePolledOnEveryCallEvenWhileBusy) {
    Rig rig;
    rig.Calls(7);
    EXPECT_EQ(rig.host->keyboardPolls, 7);
    rig.state.busy = 1;
    rig.Calls(3);
    EXPECT_EQ(rig.host->keyboardPolls, 10);
}

TEST(MainTickTest, BusyKeepsTheFullTickOut) {
    Rig rig;
    rig.Start();
    rig.state.busy = 1;
    rig.state.quitRequested = 1;
    rig.Calls(20);
    EXPECT_EQ(rig.host->playbackTicks, 0);
    EXPECT_FALSE(rig.tick->Ended());
    rig.state.busy = 0;
    rig.Calls(5);
    EXPECT_TRUE(rig.tick->Ended());
}

TEST(MainTickTest, FirstTickWithoutArgumentsOrListCreatesEmptyListAndStaysClosed) {
    Rig rig;
    rig.Calls(1);
    EXPECT_EQ(rig.folder.Read("KORU.tsr"), "");
    EXPECT_EQ(rig.state.closed, 1);
    EXPECT_EQ(rig.playlist.count, 0);
    EXPECT_EQ(rig.host->opens, 0);
    EXPECT_EQ(rig.journal, (Strings{"[LoadSurfaces]", "[PlaceMainWindow 0,0]", "[ApplyShape]", "close movie",
                                    "[ShowVideoWindow 0,0]", "[PlaceVideo]"}));
    EXPECT_EQ(rig.state.firstTickDone, 1);
}

TEST(MainTickTest, CommandLineIsADropOfWhatExistsAtStartAndWhenHanded) {
    struct Case { Strings args; Strings entries; Strings dropped; };  // relative to the start folder
    const Case cases[] = {
        {{"My", "Music/a.mp3"}, {"My Music/a.mp3"}, {"My Music/a.mp3"}},  // a name the shell split
        {{"b.wav", "gone.mp3", "a.wav", "dir/"}, {"a.wav", "b.wav", "dir/c.mp3"}, {"b.wav", "a.wav", "dir/"}},
        {{"list.m3u"}, {"/x/2.mp3", "/x/1.mp3"}, {"list.m3u"}},
        {{"gone.mp3"}, {"/old/one.mp3"}, {}},  // names nothing: the last list, and no drop
    };
    for (const Case& c : cases) {
        TempFolder start;
        for (const char* name : {"My Music/a.mp3", "a.wav", "b.wav", "dir/c.mp3", "dir/notes.txt"}) start.Write(name, "");
        start.Write("list.m3u", "/x/2.mp3\r\n/x/1.mp3\r\n");
        auto absolute = [&](const Strings& names) {
            Strings paths;
            for (const std::string& n : names) paths.push_back(n[0] == '/' ? n : start.path() + n);
            return paths;
        };
        Rig rig(c.args, start.path());
        rig.folder.Write("KORU.tsr", "/old/one.mp3\r\n");
        testing::internal::CaptureStderr();
        rig.Calls(1);
        const std::string report = testing::internal::GetCapturedStderr();
        EXPECT_EQ(rig.playlist.Entries(), absolute(c.entries)) << c.args[0];
        EXPECT_EQ(rig.host->opens, 1);  // auto-play is on by default
        EXPECT_EQ(report.find("gone.mp3: no such file") != std::string::npos,
                  std::find(c.args.begin(), c.args.end(), "gone.mp3") != c.args.end()) << report;

        // A later start hands the same command line over: the next full tick drops its items.
        Rig running;
        running.Start();
        running.state.handedArguments = c.args;
        running.state.handedStartFolder = start.path();
        running.state.handedCommandLine = 1;
        running.state.playlistEditorOpen = 1;
        running.FullTick();
        EXPECT_EQ(running.state.handedCommandLine, 1) << "waits while the editor owns the list";
        running.state.playlistEditorOpen = 0;
        running.journal.clear();
        running.FullTick();
        Strings drops;
        for (const std::string& d : absolute(c.dropped)) drops.push_back("[DropItems " + d + "]");
        EXPECT_EQ(Strings(running.journal.begin(), running.journal.begin() + static_cast<long>(drops.size())), drops);
        EXPECT_EQ(running.state.handedCommandLine, 0);
        EXPECT_TRUE(running.state.handedArguments.empty());
    }
}

TEST(MainTickTest, LastListPlaysOnlyWithAutoPlay) {
    for (int autoPlay : {0, 1}) {
        Rig rig;
        rig.settings.autoPlay = autoPlay;
        rig.folder.Write("KORU.tsr", "/m/a.mp3\r\n/m/b.mp3\r\n");
        rig.Calls(1);
        EXPECT_EQ(rig.playlist.count, 2);
        EXPECT_EQ(rig.host->opens, autoPlay);
        const long closes = std::count(rig.journal.begin(), rig.journal.end(), "close movie");
        EXPECT_EQ(closes, autoPlay ? 1 : 2) << "the list load closes; without auto-play the tick closes again";
        EXPECT_EQ(rig.playlist.orderCount, 2);
    }
}

TEST(MainTickTest, VolumeIsReadWrittenBackAndShownOnTheKnob) {
    struct Case { bool readable; uint32_t volume; int knob; };
    const Case cases[] = {{true, 0xFFFFFFFFu, 58}, {false, 0x12345678u, 58}, {true, 0x80008000u, 29},
                          {true, 0, 0}, {true, 74051159u, 0}, {true, 74051160u, 1}};
    for (const Case& c : cases) {
        Rig rig;
        rig.volume.readable = c.readable;
        rig.volume.volume = c.volume;
        rig.Calls(1);
        EXPECT_EQ(rig.state.volumeKnobX, c.knob) << std::hex << c.volume;
        EXPECT_EQ(rig.volume.sets, 1);
        EXPECT_EQ(rig.volume.volume, c.readable ? c.volume : 0xFFFFFFFFu);
    }
}

TEST(MainTickTest, FirstTickRestoresTheWorkingFolder) {
    Rig rig;
    const std::string deep = rig.folder.path() + "music/album/";
    rig.folder.Write("music/album/x.mp3", "x");
    rig.settings.lastTrackFolder = deep + "gone/";
    rig.Calls(1);
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::string(buffer) + "/", deep);
}

TEST(MainTickTest, WheelStepsDuringCooldownAreDiscardedNotDelayed) {
    Rig rig;
    rig.Start();
    rig.state.closed = 1;
    rig.state.inputCooldown = 2;
    rig.state.wheelStep = 1;
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 0);
    EXPECT_EQ(rig.state.wheelStep, 0);
    EXPECT_EQ(rig.state.inputCooldown, 1);
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 0) << "the discarded step must not come back";
    EXPECT_EQ(rig.state.inputCooldown, 0);
    rig.state.wheelStep = 1;
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 1);
}

TEST(MainTickTest, SpeedSteps) {
    struct Case { int paused, speed, request; int speedAfter; Strings sent; int cooldown; };
    const Case cases[] = {
        {0, 0, 1, 1, {}, 0},
        {0, 0, -1, -1, {}, 0},
        {0, 3, 2, 2, {}, 0},  // any request but 1 is a step slower
        {0, 1, -1, 0, {"play movie"}, 2},
        {0, -1, 1, 0, {"play movie"}, 2},
        {1, 1, -1, 0, {}, 0},  // paused: no play
        {0, 9, 1, 9, {}, 0},
        {0, -9, -1, -9, {}, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Start();
        rig.state.closed = 1;  // no position poll
        rig.state.paused = c.paused;
        rig.state.speed = c.speed;
        rig.state.speedStepRequest = c.request;
        rig.FullTick();
        EXPECT_EQ(rig.state.speed, c.speedAfter) << c.speed << " " << c.request;
        EXPECT_EQ(rig.device->script.sent, c.sent) << c.speed << " " << c.request;
        EXPECT_EQ(rig.state.inputCooldown, c.cooldown);
        EXPECT_EQ(rig.state.speedStepRequest, 0);
    }
}

TEST(MainTickTest, SteppingBackToNormalPlayBlocksTwoFullTicks) {
    Rig rig;
    rig.Start();
    rig.state.closed = 1;
    rig.state.speed = 1;
    rig.state.wheelStep = -1;
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 0);
    for (int i = 0; i < 2; ++i) {
        rig.state.wheelStep = 1;
        rig.FullTick();
        EXPECT_EQ(rig.state.speed, 0) << "blocked tick " << i;
    }
    rig.state.wheelStep = 1;
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 1);
}

TEST(MainTickTest, ToggleRequests) {
    struct Case { int paused, speed; Strings sent; int pausedAfter; };
    const Case cases[] = {
        {0, 4, {"play movie"}, 0},
        {1, -3, {"pause movie"}, 1},
        {0, 0, {"pause movie", "status movie position"}, 1},
        {1, 0, {"play movie", "play movie"}, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Start();
        rig.state.closed = 0;
        rig.state.seekDragging = 1;  // no position poll
        rig.state.paused = c.paused;
        rig.state.speed = c.speed;
        rig.state.toggleRequest = 1;
        rig.FullTick();
        EXPECT_EQ(rig.device->script.sent, c.sent);
        EXPECT_EQ(rig.state.paused, c.pausedAfter);
        EXPECT_EQ(rig.state.speed, 0);
        EXPECT_EQ(rig.state.toggleRequest, 0);
    }
}

TEST(MainTickTest, PositionPollMovesTheKnobAndQueuesTheEndCheck) {
    struct Case { int timeFormatMs, lengthMs, lengthFrames, position, pending; int knob, pendingAfter; };
    const Case cases[] = {
        {1, 206000, 0, 103000, 0, 103, 0},
        {1, 10000, 0, 5000, 0, 103, 0},
        {0, 0, 250, 125, 0, 103, 0},
        {1, 10000, 0, 10000, 0, 206, kCmdCheckEnd},
        {1, 10000, 0, 12000, 0, 206, kCmdCheckEnd},
        {1, 10000, 0, 10000, kCmdNextTrack, 206, kCmdNextTrack},
        {1, 0, 0, 0, 0, 0, 0},  // length 0 is unknown: the position says nothing of the end
        {1, 100, 0, 99, 0, 203, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Start();
        rig.state.closed = 0;
        rig.state.timeFormatMs = c.timeFormatMs;
        rig.state.lengthMs = c.lengthMs;
        rig.state.lengthFrames = c.lengthFrames;
        rig.state.pendingCommand = c.pending;
        rig.state.position = -5;
        rig.device->script.Answer("status movie position", std::to_string(c.position));
        rig.FullTick();
        EXPECT_EQ(rig.state.seekKnobX, c.knob) << c.position;
        EXPECT_EQ(rig.state.pendingCommand, c.pendingAfter) << c.position;
        EXPECT_EQ(rig.state.position, -5) << "the poll does not store the position";
    }
}

// With the length unknown only the device's "stopped" while playing at normal speed ends the
// track: a seek while paused or searching leaves it stopped too, and a queued command stays.
TEST(MainTickTest, UnknownLengthEndsWhenTheDeviceStopsWhilePlaying) {
    struct Case { int paused, speed, pending; const char* mode; int pendingAfter; bool asked; };
    const Case cases[] = {
        {0, 0, 0, "stopped", kCmdCheckEnd, true}, {0, 0, 0, "playing", 0, true},
        {1, 0, 0, "stopped", 0, false},           {0, 2, 0, "stopped", 0, false},
        {0, 0, kCmdPause, "stopped", kCmdPause, false},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Start();
        rig.state.closed = 0;
        rig.state.paused = c.paused;
        rig.state.speed = c.speed;
        rig.state.pendingCommand = c.pending;
        rig.device->script.Answer("status movie position", "5000");
        rig.device->script.Answer("status movie mode", c.mode);
        rig.FullTick();
        const Strings& sent = rig.device->script.sent;
        EXPECT_EQ(rig.state.pendingCommand, c.pendingAfter) << c.paused << c.speed << c.pending;
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "status movie mode") > 0, c.asked) << c.paused << c.speed;
    }
}

TEST(MainTickTest, NoPositionPollWhileDraggingOrClosed) {
    for (auto [closed, dragging] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{0, 2}}) {
        Rig rig;
        rig.Start();
        rig.state.closed = closed;
        rig.state.seekDragging = dragging;
        rig.FullTick();
        EXPECT_TRUE(rig.device->script.sent.empty());
        EXPECT_EQ(rig.state.pendingCommand, 0);
    }
}

TEST(MainTickTest, TrackThatWouldNotOpenShowsItsNameThenStepsOn) {
    struct Case { const char* what; int closed; int pending; int pendingAfter; int waitAfter; };
    const Case cases[] = {
        {"steps on", 0, kCmdNone, kCmdNextTrack, 0},
        {"instead of a queued end check", 0, kCmdCheckEnd, kCmdNextTrack, 0},
        {"not after the user stopped", 1, kCmdNone, kCmdNone, 0},
        {"after the user's command", 0, kCmdPause, kCmdPause, 1},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Start();
        rig.state.closed = 0;
        rig.state.failedTrackWait = kFailedTrackShowCalls;
        rig.Calls(kFailedTrackShowCalls - 2);
        EXPECT_TRUE(rig.device->script.sent.empty()) << "no end check while nothing is open";
        EXPECT_EQ(rig.state.pendingCommand, kCmdNone);
        rig.state.closed = c.closed;
        rig.state.pendingCommand = c.pending;
        rig.Calls(5);
        EXPECT_EQ(rig.state.pendingCommand, c.pendingAfter) << c.what;
        EXPECT_EQ(rig.state.failedTrackWait, c.waitAfter) << c.what;
    }
}

TEST(MainTickTest, FullScreenInputTurnsClicksIntoToggles) {
    Rig rig;
    rig.Start();
    rig.state.closed = 1;
    rig.state.fullScreen = 1;
    rig.host->values[{AuxWindow::FullScreen, 0}] = -1;
    rig.host->values[{AuxWindow::Overlay, 0}] = 1;
    rig.host->values[{AuxWindow::FullScreen, 1}] = 1;
    rig.FullTick();
    EXPECT_EQ(rig.state.speed, 1) << "the overlay's step wins";
    EXPECT_EQ(rig.state.toggleRequest, 0) << "carried out in the same tick";
    EXPECT_EQ(rig.host->noDrawTicks, 1);
    EXPECT_EQ(rig.host->playbackTicks, 0);
    EXPECT_NE(std::find(rig.journal.begin(), rig.journal.end(), "[ShowOverlay 0x0]"), rig.journal.end());
}

TEST(MainTickTest, PlaylistEditorInStep) {
    Rig rig;
    rig.folder.Write("KORU.tsr", "/m/a.mp3\r\n/m/b.mp3\r\n/m/c.mp3\r\n");
    rig.settings.autoPlay = 0;
    rig.Start();
    rig.state.playlistEditorOpen = 1;
    rig.playlist.InsertAt(3, "/m/d.mp3");
    rig.playlist.SyncCount();
    rig.host->values[{AuxWindow::PlaylistEditor, 0}] = 1;
    rig.host->values[{AuxWindow::PlaylistEditor, 1}] = 2;
    rig.host->values[{AuxWindow::PlaylistEditor, 2}] = 2;
    rig.host->values[{AuxWindow::PlaylistEditor, 3}] = 4;
    rig.FullTick();
    EXPECT_EQ(rig.playlist.orderCount, 4);
    EXPECT_EQ(rig.playlist.currentIndex, 2);
    EXPECT_EQ(rig.playlist.count, 4);
    EXPECT_EQ(rig.state.pendingCommand, kCmdOpenAndPlay);
    EXPECT_EQ(rig.journal, (Strings{"[EditorReset 0]", "[EditorReset 1]", "close movie"}));

    rig.journal.clear();
    rig.host->values[{AuxWindow::PlaylistEditor, 0}] = 10;
    rig.FullTick();
    rig.FullTick();
    EXPECT_EQ(std::count(rig.journal.begin(), rig.journal.end(), "[EditorLayOut]"), 2)
        << "a resize is laid out on every full tick until replaced";
    EXPECT_EQ(rig.settings.editorX, 1);
    EXPECT_EQ(rig.settings.editorHeight, 400);
}

TEST(MainTickTest, QuitClosesSavesAndTearsDownInOrder) {
    Rig rig;
    rig.folder.Write("KORU.tsr", "/music/only one.mp3\r\n");
    rig.volume.volume = 0x80004000u;
    rig.Start();
    rig.host->values[{AuxWindow::Video, 0}] = 640;
    rig.host->values[{AuxWindow::Video, 1}] = -20;
    rig.state.closed = 1;
    rig.state.quitRequested = 1;
    rig.FullTick();
    EXPECT_EQ(rig.journal, (Strings{"close movie", "[DestroyVideoWindow tsr=yes cfg=yes]",
                                    "[DeleteSurfacesAndWindows]", "[EndDialog]"}));
    EXPECT_TRUE(rig.tick->Ended());
    EXPECT_EQ(rig.folder.Read("KORU.tsr"), "/music/only one.mp3\r\n");
    const std::string cfg = rig.folder.Read("KORU.CFG");
    EXPECT_NE(cfg.find("MovieX=640\r\nMovieY=-20\r\n"), std::string::npos) << cfg;
    EXPECT_EQ(rig.folder.Read("KORU.vol"), "16384 32768\n") << "the volume outlives the program";
    EXPECT_TRUE(rig.playlist.order.empty());

    rig.journal.clear();
    rig.Calls(10);
    EXPECT_TRUE(rig.journal.empty()) << "no tick after the end";
}

TEST(MainTickTest, BackgroundReloadHappensOnTheNextCall) {
    Rig rig;
    rig.Start();
    rig.state.backgroundReload = 1;
    rig.Calls(1);
    EXPECT_EQ(rig.journal, Strings{"[ReloadBackground]"});
    EXPECT_EQ(rig.state.backgroundReload, 0);
}

}  // namespace
