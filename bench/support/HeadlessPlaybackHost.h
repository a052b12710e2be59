#pragma once
#include <string>

#include "playback/PlaybackHost.h"

// A player without windows for the benchmarks: nothing is drawn and the picture goes to no
// host, so only the playback code and the device are measured.
class HeadlessPlaybackHost : public PlaybackHost {
public:
    void ComposeButtons() override {}
    void ComposeDisplayAndPresent(int) override {}
    TitleLineEnds DrawTitleLines(const std::string&, const std::string&) override { return {}; }
    void ShowModeReply(const std::string&) override {}
    int VideoWindowId() override { return 0; }
    int FullScreenWindowId() override { return 0; }
    void PlaceVideo() override {}
    void TakePanelDisplayEffects() override {}
    void ShowOverlayTopmost(const VideoRect&) override {}
    void ShowFullScreenWindowTopmost(const VideoRect&) override {}
    void PlaceMainWindow(ZOrder, int, int) override {}
    bool IsMainWindowMinimised() override { return false; }
    void FocusStepSink() override {}
    bool PlaylistEditorExists() override { return false; }
    void MarkCurrentInEditor(int) override {}
};
