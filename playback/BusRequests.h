#pragma once
#include <string>

struct PlayerState;
struct Settings;
class Playlist;
class MciSession;
class Clock;
class WaveVolume;

// The desktop bus (media keys, sound applets, MPRIS clients) only writes requests into
// PlayerState, as the skin's controls do; the full tick carries them out here, through the
// same device commands and record changes as the matching control:
// - busSeekMs >= 0: the position knob's jump: "play movie from n" while playing, "seek movie
//   to n" while paused, n the time in the display's format (frames when it shows frames),
//   clamped to the track; nothing while closed. `position` and the knob follow.
// - busVolume 0..65535: the control panel's volume, on both channels; the knob follows.
// - busShuffle 0/1: the SHUFFLE button (turning it on builds a new play order).
// - busRepeat 0/1: the REPEAT button.
// Each request is cleared once carried out. User-interface thread only.
void CarryOutBusRequests(PlayerState& state, Settings& settings, Playlist& playlist, MciSession& mci, Clock& clock,
                         WaveVolume& volume);

// Milliseconds in the device format the display uses (timeFormatMs), by the track's lengths.
int DevicePositionFromMs(const PlayerState& state, long long ms);
// The device position of a full tick's poll (polledPosition) in milliseconds.
long long PositionMsFromDevice(const PlayerState& state, int devicePosition);

// The track the desktop is told about (its id and metadata): while media is open the entry the
// last open named, even after currentIndex moved without an open (turning shuffle on points it
// at the order's first entry); while closed the entry play would open. index -1: none.
struct BusTrack {
    int index = -1;
    std::string path;
};
BusTrack TrackOnTheBus(const PlayerState& state, const Playlist& playlist);
