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
    : m_main(mainWindow), m_fullScreen(std::make_unique<CFullScreenDlg>(player)),
      m_videoDlg(std::make_unique<CVideoWindowDlg>(player)), m_overlay(std::make_unique<CFullScreenOverlayDlg>(player)),
      m_panel(std::make_unique<CControlPanelDlg>(player)) {
    m_fullScreen->SetPointerMoved([this](QPoint p) {
        if (m_pointerMoved) m_pointerMoved(ScreenPoint{p.x(), p.y()});
    });
}

VideoWindows::~VideoWindows() = default;

void VideoWindows::SetNotify(const PlayerNotify& notify) {
    m_fullScreen->SetNotify(notify);
    m_overlay->SetNotify(notify);
}

void VideoWindows::SetPointerMoved(std::function<void(ScreenPoint)> moved) { m_pointerMoved = std::move(moved); }

VideoHostWidget& VideoWindows::EnsureVideoWindow() {
    if (!m_videoWindow) {
        m_videoWindow = std::make_unique<VideoWindowWidget>([this](int x, int y) {
            if (m_videoDlg) m_videoDlg->OnMove(x, y);
        });
        // Mapped while the user works in another application: never take the focus from it.
        m_videoWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    return *m_videoWindow;
}

VideoHostWidget& VideoWindows::EnsureDesktopHost() {
    if (!m_desktopHost) {
        m_desktopHost = std::make_unique<VideoHostWidget>(
            nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint | Qt::WindowDoesNotAcceptFocus |
                         Qt::WindowTransparentForInput);
        m_desktopHost->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    return *m_desktopHost;
}

void VideoWindows::MakeVideoWindow(int x, int y) {
    if (m_videoDlg) m_videoDlg->OnMove(x, y);
    EnsureVideoWindow().move(x, y);
}

void VideoWindows::DestroyHostWindows() {
    m_videoWindow.reset();
    m_desktopHost.reset();
}

void VideoWindows::DeleteDialogs() {
    m_videoDlg.reset();
    m_panel.reset();
    m_overlay.reset();
    m_fullScreen.reset();
}

void VideoWindows::MoveStepBarsOffScreen(int x) {
    if (m_fullScreen) m_fullScreen->Configure(1, x);
    if (m_overlay) m_overlay->Configure(1, x);
}

ScreenArea VideoWindows::PlayerScreen() {
    const QScreen* screen = QGuiApplication::screenAt(m_main.geometry().center());
    if (screen == nullptr) screen = m_main.screen();
    if (screen == nullptr) return {0, 0, 1024, 768};
    const QRect area = screen->geometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

ScreenArea VideoWindows::AvailableArea(const VideoRect& window) {
    const QScreen* screen = QGuiApplication::screenAt(ToQRect(window).center());
    if (screen == nullptr) screen = QGuiApplication::screenAt(m_main.geometry().center());
    if (screen == nullptr) screen = m_main.screen();
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
        if (!m_fullScreen) return;
        m_fullScreen->ShowTopmost(ToQRect(rect));
        // The keys (Alt+Enter, X, Z, the arrows) reach the player through the active window.
        if (QWidget* w = m_fullScreen->Window(); w != nullptr && w->isVisible()) w->activateWindow();
        break;
    case PictureWindow::Overlay:
        if (m_overlay) m_overlay->ShowTopmost(ToQRect(rect));
        break;
    case PictureWindow::ControlPanel:
        if (m_panel) m_panel->ShowTopmost(ToQRect(rect));
        break;
    }
}

void VideoWindows::HideWindow(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video:
        if (m_videoWindow) m_videoWindow->hide();
        break;
    case PictureWindow::Desktop:
        if (m_desktopHost) m_desktopHost->hide();
        break;
    case PictureWindow::FullScreen:
        if (m_fullScreen) m_fullScreen->ShowTopmost(QRect());
        break;
    case PictureWindow::Overlay:
        if (m_overlay) m_overlay->ShowTopmost(QRect());
        break;
    case PictureWindow::ControlPanel:
        if (m_panel) m_panel->ShowAtBottom();
        break;
    }
}

int VideoWindows::HostId(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video: return EnsureVideoWindow().hostId();
    case PictureWindow::Desktop: return EnsureDesktopHost().hostId();
    case PictureWindow::FullScreen: return m_fullScreen ? m_fullScreen->HostId() : 0;
    default: return 0;
    }
}

void VideoWindows::CreateWindow(PictureWindow window) {
    if (window == PictureWindow::FullScreen && m_fullScreen) m_fullScreen->Create();
    if (window == PictureWindow::ControlPanel && m_panel) m_panel->Create();
}

void VideoWindows::DestroyWindow(PictureWindow window) {
    if (window == PictureWindow::FullScreen && m_fullScreen) m_fullScreen->DestroyWindow();
    if (window == PictureWindow::Overlay && m_overlay) m_overlay->DestroyWindow();
    if (window == PictureWindow::ControlPanel && m_panel) m_panel->DestroyWindow();
}

bool VideoWindows::WindowExists(PictureWindow window) {
    switch (window) {
    case PictureWindow::Video: return m_videoWindow != nullptr;
    case PictureWindow::Desktop: return m_desktopHost != nullptr;
    case PictureWindow::FullScreen: return m_fullScreen && m_fullScreen->Exists();
    case PictureWindow::Overlay: return m_overlay && m_overlay->Exists();
    case PictureWindow::ControlPanel: return m_panel && m_panel->Exists();
    }
    return false;
}

void VideoWindows::RebuildOverlay(const VideoRect& rect) {
    if (!m_overlay) return;
    QRegion region;
    for (const ShapeRect& r : OverlayShape()) region += QRect(r.x, r.y, r.width, r.height);
    m_overlay->Create(ToQRect(rect), region);
}

void VideoWindows::SetClickMode(int mode) {
    if (m_fullScreen) m_fullScreen->Configure(0, mode);
    if (m_overlay) m_overlay->Configure(0, mode);
}

void VideoWindows::InitPanel(const DisplayEffects& effects, int screenWidth) {
    if (!m_panel) return;
    m_panel->InitEffects(effects[0], effects[1], effects[2], effects[3]);
    m_panel->SetValue(kPanelFitToScreen, screenWidth);
}

DisplayEffects VideoWindows::PanelEffects() {
    if (!m_panel) return {};
    using Effect = CControlPanelDlg::Effect;
    return {m_panel->GetEffect(Effect::ScanLineMode), m_panel->GetEffect(Effect::Constant),
            m_panel->GetEffect(Effect::FirstMask), m_panel->GetEffect(Effect::SecondMask)};
}

void VideoWindows::ShowPanelVolume(int level) {
    if (m_panel) m_panel->SetValue(kPanelShowVolume, level);
}

void VideoWindows::SetCursorHidden(bool hidden) {
    if (m_fullScreen) m_fullScreen->SetCursorHidden(hidden);
    if (m_overlay) m_overlay->SetCursorHidden(hidden);
}

ScreenPoint VideoWindows::CursorPos() {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

void VideoWindows::SetCursorPos(ScreenPoint point) { QCursor::setPos(point.x, point.y); }

ScreenPoint VideoWindows::VideoWindowCorner() {
    if (!m_videoDlg) return {};
    return {m_videoDlg->GetValue(kVideoX), m_videoDlg->GetValue(kVideoY)};
}

void VideoWindows::SetMainZOrder(ZOrder order) {
    const bool wasVisible = m_main.isVisible();
    switch (order) {
    case ZOrder::Top: m_main.raise(); break;
    case ZOrder::Bottom:
        if (m_main.windowFlags() & Qt::WindowStaysOnTopHint) m_main.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        m_main.lower();
        break;
    case ZOrder::Topmost:
        if (!(m_main.windowFlags() & Qt::WindowStaysOnTopHint)) m_main.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_main.raise();
        break;
    case ZOrder::NotTopmost:
        if (m_main.windowFlags() & Qt::WindowStaysOnTopHint) m_main.setWindowFlag(Qt::WindowStaysOnTopHint, false);
        break;
    }
    // Changing a window flag hides the window; bring it back as it was.
    if (wasVisible && !m_main.isVisible()) m_main.show();
}

void VideoWindows::PlaceMainWindow(ZOrder order, int x, int y) {
    m_main.setGeometry(x, y, kMainWindowWidth, kMainWindowHeight);
    if (!m_main.isVisible() && !m_main.isMinimized()) m_main.show();
    SetMainZOrder(order);
}

void VideoWindows::FocusStepSink() { m_main.setFocus(Qt::OtherFocusReason); }
