// What a user meets in the first hour, through the real binary on real files.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include <thread>
#include "tests/e2e/PlayerProcess.h"

namespace {
// Waits for `then` after `first` in the log and a moment more (nothing else may open), then quits.
void QuitAfter(PlayerProcess& player, const std::string& first, const std::string& then = "") {
    player.WaitForLogAfter(first, then, 30s);
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(player.Quit(), 0) << player.Log();
}

struct StartE2E : ::testing::Test { TempFolder home; };  // the player's program folder
using MprisE2E = StartE2E;

TEST(LifecycleE2E, FirstStartCreatesDefaultsAndEachQuitSignalSavesInOrder) {
    for (int signal : {SIGTERM, SIGINT}) {
        TempFolder home;
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        const auto firstFiles = std::pair(Configuration("MovieY=92"), std::string());  // video just below the player
        EXPECT_EQ(std::pair(home.Read("KORU.CFG"), home.Read("KORU.tsr")), firstFiles);
        // A stale save must not be mistaken for the quit's: remove both, then quit.
        for (const char* name : {"KORU.CFG", "KORU.tsr"}) std::remove((home.path() + name).c_str());
        player.Signal(signal);
        EXPECT_EQ(player.WaitForExit(20s), 0) << player.Log();
        const std::string log = player.Log();
        EXPECT_NE(log.find("quit: list and settings saved"), std::string::npos) << log;
        const std::string afterQuit = log.substr(log.find("first tick done"));
        EXPECT_EQ(CountOf(afterQuit, "mci> close movie"), 2) << "the quit path and the window's destructor\n" << log;
        EXPECT_EQ(std::pair(home.Read("KORU.CFG"), home.Read("KORU.tsr")), firstFiles);
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

TEST_F(StartE2E, BrokenEntriesBetweenTwoTonesPlayThroughAndAFullRoundOfThemStops) {
    home.Write("m/empty.wav", ""); home.Write("m/text.wav", "not a sound at all");
    for (auto [n, hz] : {std::pair{"one.wav", 440}, {"two.wav", 660}}) WriteToneWav(home.path() + "m/" + n, 1, hz, 0.3);
    ::mkdir((home.path() + "m/folder.wav").c_str(), 0700);
    const std::vector<std::string> names = {"one.wav", "missing.wav", "empty.wav", "folder.wav", "text.wav", "two.wav"};
    std::vector<std::string> list;
    for (const std::string& name : names) list.push_back(home.path() + "m/" + name);
    WriteStateFiles(home.path(), list, "Repeat=0");
    {
        PlayerProcess player(home.path(), {});
        QuitAfter(player, "open \"two.wav\"", "mci> close movie");
        const std::string log = player.Log();
        EXPECT_EQ(Opens(log), names) << log;
        for (const char* why : {"missing.wav: No such file or directory", "empty.wav: it is empty",
                                "folder.wav: it is a folder", "text.wav: the device cannot play it"})
            EXPECT_NE(log.find("cannot play " + home.path() + "m/" + why), std::string::npos) << why;
        EXPECT_NE(log.find("mci> status movie mode  <stopped", log.find("open \"one.wav\"")), std::string::npos);
    }
    // With repeat on, a list of nothing but broken entries is tried once round, then stops.
    WriteStateFiles(home.path(), {home.path() + "m/text.wav", home.path() + "m/missing.wav"}, "Repeat=1");
    PlayerProcess player(home.path(), {});
    QuitAfter(player, "no entry of the playlist would open: stopped");
    EXPECT_EQ(Opens(player.Log()), (std::vector<std::string>{"text.wav", "missing.wav"})) << player.Log();
}

TEST_F(StartE2E, FilesAndAFolderOnTheCommandLinePlayAsADrop) {
    TempFolder music;
    music.Write("dir/notes.txt", "");
    for (const char* name : {"b.wav", "a.wav", "dir/c.wav"}) WriteToneWav(music.path() + name, 0.5, 500.0, 0.3);
    WriteStateFiles(home.path(), {}, "Repeat=0");
    CurrentFolderGuard cwd;
    ASSERT_EQ(::chdir(music.path().c_str()), 0);  // the names are relative to where the player starts
    PlayerProcess player(home.path(), {"b.wav", "nothing.wav", "a.wav", "dir/"});
    ASSERT_TRUE(player.WaitForLog("first tick done: 3 entries", 20s)) << player.Log();
    QuitAfter(player, "open \"c.wav\"", "mci> close movie");
    EXPECT_EQ(Opens(player.Log()), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"})) << player.Log();
    EXPECT_NE(player.Log().find("velkaf: nothing.wav: no such file or folder"), std::string::npos);
    const std::string& m = music.path();
    EXPECT_EQ(home.Read("KORU.tsr"), m + "a.wav\r\n" + m + "b.wav\r\n" + m + "dir/c.wav\r\n");
}

TEST_F(StartE2E, VolumeSetWithTheKeysIsTheVolumeAfterARestart) {
    SKIP_WITHOUT("Xvfb", "xdotool");
    const VirtualDisplay display("640x480");
    {
        PlayerProcess player(home.path(), {}, display.Environment());
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        const std::string focus = "xdotool windowfocus --sync " + display.Window(player.pid());
        display.Run(focus + " keydown n sleep 0.4 keyup n");  // N held: one step down per 30 ms
        ASSERT_EQ(player.Quit(), 0) << player.Log();
    }
    const std::string kept = home.Read("KORU.vol");
    unsigned left = 65535, right = 0;
    ASSERT_EQ(std::sscanf(kept.c_str(), "%u %u", &left, &right), 2) << kept;
    EXPECT_LT(left, 65535u) << "N lowered the volume";
    EXPECT_EQ(left, right);
    PlayerProcess player(home.path(), {}, display.Environment());
    ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_EQ(CountOf(player.Log(), "volume " + kept.substr(0, kept.size() - 1) + " kept from the last run"), 1);
    EXPECT_EQ(home.Read("KORU.vol"), kept) << "the restarted player kept it and saved it again";
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
