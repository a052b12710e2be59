// Video placement and the full-screen switch: the device commands and the window calls in one
// ordered log, and the records as changed.
#include <gtest/gtest.h>

#include <set>

#include "platform/WaveVolume.h"
#include "playback/VideoPlacement.h"
#include "tests/playback/PlaybackRig.h"

namespace {

std::string Name(PictureWindow w) {
    static const char* const names[] = {"video", "desktop", "full screen", "overlay", "panel"};
    return names[static_cast<int>(w)];
}

class HalfVolume final : public WaveVolume {
public:
    bool Get(uint32_t& v) override { v = 0x80008000u; return true; }  // panel level 127
    bool Set(uint32_t) override { return true; }
};

// The windows' side: every call goes into the device's log as "[...]"; the focus is counted.
class RecordingWindows final : public VideoPlacementHost {
public:
    explicit RecordingWindows(Strings& log) : log_(log) {}
    ScreenArea PlayerScreen() override { return screen; }
    void ShowWindow(PictureWindow w, const VideoRect& r) override { Log("show " + Name(w) + " " + RectText(r)); }
    void HideWindow(PictureWindow w) override { Log("hide " + Name(w)); }
    int HostId(PictureWindow w) override {
        return w == PictureWindow::FullScreen && made.count(w) == 0 ? 0 : 70 + static_cast<int>(w);
    }
    void CreateWindow(PictureWindow w) override { made.insert(w); Log("create " + Name(w)); }
    void DestroyWindow(PictureWindow w) override { made.erase(w); Log("destroy " + Name(w)); }
    bool WindowExists(PictureWindow w) override { return made.count(w) > 0; }
    void RebuildOverlay(const VideoRect& r) override { made.insert(PictureWindow::Overlay); Log("new overlay " + RectText(r)); }
    void SetClickMode(int mode) override { Log("click mode " + std::to_string(mode)); }
    void InitPanel(const DisplayEffects& e, int width) override {
        effects = e;
        effects[1] = 1;  // the panel's line-mask switch always reads 1
        Log("panel init " + std::to_string(width));
    }
    DisplayEffects PanelEffects() override { return effects; }
    void ShowPanelVolume(int level) override { Log("panel volume " + std::to_string(level)); }
    void SetCursorHidden(bool hidden) override { Log(hidden ? "cursor hidden" : "cursor shown"); }
    ScreenPoint CursorPos() override { return cursor; }
    void SetCursorPos(ScreenPoint p) override {
        cursor = p;
        Log("cursor to " + std::to_string(p.x) + " " + std::to_string(p.y));
    }
    ScreenPoint VideoWindowCorner() override { return corner; }
    void PlaceMainWindow(ZOrder o, int x, int y) override {
        Log(std::string("main ") + ZOrderName(o) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    void FocusStepSink() override { ++focus; }

    ScreenArea screen{1024, 100, 800, 600};  // a second monitor right of the first
    ScreenPoint corner{30, 40};
    ScreenPoint cursor{500, 400};
    DisplayEffects effects{};
    std::set<PictureWindow> made;
    int focus = 0;

private:
    void Log(const std::string& s) { log_.push_back("[" + s + "]"); }
    Strings& log_;
};

struct Rig {
    Rig() {
        video.natural = VideoRect{0, 0, 320, 240};
        device.Answer("where movie destination", "0 0 320 240");
        settings.mainX = 5;
        settings.mainY = 6;
        state.zoomShowTicks = 3;
    }
    void Place(int mode) {
        settings.videoSizeMode = mode;
        placement.PlaceVideo();
    }
    ScriptedMediaDevice device;
    PlayerState state;
    Settings settings;
    MciSession mci{device, state};
    VideoGeometry video;
    HalfVolume volume;
    RecordingWindows windows{device.sent};
    VideoPlacement placement{state, settings, mci, video, volume, windows};
};

const Strings kAttachVideo = {"window movie handle default", "window movie handle 70"};

// The size modes with a 320 x 240 picture; a placement with a picture shows the video window
// whichever application is active, and with the player active raises the main window, also
// in mode -1.
TEST(VideoPlacementTest, WindowedAndDesktopPlacement) {
    struct Case {
        int mode, minimise, active, onTop;
        const char* reply;
        Strings log;  // after "where movie destination"
        int modeAfter, zoom, ticks;
    };
    const Case cases[] = {
        {0, 0, 1, 0, "0 0 320 240", Concat({{"[show video 30 40 160 120]", "[main top 5 6]"}, kAttachVideo,
                                             {"put movie destination at 0 0 160 120"}}), 0, 50, 6},
        {2, 0, 0, 0, "0 0 320 240", Concat({{"[show video 30 40 640 480]"}, kAttachVideo,
                                             {"put movie destination at 0 0 640 480"}}), 2, 200, 6},
        {1, 0, 1, 1, "0 0 320 240", Concat({{"[show video 30 40 320 240]", "[main top 5 6]"}, kAttachVideo,
                                             {"put movie destination at 0 0 320 240", "[main not topmost 5 6]",
                                              "[main topmost 5 6]"}}), 1, 100, 6},
        {-3, 0, 1, 0, "0 0 320 240", Concat({{"[hide video]", "[main top 5 6]"}, kAttachVideo,
                                              {"put movie destination at 0 0 0 0"}}), -1, 0, 6},
        {4, 0, 1, 0, "0 0 320 240", {"[main bottom 5 6]", "[show desktop 1024 100 800 600]",
                                      "window movie handle default state minimized", "window movie handle 71",
                                      "put movie destination at 0 0 800 598", "[hide video]"}, 3, 0, 0},
        {1, 0, 1, 0, "", {"[hide video]"}, 1, 0, 3},  // no picture
        {1, 1, 0, 0, "0 0 320 240", {"[hide video]"}, 1, 0, 3},  // minimised by the left button
        {1, 2, 0, 0, "0 0 320 240", Concat({{"[show video 30 40 320 240]"}, kAttachVideo,
                                             {"put movie destination at 0 0 320 240", "[main topmost 5 6]",
                                              "[main not topmost 5 6]"}}), 1, 100, 6},
        {1, 3, 0, 1, "0 0 320 240", Concat({{"[show video 30 40 320 240]"}, kAttachVideo,
                                             {"put movie destination at 0 0 320 240", "[main topmost 5 6]"}}), 1, 100, 6},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.device.Answer("where movie destination", c.reply);
        rig.state.minimiseState = c.minimise;
        rig.state.activeApp = c.active;
        rig.settings.alwaysOnTop = c.onTop;
        rig.Place(c.mode);
        const std::string what = "mode " + std::to_string(c.mode) + " minimise " + std::to_string(c.minimise);
        EXPECT_EQ(rig.device.sent, Concat({{"where movie destination"}, c.log})) << what;
        EXPECT_EQ(rig.settings.videoSizeMode, c.modeAfter) << what;
        EXPECT_EQ(rig.state.zoomPercent, c.zoom) << what;
        EXPECT_EQ(rig.state.zoomShowTicks, c.ticks) << what;
        EXPECT_EQ(rig.settings.videoX, 30);
        EXPECT_EQ(rig.settings.videoY, 40);
        EXPECT_EQ(rig.windows.focus, 1) << what;
    }
}

// The screen-sized desktop host goes whenever the picture leaves it, and only then.
TEST(VideoPlacementTest, DesktopHostGoesWhenThePictureLeavesIt) {
    struct Case {
        const char* what;
        void (*leave)(Rig&);
        int hides;
    };
    const Case cases[] = {
        {"an audio-only track", [](Rig& r) { r.device.Answer("where movie destination", ""); r.Place(3); }, 1},
        {"a windowed size", [](Rig& r) { r.Place(2); }, 1},
        {"the device closed", [](Rig& r) { r.state.closed = 1; r.placement.FollowDevice(); r.placement.FollowDevice(); }, 1},
        {"full screen", [](Rig& r) { r.placement.SwitchFullScreen(false); }, 1},
        {"minimised", [](Rig& r) { r.state.minimiseState = 1; r.Place(3); }, 0},
        {"still playing", [](Rig& r) { r.placement.FollowDevice(); r.Place(3); }, 0},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.Place(3);
        rig.device.ClearSent();
        c.leave(rig);
        EXPECT_EQ(std::count(rig.device.sent.begin(), rig.device.sent.end(), "[hide desktop]"), c.hides) << c.what;
    }
}

// Entering full screen on the player's screen and leaving it again, in order.
TEST(VideoPlacementTest, EnteringAndLeavingFullScreen) {
    Rig rig;
    rig.settings.hideCursor = 1;
    rig.settings.doubleClickPanel = 1;
    rig.settings.scanLineMode = 2;
    rig.placement.SwitchFullScreen(false);
    const Strings placed = {"pause movie", "[hide overlay]", "[show full screen 1024 80 800 620]",
                            "put movie destination at 0 20 800 600", "[show overlay 1024 80 800 620]",
                            "[hide panel]", "play movie"};
    EXPECT_EQ(rig.device.sent, Concat({{"[cursor hidden]", "window movie handle default", "[create panel]",
                                        "[panel init 800]", "[hide panel]", "[click mode 1]", "[cursor to 1024 101]",
                                        "[create full screen]", "[show full screen 1024 80 800 620]",
                                        "[new overlay 1024 80 800 620]", "window movie handle 72",
                                        "put movie destination at 0 20 800 600"}, placed}));
    EXPECT_EQ(rig.state.fullScreen, 1);
    EXPECT_EQ(rig.state.screenWidth, 800);
    EXPECT_EQ(rig.state.screenHeight, 600);
    EXPECT_EQ(rig.state.busy, 0);
    EXPECT_EQ(rig.placement.LineMaskSwitch(), 1);

    // A parked cursor that moves goes back to its place; at its place it stays.
    rig.device.ClearSent();
    rig.placement.OnPointerMoved({1500, 400});
    rig.placement.OnPointerMoved({1024, 101});
    rig.placement.SwitchFullScreen(false);  // already on: nothing
    EXPECT_EQ(rig.device.sent, (Strings{"[cursor to 1024 101]"}));

    rig.device.ClearSent();
    rig.state.paused = 1;
    rig.state.position = 99;
    rig.state.seekDragging = 1;
    rig.state.busy = 1;  // a switch inside another long operation leaves it busy
    rig.placement.SwitchFullScreen(true);
    EXPECT_EQ(rig.device.sent,
              Concat({{"[cursor to 500 400]", "[cursor shown]", "window movie handle default", "[destroy full screen]",
                       "[destroy overlay]", "[destroy panel]", "window movie handle 70", "pause movie",
                       "where movie destination", "[show video 30 40 320 240]", "[main top 5 6]"},
                      kAttachVideo, {"put movie destination at 0 0 320 240", "seek movie to 99"}}));
    EXPECT_EQ(rig.state.fullScreen, 0);
    EXPECT_EQ(rig.state.seekDragging, 0);
    EXPECT_EQ(rig.state.busy, 1);
    rig.device.ClearSent();
    rig.placement.OnPointerMoved({1500, 400});
    EXPECT_TRUE(rig.device.sent.empty());
}

// The picture's rectangle in full screen: fit keeping the aspect ratio (4) or stretch (5),
// sent 20 pixels lower because the windows start 20 pixels above the screen.
TEST(VideoPlacementTest, FullScreenFitAndStretch) {
    struct Case {
        int width, height, screenW, screenH, fit;
        const char* destination;
        int fitAfter;
    };
    const Case cases[] = {
        {320, 240, 1024, 768, 4, "put movie destination at 0 20 1024 768", 4},  // s = 3.2
        {352, 240, 1024, 768, 4, "put movie destination at 0 54 1024 698", 4},  // s = 2.909...
        {240, 320, 1024, 768, 4, "put movie destination at 224 20 576 768", 4},
        {352, 240, 1024, 768, 1, "put movie destination at 0 54 1024 698", 4},
        {352, 240, 1024, 768, -3, "put movie destination at 0 54 1024 698", 4},
        {352, 240, 1024, 768, 5, "put movie destination at 0 20 1024 768", 5},
        {352, 240, 1024, 768, 9, "put movie destination at 0 20 1024 768", 5},
        {0, 0, 1024, 768, 4, "put movie destination at 512 404 0 0", 4},  // no picture: nothing to scale
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.video.natural = VideoRect{0, 0, c.width, c.height};
        rig.state.fullScreen = 1;
        rig.state.screenWidth = c.screenW;
        rig.state.screenHeight = c.screenH;
        rig.settings.fullScreenFit = c.fit;
        rig.placement.PlaceVideo();
        EXPECT_EQ(rig.device.sent.at(2), c.destination) << c.width << "x" << c.height << " fit " << c.fit;
        EXPECT_EQ(rig.settings.fullScreenFit, c.fitAfter);
    }
}

// Code 1 shows the panel and gives back the cursor; code 1 again reads the effects back,
// rebuilds the overlay when they changed and parks the cursor where the user left it.
TEST(VideoPlacementTest, ControlPanelInFullScreen) {
    Rig rig;
    rig.settings.hideCursor = 1;
    rig.placement.SwitchFullScreen(false);
    rig.device.ClearSent();
    EXPECT_TRUE(rig.placement.OnPlayerNotify(1));
    EXPECT_EQ(rig.device.sent, (Strings{"[click mode 0]", "[cursor to 500 400]", "[cursor shown]", "[panel volume 127]",
                                        "pause movie", "[show full screen 1024 80 800 620]",
                                        "put movie destination at 0 20 800 600", "[show panel 1024 628 800 72]",
                                        "play movie"}));
    rig.device.ClearSent();
    rig.windows.effects[0] = 4;  // the user chose scan-line mode 4
    rig.windows.cursor = {1700, 650};
    EXPECT_TRUE(rig.placement.OnPlayerNotify(1));
    EXPECT_EQ(rig.device.sent,
              (Strings{"[cursor hidden]", "[new overlay 1024 80 800 620]", "[click mode 0]", "[cursor to 1024 100]",
                       "pause movie", "[hide overlay]", "[show full screen 1024 80 800 620]",
                       "put movie destination at 0 20 800 600", "[show overlay 1024 80 800 620]", "[hide panel]",
                       "play movie"}));
    EXPECT_EQ(rig.settings.scanLineMode, 4);
    EXPECT_EQ(rig.placement.CursorSave(), (ScreenPoint{1700, 650}));

    // The tick's and an open's requests land on the player's screen.
    rig.device.ClearSent();
    rig.placement.ShowControlPanelAtBottom(800, 600);
    rig.placement.ShowOverlay(800, 600);
    rig.placement.ShowOverlayTopmost(VideoRect{0, 0, 0, 0});
    EXPECT_EQ(rig.device.sent, (Strings{"[show panel 1024 628 800 72]", "[show overlay 1024 100 800 600]", "[hide overlay]"}));

    // Code 5 leaves; once out, neither code changes anything; other codes are not ours.
    EXPECT_TRUE(rig.placement.OnPlayerNotify(5));
    EXPECT_EQ(rig.state.fullScreen, 0);
    rig.device.ClearSent();
    for (int code : {1, 5}) EXPECT_TRUE(rig.placement.OnPlayerNotify(code));
    EXPECT_FALSE(rig.placement.OnPlayerNotify(20));
    EXPECT_TRUE(rig.device.sent.empty());
    EXPECT_EQ(rig.state.panelInFullScreen, 0);
}

}  // namespace
