// The main window's drop and the open-file dialog's choice: what the playlist becomes and
// the device traffic that follows.
#include <gtest/gtest.h>

#include <string>

#include "playback/OpenFiles.h"
#include "tests/playback/PlaybackRig.h"

namespace {

std::string OpenCommand(const std::string& name) { return "open \"" + name + "\" type mpegvideo alias movie"; }

TEST(DropOnMainWindowTest, ReplacesTheListSortedAndPlaysTheFirstEntry) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    tmp.Write("m/b.mp3", "");
    tmp.Write("m/A.MP3", "");
    tmp.Write("m/readme.txt", "");
    tmp.Write("m/x/c.wav", "");
    rig.SetEntries({"/old/one.mp3", "/old/two.mp3"});
    rig.playlist.currentIndex = 1;
    rig.state.trackPending = 1;
    rig.state.position = 777;
    rig.state.seekDragging = 2;

    ASSERT_TRUE(DropOnMainWindow(rig.context, {tmp.path() + "m"}));

    EXPECT_EQ(rig.playlist.Entries(),
              (Strings{tmp.path() + "m/A.MP3", tmp.path() + "m/b.mp3", tmp.path() + "m/x/c.wav"}));
    EXPECT_EQ(rig.playlist.count, 3);
    EXPECT_EQ(rig.playlist.currentIndex, 0);
    EXPECT_EQ(rig.playlist.orderCount, 3);
    EXPECT_EQ(rig.state.trackPending, 0);
    EXPECT_EQ(rig.state.busy, 0);
    EXPECT_EQ(rig.state.seekDragging, 0);
    ASSERT_GE(rig.device.sent.size(), 5u);
    EXPECT_EQ(Strings(rig.device.sent.begin(), rig.device.sent.begin() + 5),
              (Strings{"close movie", "stop movie", "window movie handle default", "close movie",
                       OpenCommand("A.MP3")}));
    EXPECT_EQ(Strings(rig.device.sent.end() - 2, rig.device.sent.end()), (Strings{"[focus]", "[focus]"}));
    EXPECT_EQ(rig.state.closed, 0);
}

TEST(DropOnMainWindowTest, IgnoredWhileTheEditorExistsOrBusy) {
    struct Case {
        bool editor;
        int busy;
    };
    const Case cases[] = {{true, 0}, {false, 1}, {true, 1}};
    for (const Case& c : cases) {
        TempFolder tmp;
        PlaybackRig rig;
        tmp.Write("a.mp3", "");
        rig.SetEntries({"/keep.mp3"});
        rig.host.editorExists = c.editor;
        rig.state.busy = c.busy;
        EXPECT_FALSE(DropOnMainWindow(rig.context, {tmp.path() + "a.mp3"}));
        EXPECT_TRUE(rig.device.sent.empty());
        EXPECT_EQ(rig.playlist.Entries(), (Strings{"/keep.mp3"}));
        EXPECT_EQ(rig.state.busy, c.busy);
    }
}

TEST(DropOnMainWindowTest, NothingFoundFallsBackToTheLastItem) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    const std::string list = tmp.Write("list.m3u", "#EXTM3U\r\n/music/c.mp3\r\n/music/b.mp3\r\n/music/A.mp3\r\n");
    ASSERT_TRUE(DropOnMainWindow(rig.context, {list}));
    EXPECT_EQ(rig.playlist.Entries(), (Strings{"/music/c.mp3", "/music/b.mp3", "/music/A.mp3"}));
    EXPECT_EQ(rig.device.sent[4], "open \"/music/c.mp3\" type mpegvideo alias movie");  // folder missing
}

TEST(DropOnMainWindowTest, UnreadableListLeavesAnEmptyListAndAClosedDevice) {
    PlaybackRig rig;
    rig.SetEntries({"/old.mp3"});
    ASSERT_TRUE(DropOnMainWindow(rig.context, {"/no/such/folder/list.tsr"}));
    EXPECT_TRUE(rig.playlist.Entries().empty());
    EXPECT_EQ(rig.playlist.count, 0);
    EXPECT_EQ(rig.device.sent, (Strings{"close movie", "close movie", "[focus]", "[focus]"}));
    EXPECT_EQ(rig.state.closed, 1);
    EXPECT_EQ(rig.state.busy, 0);
}

TEST(OpenChosenFileTest, ListFilesAreReadAnyOtherFilePlaysAlone) {
    struct Case {
        std::string name;
        std::string bytes;
        Strings entries;  // relative to the temporary folder when not absolute
        std::string opened;
    };
    const Case cases[] = {
        {"mix.TSR", "/z/b.mp3\r\nrelative.mp3\r\n/z/a.mp3\r\n", {"/z/b.mp3", "/z/a.mp3"}, "/z/b.mp3"},
        {"mix.m3u", "#EXTM3U\r\n#EXTINF:215,Artist - Title\r\n/z/a.mp3\r\n", {"/z/a.mp3"}, "/z/a.mp3"},
        {"notes.txt", "text", {"notes.txt"}, "notes.txt"},
        {"song.mp3", "", {"song.mp3"}, "song.mp3"},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        const std::string path = tmp.Write(c.name, c.bytes);
        rig.SetEntries({"/old/1.mp3", "/old/2.mp3"});
        rig.playlist.currentIndex = 1;
        rig.state.closed = 1;
        rig.state.seekKnobX = 100;
        OpenChosenFile(rig.context, path);
        Strings expected;
        for (const std::string& e : c.entries) expected.push_back(e[0] == '/' ? e : tmp.path() + e);
        EXPECT_EQ(rig.playlist.Entries(), expected) << c.name;
        EXPECT_EQ(rig.playlist.count, static_cast<int>(expected.size()));
        EXPECT_EQ(rig.playlist.currentIndex, 0);
        ASSERT_GE(rig.device.sent.size(), 5u);
        EXPECT_EQ(rig.device.sent[0], "close movie");
        // A track in an existing folder opens by name; one whose folder is missing by path.
        EXPECT_EQ(rig.device.sent[4], OpenCommand(c.opened)) << c.name;
        EXPECT_EQ(rig.state.closed, 0);
        EXPECT_EQ(rig.state.busy, 0);
    }
}

TEST(OpenChosenFileTest, VanishedListClosesAndClearsBusy) {
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({"/old/1.mp3"});
    OpenChosenFile(rig.context, tmp.path() + "gone.m3u");
    EXPECT_TRUE(rig.playlist.Entries().empty());
    EXPECT_EQ(rig.device.sent, (Strings{"close movie", "close movie", "[focus]"}));
    EXPECT_EQ(rig.state.closed, 1);
    EXPECT_EQ(rig.state.seekKnobX, 0);
    EXPECT_EQ(rig.state.busy, 0);
}

}  // namespace
