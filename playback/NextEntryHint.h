#pragma once
#include <optional>

#include "playback/PlaybackContext.h"

class Playlist;

// The entry that StepToNext would open after the current one, by the same shuffle and
// repeat rules, without moving anything; none at the end of the list without repeat, or
// with an empty list.
std::optional<int> NextEntryIndex(const Playlist& list, int shuffle, int repeat);

// Tells the device which file follows the open one (MciSession::CueNext), so that it can
// read it ahead and go on to it without a gap; called every full tick, so that a change of
// the list, the order, shuffle or repeat re-cues (or withdraws) it within a tick. Nothing
// while the device is closed.
void CueNextEntry(PlaybackContext& context);
