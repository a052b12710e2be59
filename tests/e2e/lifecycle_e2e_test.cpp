// The real player started and ended as a user does: first start, quit by signal or by the
// window manager, and the command line.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/e2e/DefaultConfiguration.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(LifecycleE2E, FirstStartCreatesDefaultsAndEachQuitSignalSavesInOrder) {
    for (int signal : {SIGTERM, SIGINT}) {
        TempFolder home;
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        EXPECT_EQ(home.Read("KORU.CFG"), kDefaultConfiguration);
        EXPECT_EQ(home.Read("KORU.tsr"), "");
        // A stale save must not be mistaken for the quit's: remove both, then quit.
        std::remove((home.path() + "KORU.CFG").c_str());
        std::remove((home.path() + "KORU.tsr").c_str());
        player.Signal(signal);
        EXPECT_EQ(player.WaitForExit(20s), 0) << player.Log();
        const std::string log = player.Log();
        EXPECT_NE(log.find("quit: list and settings saved"), std::string::npos) << log;
        const std::string afterQuit = log.substr(log.find("first tick done"));
        EXPECT_EQ(Count(afterQuit, "mci> close movie"), 2) << "the quit path and the window's destructor\n" << log;
        EXPECT_EQ(home.Read("KORU.CFG"), kDefaultConfiguration);
        EXPECT_EQ(home.Read("KORU.tsr"), "");
    }
}

TEST(LifecycleE2E, CommandLineArgumentsBecomeTheSavedList) {
    TempFolder home;
    const std::string song = home.Write("music/My Song.mp3", "");
    PlayerProcess player(home.path(), {home.path() + "music/My", "Song.mp3"});
    ASSERT_TRUE(player.WaitForLog("first tick done: 1 entries", 20s)) << player.Log();
    player.Signal(SIGTERM);
    EXPECT_EQ(player.WaitForExit(20s), 0) << player.Log();
    EXPECT_EQ(home.Read("KORU.tsr"), song + "\r\n");
}

TEST(LifecycleE2E, SettingsAndListSurviveARestart) {
    TempFolder home;
    home.Write("KORU.tsr", "/m/one.mp3\r\n/m/two.mp3\r\n");
    std::string cfg = kDefaultConfiguration;
    cfg.replace(cfg.find("Repeat=1"), 8, "Repeat=0");
    cfg.replace(cfg.find("AutoPlay=1"), 10, "AutoPlay=0");
    home.Write("KORU.CFG", cfg);
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 2 entries", 20s)) << player.Log();
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    EXPECT_EQ(home.Read("KORU.CFG"), cfg);
    EXPECT_EQ(home.Read("KORU.tsr"), "/m/one.mp3\r\n/m/two.mp3\r\n");
}

}  // namespace
