#pragma once
// A playback context over the scripted device and a host that records its calls into the
// device's own log, so that device commands and window effects are checked in one order.
#include <string>
#include <vector>

#include "playback/MciSession.h"
#include "playback/PlaybackContext.h"
#include "playback/PlaybackHost.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

using Strings = std::vector<std::string>;

inline const char* ZOrderName(ZOrder order) {
    switch (order) {
    case ZOrder::Top: return "top";
    case ZOrder::Bottom: return "bottom";
    case ZOrder::Topmost: return "topmost";
    case ZOrder::NotTopmost: return "not topmost";
    }
    return "?";
}

inline std::string RectText(const VideoRect& r) {
    return std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
           std::to_string(r.height);
}

class RecordingHost final : public PlaybackHost {
public:
    explicit RecordingHost(Strings& log) : log_(log) {}

    void ComposeButtons() override { log_.push_back("[compose buttons]"); }
    void ComposeDisplayAndPresent(int devicePosition) override {
        log_.push_back("[present " + std::to_string(devicePosition) + "]");
    }
    TitleLineEnds DrawTitleLines(const std::string& line1, const std::string& line2) override {
        log_.push_back("[title lines]");
        this->line1 = line1;
        this->line2 = line2;
        return lineEnds;
    }
    void ShowModeReply(const std::string& reply) override { log_.push_back("[mode " + reply + "]"); }
    int VideoWindowId() override { return videoId; }
    int FullScreenWindowId() override { return fullScreenId; }
    void PlaceVideo() override { log_.push_back("[place video]"); }
    void TakePanelDisplayEffects() override { log_.push_back("[panel effects]"); }
    void ShowOverlayTopmost(const VideoRect& r) override { log_.push_back("[overlay topmost " + RectText(r) + "]"); }
    void ShowFullScreenWindowTopmost(const VideoRect& r) override {
        log_.push_back("[full screen topmost " + RectText(r) + "]");
    }
    void PlaceMainWindow(ZOrder order, int x, int y) override {
        log_.push_back(std::string("[main ") + ZOrderName(order) + " " + std::to_string(x) + " " + std::to_string(y) + "]");
    }
    bool IsMainWindowMinimised() override { return minimised; }
    void FocusStepSink() override { log_.push_back("[focus]"); }
    bool PlaylistEditorExists() override { return editorExists; }
    void MarkCurrentInEditor(int index) override { log_.push_back("[mark " + std::to_string(index) + "]"); }

    int videoId = 7;
    int fullScreenId = 9;
    bool minimised = false;
    bool editorExists = false;
    TitleLineEnds lineEnds{104, 208};
    std::string line1, line2;

private:
    Strings& log_;
};

struct PlaybackRig {
    ScriptedMediaDevice device;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    MciSession mci{device, state};
    RecordingHost host{device.sent};
    VideoGeometry video;
    FakeClock clock{1000};
    PlaybackContext context{state, settings, playlist, mci, host, video, clock};

    // Entries in store order; count follows the store.
    void SetEntries(const Strings& paths) {
        playlist.ClearStore();
        for (const std::string& p : paths) playlist.InsertAt(playlist.StoreSize(), p);
        playlist.SyncCount();
    }
    // The device reports milliseconds, is switched to frames for the frame length and back.
    void ScriptLengths(const std::string& frames, const std::string& ms) {
        device.AnswerOnce("status movie time format", "milliseconds");
        device.AnswerOnce("status movie time format", "frames");
        device.AnswerOnce("status movie time format", "milliseconds");
        device.AnswerOnce("status movie length", frames);
        device.AnswerOnce("status movie length", ms);
    }
};

// The command traffic of measuring the lengths as scripted by ScriptLengths.
inline Strings LengthTraffic() {
    return {"status movie time format", "set movie time format frames", "status movie length",
            "status movie time format", "set movie time format milliseconds", "status movie length",
            "status movie time format"};
}

inline Strings Concat(std::initializer_list<Strings> parts) {
    Strings all;
    for (const Strings& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}
