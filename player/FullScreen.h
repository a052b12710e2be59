#pragma once
#include <array>

#include "playback/PlaybackHost.h"

struct PlayerState;
struct Settings;
struct VideoGeometry;
class MciSession;
class WaveVolume;
class CFullScreenDlg;
class CFullScreenOverlayDlg;
class CControlPanelDlg;

// The screen full screen covers, in screen pixels.
struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// A pointer position in screen pixels.
struct CursorPoint {
    int x = 0, y = 0;
    friend bool operator==(const CursorPoint&, const CursorPoint&) = default;
};

// What full screen needs from the main window. CPlayerDlg implements it; tests record it.
// User-interface thread only.
class FullScreenHost {
public:
    virtual ~FullScreenHost() = default;
    // The main window's auxiliary objects; null once it has deleted them (the quit path).
    virtual CFullScreenDlg* FullScreenDialog() = 0;
    virtual CFullScreenOverlayDlg* OverlayDialog() = 0;
    virtual CControlPanelDlg* ControlPanelDialog() = 0;
    // PlaceVideo in a window (fullScreen 0): video window or desktop, with its own commands.
    virtual void PlaceVideoWindowed() = 0;
    // The video window's number for "window movie handle %d".
    virtual int VideoWindowId() = 0;
    // The focus back to the main window's step sink (wheel notches and arrow keys).
    virtual void FocusStepSink() = 0;
    // The screen to cover; by default the primary screen (1024 x 768 when there is none).
    virtual ScreenArea MeasureScreen();
    // The pointer; by default the system's.
    virtual CursorPoint CursorPos();
    virtual void SetCursorPos(CursorPoint point);
};

// Full screen: the picture over the whole screen in a window of its own, an empty overlay
// above it and, on request, the control panel along the bottom edge; the cursor hidden and
// parked while the settings ask for it.
//
// The full-screen windows cover the screen from 20 pixels above its top edge (y -20, the
// screen's height + 20), so every picture rectangle is sent 20 pixels lower. The panel is
// 72 pixels high. Window rectangles are relative to the screen's top-left corner.
//
// Instead of confining the cursor to one pixel, the hidden cursor is put back at its park
// point whenever it moves over the full-screen window. User-interface thread only.
class FullScreenController {
public:
    static constexpr int kTopShift = 20;
    static constexpr int kPanelHeight = 72;

    FullScreenController(PlayerState& state, Settings& settings, MciSession& mci, VideoGeometry& video,
                         WaveVolume& volume, FullScreenHost& host);

    // leave false enters full screen, true leaves it; a request for the mode already on
    // does nothing (a notification queued before the switch may arrive after it).
    void SwitchFullScreen(bool leave);
    // PlaceVideo while fullScreen is 1: the windows in order, the fit (4) or stretch (5)
    // rectangle, "put movie destination at x y+20 w h", the overlay or the panel on top.
    void PlaceVideo();
    // WM_USER+5 codes 1 (show or hide the control panel) and 5 (leave full screen); both
    // act only in full screen and end with the focus at the step sink. False for any other
    // code, which the caller handles.
    bool OnPlayerNotify(int code);
    // Makes the overlay anew over the screen with its region (empty: it shows nothing and
    // takes no input).
    void ApplyOverlayShape();

    // For the main window's playback and tick interfaces.
    int FullScreenWindowId();
    // Copies the panel's four effect values into the settings (and the line-mask switch).
    void TakePanelDisplayEffects();
    void ShowOverlayTopmost(const VideoRect& rect);
    void ShowFullScreenWindowTopmost(const VideoRect& rect);
    bool ControlPanelExists();
    void ShowControlPanelAtBottom(int screenWidth, int screenHeight);
    void ShowOverlay(int screenWidth, int screenHeight);
    // The full-screen button's follow-up: both windows' scroll bars to x = screenWidth + 1.
    void MoveStepBarsOffScreen();

    // The cursor position saved while full screen parks the cursor.
    CursorPoint CursorSave() const { return cursorSave_; }
    bool CursorParked() const { return parked_; }
    int LineMaskSwitch() const { return lineMaskSwitch_; }

private:
    void Enter();
    void Leave();
    void TogglePanel();
    void Resume();
    void ReadEffects(CControlPanelDlg& panel);
    std::array<int, 4> Effects() const;
    void SetCursorHidden(bool hidden);
    void Park();
    void StopParking();

    PlayerState& state_;
    Settings& settings_;
    MciSession& mci_;
    VideoGeometry& video_;
    WaveVolume& volume_;
    FullScreenHost& host_;
    int originX_ = 0;
    int originY_ = 0;
    CursorPoint cursorSave_;
    CursorPoint park_;
    bool parked_ = false;
    int lineMaskSwitch_ = 0;
    // The effect values the overlay was last built with.
    std::array<int, 4> applied_{};
};
