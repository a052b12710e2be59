#include "playback/VideoPlacement.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "playback/PlaybackContext.h"
#include "playback/WaveVolumeControl.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

namespace {

constexpr int kFitKeepingAspect = 4;
constexpr int kStretch = 5;
// Size modes: -1 hidden, 0 half, 1 natural, 2 double, 3 desktop; placing brings more to 3.
constexpr int kLastWindowedMode = 2;
constexpr int kDesktopMode = 3;
constexpr int kZoomShowTicks = 6;

std::string AttachCommand(int hostId) { return "window movie handle " + std::to_string(hostId); }

int Right(const VideoRect& r) { return r.x + r.width; }
int Bottom(const VideoRect& r) { return r.y + r.height; }

bool Overlap(const VideoRect& a, const VideoRect& b) {
    return a.x < Right(b) && b.x < Right(a) && a.y < Bottom(b) && b.y < Bottom(a);
}

}  // namespace

VideoRect FitIntoArea(const VideoRect& window, const ScreenArea& area) {
    if (window.width <= 0 || window.height <= 0 || area.width <= 0 || area.height <= 0) return window;
    VideoRect fitted = window;
    if (window.width > area.width || window.height > area.height) {
        // The smaller of the two ratios, in integers: width / height keeps the picture's shape.
        const int64_t w = window.width, h = window.height;
        if (w * area.height >= h * area.width) {
            fitted.width = area.width;
            fitted.height = static_cast<int>(std::max<int64_t>(1, h * area.width / w));
        } else {
            fitted.height = area.height;
            fitted.width = static_cast<int>(std::max<int64_t>(1, w * area.height / h));
        }
    }
    fitted.x = std::clamp(window.x, area.x, area.x + area.width - fitted.width);
    fitted.y = std::clamp(window.y, area.y, area.y + area.height - fitted.height);
    return fitted;
}

ScreenArea AreaBesidePlayer(const VideoRect& window, const VideoRect& player, const ScreenArea& area) {
    if (Overlap(window, player)) return area;
    const VideoRect a{area.x, area.y, area.width, area.height};
    // The bands of the area beside the player's four edges that the window stands in.
    const int below = std::max(a.y, Bottom(player)), right = std::max(a.x, Right(player));
    const ScreenArea bands[] = {
        {a.x, below, a.width, Bottom(a) - below},                  // below
        {right, a.y, Right(a) - right, a.height},                  // right of it
        {a.x, a.y, a.width, std::min(player.y, Bottom(a)) - a.y},  // above
        {a.x, a.y, std::min(player.x, Right(a)) - a.x, a.height},  // left of it
    };
    const bool standsIn[] = {window.y >= Bottom(player), window.x >= Right(player), Bottom(window) <= player.y,
                             Right(window) <= player.x};
    ScreenArea best = area;
    int64_t bestPixels = -1;
    for (int i = 0; i < 4; ++i) {
        const ScreenArea& band = bands[i];
        if (!standsIn[i] || band.width < kUsablePart || band.height < kUsablePart) continue;
        const VideoRect fitted = FitIntoArea(window, band);
        const int64_t pixels = int64_t{fitted.width} * fitted.height;
        if (pixels > bestPixels) best = band, bestPixels = pixels;
    }
    return best;
}

VideoPlacement::VideoPlacement(PlayerState& state, Settings& settings, MciSession& mci, VideoGeometry& video,
                               WaveVolume& volume, VideoPlacementHost& host)
    : state_(state), settings_(settings), mci_(mci), video_(video), volume_(volume), host_(host) {}

void VideoPlacement::PlaceVideo() {
    if (state_.fullScreen == 1) PlaceFullScreen();
    else PlaceWindowed();
}

void VideoPlacement::PlaceWindowed() {
    Settings& st = settings_;
    // The corner placing last gave the window means the user has not moved it since: the
    // place asked for stays the one from before any fitting, so that a smaller picture goes
    // back there.
    const ScreenPoint corner = host_.VideoWindowCorner();
    if (!placedByUs_ || !(corner == ScreenPoint{placed_.x, placed_.y})) wanted_ = corner;
    st.videoX = wanted_.x;
    st.videoY = wanted_.y;
    const bool picture = !mci_.QueryText("where movie destination", kReplySize).empty();
    // An audio-only track or nothing open: the desktop host has no picture left. Minimising
    // leaves a desktop picture where it is.
    if (!picture) HideDesktopHost();
    if (!picture || state_.minimiseState == MinimiseState::HidingVideo) {
        host_.HideWindow(PictureWindow::Video);
        state_.zoomPercent = 0;
    } else {
        MeasureScreen();
        const int w = video_.natural.width;
        const int h = video_.natural.height;
        int width = 0, height = 0;
        int& mode = st.videoSizeMode;
        if (mode < 0) {
            mode = -1;
            state_.zoomPercent = 0;
        } else if (mode == 0) {
            state_.zoomPercent = 50;
            width = w / 2;
            height = h / 2;
        } else if (mode == 1) {
            state_.zoomPercent = 100;
            width = w;
            height = h;
        } else if (mode == 2) {
            state_.zoomPercent = 200;
            width = 2 * w;
            height = 2 * h;
        } else {
            mode = kDesktopMode;
            state_.zoomPercent = 0;
            width = state_.screenWidth;
            height = state_.screenHeight - 2;
        }
        state_.zoomShowTicks = kZoomShowTicks;

        if (mode <= kLastWindowedMode) {
            HideDesktopHost();
            const VideoRect wanted{st.videoX, st.videoY, width, height};
            const VideoRect player{st.mainX, st.mainY, kMainWindowWidth, kMainWindowHeight};
            const VideoRect rect = FitIntoArea(wanted, AreaBesidePlayer(wanted, player, host_.AvailableArea(wanted)));
            if (rect.width != width && w > 0) state_.zoomPercent = static_cast<int>(int64_t{rect.width} * 100 / w);
            width = rect.width;
            height = rect.height;
            // Shown without being activated, whichever application is active: the picture
            // appears while the user works elsewhere.
            if (width > 0 && height > 0) {
                host_.ShowWindow(PictureWindow::Video, rect);
                placed_ = rect;
                placedByUs_ = true;
            } else {
                host_.HideWindow(PictureWindow::Video);
            }
            if (state_.activeApp == 1) host_.PlaceMainWindow(ZOrder::Top, st.mainX, st.mainY);
            mci_.Send("window movie handle default");
            mci_.Send(AttachCommand(host_.HostId(PictureWindow::Video)));
        } else {
            host_.PlaceMainWindow(ZOrder::Bottom, st.mainX, st.mainY);
            ShowOnScreen(PictureWindow::Desktop, VideoRect{0, 0, state_.screenWidth, state_.screenHeight});
            desktopShown_ = true;
            mci_.Send("window movie handle default state minimized");
            mci_.Send(AttachCommand(host_.HostId(PictureWindow::Desktop)));
        }
        mci_.Send(PutDestinationCommand(video_.natural.x, video_.natural.y, width, height));
        if (mode == kDesktopMode) {
            host_.HideWindow(PictureWindow::Video);
            state_.zoomShowTicks = 0;
        }
    }
    RefreshZOrder();
    host_.FocusStepSink();
}

void VideoPlacement::PlaceFullScreen() {
    const int W = state_.screenWidth;
    const int H = state_.screenHeight;
    // The overlay goes first; a shown panel stays mapped (no flicker at every track change)
    // and is raised above the picture again below.
    if (state_.panelInFullScreen == 0) host_.HideWindow(PictureWindow::Overlay);
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});

    int& fit = settings_.fullScreenFit;
    fit = fit <= kFitKeepingAspect ? kFitKeepingAspect : kStretch;
    video_.fullScreen = FullScreenDestination(fit, W, H, video_.natural, video_.fullScreen, video_);
    const VideoRect& d = video_.fullScreen;
    mci_.Send(PutDestinationCommand(d.x, d.y + kTopShift, d.width, d.height));

    if (state_.panelInFullScreen == 0) {
        ShowOverlayTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
        host_.HideWindow(PictureWindow::ControlPanel);
    } else {
        ShowControlPanelAtBottom(W, H);
    }
    host_.FocusStepSink();
}

void VideoPlacement::SwitchFullScreen(bool leave) {
    if (leave) Leave();
    else Enter();
}

void VideoPlacement::Enter() {
    if (state_.fullScreen == 1) return;
    // A switch inside another long operation (a dialog's loop) gives its busy back.
    const int outerBusy = state_.busy;
    state_.busy = 1;
    state_.fullScreen = 1;
    host_.SetCursorHidden(settings_.hideCursor == 1);

    mci_.Send("window movie handle default");
    MeasureScreen();
    state_.panelInFullScreen = 0;
    HideDesktopHost();
    const int W = state_.screenWidth;
    const int H = state_.screenHeight;

    if (!host_.WindowExists(PictureWindow::ControlPanel)) {
        host_.CreateWindow(PictureWindow::ControlPanel);
        host_.InitPanel(Effects(), W);
        ReadEffects();
        applied_ = Effects();
    }
    host_.HideWindow(PictureWindow::ControlPanel);
    host_.SetClickMode(settings_.doubleClickPanel);
    if (settings_.hideCursor == 1) {
        cursorSave_ = host_.CursorPos();
        Park();
    }

    host_.CreateWindow(PictureWindow::FullScreen);
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
    host_.RebuildOverlay(VideoRect{screen_.x, screen_.y - kTopShift, W, H + kTopShift});
    mci_.Send(AttachCommand(host_.HostId(PictureWindow::FullScreen)));
    mci_.Send(PutDestinationCommand(0, kTopShift, W, H));

    mci_.PauseKeepingPosition();
    PlaceFullScreen();
    Resume();
    state_.busy = outerBusy;
    host_.FocusStepSink();
}

void VideoPlacement::Leave() {
    if (state_.fullScreen != 1) return;
    const int outerBusy = state_.busy;
    state_.busy = 1;
    state_.fullScreen = 0;
    parked_ = false;
    state_.volumeDragging = KnobDrag::Idle;
    state_.seekDragging = KnobDrag::Idle;
    if (settings_.hideCursor == 1) host_.SetCursorPos(cursorSave_);
    // Shown once, however often the panel showed or hid it before.
    host_.SetCursorHidden(false);

    mci_.Send("window movie handle default");
    ReadEffects();
    host_.DestroyWindow(PictureWindow::FullScreen);
    host_.DestroyWindow(PictureWindow::Overlay);
    host_.DestroyWindow(PictureWindow::ControlPanel);
    state_.panelInFullScreen = 0;

    mci_.Send(AttachCommand(host_.HostId(PictureWindow::Video)));
    mci_.PauseKeepingPosition();
    PlaceWindowed();
    Resume();
    state_.busy = outerBusy;
    host_.FocusStepSink();
}

bool VideoPlacement::OnPlayerNotify(int code) {
    if (code != kNotifyTogglePanel && code != kNotifyLeaveFullScreen) return false;
    // A click queued just before full screen ended arrives afterwards: nothing to do.
    if (state_.fullScreen == 1) {
        if (code == kNotifyTogglePanel) TogglePanel();
        else Leave();
    }
    host_.FocusStepSink();
    return true;
}

void VideoPlacement::TogglePanel() {
    state_.panelInFullScreen = state_.panelInFullScreen == 1 ? 0 : 1;
    if (state_.panelInFullScreen == 1) {
        // One click on the picture hides the panel again.
        host_.SetClickMode(0);
        if (settings_.hideCursor == 1) {
            parked_ = false;
            host_.SetCursorPos(cursorSave_);
            host_.SetCursorHidden(false);
        }
        host_.ShowPanelVolume(PanelValueFromVolume(volume_));
    } else {
        if (settings_.hideCursor == 1) host_.SetCursorHidden(true);
        ReadEffects();
        if (Effects() != applied_) {
            host_.RebuildOverlay(
                VideoRect{screen_.x, screen_.y - kTopShift, state_.screenWidth, state_.screenHeight + kTopShift});
            applied_ = Effects();
        }
        host_.SetClickMode(settings_.doubleClickPanel);
        if (settings_.hideCursor == 1) {
            cursorSave_ = host_.CursorPos();
            Park();
        }
    }
    mci_.PauseKeepingPosition();
    PlaceFullScreen();
    Resume();
}

void VideoPlacement::OnPointerMoved(ScreenPoint point) {
    if (parked_ && !(point == park_)) host_.SetCursorPos(park_);
}

void VideoPlacement::FollowDevice() {
    if (state_.closed == 1) HideDesktopHost();
}

int VideoPlacement::FullScreenWindowId() { return host_.HostId(PictureWindow::FullScreen); }

void VideoPlacement::TakePanelDisplayEffects() { ReadEffects(); }

void VideoPlacement::ShowOverlayTopmost(const VideoRect& rect) { ShowOnScreen(PictureWindow::Overlay, rect); }

void VideoPlacement::ShowFullScreenWindowTopmost(const VideoRect& rect) {
    ShowOnScreen(PictureWindow::FullScreen, rect);
}

bool VideoPlacement::ControlPanelExists() { return host_.WindowExists(PictureWindow::ControlPanel); }

void VideoPlacement::ShowControlPanelAtBottom(int screenWidth, int screenHeight) {
    ShowOnScreen(PictureWindow::ControlPanel, VideoRect{0, screenHeight - kPanelHeight, screenWidth, kPanelHeight});
}

void VideoPlacement::ShowOverlay(int screenWidth, int screenHeight) {
    ShowOnScreen(PictureWindow::Overlay, VideoRect{0, 0, screenWidth, screenHeight});
}

// --- helpers ---------------------------------------------------------------------------------

void VideoPlacement::Resume() {
    if (state_.paused) mci_.Send("seek movie to " + std::to_string(state_.position));
    else mci_.Send("play movie");
}

void VideoPlacement::RefreshZOrder() {
    const Settings& st = settings_;
    if (st.alwaysOnTop == 1 && state_.minimiseState == MinimiseState::Shown) {
        // Not topmost first, so that topmost lifts it above the other topmost windows.
        host_.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
        host_.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
    } else if (state_.minimiseState >= MinimiseState::KeepingVideo) {
        host_.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
        if (st.alwaysOnTop == 0) host_.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
    }
}

void VideoPlacement::HideDesktopHost() {
    if (!desktopShown_) return;
    host_.HideWindow(PictureWindow::Desktop);
    desktopShown_ = false;
}

void VideoPlacement::MeasureScreen() {
    screen_ = host_.PlayerScreen();
    state_.screenWidth = screen_.width;
    state_.screenHeight = screen_.height;
}

void VideoPlacement::ShowOnScreen(PictureWindow window, const VideoRect& rect) {
    // A rectangle without area (a screen of odd size, the 0 x 0 of "nothing to show") maps
    // nothing.
    if (rect.width <= 0 || rect.height <= 0) host_.HideWindow(window);
    else host_.ShowWindow(window, VideoRect{screen_.x + rect.x, screen_.y + rect.y, rect.width, rect.height});
}

void VideoPlacement::ReadEffects() {
    const DisplayEffects e = host_.PanelEffects();
    settings_.scanLineMode = e[0];
    lineMaskSwitch_ = e[1];
    settings_.lineMaskTop = e[2];
    settings_.lineMaskBottom = e[3];
}

DisplayEffects VideoPlacement::Effects() const {
    return {settings_.scanLineMode, lineMaskSwitch_, settings_.lineMaskTop, settings_.lineMaskBottom};
}

void VideoPlacement::Park() {
    // (0, 1) of the screen with scan-line mode 2, else (0, 0).
    park_ = {screen_.x, screen_.y + (settings_.scanLineMode == 2 ? 1 : 0)};
    parked_ = true;
    host_.SetCursorPos(park_);
}
