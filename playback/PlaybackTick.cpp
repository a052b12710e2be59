#include "playback/PlaybackTick.h"

#include "playback/MciSession.h"
#include "playback/NextEntryHint.h"
#include "playback/OpenTrack.h"
#include "playback/TrackChoice.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

namespace {

// Browsing steps and ticker steps fall once browseCounter reaches this.
constexpr int kBrowseStep = 5;

// Only a reply of up to 7 characters arrives whole in the 8-byte mode buffer.
constexpr const char* kModeStopped = "stopped";

// Values local to one tick.
struct TickLocals {
    int searchButtonDir = 0;     // 0 none, 1 search forward held, 2 search backward held
    int stepMode = kUnitSecond;  // the SeekUnit of SeekRelative(kSeekBySpeed, ...)
    int singleStep = 0;          // this tick makes exactly one frame step
};

int SignOf(int speed) { return speed > 0 ? 1 : -1; }

bool SearchButtonHeld(const PlayerState& s) {
    return s.buttonCounters[kCounterSearchBackward] > 0 || s.buttonCounters[kCounterSearchForward] > 0;
}

// searchSpeed index: button * 4 + state * 2 + direction.
int SearchSpeed(const PlaybackContext& c, int pausedState) {
    const int button = c.state.rightButtonSearch != 0 ? 1 : 0;
    const int direction = c.state.speed > 0 ? 0 : 1;
    return c.settings.searchSpeed[button * 4 + pausedState * 2 + direction];
}

bool KeyJustReleased(const PlayerState& s) { return s.keysHeld == 0 && s.prevKeysHeld != 0; }

void ChangeVideoSize(PlaybackContext& c, int step, int counter) {
    Settings& st = c.settings;
    st.videoSizeMode += step;
    if (st.videoSizeMode < -1) st.videoSizeMode = -1;
    if (st.videoSizeMode > 6) st.videoSizeMode = 6;
    c.mci.PauseKeepingPosition();
    c.host.PlaceVideo();
    c.state.buttonCounters[counter] = 0;
    if (c.state.paused) c.mci.Send("seek movie to " + std::to_string(c.state.position));
    else c.mci.Send("play movie");
}

void CarryOutCloseRequest(PlaybackContext& c) {
    if (c.state.closeRequest == 1) {
        c.mci.Close();
        c.state.closeRequest.Clear();
    }
}

// Speed preparation while something is open (PlaybackTick).
void PrepareSpeed(PlaybackContext& c, TickLocals& t) {
    PlayerState& s = c.state;
    const Settings& st = c.settings;
    if (s.paused == 0) {
        t.stepMode = st.wheelModePlaying;
        if (SearchButtonHeld(s)) t.stepMode = kUnitSecond;
        if (s.rightButtonSearch == 1) {
            t.stepMode = kUnit30Ms;
            s.speed = SignOf(s.speed);
        }
    } else {
        t.stepMode = st.wheelModePaused;
        t.singleStep = st.wheelModePaused == 0 ? 1 : 0;
        if (s.keysHeld != 0 || SearchButtonHeld(s)) {
            t.singleStep = 0;
            t.stepMode = kUnitSecond;
        }
        if (t.singleStep == 1) s.speed = SignOf(s.speed);
    }
    if (s.rightButtonSearch != 0) t.singleStep = 1;
}

// Nothing open: the search buttons and wheel browse the list, one step per 150 ms. The first
// step only shows the current entry's name.
void Browse(PlaybackContext& c) {
    PlayerState& s = c.state;
    if (s.browseCounter >= kBrowseStep && c.playlist.count != 0) {
        if (s.trackPending <= 0) s.trackPending = 1;
        else s.pendingCommand.Ask(s.speed > 0 ? kCmdNextTrack : kCmdPreviousTrack);
        // The ticker, which otherwise restarts the count, stands still while browsing.
        s.browseCounter = 0;
    }
    s.speed = 0;
}

void ExecuteSearch(PlaybackContext& c, TickLocals& t) {
    PlayerState& s = c.state;
    if (s.paused == 0) {
        if (t.searchButtonDir != 0) c.mci.SeekRelative(kSeekByAmount, SearchSpeed(c, 0));
        else c.mci.SeekRelative(kSeekBySpeed, t.stepMode);
        if (KeyJustReleased(s)) {
            s.speed = 0;
            t.stepMode = kUnitSecond;
            c.mci.Send("play movie");
        }
        s.prevKeysHeld = s.keysHeld;
    } else {
        if (t.searchButtonDir != 0) c.mci.SeekRelative(kSeekByAmount, SearchSpeed(c, 1));
        else if (t.singleStep == 0) c.mci.SeekRelative(kSeekBySpeed, t.stepMode);
        else c.mci.SeekRelative(kSeekFrames, kUnitOneFrame);
        if (KeyJustReleased(s)) s.speed = 0;
        s.prevKeysHeld = s.keysHeld;
        if (t.singleStep == 1) {
            // A frame step happens once per request.
            s.speed = 0;
            t.singleStep = 0;
        }
    }
    t.searchButtonDir = 0;
}

void ChooseTickRate(PlayerState& s) {
    if (s.speed == 0 && s.paused == 0 && s.timeDisplayMode != TimeDisplayMode::RawPosition)
        s.tickDivisor = kSlowTickDivisor;
    else s.tickDivisor = s.fullScreen ? kSlowTickDivisor : 0;
    if (s.seekDragging != KnobDrag::Idle || s.volumeDragging != KnobDrag::Idle) s.tickDivisor = 0;
}

void FollowUpMinimise(PlaybackContext& c) {
    PlayerState& s = c.state;
    if (s.minimiseState >= MinimiseState::KeepingVideo) {
        if (!c.host.IsMainWindowMinimised()) {
            s.minimiseState = MinimiseState::Shown;
            s.activeApp = 1;
        }
        if (s.minimiseState == MinimiseState::KeepingVideo) {
            s.minimiseState = MinimiseState::VideoPlaced;
            c.host.PlaceVideo();
        }
        if (s.minimiseState == MinimiseState::VideoPlaced && s.restoreRefresh == 1) {
            s.restoreRefresh = 0;
            c.host.PlaceVideo();
        }
    }
    if (s.minimiseState == MinimiseState::HidingVideo && !c.host.IsMainWindowMinimised()) {
        s.minimiseState = MinimiseState::Shown;
        c.host.PlaceVideo();
        s.activeApp = 1;
    }
}

}  // namespace

bool SessionTrackControl::IsClosed() const { return m_context.state.closed != 0; }
void SessionTrackControl::Close() { m_context.mci.Close(); }
void SessionTrackControl::OpenCurrentTrack() { ::OpenCurrentTrack(m_context); }
void SessionTrackControl::SetTrackPending() { m_context.state.trackPending = 1; }

void RunPendingCommand(PlaybackContext& c) {
    PlayerState& s = c.state;
    const int code = s.pendingCommand;
    // 14..17 wait for their button to go up: a full tick between press and release must not
    // eat the click.
    if (code >= kCmdOpenButton && code <= kCmdQuit) return;
    // Cleared before acting, so that a command queued by the action itself (an open that
    // finds the list empty queues 4) survives.
    s.pendingCommand.Clear();
    switch (code) {
    case kCmdOpenAndPlay: OpenCurrentTrack(c); break;
    case kCmdPlay:
        s.speed = 0;
        c.mci.Send("play movie");
        s.paused = 0;
        break;
    case kCmdPause:
        s.speed = 0;
        s.paused = 1;
        c.mci.PauseKeepingPosition();
        break;
    case kCmdClose: c.mci.Close(); break;
    case kCmdPreviousTrack: {
        SessionTrackControl track(c);
        c.playlist.StepToPrevious(c.settings.shuffle, c.settings.repeat, track);
        break;
    }
    case kCmdNextTrack: {
        SessionTrackControl track(c);
        c.playlist.StepToNext(c.settings.shuffle, c.settings.repeat, track);
        break;
    }
    case kCmdSearchBackward: s.speed = -2; break;
    case kCmdSearchForward: s.speed = 2; break;
    case kCmdEndSearch:
        s.speed = 0;
        if (s.paused == 0) {
            s.inputCooldown = 2;
            c.mci.Send("play movie");
        }
        break;
    case kCmdSmallerVideo: ChangeVideoSize(c, -1, kCounterSmallerVideo); break;
    case kCmdLargerVideo: ChangeVideoSize(c, +1, kCounterLargerVideo); break;
    case kCmdCheckEnd: {
        // The reply goes into an 8-byte buffer: only up to 7 characters arrive whole, and a
        // longer reply overflows it and never counts as "stopped". One more byte is asked
        // for so that such a reply can be told from a whole one.
        std::string mode = c.mci.QueryText("status movie mode", kModeReplySize + 1);
        const bool overflow = mode.size() >= kModeReplySize;
        if (overflow) mode.resize(kModeReplySize - 1);
        c.host.ShowModeReply(mode);
        // A device still playing at its reported length keeps the check alive.
        s.pendingCommand.Ask(!overflow && mode == kModeStopped ? kCmdNextTrack : kCmdCheckEnd);
        break;
    }
    default: break;
    }
}

void PlaybackTick(PlaybackContext& c) {
    PlayerState& s = c.state;
    TickLocals t;
    ContinueOpeningTrack(c);

    c.host.ComposeButtons();
    // The held search buttons drive the speed every full tick; forward wins over backward.
    if (s.buttonCounters[kCounterSearchBackward] > 0) {
        s.speed = -1;
        t.searchButtonDir = 2;
    }
    if (s.buttonCounters[kCounterSearchForward] > 0) {
        s.speed = 1;
        t.searchButtonDir = 1;
    }

    // One browse or ticker step per 150 ms at either tick rate.
    if (s.tickDivisor != 0) s.browseCounter = kBrowseStep;
    else ++s.browseCounter;

    if (s.speed != 0) {
        if (s.closed == 1) Browse(c);
        else PrepareSpeed(c, t);
    }

    c.host.ComposeDisplayAndPresent(c.mci.QueryNumber("status movie position"));

    RunPendingCommand(c);
    CarryOutCloseRequest(c);
    CueNextEntry(c);
    CarryOutTrackRequest(c);
    if (s.speed != 0) ExecuteSearch(c, t);
    t.singleStep = 0;

    if (s.mouseButtonDown == 0)
        for (int i = 0; i < kButtonCounterCount; ++i) --s.buttonCounters[i];

    ChooseTickRate(s);
    FollowUpMinimise(c);
}

void PlaybackTickNoDraw(PlaybackContext& c) {
    PlayerState& s = c.state;
    const Settings& st = c.settings;
    ContinueOpeningTrack(c);
    RunPendingCommand(c);
    CarryOutCloseRequest(c);
    CueNextEntry(c);
    CarryOutTrackRequest(c);
    if (s.speed == 0) return;
    if (s.closed == 1) {
        s.speed = 0;  // no browsing in full screen
        return;
    }
    if (s.paused == 1) {
        int stepMode = st.wheelModePaused;
        int singleStep = st.wheelModePaused == 0 ? 1 : 0;
        if (s.keysHeld != 0) {
            singleStep = 0;
            stepMode = kUnitSecond;
        }
        if (singleStep == 1) s.speed = SignOf(s.speed);
        if (singleStep == 0) c.mci.SeekRelative(kSeekBySpeed, stepMode);
        else c.mci.SeekRelative(kSeekFrames, kUnitOneFrame);
        if (KeyJustReleased(s)) s.speed = 0;
        s.prevKeysHeld = s.keysHeld;
        if (singleStep == 1) s.speed = 0;
    } else {
        c.mci.SeekRelative(kSeekBySpeed, st.wheelModePlaying);
        if (KeyJustReleased(s)) {
            s.speed = 0;
            c.mci.Send("play movie");
        }
        s.prevKeysHeld = s.keysHeld;
    }
}
