#pragma once
#include <QTimer>
#include <QWidget>
#include <memory>

#include "panels/AuxiliaryWindows.h"
#include "playback/MciSession.h"
#include "player/MainTick.h"

struct PlayerState;
struct Settings;
class Playlist;
class MediaDevice;
class WaveVolume;
class Clock;

// The records shared by every window for the whole run.
struct PlayerRecords {
    PlayerState& state;
    Settings& settings;
    Playlist& playlist;
};

// The main player window: frameless, 321 x 92, drawn from the skin. Owns the five auxiliary
// objects and the one 30 ms timer that drives everything (MainTick). It closes only through
// the quit request, which the quit path of the tick carries out in order.
class CPlayerDlg final : public QWidget, private MainTickHost {
    Q_OBJECT
public:
    static constexpr int kWidth = 321;
    static constexpr int kHeight = 92;
    static constexpr int kTimerPeriodMs = 30;

    CPlayerDlg(PlayerRecords records, MediaDevice& device, WaveVolume& volume, Clock& clock,
               MainTickSetup setup);
    ~CPlayerDlg() override;

    // Loads the settings (or writes the defaults when "KORU.CFG" is missing) and places the
    // window at the saved place. Called once, before the event loop runs.
    void OnInitDialog();
    void OnTimer();
    void OnOK() {}
    void OnCancel() {}

    MciSession& Mci() { return m_mci; }
    bool Ended() const { return m_tick.Ended(); }
    CVideoWindowDlg* VideoDialog() { return m_pVideoDlg.get(); }

signals:
    // Emitted once the quit path has run; the application leaves its event loop.
    void dialogEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // MainTickHost
    int AuxValue(AuxWindow window, int index) override;
    void AuxSetValue(AuxWindow window, int index, int value) override;
    void EditorReset(int which) override;
    void EditorLayOut() override;
    WindowRect EditorWindowRect() override;
    bool ControlPanelExists() override;
    void ShowControlPanelAtBottom(int screenWidth, int screenHeight) override;
    void ShowOverlay(int screenWidth, int screenHeight) override;
    void FocusStepSink() override;
    void LoadSurfaces() override;
    void PlaceMainWindow(int x, int y) override;
    void ApplyShape() override;
    void ShowVideoWindow(int x, int y) override;
    void PlaceVideo() override;
    void ReloadBackground() override;
    void PlaybackTick() override;
    void PlaybackTickNoDraw() override;
    void OpenCurrentTrack() override;
    void DestroyVideoWindow() override;
    void DeleteSurfacesAndWindows() override;
    void EndDialog() override;

    CAuxiliaryDialog* Aux(AuxWindow window);

    PlayerState& m_state;
    Settings& m_settings;
    Playlist& m_playlist;
    MciSession m_mci;
    MainTick m_tick;
    std::string m_programFolder;

    std::unique_ptr<CFullScreenDlg> m_pFullScreenDlg;
    std::unique_ptr<CVideoWindowDlg> m_pVideoDlg;
    std::unique_ptr<CFullScreenOverlayDlg> m_pOverlayDlg;
    std::unique_ptr<CControlPanelDlg> m_pControlPanel;
    std::unique_ptr<CPlaylistDlg> m_pPlaylistDlg;

    QTimer m_timer;
};
