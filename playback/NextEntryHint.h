#pragma once
#include <optional>
#include <string>

#include "playback/PlaybackContext.h"

class Playlist;
struct Settings;

// The entry that StepToNext would open after the current one, by the same shuffle and
// repeat rules, without moving anything; none at the end of the list without repeat, or
// with an empty list.
std::optional<int> NextEntryIndex(const Playlist& list, int shuffle, int repeat);

// Tells the device which file follows the open one (MciSession::CueNext), with its gain
// (EntryGainWord), so that it can read it ahead and go on to it without a gap; called every
// full tick, so that a change of the list, the order, shuffle, repeat or the loudness mode
// re-cues (or withdraws) it within a tick. Nothing while the device is closed.
void CueNextEntry(PlaybackContext& context);

// The gain of the file at `path` by its loudness tags and settings.gainMode (auto: album while
// the list plays in order, track while shuffled), as the device's commands write it ("-6.02");
// empty when the file plays as it is (no tags, mode off, or a gain that rounds to 0). Sent
// with the cue, and after the open before play ("set movie gain"), so the gain holds from
// the track's first sample.
std::string EntryGainWord(const std::string& path, const Settings& settings);
