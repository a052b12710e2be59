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
    : m_state(state), m_settings(settings), m_playlist(playlist), m_mci(mci), m_volume(volume), m_keys(keys),
      m_clock(clock), m_host(host) {}

void InputControl::SelectTimeFormatForDisplay() {
    m_state.timeFormatMs = m_mci.SelectTimeFormat(m_state.timeDisplayMode == TimeDisplayMode::RawPosition ? 0 : 1);
}

void InputControl::StartSearch(int counter, PendingCommand command, bool& held) {
    m_state.buttonCounters[counter] = 1;
    if (m_state.closed == 0) {
        m_state.pendingCommand.Ask(command);
        held = true;
    }
}

void InputControl::OnLButtonDown(WindowPoint p) {
    m_host.ReleaseMouse();
    m_host.FocusStepSink();
    m_state.mouseButtonDown = 1;
    if (!m_host.IsMinimised()) m_state.activeApp = 1;

    if (kTimeDisplay.Contains(p)) {
        // Elapsed, remaining, frame counter, elapsed ...
        m_state.timeDisplayMode = StepTimeDisplayMode(m_state.timeDisplayMode, +1);
        SelectTimeFormatForDisplay();
    } else if (kCounterDisplay.Contains(p)) {
        m_state.showZoom = m_state.showZoom ? 0 : 1;
    }

    bool moving = false;
    if (kMinimise.Contains(p)) {
        m_state.minimiseState = MinimiseState::HidingVideo;
        m_state.activeApp = 0;
        m_host.Minimise();
        m_host.PlaceVideo();
    } else if (m_state.closed == 0 && SeekKnob(m_state).Contains(p)) {
        m_state.seekDragging = KnobDrag::Dragging;
    } else if (m_state.inputCooldown == 0 && VolumeKnob(m_state).Contains(p)) {
        m_state.volumeDragging = KnobDrag::Dragging;
    } else if (kRewind.Contains(p)) {
        StartSearch(kCounterSearchBackward, kCmdSearchBackward, m_rewindHeld);
    } else if (kFastForward.Contains(p)) {
        StartSearch(kCounterSearchForward, kCmdSearchForward, m_forwardHeld);
    } else if (kPlay.Contains(p)) {
        m_state.buttonCounters[kCounterPlay] = 1;
        RequestPlay(m_state);
    } else if (kPause.Contains(p)) {
        if (m_state.closed != 0) {
            m_state.buttonCounters[kCounterPause] = 1;
        } else if (m_state.paused != 0) {
            m_state.buttonCounters[kCounterPause] = 1;
            m_state.pendingCommand.Ask(kCmdPlay);
        } else {
            m_state.buttonCounters[kCounterPauseLit] = 1;
            m_state.pendingCommand.Ask(kCmdPause);
        }
    } else if (kStop.Contains(p)) {
        m_state.buttonCounters[kCounterStop] = 1;
        m_state.pendingCommand.Ask(kCmdClose);
        m_state.closeRequest.Ask(true);
    } else if (kPrevious.Contains(p) || kNext.Contains(p)) {
        const bool next = kNext.Contains(p);
        m_state.buttonCounters[next ? kCounterNext : kCounterPrevious] = 1;
        if (m_state.paused != 0) {
            m_mci.StepPictures(next ? 1 : -1);
        } else {
            m_state.pendingCommand.Ask(next ? kCmdNextTrack : kCmdPreviousTrack);
        }
    } else if (kSmallerVideo.Contains(p)) {
        m_state.buttonCounters[kCounterSmallerVideo] = 1;
        m_state.pendingCommand.Ask(kCmdSmallerVideo);
    } else if (kLargerVideo.Contains(p)) {
        m_state.buttonCounters[kCounterLargerVideo] = 1;
        m_state.pendingCommand.Ask(kCmdLargerVideo);
    } else if (kOpen.Contains(p)) {
        m_state.buttonCounters[kCounterOpen] = 1;
        m_state.pendingCommand.Ask(kCmdOpenButton);
    } else if (kSettings.Contains(p)) {
        m_state.buttonCounters[kCounterSettings] = 1;
        m_state.pendingCommand.Ask(kCmdSettingsDialog);
    } else if (kFullScreen.Contains(p)) {
        m_state.buttonCounters[kCounterFullScreen] = 1;
        m_state.pendingCommand.Ask(kCmdFullScreen);
    } else if (kTitle.Contains(p)) {
        m_state.marqueeLine = m_state.marqueeLine ? 0 : 1;
        m_state.marqueeOffset = -144;
    } else if (kClose.Contains(p)) {
        m_state.buttonCounters[kCounterClose] = 1;
        m_state.quitPending.Ask(true);
    } else if (kShuffle.Contains(p)) {
        if (m_settings.shuffle == 1) {
            m_settings.shuffle = 0;
        } else {
            m_settings.shuffle = 1;
            m_playlist.BuildPlayOrder(m_settings.shuffle, m_clock);
        }
    } else if (kRepeat.Contains(p)) {
        m_settings.repeat = m_settings.repeat ? 0 : 1;
    } else {
        moving = true;
        m_host.StartWindowMove();
    }
    m_lastMouse = p;
    if (!moving) m_host.CaptureMouse();
}

void InputControl::OnLButtonUp(WindowPoint) {
    // Released first: the dialogs opened below must get the mouse.
    m_host.ReleaseMouse();
    m_state.seekDragging = KnobDrag::Idle;
    m_state.volumeDragging = KnobDrag::Idle;
    if (m_rewindHeld || m_forwardHeld) {
        m_rewindHeld = m_forwardHeld = false;
        m_state.pendingCommand.Ask(kCmdEndSearch);
    }
    switch (m_state.pendingCommand) {
    case kCmdOpenButton:
        m_state.pendingCommand.Clear();
        m_host.OpenButtonAction();
        break;
    case kCmdSettingsDialog:
        m_state.pendingCommand.Clear();
        m_host.SettingsDialog();
        break;
    case kCmdFullScreen:
        m_state.pendingCommand.Clear();
        m_host.SwitchFullScreen(false);
        m_host.MoveFullScreenStepSinksOffScreen();
        break;
    default: break;
    }
    if (m_state.quitPending.Take()) {
        m_state.pendingCommand.Clear();
        m_state.quitRequested.Ask(true);
    }
    for (int i = 0; i <= 8; ++i)
        if (m_state.buttonCounters[i] >= 1) m_state.buttonCounters[i] = 1;
    m_state.mouseButtonDown = 0;
}

void InputControl::OnLButtonDblClk(WindowPoint) { m_host.StartWindowMove(); }

void InputControl::OnRButtonDown(WindowPoint p) {
    m_state.mouseButtonDown = 1;
    m_host.ReleaseMouse();
    if (kTimeDisplay.Contains(p)) {
        // Backward: elapsed, frame counter, remaining, elapsed ...
        m_state.timeDisplayMode = StepTimeDisplayMode(m_state.timeDisplayMode, -1);
        SelectTimeFormatForDisplay();
    }
    if (kMinimise.Contains(p)) {
        m_state.minimiseState = MinimiseState::KeepingVideo;
        m_state.activeApp = 0;
        m_host.Minimise();
        m_host.PlaceVideo();
    } else if (kOpen.Contains(p)) {
        m_host.TogglePlaylistEditor();
    }
    if (kRewind.Contains(p)) {
        StartSearch(kCounterSearchBackward, kCmdSearchBackward, m_rewindHeld);
        m_state.rightButtonSearch = 1;
    } else if (kFastForward.Contains(p)) {
        StartSearch(kCounterSearchForward, kCmdSearchForward, m_forwardHeld);
        m_state.rightButtonSearch = 1;
    }
    m_host.CaptureMouse();
}

void InputControl::OnRButtonUp(WindowPoint) {
    m_state.rightButtonSearch = 0;
    if (m_rewindHeld || m_forwardHeld) {
        m_rewindHeld = m_forwardHeld = false;
        m_state.pendingCommand.Ask(kCmdEndSearch);
    }
    m_host.ReleaseMouse();
    m_state.mouseButtonDown = 0;
}

void InputControl::OnMButtonDown(WindowPoint) { m_state.toggleRequest.Ask(true); }

void InputControl::OnMouseMove(WindowPoint p) {
    if (m_state.seekDragging == KnobDrag::Dragging) {
        m_state.seekKnobX = Clamp(m_state.seekKnobX + p.x - m_lastMouse.x, 0, kSeekBarWidth);
        if (p.x < kDragLeftLimit) {
            m_state.seekKnobX = 0;
            m_state.seekDragging = KnobDrag::PastAnEnd;
        } else if (p.x >= kSeekDragRightLimit) {
            m_state.seekKnobX = kSeekBarWidth;
            m_state.seekDragging = KnobDrag::PastAnEnd;
        }
        const int length = m_mci.QueryNumber("status movie length");
        m_state.position =
            static_cast<int>(std::trunc(static_cast<double>(length) / kSeekBarWidth * m_state.seekKnobX));
        m_mci.Send((m_state.paused == 1 ? "seek movie to " : "play movie from ") + std::to_string(m_state.position));
        m_lastMouse = p;
    }
    if (m_state.volumeDragging == KnobDrag::Dragging) {
        m_state.volumeKnobX = Clamp(m_state.volumeKnobX + p.x - m_lastMouse.x, 0, kVolumeBarWidth);
        if (p.x < kDragLeftLimit) {
            m_state.volumeKnobX = 0;
            m_state.volumeDragging = KnobDrag::PastAnEnd;
        } else if (p.x >= kVolumeDragRightLimit) {
            m_state.volumeKnobX = kVolumeBarWidth;
            m_state.volumeDragging = KnobDrag::PastAnEnd;
        }
        SetVolumeFromKnob(m_volume, m_state.volumeKnobX);
        m_lastMouse = p;
    }
}

void InputControl::OnMouseWheel(int delta) {
    m_host.FocusStepSink();
    if (m_state.activeApp == 1 && delta != 0) m_state.wheelStep.Ask(delta < 0 ? -1 : 1);
}

void InputControl::OnStep(int step) {
    if (step != 0) m_state.wheelStep.Ask(step > 0 ? 1 : -1);
}

void InputControl::OnActivateApp(bool active) {
    if (active) {
        if (m_state.busy == 0) m_state.activeApp = m_host.IsMinimised() ? 0 : 1;
        if (m_state.minimiseState >= MinimiseState::KeepingVideo) m_state.restoreRefresh = 1;
        m_state.wheelStep.Clear();
    } else if (m_state.busy == 0) {
        // A dialog of our own taking the focus deactivates nothing while busy.
        m_state.activeApp = 0;
        m_state.wheelStep.Clear();
    }
}

void InputControl::PollKeyboard() {
    if (m_state.activeApp == 0 && m_state.fullScreen == 0) {
        // Forget presses made while another application had the keyboard.
        for (PolledKey key : {PolledKey::Alt, PolledKey::Enter, PolledKey::N, PolledKey::LeftBracket, PolledKey::M,
                              PolledKey::RightBracket, PolledKey::Comma, PolledKey::Right, PolledKey::Left,
                              PolledKey::Period, PolledKey::Space, PolledKey::X, PolledKey::Z})
            m_keys.Pressed(key);
        PollTrackKeys(false);
        return;
    }
    PollTrackKeys(true);
    m_state.keysHeld = 0;
    // One switch per press: holding Alt+Enter over several polls must not switch back and forth.
    const bool altEnter = m_keys.Held(PolledKey::Alt) && m_keys.Held(PolledKey::Enter);
    if (altEnter && !m_altEnterHeld && m_state.inputCooldown == 0) m_host.SwitchFullScreen(m_state.fullScreen == 1);
    m_altEnterHeld = altEnter;
    if (m_keys.Held(PolledKey::N) || m_keys.Held(PolledKey::LeftBracket)) VolumeStepDown(m_volume, m_state);
    if (m_keys.Held(PolledKey::M) || m_keys.Held(PolledKey::RightBracket)) VolumeStepUp(m_volume, m_state);

    // A held arrow while playing changes the track once, then again each time the cool-down of
    // 7 full ticks has run out (the poll runs every call, the cool-down counts full ticks).
    if (m_keys.Pressed(PolledKey::Comma)) {
        m_state.keysHeld |= kHeldComma;
        m_state.speedStepRequest.Ask(-1);
    } else if (m_keys.Held(PolledKey::Right)) {
        m_state.keysHeld |= kHeldRight;
        if (m_state.paused) {
            m_state.speedStepRequest.Ask(1);
        } else if (m_state.inputCooldown == 0) {
            m_state.inputCooldown = 7;
            m_state.pendingCommand.Ask(kCmdNextTrack);
        }
    } else if (m_keys.Held(PolledKey::Left)) {
        m_state.keysHeld |= kHeldLeft;
        if (m_state.paused) {
            m_state.speedStepRequest.Ask(-1);
        } else if (m_state.inputCooldown == 0) {
            m_state.inputCooldown = 7;
            m_state.pendingCommand.Ask(kCmdPreviousTrack);
        }
    } else if (m_keys.Pressed(PolledKey::Period)) {
        m_state.keysHeld |= kHeldFullStop;
        m_state.speedStepRequest.Ask(1);
    }

    if (m_keys.Held(PolledKey::Space) && m_state.inputCooldown == 0) {
        m_state.inputCooldown = 5;
        if (m_state.closed == 0) m_state.pendingCommand.Ask(m_state.paused ? kCmdPlay : kCmdPause);
    }
    if (m_state.inputCooldown != 0) return;

    const bool larger = m_keys.Pressed(PolledKey::X);
    const bool smaller = !larger && m_keys.Pressed(PolledKey::Z);
    if (!larger && !smaller) return;
    if (m_state.fullScreen == 1) {
        m_mci.PauseKeepingPosition();
        m_settings.fullScreenFit =
            larger ? std::min(m_settings.fullScreenFit + 1, 5) : std::max(m_settings.fullScreenFit - 1, 1);
        m_host.PlaceVideo();
        if (m_state.paused) m_mci.Send("seek movie to " + std::to_string(m_state.position));
        else m_mci.Send("play movie");
    } else {
        m_state.pendingCommand.Ask(larger ? kCmdLargerVideo : kCmdSmallerVideo);
    }
    m_state.inputCooldown = 2;
}

void InputControl::PollTrackKeys(bool act) {
    // One track a press; B and V together choose the next sound.
    const bool audio = m_keys.Pressed(PolledKey::B);
    const bool subtitle = m_keys.Pressed(PolledKey::V);
    if (!act || m_state.closed != 0) return;
    if (audio) m_state.trackRequest.Ask(kTrackAudio);
    else if (subtitle) m_state.trackRequest.Ask(kTrackSubtitle);
}
