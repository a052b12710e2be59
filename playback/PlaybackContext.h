#pragma once
#include <string>

#include "media/TrackTag.h"
#include "playback/PlaybackHost.h"

struct PlayerState;
struct Settings;
class Playlist;
class MciSession;
class Clock;

// Where the picture goes, as learnt when a track opens: the natural rectangle from
// "where movie destination" (kept when the reply is empty), the full-screen destination
// before its 20-pixel shift, and half the natural size. Video placement reads it.
struct VideoGeometry {
    VideoRect natural;
    VideoRect fullScreen;
    int halfWidth = 0;
    int halfHeight = 0;
    bool picture = false;  // the open entry has a picture (its "where movie destination" answered)
};

// The entry whose open the device finishes in the background (PlayerState::trackOpening):
// what OpenCurrentTrack had read of it before, to finish the open with.
struct TrackOpening {
    std::string path;
    std::string displayName;
    TrackTag tag;
    std::string gain;  // the gain word for "set movie gain", empty: none
};

// The records and services the playback code works on; one of each for the whole run,
// owned by the main window. User-interface thread only.
struct PlaybackContext {
    PlayerState& state;
    Settings& settings;
    Playlist& playlist;
    MciSession& mci;
    PlaybackHost& host;
    VideoGeometry& video;
    Clock& clock;  // seeds the play order after a drop or a chosen file
    TrackOpening opening{};
};
