// Video placement and the full-screen switch: the device commands and the window calls in one
// ordered log, and the records as changed.
#include <gtest/gtest.h>
#include <algorithm>
#include <optional>
#include <set>
#include "playback/OpenTrack.h"
#include "playback/ScreenSaverHold.h"
#include "playback/VideoPlacement.h"
#include "platform/ScreenSaver.h"
#include "tests/playback/PlaybackRig.h"

namespace {

// The windows' side: each call goes into the device's log as "[...]"; the focus is counted.
class RecordingWindows final : public VideoPlacementHost {
public:
    explicit RecordingWindows(Strings& log) : m_log(log) {}
    ScreenArea PlayerScreen() override { return {1024, 100, 800, 600}; }  // right of the first monitor
    ScreenArea AvailableArea(const VideoRect&) override { return available; }
    // The video window's move handler stores its corner.
    void ShowWindow(PictureWindow w, const VideoRect& r) override {
        if (w == PictureWindow::Video) corner = {r.x, r.y};
        Log("show", w, Nums(r));
    }
    void HideWindow(PictureWindow w) override { Log("hide", w); }
    int HostId(PictureWindow w) override { return w == PictureWindow::FullScreen && !made.count(w) ? 0 : 70 + int(w); }
    void CreateWindow(PictureWindow w) override {
        made.insert(w);
        Log("create", w);
    }
    void DestroyWindow(PictureWindow w) override {
        made.erase(w);
        Log("destroy", w);
    }
    bool WindowExists(PictureWindow w) override { return made.count(w) > 0; }
    void RebuildOverlay(const VideoRect& r) override { Log("new", PictureWindow::Overlay, Nums(r)); }
    void SetClickMode(int mode) override { Log("click mode" + Nums({mode})); }
    void InitPanel(const DisplayEffects& e, int width) override {  // the panel's line-mask switch always reads 1
        effects = e;
        effects[1] = 1;
        Log("panel init" + Nums({width}));
    }
    DisplayEffects PanelEffects() override { return effects; }
    void ShowPanelVolume(int level) override { Log("panel volume" + Nums({level})); }
    void SetCursorHidden(bool hidden) override { Log(hidden ? "cursor hidden" : "cursor shown"); }
    ScreenPoint CursorPos() override { return cursor; }
    void SetCursorPos(ScreenPoint p) override {
        cursor = p;
        Log("cursor to" + Nums({p.x, p.y}));
    }
    ScreenPoint VideoWindowCorner() override { return corner; }
    void PlaceMainWindow(ZOrder o, int x, int y) override { Log(std::string("main ") + ZOrderName(o) + Nums({x, y})); }
    void FocusStepSink() override { ++focus; }

    ScreenPoint cursor{500, 400}, corner{30, 40};
    ScreenArea available{0, 0, 1024, 768};  // the first monitor, where the video window stands
    DisplayEffects effects{};
    std::set<PictureWindow> made;
    int focus = 0;

private:
    void Log(const std::string& what, PictureWindow w, const std::string& rect = "") {
        Log(what + " " + std::array{"video", "desktop", "full screen", "overlay", "panel"}[int(w)] + rect);
    }
    void Log(const std::string& s) { m_log.push_back("[" + s + "]"); }
    Strings& m_log;
};

struct Rig : PlaybackRig {
    Rig() {
        device.Answer("where movie destination", "0 0 320 240");
        settings = {.mainX = 5, .mainY = 6};
        state.zoomShowTicks = 3;
        video.natural = {0, 0, 320, 240};
    }
    void Place(int mode) {
        settings.videoSizeMode = mode;
        placement.PlaceVideo();
    }
    // The log since the last call, then " fullScreen panelInFullScreen busy seekDragging volumeDragging".
    Strings Take() {
        Strings log = std::exchange(device.sent, {});
        log.push_back(Nums({state.fullScreen, state.panelInFullScreen, state.busy, int(state.seekDragging),
                            int(state.volumeDragging)}));
        return log;
    }
    RecordingWindows windows{device.sent};
    VideoPlacement placement{state, settings, mci, video, volume, windows};
};

Strings Attached(const std::string& size) {
    return {"window movie handle default", "window movie handle 70", "put movie destination at 0 0 " + size};
}

// The size modes with a 320 x 240 picture. A placement with a picture shows the video window
// whichever application is active; an active player raises its main window, also in mode -1.
TEST(VideoPlacementTest, WindowedAndDesktopPlacement) {
    // The log after "where movie destination", then the size mode, zoom and its ticks.
    struct Case { int mode, minimise, active, onTop; const char* reply; Strings log; int modeAfter, zoom, ticks; };
    const Strings top = {"[main top 5 6]"}, picture = {"[show video 30 40 320 240]"};
    const Case cases[] = {
        {0, 0, 1, 0, "0 0 320 240", Concat({{"[show video 30 40 160 120]"}, top, Attached("160 120")}), 0, 50, 6},
        {2, 0, 0, 0, "0 0 320 240", Concat({{"[show video 30 40 640 480]"}, Attached("640 480")}), 2, 200, 6},
        {1, 0, 1, 1, "0 0 320 240",
         Concat({picture, top, Attached("320 240"), {"[main not topmost 5 6]", "[main topmost 5 6]"}}), 1, 100, 6},
        {-3, 0, 1, 0, "0 0 320 240", Concat({{"[hide video]"}, top, Attached("0 0")}), -1, 0, 6},
        {4, 0, 1, 0, "0 0 320 240", {"[main bottom 5 6]", "[show desktop 1024 100 800 600]",
                                      "window movie handle default state minimized", "window movie handle 71",
                                      "put movie destination at 0 0 800 598", "[hide video]"}, 3, 0, 0},
        {1, 0, 1, 0, "", {"[hide video]"}, 1, 0, 3},             // no picture
        {1, 1, 0, 0, "0 0 320 240", {"[hide video]"}, 1, 0, 3},  // minimised by the left button
        {1, 2, 0, 0, "0 0 320 240",
         Concat({picture, Attached("320 240"), {"[main topmost 5 6]", "[main not topmost 5 6]"}}), 1, 100, 6},
        {1, 3, 0, 1, "0 0 320 240", Concat({picture, Attached("320 240"), {"[main topmost 5 6]"}}), 1, 100, 6},
        {1, 0, 0, 0, "0 0 320 0", Concat({{"[hide video]"}, Attached("320 0")}), 1, 100, 6},  // no height
        {1, 0, 0, 0, "0 0 0 240", Concat({{"[hide video]"}, Attached("0 240")}), 1, 100, 6},  // no width
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.device.Answer("where movie destination", c.reply);
        rig.video.natural = ParseDestination(c.reply);
        rig.state.minimiseState = MinimiseState(c.minimise);
        rig.state.activeApp = c.active;
        rig.settings.alwaysOnTop = c.onTop;
        rig.Place(c.mode);
        rig.device.sent.push_back(Nums({rig.settings.videoSizeMode, rig.state.zoomPercent, rig.state.zoomShowTicks,
                                        rig.settings.videoX, rig.settings.videoY, rig.windows.focus}));
        EXPECT_EQ(rig.device.sent, Concat({{"where movie destination"}, c.log,
                                           {Nums({c.modeAfter, c.zoom, c.ticks, 30, 40, 1})}})) << c.mode << c.minimise;
    }
}

// A video window never exceeds the available part of its screen (the picture keeps its shape) and lies wholly inside
// it; the zoom shows what it got; the settings keep the place asked for. One that touches the player's bottom or top
// edge (its main window at `main`, 321 x 92) stands beside it: it gets the band of the screen there.
TEST(VideoPlacementTest, VideoWindowFitsTheAvailableAreaOfItsScreen) {
    struct Case { VideoRect natural{0, 0, 320, 240}; int mode = 1; ScreenArea area{0, 0, 1024, 768};
                  ScreenPoint corner{30, 40}, main{5, 6}; VideoRect shown; int zoom = 100; };
    const VideoRect wide{0, 0, 1280, 720}, large{0, 0, 2560, 1440};
    const ScreenArea big{0, 0, 1600, 1000}, hd{0, 0, 1920, 1080};
    const Case cases[] = {
        {.natural = large, .mode = 2, .area = hd, .corner = {0, 92}, .main = {0, 0}, .shown = {0, 92, 1756, 988},
         .zoom = 68},
        {.natural = {0, 0, 320, 400}, .corner = {0, -100}, .main = {0, 300}, .shown = {0, 0, 240, 300}, .zoom = 75},
        {.natural = wide, .mode = 2, .area = big, .shown = {0, 40, 1600, 900}, .zoom = 125},  // shrunk
        {.natural = wide, .mode = 2, .area = big, .corner = {30, 500}, .shown = {0, 100, 1600, 900}, .zoom = 125},
        {.natural = wide, .area = big, .shown = {30, 40, 1280, 720}},
        {.natural = {0, 0, 720, 1280}, .area = {0, 24, 1600, 976}, .shown = {30, 24, 549, 976}, .zoom = 76},  // tall
        {.natural = wide, .area = {1600, 0, 1280, 1024}, .corner = {1570, 40}, .shown = {1600, 40, 1280, 720}},
        {.corner = {1000, 740}, .shown = {704, 528, 320, 240}},
        {.corner = {-256, 700}, .shown = {0, 528, 320, 240}},
        {.corner = {-300, -5000}, .shown = {0, 0, 320, 240}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.video.natural = c.natural;
        rig.windows.available = c.area;
        rig.windows.corner = c.corner;
        rig.state.activeApp = 0;
        rig.settings = {.mainX = c.main.x, .mainY = c.main.y};
        rig.Place(c.mode);
        const VideoRect& r = c.shown;
        const std::string size = Nums({r.width, r.height}).substr(1), shown = "[show video" + Nums(r) + "]";
        EXPECT_EQ(rig.device.sent, Concat({{"where movie destination", shown}, Attached(size)})) << size;
        EXPECT_EQ(Nums({rig.settings.videoX, rig.settings.videoY, rig.state.zoomPercent}),
                  Nums({c.corner.x, c.corner.y, c.zoom}));
    }
}

TEST(VideoPlacementTest, DesktopHostGoesWhenThePictureLeavesIt) {
    const std::pair<void (*)(Rig&), int> cases[] = {
        {[](Rig& r) { r.device.Answer("where movie destination", ""); r.Place(3); }, 1},  // an audio-only track
        {[](Rig& r) { r.Place(2); }, 1},
        {[](Rig& r) { r.state.closed = 1; r.placement.FollowDevice(); r.placement.FollowDevice(); }, 1},
        {[](Rig& r) { r.placement.SwitchFullScreen(false); }, 1},
        {[](Rig& r) { r.placement.FollowDevice(); r.state.minimiseState = MinimiseState::HidingVideo; r.Place(3); }, 0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Rig rig;
        rig.Place(3);
        rig.device.ClearSent();
        cases[i].first(rig);
        EXPECT_EQ(std::count(rig.device.sent.begin(), rig.device.sent.end(), "[hide desktop]"), cases[i].second) << i;
    }
}

// Full screen knows fit keeping the aspect ratio (4) and stretch (5) only; the picture is
// sent 20 pixels lower because the windows start 20 pixels above the screen.
TEST(VideoPlacementTest, FullScreenFitAndStretch) {
    for (auto [fit, fitAfter] : {std::pair{4, 4}, {1, 4}, {-3, 4}, {5, 5}, {9, 5}}) {
        Rig rig;
        rig.video.natural = VideoRect{0, 0, 352, 240};  // s = 2.909...
        rig.state = {.fullScreen = 1, .screenWidth = 1024, .screenHeight = 768};
        rig.settings.fullScreenFit = fit;
        rig.placement.PlaceVideo();
        EXPECT_EQ(rig.device.sent.at(2), fitAfter == 4 ? "put movie destination at 0 54 1024 698"
                                                        : "put movie destination at 0 20 1024 768") << fit;
        EXPECT_EQ(rig.settings.fullScreenFit, fitAfter);
    }
}

// Entering full screen on the player's screen, the control panel shown and hidden (code 1),
// leaving (code 5), in order; the cursor hidden, parked and given back.
TEST(VideoPlacementTest, FullScreenInOrder) {
    Rig rig;
    rig.settings = {.mainX = 5, .mainY = 6, .doubleClickPanel = 1, .hideCursor = 1, .scanLineMode = 2};
    const Strings placed = {"[show full screen 1024 80 800 620]", "put movie destination at 0 20 800 600"};
    const Strings overlayOnTop = {"[show overlay 1024 80 800 620]", "[hide panel]", "play movie", " 1 0 0 0 0"};
    rig.placement.SwitchFullScreen(false);
    EXPECT_EQ(rig.Take(), Concat({{"[cursor hidden]", "window movie handle default", "[create panel]",
                                   "[panel init 800]", "[hide panel]", "[click mode 1]", "[cursor to 1024 101]",
                                   "[create full screen]",
                                   "[show full screen 1024 80 800 620]", "[new overlay 1024 80 800 620]",
                                   "window movie handle 72", "put movie destination at 0 20 800 600", "pause movie",
                                   "[hide overlay]"}, placed, overlayOnTop}));
    EXPECT_EQ(Nums({rig.state.screenWidth, rig.state.screenHeight, rig.placement.LineMaskSwitch()}), " 800 600 1");
    // The parked cursor stays at its place, goes back there when moved; another switch on does nothing.
    rig.placement.OnPointerMoved({1024, 101});
    rig.placement.SwitchFullScreen(false);
    EXPECT_EQ(rig.Take(), (Strings{" 1 0 0 0 0"}));
    rig.placement.OnPointerMoved({1500, 400});
    EXPECT_EQ(rig.Take(), (Strings{"[cursor to 1024 101]", " 1 0 0 0 0"}));

    EXPECT_TRUE(rig.placement.OnPlayerNotify(1));
    EXPECT_EQ(rig.Take(), Concat({{"[click mode 0]", "[cursor to 500 400]", "[cursor shown]", "[panel volume 127]",
                                   "pause movie"}, placed,
                                  {"[show panel 1024 628 800 72]", "play movie", " 1 1 0 0 0"}}));
    rig.windows.effects = {4, 1, 7, 9};  // the user changed the effects
    rig.windows.cursor = {1700, 650};
    EXPECT_TRUE(rig.placement.OnPlayerNotify(1));
    EXPECT_EQ(rig.Take(), Concat({{"[cursor hidden]", "[new overlay 1024 80 800 620]", "[click mode 1]",
                                   "[cursor to 1024 100]", "pause movie", "[hide overlay]"}, placed, overlayOnTop}));
    EXPECT_EQ(Nums({rig.settings.scanLineMode, rig.settings.lineMaskTop, rig.settings.lineMaskBottom}), " 4 7 9");
    // The tick's and an open's requests land on the player's screen.
    rig.placement.ShowControlPanelAtBottom(800, 600);
    rig.placement.ShowOverlay(800, 0);
    rig.placement.ShowOverlay(800, 600);
    EXPECT_EQ(rig.Take(), (Strings{"[show panel 1024 628 800 72]", "[hide overlay]", "[show overlay 1024 100 800 600]",
                                   " 1 0 0 0 0"}));

    rig.state.paused = 1;
    rig.state.position = 1;
    rig.state.seekDragging = KnobDrag::Dragging;
    rig.state.volumeDragging = KnobDrag::PastAnEnd;
    rig.device.Answer("status movie position", "99");  // paused: the picture returns to where the device stands
    rig.state.busy = 1;  // a switch inside another long operation leaves it busy
    EXPECT_TRUE(rig.placement.OnPlayerNotify(5));
    EXPECT_EQ(rig.Take(), Concat({{"[cursor to 1700 650]", "[cursor shown]", "window movie handle default",
                                   "[destroy full screen]", "[destroy overlay]", "[destroy panel]",
                                   "window movie handle 70", "pause movie", "status movie position",
                                   "where movie destination", "[show video 30 40 320 240]", "[main top 5 6]"},
                                  Attached("320 240"), {"seek movie to 99", " 0 0 1 0 0"}}));
    // Once out, the pointer, code 1 and code 5 change nothing; other codes are not ours.
    rig.placement.OnPointerMoved({1500, 400});
    for (int code : {1, 5}) EXPECT_TRUE(rig.placement.OnPlayerNotify(code));
    EXPECT_FALSE(rig.placement.OnPlayerNotify(20));
    EXPECT_EQ(rig.Take(), (Strings{" 0 0 1 0 0"}));
}

struct RecordingScreenSaver final : ScreenSaver {  // every call in order, "hold" or "release"
    void Hold() override { calls.push_back("hold"); }
    void Release() override { calls.push_back("release"); }
    std::vector<std::string> calls;
};

// The screen saver is held while the records say a picture plays, and let go once they no
// longer do (pause, close, a sound-only entry, a hidden video window) and at the quit.
TEST(ScreenSaverHoldTest, HeldExactlyWhileAPicturePlays) {
    struct Step { PlayerState state; int mode = 1; bool picture = true; std::vector<std::string> calls; };
    const Step steps[] = {
        {.state = {.closed = 1}, .calls = {}},
        {.state = {}, .calls = {"hold"}},
        {.state = {}, .calls = {"hold"}},
        {.state = {.paused = 1}, .calls = {"hold", "release"}},
        {.state = {.fullScreen = 1}, .mode = -1, .calls = {"hold", "release", "hold"}},
        {.state = {}, .mode = -1, .calls = {"hold", "release", "hold", "release"}},
        {.state = {}, .mode = 0, .calls = {"hold", "release", "hold", "release", "hold"}},  // the smallest window
        {.state = {}, .picture = false, .calls = {"hold", "release", "hold", "release", "hold", "release"}},
        {.state = {}, .calls = {"hold", "release", "hold", "release", "hold", "release", "hold"}},
    };
    RecordingScreenSaver service;
    std::optional<ScreenSaverHold> hold(std::in_place, service);
    for (const Step& s : steps) {
        hold->Follow(s.state, {.videoSizeMode = s.mode}, {.natural = {0, 0, 320, 240}, .picture = s.picture});
        EXPECT_EQ(service.calls, s.calls) << service.calls.size();
    }
    hold.reset();  // the quit
    EXPECT_EQ(service.calls.back(), "release") << "at the quit";
}
}  // namespace
