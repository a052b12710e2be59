// Opening the current entry: the exact device traffic of both branches, the folder change,
// the title lines and what the records hold afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "media/Id3v1Tag.h"
#include "playback/OpenTrack.h"
#include "tests/playback/PlaybackRig.h"

namespace {

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

// 200 bytes of "audio" and an ID3v1 tag with the given title and artist (zero padded).
std::string TaggedBytes(const std::string& title, const std::string& artist) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, artist.size(), artist);
    return std::string(200, 'a') + tag;
}

// The traffic before the branch: stop, detach, close.
Strings CloseTraffic() { return {"stop movie", "window movie handle default", "close movie"}; }

TEST(OpenTrackTest, WindowedOpenSendsTheExactSequence) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    const std::string path = tmp.Write("a/b/x.mp3", std::string(300, 'a'));
    rig.SetEntries({path});
    rig.device.Answer("where movie destination", "0 0 320 240");
    rig.ScriptLengths("250", "10000");
    rig.state.closed = 1;
    rig.state.paused = 1;
    rig.state.speed = 4;
    rig.state.seekDragging = 1;
    rig.state.position = 999;
    rig.state.zoomShowTicks = 3;

    OpenCurrentTrack(rig.context);

    EXPECT_EQ(rig.device.sent, Concat({CloseTraffic(),
                                       {"open \"x.mp3\" type mpegvideo alias movie", "stop movie",
                                        "window movie handle 7", "where movie destination"},
                                       LengthTraffic(),
                                       {"[place video]", "play movie", "[title lines]", "[focus]"}}));
    EXPECT_EQ(CurrentFolder() + "/", tmp.path() + "a/b/");
    EXPECT_EQ(rig.settings.lastTrackFolder, tmp.path() + "a/b/");
    EXPECT_EQ(rig.video.natural, (VideoRect{0, 0, 320, 240}));
    EXPECT_EQ(rig.state.lengthFrames, 250);
    EXPECT_EQ(rig.state.lengthMs, 10000);
    EXPECT_EQ(rig.state.timeFormatMs, 1);
    EXPECT_EQ(rig.state.closed, 0);
    EXPECT_EQ(rig.state.paused, 0);
    EXPECT_EQ(rig.state.speed, 0);
    EXPECT_EQ(rig.state.position, 0);
    EXPECT_EQ(rig.state.seekDragging, 0);
    EXPECT_EQ(rig.state.zoomShowTicks, 0);
    EXPECT_EQ(rig.state.busy, 0);
    EXPECT_EQ(rig.state.pendingCommand, 0);
}

TEST(OpenTrackTest, DesktopModeAttachesMinimisedAndSendsTheMainWindowToTheBottom) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("x.wav", "RIFF")});
    rig.ScriptLengths("0", "0");
    rig.settings.videoSizeMode = 6;
    rig.settings.mainX = 40;
    rig.settings.mainY = 50;

    OpenCurrentTrack(rig.context);

    EXPECT_EQ(rig.device.sent, Concat({CloseTraffic(),
                                       {"open \"x.wav\" type mpegvideo alias movie", "stop movie",
                                        "window movie handle default state minimized", "window movie handle 7",
                                        "[main bottom 40 50]", "where movie destination"},
                                       LengthTraffic(),
                                       {"[place video]", "play movie", "[title lines]", "[focus]"}}));
}

TEST(OpenTrackTest, FullScreenOpenSendsTheExactSequence) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("m/clip.mpg", "data")});
    rig.device.Answer("where movie destination", "0 0 320 240");
    rig.ScriptLengths("300", "10010");
    rig.state.fullScreen = 1;
    rig.state.screenWidth = 1024;
    rig.state.screenHeight = 768;
    rig.settings.fullScreenFit = 2;

    OpenCurrentTrack(rig.context);

    EXPECT_EQ(rig.device.sent,
              Concat({{"[panel effects]", "[overlay topmost 0 0 0 0]", "[full screen topmost 0 -20 1024 788]"},
                      CloseTraffic(),
                      {"open \"clip.mpg\" type mpegvideo alias movie", "stop movie", "window movie handle default",
                       "window movie handle 9", "where movie destination",
                       "put movie destination at 192 164 640 480"},
                      LengthTraffic(),
                      {"play movie", "pause movie", "[place video]", "play movie from 0", "[title lines]",
                       "[focus]"}}));
    EXPECT_EQ(rig.video.fullScreen, (VideoRect{192, 144, 640, 480}));
    EXPECT_EQ(rig.state.position, 0);
    EXPECT_EQ(rig.state.closed, 0);
    EXPECT_EQ(CurrentFolder() + "/", tmp.path() + "m/");
}

TEST(OpenTrackTest, FullScreenDestinationFollowsTheZoomMode) {
    struct Case {
        int fit;
        std::string reply;
        std::string put;
    };
    const Case cases[] = {
        {0, "0 0 320 240", "put movie destination at 1 22 3 4"},    // keeps the previous one
        {1, "0 0 320 240", "put movie destination at 352 284 320 240"},
        {2, "0 0 320 240", "put movie destination at 192 164 640 480"},
        {3, "0 0 320 240", "put movie destination at 32 44 960 720"},
        {2, "0 0 2000 1000", "put movie destination at 512 404 0 0"},  // larger than the screen: k = 0
        {3, "0 0 400 300", "put movie destination at 112 104 800 600"},  // 3 x 400 is too wide
        {4, "0 0 320 240", "put movie destination at 0 20 1024 768"},
        {4, "0 0 352 240", "put movie destination at 0 54 1024 698"},
        {4, "", "put movie destination at 512 404 0 0"},  // no picture: no division by zero
        {5, "0 0 320 240", "put movie destination at 0 20 1024 768"},
        {9, "0 0 123 45", "put movie destination at 0 20 1024 768"},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        rig.SetEntries({tmp.Write("v.avi", "data")});
        rig.device.Answer("where movie destination", c.reply);
        rig.state.fullScreen = 1;
        rig.state.screenWidth = 1024;
        rig.state.screenHeight = 768;
        rig.settings.fullScreenFit = c.fit;
        rig.video.fullScreen = VideoRect{1, 2, 3, 4};
        OpenCurrentTrack(rig.context);
        ASSERT_GE(rig.device.sent.size(), 12u);
        EXPECT_EQ(rig.device.sent[11], c.put) << "fit " << c.fit << " reply '" << c.reply << "'";
        if (c.fit == 0) {
            EXPECT_EQ(rig.video.halfWidth, 160);
            EXPECT_EQ(rig.video.halfHeight, 120);
        }
    }
}

TEST(OpenTrackTest, ZOrderIsRefreshedByAlwaysOnTopAndMinimiseState) {
    struct Case {
        int alwaysOnTop;
        int minimiseState;
        Strings placements;
    };
    const Case cases[] = {
        {1, 0, {"[main not topmost 5 6]", "[main topmost 5 6]"}},
        {0, 0, {}},
        {1, 1, {}},
        {0, 1, {}},
        {1, 2, {"[main topmost 5 6]"}},
        {0, 2, {"[main topmost 5 6]", "[main not topmost 5 6]"}},
        {0, 3, {"[main topmost 5 6]", "[main not topmost 5 6]"}},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        rig.SetEntries({tmp.Write("x.mp3", "")});
        rig.settings.alwaysOnTop = c.alwaysOnTop;
        rig.settings.mainX = 5;
        rig.settings.mainY = 6;
        rig.state.minimiseState = c.minimiseState;
        rig.state.activeApp = 0;
        OpenCurrentTrack(rig.context);
        Strings tail(rig.device.sent.begin() + 1 + (std::find(rig.device.sent.begin(), rig.device.sent.end(),
                                                              "[title lines]") - rig.device.sent.begin()),
                     rig.device.sent.end());
        EXPECT_EQ(tail, c.placements) << "alwaysOnTop " << c.alwaysOnTop << " minimiseState " << c.minimiseState;
    }
}

TEST(OpenTrackTest, EditorIsToldTheCurrentEntryAndFocusFollowsActivity) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("a.mp3", ""), tmp.Write("b.mp3", "")});
    rig.playlist.currentIndex = 1;
    rig.host.editorExists = true;
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(Strings(rig.device.sent.end() - 3, rig.device.sent.end()),
              (Strings{"[title lines]", "[mark 1]", "[focus]"}));

    rig.device.ClearSent();
    rig.host.editorExists = false;
    rig.state.activeApp = 0;
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(rig.device.sent.back(), "[title lines]");
}

TEST(OpenTrackTest, EmptyPlaylistOnlyClosesTheDevice) {
    PlaybackRig rig;
    rig.state.speed = 3;
    rig.state.paused = 1;
    rig.settings.lastTrackFolder = "/keep/";
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(rig.device.sent, (Strings{"close movie", "[focus]"}));
    EXPECT_EQ(rig.state.closed, 1);
    EXPECT_EQ(rig.state.paused, 0);
    EXPECT_EQ(rig.state.speed, 0);
    EXPECT_EQ(rig.state.busy, 0);
    EXPECT_EQ(rig.settings.lastTrackFolder, "/keep/");
}

TEST(OpenTrackTest, IndexPastTheEndOpensTheLastEntry) {
    struct Case {
        int entries;
        int index;
        int opened;
    };
    const Case cases[] = {{1, 5, 0}, {3, 3, 2}, {3, 1, 1}, {3, -4, 0}};
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        Strings paths;
        for (int i = 0; i < c.entries; ++i) paths.push_back(tmp.Write("t" + std::to_string(i) + ".mp3", ""));
        rig.SetEntries(paths);
        rig.playlist.currentIndex = c.index;
        OpenCurrentTrack(rig.context);
        EXPECT_EQ(rig.playlist.currentIndex, c.opened);
        EXPECT_EQ(rig.device.sent[3], "open \"t" + std::to_string(c.opened) + ".mp3\" type mpegvideo alias movie");
    }
}

TEST(OpenTrackTest, TitleLinesShowNameLengthAndTag) {
    struct Case {
        std::string file;
        std::string bytes;
        std::string lengthMs;
        std::string line1;
        std::string line2;
    };
    const Case cases[] = {
        {"song.mp3", TaggedBytes("Song", "Band"), "3725000", " song.mp3  <1:02:05> |", " Song \xEF\xBC\x9A Band  |"},
        {"plain.mp3", std::string(300, 'x'), "59999", " plain.mp3  <0:00:59> |", " plain.mp3  <0:00:59> |"},
        {"short.wav", "RIFF", "", " short.wav  <0:00:00> |", " short.wav  <0:00:00> |"},
        // Shift-JIS tag fields are shown decoded: 曲 (8B C8) and 歌手 (89 CC 8E E8).
        {"jp.mp3", TaggedBytes("\x8B\xC8", "\x89\xCC\x8E\xE8"), "36000000", " jp.mp3  <10:00:00> |",
         " \xE6\x9B\xB2 \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |"},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        PlaybackRig rig;
        rig.SetEntries({tmp.Write(c.file, c.bytes)});
        rig.ScriptLengths("1", c.lengthMs);
        rig.state.marqueeStarted = 1;
        rig.state.marqueeOffset = 77;
        OpenCurrentTrack(rig.context);
        EXPECT_EQ(rig.host.line1, c.line1);
        EXPECT_EQ(rig.host.line2, c.line2);
        EXPECT_EQ(rig.state.titleWidth[0], 100);
        EXPECT_EQ(rig.state.titleWidth[1], 204);
        EXPECT_EQ(rig.state.marqueeStarted, 0);
        EXPECT_EQ(rig.state.marqueeOffset, -141);
    }
}

TEST(OpenTrackTest, NameThatIsNotUtf8OpensByItsBytesAndShowsDecoded) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("\x8B\xC8.mp3", "")});  // 曲.mp3 in Shift-JIS
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(rig.device.sent[3], "open \"\x8B\xC8.mp3\" type mpegvideo alias movie");
    EXPECT_EQ(rig.host.line1, " \xE6\x9B\xB2.mp3  <0:00:00> |");
}

TEST(OpenTrackTest, FolderThatCannotBeEnteredNeverOpensASameNamedFileAbove) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    tmp.Write("x.mp3", "a decoy in the parent");
    const std::string gone = tmp.path() + "gone/x.mp3";
    rig.SetEntries({gone});
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(rig.device.sent[3], "open \"" + gone + "\" type mpegvideo alias movie");
    EXPECT_EQ(rig.settings.lastTrackFolder, tmp.path() + "gone/");
    EXPECT_EQ(rig.state.busy, 0);
}

TEST(OpenTrackTest, DestinationReplyIsCutAtSingleBlanks) {
    struct Case {
        std::string reply;
        VideoRect rect;
    };
    const Case cases[] = {
        {"0 0 320 240", {0, 0, 320, 240}},
        {"10 20", {10, 20, 0, 0}},
        {"1  2 3", {1, 0, 2, 3}},
        {"abc 5 6 7 8", {0, 5, 6, 7}},
        {"-4 -8 100 50", {-4, -8, 100, 50}},
        {std::string(70, '9') + " 1 2 3", {INT_MAX, 1, 2, 3}},
        {"7", {7, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseDestination(c.reply), c.rect) << "reply '" << c.reply << "'";
}

TEST(OpenTrackTest, EmptyDestinationReplyKeepsTheNaturalRectangle) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("a.mp3", "")});
    rig.video.natural = VideoRect{0, 0, 640, 360};
    OpenCurrentTrack(rig.context);
    EXPECT_EQ(rig.video.natural, (VideoRect{0, 0, 640, 360}));
}

TEST(OpenTrackTest, TogglePlayPauseOpensThroughTheInstalledOpener) {
    CurrentFolderGuard guard;
    TempFolder tmp;
    PlaybackRig rig;
    rig.SetEntries({tmp.Write("a.mp3", "")});
    InstallTrackOpener(rig.context);
    rig.state.closed = 1;
    rig.state.paused = 1;
    rig.mci.TogglePlayPause();
    EXPECT_EQ(rig.device.sent[3], "open \"a.mp3\" type mpegvideo alias movie");
    EXPECT_EQ(rig.device.sent.back(), "play movie");
    EXPECT_EQ(rig.state.closed, 0);
}

TEST(TitleLineTest, LengthIsSplitIntoHoursMinutesSeconds) {
    struct Case {
        int ms;
        std::string text;
    };
    const Case cases[] = {{0, " a.mp3  <0:00:00> |"},        {999, " a.mp3  <0:00:00> |"},
                          {61000, " a.mp3  <0:01:01> |"},    {3725000, " a.mp3  <1:02:05> |"},
                          {3599999, " a.mp3  <0:59:59> |"},  {360000000, " a.mp3  <100:00:00> |"}};
    for (const Case& c : cases) EXPECT_EQ(TitleLine1("a.mp3", c.ms), c.text) << c.ms;
}

TEST(TitleLineTest, SecondLineUsesTheTagOnlyWhenPresent) {
    Id3v1Tag tag;
    tag.present = true;
    tag.title = "Song ";
    tag.artist = "Band\n";
    EXPECT_EQ(TitleLine2(tag, "L1"), " Song  \xEF\xBC\x9A Band\n  |");
    tag.present = false;
    EXPECT_EQ(TitleLine2(tag, "L1"), "L1");
}

}  // namespace
