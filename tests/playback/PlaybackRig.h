#pragma once
// A playback context over the scripted device and a host that records its calls into the
// device's log, so that device commands and window effects are checked in one order.
#include <array>
#include <string>
#include <vector>
#include "playback/MciSession.h"
#include "playback/PlaybackContext.h"
#include "playback/PlaybackHost.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/FakeWaveVolume.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

using Strings = std::vector<std::string>;

inline std::string Nums(std::initializer_list<int> values) {  // each value after a blank
    std::string text;
    for (int v : values) text += " " + std::to_string(v);
    return text;
}
inline std::string Nums(const VideoRect& r) { return Nums({r.x, r.y, r.width, r.height}); }

// The requests a case starts with: requests are bound to their record, so a designated PlayerState cannot carry them.
struct Asked {
    PendingCommand command = kCmdNone;
    bool close = false, toggle = false;
    int speedStep = 0, wheel = 0, track = 0;
    std::optional<HandedCommandLine> handed{};
};
inline void Ask(PlayerState& s, const Asked& a) {
    s.pendingCommand.Ask(a.command);
    s.closeRequest.Ask(a.close);
    s.toggleRequest.Ask(a.toggle);
    s.speedStepRequest.Ask(a.speedStep);
    s.wheelStep.Ask(a.wheel);
    s.trackRequest.Ask(a.track);
    s.handedCommandLine.Ask(a.handed);
}

inline const char* ZOrderName(ZOrder o) { return std::array{"top", "bottom", "topmost", "not topmost"}[int(o)]; }

class RecordingHost final : public PlaybackHost {
public:
    explicit RecordingHost(Strings& log) : m_log(log) {}
    void ComposeButtons() override { Log("compose buttons"); }
    void ComposeDisplayAndPresent(int position) override { Log("present " + std::to_string(position)); }
    TitleLineEnds DrawTitleLines(const std::string& first, const std::string&) override {
        Log("title lines");
        line1 = first;
        return {104, 208};
    }
    void ShowModeReply(const std::string& reply) override { Log("mode " + reply); }
    int VideoWindowId() override { return 7; } int FullScreenWindowId() override { return 9; }
    void PlaceVideo() override { Log("place video"); }
    void TakePanelDisplayEffects() override { Log("panel effects"); }
    void ShowOverlayTopmost(const VideoRect& r) override { Log("overlay topmost" + Nums(r)); }
    void ShowFullScreenWindowTopmost(const VideoRect& r) override { Log("full screen topmost" + Nums(r)); }
    void PlaceMainWindow(ZOrder o, int x, int y) override { Log(std::string("main ") + ZOrderName(o) + Nums({x, y})); }
    bool IsMainWindowMinimised() override { return minimised; }
    void FocusStepSink() override { Log("focus"); }
    bool PlaylistEditorExists() override { return editorExists; }
    void MarkCurrentInEditor(int index) override { Log("mark " + std::to_string(index)); }
    bool minimised = false, editorExists = false;
    std::string line1;

private:
    void Log(const std::string& what) { m_log.push_back("[" + what + "]"); }
    Strings& m_log;
};

struct PlaybackRig {
    // A device that opens what it is given: it answers its mode once something is open.
    PlaybackRig() { device.Answer("status movie mode", "stopped"); }
    CurrentFolderGuard cwd; TempFolder tmp;  // an open may change the current folder
    ScriptedMediaDevice device;
    PlayerState state; Settings settings; Playlist playlist;
    MciSession mci{device, state};
    RecordingHost host{device.sent};
    VideoGeometry video; FakeClock clock{1000};
    FakeWaveVolume volume{0x80008000u};  // both channels half way: the panel's level 127
    PlaybackContext context{state, settings, playlist, mci, host, video, clock};

    // Entries in store order; count follows the store.
    void SetEntries(const Strings& paths) {
        for (playlist.ClearStore(); const std::string& p : paths) playlist.InsertAt(playlist.StoreSize(), p);
        playlist.SyncCount();
    }
};

inline Strings Concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
