// Opening the current entry: the traffic of each mode, the title lines, a file that would not
// open; the main window's drop and the open-file dialog's choice, with the playlist after.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include "media/TrackTag.h"
#include "playback/OpenFiles.h"
#include "playback/OpenTrack.h"
#include "tests/playback/PlaybackRig.h"

namespace {

// Each mode with its z-order refresh at the end; an index outside the list (one past its end, or below 0) opens the
// entry at that end. A device that plays silently (no sound output) has the title line say so.
TEST(OpenTrackTest, TrafficOfEachMode) {
    const Strings close = {"stop movie", "window movie handle default", "close movie",
                           "open \"x.mpg\" type mpegvideo alias movie", "status movie mode"};
    const Strings top = {"[main topmost 40 50]"}, notTop = {"[main not topmost 40 50]"};
    // The lengths in frames, then in milliseconds, then the display's format back.
    const Strings lengths = {"status movie time format", "set movie time format frames", "status movie length",
                             "status movie time format", "set movie time format milliseconds", "status movie length",
                             "status movie time format"};
    struct Case { int fullScreen, sizeMode, onTop, minimised, index; bool editor, silent; Strings traffic; };
    const Case cases[] = {
        {0, 1, 1, 0, 1, false, false, Concat({close, {"stop movie", "window movie handle 7", "where movie destination"},
         lengths, {"[place video]", "play movie", "[title lines]"}, notTop, top, {"[focus]"}})},
        {0, 6, 0, 3, -4, true, true, Concat({close, {"stop movie", "window movie handle default state minimized",
         "window movie handle 7", "[main bottom 40 50]", "where movie destination"}, lengths,
         {"[place video]", "play movie", "[title lines]"}, top, notTop, {"[mark 0]", "[focus]"}})},
        {1, 1, 1, 2, 0, false, false, Concat({{"[panel effects]", "[overlay topmost 0 0 0 0]",
         "[full screen topmost 0 -20 1024 788]"}, close, {"stop movie", "window movie handle default",
         "window movie handle 9", "where movie destination", "put movie destination at 192 164 640 480"}, lengths,
         {"play movie", "pause movie", "[place video]", "play movie from 0", "[title lines]"}, top, {"[focus]"}})},
    };
    for (const Case& c : cases) {
        PlaybackRig rig;
        rig.SetEntries({rig.tmp.Write("a/b/x.mpg", "data")});
        rig.playlist.currentIndex = c.index;
        rig.device.Answer("where movie destination", "0 0 320 240");
        rig.host.editorExists = c.editor;
        rig.device.silent = c.silent;
        for (const char* format : {"milliseconds", "frames", "milliseconds"})
            rig.device.AnswerOnce("status movie time format", format);
        for (const char* length : {"250", "10000"}) rig.device.AnswerOnce("status movie length", length);
        PlayerState& s = rig.state;
        s = {.closed = 1, .paused = 1, .position = 999, .speed = 4, .busy = 1, .seekDragging = KnobDrag::Dragging,
             .marqueeStarted = 1, .fullScreen = c.fullScreen, .screenWidth = 1024, .screenHeight = 768,
             .minimiseState = MinimiseState(c.minimised)};
        Settings& st = rig.settings;
        st = {.mainX = 40, .mainY = 50, .alwaysOnTop = c.onTop, .videoSizeMode = c.sizeMode, .fullScreenFit = 2};
        OpenCurrentTrack(rig.context);
        EXPECT_EQ(rig.device.sent, c.traffic) << c.index;
        EXPECT_EQ(std::pair(std::filesystem::current_path().string() + "/", st.lastTrackFolder),
                  std::pair(rig.tmp.path() + "a/b/", rig.tmp.path() + "a/b/"));
        EXPECT_EQ(rig.video.natural, (VideoRect{0, 0, 320, 240}));
        EXPECT_EQ((std::vector<int>{rig.playlist.currentIndex, s.lengthFrames, s.lengthMs, s.closed, s.paused, s.speed,
                                    s.position, s.busy, s.pendingCommand.Get(), s.marqueeStarted, s.marqueeOffset,
                                    s.titleWidth[0], s.titleWidth[1], s.failedTrackWait, int(s.seekDragging)}),
                  (std::vector<int>{0, 250, 10000, 0, 0, 0, 0, 0, 0, 0, -141, 100, 204, 0, c.fullScreen})) << c.index;
        EXPECT_EQ(rig.host.line1, std::string(c.silent ? kNoSoundNotice : "") + " x.mpg  <0:00:10> |") << c.index;
    }
}

TEST(OpenTrackTest, PictureRectangles) {
    struct Case { int fit, width, height; VideoRect rect; };
    const Case cases[] = {
        {0, 320, 240, {1, 2, 3, 4}},  // keeps the previous one
        {1, 320, 240, {352, 264, 320, 240}}, {2, 320, 240, {192, 144, 640, 480}}, {3, 320, 240, {32, 24, 960, 720}},
        {2, 2000, 1000, {512, 384, 0, 0}}, {3, 400, 300, {112, 84, 800, 600}},  // k = 0; 3 x 400 is too wide
        {2, 320, 480, {352, 144, 320, 480}},  // twice the width fits, twice the height does not: k = 1
        {4, 320, 240, {0, 0, 1024, 768}}, {4, 352, 240, {0, 34, 1024, 698}}, {4, 0, 0, {512, 384, 0, 0}},  // no picture
        {4, 320, 0, {512, 384, 0, 0}},  // a width without a height scales nothing
        {5, 320, 240, {0, 0, 1024, 768}}, {9, 123, 45, {0, 0, 1024, 768}},
    };
    for (const Case& c : cases) {
        VideoGeometry g;
        const VideoRect got = FullScreenDestination(c.fit, 1024, 768, {0, 0, c.width, c.height}, {1, 2, 3, 4}, g);
        EXPECT_EQ(got, c.rect) << "fit " << c.fit << " " << c.width << "x" << c.height;
        EXPECT_EQ(g.halfWidth, c.fit == 0 ? 160 : 0);
    }
    // The reply of "where movie destination", cut at single blanks.
    const std::pair<std::string, VideoRect> replies[] = {
        {"10 20", {10, 20, 0, 0}}, {"1  2 3", {1, 0, 2, 3}}, {"abc 5 6 7 8", {0, 5, 6, 7}}, {"7", {7, 0, 0, 0}},
        {"-4 -8 100 50", {-4, -8, 100, 50}}, {std::string(70, '9') + " 1 2 3", {2147483647, 1, 2, 3}},
        {std::string(58, '0') + "12 1 2 3", {1, 1, 2, 3}},  // a field is read to its 59th character
    };
    for (const auto& [reply, rect] : replies) EXPECT_EQ(ParseDestination(reply), rect) << "reply '" << reply << "'";
}

TEST(OpenTrackTest, TitleLinesShowNameLengthAndTag) {
    const TrackTag tag{.present = true, .title = "Song", .artist = "Band"};
    EXPECT_EQ(TitleLine2(tag, "line 1"), " Song \xEF\xBC\x9A Band  |");
    EXPECT_EQ(TitleLine2(TrackTag{}, "line 1"), "line 1");
    const std::pair<int, std::string> cases[] = {{3725000, "1:02:05"}, {59999, "0:00:59"}, {360000000, "100:00:00"}};
    for (const auto& [ms, time] : cases) EXPECT_EQ(TitleLine1("a.mp3", ms), " a.mp3  <" + time + "> |");
    EXPECT_EQ(TitleLine1("\x8B\xC8.mp3", 0), " \xE6\x9B\xB2.mp3  <0:00:00> |") << "Shift-JIS names show decoded";
}

// The device answers no mode after the open of a file it cannot open.
TEST(OpenTrackTest, FileThatWouldNotOpenShowsItsNameThenCountsAsTheEndOfItsTrack) {
    struct Case { const char* name; std::string mode; int entries, closedBefore, failedBefore;
                  int failedAfter, wait, closed; };
    const Case cases[] = {
        {"a first failure: its name shows for a moment", "", 3, 0, 0, 1, kFailedTrackShowCalls, 0},
        {"from a closed device a round starts anew", "", 3, 1, 2, 1, kFailedTrackShowCalls, 0},
        {"a full round of failures stops", "", 3, 0, 2, 0, 0, 1},
        {"so does a lone entry, at once", "", 1, 1, 0, 0, 0, 1},
        {"an open that works ends the round", "stopped", 3, 0, 2, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlaybackRig rig;
        rig.SetEntries(Strings(static_cast<size_t>(c.entries), rig.tmp.Write("broken.mp3", "not media")));
        rig.device.Answer("status movie mode", c.mode);
        rig.video.natural = VideoRect{0, 0, 640, 360};
        PlayerState& s = rig.state;
        s = {.closed = c.closedBefore, .failedTrackWait = 9, .failedOpensInARow = c.failedBefore};
        OpenCurrentTrack(rig.context);
        EXPECT_EQ(std::tuple(s.failedOpensInARow, s.failedTrackWait, s.closed, s.marqueeStarted, s.marqueeOffset),
                  std::tuple(c.failedAfter, c.wait, c.closed, int(c.mode.empty()), c.mode.empty() ? 0 : -141));
        const Strings end = c.closed ? Strings{"[title lines]", "close movie"} : Strings{"play movie", "[title lines]"};
        EXPECT_EQ(Strings(rig.device.sent.end() - 3, rig.device.sent.end()), Concat({end, {"[focus]"}}));
        EXPECT_EQ(rig.video.natural, (VideoRect{0, 0, 640, 360}));
    }
}

// A device that opens in the background ("not ready"): the name shows, the tick asks once a full
// tick until the device answers, then the open ends as any other: played, or a file that would not
// open. A close gives it up: nothing more is asked.
TEST(OpenTrackTest, AnOpenTheDeviceFinishesLaterIsFinishedByTheTick) {
    for (const std::string answer : {"stopped", "", "<closed>"}) {
        PlaybackRig rig;
        rig.SetEntries({rig.tmp.Write("a.mp3", "x"), rig.tmp.Write("b.mp3", "x")});
        for (const char* mode : {"not ready", "not ready"}) rig.device.AnswerOnce("status movie mode", mode);
        rig.device.AnswerOnce("status movie mode", answer);
        OpenCurrentTrack(rig.context);
        EXPECT_EQ(std::tuple(rig.state.trackOpening, rig.state.busy, rig.host.line1),
                  std::tuple(true, false, std::string(" a.mp3  <0:00:00> |")));
        EXPECT_EQ(Strings(rig.device.sent.end() - 3, rig.device.sent.end()),
                  (Strings{"status movie mode", "[title lines]", "[focus]"}));
        rig.device.sent.clear();
        ContinueOpeningTrack(rig.context);
        EXPECT_EQ(rig.device.sent, Strings{"status movie mode"});
        if (answer == "<closed>") rig.mci.Close();
        ContinueOpeningTrack(rig.context);
        if (answer == "<closed>") {
            EXPECT_EQ(rig.device.sent, (Strings{"status movie mode", "close movie"}));
            continue;
        }
        const Strings& sent = rig.device.sent;
        EXPECT_EQ(std::tuple(rig.state.trackOpening, sent[2], std::count(sent.begin(), sent.end(), "play movie")),
                  std::tuple(false, std::string("stop movie"), std::ptrdiff_t{1})) << answer;
        EXPECT_EQ(rig.state.failedTrackWait, answer.empty() ? kFailedTrackShowCalls : 0) << answer;
    }
}

TEST(OpenTrackTest, WhyAFileWouldNotPlay) {
    TempFolder tmp;
    ASSERT_EQ(::mkfifo((tmp.path() + "fifo.mp3").c_str(), 0600) + ::mkdir((tmp.path() + "dir.mp3").c_str(), 0700), 0);
    const std::pair<std::string, std::string> cases[] = {
        {tmp.path() + "gone.mp3", "No such file or directory"}, {tmp.path() + "dir.mp3", "it is a folder"},
        {tmp.path() + "fifo.mp3", "it is not a regular file (a FIFO, a socket or a device)"},
        {tmp.Write("e.mp3", ""), "it is empty"},
        {tmp.Write("text.mp3", "text"), "the device cannot play it (not media it knows, or damaged)"},
    };
    for (const auto& [path, why] : cases) EXPECT_EQ(WhyTrackWillNotPlay(path), why);
}

// Names relative to a folder holding m/b.mp3, m/A.MP3, m/readme.txt, m/x/c.wav and list.m3u;
// entries after the drop or choice (busy -1), and the file opened ("" none: the device closed).
TEST(OpenFilesTest, DropOrChoiceReplacesTheListAndPlaysItsFirstEntry) {
    struct Case { Strings items; bool editor; int busy; Strings entries; std::string opened; bool broken = false; };
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
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        PlaybackRig rig;
        for (const char* name : {"m/b.mp3", "m/A.MP3", "m/readme.txt", "m/x/c.wav"}) rig.tmp.Write(name, "");
        rig.tmp.Write("list.m3u", "#EXTM3U\r\n/music/c.mp3\r\nrelative.mp3\r\n/music/A.mp3\r\n");
        rig.SetEntries(old);
        rig.playlist.currentIndex = 1;
        rig.host.editorExists = c.editor;
        if (c.broken) rig.device.Answer("status movie mode", "");
        PlayerState& s = rig.state;
        s = {.closed = c.busy < 0, .busy = c.busy > 0, .trackPending = 1, .seekDragging = KnobDrag::Dragging,
             .seekKnobX = 100, .failedOpensInARow = 1};
        Strings items, entries;
        for (const std::string& i : c.items) items.push_back(rig.tmp.path() + i);
        for (const std::string& e : c.entries) entries.push_back(e[0] == '/' ? e : rig.tmp.path() + e);
        const bool taken = !c.editor && c.busy <= 0;
        if (c.busy < 0) OpenChosenFile(rig.context, items[0]);
        else EXPECT_EQ(DropOnMainWindow(rig.context, items), taken);
        EXPECT_EQ(std::pair(rig.playlist.Entries(), int(s.busy)), std::pair(entries, std::max(c.busy, 0)));
        if (!taken) { EXPECT_TRUE(rig.device.sent.empty()); continue; }
        EXPECT_EQ(rig.playlist.currentIndex + s.seekKnobX + (c.busy < 0 ? 0 : s.trackPending + int(s.seekDragging)), 0);
        EXPECT_EQ(std::pair(rig.playlist.orderCount, s.closed), std::pair(int(entries.size()), c.opened.empty()));
        // A track in an existing folder opens by its name, one whose folder is missing by path.
        EXPECT_EQ(rig.device.sent.size() > 4 ? rig.device.sent[4] : "",
                  c.opened.empty() ? "" : "open \"" + c.opened + "\" type mpegvideo alias movie");
        if (!c.opened.empty()) { EXPECT_EQ(s.failedOpensInARow, c.broken ? 1 : 0); }
    }
}

}  // namespace
