#pragma once
#include <string>
#include <vector>

struct PlayerState;
struct Settings;
class Playlist;
class MciSession;
class WaveVolume;
class Clock;

// The five auxiliary windows the main window owns, in the order it creates them.
enum class AuxWindow { FullScreen, Video, Overlay, ControlPanel, PlaylistEditor };

// How the timer goes on after a call: the next call, a nap to the next full tick (the calls
// between have nothing to do), a rest until something wakes it, or never again (the quit ran).
enum class TickPace { Run, Nap, Rest, Stop };

struct WindowRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// What the tick needs from the windows. The main window implements it; tests record it.
// Every call happens on the user-interface thread, from inside MainTick::OnTimer.
class MainTickHost {
public:
    virtual ~MainTickHost() = default;

    // State accessors of the auxiliary windows: the slots of state/AuxProtocol.h. A window
    // that does not exist answers 0 and ignores setters.
    virtual int AuxValue(AuxWindow window, int index) = 0;
    virtual void AuxSetValue(AuxWindow window, int index, int value) = 0;
    virtual void EditorReset(int which) = 0;
    virtual void EditorLayOut() = 0;
    virtual WindowRect EditorWindowRect() = 0;
    virtual bool ControlPanelExists() = 0;
    // Control panel topmost along the bottom of the screen (full screen with the panel on).
    virtual void ShowControlPanelAtBottom(int screenWidth, int screenHeight) = 0;
    // The full-screen overlay topmost over the whole screen.
    virtual void ShowOverlay(int screenWidth, int screenHeight) = 0;
    // Moves the input focus back to the main window's step sink (wheel and arrow keys).
    virtual void FocusStepSink() = 0;
    // The keys, polled on every timer call (also while busy).
    virtual void PollKeyboard() = 0;

    // First tick, in this order: surfaces, placing and titling the window, its shape, the
    // video window shown at its place, the video placed.
    virtual void LoadSurfaces() = 0;
    virtual void PlaceMainWindow(int x, int y) = 0;
    virtual void ApplyShape() = 0;
    virtual void ShowVideoWindow(int x, int y) = 0;
    virtual void PlaceVideo() = 0;
    // The background setting changed: rebuild the skin source.
    virtual void ReloadBackground() = 0;

    // Playback: the tick that draws the player and carries out the transport, the same
    // without drawing (the player is hidden behind full-screen video), and opening the
    // current entry.
    virtual void PlaybackTick() = 0;
    virtual void PlaybackTickNoDraw() = 0;
    virtual void OpenCurrentTrack() = 0;
    // A later start's hand-over of `items` (absolute paths), taken as a drop on the main window:
    // the list is replaced and its first entry plays; with the editor open, the editor shows
    // the new list. False when it cannot be taken now (a long operation runs).
    virtual bool DropItems(const std::vector<std::string>& items) = 0;

    // Shutdown, in this order.
    virtual void DestroyVideoWindow() = 0;
    virtual void DeleteSurfacesAndWindows() = 0;
    virtual void EndDialog() = 0;
};

// Where the tick keeps the player's files and what it started with.
struct MainTickSetup {
    std::string programFolder;       // holds KORU.CFG, KORU.tsr, KORU.sys; ends in '/'
    std::vector<std::string> items;  // what the command line names (app/CommandLine.h)
    // Another player owns the program folder: its state files are read, never written.
    bool guest = false;
};

// The heartbeat of the player: called every 30 ms by the main window's timer.
// Performs the one-time initialisation on the first call, and every tickDivisor-th call
// (while not busy) a full tick: full-screen input, wheel, toggle and speed requests, the
// position poll, the control panel and playlist editor in step, the playback tick and,
// when asked, the orderly quit.
class MainTick {
public:
    MainTick(PlayerState& state, Settings& settings, Playlist& playlist, MciSession& mci, WaveVolume& volume,
             Clock& clock, MainTickHost& host, MainTickSetup setup);

    void OnTimer();
    // True once the quit sequence has run; later calls of OnTimer do nothing.
    bool Ended() const { return m_ended; }

    // True when no further timer call can change anything the user sees or the player does
    // until an input, a bus call or a hand-over arrives: the first tick is done, nothing is
    // requested or pending, nothing plays, searches, counts down or scrolls (an empty list,
    // or the browsed name standing), no button is lit or held and `inputQuiet` (no key down,
    // no press unread). Full screen and the open playlist editor never rest.
    bool CanRest(bool inputQuiet) const;
    // The calls between full ticks have nothing to do: CanRest's conditions, except that the
    // track may play and the ticker step (both only on full ticks).
    bool CanSkipSubTicks(bool inputQuiet) const;
    // After a call: Rest or Nap only after a full tick (CanRest, CanSkipSubTicks), Stop once ended.
    TickPace Pace(bool inputQuiet) const;
    // Timer calls from the last call to the next full tick (the last was full: tickDivisor).
    int CallsToFullTick() const;
    // The timer slept through `calls` of its periods: the counters that count time move on
    // as if those calls had run, and any full tick they held folds into the next call.
    void Slept(int calls);
    // Runs the orderly quit now, without waiting for a full tick; false (nothing done) before
    // the first tick, after the quit, or while a long operation runs (the tick then quits).
    bool QuitNow();

private:
    void FirstTick();
    void FullTick();
    // The steps of a full tick, in their order (FullTick).
    void TakeWheelStep();
    void CarryOutToggleRequest();
    void CarryOutSpeedStepRequest();
    void PollPosition();
    void RunPlaybackTick();
    void TakeHandedCommandLine();
    void StepPastFailedTrack();
    void FullScreenInput();
    void ControlPanelInFullScreen();
    void PlaylistEditorInStep();
    void Shutdown();
    // The list, the settings and the volume into the program folder; what went, for the log.
    std::string SaveStateFiles();

    PlayerState& m_state;
    Settings& m_settings;
    Playlist& m_playlist;
    MciSession& m_mci;
    WaveVolume& m_volume;
    Clock& m_clock;
    MainTickHost& m_host;
    MainTickSetup m_setup;
    bool m_ended = false;
};
