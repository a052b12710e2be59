#include "player/VideoWindows.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>

#include "device/VideoHostWidget.h"
#include "panels/VideoWindow.h"
#include "panels/WindowPlacement.h"
#include "player/CPlayerDlg.h"
#include "render/WindowShape.h"

namespace {
QRect ToQRect(const VideoRect& r) { return QRect(r.x, r.y, r.width, r.height); }
}  // namespace

VideoWindows::VideoWindows(CPlayerDlg* player, QWidget& mainWindow)
    : main_(mainWindow), fullScreen_(std::make_unique<CFullScreenDlg>(player)),
      videoDlg_(std::make_unique<CVideoWindowDlg>(player)), overlay_(std::make_unique<CFullScreenOverlayDlg>(player)),
      panel_(std::make_unique<CControlPanelDlg>(player)) {
    fullScreen_->SetPointerMoved([this](QPoint p) {
        if (pointerMoved_) pointerMoved_(ScreenPoint{p.x(), p.y()});
    });
}

VideoWindows::~VideoWindows() = default;

void VideoWindows::SetNotify(const PlayerNotify& notify) {
    fullScreen_->SetNotify(notify);
    overlay_->SetNotify(notify);
}

void VideoWindows::SetPointerMoved(std::function<void(ScreenPoint)> moved) { pointerMoved_ = std::move(moved); }

VideoHostWidget& VideoWindows::EnsureVideoWindow() {
    if (!videoWindow_) {
        videoWindow_ = std::make_unique<VideoWindowWidget>([this](int x, int y) {
            if (videoDlg_) videoDlg_->OnMove(x, y);
        });
        // Mapped while the user works in another application: never take the focus from it.
        videoWindow_->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    return *videoWindow_;
}

VideoHostWidget& VideoWindows::EnsureDesktopHost() {
    if (!desktopHost_) {
        desktopHost_ = std::make_unique<VideoHostWidget>(
            nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowTransparentForInput);
        desktopHost_->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    return *desktopHost_;
}

void VideoWindows::MakeVideoWindow(int x, int y) {
    if (videoDlg_) videoDlg_->OnMove(x, y);
    EnsureVideoWindow().move(x, y);
}

void VideoWindows::DestroyHostWindows() {
    videoWindow_.reset();
    desktopHost_.reset();
}

void VideoWindows::DeleteDialogs() {
    videoDlg_.reset();
    panel_.reset();
    overlay_.reset();
    fullScreen_.reset();
}

void VideoWindows::MoveStepBarsOffScreen(int x) {
    if (fullScreen_) fullScreen_->Configure(1, x);
    if (overlay_) overlay_->Configure(1, x);
}

ScreenArea VideoWindows::PlayerScreen() {
    const QScreen* screen = QGuiApplication::screenAt(main_.geometry().center());
    if (screen == nullptr) screen = main_.screen();
    if (screen == nullptr) return {0, 0, 1024, 768};
    const QRect area = screen->geometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

ScreenArea VideoWindows::AvailableArea(const VideoRect& window) {
    const QScreen* screen = QGuiApplication::screenAt(ToQRect(window).center());
    if (screen == nullptr) screen = QGuiApplication::screenAt(main_.geometry().center());
    if (screen == nullptr) screen = main_.screen();
    if (screen == nullptr) return PlayerScreen();
    const QRect area = screen->availableGeometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

void VideoWindows::ShowWindow(PictureWindow window, const VideoRect& rect) {
    switch (window) {
    case PictureWindow::Video: {
        VideoHostWidget& w = EnsureVideoWindow();
        w.setGeometry(ToQRect(rect));
        w.show();
        break;
    }
    case PictureWindow::Desktop: {
        VideoHostWidget& w = EnsureDesktopHost();
        w.setGeometry(ToQRect(rect));
        w.show();
        w.lower();
        break;
    }
    case PictureWindow::FullScreen:
        if (!fullScreen_) return;
        fullScreen_->ShowTopmost(ToQRect(rect));
        // The keys (Alt+Enter, X, Z, the arrows) reach the player through the active window.
        if (QWidget* w = fullScreen_->Window(); w != nullptr && w->isVisible()) w->activateWindow();
        break;
    case PictureWindow::Overlay:
        if (overlay_) overlay_->ShowTopmost(ToQRect(rect));
        break;
    case PictureWindow::ControlPanel:
        if (panel_) panel_->ShowTopmost(ToQRect(rect));
        break;
    }
}

void VideoWindows::HideWindow(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video:
        if (videoWindow_) videoWindow_->hide();
        break;
    case PictureWindow::Desktop:
        if (desktopHost_) desktopHost_->hide();
        break;
    case PictureWindow::FullScreen:
        if (fullScreen_) fullScreen_->ShowTopmost(QRect());
        break;
    case PictureWindow::Overlay:
        if (overlay_) overlay_->ShowTopmost(QRect());
        break;
    case PictureWindow::ControlPanel:
        if (panel_) panel_->ShowAtBottom();
        break;
    }
}

int VideoWindows::HostId(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video: return EnsureVideoWindow().hostId();
    case PictureWindow::Desktop: return EnsureDesktopHost().hostId();
    case PictureWindow::FullScreen: return fullScreen_ ? fullScreen_->HostId() : 0;
    default: return 0;
    }
}

void VideoWindows::CreateWindow(PictureWindow window) {
    if (window == PictureWindow::FullScreen && fullScreen_) fullScreen_->Create();
    if (window == PictureWindow::ControlPanel && panel_) panel_->Create();
}

void VideoWindows::DestroyWindow(PictureWindow window) {
    if (window == PictureWindow::FullScreen && fullScreen_) fullScreen_->DestroyWindow();
    if (window == PictureWindow::Overlay && overlay_) overlay_->DestroyWindow();
    if (window == PictureWindow::ControlPanel && panel_) panel_->DestroyWindow();
}

bool VideoWindows::WindowExists(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video: return videoWindow_ != nullptr;
    case PictureWindow::Desktop: return desktopHost_ != nullptr;
    case PictureWindow::FullScreen: return fullScreen_ && fullScreen_->Exists();
    case PictureWindow::Overlay: return overlay_ && overlay_->Exists();
    case PictureWindow::ControlPanel: return panel_ && panel_->Exists();
    }
    return false;
}

void VideoWindows::RebuildOverlay(const VideoRect& rect) {
    if (!overlay_) return;
    QRegion region;
    for (const ShapeRect& r : OverlayShape()) region += QRect(r.x, r.y, r.width, r.height);
    overlay_->Create(ToQRect(rect), region);
}

void VideoWindows::SetClickMode(int mode) {
    if (fullScreen_) fullScreen_->Configure(0, mode);
    if (overlay_) overlay_->Configure(0, mode);
}

void VideoWindows::InitPanel(const DisplayEffects& effects, int screenWidth) {
    if (!panel_) return;
    panel_->InitEffects(effects[0], effects[1], effects[2], effects[3]);
    panel_->SetValue(kPanelFitToScreen, screenWidth);
}

DisplayEffects VideoWindows::PanelEffects() {
    if (!panel_) return {};
    using Effect = CControlPanelDlg::Effect;
    return {panel_->GetEffect(Effect::ScanLineMode), panel_->GetEffect(Effect::Constant),
            panel_->GetEffect(Effect::FirstMask), panel_->GetEffect(Effect::SecondMask)};
}

void VideoWindows::ShowPanelVolume(int level) {
    if (panel_) panel_->SetValue(kPanelShowVolume, level);
}

void VideoWindows::SetCursorHidden(bool hidden) {
    if (fullScreen_) fullScreen_->SetCursorHidden(hidden);
    if (overlay_) overlay_->SetCursorHidden(hidden);
}

ScreenPoint VideoWindows::CursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void VideoWindows::SetCursorPos(ScreenPoint point) { QCursor::setPos(point.x, point.y); }

ScreenPoint VideoWindows::VideoWindowCorner() {
    if (!videoDlg_) return {};
    return {videoDlg_->GetValue(kVideoX), videoDlg_->GetValue(kVideoY)};
}

void VideoWindows::SetMainZOrder(ZOrder order) {
    const bool wasVisible = main_.isVisible();
    switch (order) {
    case ZOrder::Top: main_.raise(); break;
    case ZOrder::Bottom:
        if (main_.windowFlags() & Qt::WindowStaysOnTopHint) main_.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        main_.lower();
        break;
    case ZOrder::Topmost:
        if (!(main_.windowFlags() & Qt::WindowStaysOnTopHint)) main_.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        main_.raise();
        break;
    case ZOrder::NotTopmost:
        if (main_.windowFlags() & Qt::WindowStaysOnTopHint) main_.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        break;
    }
    // Changing a window flag hides the window; bring it back as it was.
    if (wasVisible && !main_.isVisible()) main_.show();
}

void VideoWindows::PlaceMainWindow(ZOrder order, int x, int y) {
    main_.setGeometry(x, y, kMainWindowWidth, kMainWindowHeight);
    if (!main_.isVisible() && !main_.isMinimized()) main_.show();
    SetMainZOrder(order);
}

void VideoWindows::FocusStepSink() { main_.setFocus(Qt::OtherFocusReason); }
