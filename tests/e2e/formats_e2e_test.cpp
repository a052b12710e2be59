// Today's formats in the real binary with the real device: a last playlist of FLAC, Opus and
// H.264 MP4 plays in order to its end, and the tagged track shows its title and artist.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/DefaultConfiguration.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

TEST(FormatsE2E, FlacOpusAndMp4PlayInOrderAndTheTagReachesTheTitleLine) {
    TempFolder home;
    const std::string tone = "-f lavfi -i sine=d=1 ";
    const struct { const char* name; std::string ffmpeg; } files[] = {
        {"one.flac", tone + "-metadata title=\xE6\x9B\xB2\xE5\x90\x8D -metadata artist=\xE6\xAD\x8C\xE6\x89\x8B"},
        {"two.opus", tone + "-c:a libopus"},
        {"three.mp4", "-f lavfi -i testsrc=d=1:s=160x120:r=25 " + tone + "-c:v libx264 -pix_fmt yuv420p -c:a aac"},
    };
    std::string list;
    for (const auto& f : files) {
        const std::string path = home.Write(std::string("music/") + f.name, "");
        const std::string command = "ffmpeg -v error -y " + f.ffmpeg + " '" + path + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        list += path + "\r\n";
    }
    home.Write("KORU.tsr", list);
    std::string cfg = kDefaultConfiguration;
    cfg.replace(cfg.find("Repeat=1"), 8, "Repeat=0");
    home.Write("KORU.CFG", cfg);

    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 3 entries", 20s)) << player.Log();
    // Three one-second tracks and the end checks at the 150 ms pace: well within 30 s.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = player.Log();
        const size_t third = log.find("open \"three.mp4\"");
        if (third != std::string::npos && log.find("mci> close movie", third) != std::string::npos) break;
        std::this_thread::sleep_for(100ms);
    }
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    const std::string log = player.Log();

    std::vector<std::string> opens;
    const std::regex open("mci> open \"([^\"]+)\" type mpegvideo alias movie");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), open); it != std::sregex_iterator(); ++it)
        opens.push_back((*it)[1]);
    EXPECT_EQ(opens, (std::vector<std::string>{"one.flac", "two.opus", "three.mp4"})) << log;
    // Each track reached its end (mode "stopped") before the next opened, and the list closed.
    for (const char* name : {"one.flac", "two.opus", "three.mp4"}) {
        const size_t at = log.find(std::string("open \"") + name + "\"");
        EXPECT_NE(log.find("mci> status movie mode  <stopped", at), std::string::npos) << name << "\n" << log;
    }
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 3"), std::string::npos) << log;
    const size_t first = log.find("open \"one.flac\"");
    const size_t title = log.find("title line 2: \xE6\x9B\xB2\xE5\x90\x8D \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |");
    EXPECT_TRUE(title != std::string::npos && title > first && title < log.find("open \"two.opus\"")) << log;
}

}  // namespace
