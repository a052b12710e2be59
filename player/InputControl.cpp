#include "player/InputControl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/Clock.h"
#include "platform/KeyState.h"
#include "platform/WaveVolume.h"
#include "playback/MciSession.h"
#include "playback/TrackChoice.h"
#include "playback/WaveVolumeControl.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

namespace {

using HitRect = InputControl::HitRect;

// Skin rectangles in window pixels (the skin's 12-pixel origin already added).
constexpr HitRect kTimeDisplay{129, 55, 72, 13};
constexpr HitRect kCounterDisplay{68, 57, 56, 13};
constexpr HitRect kMinimise{295, 1, 13, 14};
constexpr HitRect kRewind{208, 45, 28, 25};
constexpr HitRect kFastForward{275, 45, 28, 25};
constexpr HitRect kPlay{236, 45, 37, 25};
constexpr HitRect kPause{275, 19, 28, 23};
constexpr HitRect kStop{237, 19, 37, 23};
constexpr HitRect kPrevious{208, 73, 46, 13};
constexpr HitRect kNext{256, 73, 46, 13};
constexpr HitRect kSmallerVideo{140, 73, 19, 13};
constexpr HitRect kLargerVideo{159, 73, 19, 13};
constexpr HitRect kOpen{208, 19, 28, 23};
constexpr HitRect kSettings{18, 21, 34, 13};
constexpr HitRect kFullScreen{180, 73, 24, 13};
constexpr HitRect kTitle{60, 27, 141, 19};
constexpr HitRect kClose{16, 66, 36, 20};
constexpr HitRect kShuffle{19, 51, 32, 11};
constexpr HitRect kRepeat{19, 38, 32, 11};

HitRect SeekKnob(const PlayerState& s) { return {62 + s.seekKnobX, 2, 23, 11}; }
HitRect VolumeKnob(const PlayerState& s) { return {61 + s.volumeKnobX, 75, 15, 9}; }

// Drag limits: past these x the drag reaches its end and stops following the pointer.
constexpr int kDragLeftLimit = 57;
constexpr int kSeekDragRightLimit = 312;
constexpr int kVolumeDragRightLimit = 134;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

InputControl::InputControl(PlayerState& state, Settings& settings, Playlist& playlist, MciSession& mci,
                           WaveVolume& volume, KeyState& keys, Clock& clock, InputHost& host)
    : state_(state), settings_(settings), playlist_(playlist), mci_(mci), volume_(volume), keys_(keys), clock_(clock),
      host_(host) {}

void InputControl::SelectTimeFormatForDisplay() {
    state_.timeFormatMs = mci_.SelectTimeFormat(state_.timeDisplayMode == TimeDisplayMode::RawPosition ? 0 : 1);
}

void InputControl::StartSearch(int counter, PendingCommand command, bool& held) {
    state_.buttonCounters[counter] = 1;
    if (state_.closed == 0) {
        state_.pendingCommand.Ask(command);
        held = true;
    }
}

void InputControl::OnLButtonDown(WindowPoint p) {
    host_.ReleaseMouse();
    host_.FocusStepSink();
    state_.mouseButtonDown = 1;
    if (!host_.IsMinimised()) state_.activeApp = 1;

    if (kTimeDisplay.Contains(p)) {
        // Elapsed, remaining, frame counter, elapsed ...
        state_.timeDisplayMode = StepTimeDisplayMode(state_.timeDisplayMode, +1);
        SelectTimeFormatForDisplay();
    } else if (kCounterDisplay.Contains(p)) {
        state_.showZoom = state_.showZoom ? 0 : 1;
    }

    bool moving = false;
    if (kMinimise.Contains(p)) {
        state_.minimiseState = MinimiseState::HidingVideo;
        state_.activeApp = 0;
        host_.Minimise();
        host_.PlaceVideo();
    } else if (state_.closed == 0 && SeekKnob(state_).Contains(p)) {
        state_.seekDragging = KnobDrag::Dragging;
    } else if (state_.inputCooldown == 0 && VolumeKnob(state_).Contains(p)) {
        state_.volumeDragging = KnobDrag::Dragging;
    } else if (kRewind.Contains(p)) {
        StartSearch(kCounterSearchBackward, kCmdSearchBackward, rewindHeld_);
    } else if (kFastForward.Contains(p)) {
        StartSearch(kCounterSearchForward, kCmdSearchForward, forwardHeld_);
    } else if (kPlay.Contains(p)) {
        state_.buttonCounters[kCounterPlay] = 1;
        RequestPlay(state_);
    } else if (kPause.Contains(p)) {
        if (state_.closed != 0) {
            state_.buttonCounters[kCounterPause] = 1;
        } else if (state_.paused != 0) {
            state_.buttonCounters[kCounterPause] = 1;
            state_.pendingCommand.Ask(kCmdPlay);
        } else {
            state_.buttonCounters[kCounterPauseLit] = 1;
            state_.pendingCommand.Ask(kCmdPause);
        }
    } else if (kStop.Contains(p)) {
        state_.buttonCounters[kCounterStop] = 1;
        state_.pendingCommand.Ask(kCmdClose);
        state_.closeRequest.Ask(true);
    } else if (kPrevious.Contains(p) || kNext.Contains(p)) {
        const bool next = kNext.Contains(p);
        state_.buttonCounters[next ? kCounterNext : kCounterPrevious] = 1;
        if (state_.paused != 0) {
            mci_.StepPictures(next ? 1 : -1);
        } else {
            state_.pendingCommand.Ask(next ? kCmdNextTrack : kCmdPreviousTrack);
        }
    } else if (kSmallerVideo.Contains(p)) {
        state_.buttonCounters[kCounterSmallerVideo] = 1;
        state_.pendingCommand.Ask(kCmdSmallerVideo);
    } else if (kLargerVideo.Contains(p)) {
        state_.buttonCounters[kCounterLargerVideo] = 1;
        state_.pendingCommand.Ask(kCmdLargerVideo);
    } else if (kOpen.Contains(p)) {
        state_.buttonCounters[kCounterOpen] = 1;
        state_.pendingCommand.Ask(kCmdOpenButton);
    } else if (kSettings.Contains(p)) {
        state_.buttonCounters[kCounterSettings] = 1;
        state_.pendingCommand.Ask(kCmdSettingsDialog);
    } else if (kFullScreen.Contains(p)) {
        state_.buttonCounters[kCounterFullScreen] = 1;
        state_.pendingCommand.Ask(kCmdFullScreen);
    } else if (kTitle.Contains(p)) {
        state_.marqueeLine = state_.marqueeLine ? 0 : 1;
        state_.marqueeOffset = -144;
    } else if (kClose.Contains(p)) {
        state_.buttonCounters[kCounterClose] = 1;
        state_.quitPending.Ask(true);
    } else if (kShuffle.Contains(p)) {
        if (settings_.shuffle == 1) {
            settings_.shuffle = 0;
        } else {
            settings_.shuffle = 1;
            playlist_.BuildPlayOrder(settings_.shuffle, clock_);
        }
    } else if (kRepeat.Contains(p)) {
        settings_.repeat = settings_.repeat ? 0 : 1;
    } else {
        moving = true;
        host_.StartWindowMove();
    }
    lastMouse_ = p;
    if (!moving) host_.CaptureMouse();
}

void InputControl::OnLButtonUp(WindowPoint) {
    // Released first: the dialogs opened below must get the mouse.
    host_.ReleaseMouse();
    state_.seekDragging = KnobDrag::Idle;
    state_.volumeDragging = KnobDrag::Idle;
    if (rewindHeld_ || forwardHeld_) {
        rewindHeld_ = forwardHeld_ = false;
        state_.pendingCommand.Ask(kCmdEndSearch);
    }
    switch (state_.pendingCommand) {
    case kCmdOpenButton:
        state_.pendingCommand.Clear();
        host_.OpenButtonAction();
        break;
    case kCmdSettingsDialog:
        state_.pendingCommand.Clear();
        host_.SettingsDialog();
        break;
    case kCmdFullScreen:
        state_.pendingCommand.Clear();
        host_.SwitchFullScreen(false);
        host_.MoveFullScreenStepSinksOffScreen();
        break;
    default: break;
    }
    if (state_.quitPending.Take()) {
        state_.pendingCommand.Clear();
        state_.quitRequested.Ask(true);
    }
    for (int i = 0; i <= 8; ++i)
        if (state_.buttonCounters[i] >= 1) state_.buttonCounters[i] = 1;
    state_.mouseButtonDown = 0;
}

void InputControl::OnLButtonDblClk(WindowPoint) { host_.StartWindowMove(); }

void InputControl::OnRButtonDown(WindowPoint p) {
    state_.mouseButtonDown = 1;
    host_.ReleaseMouse();
    if (kTimeDisplay.Contains(p)) {
        // Backward: elapsed, frame counter, remaining, elapsed ...
        state_.timeDisplayMode = StepTimeDisplayMode(state_.timeDisplayMode, -1);
        SelectTimeFormatForDisplay();
    }
    if (kMinimise.Contains(p)) {
        state_.minimiseState = MinimiseState::KeepingVideo;
        state_.activeApp = 0;
        host_.Minimise();
        host_.PlaceVideo();
    } else if (kOpen.Contains(p)) {
        host_.TogglePlaylistEditor();
    }
    if (kRewind.Contains(p)) {
        StartSearch(kCounterSearchBackward, kCmdSearchBackward, rewindHeld_);
        state_.rightButtonSearch = 1;
    } else if (kFastForward.Contains(p)) {
        StartSearch(kCounterSearchForward, kCmdSearchForward, forwardHeld_);
        state_.rightButtonSearch = 1;
    }
    host_.CaptureMouse();
}

void InputControl::OnRButtonUp(WindowPoint) {
    state_.rightButtonSearch = 0;
    if (rewindHeld_ || forwardHeld_) {
        rewindHeld_ = forwardHeld_ = false;
        state_.pendingCommand.Ask(kCmdEndSearch);
    }
    host_.ReleaseMouse();
    state_.mouseButtonDown = 0;
}

void InputControl::OnMButtonDown(WindowPoint) { state_.toggleRequest.Ask(true); }

void InputControl::OnMouseMove(WindowPoint p) {
    if (state_.seekDragging == KnobDrag::Dragging) {
        state_.seekKnobX = Clamp(state_.seekKnobX + p.x - lastMouse_.x, 0, kSeekBarWidth);
        if (p.x < kDragLeftLimit) {
            state_.seekKnobX = 0;
            state_.seekDragging = KnobDrag::PastAnEnd;
        } else if (p.x >= kSeekDragRightLimit) {
            state_.seekKnobX = kSeekBarWidth;
            state_.seekDragging = KnobDrag::PastAnEnd;
        }
        const int length = mci_.QueryNumber("status movie length");
        state_.position = static_cast<int>(std::trunc(static_cast<double>(length) / kSeekBarWidth * state_.seekKnobX));
        mci_.Send((state_.paused == 1 ? "seek movie to " : "play movie from ") + std::to_string(state_.position));
        lastMouse_ = p;
    }
    if (state_.volumeDragging == KnobDrag::Dragging) {
        state_.volumeKnobX = Clamp(state_.volumeKnobX + p.x - lastMouse_.x, 0, kVolumeBarWidth);
        if (p.x < kDragLeftLimit) {
            state_.volumeKnobX = 0;
            state_.volumeDragging = KnobDrag::PastAnEnd;
        } else if (p.x >= kVolumeDragRightLimit) {
            state_.volumeKnobX = kVolumeBarWidth;
            state_.volumeDragging = KnobDrag::PastAnEnd;
        }
        SetVolumeFromKnob(volume_, state_.volumeKnobX);
        lastMouse_ = p;
    }
}

void InputControl::OnMouseWheel(int delta) {
    host_.FocusStepSink();
    if (state_.activeApp == 1 && delta != 0) state_.wheelStep.Ask(delta < 0 ? -1 : 1);
}

void InputControl::OnStep(int step) {
    if (step != 0) state_.wheelStep.Ask(step > 0 ? 1 : -1);
}

void InputControl::OnActivateApp(bool active) {
    if (active) {
        if (state_.busy == 0) state_.activeApp = host_.IsMinimised() ? 0 : 1;
        if (state_.minimiseState >= MinimiseState::KeepingVideo) state_.restoreRefresh = 1;
        state_.wheelStep.Clear();
    } else if (state_.busy == 0) {
        // A dialog of our own taking the focus deactivates nothing while busy.
        state_.activeApp = 0;
        state_.wheelStep.Clear();
    }
}

void InputControl::PollKeyboard() {
    if (state_.activeApp == 0 && state_.fullScreen == 0) {
        // Forget presses made while another application had the keyboard.
        for (PolledKey key : {PolledKey::Alt, PolledKey::Enter, PolledKey::N, PolledKey::LeftBracket, PolledKey::M,
                              PolledKey::RightBracket, PolledKey::Comma, PolledKey::Right, PolledKey::Left,
                              PolledKey::Period, PolledKey::Space, PolledKey::X, PolledKey::Z})
            keys_.Pressed(key);
        PollTrackKeys(false);
        return;
    }
    PollTrackKeys(true);
    state_.keysHeld = 0;
    // One switch per press: holding Alt+Enter over several polls must not switch back and forth.
    const bool altEnter = keys_.Held(PolledKey::Alt) && keys_.Held(PolledKey::Enter);
    if (altEnter && !altEnterHeld_ && state_.inputCooldown == 0) host_.SwitchFullScreen(state_.fullScreen == 1);
    altEnterHeld_ = altEnter;
    if (keys_.Held(PolledKey::N) || keys_.Held(PolledKey::LeftBracket)) VolumeStepDown(volume_, state_);
    if (keys_.Held(PolledKey::M) || keys_.Held(PolledKey::RightBracket)) VolumeStepUp(volume_, state_);

    // A held arrow while playing changes the track once, then again each time the cool-down of
    // 7 full ticks has run out (the poll runs every call, the cool-down counts full ticks).
    if (keys_.Pressed(PolledKey::Comma)) {
        state_.keysHeld |= kHeldComma;
        state_.speedStepRequest.Ask(-1);
    } else if (keys_.Held(PolledKey::Right)) {
        state_.keysHeld |= kHeldRight;
        if (state_.paused) {
            state_.speedStepRequest.Ask(1);
        } else if (state_.inputCooldown == 0) {
            state_.inputCooldown = 7;
            state_.pendingCommand.Ask(kCmdNextTrack);
        }
    } else if (keys_.Held(PolledKey::Left)) {
        state_.keysHeld |= kHeldLeft;
        if (state_.paused) {
            state_.speedStepRequest.Ask(-1);
        } else if (state_.inputCooldown == 0) {
            state_.inputCooldown = 7;
            state_.pendingCommand.Ask(kCmdPreviousTrack);
        }
    } else if (keys_.Pressed(PolledKey::Period)) {
        state_.keysHeld |= kHeldFullStop;
        state_.speedStepRequest.Ask(1);
    }

    if (keys_.Held(PolledKey::Space) && state_.inputCooldown == 0) {
        state_.inputCooldown = 5;
        if (state_.closed == 0) state_.pendingCommand.Ask(state_.paused ? kCmdPlay : kCmdPause);
    }
    if (state_.inputCooldown != 0) return;

    const bool larger = keys_.Pressed(PolledKey::X);
    const bool smaller = !larger && keys_.Pressed(PolledKey::Z);
    if (!larger && !smaller) return;
    if (state_.fullScreen == 1) {
        mci_.PauseKeepingPosition();
        settings_.fullScreenFit =
            larger ? std::min(settings_.fullScreenFit + 1, 5) : std::max(settings_.fullScreenFit - 1, 1);
        host_.PlaceVideo();
        if (state_.paused) mci_.Send("seek movie to " + std::to_string(state_.position));
        else mci_.Send("play movie");
    } else {
        state_.pendingCommand.Ask(larger ? kCmdLargerVideo : kCmdSmallerVideo);
    }
    state_.inputCooldown = 2;
}

void InputControl::PollTrackKeys(bool act) {
    // One track a press; B and V together choose the next sound.
    const bool audio = keys_.Pressed(PolledKey::B);
    const bool subtitle = keys_.Pressed(PolledKey::V);
    if (!act || state_.closed != 0) return;
    if (audio) state_.trackRequest.Ask(kTrackAudio);
    else if (subtitle) state_.trackRequest.Ask(kTrackSubtitle);
}
