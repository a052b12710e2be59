#pragma once
#include <string>
#include <string_view>

#include "playback/PlaybackContext.h"

// PlayerState::trackRequest: the next audio or subtitle track of the open file.
enum TrackRequest : int { kTrackNone = 0, kTrackAudio = 1, kTrackSubtitle = 2 };

// Full ticks (150 ms each) the chosen track's language shows in the title line: 3 s.
constexpr int kTrackNoticeTicks = 20;

// The title line after a change of track, from the device's reply "<n> <count> <language>"
// to "track movie audio|subtitle next": " 音声 2/2: jpn |", " 字幕 0/1: なし |". Empty when the
// reply is not of that form.
std::string TrackNotice(TrackRequest kind, std::string_view reply);

// Carries out PlayerState::trackRequest and clears it: asks the device for the next track and
// shows the notice in both title lines, at once (no scrolling in); counts a notice down and
// then draws the open track's own title lines back (PlayerState::titleLine1, titleLine2). Called from
// every playback tick.
void CarryOutTrackRequest(PlaybackContext& context);
