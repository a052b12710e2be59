// The main window's drop and the open-file dialog's choice: the playlist and the traffic after.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "playback/OpenFiles.h"
#include "tests/playback/PlaybackRig.h"

namespace {

// Names relative to a folder holding m/b.mp3, m/A.MP3, m/readme.txt, m/x/c.wav and list.m3u;
// entries after the drop or choice (busy -1), and the file opened ("" none: the device closed).
struct Case { Strings items; bool editor; int busy; Strings entries; std::string opened; bool broken = false; };

TEST(OpenFilesTest, DropOrChoiceReplacesTheListAndPlaysItsFirstEntry) {
    const Strings old = {"/old/one.mp3", "/old/two.mp3"};
    const Case cases[] = {
        {{"m"}, false, 0, {"m/A.MP3", "m/b.mp3", "m/x/c.wav"}, "A.MP3"},  // sorted, the folder searched
        {{"m/readme.txt", "list.m3u"}, false, 0, {"/music/c.mp3", "/music/A.mp3"}, "/music/c.mp3"},
        {{"gone.tsr"}, false, 0, {}, ""},  // an unreadable list leaves nothing open
        {{"m"}, true, 0, old, ""}, {{"m"}, false, 1, old, ""},  // ignored: the editor owns the list, or busy
        // The open-file dialog: a list file is read (a new round of tries), any other file plays alone.
        {{"list.m3u"}, false, -1, {"/music/c.mp3", "/music/A.mp3"}, "/music/c.mp3", true},
        {{"m/readme.txt"}, false, -1, {"m/readme.txt"}, "readme.txt"}, {{"gone.m3u"}, false, -1, {}, ""},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        for (const char* name : {"m/b.mp3", "m/A.MP3", "m/readme.txt", "m/x/c.wav"}) tmp.Write(name, "");
        tmp.Write("list.m3u", "#EXTM3U\r\n/music/c.mp3\r\nrelative.mp3\r\n/music/A.mp3\r\n");
        rig.SetEntries(old);
        rig.playlist.currentIndex = 1;
        rig.host.editorExists = c.editor;
        if (c.broken) rig.device.Answer("status movie mode", "");
        PlayerState& s = rig.state;
        s.busy = std::max(c.busy, 0), s.closed = c.busy < 0, s.seekKnobX = 100;
        s.trackPending = s.seekDragging = s.failedOpensInARow = 1;
        Strings items, entries;
        for (const std::string& i : c.items) items.push_back(tmp.path() + i);
        for (const std::string& e : c.entries) entries.push_back(e[0] == '/' ? e : tmp.path() + e);
        const bool taken = !c.editor && c.busy <= 0;
        if (c.busy < 0) OpenChosenFile(rig.context, items[0]);
        else EXPECT_EQ(DropOnMainWindow(rig.context, items), taken);
        EXPECT_EQ(rig.playlist.Entries(), entries) << c.items[0];
        EXPECT_EQ(s.busy, std::max(c.busy, 0));
        if (!taken) { EXPECT_TRUE(rig.device.sent.empty()); continue; }
        EXPECT_EQ(rig.playlist.currentIndex + s.seekKnobX + (c.busy < 0 ? 0 : s.trackPending + s.seekDragging), 0);
        EXPECT_EQ(rig.playlist.orderCount, static_cast<int>(entries.size()));
        EXPECT_EQ(s.closed, c.opened.empty() ? 1 : 0) << c.items[0];
        // A track in an existing folder opens by its name, one whose folder is missing by path.
        EXPECT_EQ(rig.device.sent.size() > 4 ? rig.device.sent[4] : "",
                  c.opened.empty() ? "" : "open \"" + c.opened + "\" type mpegvideo alias movie");
        if (!c.opened.empty()) { EXPECT_EQ(s.failedOpensInARow, c.broken ? 1 : 0); }
    }
}

}  // namespace
