#pragma once
#include <cstddef>
#include <functional>
#include <string>

class MediaDevice;
struct PlayerState;

// The player's side of the media device: every command is a text string addressed to the
// alias "movie", every reply a text string read with atoi or compared exactly.
// No result is examined; a failed or empty query reads as 0. User-interface thread only.
class MciSession {
public:
    MciSession(MediaDevice& device, PlayerState& state);

    // Opening the current playlist entry (installed by the owner of the track opener);
    // TogglePlayPause uses it when nothing is open.
    void SetTrackOpener(std::function<void()> openCurrentTrack);

    // Sends a command without a reply buffer.
    void Send(const std::string& command);
    // atoi of the reply (0 when empty or not a number).
    int QueryNumber(const std::string& command);
    // The reply, at most size - 1 characters (the mode reply uses size 8).
    std::string QueryText(const std::string& command, std::size_t size);

    // "close movie" (an open still running is given up); closed = 1, paused = 0, seekKnobX = 0.
    void Close();
    // Play/pause: a search always ends in play; with nothing open the current entry opens.
    void TogglePlayPause();
    // Moves the position relative to the device's, by a SeekMode; by the speed table
    // `amount` is a SeekUnit. Returns the new position, read in the display's format after
    // restoring it.
    int SeekRelative(int mode, int amount);
    // Switches the device to milliseconds (wantMs != 0) or frames; returns wantMs.
    int SelectTimeFormat(int wantMs);
    // lengthFrames and lengthMs from the device, then the display's format back.
    void MeasureLengths();
    // A length of 0 is unknown (a stream that states none): asked again in the display's
    // format, and once the device knows it both lengths are measured. True when it did.
    bool LearnLength();
    // "pause movie" before a change of the picture's placement or a pause; while paused,
    // `position` is then read from the device, so that the seek which restores the picture
    // afterwards returns to where it really stands, not to an older reading.
    void PauseKeepingPosition();
    // A one-unit step while paused (BACK/NEXT, the panel's steps): from the device's current
    // position, in its current time format, `units` on (never below 0), "seek movie to %d".
    void StepWhilePaused(int units);
    // BACK/NEXT while paused: `pictures` pictures on, whatever the display shows. A display in
    // milliseconds has the device counted in frames for the step (a millisecond shows the same
    // picture) and back in milliseconds after it, `position` then read in milliseconds.
    void StepPictures(int pictures);

    // Names the file that follows the open one ("cue movie next", a hint the device may
    // ignore; empty: none follows), with its gain in dB when `gain` is not empty ("... gain
    // -6.02"). Logged when it changes.
    void CueNext(const std::string& path, const std::string& gain = {});

    MediaDevice& Device() { return m_device; }

private:
    MediaDevice& m_device;
    PlayerState& m_state;
    std::function<void()> m_openCurrentTrack;
    std::string m_lastCue;
};

// "put movie destination at x y w h": where the picture goes inside its host window.
std::string PutDestinationCommand(int x, int y, int width, int height);

// SeekRelative's modes: frames or milliseconds by the speed table (speed's step), or
// `amount` milliseconds.
enum SeekMode : int { kSeekFrames = 0, kSeekBySpeed = 1, kSeekByAmount = 3 };
// The speed table's unit in SeekRelative: seconds, 30 ms, or one (frame or millisecond).
enum SeekUnit : int { kUnitSecond = 0, kUnit30Ms = 1, kUnitOneFrame = 2 };

// Reply size of "status movie mode": only replies of up to 7 characters arrive whole.
constexpr std::size_t kModeReplySize = 8;
// Reply size of the other queries.
constexpr std::size_t kReplySize = 256;
