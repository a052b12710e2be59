// What a user meets in the first hour, through the real binary on real files: the first start
// and the quit by signal or by the window manager, broken entries between tones play through,
// the command line plays as a drop, and the volume set with the keys survives a restart.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/device/TestMedia.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// Waits for `then` after `first` in the log, then a moment more (nothing else may open), then
// quits in order.
void QuitAfter(PlayerProcess& player, const std::string& first, const std::string& then = "") {
    player.WaitForLogAfter(first, then, 30s);
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(player.Quit(), 0) << player.Log();
}

TEST(LifecycleE2E, FirstStartCreatesDefaultsAndEachQuitSignalSavesInOrder) {
    for (int signal : {SIGTERM, SIGINT}) {
        TempFolder home;
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        EXPECT_EQ(home.Read("KORU.CFG"), Configuration());
        EXPECT_EQ(home.Read("KORU.tsr"), "");
        // A stale save must not be mistaken for the quit's: remove both, then quit.
        std::remove((home.path() + "KORU.CFG").c_str());
        std::remove((home.path() + "KORU.tsr").c_str());
        player.Signal(signal);
        EXPECT_EQ(player.WaitForExit(20s), 0) << player.Log();
        const std::string log = player.Log();
        EXPECT_NE(log.find("quit: list and settings saved"), std::string::npos) << log;
        const std::string afterQuit = log.substr(log.find("first tick done"));
        EXPECT_EQ(CountOf(afterQuit, "mci> close movie"), 2) << "the quit path and the window's destructor\n" << log;
        EXPECT_EQ(home.Read("KORU.CFG"), Configuration());
        EXPECT_EQ(home.Read("KORU.tsr"), "");
    }
}

// The arguments name one file when joined by blanks; it becomes the list, other settings stay.
TEST(LifecycleE2E, CommandLineArgumentsBecomeTheSavedList) {
    TempFolder home;
    const std::string song = home.Write("music/My Song.mp3", "");
    WriteStateFiles(home.path(), {"/m/one.mp3"}, "Repeat=0\nAutoPlay=0");
    PlayerProcess player(home.path(), {home.path() + "music/My", "Song.mp3"});
    ASSERT_TRUE(player.WaitForLog("first tick done: 1 entries", 20s)) << player.Log();
    EXPECT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_EQ(home.Read("KORU.tsr"), song + "\r\n");
    EXPECT_EQ(home.Read("KORU.CFG"), Configuration("Repeat=0\nAutoPlay=0"));
}

TEST(StartE2E, BrokenEntriesBetweenTwoTonesPlayThroughAndAFullRoundOfThemStops) {
    TempFolder home;
    home.Write("m/empty.wav", "");
    WriteToneWav(home.path() + "m/one.wav", 1.0, 440.0, 0.3);
    WriteToneWav(home.path() + "m/two.wav", 1.0, 660.0, 0.3);
    home.Write("m/text.wav", "not a sound at all");
    ::mkdir((home.path() + "m/folder.wav").c_str(), 0700);
    std::vector<std::string> list;
    for (const char* name : {"one.wav", "missing.wav", "empty.wav", "folder.wav", "text.wav", "two.wav"})
        list.push_back(home.path() + "m/" + name);
    WriteStateFiles(home.path(), list, "Repeat=0");
    {
        PlayerProcess player(home.path(), {});
        QuitAfter(player, "open \"two.wav\"", "mci> close movie");
        const std::string log = player.Log();
        ASSERT_NE(log.find("open \"two.wav\""), std::string::npos) << log;
        EXPECT_EQ(Opens(log), (std::vector<std::string>{"one.wav", "missing.wav", "empty.wav", "folder.wav",
                                                        "text.wav", "two.wav"})) << log;
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

TEST(StartE2E, FilesAndAFolderOnTheCommandLinePlayAsADrop) {
    TempFolder home, music;
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
    EXPECT_EQ(home.Read("KORU.tsr"), music.path() + "a.wav\r\n" + music.path() + "b.wav\r\n" + music.path() + "dir/c.wav\r\n");
}

TEST(StartE2E, VolumeSetWithTheKeysIsTheVolumeAfterARestart) {
    const VirtualDisplay display("640x480");
    if (display.Name().empty() || ShellOutput("command -v xdotool").empty()) GTEST_SKIP() << "needs Xvfb and xdotool";
    const auto xdotool = [&](const std::string& arguments) {
        return ShellOutput("DISPLAY=" + display.Name() + " xdotool " + arguments);
    };
    TempFolder home;
    const std::vector<std::string> x11 = {"DISPLAY=" + display.Name(), "QT_QPA_PLATFORM=xcb"};
    {
        PlayerProcess player(home.path(), {}, x11);
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        const std::string window = xdotool("search --sync --onlyvisible --pid " + std::to_string(player.pid()));
        ASSERT_FALSE(window.empty()) << player.Log();
        xdotool("windowfocus --sync " + window.substr(0, window.find('\n')));
        xdotool("keydown n sleep 0.4 keyup n");  // N held: one step down per 30 ms
        ASSERT_EQ(player.Quit(), 0) << player.Log();
    }
    const std::string kept = home.Read("KORU.vol");
    unsigned left = 65535, right = 0;
    ASSERT_EQ(std::sscanf(kept.c_str(), "%u %u", &left, &right), 2) << kept;
    EXPECT_LT(left, 65535u) << "N lowered the volume";
    EXPECT_EQ(left, right);
    std::remove((home.path() + "player.log").c_str());  // the first run's log must not answer for the second
    PlayerProcess player(home.path(), {}, x11);
    ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_NE(player.Log().find("volume " + kept.substr(0, kept.size() - 1) + " kept from the last run"), std::string::npos)
        << player.Log();
    EXPECT_EQ(home.Read("KORU.vol"), kept) << "the restarted player kept it and saved it again";
}

}  // namespace
