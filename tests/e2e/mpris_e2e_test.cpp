// The player on the desktop bus, end to end: a private session bus and a virtual display of
// the test's own, the real binary and device, and playerctl as the client that media keys and
// sound applets go through.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "tests/device/TestMedia.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

bool Eventually(const std::function<bool()>& condition, std::chrono::seconds bound = 10s) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

TEST(MprisE2E, PlayerctlDrivesThePlayerAsTheSkinDoes) {
    for (const char* tool : {"dbus-daemon", "playerctl", "Xvfb", "xdotool"})
        if (ShellOutput(std::string("command -v ") + tool).empty()) GTEST_SKIP() << tool << " is not installed";
    const TestDaemon bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"});
    const VirtualDisplay display("800x600");
    ASSERT_FALSE(bus.FirstLine().empty());
    ASSERT_FALSE(display.Name().empty());
    const std::string address = "DBUS_SESSION_BUS_ADDRESS=" + bus.FirstLine();
    const std::string screen = "DISPLAY=" + display.Name();
    const std::string env = "env '" + address + "' " + screen;
    const std::vector<std::string> playerEnv = {address, screen, "QT_QPA_PLATFORM=xcb"};

    TempFolder home;
    WriteToneWav(home.path() + "one.wav", 4.0, 440.0, 0.2);  // with an ID3v1 tag in its last bytes
    std::ofstream(home.path() + "one.wav", std::ios::binary | std::ios::app) << Id3v1Block("Song One", "Singer One");
    WriteToneWav(home.path() + "two.wav", 4.0, 550.0, 0.2);
    WriteToneWav(home.path() + "three.wav", 4.0, 660.0, 0.2);
    WriteToneWav(home.path() + "four.wav", 1.0, 330.0, 0.2);
    WriteStateFiles(home.path(), {home.path() + "one.wav", home.path() + "two.wav", home.path() + "three.wav"}, "");
    PlayerProcess player(home.path(), {}, playerEnv);
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();
    const auto ctl = [&](const std::string& args) { return ShellOutput(env + " playerctl -p velkaf " + args); };
    const auto logged = [&](const std::string& text, int times) {
        return Eventually([&] { return CountOf(player.Log(), text) >= times; });
    };

    // The tag's title and artist, the length in microseconds.
    EXPECT_TRUE(Eventually([&] {
        return ctl("metadata --format '{{title}}|{{artist}}|{{mpris:length}}'") == "Song One|Singer One|4000000";
    })) << ctl("metadata");
    EXPECT_TRUE(Eventually([&] { return ctl("status") == "Playing"; }));

    // Play/pause becomes the skin's toggle, with the device commands of the toggle.
    ctl("play-pause");
    EXPECT_TRUE(logged("mpris: PlayPause -> toggle request", 1)) << player.Log();
    EXPECT_TRUE(Eventually([&] { return ctl("status") == "Paused"; }));
    EXPECT_TRUE(logged("mci> pause movie", 1)) << player.Log();
    ctl("play-pause");
    EXPECT_TRUE(Eventually([&] { return ctl("status") == "Playing"; }));

    ctl("position 2");
    EXPECT_TRUE(logged("mci> play movie from 2000", 1)) << player.Log();

    ctl("next");
    EXPECT_TRUE(logged("mci> open \"two.wav\"", 1)) << player.Log();
    EXPECT_TRUE(Eventually([&] { return ctl("metadata --format '{{title}}'") == "two.wav"; }));
    ctl("previous");
    EXPECT_TRUE(logged("mci> open \"one.wav\"", 2)) << player.Log();

    ctl("volume 0.5");
    EXPECT_TRUE(logged("bus: volume 32768, knob 29", 1)) << player.Log();
    EXPECT_TRUE(Eventually([&] { return ctl("volume").rfind("0.50", 0) == 0; })) << ctl("volume");

    // The skin's STILL and PLAY buttons (the window stands at 0, 0): the bus follows.
    ShellOutput(env + " xdotool mousemove 289 30 click 1");
    EXPECT_TRUE(Eventually([&] { return ctl("status") == "Paused"; })) << player.Log();
    ShellOutput(env + " xdotool mousemove 254 57 click 1");
    EXPECT_TRUE(Eventually([&] { return ctl("status") == "Playing"; })) << player.Log();

    ctl("loop None");
    ctl("shuffle On");
    EXPECT_TRUE(Eventually([&] { return ctl("loop") == "None" && ctl("shuffle") == "On"; }));

    // A second start hands its file to this player and ends at once.
    TempFolder secondHome;
    PlayerProcess second(secondHome.path(), {home.path() + "four.wav"}, playerEnv);
    EXPECT_EQ(second.WaitForExit(20s), 0) << second.Log();
    EXPECT_TRUE(logged("mci> open \"four.wav\"", 1)) << player.Log();

    ASSERT_EQ(player.Quit(), 0) << player.Log();
    const std::string settings = home.Read("KORU.CFG");
    EXPECT_NE(settings.find("\r\nRandom=1\r\nRepeat=0\r\n"), std::string::npos) << settings;
}

}  // namespace
