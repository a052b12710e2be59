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
#include <QSocketNotifier>
#include <QUrl>
#include <QWindow>
#include <functional>
#include <set>

#include "device/VideoHostWidget.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "playback/OpenFiles.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackTick.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "player/SkinAccessibility.h"
#include "render/Composition.h"
#include "render/DeviceScale.h"
#include "render/DibSurface.h"
#include "render/PictureChange.h"
#include "render/SkinLayout.h"
#include "render/SkinSource.h"
#include "render/TextDraw.h"
#include "render/WindowShape.h"
#include "state/Settings.h"
#include "settings/GainModeFile.h"
#include "settings/SettingsFile.h"
#include "settings/dialog/SettingsDialog.h"

namespace {
QSize ScreenSize() {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) return primary->size();
    return {1024, 768};
}

// The keys whose presses the keyboard poll reads with Pressed(): an unread press of one of
// them keeps the timer awake until a poll has taken it.
constexpr std::initializer_list<PolledKey> kKeysReadByPress = {PolledKey::Comma, PolledKey::Period, PolledKey::X,
                                                               PolledKey::Z,     PolledKey::B,      PolledKey::V};

}  // namespace

CPlayerDlg::CPlayerDlg(PlayerRecords records, MediaDevice& device, WaveVolume& volume, Clock& clock,
                       MainTickSetup setup, SteadyClock* timerClock)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_state(records.state), m_settings(records.settings),
      m_playlist(records.playlist), m_clock(clock),
      m_mci(device, records.state), m_playback{records.state, records.settings, records.playlist, m_mci, *this, m_video,
                                               clock},
      m_input(records.state, records.settings, records.playlist, m_mci, volume, m_keys, clock, *this),
      m_tick(records.state, records.settings, records.playlist, m_mci, volume, clock, *this, setup),
      m_scheduler(
          timerClock != nullptr ? *timerClock : m_systemTimerClock, m_tick, [this] { return OnTimer(); },
          kTimerPeriodMs),
      m_programFolder(setup.programFolder), m_guest(setup.guest), m_windows(this, *this),
      m_placement(records.state, records.settings, m_mci, m_video, volume, m_windows) {
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    setWindowIcon(AppIcon());
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMouseTracking(false);
    qApp->installEventFilter(&m_keys);
    m_keys.SetSurfaceTest([this](const QWidget* window) { return IsKeySurface(window); });
    // Installed after the key state's filter, so it sees Tab, Space and Enter first.
    SkinAccess::InstallFactory();
    m_access = new SkinAccess(*this, m_state, m_settings,
                              {.click = [this](WindowPoint p) { m_input.OnLButtonDown(p), m_input.OnLButtonUp(p); },
                               .drag =
                                   [this](WindowPoint p, int dx) {
                                       m_input.OnLButtonDown(p);
                                       m_input.OnMouseMove({p.x + dx, p.y});
                                       m_input.OnLButtonUp({p.x + dx, p.y});
                                   }});
    connect(this, &CPlayerDlg::fullTickDone, m_access, &SkinAccess::Follow);
    InstallTrackOpener(m_playback);

    m_pPlaylistDlg = std::make_unique<CPlaylistDlg>(static_cast<PlaylistEditorHost&>(*this));
    m_windows.SetNotify(QueuedPlayerNotify(this, [this](int code) { OnPlayerNotify(code); }));
    m_windows.SetPointerMoved([this](ScreenPoint p) { m_placement.OnPointerMoved(p); });
    // Activation of the application as a whole, not of this window: focus moving to the
    // full-screen window keeps the player active.
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        Wake();
        LogLine(s == Qt::ApplicationActive ? "application active" : "application inactive");
        m_input.OnActivateApp(s == Qt::ApplicationActive);
    });
    // The desktop session ending asks for the orderly quit, like the window manager's close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] { QuitAtOnce(); });

    // The one timer: every 30 ms on its grid, kept running by the nested loops of dialogs; input
    // and every request written to the records wake it from a rest or a nap.
    m_state.requests.SetWaker([this] { Wake(); });
    m_scheduler.Start();
    // A quit signal's byte on the self-pipe wakes the loop at once, nested loops too.
    if (QuitSignalFd() >= 0) {
        m_quitNotifier = std::make_unique<QSocketNotifier>(QuitSignalFd(), QSocketNotifier::Read);
        connect(m_quitNotifier.get(), &QSocketNotifier::activated, this, [this] {
            DrainQuitSignalFd();
            QuitAtOnce();
        });
    }
}

CPlayerDlg::~CPlayerDlg() {
    m_scheduler.Stop();
    m_state.requests.SetWaker(nullptr);
    m_quitNotifier.reset();
    qApp->removeEventFilter(&m_keys);
    // Harmless when nothing is open; makes sure no medium outlives the window.
    m_mci.Send("close movie");
}

void CPlayerDlg::OnInitDialog() {
    const QSize screen = ScreenSize();
    // A first run (no settings file yet) puts the video window just below the player, so the
    // first picture neither covers the player nor lies under it; a stored position replaces it.
    m_settings.videoX = m_settings.mainX;
    m_settings.videoY = m_settings.mainY + kMainWindowHeight;
    if (m_guest) {
        // The owner's files are read, never made or tidied; the windows stand apart from its own.
        LoadSettings(m_programFolder, m_settings, screen.width(), screen.height());
        for (int* coordinate : {&m_settings.mainX, &m_settings.mainY, &m_settings.videoX, &m_settings.videoY})
            *coordinate += kGuestOffset;
    } else {
        // Leftovers of saves that a kill cut short, before anything is read or written here.
        RemoveStaleTempFiles(m_programFolder);
        const SettingsAtStart at = LoadOrCreateSettings(m_programFolder, m_settings, screen.width(), screen.height());
        if (at == SettingsAtStart::Unreadable) m_state.settingsUnreadable = 1;
    }
    LoadGainMode(m_programFolder, m_settings);
    move(m_settings.mainX, m_settings.mainY);
    show();
    raise();
}

TickPace CPlayerDlg::OnTimer() {
    if (QuitSignalReceived() && !m_tick.Ended()) m_state.quitRequested.Ask(true);
    if (m_state.busRaise.Take()) {
        // The desktop asked for the player (a second start, the bus's Raise).
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
    }
    m_tick.OnTimer();
    if (!m_tick.Ended() && m_state.busy == 0 && m_state.tickCounter == 0) {
        emit fullTickDone();
        if (m_screenSaver) m_screenSaver->Follow(m_state, m_settings, m_video);
    }
    return m_tick.Pace(m_keys.Quiet(kKeysReadByPress));
}

void CPlayerDlg::QuitAtOnce() {
    if (m_tick.Ended()) return;
    m_state.quitRequested.Ask(true);
    if (!m_tick.QuitNow()) Wake();
}

QImage CPlayerDlg::PresentedPicture() const { return m_pWork ? PresentedImage(*m_pWork).copy() : QImage(); }

// --- Qt events -------------------------------------------------------------------------------

void CPlayerDlg::closeEvent(QCloseEvent* event) {
    // The window manager's close asks for the orderly quit, carried out once this handler
    // has returned (it destroys the windows).
    if (!m_tick.Ended()) {
        m_state.quitRequested.Ask(true);
        event->ignore();
        QMetaObject::invokeMethod(
            this, [this] { QuitAtOnce(); }, Qt::QueuedConnection);
        return;
    }
    event->accept();
}

void CPlayerDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: OnOK(); break;
    case Qt::Key_Escape: OnCancel(); break;
    // The step sink's scroll codes: line, page and end up are one step up, down one down.
    case Qt::Key_Up:
    case Qt::Key_PageUp:
    case Qt::Key_Home: m_input.OnStep(1); break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
    case Qt::Key_End: m_input.OnStep(-1); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    if (!m_pWork || m_pWork->IsEmpty()) {
        painter.fillRect(rect(), Qt::black);
    } else if (ratio == 1.0 || !m_pSkin) {
        PresentTo(*m_pWork, painter);
    } else {
        // A scaling screen: the art on whole device pixels, the text at device resolution.
        const QImage& picture =
            m_devicePicture.Compose(*m_pWork, *m_pSkin, m_displayText, ratio, kMainWindowWidth, kMainWindowHeight);
        painter.drawImage(QPointF(0, 0), picture);
    }
    m_access->PaintFocus(painter);
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
        m_windows.SetMainZOrder(m_settings.alwaysOnTop == 1 ? ZOrder::Topmost : ZOrder::NotTopmost);
    }
}

namespace {
// The logical pixel whose art the device pixel under the pointer shows, so at any scale every
// device pixel hits exactly the hotspot it belongs to.
WindowPoint PointOf(const QMouseEvent* event, qreal devicePixelRatio) {
    const DeviceScale scale(devicePixelRatio);
    return {scale.LogicalOfPosition(event->position().x()), scale.LogicalOfPosition(event->position().y())};
}
}  // namespace

void CPlayerDlg::mousePressEvent(QMouseEvent* event) {
    const WindowPoint p = PointOf(event, devicePixelRatioF());
    m_pressPointer = event->globalPosition().toPoint();
    switch (event->button()) {
    case Qt::LeftButton: m_input.OnLButtonDown(p); break;
    case Qt::RightButton: m_input.OnRButtonDown(p); break;
    case Qt::MiddleButton: m_input.OnMButtonDown(p); break;
    default: break;
    }
    event->accept();
}

void CPlayerDlg::mouseReleaseEvent(QMouseEvent* event) {
    const WindowPoint p = PointOf(event, devicePixelRatioF());
    if (event->button() == Qt::LeftButton) {
        m_drag.Stop();
        m_input.OnLButtonUp(p);
    } else if (event->button() == Qt::RightButton) {
        m_input.OnRButtonUp(p);
    }
    event->accept();
}

void CPlayerDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    m_pressPointer = event->globalPosition().toPoint();
    if (event->button() == Qt::LeftButton) m_input.OnLButtonDblClk(PointOf(event, devicePixelRatioF()));
    event->accept();
}

void CPlayerDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_drag.Follow(*this, *event)) return;
    m_input.OnMouseMove(PointOf(event, devicePixelRatioF()));
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
    case AuxWindow::FullScreen: return m_windows.FullScreenDialog();
    case AuxWindow::Video: return m_windows.VideoDialog();
    case AuxWindow::Overlay: return m_windows.OverlayDialog();
    case AuxWindow::ControlPanel: return m_windows.ControlPanelDialog();
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
    m_devicePicture.SkinChanged();
    m_pWork = std::make_unique<CDibSurface>();
    if (!CreateWorkSurface(*m_pWork)) LogLine("the work surface could not be created");
}

void CPlayerDlg::ReloadBackground() {
    if (!m_pSkin) m_pSkin = std::make_unique<CDibSurface>();
    LoadSkinSource(*m_pSkin, m_programFolder, m_settings.backgroundFile);
    m_devicePicture.SkinChanged();
}

void CPlayerDlg::PlaceMainWindow(int x, int y) {
    setGeometry(x, y, kMainWindowWidth, kMainWindowHeight);
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    show();
    raise();
}

void CPlayerDlg::ApplyShape() {
    QRegion region;
    for (const ShapeRect& r : MainWindowShape()) region += QRect(r.x, r.y, r.width, r.height);
    setMask(region);
}

void CPlayerDlg::ShowVideoWindow(int x, int y) { m_windows.MakeVideoWindow(x, y); }

void CPlayerDlg::DestroyVideoWindow() { m_windows.DestroyHostWindows(); }

void CPlayerDlg::DeleteSurfacesAndWindows() {
    m_pWork.reset();
    m_pSkin.reset();
    m_pPlaylistDlg.reset();
    m_windows.DeleteDialogs();
}

void CPlayerDlg::EndDialog() {
    m_scheduler.Stop();
    // A quit that arrives while a dialog is open (a signal, the session ending) closes it
    // unconfirmed, so nothing it would change is left unsaved.
    for (int i = 0; i < 8; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->close()) break;
    }
    if (m_screenSaver) m_screenSaver->Release();
    hide();
    emit dialogEnded();
}

// --- playback --------------------------------------------------------------------------------

void CPlayerDlg::PlaybackTick() {
    ::PlaybackTick(m_playback);
    m_placement.FollowDevice();
}
void CPlayerDlg::PlaybackTickNoDraw() {
    ::PlaybackTickNoDraw(m_playback);
    m_placement.FollowDevice();
}
void CPlayerDlg::OpenCurrentTrack() { ::OpenCurrentTrack(m_playback); }
bool CPlayerDlg::DropItems(const std::vector<std::string>& items) {
    if (!PlaylistEditorExists()) return DropOnMainWindow(m_playback, items);
    // With the editor open the list is replaced all the same; the editor shows the new one.
    if (m_state.busy != 0) return false;
    ReplaceListAsDrop(m_playback, items);
    m_pPlaylistDlg->ShowNewList();
    m_pPlaylistDlg->MarkCurrent(m_playlist.currentIndex);
    return true;
}

void CPlayerDlg::ComposeButtons() {
    if (m_pWork && m_pSkin) ::ComposeButtons(*m_pWork, *m_pSkin, m_state, m_settings);
}

void CPlayerDlg::ComposeDisplayAndPresent(int devicePosition) {
    if (!m_pWork || !m_pSkin) return;
    if (m_state.trackPending > 0) {
        const std::string& entry = m_playlist.Entry(m_playlist.currentIndex);
        DrawBrowsedName(*m_pSkin, entry);
        m_devicePicture.SetText(DevicePicture::kBrowsedName, BrowsedNameText(entry));
    }
    const FrameInputs inputs{devicePosition, m_playlist.count, m_playlist.currentIndex};
    m_displayText = ComposeDisplay(*m_pWork, *m_pSkin, m_state, m_settings, inputs);
    // Only what changed is painted and sent to the display again (the window keeps the rest;
    // exposures repaint).
    const QImage picture = PresentedImage(*m_pWork);
    QRegion changed;
    if (m_presented.size() != picture.size() || m_presented.format() != picture.format()) {
        changed = rect();
    } else {
        for (const skin::Rect& r : ChangedRects({m_presented.constBits(), m_presented.bytesPerLine()},
                                                {picture.constBits(), picture.bytesPerLine()}, picture.width(),
                                                picture.height(), picture.depth() / 8))
            changed += QRect(r.x, r.y, r.w, r.h);
        // On a scaling screen the text is drawn again at the device resolution.
        const skin::Rect& t = DevicePicture::kRedrawnText;
        const QRect text(t.x, t.y, t.w, t.h);
        if (devicePixelRatioF() != 1.0 && changed.intersects(text)) changed += text;
    }
    if (changed.isEmpty()) return;
    m_presented = picture.copy();
    repaint(changed);
}

TitleLineEnds CPlayerDlg::DrawTitleLines(const std::string& line1, const std::string& line2) {
    if (!m_pSkin) return {};
    const std::array<int, 2> ends = ::DrawTitleLines(*m_pSkin, line1, line2);
    m_devicePicture.SetText(DevicePicture::kTitleLine1, line1);
    m_devicePicture.SetText(DevicePicture::kTitleLine2, line2);
    m_access->TitleLinesChanged(line1, line2);
    return {ends[0], ends[1]};
}

void CPlayerDlg::ShowModeReply(const std::string& reply) { m_modeReply = reply; }

int CPlayerDlg::VideoWindowId() { return m_windows.HostId(PictureWindow::Video); }
int CPlayerDlg::FullScreenWindowId() { return m_placement.FullScreenWindowId(); }
void CPlayerDlg::TakePanelDisplayEffects() { m_placement.TakePanelDisplayEffects(); }
void CPlayerDlg::ShowOverlayTopmost(const VideoRect& rect) { m_placement.ShowOverlayTopmost(rect); }
void CPlayerDlg::ShowFullScreenWindowTopmost(const VideoRect& rect) { m_placement.ShowFullScreenWindowTopmost(rect); }
bool CPlayerDlg::ControlPanelExists() { return m_placement.ControlPanelExists(); }
void CPlayerDlg::ShowControlPanelAtBottom(int w, int h) { m_placement.ShowControlPanelAtBottom(w, h); }
void CPlayerDlg::ShowOverlay(int w, int h) { m_placement.ShowOverlay(w, h); }
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
    if (!m_pPlaylistDlg)
        return {m_settings.editorX, m_settings.editorY, m_settings.editorWidth, m_settings.editorHeight};
    const EditorRect r = m_pPlaylistDlg->WindowRectOnScreen();
    return {r.x, r.y, r.width, r.height};
}

void CPlayerDlg::PostPlayerNotify(int code) {
    QMetaObject::invokeMethod(
        this, [this, code] { OnPlayerNotify(code); }, Qt::QueuedConnection);
}

void CPlayerDlg::OnPlayerNotify(int code) {
    if (m_tick.Ended()) return;
    Wake();
    if (m_placement.OnPlayerNotify(code)) return;
    if (code == kNotifyCloseEditor && m_pPlaylistDlg) m_pPlaylistDlg->CloseWindow();
    FocusStepSink();
}

// --- windows and z-order ---------------------------------------------------------------------

void CPlayerDlg::PlaceMainWindow(ZOrder order, int x, int y) { m_windows.PlaceMainWindow(order, x, y); }

bool CPlayerDlg::IsMainWindowMinimised() { return isMinimized(); }

void CPlayerDlg::PlaceVideo() { m_placement.PlaceVideo(); }

// --- input -----------------------------------------------------------------------------------

bool CPlayerDlg::IsMinimised() { return isMinimized(); }

void CPlayerDlg::Minimise() { showMinimized(); }

void CPlayerDlg::StartWindowMove() { m_drag.Arm(*this, m_pressPointer); }

void CPlayerDlg::CaptureMouse() { grabMouse(); }
void CPlayerDlg::ReleaseMouse() { releaseMouse(); }

void CPlayerDlg::OpenButtonAction() {
    if (PlaylistEditorExists()) {
        m_pPlaylistDlg->CloseWindow();
        return;
    }
    QFileDialog dialog(this, QStringLiteral("ファイルを開く"), QString(), QString::fromUtf8(kOpenFileFilter));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QString::fromUtf8(kOpenFileDefaultSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    OpenChosenFile(m_playback, dialog.selectedFiles().constFirst().toStdString());
}

bool CPlayerDlg::IsKeySurface(const QWidget* window) const {
    if (window == nullptr) return false;
    if (window == this || window == m_windows.VideoWindow()) return true;
    const CFullScreenDlg* fullScreen = m_windows.FullScreenDialog();
    const CFullScreenOverlayDlg* overlay = m_windows.OverlayDialog();
    const CControlPanelDlg* panel = m_windows.ControlPanelDialog();
    return (fullScreen && window == fullScreen->Window()) || (overlay && window == overlay->Window()) ||
           (panel && window == panel->Window());
}

void CPlayerDlg::TogglePlaylistEditor() {
    if (m_pPlaylistDlg) m_pPlaylistDlg->ToggleWindow();
}

void CPlayerDlg::SettingsDialog() {
    OpenSettingsDialog(this, m_settings, m_state, m_programFolder, [this](bool top) {
        PlaceMainWindow(top ? ZOrder::Topmost : ZOrder::NotTopmost, m_settings.mainX, m_settings.mainY);
    });
}
void CPlayerDlg::SwitchFullScreen(bool leave) { m_placement.SwitchFullScreen(leave); }
void CPlayerDlg::MoveFullScreenStepSinksOffScreen() { m_windows.MoveStepBarsOffScreen(m_state.screenWidth + 1); }
