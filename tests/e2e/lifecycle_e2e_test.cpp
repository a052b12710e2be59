// The real player started and ended as a user does: first start, quit by signal or by the
// window manager, the command line, and kills in the middle of a save.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <regex>
#include <cstdio>
#include <string>
#include <thread>

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

// A kill at any moment of the quit path leaves each file whole: the old content or the new.
TEST(LifecycleE2E, KilledDuringASaveNeverLeavesACutFile) {
    TempFolder home;
    std::string list;
    for (int i = 0; i < 60000; ++i) list += "/music/collection/artist " + std::to_string(i % 97) + "/track " + std::to_string(i) + ".mp3\r\n";
    home.Write("KORU.tsr", list);
    std::string cfg = kDefaultConfiguration;
    cfg.replace(cfg.find("AutoPlay=1"), 10, "AutoPlay=0");
    home.Write("KORU.CFG", cfg);
    int killedBeforeTheEnd = 0;
    for (int delayMs : {0, 1, 2, 3, 5, 8, 12, 20, 35, 60}) {
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done", 30s)) << player.Log();
        player.Signal(SIGTERM);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        player.Signal(SIGKILL);
        const int status = player.WaitForExit(20s);
        if (status == 128 + SIGKILL) ++killedBeforeTheEnd;
        ASSERT_EQ(home.Read("KORU.tsr"), list) << "after a kill " << delayMs << " ms into the quit";
        ASSERT_EQ(home.Read("KORU.CFG"), cfg) << "after a kill " << delayMs << " ms into the quit";
    }
    EXPECT_GT(killedBeforeTheEnd, 0) << "no kill landed before the quit finished";
}

}  // namespace
