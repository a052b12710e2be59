// What a user meets in the first hour, through the real binary on real files.
#include <signal.h>
#include <cstdio>
#include <fstream>
#include <tuple>
#include "tests/e2e/PlayerProcess.h"

namespace {
struct StartE2E : ::testing::Test { TempFolder home; };  // the player's program folder
using MprisE2E = StartE2E;

// The first start writes the defaults and takes the volume the last run kept; SIGTERM and SIGINT each save in order.
TEST(LifecycleE2E, FirstStartCreatesDefaultsAndEachQuitSignalSavesInOrder) {
    for (int signal : {SIGTERM, SIGINT}) {
        TempFolder home;
        home.Write("KORU.vol", "30000 20000\n");  // left, right
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        const auto files = [&] {
            return std::tuple(home.Read("KORU.CFG"), home.Read("KORU.tsr"), home.Read("KORU.vol"));
        };
        // The video just below the player; the volume as it was.
        const auto firstFiles = std::tuple(Configuration("MovieY=92"), std::string(), std::string("30000 20000\n"));
        EXPECT_EQ(files(), firstFiles);
        // A stale save must not be mistaken for the quit's: remove them, then quit.
        for (const char* name : {"KORU.CFG", "KORU.tsr", "KORU.vol"}) std::remove((home.path() + name).c_str());
        player.Signal(signal);
        EXPECT_EQ(player.WaitForExit(20s), 0) << player.Log();
        const std::string log = player.Log();
        EXPECT_NE(log.find("quit: list and settings saved"), std::string::npos) << log;
        EXPECT_EQ(CountOf(log, "volume 30000 20000 kept from the last run"), 1) << log;
        const std::string afterQuit = log.substr(log.find("first tick done"));
        EXPECT_EQ(CountOf(afterQuit, "mci> close movie"), 2) << "the quit path and the window's destructor\n" << log;
        EXPECT_EQ(files(), firstFiles);
    }
}

TEST_F(StartE2E, DashHPrintsTheUsageAndStartsNothing) {
    for (const char* option : {"-h", "--help"}) {
        const std::string out = ShellOutput("VELKAF_HOME=" + home.path() + " QT_QPA_PLATFORM=offscreen timeout 10 " +
                                            PlayerBinary() + " " + option + "; echo \"exit $?\"");
        EXPECT_TRUE(out.starts_with("Usage: velkaf [-h|--help]")) << out;
        EXPECT_TRUE(out.ends_with("\nexit 0")) << out;
        EXPECT_EQ(home.Read("KORU.CFG"), "<missing>");
    }
}

// On a private session bus and display, playerctl (as media keys and sound applets) drives the player.
TEST_F(MprisE2E, PlayerctlDrivesThePlayerAsTheSkinDoes) {
    SKIP_WITHOUT("dbus-daemon", "playerctl", "Xvfb", "xdotool");
    const SessionBus bus;
    const VirtualDisplay display("800x600");
    ASSERT_FALSE(bus.FirstLine().empty() || display.Name().empty());
    WriteToneWav(home.path() + "one.wav", 4.0, 440.0, 0.2);  // with an ID3v1 tag in its last bytes
    std::ofstream(home.path() + "one.wav", std::ios::binary | std::ios::app) << Id3v1Block("Song One", "Singer One");
    for (auto [n, hz] : {std::pair{"two.wav", 550.}, {"three.wav", 660.}}) WriteToneWav(home.path() + n, 4.0, hz, 0.2);
    WriteStateFiles(home.path(), {home.path() + "one.wav", home.path() + "two.wav", home.path() + "three.wav"}, "");
    PlayerProcess player(home.path(), {}, display.Environment({bus.Environment()}));
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();
    const auto ctl = [&](const std::string& args) { return bus.Run("playerctl -p velkaf " + args); };
    // A playerctl command, or xdotool's click on the skin's STILL or PLAY (the window at 0, 0); then the
    // log holds `logged` `n` times, and playerctl's `asks` answers `answer`. Play/pause is the skin's toggle.
    struct Step { std::string run = {}, logged = {}; int n = 1; std::string asks = "status", answer = {}; };
    const Step steps[] = {
        {.asks = "metadata --format '{{title}}|{{artist}}|{{mpris:length}}'", .answer = "Song One|Singer One|4000000"},
        {.answer = "Playing"},
        {.run = "play-pause", .logged = "mpris: PlayPause -> toggle request", .answer = "Paused"},
        {.logged = "mci> pause movie"},
        {.run = "play-pause", .answer = "Playing"},
        {.run = "position 2", .logged = "mci> play movie from 2000"},
        {.run = "next", .logged = "mci> open \"two.wav\""},
        {.asks = "metadata --format '{{title}}'", .answer = "two.wav"},
        {.run = "previous", .logged = "mci> open \"one.wav\"", .n = 2},
        {.run = "volume 0.5", .logged = "bus: volume 32768, knob 29"},
        {.run = "loop None", .asks = "loop", .answer = "None"},  // saved once a tick has run: after the clicks'
        {.run = "shuffle On", .asks = "shuffle", .answer = "On"},
        {.run = "xdotool mousemove 289 30 click 1", .answer = "Paused"},
        {.run = "xdotool mousemove 254 57 click 1", .answer = "Playing"},
    };
    for (const Step& s : steps) {
        if (!s.run.empty()) s.run.starts_with("xdotool ") ? display.Run(s.run) : ctl(s.run);
        const bool logged = Eventually([&] { return s.logged.empty() || CountOf(player.Log(), s.logged) >= s.n; });
        EXPECT_TRUE(logged) << s.run << ": " << s.logged << "\n" << player.Log();
        EXPECT_TRUE(s.answer.empty() || Eventually([&] { return ctl(s.asks) == s.answer; })) << s.run << ctl(s.asks);
    }
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    const std::string settings = home.Read("KORU.CFG");
    EXPECT_NE(settings.find("\r\nRandom=1\r\nRepeat=0\r\n"), std::string::npos) << settings;
}
}  // namespace
