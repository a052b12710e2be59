#pragma once
#include <array>

#include "playback/PlaybackHost.h"

// The windows that show the picture or lie over it.
enum class PictureWindow {
    Video,         // windowed mode: the picture's host, sized to the picture
    Desktop,       // desktop mode: the picture's host, screen-sized, below all other windows
    FullScreen,    // full screen: the picture's host, from 20 pixels above the screen
    Overlay,       // full screen: laid over the picture; its region is empty
    ControlPanel,  // full screen: the panel along the bottom edge, on request
};

// A screen's rectangle in the desktop's pixels: a second monitor has its own origin.
struct ScreenArea {
    int x = 0, y = 0, width = 0, height = 0;
};

// A point in the desktop's pixels.
struct ScreenPoint {
    int x = 0, y = 0;
    friend bool operator==(const ScreenPoint&, const ScreenPoint&) = default;
};

// The control panel's display effects: scan-line mode, line-mask switch, line-mask top and
// bottom (percent).
using DisplayEffects = std::array<int, 4>;

// What video placement and the full-screen switch need from the windows. The main window's
// Qt side implements it; tests record it. User-interface thread only. Every rectangle is in
// the desktop's pixels. No call activates a window unless it says so.
class VideoPlacementHost {
public:
    virtual ~VideoPlacementHost() = default;

    // The screen the main window is on, origin included.
    virtual ScreenArea PlayerScreen() = 0;

    // Maps `window` at `rect` (which has an area) in its own layer: the video window among
    // the ordinary windows, the desktop host below every other window, the full-screen
    // windows and the panel above the other topmost windows, raised. The full-screen window
    // also becomes the active window, so the keys reach the player through it. The video
    // window and the desktop host are made when missing; a full-screen window, overlay or
    // panel that does not exist is left alone.
    virtual void ShowWindow(PictureWindow window, const VideoRect& rect) = 0;
    // Unmaps `window`; it keeps its object and, for the video window, its stored corner.
    virtual void HideWindow(PictureWindow window) = 0;
    // The number the device knows a host by ("window movie handle %d"): the video window and
    // the desktop host are made when missing; 0 for a full-screen window that does not exist.
    virtual int HostId(PictureWindow window) = 0;

    // Full screen's windows: made hidden (the full-screen window, the panel) when missing,
    // destroyed, asked for. The panel's values outlive its window.
    virtual void CreateWindow(PictureWindow window) = 0;
    virtual void DestroyWindow(PictureWindow window) = 0;
    virtual bool WindowExists(PictureWindow window) = 0;
    // Makes the overlay anew at `rect` with its window region, shown above the full-screen
    // window; its hidden scroll bar takes the focus.
    virtual void RebuildOverlay(const VideoRect& rect) = 0;
    // The click mode of the full-screen window and the overlay (0: a left press shows or
    // hides the panel; 1: a double click does, a press toggles play and pause).
    virtual void SetClickMode(int mode) = 0;
    // Gives a newly made panel its effect values and fits its position slider to the screen.
    virtual void InitPanel(const DisplayEffects& effects, int screenWidth) = 0;
    virtual DisplayEffects PanelEffects() = 0;
    // The panel's volume slider shows `level` (0..255).
    virtual void ShowPanelVolume(int level) = 0;

    // The pointer: hidden over the full-screen windows while on; where it is; put somewhere.
    virtual void SetCursorHidden(bool hidden) = 0;
    virtual ScreenPoint CursorPos() = 0;
    virtual void SetCursorPos(ScreenPoint point) = 0;

    // The video window's corner as its move handler last stored it (after snapping).
    virtual ScreenPoint VideoWindowCorner() = 0;
    // The main window (kMainWindowWidth x kMainWindowHeight) at (x, y), shown, in the z-order position `order`.
    virtual void PlaceMainWindow(ZOrder order, int x, int y) = 0;
    // The focus back to the main window's step sink (wheel notches and arrow keys).
    virtual void FocusStepSink() = 0;
};
