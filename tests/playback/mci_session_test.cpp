// The shared transport operations, command string by command string. The device stands at
// 5200 in its current time format.
#include <gtest/gtest.h>

#include <functional>

#include "playback/MciSession.h"
#include "state/PlayerState.h"
#include "tests/support/ScriptedMediaDevice.h"

namespace {

using Strings = std::vector<std::string>;

TEST(MciSessionTest, CommandTraffic) {
    const auto seek = [](int mode, int amount) { return [=](MciSession& m) { m.SeekRelative(mode, amount); }; };
    const auto toggle = [](MciSession& m) { m.TogglePlayPause(); };
    const std::string tf = "status movie time format", pos = "status movie position";
    struct Case { const char* format; int paused, speed, closed; std::function<void(MciSession&)> op; Strings sent; int pausedAfter, position; };
    const Case cases[] = {
        {"milliseconds", 0, 0, 0, toggle, {"pause movie", pos}, 1, 5200},
        {"milliseconds", 1, 0, 0, toggle, {"play movie", "play movie"}, 0, 7},
        {"milliseconds", 1, -2, 0, toggle, {"play movie", "play movie"}, 0, 7},  // a search ends in play
        {"milliseconds", 1, 0, 1, toggle, {"[open]", "play movie"}, 0, 0},       // nothing open: from 0
        {"milliseconds", 1, 0, 0, [](MciSession& m) { m.PauseKeepingPosition(); }, {"pause movie", pos}, 1, 5200},
        {"milliseconds", 0, 0, 0, [](MciSession& m) { m.PauseKeepingPosition(); }, {"pause movie"}, 0, 7},
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-1); }, {pos, "seek movie to 5199"}, 1, 5199},
        {"frames", 1, 0, 0, [](MciSession& m) { m.StepWhilePaused(-5201); }, {pos, "seek movie to 0"}, 1, 0},
        {"milliseconds", 0, 2, 0, seek(1, 0), {tf, pos, "seek movie to 8200", tf, pos}, 0, 5200},  // 3 x 1000
        {"milliseconds", 0, -2, 0, seek(1, 0), {tf, pos, "seek movie to 3200", tf, pos}, 0, 5200},
        {"milliseconds", 0, 1, 0, seek(1, 1), {tf, pos, "seek movie to 5260", tf, pos}, 0, 5200},  // 2 x 30
        {"milliseconds", 0, 8, 0, seek(1, 0), {tf, pos, "seek movie to 25200", tf, pos}, 0, 5200},
        {"milliseconds", 0, 0, 0, seek(1, 0), {tf, pos, "seek movie to 5200", tf, pos}, 0, 5200},
        {"milliseconds", 1, 9, 0, seek(0, 2), {tf, "set movie time format frames", pos, "seek movie to 5220", tf, pos}, 1, 5200},
        {"frames", 1, -1, 0, seek(0, 2), {tf, pos, "seek movie to 5199", tf, "set movie time format milliseconds", pos}, 1, 5200},
        {"frames", 0, 5, 0, seek(3, 2000), {tf, "set movie time format milliseconds", pos, "seek movie to 7200", tf,
                                             "set movie time format milliseconds", pos}, 0, 5200},
        {"milliseconds", 0, 0, 0, seek(3, -6000), {tf, pos, "seek movie to 0", tf, pos}, 0, 5200},  // never below 0
        {"", 0, 0, 0, [](MciSession& m) { m.SelectTimeFormat(0); }, {tf}, 0, 7},
        {"milliseconds", 0, 0, 0, [](MciSession& m) { m.Close(); }, {"close movie"}, 0, 7},
    };
    for (const Case& c : cases) {
        ScriptedMediaDevice device;
        PlayerState state{.closed = c.closed, .paused = c.paused, .position = 7, .speed = c.speed};
        MciSession mci(device, state);
        mci.SetTrackOpener([&] { device.sent.push_back("[open]"); });
        device.Answer(tf, c.format);
        device.Answer(pos, "5200");
        c.op(mci);
        EXPECT_EQ(device.sent, c.sent) << c.sent.back();
        EXPECT_EQ(state.paused, c.pausedAfter) << c.sent.back();
        EXPECT_EQ(state.position, c.position) << c.sent.back();
        EXPECT_EQ(state.closed, c.sent.back() == "close movie" ? 1 : 0);
    }
    ScriptedMediaDevice device;
    PlayerState state{.speed = 9, .seekKnobX = 9};
    MciSession mci(device, state);
    device.Answer(pos, "2147483000");
    mci.SeekRelative(1, 0);
    EXPECT_EQ(device.sent[2], "seek movie to 2147483647");  // no wrap near the limit
    mci.Close();
    EXPECT_EQ(state.seekKnobX, 0);
}

}  // namespace
