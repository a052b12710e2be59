// Today's formats in the real binary with the real device: a last playlist of FLAC, Opus and
// H.264 MP4 plays in order to its end, and the tagged track shows its title and artist.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
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
    home.Write("KORU.CFG", std::regex_replace(kDefaultConfiguration, std::regex("Repeat=1"), "Repeat=0"));
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 3 entries", 20s)) << player.Log();
    // Three one-second tracks and the end checks at the 150 ms pace: well within 30 s.
    EXPECT_TRUE(player.WaitForLogAfter("open \"three.mp4\"", "mci> close movie", 30s)) << player.Log();
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    const std::string log = player.Log();

    std::vector<std::string> opens;
    const std::regex open("mci> open \"([^\"]+)\" type mpegvideo alias movie");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), open); it != std::sregex_iterator(); ++it)
        opens.push_back((*it)[1]);
    const std::vector<std::string> names = {"one.flac", "two.opus", "three.mp4"};
    EXPECT_EQ(opens, names) << log;
    // Each track reached its end (mode "stopped") before the next opened, and the list closed.
    for (size_t i = 0; i < names.size(); ++i) {
        const size_t next = i + 1 < names.size() ? log.find("open \"" + names[i + 1]) : log.size();
        EXPECT_LT(log.find("mci> status movie mode  <stopped", log.find("open \"" + names[i])), next) << names[i];
    }
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 3"), std::string::npos) << log;
    const size_t first = log.find("open \"one.flac\"");
    const size_t title = log.find("title line 2: \xE6\x9B\xB2\xE5\x90\x8D \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |");
    EXPECT_TRUE(title != std::string::npos && title > first && title < log.find("open \"two.opus\"")) << log;
}

}  // namespace
