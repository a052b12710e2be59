#pragma once
#include <string>
#include <string_view>

#include "playback/PlaybackContext.h"

struct TrackTag;

// Turns the playlist's current entry into a playing device: closes what was open, reads the
// tag, changes into the track's folder, opens the file by its name under the alias "movie",
// attaches the picture (video window or full-screen window), measures the lengths in frames
// and milliseconds, starts playback from 0, builds the two title lines and refreshes the main
// window's z-order. With an empty playlist it only closes the device. busy is 1 throughout
// and 0 afterwards.
//
// Right after the open command it asks "status movie mode": an empty answer means the file
// would not open. That counts as the end of the track: the name shows at once in the title
// ticker, failedTrackWait gives the tick a moment (kFailedTrackShowCalls timer calls) before
// it steps on by the list rules, and the cause is logged. When failedOpensInARow reaches the
// number of entries (a full round of failures) the device is closed instead. An open from a
// closed device starts a new round.
//
// A device that answers "not ready" opens the file in the background: the track's name shows,
// PlayerState::trackOpening is set, and the player goes on answering; every full tick then
// asks ContinueOpeningTrack to finish the open as above once the device has answered for it.
// Any other open, or a close, gives it up.
void OpenCurrentTrack(PlaybackContext& context);
void ContinueOpeningTrack(PlaybackContext& context);

// Leads title line 1 of every track that plays without sound (no sound output open).
inline constexpr const char* kNoSoundNotice = " 音声出力なし：無音で再生中 |";

// About a second of 30 ms timer calls.
inline constexpr int kFailedTrackShowCalls = 34;

// Why the file at `path` would not play, for the log: missing, a folder, not a regular file
// (a FIFO), unreadable, empty, or else not media the device knows.
std::string WhyTrackWillNotPlay(const std::string& path);

// Makes MciSession::TogglePlayPause open the current entry through OpenCurrentTrack.
// `context` must outlive the session's use of it.
void InstallTrackOpener(PlaybackContext& context);

// Title line 1: " name  <h:mm:ss> |" with the display name and the length.
std::string TitleLine1(std::string_view displayName, int lengthMs);
// Title line 2: " title ： artist  |" (full-width colon) when a tag is present, else line 1.
std::string TitleLine2(const TrackTag& tag, const std::string& line1);

// The reply of "where movie destination": four fields cut at single blanks (x, y, width,
// height), each a plain decimal conversion of at most 59 characters; missing fields are 0.
VideoRect ParseDestination(std::string_view reply);

// The full-screen destination (before its 20-pixel shift) for the zoom mode `fit` on a
// screen of `screenWidth` x `screenHeight`: 0 keeps `previous` (and sets the half size),
// 1..3 the largest whole multiple up to the mode that fits, centred; 4 fits keeping the
// aspect ratio; 5 and above stretches. `geometry` receives the half size in mode 0.
VideoRect FullScreenDestination(int fit, int screenWidth, int screenHeight, const VideoRect& natural,
                                const VideoRect& previous, VideoGeometry& geometry);
