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
    : m_state(state), m_settings(settings), m_playlist(playlist), m_mci(mci), m_volume(volume), m_clock(clock),
      m_host(host), m_setup(std::move(setup)) {}

void MainTick::OnTimer() {
    if (m_ended) return;
    if (m_state.failedTrackWait > 1) --m_state.failedTrackWait;
    m_state.tickCounter += 1;
    if (m_state.tickCounter >= m_state.tickDivisor) m_state.tickCounter = 0;
    if (m_state.firstTickDone == 0) {
        FirstTick();
    } else if (m_state.backgroundReload == 1) {
        m_state.backgroundReload.Clear();
        m_host.ReloadBackground();
    }
    m_host.PollKeyboard();
    if (m_state.busy != 0 || m_state.tickCounter > 0) return;
    FullTick();
}

bool MainTick::CanRest(bool inputQuiet) const {
    const PlayerState& s = m_state;
    if (!CanSkipSubTicks(inputQuiet)) return false;
    // Playing moves the clock.
    if (!(s.closed == 1 || s.paused == 1)) return false;
    // The ticker steps on every full tick while the list has entries, unless a browsed name
    // stands in its place.
    return m_playlist.count == 0 || s.trackPending > 0;
}

bool MainTick::CanSkipSubTicks(bool inputQuiet) const {
    const PlayerState& s = m_state;
    if (m_ended || !inputQuiet || s.firstTickDone == 0 || s.busy != 0) return false;
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
    if (m_ended) return TickPace::Stop;
    if (m_state.busy != 0 || m_state.tickCounter != 0) return TickPace::Run;
    if (CanRest(inputQuiet)) return TickPace::Rest;
    return m_state.tickDivisor > 1 && CanSkipSubTicks(inputQuiet) ? TickPace::Nap : TickPace::Run;
}

int MainTick::CallsToFullTick() const {
    return m_state.tickDivisor <= 1 ? 1 : m_state.tickDivisor - m_state.tickCounter;
}

void MainTick::Slept(int calls) {
    if (calls <= 0 || m_ended) return;
    if (m_state.failedTrackWait > 1) m_state.failedTrackWait = std::max(1, m_state.failedTrackWait - calls);
    const int divisor = m_state.tickDivisor;
    if (divisor <= 1) return;  // every call is a full one
    // OnTimer runs a full tick on the call that brings tickCounter round to 0.
    const int callsToFull = divisor - m_state.tickCounter;
    m_state.tickCounter = calls >= callsToFull - 1 ? divisor - 1 : m_state.tickCounter + calls;
}

bool MainTick::QuitNow() {
    if (m_ended || m_state.firstTickDone == 0 || m_state.busy != 0) return false;
    m_state.quitRequested.Ask(true);
    Shutdown();
    return true;
}

void MainTick::FirstTick() {
    m_state.firstTickDone = 1;
    m_state.quitRequested.Clear();
    m_host.LoadSurfaces();
    m_host.PlaceMainWindow(m_settings.mainX, m_settings.mainY);
    m_host.ApplyShape();

    if (!m_setup.items.empty()) FillFromMainWindowDrop(m_playlist, m_setup.items);
    m_playlist.SyncCount();
    m_playlist.currentIndex = 0;

    bool lastListReadable = true;
    if (m_playlist.count == 0) {
        m_mci.Close();
        lastListReadable = LoadLastList(m_setup.programFolder, m_playlist, !m_setup.guest);
        m_playlist.SyncCount();
    } else {
        lastListReadable = !LastListUnreadable(m_setup.programFolder);
    }
    if (!lastListReadable) {
        m_state.lastListUnreadable = 1;
        m_state.lastListFingerprint = ListFingerprint(m_playlist);
    }
    m_host.ShowVideoWindow(m_settings.videoX, m_settings.videoY);
    m_playlist.BuildPlayOrder(m_settings.shuffle, m_clock);
    if (m_playlist.count > 0) {
        if (m_settings.autoPlay == 1) m_host.OpenCurrentTrack();
        else m_mci.Close();
    }
    m_host.PlaceVideo();

    SyncVolumeAtStart(m_volume, m_state);

    RestoreWorkingFolder(m_settings);
    LogLine("first tick done: " + std::to_string(m_playlist.count) + " entries");
}

// One full tick, in this order: what other windows and the bus left in the records, the
// input requests, the device's position, the auxiliary windows in step, the playback tick
// (transport and drawing), then the video's place and the orderly quit.
void MainTick::FullTick() {
    if (m_state.handedCommandLine.Pending()) TakeHandedCommandLine();
    if (m_state.fullScreen == 1) FullScreenInput();
    TakeWheelStep();
    CarryOutToggleRequest();
    CarryOutSpeedStepRequest();
    CarryOutBusRequests(m_state, m_settings, m_playlist, m_mci, m_clock, m_volume);
    PollPosition();
    if (m_state.fullScreen == 1 && m_state.panelInFullScreen == 1) ControlPanelInFullScreen();
    if (m_state.playlistEditorOpen == 1) PlaylistEditorInStep();
    if (m_state.failedTrackWait == 1) StepPastFailedTrack();
    RunPlaybackTick();
    if (m_host.AuxValue(AuxWindow::Video, kVideoSnapped) == 1) m_host.PlaceVideo();
    if (m_state.quitRequested == 1) Shutdown();
}

void MainTick::TakeWheelStep() {
    if (m_state.wheelStep != 0) {
        m_state.speedStepRequest.Ask(m_state.wheelStep);
        m_state.wheelStep.Clear();
    }
    if (m_state.inputCooldown != 0) m_state.speedStepRequest.Clear();
    m_state.inputCooldown -= 1;
    if (m_state.inputCooldown <= 0) m_state.inputCooldown = 0;
}

void MainTick::CarryOutToggleRequest() {
    if (m_state.toggleRequest == 0) return;
    if (m_state.paused == 0 && m_state.speed != 0) m_mci.Send("play movie");
    else if (m_state.paused != 0 && m_state.speed != 0) m_mci.Send("pause movie");
    // Nothing open (a failed open closed the device): the toggle opens the entry as PLAY does.
    else if (m_state.closed != 0) RequestPlay(m_state);
    else m_mci.TogglePlayPause();
    m_state.speed = 0;
    m_state.toggleRequest.Clear();
    if (m_host.ControlPanelExists() && m_state.fullScreen == 1 && m_state.panelInFullScreen == 1) {
        m_host.ShowControlPanelAtBottom(m_state.screenWidth, m_state.screenHeight);
        m_host.FocusStepSink();
    }
    if (m_settings.hideCursor == 0 && m_state.fullScreen == 1 && m_state.panelInFullScreen == 0) {
        m_host.ShowOverlay(m_state.screenWidth, m_state.screenHeight);
        m_host.FocusStepSink();
    }
}

void MainTick::CarryOutSpeedStepRequest() {
    if (m_state.speedStepRequest == 0) return;
    m_state.speed += m_state.speedStepRequest == 1 ? 1 : -1;
    if (m_state.speed > 9) m_state.speed = 9;
    if (m_state.speed < -9) m_state.speed = -9;
    if (m_state.paused == 0 && m_state.speed == 0) {
        // A search stepped back to normal play.
        m_state.inputCooldown = 2;
        m_mci.Send("play movie");
    }
    m_state.speedStepRequest.Clear();
}

void MainTick::PollPosition() {
    // Nothing is open while a track that would not open shows its name: no end check.
    if (m_state.seekDragging != KnobDrag::Idle || m_state.closed != 0 || m_state.failedTrackWait != 0 ||
        m_state.trackOpening)
        return;
    const int p = m_mci.QueryNumber("status movie position");
    m_state.polledPosition = p;
    int length = m_state.timeFormatMs == 1 ? m_state.lengthMs : m_state.lengthFrames;
    // The device learns a stream's length once it has read it to the end; shown from then on.
    if (length == 0 && m_mci.LearnLength())
        length = m_state.timeFormatMs == 1 ? m_state.lengthMs : m_state.lengthFrames;
    // A click waiting for its button to go up (kCmdOpenButton..kCmdQuit) is not overwritten either.
    const bool keep = m_state.pendingCommand == kCmdNextTrack ||
                      (m_state.pendingCommand >= kCmdOpenButton && m_state.pendingCommand <= kCmdQuit);
    if (length == 0) {
        // Length 0 is unknown (a stream that states none): the position tells nothing of
        // the end, the device's "stopped" does. Asked only while playing at normal speed
        // with nothing queued: a seek (a search, a frame step while paused) leaves the
        // device stopped too, and must never end the track.
        if (m_state.paused == 0 && m_state.speed == 0 && m_state.pendingCommand == kCmdNone &&
            m_mci.QueryText("status movie mode", kModeReplySize + 1) == "stopped")
            m_state.pendingCommand.Ask(kCmdCheckEnd);
    } else if (p >= length && !keep) {
        m_state.pendingCommand.Ask(kCmdCheckEnd);
    }
    if (length != 0) m_state.seekKnobX = SeekKnobX(p, length);
}

void MainTick::RunPlaybackTick() {
    // Behind full-screen video without the panel the player is not drawn.
    if (m_state.fullScreen == 0 || m_state.panelInFullScreen == 1) m_host.PlaybackTick();
    else m_host.PlaybackTickNoDraw();
}

void MainTick::TakeHandedCommandLine() {
    // Carried out also with the editor open (it shows the new list); kept for the next full
    // tick only when the window cannot take it now.
    const std::vector<std::string>& items = m_state.handedCommandLine->value().items;
    if (!items.empty() && !m_host.DropItems(items)) return;
    const size_t taken = items.size();
    m_state.handedCommandLine.Clear();
    LogLine("hand-over carried out: " + std::to_string(taken) + " items" +
            (m_state.playlistEditorOpen == 1 ? ", shown in the editor" : ""));
}

void MainTick::StepPastFailedTrack() {
    // A request of the user's goes first; the step waits for the next full tick.
    if (m_state.pendingCommand != kCmdNone && m_state.pendingCommand != kCmdCheckEnd) return;
    m_state.failedTrackWait = 0;
    // It counts as the end of that track, unless the user stopped meanwhile.
    if (m_state.closed == 0) m_state.pendingCommand.Ask(kCmdNextTrack);
}

void MainTick::FullScreenInput() {
    int r = m_host.AuxValue(AuxWindow::FullScreen, kFullScreenScrollStep);
    if (r != 0) m_state.speedStepRequest.Ask(r);
    r = m_host.AuxValue(AuxWindow::Overlay, kFullScreenScrollStep);
    if (r != 0) m_state.speedStepRequest.Ask(r);
    if (m_state.inputCooldown != 0) m_state.speedStepRequest.Clear();

    if (m_host.AuxValue(AuxWindow::Overlay, kFullScreenLeftClick) != 0 ||
        (m_host.AuxValue(AuxWindow::FullScreen, kFullScreenLeftClick) != 0 && m_state.panelInFullScreen == 0)) {
        m_state.toggleRequest.Ask(true);
        m_host.FocusStepSink();
    }
    if (m_host.AuxValue(AuxWindow::FullScreen, kFullScreenMiddleClick) != 0 ||
        m_host.AuxValue(AuxWindow::Overlay, kFullScreenMiddleClick) != 0) {
        m_state.toggleRequest.Ask(true);
        m_host.FocusStepSink();
    }
}

void MainTick::ControlPanelInFullScreen() {
    m_state.position = m_mci.QueryNumber("status movie position");
    m_host.AuxSetValue(AuxWindow::ControlPanel, kPanelSetLength, m_mci.QueryNumber("status movie length"));
    if (m_host.AuxValue(AuxWindow::ControlPanel, kPanelSliderState) == kPanelSliderMoved) {
        m_state.position = m_host.AuxValue(AuxWindow::ControlPanel, kPanelPosition);
        if (m_state.paused == 0) m_mci.Send("play movie from " + std::to_string(m_state.position));
        else m_mci.Send("seek movie to " + std::to_string(m_state.position));
        m_host.AuxSetValue(AuxWindow::ControlPanel, kPanelShowPosition, m_state.position);
        m_host.FocusStepSink();
    } else {
        m_host.AuxSetValue(AuxWindow::ControlPanel, kPanelShowPosition, m_state.position);
    }

    if (m_host.AuxValue(AuxWindow::ControlPanel, kPanelVolumeState) == kPanelVolumeMoved) {
        int level = m_host.AuxValue(AuxWindow::ControlPanel, kPanelVolumeLevel);
        level = level < 0 ? 0 : level > 255 ? 255 : level;
        const uint32_t volume = static_cast<uint32_t>(level) * 0x01010101u;
        if (m_state.seekDragging == KnobDrag::Idle) {
            m_volume.Set(volume);
            m_state.volumeKnobX = static_cast<int>(volume / kVolumeKnobDivisor);
        }
        m_host.FocusStepSink();
    }

    if (m_host.AuxValue(AuxWindow::ControlPanel, kPanelButtonState) == kPanelButtonPressed) {
        const int button = m_host.AuxValue(AuxWindow::ControlPanel, kPanelButton);
        if (button <= kPanelPlayPause + 1) {  // the play/pause button alternates 0 and 1
            if (m_state.closed == 0) {
                m_state.pendingCommand.Ask(m_state.paused ? kCmdPlay : kCmdPause);
                m_host.FocusStepSink();
            }
        } else if (button == kPanelNext || button == kPanelBack) {
            if (m_state.paused == 0)
                m_state.pendingCommand.Ask(button == kPanelNext ? kCmdNextTrack : kCmdPreviousTrack);
            else m_mci.StepPictures(button == kPanelNext ? 1 : -1);
            m_host.FocusStepSink();
        }
    }
}

void MainTick::PlaylistEditorInStep() {
    if (m_playlist.count != m_playlist.orderCount) m_playlist.BuildPlayOrder(m_settings.shuffle, m_clock);
    const int request = m_host.AuxValue(AuxWindow::PlaylistEditor, kEditorRequest);
    if (request == kEditorRequestResized) {
        m_host.EditorLayOut();
        const WindowRect rect = m_host.EditorWindowRect();
        m_settings.editorX = rect.x;
        m_settings.editorY = rect.y;
        m_settings.editorWidth = rect.width;
        m_settings.editorHeight = rect.height;
    }
    if (request == kEditorRequestPlay) {
        m_playlist.currentIndex = m_host.AuxValue(AuxWindow::PlaylistEditor, kEditorChosenEntry);
        m_host.EditorReset(kResetRequest);
        m_host.EditorReset(kResetChosenEntry);
        m_mci.Close();
        m_state.pendingCommand.Ask(kCmdOpenAndPlay);
    }
    m_playlist.currentIndex = m_host.AuxValue(AuxWindow::PlaylistEditor, kEditorCurrent);
    m_playlist.count = m_host.AuxValue(AuxWindow::PlaylistEditor, kEditorCount);
}

std::string MainTick::SaveStateFiles() {
    const std::string& folder = m_setup.programFolder;
    // Another player on the same folder saves before or after us, never at the same time.
    const FolderLock lock(folder);
    // A state file the start could not read may hold the user's data: it is left alone.
    const char* list = nullptr;  // what went otherwise than saved
    if (m_state.lastListUnreadable == 1 && ListFingerprint(m_playlist) == m_state.lastListFingerprint) {
        list = "list not saved (unreadable at start, unchanged since)";
    } else if (!SaveLastList(folder, m_playlist)) {
        list = "list NOT saved";
        ReportProblem("the last playlist could not be saved to " + folder + kLastListFileName);
    }
    const char* settings = nullptr;
    if (m_state.settingsUnreadable == 1) {
        settings = "settings not saved (unreadable at start)";
    } else if (!SaveSettings(folder, m_settings)) {
        settings = "settings NOT saved";
        ReportProblem("the settings could not be saved to " + folder + kConfigFileName);
    }
    std::string volume;
    if (!SaveKeptVolume(folder, m_volume)) {
        volume = ", volume NOT saved";
        ReportProblem("the volume could not be saved to " + folder + kKeptVolumeFileName);
    }
    SaveGainMode(folder, m_settings);
    return (list == nullptr && settings == nullptr
                ? "list and settings saved"
                : std::string(list ? list : "list saved") + ", " + (settings ? settings : "settings saved")) +
           volume;
}

void MainTick::Shutdown() {
    m_mci.Close();
    m_settings.videoX = m_host.AuxValue(AuxWindow::Video, kVideoX);
    m_settings.videoY = m_host.AuxValue(AuxWindow::Video, kVideoY);
    std::string saved;
    if (m_setup.guest) {
        // The owner of the folder saves its own list, settings and volume; ours would replace them.
        ReportProblem("guest player quits: the playlist, settings and volume in " + m_setup.programFolder +
                      " were left as they are");
        saved = "guest, nothing saved";
    } else {
        saved = SaveStateFiles();
    }
    m_playlist.ReleaseOrder();
    m_host.DestroyVideoWindow();
    m_host.DeleteSurfacesAndWindows();
    m_ended = true;
    LogLine("quit: " + saved + ", entry " + std::to_string(m_playlist.currentIndex) + " of " +
            std::to_string(m_playlist.count));
    m_host.EndDialog();
}
