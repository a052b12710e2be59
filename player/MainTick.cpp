#include "player/MainTick.h"

#include <algorithm>
#include <utility>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/WaveVolume.h"
#include "playback/BusRequests.h"
#include "playback/MciSession.h"
#include "playback/WaveVolumeControl.h"
#include "state/AuxProtocol.h"
#include "state/PlayerState.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "settings/GainModeFile.h"
#include "settings/SettingsFile.h"
#include "state/Settings.h"

MainTick::MainTick(PlayerState& state, Settings& settings, Playlist& playlist, MciSession& mci, WaveVolume& volume,
                   Clock& clock, MainTickHost& host, MainTickSetup setup)
    : state_(state), settings_(settings), playlist_(playlist), mci_(mci), volume_(volume), clock_(clock), host_(host),
      setup_(std::move(setup)) {}

void MainTick::OnTimer() {
    if (ended_) return;
    if (state_.failedTrackWait > 1) --state_.failedTrackWait;
    state_.tickCounter += 1;
    if (state_.tickCounter >= state_.tickDivisor) state_.tickCounter = 0;
    if (state_.firstTickDone == 0) {
        FirstTick();
    } else if (state_.backgroundReload == 1) {
        state_.backgroundReload.Clear();
        host_.ReloadBackground();
    }
    host_.PollKeyboard();
    if (state_.busy != 0 || state_.tickCounter > 0) return;
    FullTick();
}

bool MainTick::CanRest(bool inputQuiet) const {
    const PlayerState& s = state_;
    if (!CanSkipSubTicks(inputQuiet)) return false;
    // Playing moves the clock.
    if (!(s.closed == 1 || s.paused == 1)) return false;
    // The ticker steps on every full tick while the list has entries, unless a browsed name
    // stands in its place.
    return playlist_.count == 0 || s.trackPending > 0;
}

bool MainTick::CanSkipSubTicks(bool inputQuiet) const {
    const PlayerState& s = state_;
    if (ended_ || !inputQuiet || s.firstTickDone == 0 || s.busy != 0) return false;
    // A search or a frame step moves the picture.
    if (s.speed != 0) return false;
    // An open running in the device is finished by a full tick.
    if (s.requests.AnyPending() || s.inputCooldown != 0 || s.trackOpening) return false;
    if (s.keysHeld != 0 || s.prevKeysHeld != 0 || s.mouseButtonDown != 0 || s.seekDragging != KnobDrag::Idle ||
        s.volumeDragging != KnobDrag::Idle || s.rightButtonSearch != 0)
        return false;
    for (const int counter : s.buttonCounters)
        if (counter > 0) return false;
    if (s.failedTrackWait != 0 || s.minimiseState != MinimiseState::Shown || s.restoreRefresh != 0) return false;
    return s.fullScreen == 0 && s.playlistEditorOpen == 0;
}

TickPace MainTick::Pace(bool inputQuiet) const {
    if (ended_) return TickPace::Stop;
    if (state_.busy != 0 || state_.tickCounter != 0) return TickPace::Run;
    if (CanRest(inputQuiet)) return TickPace::Rest;
    return state_.tickDivisor > 1 && CanSkipSubTicks(inputQuiet) ? TickPace::Nap : TickPace::Run;
}

int MainTick::CallsToFullTick() const { return state_.tickDivisor <= 1 ? 1 : state_.tickDivisor - state_.tickCounter; }

void MainTick::Slept(int calls) {
    if (calls <= 0 || ended_) return;
    if (state_.failedTrackWait > 1) state_.failedTrackWait = std::max(1, state_.failedTrackWait - calls);
    const int divisor = state_.tickDivisor;
    if (divisor <= 1) return;  // every call is a full one
    // OnTimer runs a full tick on the call that brings tickCounter round to 0.
    const int callsToFull = divisor - state_.tickCounter;
    state_.tickCounter = calls >= callsToFull - 1 ? divisor - 1 : state_.tickCounter + calls;
}

bool MainTick::QuitNow() {
    if (ended_ || state_.firstTickDone == 0 || state_.busy != 0) return false;
    state_.quitRequested.Ask(true);
    Shutdown();
    return true;
}

void MainTick::FirstTick() {
    state_.firstTickDone = 1;
    state_.quitRequested.Clear();
    host_.LoadSurfaces();
    host_.PlaceMainWindow(settings_.mainX, settings_.mainY);
    host_.ApplyShape();

    if (!setup_.items.empty()) FillFromMainWindowDrop(playlist_, setup_.items);
    playlist_.SyncCount();
    playlist_.currentIndex = 0;

    bool lastListReadable = true;
    if (playlist_.count == 0) {
        mci_.Close();
        lastListReadable = LoadLastList(setup_.programFolder, playlist_, !setup_.guest);
        playlist_.SyncCount();
    } else {
        lastListReadable = !LastListUnreadable(setup_.programFolder);
    }
    if (!lastListReadable) {
        state_.lastListUnreadable = 1;
        state_.lastListFingerprint = ListFingerprint(playlist_);
    }
    host_.ShowVideoWindow(settings_.videoX, settings_.videoY);
    playlist_.BuildPlayOrder(settings_.shuffle, clock_);
    if (playlist_.count > 0) {
        if (settings_.autoPlay == 1) host_.OpenCurrentTrack();
        else mci_.Close();
    }
    host_.PlaceVideo();

    SyncVolumeAtStart(volume_, state_);

    RestoreWorkingFolder(settings_);
    LogLine("first tick done: " + std::to_string(playlist_.count) + " entries");
}

// One full tick, in this order: what other windows and the bus left in the records, the
// input requests, the device's position, the auxiliary windows in step, the playback tick
// (transport and drawing), then the video's place and the orderly quit.
void MainTick::FullTick() {
    if (state_.handedCommandLine.Pending()) TakeHandedCommandLine();
    if (state_.fullScreen == 1) FullScreenInput();
    TakeWheelStep();
    CarryOutToggleRequest();
    CarryOutSpeedStepRequest();
    CarryOutBusRequests(state_, settings_, playlist_, mci_, clock_, volume_);
    PollPosition();
    if (state_.fullScreen == 1 && state_.panelInFullScreen == 1) ControlPanelInFullScreen();
    if (state_.playlistEditorOpen == 1) PlaylistEditorInStep();
    if (state_.failedTrackWait == 1) StepPastFailedTrack();
    RunPlaybackTick();
    if (host_.AuxValue(AuxWindow::Video, kVideoSnapped) == 1) host_.PlaceVideo();
    if (state_.quitRequested == 1) Shutdown();
}

void MainTick::TakeWheelStep() {
    if (state_.wheelStep != 0) {
        state_.speedStepRequest.Ask(state_.wheelStep);
        state_.wheelStep.Clear();
    }
    if (state_.inputCooldown != 0) state_.speedStepRequest.Clear();
    state_.inputCooldown -= 1;
    if (state_.inputCooldown <= 0) state_.inputCooldown = 0;
}

void MainTick::CarryOutToggleRequest() {
    if (state_.toggleRequest == 0) return;
    if (state_.paused == 0 && state_.speed != 0) mci_.Send("play movie");
    else if (state_.paused != 0 && state_.speed != 0) mci_.Send("pause movie");
    // Nothing open (a failed open closed the device): the toggle opens the entry as PLAY does.
    else if (state_.closed != 0) RequestPlay(state_);
    else mci_.TogglePlayPause();
    state_.speed = 0;
    state_.toggleRequest.Clear();
    if (host_.ControlPanelExists() && state_.fullScreen == 1 && state_.panelInFullScreen == 1) {
        host_.ShowControlPanelAtBottom(state_.screenWidth, state_.screenHeight);
        host_.FocusStepSink();
    }
    if (settings_.hideCursor == 0 && state_.fullScreen == 1 && state_.panelInFullScreen == 0) {
        host_.ShowOverlay(state_.screenWidth, state_.screenHeight);
        host_.FocusStepSink();
    }
}

void MainTick::CarryOutSpeedStepRequest() {
    if (state_.speedStepRequest == 0) return;
    state_.speed += state_.speedStepRequest == 1 ? 1 : -1;
    if (state_.speed > 9) state_.speed = 9;
    if (state_.speed < -9) state_.speed = -9;
    if (state_.paused == 0 && state_.speed == 0) {
        // A search stepped back to normal play.
        state_.inputCooldown = 2;
        mci_.Send("play movie");
    }
    state_.speedStepRequest.Clear();
}

void MainTick::PollPosition() {
    // Nothing is open while a track that would not open shows its name: no end check.
    if (state_.seekDragging != KnobDrag::Idle || state_.closed != 0 || state_.failedTrackWait != 0 ||
        state_.trackOpening)
        return;
    const int p = mci_.QueryNumber("status movie position");
    state_.polledPosition = p;
    int length = state_.timeFormatMs == 1 ? state_.lengthMs : state_.lengthFrames;
    // The device learns a stream's length once it has read it to the end; shown from then on.
    if (length == 0 && mci_.LearnLength()) length = state_.timeFormatMs == 1 ? state_.lengthMs : state_.lengthFrames;
    // A click waiting for its button to go up (kCmdOpenButton..kCmdQuit) is not overwritten either.
    const bool keep = state_.pendingCommand == kCmdNextTrack ||
                      (state_.pendingCommand >= kCmdOpenButton && state_.pendingCommand <= kCmdQuit);
    if (length == 0) {
        // Length 0 is unknown (a stream that states none): the position tells nothing of
        // the end, the device's "stopped" does. Asked only while playing at normal speed
        // with nothing queued: a seek (a search, a frame step while paused) leaves the
        // device stopped too, and must never end the track.
        if (state_.paused == 0 && state_.speed == 0 && state_.pendingCommand == kCmdNone &&
            mci_.QueryText("status movie mode", kModeReplySize + 1) == "stopped")
            state_.pendingCommand.Ask(kCmdCheckEnd);
    } else if (p >= length && !keep) {
        state_.pendingCommand.Ask(kCmdCheckEnd);
    }
    if (length != 0) state_.seekKnobX = SeekKnobX(p, length);
}

void MainTick::RunPlaybackTick() {
    // Behind full-screen video without the panel the player is not drawn.
    if (state_.fullScreen == 0 || state_.panelInFullScreen == 1) host_.PlaybackTick();
    else host_.PlaybackTickNoDraw();
}

void MainTick::TakeHandedCommandLine() {
    // Carried out also with the editor open (it shows the new list); kept for the next full
    // tick only when the window cannot take it now.
    const std::vector<std::string>& items = state_.handedCommandLine->value().items;
    if (!items.empty() && !host_.DropItems(items)) return;
    const size_t taken = items.size();
    state_.handedCommandLine.Clear();
    LogLine("hand-over carried out: " + std::to_string(taken) + " items" +
            (state_.playlistEditorOpen == 1 ? ", shown in the editor" : ""));
}

void MainTick::StepPastFailedTrack() {
    // A request of the user's goes first; the step waits for the next full tick.
    if (state_.pendingCommand != kCmdNone && state_.pendingCommand != kCmdCheckEnd) return;
    state_.failedTrackWait = 0;
    // It counts as the end of that track, unless the user stopped meanwhile.
    if (state_.closed == 0) state_.pendingCommand.Ask(kCmdNextTrack);
}

void MainTick::FullScreenInput() {
    int r = host_.AuxValue(AuxWindow::FullScreen, kFullScreenScrollStep);
    if (r != 0) state_.speedStepRequest.Ask(r);
    r = host_.AuxValue(AuxWindow::Overlay, kFullScreenScrollStep);
    if (r != 0) state_.speedStepRequest.Ask(r);
    if (state_.inputCooldown != 0) state_.speedStepRequest.Clear();

    if (host_.AuxValue(AuxWindow::Overlay, kFullScreenLeftClick) != 0 ||
        (host_.AuxValue(AuxWindow::FullScreen, kFullScreenLeftClick) != 0 && state_.panelInFullScreen == 0)) {
        state_.toggleRequest.Ask(true);
        host_.FocusStepSink();
    }
    if (host_.AuxValue(AuxWindow::FullScreen, kFullScreenMiddleClick) != 0 ||
        host_.AuxValue(AuxWindow::Overlay, kFullScreenMiddleClick) != 0) {
        state_.toggleRequest.Ask(true);
        host_.FocusStepSink();
    }
}

void MainTick::ControlPanelInFullScreen() {
    state_.position = mci_.QueryNumber("status movie position");
    host_.AuxSetValue(AuxWindow::ControlPanel, kPanelSetLength, mci_.QueryNumber("status movie length"));
    if (host_.AuxValue(AuxWindow::ControlPanel, kPanelSliderState) == kPanelSliderMoved) {
        state_.position = host_.AuxValue(AuxWindow::ControlPanel, kPanelPosition);
        if (state_.paused == 0) mci_.Send("play movie from " + std::to_string(state_.position));
        else mci_.Send("seek movie to " + std::to_string(state_.position));
        host_.AuxSetValue(AuxWindow::ControlPanel, kPanelShowPosition, state_.position);
        host_.FocusStepSink();
    } else {
        host_.AuxSetValue(AuxWindow::ControlPanel, kPanelShowPosition, state_.position);
    }

    if (host_.AuxValue(AuxWindow::ControlPanel, kPanelVolumeState) == kPanelVolumeMoved) {
        int level = host_.AuxValue(AuxWindow::ControlPanel, kPanelVolumeLevel);
        level = level < 0 ? 0 : level > 255 ? 255 : level;
        const uint32_t volume = static_cast<uint32_t>(level) * 0x01010101u;
        if (state_.seekDragging == KnobDrag::Idle) {
            volume_.Set(volume);
            state_.volumeKnobX = static_cast<int>(volume / kVolumeKnobDivisor);
        }
        host_.FocusStepSink();
    }

    if (host_.AuxValue(AuxWindow::ControlPanel, kPanelButtonState) == kPanelButtonPressed) {
        const int button = host_.AuxValue(AuxWindow::ControlPanel, kPanelButton);
        if (button <= kPanelPlayPause + 1) {  // the play/pause button alternates 0 and 1
            if (state_.closed == 0) {
                state_.pendingCommand.Ask(state_.paused ? kCmdPlay : kCmdPause);
                host_.FocusStepSink();
            }
        } else if (button == kPanelNext || button == kPanelBack) {
            if (state_.paused == 0) state_.pendingCommand.Ask(button == kPanelNext ? kCmdNextTrack : kCmdPreviousTrack);
            else mci_.StepPictures(button == kPanelNext ? 1 : -1);
            host_.FocusStepSink();
        }
    }
}

void MainTick::PlaylistEditorInStep() {
    if (playlist_.count != playlist_.orderCount) playlist_.BuildPlayOrder(settings_.shuffle, clock_);
    const int request = host_.AuxValue(AuxWindow::PlaylistEditor, kEditorRequest);
    if (request == kEditorRequestResized) {
        host_.EditorLayOut();
        const WindowRect rect = host_.EditorWindowRect();
        settings_.editorX = rect.x;
        settings_.editorY = rect.y;
        settings_.editorWidth = rect.width;
        settings_.editorHeight = rect.height;
    }
    if (request == kEditorRequestPlay) {
        playlist_.currentIndex = host_.AuxValue(AuxWindow::PlaylistEditor, kEditorChosenEntry);
        host_.EditorReset(kResetRequest);
        host_.EditorReset(kResetChosenEntry);
        mci_.Close();
        state_.pendingCommand.Ask(kCmdOpenAndPlay);
    }
    playlist_.currentIndex = host_.AuxValue(AuxWindow::PlaylistEditor, kEditorCurrent);
    playlist_.count = host_.AuxValue(AuxWindow::PlaylistEditor, kEditorCount);
}

std::string MainTick::SaveStateFiles() {
    const std::string& folder = setup_.programFolder;
    // Another player on the same folder saves before or after us, never at the same time.
    const FolderLock lock(folder);
    // A state file the start could not read may hold the user's data: it is left alone.
    const char* list = nullptr;  // what went otherwise than saved
    if (state_.lastListUnreadable == 1 && ListFingerprint(playlist_) == state_.lastListFingerprint) {
        list = "list not saved (unreadable at start, unchanged since)";
    } else if (!SaveLastList(folder, playlist_)) {
        list = "list NOT saved";
        ReportProblem("the last playlist could not be saved to " + folder + kLastListFileName);
    }
    const char* settings = nullptr;
    if (state_.settingsUnreadable == 1) {
        settings = "settings not saved (unreadable at start)";
    } else if (!SaveSettings(folder, settings_)) {
        settings = "settings NOT saved";
        ReportProblem("the settings could not be saved to " + folder + kConfigFileName);
    }
    std::string volume;
    if (!SaveKeptVolume(folder, volume_)) {
        volume = ", volume NOT saved";
        ReportProblem("the volume could not be saved to " + folder + kKeptVolumeFileName);
    }
    SaveGainMode(folder, settings_);
    return (list == nullptr && settings == nullptr
                ? "list and settings saved"
                : std::string(list ? list : "list saved") + ", " + (settings ? settings : "settings saved")) +
           volume;
}

void MainTick::Shutdown() {
    mci_.Close();
    settings_.videoX = host_.AuxValue(AuxWindow::Video, kVideoX);
    settings_.videoY = host_.AuxValue(AuxWindow::Video, kVideoY);
    std::string saved;
    if (setup_.guest) {
        // The owner of the folder saves its own list, settings and volume; ours would replace them.
        ReportProblem("guest player quits: the playlist, settings and volume in " + setup_.programFolder +
                      " were left as they are");
        saved = "guest, nothing saved";
    } else {
        saved = SaveStateFiles();
    }
    playlist_.ReleaseOrder();
    host_.DestroyVideoWindow();
    host_.DeleteSurfacesAndWindows();
    ended_ = true;
    LogLine("quit: " + saved + ", entry " + std::to_string(playlist_.currentIndex) + " of " +
            std::to_string(playlist_.count));
    host_.EndDialog();
}
