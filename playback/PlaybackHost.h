#pragma once
#include <string>

// A rectangle in window or screen pixels.
struct VideoRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const VideoRect&, const VideoRect&) = default;
};

// The four z-order positions of a top-level window.
enum class ZOrder { Top, Bottom, Topmost, NotTopmost };

// Right ends of the two title lines as drawn into the skin's text strips.
struct TitleLineEnds {
    int line1 = 0;
    int line2 = 0;
};

// Everything the playback code needs from the windows. The main window implements it (Qt);
// tests record the calls. Every call comes from the user-interface thread, from inside
// PlaybackTick, PlaybackTickNoDraw, OpenCurrentTrack, a drop or OpenChosenFile. Device
// commands never go through here: playback sends them itself through MciSession, except the
// ones PlaceVideo sends as part of video placement.
class PlaybackHost {
public:
    virtual ~PlaybackHost() = default;

    // --- the player picture (PlaybackTick only) ---

    // First half of the composition of the player picture into the work surface: the unlit
    // skin, the closed, paused, shuffle and repeat indicators and every skin button whose
    // buttonCounters entry is positive (up to the zoom rocker). Called first in each
    // PlaybackTick; nothing is presented yet.
    virtual void ComposeButtons() = 0;
    // Second half, then presents the finished picture in one transfer: the browsed file name
    // (trackPending > 0) or the title ticker (which steps with browseCounter), the remaining
    // pressed buttons, both knobs, the track counter or zoom, the time field drawn from
    // `devicePosition` (the reply to "status movie position", asked by the tick just before
    // in the device's current time format), the inactive logo. Called once per PlaybackTick,
    // after the speed preparation and before the pending command is carried out.
    virtual void ComposeDisplayAndPresent(int devicePosition) = 0;
    // Clears the two title strips of the skin source, draws `line1` and `line2` (UTF-8) into
    // them and returns each line's measured right end in pixels. Called once per opened
    // track, after the lengths are known.
    virtual TitleLineEnds DrawTitleLines(const std::string& line1, const std::string& line2) = 0;
    // The reply of the end-of-track check ("status movie mode"), for the main window's hidden
    // mode field. Called on every check.
    virtual void ShowModeReply(const std::string& reply) = 0;

    // --- video ---

    // The numbers the device knows the picture hosts by, for "window movie handle %d".
    virtual int VideoWindowId() = 0;
    virtual int FullScreenWindowId() = 0;
    // Attaches and places the picture for the current mode (windowed, desktop or full
    // screen) from the natural rectangle in VideoGeometry, sending its own device commands.
    // Called by an open after the lengths are read, by the size commands (10, 11) between
    // "pause movie" and the resume, and by the minimise follow-up.
    virtual void PlaceVideo() = 0;
    // Full-screen open: copies the control panel's four display-effect values (scan-line
    // mode, line-mask switch, line-mask top and bottom) into the settings.
    virtual void TakePanelDisplayEffects() = 0;
    // Full-screen open, before the device is closed: shows the overlay, then the full-screen
    // window, topmost at the given rectangles (screen pixels).
    virtual void ShowOverlayTopmost(const VideoRect& rect) = 0;
    virtual void ShowFullScreenWindowTopmost(const VideoRect& rect) = 0;

    // --- main window ---

    // Places the main window (kMainWindowWidth x kMainWindowHeight, shown) at (x, y) in the given z-order position;
    // ZOrder::Bottom does it without activating the window. Called by an open in desktop
    // video mode and for the z-order refresh at the end of every open.
    virtual void PlaceMainWindow(ZOrder order, int x, int y) = 0;
    // True while the main window is minimised. Asked by the minimise follow-up of
    // PlaybackTick while minimiseState is not 0.
    virtual bool IsMainWindowMinimised() = 0;
    // Moves the input focus to the main window's step sink (the hidden scroll bar that turns
    // wheel notches and arrow keys into speed steps). Called at the end of an open while the
    // application is active, and at the end of a drop.
    virtual void FocusStepSink() = 0;

    // --- playlist editor ---

    // True while the playlist editor window exists. A drop on the main window is ignored then.
    virtual bool PlaylistEditorExists() = 0;
    // Marks entry `index` as the current one in the editor. Called at the end of an open,
    // only while the editor exists.
    virtual void MarkCurrentInEditor(int index) = 0;
};
