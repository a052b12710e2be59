#pragma once
#include <memory>
#include <string>

#include "platform/MediaDevice.h"

// Settings of one device. The player uses the defaults; tests choose the audio output.
struct MediaDeviceOptions {
    // Audio outputs in libmpv's "ao" syntax; empty: the machine's usual outputs. Whatever is
    // chosen, a machine where no output opens plays through the null output, silently and at
    // the right speed.
    std::string audioOutput;
    // With audioOutput "pcm": the played samples, signed 16-bit stereo, are appended to this file.
    std::string pcmCaptureFile;
    // Bounds of the commands, in milliseconds: an open answers within openWaitMs and may go on
    // in the background until openTimeoutMs (see open below).
    int openWaitMs = 100;
    int openTimeoutMs = 5000;
    int seekTimeoutMs = 3000;
    int closeTimeoutMs = 2000;
};

struct DeviceReply {
    bool ok = false;   // the command took effect
    std::string text;  // the reply; empty for commands that have none
};

// The media device on libmpv: the mpegvideo-style command strings of the player (see
// DeviceCommand.h) for one alias at a time.
//
// Replies: "status ... position|length" a decimal number in the current time format;
// "status ... mode" "playing", "paused" or "stopped"; "status ... time format" "frames" or
// "milliseconds"; "where ... destination" "x y w h". Every other command answers empty
// when it succeeds, as the MediaDevice contract has it; failures (malformed or unknown
// commands, a wrong alias, nothing open, a file that does not open, a refused time format,
// an unknown host) answer empty too and are logged (VELKAF_LOG=1). Execute tells success
// and failure apart for the device shell and tests.
//
// Behaviour:
// - open answers within openWaitMs. Mostly the media is open then: stopped at 0, length, frame
//   rate and picture size known. An open that takes longer goes on in the background:
//   meanwhile "status <alias> mode" answers "not ready", close gives it up, and every
//   other command fails; the first command after it has finished finds the media open (mode
//   "stopped"), or nothing open when it failed. Past openTimeoutMs it is given up. A given-up
//   open whose file libmpv cannot let go of (its read never returns) leaves that libmpv core
//   behind, never destroyed, and the next command starts a fresh one; a close of a medium whose
//   read stalls does the same. So no read of a file ever holds the caller or the next file.
//   An open while another medium is open closes that one first. Relative paths resolve against the current directory; only
//   regular files are opened (no URLs, no playlists), and none whose first read does not
//   finish within kMediaReadBoundMs or that states no bytes (platform/ReadProbe.h): libmpv
//   would wait for it for good. The same holds for a cue.
// - Time format: milliseconds after open; frames only for media with a picture. Frame n
//   starts at t0 + n / fps, where t0 is the first frame's time; seeks are exact, so a seek
//   to frame n shows frame n. Positions are measured from t0.
// - seek leaves the device stopped at the new position, showing the frame on screen at
//   that time; until playback resumes the position reads back as the value sought (so
//   steps shorter than a frame add up). A seek to the length or beyond stops at the end,
//   below 0 at the start. stop keeps the position; pause while stopped gives "paused";
//   pause at the end keeps "stopped"; play at the end does nothing.
// - The length is the duration the file states, or libmpv's estimate of it (an MPEG audio
//   stream's bit rate), from the first frame (sound alone from 0); it is the same whether the
//   entry was opened or adopted, and never depends on when it is read. A stream that states
//   none (a raw MPEG video stream) has length 0 until libmpv knows it: once its demuxer has
//   read to the end (about a second ahead of what plays), at the latest the end reached by
//   playing gives it; its positions and seeks are not cut meanwhile. AAC in MP4 ends at its stated length, to the sample
//   (libmpv would go on with the encoder's padding).
// - At the end the device stays open on the last picture, reports "stopped" and its
//   position equals its length; before the end the position stays below the length, even
//   where the stated length falls short. A file that libmpv gives up on while it plays (an
//   error, the file cut or spoiled under it) has reached its end.
// - window handle n attaches the picture to the VideoHostRegistry host n; handle default
//   (with or without "state minimized") detaches it. put destination sets the rectangle in
//   the host (bare "put ... destination" restores the natural rectangle); the picture is
//   rendered at that size on the device's render thread. Both return once the host holds
//   a frame for the new place (bounded).
// - Following entry (extension, sent through SendHint; a caller that never sends it sees
//   none of this): "cue <alias> next <path>" names the file that follows the open one.
//   The device reads it ahead and, at the end of the open one, goes on to it without a gap:
//   the open one reports its end (position = length, "stopped") once the cued one has taken
//   over and its first sample is heard. Closing the ended one and opening the cued file
//   then adopts it as it sounds: open answers as always (stopped, position from its first
//   sample), and the opener's stop, pause, window, put, set, where, status and play (from 0)
//   leave it sounding; the first other command ends that grace, and a pause or stop it left
//   then takes effect. A closed entry's successor that is not opened next (any other
//   command, or none within 0.4 s) is stopped. "cue <alias> next" withdraws it; so does any
//   open of another file, and a cue of another file replaces it. A cue after the end has
//   been reached changes nothing.
// - Tracks: Japanese sound and subtitles first (ja, jpn), else the file's defaults; a
//   subtitle file of the video's name beside it (.srt, .ass) is shown. "track <alias>
//   audio|subtitle [next]" names the chosen track, or chooses the next one (MpvTracks.h).
// - libmpv is loaded and started at the first open (or Ready), never before, and lives, with
//   its audio output, until the device is destroyed; when it cannot start, one line goes to
//   standard error and every command fails. When no sound output opens, playback goes on
//   silently through the null output: PlaysSilently turns true and one line goes to
//   standard error. Meanwhile no cue is taken, and once a sound server listens again the
//   output is reopened where the medium stands (no time skipped): PlaysSilently turns false
//   and that is said too.
// - Gain (extension): "cue ... gain <dB>" gives the cued entry its gain, "set <alias> gain <dB>"
//   the open one (sent after the open, before play); each is heard from that entry's first
//   sample, and a change of track with a gain stays gapless (EntryGain.h). A cue of the same
//   file with another gain queues it again.
// - The process-wide wave volume (ProcessWaveVolume) is applied as a linear amplitude
//   factor, at once, to whatever plays, on top of an entry's gain.
//
// Lifetime: make the device after the application object (and LC_NUMERIC "C"); destroy it
// before the application object. Hosts may come and go in any order relative to it.
//
// Threading: this file is the command engine. SendString/Execute run on the caller's thread
// (the user-interface thread; calls from several are serialised by the engine's lock), and
// every libmpv command, property and wait of the device is made there. The device runs three
// threads of its own: the event pump (MpvEventPump.h) waits on libmpv's events and answers its
// preload hook, the renderer (MpvRenderer.h) renders frames into its frame pool, and the grace
// watch (MpvHandover.h) stops a closed entry's successor that nobody opens. libmpv's callbacks
// only post to them.
class MpvMediaDevice final : public MediaDevice {
public:
    explicit MpvMediaDevice(const MediaDeviceOptions& options = {});
    // Closes the medium, then: stops the render thread, clears libmpv's callbacks, frees
    // the render context, stops the event thread, destroys the libmpv handle.
    ~MpvMediaDevice() override;
    MpvMediaDevice(const MpvMediaDevice&) = delete;
    MpvMediaDevice& operator=(const MpvMediaDevice&) = delete;

    // Starts libmpv unless it runs already; false when it cannot be started (then every
    // command fails). Without it the first open starts libmpv.
    bool Ready() const;

    std::string SendString(const std::string& command) override;
    // Carries "cue" commands (any other command is refused).
    std::string SendHint(const std::string& command) override;
    bool PlaysSilently() override;
    DeviceReply Execute(const std::string& command);
    // Entries in libmpv's own playlist (the open one and at most one successor); for tests.
    int EnginePlaylistCount();

private:
    class Engine;
    std::unique_ptr<Engine> m_engine;
};
