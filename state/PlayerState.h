#pragma once
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "state/Requests.h"

// Codes of PlayerState::pendingCommand. The playback tick carries out 1..11 and 66;
// 14..16 are carried out by the mouse-button-up handler; 17 is quitPending.
enum PendingCommand : int {
    kCmdNone = 0,
    kCmdOpenAndPlay = 1,
    kCmdPlay = 2,
    kCmdPause = 3,
    kCmdClose = 4,
    kCmdPreviousTrack = 5,
    kCmdNextTrack = 6,
    kCmdSearchBackward = 7,
    kCmdSearchForward = 8,
    kCmdEndSearch = 9,
    kCmdSmallerVideo = 10,
    kCmdLargerVideo = 11,
    kCmdOpenButton = 14,
    kCmdSettingsDialog = 15,
    kCmdFullScreen = 16,
    kCmdQuit = 17,
    kCmdCheckEnd = 66,
};

// Full ticks every fifth timer call (150 ms) while idle; tickDivisor 0 runs one on every call.
constexpr int kSlowTickDivisor = 5;

// The step keys a key poll found (PlayerState::keysHeld, prevKeysHeld), one bit each.
enum HeldKey : uint8_t { kHeldComma = 1, kHeldRight = 2, kHeldLeft = 4, kHeldFullStop = 8 };

// The skin buttons' light counters (PlayerState::buttonCounters): set to 1 by a press, counted
// down by every playback tick while no mouse button is held; > 0 draws the button lit.
enum ButtonCounter : int {
    kCounterPlay = 0,
    kCounterPause = 1,     // STILL pressed while paused or closed: its grey form
    kCounterPauseLit = 2,  // STILL pressed while playing: its lit form
    kCounterStop = 3,
    kCounterPrevious = 4,
    kCounterNext = 5,
    kCounterSearchBackward = 6,
    kCounterSearchForward = 7,
    kCounterSmallerVideo = 10,
    kCounterLargerVideo = 11,
    kCounterOpen = 14,
    kCounterSettings = 15,
    kCounterFullScreen = 16,
    kCounterClose = 17,
    kButtonCounterCount = 20,
};

// What the time field shows; the time button steps forward, the right button back.
enum class TimeDisplayMode : int { RawPosition = 0, Elapsed = 1, Remaining = 2 };
// The mode one step (+1 or -1) round the cycle raw, elapsed, remaining.
inline TimeDisplayMode StepTimeDisplayMode(TimeDisplayMode mode, int step) {
    return static_cast<TimeDisplayMode>((static_cast<int>(mode) + 3 + step) % 3);
}

// A knob's drag: pressed on the knob, then past an end of its bar (optional), then released.
enum class KnobDrag : int { Idle = 0, Dragging = 1, PastAnEnd = 2 };

// The skin's minimise button: the left button minimises and hides the video window; the right
// button minimises keeping it, and the tick places it once (KeepingVideo -> VideoPlaced).
// Back to Shown when the tick finds the window restored.
enum class MinimiseState : int { Shown = 0, HidingVideo = 1, KeepingVideo = 2, VideoPlaced = 3 };

// What a later start's command line names, handed to this player (one player per session):
// absolute paths that existed when it arrived.
struct HandedCommandLine {
    std::vector<std::string> items;
    friend bool operator==(const HandedCommandLine&, const HandedCommandLine&) = default;
};

// The runtime state shared by every handler of the player, the tick and the auxiliary
// windows. One instance for the whole run; user-interface thread only; never saved.
// Requests are Request<T> fields of the ledger `requests` (state/Requests.h): whoever writes
// one wakes the timer, the code that carries it out clears it. Everything else is state that
// its writer (named at each group) keeps and the tick and the windows read.
struct PlayerState {
    RequestLedger requests{};

    // Requests from input, the windows, the bus and the tick itself, carried out by the tick
    // (the button-up handler for kCmdOpenButton..kCmdFullScreen).
    Request<PendingCommand> pendingCommand{requests, kCmdNone};
    Request<bool> closeRequest{requests};
    Request<bool> quitPending{requests};    // QUIT pressed: quits at its button-up
    Request<bool> quitRequested{requests};  // the orderly quit at the next full tick
    Request<bool> toggleRequest{requests};
    Request<int> speedStepRequest{requests};  // 1 faster, any other non-zero value slower
    Request<int> wheelStep{requests};
    Request<int> trackRequest{requests};  // TrackRequest (playback/TrackChoice.h): the B and V keys' next track
    Request<bool> backgroundReload{requests};
    // The desktop bus (MPRIS), carried out by the next full tick like the skin's own controls.
    Request<std::optional<long long>> busSeekMs{requests};  // jump to this time, in milliseconds
    Request<std::optional<int>> busVolume{requests};        // both channels to this level, 0..65535
    Request<std::optional<bool>> busShuffle{requests};
    Request<std::optional<bool>> busRepeat{requests};
    Request<bool> busRaise{requests};  // bring the main window up
    // A later start's command line: the next full tick takes it as the first tick takes its own.
    Request<std::optional<HandedCommandLine>> handedCommandLine{requests};

    // Transport: written by the playback tick and the device session.
    bool closed = false;        // while no media is open
    bool paused = false;        // while the open media is paused
    bool trackOpening = false;  // the device opens the current entry still: the tick finishes it
    int position = 0;           // last position read, in the device's format at that time
    int lengthMs = 0;
    int lengthFrames = 0;
    bool timeFormatMs = true;  // the format the display wants: milliseconds, else frames
    TimeDisplayMode timeDisplayMode = TimeDisplayMode::Elapsed;
    int speed = 0;           // -9..9; 0 normal play, sign = direction
    int busSeeks = 0;        // counts the bus's jumps carried out
    int polledPosition = 0;  // the full tick's last "status movie position" (device format)
    // The entry the last open named, as it was then: the track the device has while open.
    // currentIndex can move without an open (turning shuffle on, the editor's edits).
    int openedEntry = -1;
    std::string openedPath{};

    // Tick control: written by the tick.
    bool firstTickDone = false;
    int tickDivisor = kSlowTickDivisor;  // a full tick every tickDivisor-th timer call (0: every call)
    int tickCounter = 0;
    bool busy = false;  // a long operation runs: ticks only poll the keyboard
    int browseCounter = 0;

    // Input: written by the input handlers and the key poll, counted down by the tick.
    int inputCooldown = 0;  // full ticks during which speed steps are discarded
    uint8_t keysHeld = 0;   // HeldKey bits of the last key poll
    uint8_t prevKeysHeld = 0;
    bool rightButtonSearch = false;
    int trackPending = 0;
    int buttonCounters[kButtonCounterCount] = {};  // by ButtonCounter; > 0 draws it lit
    bool mouseButtonDown = false;
    KnobDrag seekDragging = KnobDrag::Idle;  // Dragging also while a windowed open runs
    KnobDrag volumeDragging = KnobDrag::Idle;

    // Display: written by the playback tick and the input handlers, read by the composition.
    int seekKnobX = 0;    // 0..206
    int volumeKnobX = 0;  // 0..58
    int marqueeLine = 1;
    int marqueeOffset = 0;
    bool marqueeStarted = false;
    int titleWidth[2] = {};
    std::string titleLine1{};  // the open track's two title lines, drawn back after a notice
    std::string titleLine2{};
    int trackNoticeTicks = 0;  // full ticks the chosen track's language still shows in the title
    bool showZoom = false;
    int zoomShowTicks = 0;
    int zoomPercent = 1;

    // Windows: written by the main window and the video placement.
    bool fullScreen = false;
    bool panelInFullScreen = false;
    int screenWidth = 0;
    int screenHeight = 0;
    bool activeApp = true;
    MinimiseState minimiseState = MinimiseState::Shown;
    bool restoreRefresh = false;
    bool playlistEditorOpen = false;

    // A track that would not open: timer calls (30 ms) left showing its name before the tick
    // steps past it (1 = step now), and the failed opens in a row (a full round stops).
    int failedTrackWait = 0;
    int failedOpensInARow = 0;

    // State files the start could not read: the orderly quit must not overwrite them.
    bool settingsUnreadable = false;   // "KORU.CFG": not written at quit
    bool lastListUnreadable = false;   // "KORU.tsr": written at quit only if the list changed,
    uint64_t lastListFingerprint = 0;  // that is, if ListFingerprint differs from this
};

// The knobs' travel in pixels: seekKnobX is 0..kSeekBarWidth on the position bar, volumeKnobX
// 0..kVolumeBarWidth on the volume bar; the divisor maps the 32-bit wave volume onto the latter.
constexpr int kSeekBarWidth = 206;
constexpr int kVolumeBarWidth = 58;
constexpr uint32_t kVolumeKnobDivisor = 74051160u;

// The position knob's x for a device position on a track of `length` (> 0) in the same
// format; a position past the length or before 0 keeps the knob on its bar.
inline int SeekKnobX(int position, int length) {
    const double knob = std::trunc(static_cast<double>(position) / (static_cast<double>(length) / kSeekBarWidth));
    return knob < 0 ? 0 : knob > kSeekBarWidth ? kSeekBarWidth : static_cast<int>(knob);
}

// The PLAY button's request, for the skin and the desktop bus alike: ends a search, opens the
// entry when closed, resumes when paused. False when it is playing already (nothing to ask).
inline bool RequestPlay(PlayerState& s) {
    if (s.speed != 0 || (s.closed == 0 && s.paused != 0)) {
        s.pendingCommand.Ask(kCmdPlay);
    } else if (s.closed != 0) {
        s.pendingCommand.Ask(kCmdOpenAndPlay);
        s.trackPending = 0;
    } else {
        return false;
    }
    return true;
}
