#include "player/FullScreen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QRegion>
#include <QScreen>
#include <QWidget>
#include <string>

#include "panels/ControlPanel.h"
#include "panels/FullScreenWindows.h"
#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackContext.h"
#include "playback/WaveVolumeControl.h"
#include "state/PlayerState.h"
#include "render/WindowShape.h"
#include "state/Settings.h"

namespace {

constexpr int kFitKeepingAspect = 4;
constexpr int kStretch = 5;

}  // namespace

// --- host defaults -----------------------------------------------------------------------------

ScreenArea FullScreenHost::MeasureScreen() {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        const QRect area = primary->geometry();
        return {area.x(), area.y(), area.width(), area.height()};
    }
    return {0, 0, 1024, 768};
}

CursorPoint FullScreenHost::CursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void FullScreenHost::SetCursorPos(CursorPoint point) { QCursor::setPos(point.x, point.y); }

// --- the controller ---------------------------------------------------------------------------------

FullScreenController::FullScreenController(PlayerState& state, Settings& settings, MciSession& mci,
                                           VideoGeometry& video, WaveVolume& volume, FullScreenHost& host)
    : state_(state), settings_(settings), mci_(mci), video_(video), volume_(volume), host_(host) {}

void FullScreenController::SwitchFullScreen(bool leave) {
    if (leave) Leave();
    else Enter();
}

void FullScreenController::Enter() {
    CFullScreenDlg* window = host_.FullScreenDialog();
    CFullScreenOverlayDlg* overlay = host_.OverlayDialog();
    CControlPanelDlg* panel = host_.ControlPanelDialog();
    if (state_.fullScreen == 1 || window == nullptr || overlay == nullptr || panel == nullptr) return;

    // A switch inside another long operation (a dialog's loop) gives its busy back.
    const int outerBusy = state_.busy;
    state_.busy = 1;
    state_.fullScreen = 1;
    SetCursorHidden(settings_.hideCursor == 1);

    mci_.Send("window movie handle default");
    const ScreenArea screen = host_.MeasureScreen();
    originX_ = screen.x;
    originY_ = screen.y;
    state_.screenWidth = screen.width;
    state_.screenHeight = screen.height;
    state_.panelInFullScreen = 0;
    const int W = state_.screenWidth;
    const int H = state_.screenHeight;

    if (!panel->Exists()) {
        panel->Create();
        panel->InitEffects(settings_.scanLineMode, lineMaskSwitch_, settings_.lineMaskTop, settings_.lineMaskBottom);
        panel->SetValue(3, W);
        ReadEffects(*panel);
        applied_ = Effects();
    }
    panel->ShowAtBottom();

    overlay->Configure(0, settings_.doubleClickPanel);
    window->Configure(0, settings_.doubleClickPanel);

    if (settings_.hideCursor == 1) {
        cursorSave_ = host_.CursorPos();
        Park();
    }

    window->Create();
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
    ApplyOverlayShape();

    mci_.Send("window movie handle " + std::to_string(window->HostId()));
    mci_.Send(PutDestinationCommand(0, kTopShift, W, H));

    mci_.PauseKeepingPosition();
    PlaceVideo();
    Resume();

    state_.busy = outerBusy;
    host_.FocusStepSink();
}

void FullScreenController::Leave() {
    if (state_.fullScreen != 1) return;
    const int outerBusy = state_.busy;
    state_.busy = 1;
    state_.fullScreen = 0;
    StopParking();
    state_.volumeDragging = 0;
    state_.seekDragging = 0;
    if (settings_.hideCursor == 1) host_.SetCursorPos(cursorSave_);
    // Shown once, however often it was shown or hidden before.
    SetCursorHidden(false);

    mci_.Send("window movie handle default");
    CControlPanelDlg* panel = host_.ControlPanelDialog();
    if (panel != nullptr) ReadEffects(*panel);

    if (CFullScreenDlg* window = host_.FullScreenDialog()) window->DestroyWindow();
    if (CFullScreenOverlayDlg* overlay = host_.OverlayDialog()) overlay->DestroyWindow();
    if (panel != nullptr) panel->DestroyWindow();
    state_.panelInFullScreen = 0;

    mci_.Send("window movie handle " + std::to_string(host_.VideoWindowId()));
    mci_.PauseKeepingPosition();
    host_.PlaceVideoWindowed();
    Resume();

    state_.busy = outerBusy;
    host_.FocusStepSink();
}

void FullScreenController::PlaceVideo() {
    CControlPanelDlg* panel = host_.ControlPanelDialog();
    const int W = state_.screenWidth;
    const int H = state_.screenHeight;

    // The overlay first goes to nothing; a shown panel stays mapped (no flicker at every track
    // change) and is raised above the picture again below.
    if (state_.panelInFullScreen == 0) ShowOverlayTopmost(VideoRect{0, 0, 0, 0});
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});

    int& fit = settings_.fullScreenFit;
    fit = fit <= kFitKeepingAspect ? kFitKeepingAspect : kStretch;
    video_.fullScreen = FullScreenDestination(fit, W, H, video_.natural, video_.fullScreen, video_);
    const VideoRect& d = video_.fullScreen;
    mci_.Send(PutDestinationCommand(d.x, d.y + kTopShift, d.width, d.height));

    if (state_.panelInFullScreen == 0) {
        ShowOverlayTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
        // Behind the full-screen windows a panel shows nothing.
        if (panel != nullptr) panel->ShowAtBottom();
    } else {
        ShowControlPanelAtBottom(W, H);
    }
    host_.FocusStepSink();
}

bool FullScreenController::OnPlayerNotify(int code) {
    if (code != kNotifyTogglePanel && code != kNotifyLeaveFullScreen) return false;
    // A click queued just before full screen ended arrives afterwards: it has nothing to do.
    if (state_.fullScreen == 1) {
        if (code == kNotifyTogglePanel) TogglePanel();
        else SwitchFullScreen(true);
    }
    host_.FocusStepSink();
    return true;
}

void FullScreenController::TogglePanel() {
    CFullScreenDlg* window = host_.FullScreenDialog();
    CFullScreenOverlayDlg* overlay = host_.OverlayDialog();
    CControlPanelDlg* panel = host_.ControlPanelDialog();
    if (window == nullptr || overlay == nullptr || panel == nullptr) return;

    state_.panelInFullScreen = state_.panelInFullScreen == 1 ? 0 : 1;
    if (state_.panelInFullScreen == 1) {
        // One click on the picture hides the panel again.
        window->Configure(0, 0);
        overlay->Configure(0, 0);
        if (settings_.hideCursor == 1) {
            StopParking();
            host_.SetCursorPos(cursorSave_);
            SetCursorHidden(false);
        }
        panel->SetValue(2, PanelValueFromVolume(volume_));
    } else {
        if (settings_.hideCursor == 1) SetCursorHidden(true);
        ReadEffects(*panel);
        if (Effects() != applied_) {
            overlay->DestroyWindow();
            ApplyOverlayShape();
            applied_ = Effects();
        }
        window->Configure(0, settings_.doubleClickPanel);
        overlay->Configure(0, settings_.doubleClickPanel);
        if (settings_.hideCursor == 1) {
            cursorSave_ = host_.CursorPos();
            Park();
        }
    }
    mci_.PauseKeepingPosition();
    PlaceVideo();
    Resume();
}

void FullScreenController::ApplyOverlayShape() {
    CFullScreenOverlayDlg* overlay = host_.OverlayDialog();
    if (overlay == nullptr) return;
    // The rows of the scan-line mode and the line masks: with the mode and both masks taken
    // as 0 no row is chosen. The stored mode is left alone, so it is saved as the user set it.
    QRegion region;
    for (const ShapeRect& r : OverlayShape()) region += QRect(r.x, r.y, r.width, r.height);
    overlay->Create(QRect(originX_, originY_ - kTopShift, state_.screenWidth, state_.screenHeight + kTopShift), region);
}

int FullScreenController::FullScreenWindowId() {
    const CFullScreenDlg* window = host_.FullScreenDialog();
    return window != nullptr ? window->HostId() : 0;
}

void FullScreenController::TakePanelDisplayEffects() {
    if (CControlPanelDlg* panel = host_.ControlPanelDialog()) ReadEffects(*panel);
}

void FullScreenController::ShowOverlayTopmost(const VideoRect& rect) {
    if (CFullScreenOverlayDlg* overlay = host_.OverlayDialog())
        overlay->ShowTopmost(QRect(originX_ + rect.x, originY_ + rect.y, rect.width, rect.height));
}

void FullScreenController::ShowFullScreenWindowTopmost(const VideoRect& rect) {
    CFullScreenDlg* window = host_.FullScreenDialog();
    if (window == nullptr) return;
    window->ShowTopmost(QRect(originX_ + rect.x, originY_ + rect.y, rect.width, rect.height));
    // The keys (Alt+Enter, X, Z, the arrows) reach the player through the active window.
    if (QWidget* w = window->Window(); w != nullptr && w->isVisible()) w->activateWindow();
}

bool FullScreenController::ControlPanelExists() {
    const CControlPanelDlg* panel = host_.ControlPanelDialog();
    return panel != nullptr && panel->Exists();
}

void FullScreenController::ShowControlPanelAtBottom(int screenWidth, int screenHeight) {
    if (CControlPanelDlg* panel = host_.ControlPanelDialog())
        panel->ShowTopmost(QRect(originX_, originY_ + screenHeight - kPanelHeight, screenWidth, kPanelHeight));
}

void FullScreenController::ShowOverlay(int screenWidth, int screenHeight) {
    if (CFullScreenOverlayDlg* overlay = host_.OverlayDialog())
        overlay->ShowTopmost(QRect(originX_, originY_, screenWidth, screenHeight));
}

void FullScreenController::MoveStepBarsOffScreen() {
    const int x = state_.screenWidth + 1;
    if (CFullScreenDlg* window = host_.FullScreenDialog()) window->Configure(1, x);
    if (CFullScreenOverlayDlg* overlay = host_.OverlayDialog()) overlay->Configure(1, x);
}

// --- helpers ---------------------------------------------------------------------------------------

void FullScreenController::Resume() {
    if (state_.paused) mci_.Send("seek movie to " + std::to_string(state_.position));
    else mci_.Send("play movie");
}

void FullScreenController::ReadEffects(CControlPanelDlg& panel) {
    settings_.scanLineMode = panel.GetEffect(0);
    lineMaskSwitch_ = panel.GetEffect(1);
    settings_.lineMaskTop = panel.GetEffect(2);
    settings_.lineMaskBottom = panel.GetEffect(3);
}

std::array<int, 4> FullScreenController::Effects() const {
    return {settings_.scanLineMode, lineMaskSwitch_, settings_.lineMaskTop, settings_.lineMaskBottom};
}

void FullScreenController::SetCursorHidden(bool hidden) {
    if (CFullScreenDlg* window = host_.FullScreenDialog()) window->SetCursorHidden(hidden);
    if (CFullScreenOverlayDlg* overlay = host_.OverlayDialog()) overlay->SetCursorHidden(hidden);
}

void FullScreenController::Park() {
    // (0, 1) with scan-line mode 2, else (0, 0).
    park_ = {originX_, originY_ + (settings_.scanLineMode == 2 ? 1 : 0)};
    parked_ = true;
    host_.SetCursorPos(park_);
    if (CFullScreenDlg* window = host_.FullScreenDialog()) {
        window->SetPointerMoved([this](QPoint p) {
            if (parked_ && (p.x() != park_.x || p.y() != park_.y)) host_.SetCursorPos(park_);
        });
    }
}

void FullScreenController::StopParking() {
    parked_ = false;
    if (CFullScreenDlg* window = host_.FullScreenDialog()) window->SetPointerMoved(nullptr);
}
