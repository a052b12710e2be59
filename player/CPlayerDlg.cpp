#include "player/CPlayerDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QUrl>
#include <QWindow>

#include "device/VideoHostWidget.h"
#include "panels/VideoWindow.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "playback/OpenFiles.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackTick.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "render/Composition.h"
#include "render/DibSurface.h"
#include "render/SkinSource.h"
#include "render/TextDraw.h"
#include "render/WindowShape.h"
#include "state/Settings.h"
#include "settings/SettingsFile.h"
#include "settings/dialog/SettingsDialog.h"

namespace {
QSize ScreenSize() {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) return primary->size();
    return {1024, 768};
}
}  // namespace

CPlayerDlg::CPlayerDlg(PlayerRecords records, MediaDevice& device, WaveVolume& volume, Clock& clock,
                       MainTickSetup setup)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_state(records.state),
      m_settings(records.settings),
      m_playlist(records.playlist),
      m_clock(clock),
      m_mci(device, records.state),
      m_playback{records.state, records.settings, records.playlist, m_mci, *this, m_video, clock},
      m_input(records.state, records.settings, records.playlist, m_mci, volume, m_keys, clock, *this),
      m_tick(records.state, records.settings, records.playlist, m_mci, volume, clock, *this, setup),
      m_programFolder(setup.programFolder),
      m_fullScreen(records.state, records.settings, m_mci, m_video, volume, *this) {
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    setWindowIcon(AppIcon());
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMouseTracking(false);
    qApp->installEventFilter(&m_keys);
    InstallTrackOpener(m_playback);

    m_pFullScreenDlg = std::make_unique<CFullScreenDlg>(this);
    m_pVideoDlg = std::make_unique<CVideoWindowDlg>(this);
    m_pOverlayDlg = std::make_unique<CFullScreenOverlayDlg>(this);
    m_pControlPanel = std::make_unique<CControlPanelDlg>(this);
    m_pPlaylistDlg = std::make_unique<CPlaylistDlg>(static_cast<PlaylistEditorHost&>(*this));
    m_pFullScreenDlg->SetNotify([this](int code) { PostPlayerNotify(code); });
    m_pOverlayDlg->SetNotify([this](int code) { PostPlayerNotify(code); });
    // Activation of the application as a whole, not of this window: focus moving to the
    // full-screen window keeps the player active.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState s) { m_input.OnActivateApp(s == Qt::ApplicationActive); });
    // The desktop session ending asks for the orderly quit, like the window manager's close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
        if (!m_tick.Ended()) m_state.quitRequested = 1;
    });

    // The one timer: every 30 ms, precise, kept running by the nested loops of dialogs.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CPlayerDlg::OnTimer);
    m_timer.start();
}

CPlayerDlg::~CPlayerDlg() {
    m_timer.stop();
    qApp->removeEventFilter(&m_keys);
    // Harmless when nothing is open; makes sure no medium outlives the window.
    m_mci.Send("close movie");
}

void CPlayerDlg::OnInitDialog() {
    const QSize screen = ScreenSize();
    // Leftovers of saves that a kill cut short, before anything is read or written here.
    RemoveStaleTempFiles(m_programFolder);
    if (LoadOrCreateSettings(m_programFolder, m_settings, screen.width(), screen.height()) == SettingsAtStart::Unreadable)
        m_state.settingsUnreadable = 1;
    move(m_settings.mainX, m_settings.mainY);
    show();
    raise();
}

void CPlayerDlg::OnTimer() {
    if (QuitSignalReceived() && !m_tick.Ended()) m_state.quitRequested = 1;
    m_tick.OnTimer();
}

QImage CPlayerDlg::PresentedPicture() const {
    return m_pWork ? PresentedImage(*m_pWork).copy() : QImage();
}

// --- Qt events -------------------------------------------------------------------------------

void CPlayerDlg::closeEvent(QCloseEvent* event) {
    // The window manager's close asks for the orderly quit; the tick carries it out.
    if (!m_tick.Ended()) {
        m_state.quitRequested = 1;
        event->ignore();
        return;
    }
    event->accept();
}

void CPlayerDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnOK();
        break;
    case Qt::Key_Escape:
        OnCancel();
        break;
    case Qt::Key_Up:
        m_input.OnStep(1);
        break;
    case Qt::Key_Down:
        m_input.OnStep(-1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_pWork && !m_pWork->IsEmpty()) PresentTo(*m_pWork, painter);
    else painter.fillRect(rect(), Qt::black);
}

void CPlayerDlg::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    OnMove(x(), y());
}

void CPlayerDlg::OnMove(int x, int y) {
    const int snappedX = SnapsToEdge(x) ? 0 : x;
    const int snappedY = SnapsToEdge(y) ? 0 : y;
    m_settings.mainX = snappedX;
    m_settings.mainY = snappedY;
    if (snappedX != x || snappedY != y) {
        move(snappedX, snappedY);
        SetZOrder(m_settings.alwaysOnTop == 1 ? ZOrder::Topmost : ZOrder::NotTopmost);
    }
}

namespace {
WindowPoint PointOf(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return {p.x(), p.y()};
}
}  // namespace

void CPlayerDlg::mousePressEvent(QMouseEvent* event) {
    const WindowPoint p = PointOf(event);
    switch (event->button()) {
    case Qt::LeftButton: m_input.OnLButtonDown(p); break;
    case Qt::RightButton: m_input.OnRButtonDown(p); break;
    case Qt::MiddleButton: m_input.OnMButtonDown(p); break;
    default: break;
    }
    event->accept();
}

void CPlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    const WindowPoint p = PointOf(event);
    if (event->button() == Qt::LeftButton) {
        m_drag.Stop();
        m_input.OnLButtonUp(p);
    } else if (event->button() == Qt::RightButton) {
        m_input.OnRButtonUp(p);
    }
    event->accept();
}

void CPlayerDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_input.OnLButtonDblClk(PointOf(event));
    event->accept();
}

void CPlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag.Follow(*this, *event)) return;
    m_input.OnMouseMove(PointOf(event));
}

void CPlayerDlg::wheelEvent(QWheelEvent* event) {
    m_input.OnMouseWheel(event->angleDelta().y());
    event->accept();
}

void CPlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CPlayerDlg::dropEvent(QDropEvent* event) {
    std::vector<std::string> items;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) items.push_back(url.toLocalFile().toStdString());
    event->acceptProposedAction();
    if (!items.empty()) DropOnMainWindow(m_playback, items);
}

// --- auxiliary objects -----------------------------------------------------------------------

CAuxiliaryDialog* CPlayerDlg::Aux(AuxWindow window) {
    switch (window) {
    case AuxWindow::FullScreen: return m_pFullScreenDlg.get();
    case AuxWindow::Video: return m_pVideoDlg.get();
    case AuxWindow::Overlay: return m_pOverlayDlg.get();
    case AuxWindow::ControlPanel: return m_pControlPanel.get();
    case AuxWindow::PlaylistEditor: return nullptr;  // not a value store: see AuxValue
    }
    return nullptr;
}

int CPlayerDlg::AuxValue(AuxWindow window, int index) {
    if (window == AuxWindow::PlaylistEditor) return m_pPlaylistDlg ? m_pPlaylistDlg->GetValue(index) : 0;
    CAuxiliaryDialog* aux = Aux(window);
    return aux != nullptr ? aux->GetValue(index) : 0;
}

void CPlayerDlg::AuxSetValue(AuxWindow window, int index, int value) {
    if (CAuxiliaryDialog* aux = Aux(window)) aux->SetValue(index, value);
}

void CPlayerDlg::FocusStepSink() { setFocus(Qt::OtherFocusReason); }

// --- first tick and shutdown -----------------------------------------------------------------

void CPlayerDlg::LoadSurfaces() {
    m_pSkin = std::make_unique<CDibSurface>();
    if (LoadSkinSource(*m_pSkin, m_programFolder, m_settings.backgroundFile) == SkinOrigin::None)
        LogLine("the skin could not be loaded: the player window stays black");
    m_pWork = std::make_unique<CDibSurface>();
    if (!CreateWorkSurface(*m_pWork)) LogLine("the work surface could not be created");
}

void CPlayerDlg::ReloadBackground() {
    if (!m_pSkin) m_pSkin = std::make_unique<CDibSurface>();
    LoadSkinSource(*m_pSkin, m_programFolder, m_settings.backgroundFile);
}

void CPlayerDlg::PlaceMainWindow(int x, int y) {
    setGeometry(x, y, kWidth, kHeight);
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    show();
    raise();
}

void CPlayerDlg::ApplyShape() {
    QRegion region;
    for (const ShapeRect& r : MainWindowShape()) region += QRect(r.x, r.y, r.width, r.height);
    setMask(region);
}

void CPlayerDlg::ShowVideoWindow(int x, int y) {
    if (!m_videoWindow) {
        m_videoWindow = std::make_unique<VideoWindowWidget>([this](int wx, int wy) {
            if (m_pVideoDlg) m_pVideoDlg->OnMove(wx, wy);
        });
    }
    if (m_pVideoDlg) m_pVideoDlg->OnMove(x, y);
    // Nothing to show yet: PlaceVideo gives it the picture's size.
    m_videoWindow->move(x, y);
}

void CPlayerDlg::DestroyVideoWindow() {
    m_videoWindow.reset();
    m_desktopWindow.reset();
}

void CPlayerDlg::DeleteSurfacesAndWindows() {
    m_pWork.reset();
    m_pSkin.reset();
    m_pPlaylistDlg.reset();
    m_pVideoDlg.reset();
    m_pControlPanel.reset();
    m_pOverlayDlg.reset();
    m_pFullScreenDlg.reset();
}

void CPlayerDlg::EndDialog() {
    m_timer.stop();
    // A quit that arrives while a dialog is open (a signal, the session ending) closes it
    // unconfirmed, so nothing it would change is left unsaved.
    for (int i = 0; i < 8; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->close()) break;
    }
    hide();
    emit dialogEnded();
}

// --- playback --------------------------------------------------------------------------------

void CPlayerDlg::PlaybackTick() { ::PlaybackTick(m_playback); }
void CPlayerDlg::PlaybackTickNoDraw() { ::PlaybackTickNoDraw(m_playback); }
void CPlayerDlg::OpenCurrentTrack() { ::OpenCurrentTrack(m_playback); }

void CPlayerDlg::ComposeButtons() {
    if (m_pWork && m_pSkin) ::ComposeButtons(*m_pWork, *m_pSkin, m_state, m_settings);
}

void CPlayerDlg::ComposeDisplayAndPresent(int devicePosition) {
    if (!m_pWork || !m_pSkin) return;
    PrepareDisplayText(*m_pSkin, m_state, m_playlist.count, m_playlist.Entry(m_playlist.currentIndex));
    const FrameInputs inputs{devicePosition, m_playlist.count, m_playlist.currentIndex};
    ComposeDisplay(*m_pWork, *m_pSkin, m_state, m_settings, inputs);
    repaint();
}

TitleLineEnds CPlayerDlg::DrawTitleLines(const std::string& line1, const std::string& line2) {
    if (!m_pSkin) return {};
    const std::array<int, 2> ends = ::DrawTitleLines(*m_pSkin, line1, line2);
    return {ends[0], ends[1]};
}

void CPlayerDlg::ShowModeReply(const std::string& reply) { m_modeReply = reply; }

int CPlayerDlg::VideoWindowId() { return m_videoWindow ? m_videoWindow->hostId() : 0; }
int CPlayerDlg::FullScreenWindowId() { return m_fullScreen.FullScreenWindowId(); }
void CPlayerDlg::TakePanelDisplayEffects() { m_fullScreen.TakePanelDisplayEffects(); }
void CPlayerDlg::ShowOverlayTopmost(const VideoRect& rect) { m_fullScreen.ShowOverlayTopmost(rect); }
void CPlayerDlg::ShowFullScreenWindowTopmost(const VideoRect& rect) { m_fullScreen.ShowFullScreenWindowTopmost(rect); }
bool CPlayerDlg::ControlPanelExists() { return m_fullScreen.ControlPanelExists(); }
void CPlayerDlg::ShowControlPanelAtBottom(int w, int h) { m_fullScreen.ShowControlPanelAtBottom(w, h); }
void CPlayerDlg::ShowOverlay(int w, int h) { m_fullScreen.ShowOverlay(w, h); }
bool CPlayerDlg::PlaylistEditorExists() { return m_pPlaylistDlg && m_pPlaylistDlg->WindowExists(); }
void CPlayerDlg::MarkCurrentInEditor(int index) {
    if (m_pPlaylistDlg) m_pPlaylistDlg->MarkCurrent(index);
}
void CPlayerDlg::EditorReset(int which) {
    if (m_pPlaylistDlg) m_pPlaylistDlg->Reset(which);
}
void CPlayerDlg::EditorLayOut() {
    if (m_pPlaylistDlg) m_pPlaylistDlg->LayOut();
}
WindowRect CPlayerDlg::EditorWindowRect() {
    if (!m_pPlaylistDlg) return {m_settings.editorX, m_settings.editorY, m_settings.editorWidth, m_settings.editorHeight};
    const EditorRect r = m_pPlaylistDlg->WindowRectOnScreen();
    return {r.x, r.y, r.width, r.height};
}

void CPlayerDlg::PostPlayerNotify(int code) {
    QMetaObject::invokeMethod(this, [this, code] { OnPlayerNotify(code); }, Qt::QueuedConnection);
}

void CPlayerDlg::OnPlayerNotify(int code) {
    if (m_tick.Ended()) return;
    if (m_fullScreen.OnPlayerNotify(code)) return;
    if (code == 20 && m_pPlaylistDlg) m_pPlaylistDlg->CloseWindow();
    FocusStepSink();
}

// --- windows and z-order ---------------------------------------------------------------------

void CPlayerDlg::SetZOrder(ZOrder order) {
    const bool wasVisible = isVisible();
    switch (order) {
    case ZOrder::Top:
        raise();
        break;
    case ZOrder::Bottom:
        if (windowFlags() & Qt::WindowStaysOnTopHint) setWindowFlag(Qt::WindowStaysOnTopHint, false);
        lower();
        break;
    case ZOrder::Topmost:
        if (!(windowFlags() & Qt::WindowStaysOnTopHint)) setWindowFlag(Qt::WindowStaysOnTopHint, true);
        raise();
        break;
    case ZOrder::NotTopmost:
        if (windowFlags() & Qt::WindowStaysOnTopHint) setWindowFlag(Qt::WindowStaysOnTopHint, false);
        break;
    }
    // Changing a window flag hides the window; bring it back as it was.
    if (wasVisible && !isVisible()) show();
}

void CPlayerDlg::PlaceMainWindow(ZOrder order, int x, int y) {
    setGeometry(x, y, kWidth, kHeight);
    if (!isVisible() && !isMinimized()) show();
    SetZOrder(order);
}

bool CPlayerDlg::IsMainWindowMinimised() { return isMinimized(); }

void CPlayerDlg::PlaceVideo() {
    if (m_state.fullScreen == 1) m_fullScreen.PlaceVideo();
    else PlaceVideoWindowed();
}

void CPlayerDlg::PlaceVideoWindowed() {
    m_settings.videoX = AuxValue(AuxWindow::Video, 0);
    m_settings.videoY = AuxValue(AuxWindow::Video, 1);
    const bool noPicture = m_mci.QueryText("where movie destination", kReplySize).empty() || m_state.minimiseState == 1;
    if (!m_videoWindow) ShowVideoWindow(m_settings.videoX, m_settings.videoY);

    if (noPicture) {
        m_videoWindow->setGeometry(m_settings.videoX, m_settings.videoY, 0, 0);
        m_videoWindow->hide();
        m_state.zoomPercent = 0;
    } else {
        const QSize screen = ScreenSize();
        m_state.screenWidth = screen.width();
        m_state.screenHeight = screen.height();
        const int w = m_video.natural.width;
        const int h = m_video.natural.height;
        int width = 0, height = 0;
        int& mode = m_settings.videoSizeMode;
        if (mode < 0) { mode = -1; m_state.zoomPercent = 0; }
        else if (mode == 0) { m_state.zoomPercent = 50; width = w / 2; height = h / 2; }
        else if (mode == 1) { m_state.zoomPercent = 100; width = w; height = h; }
        else if (mode == 2) { m_state.zoomPercent = 200; width = 2 * w; height = 2 * h; }
        else { mode = 3; m_state.zoomPercent = 0; width = screen.width(); height = screen.height() - 2; }
        m_state.zoomShowTicks = 6;

        if (mode <= 2) {
            if (m_desktopWindow) m_desktopWindow->hide();
            if (width > 0 && height > 0) {
                m_videoWindow->setGeometry(m_settings.videoX, m_settings.videoY, width, height);
                if (m_state.activeApp == 1 || isMinimized()) {
                    m_videoWindow->show();
                    if (m_state.activeApp == 1) PlaceMainWindow(ZOrder::Top, m_settings.mainX, m_settings.mainY);
                }
            } else {
                m_videoWindow->hide();
            }
            m_mci.Send("window movie handle default");
            m_mci.Send("window movie handle " + std::to_string(m_videoWindow->hostId()));
            m_mci.Send(PutDestinationCommand(m_video.natural.x, m_video.natural.y, width, height));
        } else {
            // Desktop mode: the picture fills a screen-sized window kept below all others.
            PlaceMainWindow(ZOrder::Bottom, m_settings.mainX, m_settings.mainY);
            if (!m_desktopWindow) {
                m_desktopWindow = std::make_unique<VideoHostWidget>(
                    nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                                 Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
            }
            m_desktopWindow->setGeometry(0, 0, screen.width(), screen.height());
            m_desktopWindow->show();
            m_desktopWindow->lower();
            m_mci.Send("window movie handle default state minimized");
            m_mci.Send("window movie handle " + std::to_string(m_desktopWindow->hostId()));
            m_mci.Send(PutDestinationCommand(m_video.natural.x, m_video.natural.y, width, height));
            m_videoWindow->setGeometry(m_settings.videoX, m_settings.videoY, 0, 0);
            m_videoWindow->hide();
            m_state.zoomShowTicks = 0;
        }
    }
    if (m_settings.alwaysOnTop == 1 && m_state.minimiseState == 0) {
        PlaceMainWindow(ZOrder::NotTopmost, m_settings.mainX, m_settings.mainY);
        PlaceMainWindow(ZOrder::Topmost, m_settings.mainX, m_settings.mainY);
    } else if (m_state.minimiseState >= 2) {
        PlaceMainWindow(ZOrder::Topmost, m_settings.mainX, m_settings.mainY);
        if (m_settings.alwaysOnTop == 0) PlaceMainWindow(ZOrder::NotTopmost, m_settings.mainX, m_settings.mainY);
    }
    FocusStepSink();
}

// --- input -----------------------------------------------------------------------------------

bool CPlayerDlg::IsMinimised() { return isMinimized(); }

void CPlayerDlg::Minimise() { showMinimized(); }

void CPlayerDlg::StartWindowMove() {
    m_drag.Start(*this, QCursor::pos());
}

void CPlayerDlg::CaptureMouse() { grabMouse(); }
void CPlayerDlg::ReleaseMouse() { releaseMouse(); }

void CPlayerDlg::OpenButtonAction() {
    if (PlaylistEditorExists()) {
        m_pPlaylistDlg->CloseWindow();
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("ファイルを開く"), QString(),
                                                      QString::fromUtf8(kOpenFileFilter));
    if (path.isEmpty()) return;
    OpenChosenFile(m_playback, path.toStdString());
}

void CPlayerDlg::TogglePlaylistEditor() {
    if (m_pPlaylistDlg) m_pPlaylistDlg->ToggleWindow();
}

void CPlayerDlg::SettingsDialog() {
    OpenSettingsDialog(this, m_settings, m_state, m_programFolder, [this](bool top) {
        PlaceMainWindow(top ? ZOrder::Topmost : ZOrder::NotTopmost, m_settings.mainX, m_settings.mainY);
    });
}
void CPlayerDlg::SwitchFullScreen(bool leave) { m_fullScreen.SwitchFullScreen(leave); }
void CPlayerDlg::MoveFullScreenStepSinksOffScreen() { m_fullScreen.MoveStepBarsOffScreen(); }
