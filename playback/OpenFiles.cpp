#include "playback/OpenFiles.h"

#include "playback/MciSession.h"
#include "playback/OpenTrack.h"
#include "platform/Log.h"
#include "state/PlayerState.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

bool DropOnMainWindow(PlaybackContext& c, const std::vector<std::string>& items) {
    PlayerState& s = c.state;
    // Another drop, a list load or an open is in progress, or the editor owns the list.
    if (c.host.PlaylistEditorExists() || s.busy != 0) return false;
    ReplaceListAsDrop(c, items);
    return true;
}

void ReplaceListAsDrop(PlaybackContext& c, const std::vector<std::string>& items) {
    PlayerState& s = c.state;
    s.busy = 1;
    s.trackPending = 0;
    c.playlist.currentIndex = 0;
    c.mci.Close();
    FillFromMainWindowDrop(c.playlist, items);
    c.playlist.currentIndex = 0;
    s.busy = 0;
    s.seekDragging = KnobDrag::Idle;
    s.position = 0;
    c.playlist.BuildPlayOrder(c.settings.shuffle, c.clock);
    OpenCurrentTrack(c);
    c.host.FocusStepSink();
}

void OpenChosenFile(PlaybackContext& c, const std::string& path) {
    PlayerState& s = c.state;
    s.busy = 1;
    c.mci.Send("close movie");
    s.closed = 0;
    s.failedOpensInARow = 0;  // a new list starts a new round of tries
    s.seekKnobX = 0;
    c.playlist.ClearStore();
    if (IsListFilePath(path)) {
        if (ReadListFile(path, c.playlist, 0) < 0) LogLine("cannot read the chosen list " + path);
    } else {
        c.playlist.AddSorted(path);
    }
    c.playlist.SyncCount();
    c.playlist.currentIndex = 0;
    c.playlist.BuildPlayOrder(c.settings.shuffle, c.clock);
    OpenCurrentTrack(c);
    s.busy = 0;
}
