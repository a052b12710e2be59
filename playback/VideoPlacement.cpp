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
    : m_state(state), m_settings(settings), m_mci(mci), m_video(video), m_volume(volume), m_host(host) {}

void VideoPlacement::PlaceVideo() {
    if (m_state.fullScreen == 1) PlaceFullScreen();
    else PlaceWindowed();
}

void VideoPlacement::PlaceWindowed() {
    Settings& st = m_settings;
    // The corner placing last gave the window means the user has not moved it since: the
    // place asked for stays the one from before any fitting, so that a smaller picture goes
    // back there.
    const ScreenPoint corner = m_host.VideoWindowCorner();
    if (!m_placedByUs || !(corner == ScreenPoint{m_placed.x, m_placed.y})) m_wanted = corner;
    st.videoX = m_wanted.x;
    st.videoY = m_wanted.y;
    const bool picture = !m_mci.QueryText("where movie destination", kReplySize).empty();
    // An audio-only track or nothing open: the desktop host has no picture left. Minimising
    // leaves a desktop picture where it is.
    if (!picture) HideDesktopHost();
    if (!picture || m_state.minimiseState == MinimiseState::HidingVideo) {
        m_host.HideWindow(PictureWindow::Video);
        m_state.zoomPercent = 0;
    } else {
        MeasureScreen();
        const int w = m_video.natural.width;
        const int h = m_video.natural.height;
        int width = 0, height = 0;
        int& mode = st.videoSizeMode;
        if (mode < 0) {
            mode = -1;
            m_state.zoomPercent = 0;
        } else if (mode == 0) {
            m_state.zoomPercent = 50;
            width = w / 2;
            height = h / 2;
        } else if (mode == 1) {
            m_state.zoomPercent = 100;
            width = w;
            height = h;
        } else if (mode == 2) {
            m_state.zoomPercent = 200;
            width = 2 * w;
            height = 2 * h;
        } else {
            mode = kDesktopMode;
            m_state.zoomPercent = 0;
            width = m_state.screenWidth;
            height = m_state.screenHeight - 2;
        }
        m_state.zoomShowTicks = kZoomShowTicks;

        if (mode <= kLastWindowedMode) {
            HideDesktopHost();
            const VideoRect wanted{st.videoX, st.videoY, width, height};
            const VideoRect player{st.mainX, st.mainY, kMainWindowWidth, kMainWindowHeight};
            const VideoRect rect = FitIntoArea(wanted, AreaBesidePlayer(wanted, player, m_host.AvailableArea(wanted)));
            if (rect.width != width && w > 0) m_state.zoomPercent = static_cast<int>(int64_t{rect.width} * 100 / w);
            width = rect.width;
            height = rect.height;
            // Shown without being activated, whichever application is active: the picture
            // appears while the user works elsewhere.
            if (width > 0 && height > 0) {
                m_host.ShowWindow(PictureWindow::Video, rect);
                m_placed = rect;
                m_placedByUs = true;
            } else {
                m_host.HideWindow(PictureWindow::Video);
            }
            if (m_state.activeApp == 1) m_host.PlaceMainWindow(ZOrder::Top, st.mainX, st.mainY);
            m_mci.Send("window movie handle default");
            m_mci.Send(AttachCommand(m_host.HostId(PictureWindow::Video)));
        } else {
            m_host.PlaceMainWindow(ZOrder::Bottom, st.mainX, st.mainY);
            ShowOnScreen(PictureWindow::Desktop, VideoRect{0, 0, m_state.screenWidth, m_state.screenHeight});
            m_desktopShown = true;
            m_mci.Send("window movie handle default state minimized");
            m_mci.Send(AttachCommand(m_host.HostId(PictureWindow::Desktop)));
        }
        m_mci.Send(PutDestinationCommand(m_video.natural.x, m_video.natural.y, width, height));
        if (mode == kDesktopMode) {
            m_host.HideWindow(PictureWindow::Video);
            m_state.zoomShowTicks = 0;
        }
    }
    RefreshZOrder();
    m_host.FocusStepSink();
}

void VideoPlacement::PlaceFullScreen() {
    const int W = m_state.screenWidth;
    const int H = m_state.screenHeight;
    // The overlay goes first; a shown panel stays mapped (no flicker at every track change)
    // and is raised above the picture again below.
    if (m_state.panelInFullScreen == 0) m_host.HideWindow(PictureWindow::Overlay);
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});

    int& fit = m_settings.fullScreenFit;
    fit = fit <= kFitKeepingAspect ? kFitKeepingAspect : kStretch;
    m_video.fullScreen = FullScreenDestination(fit, W, H, m_video.natural, m_video.fullScreen, m_video);
    const VideoRect& d = m_video.fullScreen;
    m_mci.Send(PutDestinationCommand(d.x, d.y + kTopShift, d.width, d.height));

    if (m_state.panelInFullScreen == 0) {
        ShowOverlayTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
        m_host.HideWindow(PictureWindow::ControlPanel);
    } else {
        ShowControlPanelAtBottom(W, H);
    }
    m_host.FocusStepSink();
}

void VideoPlacement::SwitchFullScreen(bool leave) {
    if (leave) Leave();
    else Enter();
}

void VideoPlacement::Enter() {
    if (m_state.fullScreen == 1) return;
    // A switch inside another long operation (a dialog's loop) gives its busy back.
    const int outerBusy = m_state.busy;
    m_state.busy = 1;
    m_state.fullScreen = 1;
    m_host.SetCursorHidden(m_settings.hideCursor == 1);

    m_mci.Send("window movie handle default");
    MeasureScreen();
    m_state.panelInFullScreen = 0;
    HideDesktopHost();
    const int W = m_state.screenWidth;
    const int H = m_state.screenHeight;

    if (!m_host.WindowExists(PictureWindow::ControlPanel)) {
        m_host.CreateWindow(PictureWindow::ControlPanel);
        m_host.InitPanel(Effects(), W);
        ReadEffects();
        m_applied = Effects();
    }
    m_host.HideWindow(PictureWindow::ControlPanel);
    m_host.SetClickMode(m_settings.doubleClickPanel);
    if (m_settings.hideCursor == 1) {
        m_cursorSave = m_host.CursorPos();
        Park();
    }

    m_host.CreateWindow(PictureWindow::FullScreen);
    ShowFullScreenWindowTopmost(VideoRect{0, -kTopShift, W, H + kTopShift});
    m_host.RebuildOverlay(VideoRect{m_screen.x, m_screen.y - kTopShift, W, H + kTopShift});
    m_mci.Send(AttachCommand(m_host.HostId(PictureWindow::FullScreen)));
    m_mci.Send(PutDestinationCommand(0, kTopShift, W, H));

    m_mci.PauseKeepingPosition();
    PlaceFullScreen();
    Resume();
    m_state.busy = outerBusy;
    m_host.FocusStepSink();
}

void VideoPlacement::Leave() {
    if (m_state.fullScreen != 1) return;
    const int outerBusy = m_state.busy;
    m_state.busy = 1;
    m_state.fullScreen = 0;
    m_parked = false;
    m_state.volumeDragging = KnobDrag::Idle;
    m_state.seekDragging = KnobDrag::Idle;
    if (m_settings.hideCursor == 1) m_host.SetCursorPos(m_cursorSave);
    // Shown once, however often the panel showed or hid it before.
    m_host.SetCursorHidden(false);

    m_mci.Send("window movie handle default");
    ReadEffects();
    m_host.DestroyWindow(PictureWindow::FullScreen);
    m_host.DestroyWindow(PictureWindow::Overlay);
    m_host.DestroyWindow(PictureWindow::ControlPanel);
    m_state.panelInFullScreen = 0;

    m_mci.Send(AttachCommand(m_host.HostId(PictureWindow::Video)));
    m_mci.PauseKeepingPosition();
    PlaceWindowed();
    Resume();
    m_state.busy = outerBusy;
    m_host.FocusStepSink();
}

bool VideoPlacement::OnPlayerNotify(int code) {
    if (code != kNotifyTogglePanel && code != kNotifyLeaveFullScreen) return false;
    // A click queued just before full screen ended arrives afterwards: nothing to do.
    if (m_state.fullScreen == 1) {
        if (code == kNotifyTogglePanel) TogglePanel();
        else Leave();
    }
    m_host.FocusStepSink();
    return true;
}

void VideoPlacement::TogglePanel() {
    m_state.panelInFullScreen = m_state.panelInFullScreen == 1 ? 0 : 1;
    if (m_state.panelInFullScreen == 1) {
        // One click on the picture hides the panel again.
        m_host.SetClickMode(0);
        if (m_settings.hideCursor == 1) {
            m_parked = false;
            m_host.SetCursorPos(m_cursorSave);
            m_host.SetCursorHidden(false);
        }
        m_host.ShowPanelVolume(PanelValueFromVolume(m_volume));
    } else {
        if (m_settings.hideCursor == 1) m_host.SetCursorHidden(true);
        ReadEffects();
        if (Effects() != m_applied) {
            m_host.RebuildOverlay(
                VideoRect{m_screen.x, m_screen.y - kTopShift, m_state.screenWidth, m_state.screenHeight + kTopShift});
            m_applied = Effects();
        }
        m_host.SetClickMode(m_settings.doubleClickPanel);
        if (m_settings.hideCursor == 1) {
            m_cursorSave = m_host.CursorPos();
            Park();
        }
    }
    m_mci.PauseKeepingPosition();
    PlaceFullScreen();
    Resume();
}

void VideoPlacement::OnPointerMoved(ScreenPoint point) {
    if (m_parked && !(point == m_park)) m_host.SetCursorPos(m_park);
}

void VideoPlacement::FollowDevice() {
    if (m_state.closed == 1) HideDesktopHost();
}

int VideoPlacement::FullScreenWindowId() { return m_host.HostId(PictureWindow::FullScreen); }

void VideoPlacement::TakePanelDisplayEffects() { ReadEffects(); }

void VideoPlacement::ShowOverlayTopmost(const VideoRect& rect) { ShowOnScreen(PictureWindow::Overlay, rect); }

void VideoPlacement::ShowFullScreenWindowTopmost(const VideoRect& rect) {
    ShowOnScreen(PictureWindow::FullScreen, rect);
}

bool VideoPlacement::ControlPanelExists() { return m_host.WindowExists(PictureWindow::ControlPanel); }

void VideoPlacement::ShowControlPanelAtBottom(int screenWidth, int screenHeight) {
    ShowOnScreen(PictureWindow::ControlPanel, VideoRect{0, screenHeight - kPanelHeight, screenWidth, kPanelHeight});
}

void VideoPlacement::ShowOverlay(int screenWidth, int screenHeight) {
    ShowOnScreen(PictureWindow::Overlay, VideoRect{0, 0, screenWidth, screenHeight});
}

// --- helpers ---------------------------------------------------------------------------------

void VideoPlacement::Resume() {
    if (m_state.paused) m_mci.Send("seek movie to " + std::to_string(m_state.position));
    else m_mci.Send("play movie");
}

void VideoPlacement::RefreshZOrder() {
    const Settings& st = m_settings;
    if (st.alwaysOnTop == 1 && m_state.minimiseState == MinimiseState::Shown) {
        // Not topmost first, so that topmost lifts it above the other topmost windows.
        m_host.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
        m_host.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
    } else if (m_state.minimiseState >= MinimiseState::KeepingVideo) {
        m_host.PlaceMainWindow(ZOrder::Topmost, st.mainX, st.mainY);
        if (st.alwaysOnTop == 0) m_host.PlaceMainWindow(ZOrder::NotTopmost, st.mainX, st.mainY);
    }
}

void VideoPlacement::HideDesktopHost() {
    if (!m_desktopShown) return;
    m_host.HideWindow(PictureWindow::Desktop);
    m_desktopShown = false;
}

void VideoPlacement::MeasureScreen() {
    m_screen = m_host.PlayerScreen();
    m_state.screenWidth = m_screen.width;
    m_state.screenHeight = m_screen.height;
}

void VideoPlacement::ShowOnScreen(PictureWindow window, const VideoRect& rect) {
    // A rectangle without area (a screen of odd size, the 0 x 0 of "nothing to show") maps
    // nothing.
    if (rect.width <= 0 || rect.height <= 0) m_host.HideWindow(window);
    else m_host.ShowWindow(window, VideoRect{m_screen.x + rect.x, m_screen.y + rect.y, rect.width, rect.height});
}

void VideoPlacement::ReadEffects() {
    const DisplayEffects e = m_host.PanelEffects();
    m_settings.scanLineMode = e[0];
    m_lineMaskSwitch = e[1];
    m_settings.lineMaskTop = e[2];
    m_settings.lineMaskBottom = e[3];
}

DisplayEffects VideoPlacement::Effects() const {
    return {m_settings.scanLineMode, m_lineMaskSwitch, m_settings.lineMaskTop, m_settings.lineMaskBottom};
}

void VideoPlacement::Park() {
    // (0, 1) of the screen with scan-line mode 2, else (0, 0).
    m_park = {m_screen.x, m_screen.y + (m_settings.scanLineMode == 2 ? 1 : 0)};
    m_parked = true;
    m_host.SetCursorPos(m_park);
}
