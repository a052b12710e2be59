// The shared transport operations, command string by command string, with the device standing
// at 5200 in the time format it answers. (The searches' steps: playback_tick_test.)
#include <gtest/gtest.h>
#include <functional>
#include "playback/MciSession.h"
#include "state/PlayerState.h"
#include "tests/support/ScriptedMediaDevice.h"

namespace {

using Strings = std::vector<std::string>;

TEST(MciSessionTest, CommandTraffic) {
    using Op = std::function<void(MciSession&)>;
    const auto seek = [](int mode, int amount) { return Op([=](MciSession& m) { m.SeekRelative(mode, amount); }); };
    const Op toggle = [](MciSession& m) { m.TogglePlayPause(); };
    const std::string tf = "status movie time format", pos = "status movie position", ms = "milliseconds";
    struct Case { std::string format; int paused, speed, closed; Op op; Strings sent; int pausedAfter, speedAfter, position; };
    const Case cases[] = {
        {ms, 0, 3, 0, toggle, {"play movie", "play movie"}, 0, 0, 7},   // a search ends in play, never paused
        {ms, 1, 0, 1, toggle, {"[open]", "play movie"}, 0, 0, 0},       // nothing open: from 0
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-1); }, {pos, "seek movie to 5199"}, 1, 0, 5199},
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-5201); }, {pos, "seek movie to 0"}, 1, 0, 0},
        {ms, 0, 8, 0, seek(1, 0), {tf, pos, "seek movie to 25200", tf, pos}, 0, 8, 5200},  // 20 x 1000: the table's end
        {ms, 1, 9, 0, seek(0, 2), {tf, "set movie time format frames", pos, "seek movie to 5220", tf, pos}, 1, 9, 5200},
        {"frames", 1, -1, 0, seek(0, 2), {tf, pos, "seek movie to 5199", tf, "set movie time format milliseconds", pos}, 1, -1, 5200},
        {ms, 0, 5, 0, seek(3, -6000), {tf, pos, "seek movie to 0", tf, pos}, 0, 5, 5200},  // never below 0
        {"", 0, 0, 0, [](MciSession& m) { m.SelectTimeFormat(0); }, {tf}, 0, 0, 7},
        {ms, 1, 0, 0, [](MciSession& m) { m.Close(); }, {"close movie"}, 0, 0, 7},
    };
    for (const Case& c : cases) {
        ScriptedMediaDevice device;
        PlayerState state{.closed = c.closed, .paused = c.paused, .position = 7, .speed = c.speed, .seekKnobX = 9};
        MciSession mci(device, state);
        mci.SetTrackOpener([&] { device.sent.push_back("[open]"); }), device.Answer(tf, c.format), device.Answer(pos, "5200");
        c.op(mci);
        EXPECT_EQ(device.sent, c.sent) << &c - cases;
        EXPECT_EQ(std::tuple(state.paused, state.speed, state.position), std::tuple(c.pausedAfter, c.speedAfter, c.position)) << &c - cases;
        EXPECT_EQ(std::tuple(state.closed, state.seekKnobX), c.sent[0] == "close movie" ? std::tuple(1, 0) : std::tuple(0, 9)) << &c - cases;
    }
    ScriptedMediaDevice device;  // no wrap near the limit
    PlayerState state{.speed = 9};
    device.Answer(pos, "2147483000"), MciSession(device, state).SeekRelative(1, 0);
    EXPECT_EQ(device.sent[2], "seek movie to 2147483647");
}

}  // namespace
