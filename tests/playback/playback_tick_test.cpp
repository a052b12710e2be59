// The playback tick through the scripted device: the dispatcher, searches in both wheel
// modes, frame steps, browsing while closed, the end of a track, the tick rate and the
// minimise follow-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "playback/PlaybackTick.h"
#include "tests/playback/PlaybackRig.h"

namespace {

// A rig whose device plays at 5000 ms in milliseconds.
struct TickRig : PlaybackRig {
    TickRig() {
        device.Answer("status movie time format", "milliseconds");
        device.Answer("status movie position", "5000");
    }
};

Strings SeekTraffic(int target) {
    return {"status movie time format", "status movie position", "seek movie to " + std::to_string(target),
            "status movie time format", "status movie position"};
}

Strings DrawTraffic() { return {"[compose buttons]", "status movie position", "[present 5000]"}; }

std::vector<std::string> Seeks(const Strings& sent) {
    std::vector<std::string> seeks;
    for (const std::string& s : sent)
        if (s.rfind("seek movie to ", 0) == 0) seeks.push_back(s);
    return seeks;
}

TEST(PlaybackTickTest, QuietTickOnlyDrawsAndQueriesThePosition) {
    TickRig rig;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.device.sent, DrawTraffic());
}

TEST(PlaybackTickTest, DispatcherCarriesOutEachCode) {
    struct Case {
        const char* name;
        int code;
        int paused;
        Strings traffic;
        int speedAfter;
        int pausedAfter;
        int pendingAfter;
    };
    const Case cases[] = {
        {"play", 2, 1, {"play movie"}, 0, 0, 0},
        {"pause", 3, 0, {"pause movie", "status movie position"}, 0, 1, 0},
        {"close", 4, 1, {"close movie"}, 5, 0, 0},
        {"search backward", 7, 0, {}, -2, 0, 0},
        {"search forward", 8, 0, {}, 2, 0, 0},
        {"end search playing", 9, 0, {"play movie"}, 0, 0, 0},
        {"end search paused", 9, 1, {}, 0, 1, 0},
        {"smaller video playing", 10, 0, {"pause movie", "[place video]", "play movie"}, 5, 0, 0},
        {"smaller video paused", 10, 1, {"pause movie", "status movie position", "[place video]", "seek movie to 5000"}, 5, 1, 0},
        {"larger video playing", 11, 0, {"pause movie", "[place video]", "play movie"}, 5, 0, 0},
        {"unknown code", 14, 0, {}, 5, 0, 14},
        {"nothing", 0, 0, {}, 5, 0, 0},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.pendingCommand = c.code;
        rig.state.paused = c.paused;
        rig.state.speed = 5;
        rig.state.position = 1234;
        rig.state.buttonCounters[10] = 3;
        rig.state.buttonCounters[11] = 3;
        RunPendingCommand(rig.context);
        EXPECT_EQ(rig.device.sent, c.traffic) << c.name;
        EXPECT_EQ(rig.state.speed, c.speedAfter) << c.name;
        EXPECT_EQ(rig.state.paused, c.pausedAfter) << c.name;
        EXPECT_EQ(rig.state.pendingCommand, c.pendingAfter) << c.name;
        if (c.code == 4) { EXPECT_EQ(rig.state.closed, 1); }
        if (c.code == 9 && c.paused == 0) { EXPECT_EQ(rig.state.inputCooldown, 2); }
        if (c.code == 9 && c.paused == 1) { EXPECT_EQ(rig.state.inputCooldown, 0); }
        if (c.code == 10) { EXPECT_EQ(rig.state.buttonCounters[10], 0) << c.name; }
        if (c.code == 11) { EXPECT_EQ(rig.state.buttonCounters[11], 0) << c.name; }
    }
}

TEST(PlaybackTickTest, VideoSizeStaysWithinItsRange) {
    struct Case {
        int code;
        int before;
        int after;
    };
    const Case cases[] = {{10, 1, 0}, {10, 0, -1}, {10, -1, -1}, {11, 2, 3}, {11, 5, 6}, {11, 6, 6}};
    for (const Case& c : cases) {
        TickRig rig;
        rig.settings.videoSizeMode = c.before;
        rig.state.pendingCommand = c.code;
        RunPendingCommand(rig.context);
        EXPECT_EQ(rig.settings.videoSizeMode, c.after) << c.code << " from " << c.before;
        EXPECT_EQ(rig.device.sent, (Strings{"pause movie", "[place video]", "play movie"}));
    }
}

TEST(PlaybackTickTest, EndCheckAdvancesOnlyOnAWholeStoppedReply) {
    struct Case {
        std::string reply;
        std::string shown;
        int pendingAfter;
    };
    const Case cases[] = {
        {"stopped", "stopped", 6},
        {"playing", "playing", 66},
        {"paused", "paused", 66},
        {"", "", 66},
        {"stoppedX", "stopped", 66},  // overflows the 8-byte reply: never "stopped"
        {"stopped and more", "stopped", 66},
        {"Stopped", "Stopped", 66},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.device.Answer("status movie mode", c.reply);
        rig.state.pendingCommand = 66;
        PlaybackTick(rig.context);
        EXPECT_EQ(rig.device.sent,
                  Concat({DrawTraffic(), {"status movie mode", "[mode " + c.shown + "]"}}))
            << "reply '" << c.reply << "'";
        EXPECT_EQ(rig.state.pendingCommand, c.pendingAfter) << "reply '" << c.reply << "'";
    }
}

TEST(PlaybackTickTest, CloseRequestClosesAfterTheCommand) {
    TickRig rig;
    rig.state.pendingCommand = 3;
    rig.state.closeRequest = 1;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.device.sent, Concat({DrawTraffic(), {"pause movie", "status movie position", "close movie"}}));
    EXPECT_EQ(rig.state.closeRequest, 0);
    EXPECT_EQ(rig.state.closed, 1);
    EXPECT_EQ(rig.state.paused, 0);
}

TEST(PlaybackTickTest, SearchesSeekByWheelModeStateAndButtons) {
    struct Case {
        const char* name;
        int paused;
        int wheelPlaying;
        int wheelPaused;
        int speed;
        uint8_t keys;
        int counter6;
        int counter7;
        int rightButton;
        int target;
        int speedAfter;
    };
    const Case cases[] = {
        {"playing MODE1 +2", 0, 0, 0, 2, 0, 0, 0, 0, 8000, 2},
        {"playing MODE1 +9", 0, 0, 0, 9, 0, 0, 0, 0, 25000, 9},
        {"playing MODE1 -2", 0, 0, 0, -2, 0, 0, 0, 0, 3000, -2},
        {"playing MODE1 -9 stops at 0", 0, 0, 0, -9, 0, 0, 0, 0, 0, -9},
        {"playing MODE2 +2", 0, 1, 0, 2, 0, 0, 0, 0, 5090, 2},
        {"playing MODE2 -1", 0, 1, 0, -1, 0, 0, 0, 0, 4970, -1},
        {"playing right button, no search button", 0, 0, 0, 4, 0, 0, 0, 1, 5060, 1},
        {"paused MODE2 +2 creeps", 1, 0, 1, 2, 0, 0, 0, 0, 5090, 2},
        {"paused MODE2 -3 creeps", 1, 0, 1, -3, 0, 0, 0, 0, 4910, -3},
        {"paused MODE1 key held seeks seconds", 1, 0, 0, 2, 2, 0, 0, 0, 8000, 2},
        {"playing left forward button", 0, 1, 1, 0, 0, 0, 1, 0, 5101, 1},
        {"playing left backward button", 0, 1, 1, 0, 0, 1, 0, 0, 4898, -1},
        {"both buttons: forward wins", 0, 1, 1, 0, 0, 1, 1, 0, 5101, 1},
        {"paused left forward button", 1, 1, 0, 0, 0, 0, 1, 0, 5103, 1},
        {"paused left backward button", 1, 1, 0, 0, 0, 1, 0, 0, 4896, -1},
        {"playing right forward button", 0, 1, 1, 0, 0, 0, 1, 1, 5105, 1},
        {"playing right backward button", 0, 1, 1, 0, 0, 1, 0, 1, 4894, -1},
        {"paused right forward button", 1, 1, 1, 0, 0, 0, 1, 1, 5107, 0},
        {"paused right backward button", 1, 1, 1, 0, 0, 1, 0, 1, 4892, 0},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.settings.searchSpeed[0] = 101;
        rig.settings.searchSpeed[1] = -102;
        rig.settings.searchSpeed[2] = 103;
        rig.settings.searchSpeed[3] = -104;
        rig.settings.searchSpeed[4] = 105;
        rig.settings.searchSpeed[5] = -106;
        rig.settings.searchSpeed[6] = 107;
        rig.settings.searchSpeed[7] = -108;
        rig.state.paused = c.paused;
        rig.settings.wheelModePlaying = c.wheelPlaying;
        rig.settings.wheelModePaused = c.wheelPaused;
        rig.state.speed = c.speed;
        rig.state.keysHeld = c.keys;
        rig.state.prevKeysHeld = c.keys;
        rig.state.buttonCounters[6] = c.counter6;
        rig.state.buttonCounters[7] = c.counter7;
        rig.state.rightButtonSearch = c.rightButton;
        PlaybackTick(rig.context);
        EXPECT_EQ(rig.device.sent, Concat({DrawTraffic(), SeekTraffic(c.target)})) << c.name;
        EXPECT_EQ(rig.state.speed, c.speedAfter) << c.name;
    }
}

TEST(PlaybackTickTest, DefaultSearchButtonSpeeds) {
    struct Case {
        int paused;
        int rightButton;
        int target;
    };
    // 2000 ms playing and 34 ms paused for the left button; 34 ms and 2000 ms for the right.
    const Case cases[] = {{0, 0, 7000}, {1, 0, 5034}, {0, 1, 5034}, {1, 1, 7000}};
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.paused = c.paused;
        rig.state.rightButtonSearch = c.rightButton;
        rig.state.buttonCounters[7] = 1;
        PlaybackTick(rig.context);
        EXPECT_EQ(Seeks(rig.device.sent), (Strings{"seek movie to " + std::to_string(c.target)}));
    }
}

TEST(PlaybackTickTest, HeldSearchButtonSeeksEveryTickUntilReleased) {
    TickRig rig;
    rig.state.mouseButtonDown = 1;
    rig.state.buttonCounters[7] = 1;
    for (int i = 0; i < 3; ++i) PlaybackTick(rig.context);
    EXPECT_EQ(Seeks(rig.device.sent).size(), 3u);
    EXPECT_EQ(rig.state.buttonCounters[7], 1);  // held: not counted down

    rig.state.mouseButtonDown = 0;
    rig.device.ClearSent();
    PlaybackTick(rig.context);  // still lit one more tick
    EXPECT_EQ(Seeks(rig.device.sent).size(), 1u);
    EXPECT_EQ(rig.state.buttonCounters[7], 0);
}

TEST(PlaybackTickTest, KeyReleaseEndsTheSearch) {
    struct Case {
        int paused;
        Strings after;
        int speedAfter;
    };
    const Case cases[] = {{0, {"play movie"}, 0}, {1, {}, 0}};
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.paused = c.paused;
        rig.settings.wheelModePaused = 1;
        rig.state.speed = 2;
        rig.state.keysHeld = 0;
        rig.state.prevKeysHeld = 8;
        PlaybackTick(rig.context);
        const int target = c.paused ? 5090 : 8000;
        EXPECT_EQ(rig.device.sent, Concat({DrawTraffic(), SeekTraffic(target), c.after}));
        EXPECT_EQ(rig.state.speed, c.speedAfter);
        EXPECT_EQ(rig.state.prevKeysHeld, 0);
    }
}

TEST(PlaybackTickTest, PausedWheelNotchStepsExactlyOneFrame) {
    struct Case {
        int speed;
        int target;
    };
    const Case cases[] = {{1, 126}, {-1, 124}, {4, 126}, {-6, 124}};
    for (const Case& c : cases) {
        PlaybackRig rig;
        rig.state.paused = 1;
        rig.settings.wheelModePaused = 0;
        rig.state.speed = c.speed;
        rig.device.AnswerOnce("status movie position", "5000");  // the time field
        rig.device.AnswerOnce("status movie time format", "milliseconds");
        rig.device.AnswerOnce("status movie position", "125");  // in frames
        rig.device.AnswerOnce("status movie time format", "frames");
        rig.device.AnswerOnce("status movie position", "5040");
        PlaybackTick(rig.context);
        EXPECT_EQ(rig.device.sent,
                  (Strings{"[compose buttons]", "status movie position", "[present 5000]",
                           "status movie time format", "set movie time format frames", "status movie position",
                           "seek movie to " + std::to_string(c.target), "status movie time format",
                           "set movie time format milliseconds", "status movie position"}))
            << c.speed;
        EXPECT_EQ(rig.state.speed, 0);
        EXPECT_EQ(rig.state.position, 5040);
        EXPECT_EQ(rig.state.tickDivisor, 0);  // paused: every 30 ms

        rig.device.ClearSent();
        PlaybackTick(rig.context);
        EXPECT_TRUE(Seeks(rig.device.sent).empty()) << "one step per request";
    }
}

TEST(PlaybackTickTest, RightButtonWhilePausedStepsFramesByTheSpeed) {
    TickRig rig;
    rig.state.paused = 1;
    rig.settings.wheelModePaused = 1;
    rig.state.rightButtonSearch = 1;
    rig.state.speed = 3;
    PlaybackTick(rig.context);
    // Frames: T[3] = 3 frames on; the device answered milliseconds, so it is switched.
    EXPECT_EQ(Seeks(rig.device.sent), (Strings{"seek movie to 5003"}));
    EXPECT_EQ(rig.state.speed, 0);
}

TEST(PlaybackTickTest, BrowsingWhileClosedStepsOncePer150Ms) {
    TickRig rig;
    rig.SetEntries({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    rig.state.closed = 1;
    rig.state.mouseButtonDown = 1;
    rig.state.buttonCounters[7] = 1;  // search forward held

    PlaybackTick(rig.context);  // first step shows the current entry's name only
    EXPECT_EQ(rig.state.trackPending, 1);
    EXPECT_EQ(rig.playlist.currentIndex, 0);
    EXPECT_EQ(rig.device.sent, DrawTraffic());
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.playlist.currentIndex, 1);
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.playlist.currentIndex, 2);
    PlaybackTick(rig.context);  // repeat on: wraps without opening anything
    EXPECT_EQ(rig.playlist.currentIndex, 0);
    EXPECT_EQ(rig.state.speed, 0);
    EXPECT_EQ(rig.state.tickDivisor, 5);
    for (const std::string& s : rig.device.sent) {
        EXPECT_EQ(s.find("open"), std::string::npos) << s;
        EXPECT_EQ(s.find("seek"), std::string::npos) << s;
    }

    rig.state.buttonCounters[7] = 0;
    rig.state.buttonCounters[6] = 1;  // search backward
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.playlist.currentIndex, 2);
}

TEST(PlaybackTickTest, BrowsingAtTheFastRateStillStepsEvery150Ms) {
    TickRig rig;
    rig.SetEntries({"/m/a.mp3", "/m/b.mp3", "/m/c.mp3"});
    rig.state.closed = 1;
    rig.state.timeDisplayMode = 0;  // raw counter: a full tick every 30 ms
    rig.state.tickDivisor = 0;
    rig.state.mouseButtonDown = 1;
    rig.state.buttonCounters[7] = 1;
    int steps = 0;
    int last = rig.playlist.currentIndex;
    int lastPending = rig.state.trackPending;
    for (int i = 0; i < 20; ++i) {
        PlaybackTick(rig.context);
        EXPECT_EQ(rig.state.tickDivisor, 0);
        if (rig.playlist.currentIndex != last || rig.state.trackPending != lastPending) ++steps;
        last = rig.playlist.currentIndex;
        lastPending = rig.state.trackPending;
    }
    EXPECT_EQ(steps, 4);  // 20 x 30 ms
    EXPECT_EQ(rig.playlist.currentIndex, 0);  // name shown, then b, c, a
}

TEST(PlaybackTickTest, BrowsingNeedsEntries) {
    TickRig rig;
    rig.state.closed = 1;
    rig.state.speed = 1;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.trackPending, 0);
    EXPECT_EQ(rig.state.pendingCommand, 0);
    EXPECT_EQ(rig.state.speed, 0);
}

// The end of a track: "stopped" queues the next track; the next tick steps by the rules.
TEST(PlaybackTickTest, EndOfTrackFollowsShuffleAndRepeat) {
    struct Case {
        int shuffle;
        int repeat;
        int cursor;        // position in the play order (or index without shuffle)
        bool closes;       // the end of the list closes the device
        int nextPosition;  // position whose entry opens (or becomes current)
    };
    const Case cases[] = {
        {0, 0, 1, false, 2}, {0, 0, 2, true, 0}, {0, 1, 2, false, 0}, {0, 1, 0, false, 1},
        {1, 0, 0, false, 1}, {1, 0, 2, true, 0}, {1, 1, 2, false, 0}, {1, 1, 1, false, 2},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        TickRig rig;
        rig.SetEntries({tmp.Write("t0.mp3", ""), tmp.Write("t1.mp3", ""), tmp.Write("t2.mp3", "")});
        rig.settings.shuffle = c.shuffle;
        rig.settings.repeat = c.repeat;
        rig.playlist.BuildPlayOrder(c.shuffle, rig.clock);
        const std::vector<int> order = c.shuffle ? rig.playlist.order : std::vector<int>{0, 1, 2};
        rig.playlist.orderCursor = c.cursor;
        rig.playlist.currentIndex = order[static_cast<size_t>(c.cursor)];
        rig.device.Answer("status movie mode", "stopped");
        rig.state.pendingCommand = 66;
        const std::string label = "shuffle " + std::to_string(c.shuffle) + " repeat " + std::to_string(c.repeat) +
                                  " cursor " + std::to_string(c.cursor);

        PlaybackTick(rig.context);
        EXPECT_EQ(rig.state.pendingCommand, 6) << label;
        rig.device.ClearSent();
        PlaybackTick(rig.context);

        const int expectedIndex = order[static_cast<size_t>(c.nextPosition)];
        EXPECT_EQ(rig.playlist.currentIndex, expectedIndex) << label;
        if (c.closes) {
            EXPECT_EQ(rig.device.sent, Concat({DrawTraffic(), {"close movie"}})) << label;
            EXPECT_EQ(rig.state.closed, 1) << label;
        } else {
            ASSERT_GE(rig.device.sent.size(), 7u) << label;
            EXPECT_EQ(Strings(rig.device.sent.begin() + 3, rig.device.sent.begin() + 7),
                      (Strings{"stop movie", "window movie handle default", "close movie",
                               "open \"t" + std::to_string(expectedIndex) + ".mp3\" type mpegvideo alias movie"}))
                << label;
            EXPECT_NE(std::find(rig.device.sent.begin(), rig.device.sent.end(), "play movie"), rig.device.sent.end());
            EXPECT_EQ(rig.state.closed, 0) << label;
        }
        EXPECT_EQ(rig.state.pendingCommand, 0) << label;
    }
}

TEST(PlaybackTickTest, PreviousAndNextOpenOrCloseThroughTheDispatcher) {
    struct Case {
        int code;
        int repeat;
        int from;
        int to;
        bool opens;
    };
    const Case cases[] = {
        {5, 1, 0, 2, true}, {5, 0, 0, 0, true}, {5, 0, 2, 1, true}, {6, 0, 2, 0, false}, {6, 1, 2, 0, true},
    };
    for (const Case& c : cases) {
        CurrentFolderGuard guard;
        TempFolder tmp;
        TickRig rig;
        rig.SetEntries({tmp.Write("t0.mp3", ""), tmp.Write("t1.mp3", ""), tmp.Write("t2.mp3", "")});
        rig.settings.repeat = c.repeat;
        rig.playlist.currentIndex = c.from;
        rig.state.pendingCommand = c.code;
        RunPendingCommand(rig.context);
        EXPECT_EQ(rig.playlist.currentIndex, c.to);
        const bool opened = std::find(rig.device.sent.begin(), rig.device.sent.end(),
                                      "open \"t" + std::to_string(c.to) + ".mp3\" type mpegvideo alias movie") !=
                            rig.device.sent.end();
        EXPECT_EQ(opened, c.opens) << "code " << c.code << " repeat " << c.repeat << " from " << c.from;
        if (!c.opens) { EXPECT_EQ(rig.device.sent, (Strings{"close movie"})); }
    }
}

TEST(PlaybackTickTest, StepWithEmptyListClosesAndOpenQueuesNothing) {
    TickRig rig;
    rig.state.pendingCommand = 6;
    RunPendingCommand(rig.context);
    EXPECT_EQ(rig.device.sent, (Strings{"close movie"}));
    rig.device.ClearSent();
    rig.state.pendingCommand = 1;
    RunPendingCommand(rig.context);
    EXPECT_EQ(rig.device.sent, (Strings{"close movie", "[focus]"}));
    EXPECT_EQ(rig.state.pendingCommand, 0);
}

TEST(PlaybackTickTest, TickRateFollowsTheState) {
    struct Case {
        const char* name;
        int speed;
        int paused;
        int timeDisplayMode;
        int fullScreen;
        int seekDragging;
        int volumeDragging;
        int divisor;
    };
    const Case cases[] = {
        {"playing with a clock", 0, 0, 1, 0, 0, 0, 5},
        {"remaining time", 0, 0, 2, 0, 0, 0, 5},
        {"raw counter", 0, 0, 0, 0, 0, 0, 0},
        {"paused", 0, 1, 1, 0, 0, 0, 0},
        {"searching", 2, 0, 1, 0, 0, 0, 0},
        {"paused in full screen", 0, 1, 1, 1, 0, 0, 5},
        {"searching in full screen", 2, 0, 1, 1, 0, 0, 5},
        {"dragging the position knob", 0, 0, 1, 0, 1, 0, 0},
        {"dragging the volume knob", 0, 0, 1, 1, 0, 2, 0},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.speed = c.speed;
        rig.state.paused = c.paused;
        rig.settings.wheelModePaused = 1;
        rig.state.timeDisplayMode = c.timeDisplayMode;
        rig.state.fullScreen = c.fullScreen;
        rig.state.seekDragging = c.seekDragging;
        rig.state.volumeDragging = c.volumeDragging;
        PlaybackTick(rig.context);
        EXPECT_EQ(rig.state.tickDivisor, c.divisor) << c.name;
    }
}

TEST(PlaybackTickTest, PausingSwitchesToTheFastRate) {
    TickRig rig;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.tickDivisor, 5);
    rig.state.pendingCommand = 3;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.tickDivisor, 0);
}

TEST(PlaybackTickTest, ButtonCountersCountDownUnlessAButtonIsHeld) {
    TickRig rig;
    rig.state.buttonCounters[0] = 1;
    rig.state.buttonCounters[14] = 2;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.buttonCounters[0], 0);
    EXPECT_EQ(rig.state.buttonCounters[14], 1);
    EXPECT_EQ(rig.state.buttonCounters[19], -1);
    rig.state.mouseButtonDown = 1;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.buttonCounters[14], 1);
}

TEST(PlaybackTickTest, BrowseCounterPacesAtBothRates) {
    TickRig rig;
    rig.state.tickDivisor = 5;
    rig.state.browseCounter = 2;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.browseCounter, 5);
    rig.state.tickDivisor = 0;
    rig.state.browseCounter = 2;
    PlaybackTick(rig.context);
    EXPECT_EQ(rig.state.browseCounter, 3);
}

TEST(PlaybackTickTest, MinimiseFollowUp) {
    struct Case {
        int state;
        int restoreRefresh;
        bool minimised;
        int stateAfter;
        int activeAfter;
        int restoreAfter;
        int placements;
    };
    const Case cases[] = {
        {2, 0, true, 3, 0, 0, 1},  {2, 1, true, 3, 0, 0, 2},  {2, 0, false, 0, 1, 0, 0},
        {3, 1, true, 3, 0, 0, 1},  {3, 0, true, 3, 0, 0, 0},  {3, 1, false, 0, 1, 1, 0},
        {1, 0, true, 1, 0, 0, 0},  {1, 0, false, 0, 1, 0, 1}, {0, 0, true, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.minimiseState = c.state;
        rig.state.restoreRefresh = c.restoreRefresh;
        rig.state.activeApp = 0;
        rig.host.minimised = c.minimised;
        PlaybackTick(rig.context);
        const std::string label = "state " + std::to_string(c.state) + " refresh " +
                                  std::to_string(c.restoreRefresh) + (c.minimised ? " minimised" : " restored");
        EXPECT_EQ(rig.state.minimiseState, c.stateAfter) << label;
        EXPECT_EQ(rig.state.activeApp, c.activeAfter) << label;
        EXPECT_EQ(rig.state.restoreRefresh, c.restoreAfter) << label;
        EXPECT_EQ(std::count(rig.device.sent.begin(), rig.device.sent.end(), "[place video]"), c.placements)
            << label;
    }
}

TEST(PlaybackTickNoDrawTest, SearchesWithoutDrawing) {
    struct Case {
        const char* name;
        int paused;
        int wheelPlaying;
        int wheelPaused;
        int speed;
        uint8_t keys;
        uint8_t prevKeys;
        Strings traffic;
        int speedAfter;
    };
    const Case cases[] = {
        {"playing MODE1", 0, 0, 0, 2, 0, 0, SeekTraffic(8000), 2},
        {"playing MODE2", 0, 1, 0, -2, 0, 0, SeekTraffic(4940), -2},
        {"playing key released", 0, 0, 0, 2, 0, 1, Concat({SeekTraffic(8000), {"play movie"}}), 0},
        {"paused MODE2", 1, 0, 1, 3, 0, 0, SeekTraffic(5150), 3},
        {"paused MODE2 key released", 1, 0, 1, 3, 0, 4, SeekTraffic(5150), 0},
        {"paused MODE1 key held", 1, 0, 0, 1, 2, 2, SeekTraffic(7000), 1},
        {"paused MODE1 frame step", 1, 0, 0, 5, 0, 0,
         {"status movie time format", "set movie time format frames", "status movie position", "seek movie to 5001",
          "status movie time format", "status movie position"},
         0},
    };
    for (const Case& c : cases) {
        TickRig rig;
        rig.state.fullScreen = 1;
        rig.state.paused = c.paused;
        rig.settings.wheelModePlaying = c.wheelPlaying;
        rig.settings.wheelModePaused = c.wheelPaused;
        rig.state.speed = c.speed;
        rig.state.keysHeld = c.keys;
        rig.state.prevKeysHeld = c.prevKeys;
        rig.state.tickDivisor = 3;
        rig.state.buttonCounters[0] = 2;
        PlaybackTickNoDraw(rig.context);
        EXPECT_EQ(rig.device.sent, c.traffic) << c.name;
        EXPECT_EQ(rig.state.speed, c.speedAfter) << c.name;
        EXPECT_EQ(rig.state.tickDivisor, 3) << c.name;
        EXPECT_EQ(rig.state.buttonCounters[0], 2) << c.name;
    }
}

TEST(PlaybackTickNoDrawTest, NoBrowsingNoSearchButtonsAndTheSameDispatcher) {
    TickRig rig;
    rig.SetEntries({"/m/a.mp3", "/m/b.mp3"});
    rig.state.closed = 1;
    rig.state.speed = 1;
    PlaybackTickNoDraw(rig.context);
    EXPECT_TRUE(rig.device.sent.empty());
    EXPECT_EQ(rig.state.speed, 0);
    EXPECT_EQ(rig.state.trackPending, 0);

    rig.state.closed = 0;
    rig.state.buttonCounters[7] = 1;  // ignored here
    rig.state.pendingCommand = 3;
    rig.state.closeRequest = 1;
    PlaybackTickNoDraw(rig.context);
    EXPECT_EQ(rig.device.sent, (Strings{"pause movie", "status movie position", "close movie"}));

    rig.device.ClearSent();
    rig.state.minimiseState = 1;
    rig.state.pendingCommand = 66;
    rig.device.Answer("status movie mode", "stopped");
    PlaybackTickNoDraw(rig.context);
    EXPECT_EQ(rig.device.sent, (Strings{"status movie mode", "[mode stopped]"}));
    EXPECT_EQ(rig.state.pendingCommand, 6);
    EXPECT_EQ(rig.state.minimiseState, 1);
}

}  // namespace
