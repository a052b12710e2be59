// Entering and leaving full screen, the picture's rectangle, the control panel shown and
// hidden by code 1, the cursor hidden and parked: the device commands in order, the windows
// as placed and the records as changed.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <set>

#include "platform/KeyState.h"
#include "player/InputControl.h"
#include "playlist/Playlist.h"
#include "tests/fullscreen/FullScreenRig.h"
#include "tests/support/TestSupport.h"

namespace {

void MovePointer(QWidget* window, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, window->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
}

TEST(FullScreenTest, EnteringSendsTheCommandsInOrder) {
    struct Case {
        int paused;
        const char* resume;
    };
    for (const Case c : {Case{0, "play movie"}, Case{1, "seek movie to 1234"}}) {
        Rig rig;
        rig.state.paused = c.paused;
        rig.device.Answer("status movie position", "1234");  // read again while paused
        rig.fullScreen.SwitchFullScreen(false);
        Strings expected{"window movie handle default", rig.FullScreenHandle(), "put movie destination at 0 20 1024 768",
                         "pause movie", "put movie destination at 0 20 1024 768", c.resume};
        if (c.paused) expected.insert(expected.begin() + 4, "status movie position");
        EXPECT_EQ(rig.device.sent, expected) << "paused " << c.paused;
        EXPECT_EQ(rig.state.fullScreen, 1);
        EXPECT_EQ(rig.state.busy, 0);
        EXPECT_EQ(rig.state.panelInFullScreen, 0);
        EXPECT_EQ(rig.state.screenWidth, 1024);
        EXPECT_EQ(rig.state.screenHeight, 768);
        EXPECT_GT(rig.host.focusCount, 0);
    }
}

TEST(FullScreenTest, EnteringCoversTheScreenFromTwentyPixelsAbove) {
    Rig rig;
    rig.fullScreen.SwitchFullScreen(false);
    QWidget* window = rig.host.fullScreen->Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->geometry(), QRect(0, -20, 1024, 788));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_NE(rig.host.fullScreen->HostId(), 0);

    QWidget* overlay = rig.host.overlay->Window();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), QRect(0, -20, 1024, 788));
    EXPECT_TRUE(overlay->isVisible());
    EXPECT_TRUE(rig.host.overlay->TransparentForInput());

    // The panel exists behind the picture, its position slider fitted to the screen.
    ASSERT_TRUE(rig.host.panel->Exists());
    EXPECT_FALSE(rig.host.panel->Window()->isVisible());
    EXPECT_EQ(rig.PanelBar(CControlPanelDlg::kIdPosition)->geometry(), QRect(10, 45, 999, 12));
    EXPECT_TRUE(rig.fullScreen.ControlPanelExists());
}

TEST(FullScreenTest, TheScreenIsCoveredWhereverItLies) {
    Rig rig;
    rig.host.screen = ScreenArea{1280, 100, 800, 600};
    rig.settings.hideCursor = 1;
    rig.fullScreen.SwitchFullScreen(false);
    EXPECT_EQ(rig.host.fullScreen->Window()->geometry(), QRect(1280, 80, 800, 620));
    EXPECT_EQ(rig.host.overlay->Window()->geometry(), QRect(1280, 80, 800, 620));
    EXPECT_EQ(rig.host.cursor, (CursorPoint{1280, 100}));
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    EXPECT_EQ(rig.host.panel->Window()->geometry(), QRect(1280, 628, 800, 72));
}

// The picture's rectangle in full screen: fit keeping the aspect ratio (4) or stretch (5),
// sent 20 pixels lower because the windows start 20 pixels above the screen.
TEST(FullScreenTest, FitAndStretchRectangles) {
    struct Case {
        int width, height;        // natural size
        int screenW, screenH;
        int fit;
        const char* destination;  // the placement's "put movie destination"
        int fitAfter;
    };
    const Case cases[] = {
        {320, 240, 1024, 768, 4, "put movie destination at 0 20 1024 768", 4},  // s = 3.2
        {352, 240, 1024, 768, 4, "put movie destination at 0 54 1024 698", 4},  // s = 2.909...
        {352, 240, 1024, 768, 5, "put movie destination at 0 20 1024 768", 5},
        {240, 320, 1024, 768, 4, "put movie destination at 224 20 576 768", 4},
        {320, 240, 1024, 768, 1, "put movie destination at 0 20 1024 768", 4},
        {352, 240, 1024, 768, 3, "put movie destination at 0 54 1024 698", 4},
        {352, 240, 1024, 768, -3, "put movie destination at 0 54 1024 698", 4},
        {352, 240, 1024, 768, 9, "put movie destination at 0 20 1024 768", 5},
        {352, 240, 1920, 1080, 4, "put movie destination at 168 20 1584 1080", 4},
        // A track without a picture: nothing to scale, an empty rectangle in the middle.
        {0, 0, 1024, 768, 4, "put movie destination at 512 404 0 0", 4},
        {0, 0, 1024, 768, 5, "put movie destination at 0 20 1024 768", 5},
        // Screens of odd size.
        {320, 240, 1, 1, 4, "put movie destination at 0 20 1 0", 4},
        {320, 240, 0, 0, 4, "put movie destination at 0 20 0 0", 4},
        {320, 240, 0, 0, 5, "put movie destination at 0 20 0 0", 5},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.video.natural = VideoRect{0, 0, c.width, c.height};
        rig.host.screen = ScreenArea{0, 0, c.screenW, c.screenH};
        rig.settings.fullScreenFit = c.fit;
        rig.fullScreen.SwitchFullScreen(false);
        const std::string where = std::to_string(c.width) + "x" + std::to_string(c.height) + " on " +
                                  std::to_string(c.screenW) + "x" + std::to_string(c.screenH) + " fit " +
                                  std::to_string(c.fit);
        ASSERT_EQ(rig.device.sent.size(), 6u) << where;
        EXPECT_EQ(rig.device.sent[4], c.destination) << where;
        EXPECT_EQ(rig.settings.fullScreenFit, c.fitAfter) << where;
        // A screen without area shows no window at all rather than a broken one.
        const bool area = c.screenW > 0 && c.screenH > 0;
        EXPECT_EQ(rig.host.fullScreen->Window()->isVisible(), area) << where;
        EXPECT_EQ(rig.state.busy, 0) << where;
    }
}

class FakeKeys final : public KeyState {
public:
    std::set<PolledKey> pressed;
    bool Held(PolledKey) override { return false; }
    bool Pressed(PolledKey k) override { return pressed.erase(k) > 0; }
};

// The X and Z keys in full screen, through the real key handling, with this placement.
class KeyHost final : public InputHost {
public:
    explicit KeyHost(FullScreenController& fullScreen) : fullScreen_(fullScreen) {}
    bool IsMinimised() override { return false; }
    void Minimise() override {}
    void StartWindowMove() override {}
    void CaptureMouse() override {}
    void ReleaseMouse() override {}
    void FocusStepSink() override {}
    void PlaceVideo() override { fullScreen_.PlaceVideo(); }
    void OpenButtonAction() override {}
    void TogglePlaylistEditor() override {}
    void SettingsDialog() override {}
    void SwitchFullScreen(bool leave) override { fullScreen_.SwitchFullScreen(leave); }
    void MoveFullScreenStepSinksOffScreen() override { fullScreen_.MoveStepBarsOffScreen(); }

private:
    FullScreenController& fullScreen_;
};

TEST(FullScreenTest, XAndZKeysStayWithinFitAndStretch) {
    struct Case {
        int fit;
        std::vector<PolledKey> presses;
        int fitAfter;
        const char* lastDestination;
    };
    const Case cases[] = {
        {4, {PolledKey::Z, PolledKey::Z}, 4, "put movie destination at 0 54 1024 698"},
        {4, {PolledKey::X}, 5, "put movie destination at 0 20 1024 768"},
        {5, {PolledKey::X, PolledKey::X}, 5, "put movie destination at 0 20 1024 768"},
        {5, {PolledKey::Z}, 4, "put movie destination at 0 54 1024 698"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.video.natural = VideoRect{0, 0, 352, 240};
        rig.settings.fullScreenFit = c.fit;
        Playlist playlist;
        FakeKeys keys;
        FakeClock clock;
        KeyHost keyHost(rig.fullScreen);
        InputControl input(rig.state, rig.settings, playlist, rig.mci, rig.volume, keys, clock, keyHost);
        rig.Enter();
        for (PolledKey key : c.presses) {
            rig.state.inputCooldown = 0;  // the full ticks in between have run the cool-down out
            rig.device.ClearSent();
            keys.pressed = {key};
            input.PollKeyboard();
            EXPECT_EQ(rig.state.inputCooldown, 2);
        }
        EXPECT_EQ(rig.settings.fullScreenFit, c.fitAfter) << "from " << c.fit;
        EXPECT_EQ(rig.device.sent, (Strings{"pause movie", c.lastDestination, "play movie"})) << "from " << c.fit;
    }
}

TEST(FullScreenTest, LeavingSendsTheCommandsInOrderAndDestroysTheWindows) {
    struct Case {
        int paused;
        int panel;
        const char* resume;
    };
    for (const Case c : {Case{0, 0, "play movie"}, Case{1, 0, "seek movie to 99"}, Case{0, 1, "play movie"}}) {
        Rig rig;
        rig.Enter();
        if (c.panel == 1) rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
        rig.device.ClearSent();
        rig.state.paused = c.paused;
        rig.device.Answer("status movie position", "99");
        rig.state.seekDragging = 1;
        rig.state.volumeDragging = 2;
        rig.fullScreen.SwitchFullScreen(true);
        Strings expected{"window movie handle default", "window movie handle 77", "pause movie",
                         RecordingHost::kWindowedMarker, c.resume};
        if (c.paused) expected.insert(expected.begin() + 3, "status movie position");
        EXPECT_EQ(rig.device.sent, expected);
        EXPECT_EQ(rig.state.fullScreen, 0);
        EXPECT_EQ(rig.state.panelInFullScreen, 0);
        EXPECT_EQ(rig.state.busy, 0);
        EXPECT_EQ(rig.state.seekDragging, 0);
        EXPECT_EQ(rig.state.volumeDragging, 0);
        EXPECT_FALSE(rig.host.fullScreen->Exists());
        EXPECT_FALSE(rig.host.overlay->Exists());
        EXPECT_FALSE(rig.host.panel->Exists());
        EXPECT_FALSE(rig.fullScreen.ControlPanelExists());
        EXPECT_EQ(rig.fullScreen.FullScreenWindowId(), 0);
    }
}

TEST(FullScreenTest, EnteringAgainMakesTheWindowsAnew) {
    Rig rig;
    rig.Enter();
    const int firstId = rig.host.fullScreen->HostId();
    rig.fullScreen.SwitchFullScreen(true);
    rig.device.ClearSent();
    rig.fullScreen.SwitchFullScreen(false);
    EXPECT_TRUE(rig.host.fullScreen->Window()->isVisible());
    EXPECT_TRUE(rig.host.panel->Exists());
    EXPECT_NE(rig.host.fullScreen->HostId(), firstId);
    EXPECT_EQ(rig.device.sent[1], rig.FullScreenHandle());
}

TEST(FullScreenTest, ASwitchToTheModeAlreadyOnDoesNothing) {
    Rig rig;
    rig.fullScreen.SwitchFullScreen(true);
    EXPECT_TRUE(rig.device.sent.empty());
    rig.Enter();
    rig.fullScreen.SwitchFullScreen(false);
    EXPECT_TRUE(rig.device.sent.empty());
    EXPECT_EQ(rig.state.fullScreen, 1);
}

TEST(FullScreenTest, ASwitchInsideAnotherLongOperationLeavesItBusy) {
    Rig rig;
    rig.state.busy = 1;
    rig.fullScreen.SwitchFullScreen(false);
    EXPECT_EQ(rig.state.busy, 1);
    rig.fullScreen.SwitchFullScreen(true);
    EXPECT_EQ(rig.state.busy, 1);
}

// Code 1 shows the panel along the bottom edge and gives it the volume; code 1 again hides
// it. Each ends with the picture placed again between "pause movie" and the resume.
TEST(FullScreenTest, CodeOneShowsAndHidesTheControlPanel) {
    Rig rig;
    rig.settings.doubleClickPanel = 1;
    rig.volume.volume = 0x80008000u;  // left channel 32768: level 127
    rig.Enter();
    EXPECT_EQ(rig.host.fullScreen->ClickMode(), 1);
    EXPECT_EQ(rig.host.overlay->ClickMode(), 1);

    EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel));
    EXPECT_EQ(rig.state.panelInFullScreen, 1);
    EXPECT_EQ(rig.device.sent,
              (Strings{"pause movie", "put movie destination at 0 20 1024 768", "play movie"}));
    QWidget* panel = rig.host.panel->Window();
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), QRect(0, 696, 1024, 72));
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(rig.PanelBar(CControlPanelDlg::kIdVolume)->value(), 127 * 8 + 8);
    // A single click on the picture now hides the panel again.
    EXPECT_EQ(rig.host.fullScreen->ClickMode(), 0);
    EXPECT_EQ(rig.host.overlay->ClickMode(), 0);
    EXPECT_TRUE(rig.host.fullScreen->Window()->isVisible());

    rig.device.ClearSent();
    rig.state.paused = 1;
    rig.device.Answer("status movie position", "4321");
    EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel));
    EXPECT_EQ(rig.state.panelInFullScreen, 0);
    EXPECT_EQ(rig.device.sent, (Strings{"pause movie", "status movie position", "put movie destination at 0 20 1024 768",
                                        "seek movie to 4321"}));
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(rig.host.overlay->Window()->isVisible());
    EXPECT_EQ(rig.host.overlay->Window()->geometry(), QRect(0, -20, 1024, 788));
    EXPECT_EQ(rig.host.fullScreen->ClickMode(), 1);
    EXPECT_EQ(rig.host.overlay->ClickMode(), 1);
    EXPECT_EQ(rig.state.fullScreen, 1);
}

// Placing again with the panel shown (a track change from its NEXT button, the X and Z
// keys) keeps it on the screen rather than taking it down and up again.
TEST(FullScreenTest, PlacingAgainKeepsAShownPanelUp) {
    struct HideCounter : QObject {
        int hides = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Hide) ++hides;
            return false;
        }
    } counter;
    Rig rig;
    rig.Enter();
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    QWidget* panel = rig.host.panel->Window();
    panel->installEventFilter(&counter);
    rig.device.ClearSent();
    rig.fullScreen.PlaceVideo();
    EXPECT_EQ(counter.hides, 0);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->geometry(), QRect(0, 696, 1024, 72));
    EXPECT_EQ(rig.device.sent, (Strings{"put movie destination at 0 20 1024 768"}));
    panel->removeEventFilter(&counter);
}

TEST(FullScreenTest, CodeFiveLeavesFullScreen) {
    Rig rig;
    rig.Enter();
    const int focus = rig.host.focusCount;
    EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(kNotifyLeaveFullScreen));
    EXPECT_EQ(rig.state.fullScreen, 0);
    EXPECT_EQ(rig.device.sent.front(), "window movie handle default");
    EXPECT_FALSE(rig.host.fullScreen->Exists());
    EXPECT_GT(rig.host.focusCount, focus);
}

// A click queued just before full screen ended is carried out after it: it must not move
// the cursor, send commands or leave the panel flag set.
TEST(FullScreenTest, NotificationsOutsideFullScreenChangeNothing) {
    for (int code : {kNotifyTogglePanel, kNotifyLeaveFullScreen}) {
        Rig rig;
        rig.settings.hideCursor = 1;
        rig.Enter();
        rig.fullScreen.SwitchFullScreen(true);
        rig.device.ClearSent();
        rig.host.cursorMoves.clear();
        EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(code));
        EXPECT_TRUE(rig.device.sent.empty()) << code;
        EXPECT_TRUE(rig.host.cursorMoves.empty()) << code;
        EXPECT_EQ(rig.state.panelInFullScreen, 0) << code;
        EXPECT_EQ(rig.state.fullScreen, 0) << code;
    }
    Rig rig;
    EXPECT_FALSE(rig.fullScreen.OnPlayerNotify(20));  // the playlist editor's code is not ours
}

TEST(FullScreenTest, AfterTheQuitDeletedTheWindowsNothingIsTouched) {
    Rig rig;
    rig.Enter();
    rig.host.DeleteDialogs();
    EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel));
    rig.fullScreen.PlaceVideo();
    rig.fullScreen.ShowOverlay(1024, 768);
    rig.fullScreen.ShowControlPanelAtBottom(1024, 768);
    EXPECT_FALSE(rig.fullScreen.ControlPanelExists());
    EXPECT_EQ(rig.fullScreen.FullScreenWindowId(), 0);
    EXPECT_TRUE(rig.fullScreen.OnPlayerNotify(kNotifyLeaveFullScreen));
    EXPECT_EQ(rig.state.fullScreen, 0);
}

// The hidden cursor: saved, parked at (0, k) and put back there when it moves, restored on
// leaving; k is 1 with scan-line mode 2.
TEST(FullScreenTest, HiddenCursorIsParkedAndRestored) {
    struct Case {
        int scanLineMode;
        CursorPoint park;
    };
    for (const Case c : {Case{0, {0, 0}}, Case{2, {0, 1}}, Case{5, {0, 0}}}) {
        Rig rig;
        rig.settings.hideCursor = 1;
        rig.settings.scanLineMode = c.scanLineMode;
        rig.host.cursor = {300, 200};
        rig.fullScreen.SwitchFullScreen(false);
        EXPECT_EQ(rig.fullScreen.CursorSave(), (CursorPoint{300, 200}));
        EXPECT_EQ(rig.host.cursor, c.park) << "mode " << c.scanLineMode;
        EXPECT_TRUE(rig.fullScreen.CursorParked());
        QWidget* window = rig.host.fullScreen->Window();
        EXPECT_EQ(window->cursor().shape(), Qt::BlankCursor);

        // The user moves the mouse: the cursor goes back to its park point.
        rig.host.cursorMoves.clear();
        MovePointer(window, QPoint(600, 400));
        ASSERT_FALSE(rig.host.cursorMoves.empty());
        EXPECT_EQ(rig.host.cursorMoves.back(), c.park);
        // A move to the park point itself changes nothing (no endless warping).
        rig.host.cursorMoves.clear();
        rig.host.fullScreen->OnPointerMoved(QPoint(c.park.x, c.park.y));
        EXPECT_TRUE(rig.host.cursorMoves.empty());

        rig.fullScreen.SwitchFullScreen(true);
        EXPECT_EQ(rig.host.cursor, (CursorPoint{300, 200}));
        EXPECT_FALSE(rig.fullScreen.CursorParked());
        EXPECT_FALSE(rig.host.fullScreen->CursorHidden());
    }
}

TEST(FullScreenTest, CursorStaysAloneWhenNotHidden) {
    Rig rig;
    rig.settings.hideCursor = 0;
    rig.fullScreen.SwitchFullScreen(false);
    EXPECT_TRUE(rig.host.cursorMoves.empty());
    EXPECT_NE(rig.host.fullScreen->Window()->cursor().shape(), Qt::BlankCursor);
    MovePointer(rig.host.fullScreen->Window(), QPoint(600, 400));
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    rig.fullScreen.SwitchFullScreen(true);
    EXPECT_TRUE(rig.host.cursorMoves.empty());
}

// With the panel shown the cursor is back where it was and visible; hiding the panel saves
// where the user left it and parks it again. Leaving with the panel shown keeps it shown.
TEST(FullScreenTest, PanelShowsTheCursorAndHidingItParksItAgain) {
    Rig rig;
    rig.settings.hideCursor = 1;
    rig.host.cursor = {300, 200};
    rig.fullScreen.SwitchFullScreen(false);

    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    EXPECT_EQ(rig.host.cursor, (CursorPoint{300, 200}));
    EXPECT_FALSE(rig.fullScreen.CursorParked());
    EXPECT_FALSE(rig.host.fullScreen->CursorHidden());
    EXPECT_NE(rig.host.fullScreen->Window()->cursor().shape(), Qt::BlankCursor);

    rig.host.cursor = {700, 740};  // the user worked the panel
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    EXPECT_EQ(rig.fullScreen.CursorSave(), (CursorPoint{700, 740}));
    EXPECT_EQ(rig.host.cursor, (CursorPoint{0, 0}));
    EXPECT_TRUE(rig.host.fullScreen->CursorHidden());

    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    rig.host.cursorMoves.clear();
    rig.fullScreen.SwitchFullScreen(true);
    EXPECT_EQ(rig.host.cursorMoves, (std::vector<CursorPoint>{{700, 740}}));
    EXPECT_FALSE(rig.host.fullScreen->CursorHidden());
    EXPECT_FALSE(rig.host.overlay->CursorHidden());
}

// The effect values go to the panel when it is made and come back into the settings when
// the panel is hidden and when full screen ends; a change rebuilds the overlay.
TEST(FullScreenTest, EffectValuesTravelThroughThePanel) {
    Rig rig;
    rig.settings.scanLineMode = 3;
    rig.settings.lineMaskTop = 10;
    rig.settings.lineMaskBottom = 20;
    rig.Enter();
    auto text = [&](int id) { return qobject_cast<QLineEdit*>(rig.host.panel->Control(id))->text().toStdString(); };
    EXPECT_EQ(text(CControlPanelDlg::kIdScanLineMode), "Mode3");
    EXPECT_EQ(text(CControlPanelDlg::kIdFirstMask), "10%");
    EXPECT_EQ(text(CControlPanelDlg::kIdSecondMask), "20%");
    // Building the (empty) overlay leaves the user's mode as it is, so a quit in full
    // screen saves it unchanged.
    EXPECT_EQ(rig.settings.scanLineMode, 3);
    EXPECT_EQ(rig.fullScreen.LineMaskSwitch(), 1);

    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    const QPointer<QWidget> overlayBefore = rig.host.overlay->Window();
    rig.host.panel->OnButton(CControlPanelDlg::kIdModeUp);
    rig.host.panel->OnButton(CControlPanelDlg::kIdFirstMaskDown);
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    EXPECT_EQ(rig.settings.scanLineMode, 4);
    EXPECT_EQ(rig.settings.lineMaskTop, 9);
    EXPECT_EQ(rig.settings.lineMaskBottom, 20);
    EXPECT_TRUE(overlayBefore.isNull());  // rebuilt for the new values
    EXPECT_TRUE(rig.host.overlay->Window()->isVisible());
    EXPECT_TRUE(rig.host.overlay->TransparentForInput());

    // Unchanged values keep the overlay.
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    const QPointer<QWidget> overlayKept = rig.host.overlay->Window();
    rig.fullScreen.OnPlayerNotify(kNotifyTogglePanel);
    EXPECT_FALSE(overlayKept.isNull());

    rig.host.panel->OnButton(CControlPanelDlg::kIdSecondMaskUp);
    rig.fullScreen.SwitchFullScreen(true);
    EXPECT_EQ(rig.settings.lineMaskBottom, 21);
    EXPECT_EQ(rig.settings.scanLineMode, 4);
}

// What the main tick and an open in full screen ask of the windows.
TEST(FullScreenTest, TickAndOpenPlaceTheWindows) {
    Rig rig;
    EXPECT_FALSE(rig.fullScreen.ControlPanelExists());
    rig.Enter();
    rig.fullScreen.ShowOverlay(1024, 768);
    EXPECT_EQ(rig.host.overlay->Window()->geometry(), QRect(0, 0, 1024, 768));
    rig.fullScreen.ShowOverlayTopmost(VideoRect{0, 0, 0, 0});
    EXPECT_FALSE(rig.host.overlay->Window()->isVisible());
    rig.fullScreen.ShowFullScreenWindowTopmost(VideoRect{0, -20, 800, 620});
    EXPECT_EQ(rig.host.fullScreen->Window()->geometry(), QRect(0, -20, 800, 620));
    rig.fullScreen.ShowControlPanelAtBottom(800, 600);
    EXPECT_EQ(rig.host.panel->Window()->geometry(), QRect(0, 528, 800, 72));
    EXPECT_TRUE(rig.host.panel->Window()->isVisible());
    EXPECT_EQ(rig.fullScreen.FullScreenWindowId(), rig.host.fullScreen->HostId());
}

TEST(FullScreenTest, FullScreenButtonMovesBothScrollBarsOffTheScreen) {
    Rig rig;
    rig.Enter();
    rig.fullScreen.MoveStepBarsOffScreen();
    for (CFullScreenInputDlg* dialog : {static_cast<CFullScreenInputDlg*>(rig.host.fullScreen.get()),
                                        static_cast<CFullScreenInputDlg*>(rig.host.overlay.get())}) {
        QScrollBar* bar = dialog->StepBar();
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->geometry(), QRect(1025, 0, 20, 40));
        EXPECT_EQ(bar->minimum(), 0);
        EXPECT_EQ(bar->maximum(), 2);
        EXPECT_EQ(bar->value(), 1);
    }
}

}  // namespace
