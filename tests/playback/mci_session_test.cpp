// The command traffic of the shared transport operations, checked string by string.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "playback/MciSession.h"
#include "state/PlayerState.h"
#include "tests/support/ScriptedMediaDevice.h"

namespace {

using Strings = std::vector<std::string>;

struct Session {
    ScriptedMediaDevice device;
    PlayerState state;
    MciSession mci{device, state};
};

TEST(MciSessionTest, QueriesReadRepliesLikeAtoi) {
    struct Case { std::string reply; int expected; };
    const Case cases[] = {
        {"", 0}, {"1234", 1234}, {"  77 frames", 77}, {"-15", -15}, {"abc", 0},
        {"99999999999999", 2147483647}, {"-99999999999999", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        Session s;
        s.device.Answer("status movie position", c.reply);
        EXPECT_EQ(s.mci.QueryNumber("status movie position"), c.expected) << "reply '" << c.reply << "'";
    }
}

TEST(MciSessionTest, ModeReplyIsCutToSevenCharacters) {
    Session s;
    s.device.Answer("status movie mode", "stopped");
    EXPECT_EQ(s.mci.QueryText("status movie mode", kModeReplySize), "stopped");
    s.device.Answer("status movie mode", "stopped!!");
    EXPECT_EQ(s.mci.QueryText("status movie mode", kModeReplySize), "stopped");
    s.device.Answer("status movie mode", "not ready");
    EXPECT_NE(s.mci.QueryText("status movie mode", kModeReplySize), "stopped");
    EXPECT_EQ(s.mci.QueryText("status movie mode", kModeReplySize), "not rea");
}

TEST(MciSessionTest, CloseSendsCloseAndResetsTransport) {
    Session s;
    s.state.paused = 1;
    s.state.seekKnobX = 120;
    s.mci.Close();
    EXPECT_EQ(s.device.sent, Strings{"close movie"});
    EXPECT_EQ(s.state.closed, 1);
    EXPECT_EQ(s.state.paused, 0);
    EXPECT_EQ(s.state.seekKnobX, 0);
}

TEST(MciSessionTest, TogglePlayPauseSequences) {
    struct Case {
        const char* name;
        int paused, speed, closed;
        Strings expected;
        int pausedAfter, speedAfter, opens;
    };
    const Case cases[] = {
        {"playing -> paused", 0, 0, 0, {"pause movie", "status movie position"}, 1, 0, 0},
        {"paused -> playing", 1, 0, 0, {"play movie", "play movie"}, 0, 0, 0},
        {"search forward ends in play", 0, 3, 0, {"play movie", "play movie"}, 0, 0, 0},
        {"search while paused ends in play", 1, -2, 0, {"play movie", "play movie"}, 0, 0, 0},
        {"nothing open opens the entry", 1, 0, 1, {"play movie"}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        Session s;
        int opens = 0;
        s.mci.SetTrackOpener([&] { ++opens; });
        s.state.paused = c.paused;
        s.state.speed = c.speed;
        s.state.closed = c.closed;
        s.state.position = 999;
        s.device.Answer("status movie position", "4321");
        s.mci.TogglePlayPause();
        EXPECT_EQ(s.device.sent, c.expected) << c.name;
        EXPECT_EQ(s.state.paused, c.pausedAfter) << c.name;
        EXPECT_EQ(s.state.speed, c.speedAfter) << c.name;
        EXPECT_EQ(opens, c.opens) << c.name;
        EXPECT_EQ(s.state.closed, 0) << c.name;
        if (c.pausedAfter == 1) {
            EXPECT_EQ(s.state.position, 4321) << c.name;
        }
        if (c.closed == 1) {
            EXPECT_EQ(s.state.position, 0) << c.name;
        }
    }
}

TEST(MciSessionTest, SelectTimeFormatSwitchesOnlyWhenNeeded) {
    struct Case { int wantMs; std::string current; Strings expected; };
    const Case cases[] = {
        {1, "milliseconds", {"status movie time format"}},
        {1, "frames", {"status movie time format", "set movie time format milliseconds"}},
        {0, "milliseconds", {"status movie time format", "set movie time format frames"}},
        {0, "frames", {"status movie time format"}},
        {1, "", {"status movie time format"}},
        {0, "", {"status movie time format"}},
    };
    for (const Case& c : cases) {
        Session s;
        s.device.Answer("status movie time format", c.current);
        EXPECT_EQ(s.mci.SelectTimeFormat(c.wantMs), c.wantMs);
        EXPECT_EQ(s.device.sent, c.expected) << "want " << c.wantMs << " from '" << c.current << "'";
    }
}

// SeekRelative with the device in milliseconds and the display in milliseconds: the format
// queries answer "milliseconds", so only the position traffic and the seek remain.
TEST(MciSessionTest, SeekRelativeTargets) {
    struct Case {
        const char* name;
        int mode, amount, speed, start;
        int target;
    };
    const Case cases[] = {
        {"ms, seconds, speed 2 forward: 3 x 1000", 1, 0, 2, 10000, 13000},
        {"ms, seconds, speed -2 backward: 2 x 1000", 1, 0, -2, 10000, 8000},
        {"ms, 30 ms units, speed 1: 2 x 30", 1, 1, 1, 10000, 10060},
        {"ms, speed 9 looks at most at the last entry", 1, 0, 9, 0, 20000},
        {"ms, speed 8 forward uses entry 9", 1, 0, 8, 0, 20000},
        {"frames, unit steps, speed 1: one frame", 0, 2, 1, 100, 101},
        {"frames, unit steps, speed -1: one frame back", 0, 2, -1, 100, 99},
        {"frames, speed 9 forward: 20", 0, 2, 9, 100, 120},
        {"other mode adds the amount", 3, 2000, 5, 1500, 3500},
        {"never below 0", 3, -2000, 0, 1500, 0},
        {"speed 0 backward by T[0]: no move", 1, 0, 0, 700, 700},
    };
    for (const Case& c : cases) {
        Session s;
        s.state.speed = c.speed;
        const std::string format = c.mode == 0 ? "frames" : "milliseconds";
        s.device.Answer("status movie time format", format);
        s.device.AnswerOnce("status movie position", std::to_string(c.start));
        s.device.AnswerOnce("status movie position", "777");
        const int result = s.mci.SeekRelative(c.mode, c.amount);
        ASSERT_GE(s.device.sent.size(), 3u) << c.name;
        EXPECT_NE(std::find(s.device.sent.begin(), s.device.sent.end(),
                            "seek movie to " + std::to_string(c.target)),
                  s.device.sent.end())
            << c.name;
        EXPECT_EQ(result, 777) << c.name;
        EXPECT_EQ(s.state.position, 777) << c.name;
    }
}

TEST(MciSessionTest, SeekRelativeFrameStepSwitchesFormatAndBack) {
    Session s;
    s.state.speed = 1;
    s.state.timeFormatMs = 1;
    s.device.AnswerOnce("status movie time format", "milliseconds");
    s.device.AnswerOnce("status movie time format", "frames");
    s.device.AnswerOnce("status movie position", "50");
    s.device.AnswerOnce("status movie position", "2040");
    EXPECT_EQ(s.mci.SeekRelative(0, 2), 2040);
    EXPECT_EQ(s.device.sent, (Strings{
        "status movie time format", "set movie time format frames",
        "status movie position", "seek movie to 51",
        "status movie time format", "set movie time format milliseconds",
        "status movie position"}));
    EXPECT_EQ(s.state.timeFormatMs, 1);
}

TEST(MciSessionTest, SeekRelativeSearchFromMillisecondDisplay) {
    Session s;
    s.state.speed = 2;
    s.device.Answer("status movie time format", "milliseconds");
    s.device.AnswerOnce("status movie position", "60000");
    s.device.AnswerOnce("status movie position", "63000");
    EXPECT_EQ(s.mci.SeekRelative(1, 0), 63000);
    EXPECT_EQ(s.device.sent, (Strings{
        "status movie time format", "status movie position", "seek movie to 63000",
        "status movie time format", "status movie position"}));
}

TEST(MciSessionTest, SeekRelativeNearTheIntegerLimitDoesNotWrap) {
    Session s;
    s.state.speed = 9;
    s.device.Answer("status movie time format", "milliseconds");
    s.device.AnswerOnce("status movie position", "2147483000");
    s.mci.SeekRelative(1, 0);
    EXPECT_EQ(s.device.sent[2], "seek movie to 2147483647");
}

}  // namespace
