#pragma once
// A full-screen controller on the real windows (offscreen), a scripted device and a host
// that records what the main window was asked to do.
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "panels/ControlPanel.h"
#include "panels/FullScreenWindows.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "playback/PlaybackContext.h"
#include "player/FullScreen.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"

using Strings = std::vector<std::string>;

inline QApplication& App() { return TestApplication(); }

class FakeVolume final : public WaveVolume {
public:
    uint32_t volume = 0xFFFFFFFFu;
    bool Get(uint32_t& v) override { v = volume; return true; }
    bool Set(uint32_t v) override { volume = v; return true; }
};

// The main window's side. Its windowed placement leaves a marker among the device
// commands, so the order of both can be checked in one list.
class RecordingHost final : public FullScreenHost {
public:
    static constexpr int kVideoWindowId = 77;
    static constexpr const char* kWindowedMarker = "<windowed placement>";

    explicit RecordingHost(ScriptedMediaDevice& device) : device_(device) {}

    CFullScreenDlg* FullScreenDialog() override { return fullScreen.get(); }
    CFullScreenOverlayDlg* OverlayDialog() override { return overlay.get(); }
    CControlPanelDlg* ControlPanelDialog() override { return panel.get(); }
    void PlaceVideoWindowed() override { device_.sent.push_back(kWindowedMarker); }
    int VideoWindowId() override { return kVideoWindowId; }
    void FocusStepSink() override { ++focusCount; }
    ScreenArea MeasureScreen() override { return screen; }
    CursorPoint CursorPos() override { return cursor; }
    void SetCursorPos(CursorPoint p) override {
        cursor = p;
        cursorMoves.push_back(p);
    }
    // The quit path deletes the auxiliary objects.
    void DeleteDialogs() {
        fullScreen.reset();
        overlay.reset();
        panel.reset();
    }

    std::unique_ptr<CFullScreenDlg> fullScreen = std::make_unique<CFullScreenDlg>(nullptr);
    std::unique_ptr<CFullScreenOverlayDlg> overlay = std::make_unique<CFullScreenOverlayDlg>(nullptr);
    std::unique_ptr<CControlPanelDlg> panel = std::make_unique<CControlPanelDlg>(nullptr);
    ScreenArea screen{0, 0, 1024, 768};
    CursorPoint cursor{500, 400};
    std::vector<CursorPoint> cursorMoves;
    int focusCount = 0;

private:
    ScriptedMediaDevice& device_;
};

struct Rig {
    Rig() {
        App();
        video.natural = VideoRect{0, 0, 320, 240};
        state.closed = 0;
    }
    // Enters full screen and forgets what that sent.
    void Enter() {
        fullScreen.SwitchFullScreen(false);
        device.ClearSent();
        host.cursorMoves.clear();
    }
    std::string FullScreenHandle() const { return "window movie handle " + std::to_string(host.fullScreen->HostId()); }
    QScrollBar* PanelBar(int id) const { return qobject_cast<QScrollBar*>(host.panel->Control(id)); }

    PlayerState state;
    Settings settings;
    ScriptedMediaDevice device;
    MciSession mci{device, state};
    VideoGeometry video;
    FakeVolume volume;
    RecordingHost host{device};
    FullScreenController fullScreen{state, settings, mci, video, volume, host};
};
