#pragma once
#include "playback/VideoPlacementHost.h"

struct PlayerState;
struct Settings;
struct VideoGeometry;
class MciSession;
class WaveVolume;

// The video window `window` as it may be shown on `area` (a screen's available part): a window
// larger than the area shrinks to fit, keeping the picture's aspect (whole pixels, rounded
// down); it is then moved as little as needed to lie wholly inside the area.
VideoRect FitIntoArea(const VideoRect& window, const ScreenArea& area);
// The part of `area` that a video window at `window` may use without covering the main window
// `player`: a window clear of the player keeps to the band beside the player's edge it stands
// beyond (below, right, above, left; of several the one where the fitted picture is largest);
// bands narrower than kUsablePart do not count. A window over the player uses the whole area.
inline constexpr int kUsablePart = 64;
ScreenArea AreaBesidePlayer(const VideoRect& window, const VideoRect& player, const ScreenArea& area);

// Where the picture goes: the video window sized to the picture (size modes -1 to 2), the
// desktop host behind all windows (mode 3), or the full-screen window with its overlay and,
// on request, the control panel. It sends the attach and destination commands, places the
// windows through the host, keeps the main window's z-order and, in full screen, hides and
// parks the cursor when the settings ask for it.
//
// The full-screen windows cover the player's screen from 20 pixels above its top edge (the
// screen's height + 20), so every full-screen picture is sent 20 pixels lower; the panel is
// 72 pixels high. Picture sizes are in the screen's pixels.
//
// The video window lies wholly inside the available part of its screen, never larger, and
// beside the player it does not cover the player (FitIntoArea, AreaBesidePlayer); the zoom
// shown is then what the picture really got. `videoX`, `videoY` keep the place the user gave
// it, whatever fitting did to it.
//
// A window with nothing to show is unmapped instead of being mapped at 0 x 0 (the window
// system would show a 1 x 1 window). Instead of confining the cursor to one pixel, the parked
// cursor is put back whenever it moves over the full-screen window. User-interface thread only.
class VideoPlacement {
public:
    static constexpr int kTopShift = 20;
    static constexpr int kPanelHeight = 72;

    VideoPlacement(PlayerState& state, Settings& settings, MciSession& mci, VideoGeometry& video, WaveVolume& volume,
                   VideoPlacementHost& host);

    // Attaches and places the picture for the current mode.
    void PlaceVideo();
    // leave false enters full screen, true leaves it; a request for the mode already on does
    // nothing (a notification queued before the switch may arrive after it).
    void SwitchFullScreen(bool leave);
    // WM_USER+5 codes 1 (show or hide the panel) and 5 (leave full screen); both act only in
    // full screen and end with the focus at the step sink. False for any other code.
    bool OnPlayerNotify(int code);
    // The pointer moved over the full-screen window: a parked cursor goes back to its place.
    void OnPointerMoved(ScreenPoint point);
    // Called after every playback tick: once the device has closed (the end of the list, the
    // stop button) the desktop host has no picture left and goes.
    void FollowDevice();

    // For the playback and tick interfaces; rectangles relative to the player's screen.
    int FullScreenWindowId();
    void TakePanelDisplayEffects();
    void ShowOverlayTopmost(const VideoRect& rect);
    void ShowFullScreenWindowTopmost(const VideoRect& rect);
    bool ControlPanelExists();
    void ShowControlPanelAtBottom(int screenWidth, int screenHeight);
    void ShowOverlay(int screenWidth, int screenHeight);

    ScreenPoint CursorSave() const { return m_cursorSave; }
    int LineMaskSwitch() const { return m_lineMaskSwitch; }

private:
    void PlaceWindowed();
    void PlaceFullScreen();
    void Enter();
    void Leave();
    void TogglePanel();
    void Resume();
    void RefreshZOrder();
    void HideDesktopHost();
    void MeasureScreen();
    void ShowOnScreen(PictureWindow window, const VideoRect& rect);
    void ReadEffects();
    DisplayEffects Effects() const;
    void Park();

    PlayerState& m_state;
    Settings& m_settings;
    MciSession& m_mci;
    VideoGeometry& m_video;
    WaveVolume& m_volume;
    VideoPlacementHost& m_host;
    ScreenArea m_screen;
    ScreenPoint m_cursorSave;
    ScreenPoint m_park;
    bool m_parked = false;
    bool m_desktopShown = false;
    // The place the user gave the video window, and where placing last put it.
    ScreenPoint m_wanted;
    VideoRect m_placed;
    bool m_placedByUs = false;
    int m_lineMaskSwitch = 0;
    // The effect values the overlay was last built with.
    DisplayEffects m_applied{};
};
