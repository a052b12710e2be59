#include "player/CPlayerDlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "player/PlayerState.h"
#include "playlist/Playlist.h"
#include "settings/SettingsFile.h"
#include "settings/Settings.h"

CPlayerDlg::CPlayerDlg(PlayerRecords records, MediaDevice& device, WaveVolume& volume, Clock& clock,
                       MainTickSetup setup)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      m_state(records.state),
      m_settings(records.settings),
      m_playlist(records.playlist),
      m_mci(device, records.state),
      m_tick(records.state, records.settings, records.playlist, m_mci, volume, clock, *this, setup),
      m_programFolder(setup.programFolder) {
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    setWindowIcon(QIcon(QStringLiteral(":/res/velkaf.png")));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);

    m_pFullScreenDlg = std::make_unique<CFullScreenDlg>(this);
    m_pVideoDlg = std::make_unique<CVideoWindowDlg>(this);
    m_pOverlayDlg = std::make_unique<CFullScreenOverlayDlg>(this);
    m_pControlPanel = std::make_unique<CControlPanelDlg>(this);
    m_pPlaylistDlg = std::make_unique<CPlaylistDlg>(this);

    // The one timer: every 30 ms, precise, kept running by the nested loops of dialogs.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kTimerPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CPlayerDlg::OnTimer);
    m_timer.start();
}

CPlayerDlg::~CPlayerDlg() {
    m_timer.stop();
    // Harmless when nothing is open; makes sure no medium outlives the window.
    m_mci.Send("close movie");
}

void CPlayerDlg::OnInitDialog() {
    QSize screen(1024, 768);
    if (const QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->size();
    LoadOrCreateSettings(m_programFolder, m_settings, screen.width(), screen.height());
    move(m_settings.mainX, m_settings.mainY);
    show();
    raise();
}

void CPlayerDlg::OnTimer() {
    if (QuitSignalReceived() && !m_tick.Ended()) m_state.quitRequested = 1;
    m_tick.OnTimer();
}

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
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void CPlayerDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

CAuxiliaryDialog* CPlayerDlg::Aux(AuxWindow window) {
    switch (window) {
    case AuxWindow::FullScreen: return m_pFullScreenDlg.get();
    case AuxWindow::Video: return m_pVideoDlg.get();
    case AuxWindow::Overlay: return m_pOverlayDlg.get();
    case AuxWindow::ControlPanel: return m_pControlPanel.get();
    case AuxWindow::PlaylistEditor: return m_pPlaylistDlg.get();
    }
    return nullptr;
}

int CPlayerDlg::AuxValue(AuxWindow window, int index) {
    CAuxiliaryDialog* aux = Aux(window);
    return aux != nullptr ? aux->GetValue(index) : 0;
}

void CPlayerDlg::AuxSetValue(AuxWindow window, int index, int value) {
    if (CAuxiliaryDialog* aux = Aux(window)) aux->SetValue(index, value);
}

void CPlayerDlg::EditorReset(int which) {
    if (m_pPlaylistDlg) m_pPlaylistDlg->Reset(which);
}

void CPlayerDlg::EditorLayOut() {}

WindowRect CPlayerDlg::EditorWindowRect() {
    return {m_settings.editorX, m_settings.editorY, m_settings.editorWidth, m_settings.editorHeight};
}

bool CPlayerDlg::ControlPanelExists() { return false; }
void CPlayerDlg::ShowControlPanelAtBottom(int, int) {}
void CPlayerDlg::ShowOverlay(int, int) {}

void CPlayerDlg::FocusStepSink() { setFocus(Qt::OtherFocusReason); }

void CPlayerDlg::LoadSurfaces() {}

void CPlayerDlg::PlaceMainWindow(int x, int y) {
    setGeometry(x, y, kWidth, kHeight);
    setWindowTitle(QStringLiteral(" ◎ VELKAF"));
    show();
    raise();
}

void CPlayerDlg::ApplyShape() {}

void CPlayerDlg::ShowVideoWindow(int x, int y) {
    if (!m_pVideoDlg) return;
    m_pVideoDlg->SetValue(0, x);
    m_pVideoDlg->SetValue(1, y);
}

void CPlayerDlg::PlaceVideo() {}
void CPlayerDlg::ReloadBackground() {}
void CPlayerDlg::PlaybackTick() {}
void CPlayerDlg::PlaybackTickNoDraw() {}
void CPlayerDlg::OpenCurrentTrack() {}

void CPlayerDlg::DestroyVideoWindow() {}

void CPlayerDlg::DeleteSurfacesAndWindows() {
    m_pPlaylistDlg.reset();
    m_pVideoDlg.reset();
    m_pControlPanel.reset();
    m_pOverlayDlg.reset();
    m_pFullScreenDlg.reset();
}

void CPlayerDlg::EndDialog() {
    m_timer.stop();
    hide();
    emit dialogEnded();
}
