#pragma once
#include <QWidget>
#include <functional>
#include <memory>

#include "panels/AuxiliaryWindows.h"
#include "panels/PlayerNotify.h"
#include "playback/VideoPlacementHost.h"

class CPlayerDlg;
class VideoHostWidget;

// The Qt side of video placement: owns the video window, the desktop host and the auxiliary
// objects of the full-screen windows and the control panel, and places them (and the main
// window's z-order) as VideoPlacement asks. It decides nothing. User-interface thread only.
class VideoWindows final : public VideoPlacementHost {
public:
    VideoWindows(CPlayerDlg* player, QWidget& mainWindow);
    ~VideoWindows() override;

    // The auxiliary objects; null once the quit path has deleted them.
    CFullScreenDlg* FullScreenDialog() const { return m_fullScreen.get(); }
    CVideoWindowDlg* VideoDialog() const { return m_videoDlg.get(); }
    CFullScreenOverlayDlg* OverlayDialog() const { return m_overlay.get(); }
    CControlPanelDlg* ControlPanelDialog() const { return m_panel.get(); }
    VideoHostWidget* VideoWindow() const { return m_videoWindow.get(); }

    // How the full-screen windows report clicks (queued) and pointer moves.
    void SetNotify(const PlayerNotify& notify);
    void SetPointerMoved(std::function<void(ScreenPoint)> moved);
    // The first tick: the video window is made at (x, y), unmapped until it has a picture.
    void MakeVideoWindow(int x, int y);
    // The quit path: the picture's hosts, then the auxiliary objects.
    void DestroyHostWindows();
    void DeleteDialogs();
    // The FULL button's follow-up: both full-screen scroll bars to x.
    void MoveStepBarsOffScreen(int x);
    void SetMainZOrder(ZOrder order);

    ScreenArea PlayerScreen() override;
    ScreenArea AvailableArea(const VideoRect& window) override;
    void ShowWindow(PictureWindow window, const VideoRect& rect) override;
    void HideWindow(PictureWindow window) override;
    int HostId(PictureWindow window) override;
    void CreateWindow(PictureWindow window) override;
    void DestroyWindow(PictureWindow window) override;
    bool WindowExists(PictureWindow window) override;
    void RebuildOverlay(const VideoRect& rect) override;
    void SetClickMode(int mode) override;
    void InitPanel(const DisplayEffects& effects, int screenWidth) override;
    DisplayEffects PanelEffects() override;
    void ShowPanelVolume(int level) override;
    void SetCursorHidden(bool hidden) override;
    ScreenPoint CursorPos() override;
    void SetCursorPos(ScreenPoint point) override;
    ScreenPoint VideoWindowCorner() override;
    void PlaceMainWindow(ZOrder order, int x, int y) override;
    void FocusStepSink() override;

private:
    VideoHostWidget& EnsureVideoWindow();
    VideoHostWidget& EnsureDesktopHost();

    QWidget& m_main;
    std::unique_ptr<CFullScreenDlg> m_fullScreen;
    std::unique_ptr<CVideoWindowDlg> m_videoDlg;
    std::unique_ptr<CFullScreenOverlayDlg> m_overlay;
    std::unique_ptr<CControlPanelDlg> m_panel;
    std::unique_ptr<VideoHostWidget> m_videoWindow;
    std::unique_ptr<VideoHostWidget> m_desktopHost;
    std::function<void(ScreenPoint)> m_pointerMoved;
};
