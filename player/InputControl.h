#pragma once

struct PlayerState;
enum PendingCommand : int;
struct Settings;
class Playlist;
class MciSession;
class WaveVolume;
class KeyState;
class Clock;

// A point in the main window's pixels.
struct WindowPoint {
    int x = 0;
    int y = 0;
};

// What the input handlers need from the windows and from features outside this file.
class InputHost {
public:
    virtual ~InputHost() = default;
    virtual bool IsMinimised() = 0;
    virtual void Minimise() = 0;
    // Arms a move of the window: it starts once the pointer has travelled the platform's drag
    // distance with the button held, and follows the pointer until the button goes up. A
    // press and release in place moves nothing.
    virtual void StartWindowMove() = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    virtual void FocusStepSink() = 0;
    virtual void PlaceVideo() = 0;
    // The open button: closes the playlist editor when it is open, otherwise runs the
    // open-file dialog (modal).
    virtual void OpenButtonAction() = 0;
    // Opens the playlist editor, or closes it when open.
    virtual void TogglePlaylistEditor() = 0;
    // The settings dialog (modal).
    virtual void SettingsDialog() = 0;
    // Enters full screen (leave = false) or leaves it.
    virtual void SwitchFullScreen(bool leave) = 0;
    // After the FULL button: the full-screen windows' step sinks go just off the screen.
    virtual void MoveFullScreenStepSinksOffScreen() = 0;
};

// The main window's mouse, wheel and keyboard control: hit tests on the skin's rectangles,
// knob drags, and the keys polled every tick. Most handlers only write requests into
// PlayerState for the tick; knob drags, the time display, the window move, minimising and
// the one-picture steps while paused act at once. User-interface thread only.
class InputControl {
public:
    InputControl(PlayerState& state, Settings& settings, Playlist& playlist, MciSession& mci, WaveVolume& volume,
                 KeyState& keys, Clock& clock, InputHost& host);

    void OnLButtonDown(WindowPoint point);
    void OnLButtonUp(WindowPoint point);
    void OnLButtonDblClk(WindowPoint point);
    void OnRButtonDown(WindowPoint point);
    void OnRButtonUp(WindowPoint point);
    void OnMButtonDown(WindowPoint point);
    void OnMouseMove(WindowPoint point);
    void OnMouseWheel(int delta);
    // One step from the step sink (arrow keys): +1 up, -1 down.
    void OnStep(int step);
    void OnActivateApp(bool active);
    void PollKeyboard();

    // Hit rectangles, both edges inclusive, in window pixels.
    struct HitRect {
        int x, y, w, h;
        bool Contains(WindowPoint p) const { return x <= p.x && p.x <= x + w && y <= p.y && p.y <= y + h; }
    };

private:
    void SelectTimeFormatForDisplay();
    void StartSearch(int counter, PendingCommand command, bool& held);
    // B and V: the next audio and subtitle track of the open file (PlayerState::trackRequest);
    // presses are read and dropped unless `act`.
    void PollTrackKeys(bool act);

    PlayerState& m_state;
    Settings& m_settings;
    Playlist& m_playlist;
    MciSession& m_mci;
    WaveVolume& m_volume;
    KeyState& m_keys;
    Clock& m_clock;
    InputHost& m_host;
    WindowPoint m_lastMouse;
    bool m_altEnterHeld = false;  // Alt+Enter was down at the previous poll
    bool m_rewindHeld = false;
    bool m_forwardHeld = false;
};
