#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "panels/AuxiliaryWindows.h"
#include "panels/WindowDrag.h"
#include "playback/MciSession.h"
#include "playback/PlaybackContext.h"
#include "playback/PlaybackHost.h"
#include "playback/ScreenSaverHold.h"
#include "playback/VideoPlacement.h"
#include "player/InputControl.h"
#include "player/MainTick.h"
#include "player/QtKeyState.h"
#include "player/TickScheduler.h"
#include "platform/Clock.h"
#include "player/VideoWindows.h"
#include "render/DevicePicture.h"
#include "playlist/editor/CPlaylistDlg.h"

struct PlayerState;
struct Settings;
class Playlist;
class MediaDevice;
class WaveVolume;
class Clock;
class CDibSurface;
class VideoHostWidget;
class QSocketNotifier;
class SkinAccess;

// The records shared by every window for the whole run.
struct PlayerRecords {
    PlayerState& state;
    Settings& settings;
    Playlist& playlist;
};

// The main player window: frameless, kMainWindowWidth x kMainWindowHeight (state/Settings.h),
// drawn from the skin. Owns the five auxiliary objects, the surfaces and the one 30 ms timer that
// drives everything (MainTick, paced by TickScheduler: it naps and rests when nothing is to be
// done and wakes on input and on every request written to the records). It closes only through
// the quit request, which the quit path of the tick carries out in order.
class CPlayerDlg final : public QWidget,
                         private MainTickHost,
                         private PlaybackHost,
                         private InputHost,
                         private PlaylistEditorHost {
    Q_OBJECT
public:
    // A guest player's windows stand this far right of and below the stored positions, so they
    // never lie exactly on the first player's (beyond the 16-pixel edge snap).
    static constexpr int kGuestOffset = 32;
    static constexpr int kTimerPeriodMs = 30;

    // `timerClock` paces the timer (the system's steady clock unless given).
    CPlayerDlg(PlayerRecords records, MediaDevice& device, WaveVolume& volume, Clock& clock, MainTickSetup setup,
               SteadyClock* timerClock = nullptr);
    ~CPlayerDlg() override;

    // Loads the settings (or writes the defaults when "KORU.CFG" is missing) and places the
    // window at the saved place. Called once, before the event loop runs.
    void OnInitDialog();
    // One timer call; how the timer goes on.
    TickPace OnTimer();
    // Ends a rest or a nap: the next call comes at its place on the timer's grid, within one
    // period. Harmless while the timer runs or after the quit.
    void Wake() { m_scheduler.Wake(); }
    bool Resting() const { return m_scheduler.Resting(); }
    bool Napping() const { return m_scheduler.Napping(); }
    TickScheduler& Scheduler() { return m_scheduler; }
    void OnOK() {}
    void OnCancel() {}
    // Snaps the window to the screen's left and top edges and keeps mainX, mainY in step.
    void OnMove(int x, int y);
    // What an auxiliary window asks of the main window at once: 20 the playlist editor
    // closes, 1 the control panel shows or hides in full screen, 5 full screen ends. Always
    // called queued, since it may destroy the window that asked.
    void OnPlayerNotify(int code);

    MciSession& Mci() { return m_mci; }
    bool Ended() const { return m_tick.Ended(); }
    CVideoWindowDlg* VideoDialog() { return m_windows.VideoDialog(); }
    VideoHostWidget* VideoWindow() { return m_windows.VideoWindow(); }
    // The last "status movie mode" reply of the end-of-track check.
    const std::string& ModeReply() const { return m_modeReply; }
    // The picture the window shows, for tests and screenshots (null before the first tick).
    QImage PresentedPicture() const;

    // The desktop's screen saver, held off while a picture plays (after every full tick) and
    // let go at the quit. Without one nothing is held.
    void SetScreenSaver(ScreenSaver& service) { m_screenSaver = std::make_unique<ScreenSaverHold>(service); }

signals:
    // Emitted once the quit path has run; the application leaves its event loop.
    void dialogEnded();
    // Emitted after every full tick (what the player shows may have changed).
    void fullTickDone();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

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
    void PollKeyboard() override { m_input.PollKeyboard(); }
    void LoadSurfaces() override;
    void PlaceMainWindow(int x, int y) override;
    void ApplyShape() override;
    void ShowVideoWindow(int x, int y) override;
    void PlaceVideo() override;
    void ReloadBackground() override;
    void PlaybackTick() override;
    void PlaybackTickNoDraw() override;
    void OpenCurrentTrack() override;
    bool DropItems(const std::vector<std::string>& items) override;
    void DestroyVideoWindow() override;
    void DeleteSurfacesAndWindows() override;
    void EndDialog() override;

    // PlaybackHost
    void ComposeButtons() override;
    void ComposeDisplayAndPresent(int devicePosition) override;
    TitleLineEnds DrawTitleLines(const std::string& line1, const std::string& line2) override;
    void ShowModeReply(const std::string& reply) override;
    int VideoWindowId() override;
    int FullScreenWindowId() override;
    void TakePanelDisplayEffects() override;
    void ShowOverlayTopmost(const VideoRect& rect) override;
    void ShowFullScreenWindowTopmost(const VideoRect& rect) override;
    void PlaceMainWindow(ZOrder order, int x, int y) override;
    bool IsMainWindowMinimised() override;
    bool PlaylistEditorExists() override;
    void MarkCurrentInEditor(int index) override;

    // InputHost
    bool IsMinimised() override;
    void Minimise() override;
    void StartWindowMove() override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void OpenButtonAction() override;
    void TogglePlaylistEditor() override;
    void SettingsDialog() override;
    void SwitchFullScreen(bool leave) override;
    void MoveFullScreenStepSinksOffScreen() override;

    // PlaylistEditorHost
    Playlist& EditorPlaylist() override { return m_playlist; }
    Settings& EditorSettings() override { return m_settings; }
    PlayerState& EditorPlayerState() override { return m_state; }
    Clock& EditorClock() override { return m_clock; }
    void PostPlayerNotify(int code) override;
    QWidget* EditorOwner() override { return this; }

    CAuxiliaryDialog* Aux(AuxWindow window);
    // A quit signal, the window manager's close or the session's end: the orderly quit runs
    // now, or at the next full tick while it cannot (a long operation, before the first tick).
    void QuitAtOnce();
    // The windows whose keys reach the transport: this one, the video window, the
    // full-screen window and overlay, the control panel.
    bool IsKeySurface(const QWidget* window) const;

    PlayerState& m_state;
    Settings& m_settings;
    Playlist& m_playlist;
    Clock& m_clock;
    MciSession m_mci;
    VideoGeometry m_video;
    PlaybackContext m_playback;
    QtKeyState m_keys;
    InputControl m_input;
    MainTick m_tick;
    SystemSteadyClock m_systemTimerClock;
    TickScheduler m_scheduler;
    std::string m_programFolder;
    bool m_guest = false;  // another player owns the program folder
    std::unique_ptr<ScreenSaverHold> m_screenSaver;
    std::string m_modeReply;

    // The video, desktop and full-screen windows, and where the picture goes among them;
    // the placement is declared after the windows it drives, so it goes before them.
    VideoWindows m_windows;
    VideoPlacement m_placement;
    std::unique_ptr<CPlaylistDlg> m_pPlaylistDlg;  // the playlist editor

    std::unique_ptr<CDibSurface> m_pSkin;  // the skin source: a bg picture or the built-in skin
    std::unique_ptr<CDibSurface> m_pWork;  // each frame is composed here
    DisplayText m_displayText;             // the text pieces of the last composed frame
    DevicePicture m_devicePicture;         // the picture on a scaling screen

    std::unique_ptr<QSocketNotifier> m_quitNotifier;
    QImage m_presented;  // the picture last presented
    WindowDrag m_drag;
    QPoint m_pressPointer;           // the last left or double press, in desktop pixels: where a move grabs
    SkinAccess* m_access = nullptr;  // the hotspots' keyboard focus and accessibility; a child
};
