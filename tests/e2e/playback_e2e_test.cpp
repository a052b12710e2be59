// Playing through a list in the real binary with the real device: FLAC, Opus and H.264 MP4 in
// order, the tagged track showing its title and artist; awkward files (streams that state no
// length or no header, a name holding a double quote, a file cut while it plays), each ending
// and the next one opening.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/device/TestMedia.h"
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
    std::vector<std::string> list, names;
    for (const auto& f : files) {
        list.push_back(home.Write(std::string("music/") + f.name, "")), names.push_back(f.name);
        const std::string command = "ffmpeg -v error -y " + f.ffmpeg + " '" + list.back() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    WriteStateFiles(home.path(), list, "Repeat=0");
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 3 entries", 20s)) << player.Log();
    // Three one-second tracks and the end checks at the 150 ms pace: well within 30 s.
    EXPECT_TRUE(player.WaitForLogAfter("open \"three.mp4\"", "mci> close movie", 30s)) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    const std::string log = player.Log();
    EXPECT_EQ(Opens(log), names) << log;
    EXPECT_TRUE(PlayedInOrder(log, names));
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 3"), std::string::npos) << log;
    const size_t first = log.find("open \"one.flac\"");
    const size_t title = log.find("title line 2: \xE6\x9B\xB2\xE5\x90\x8D \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |");
    EXPECT_TRUE(title != std::string::npos && title > first && title < log.find("open \"two.opus\"")) << log;
}

TEST(DeviceE2E, StreamsWithoutLengthOrHeaderAndAQuotedNamePlayInOrder) {
    TempFolder home;
    WriteToneWav(home.path() + "a\"b.wav", 1.0, 440, 0.2);
    // An MPEG audio stream without header frame or tag; a raw MPEG-1 video stream, which states
    // no length at all (the player waits for the device to stop); a name holding a quote.
    const std::vector<std::string> entries = {MediaPath("stream.mp3"), MediaPath("stream.mpg"), home.path() + "a\"b.wav"};
    WriteStateFiles(home.path(), entries, "Repeat=0");
    PlayerProcess player(home.path(), {});
    EXPECT_TRUE(player.WaitForLogAfter("device: opened " + entries[2] + ":", "mci> close movie", 40s)) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    const std::string log = player.Log();
    EXPECT_NE(log.find("mci> open \"a\"b.wav\" type mpegvideo alias movie"), std::string::npos) << log;
    EXPECT_NE(log.find("device: opened " + entries[1] + ": no stated length"), std::string::npos) << log;
    EXPECT_TRUE(PlayedInOrder(log, {"stream.mp3", "stream.mpg", "a\"b.wav"}));
}

TEST(DeviceE2E, FileCutWhilePlayingEndsTheTrackAndTheNextOpens) {
    TempFolder home;
    const std::string cut = home.path() + "cut.mp3";  // 20 s
    std::filesystem::copy_file(MediaPath("long.mp3"), cut);
    WriteStateFiles(home.path(), {cut, MediaPath("tone.wav")}, "Repeat=0");
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("device: opened " + cut + ":", 20s)) << player.Log();
    std::this_thread::sleep_for(1s);
    std::filesystem::resize_file(cut, 60000);
    const auto cutAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(player.WaitForLog("device: opened " + MediaPath("tone.wav") + ":", 15s)) << player.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - cutAt, 12s) << "the cut track played on";
    EXPECT_TRUE(player.WaitForLogAfter("open \"tone.wav\"", "mci> close movie", 10s)) << player.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_TRUE(PlayedInOrder(player.Log(), {"cut.mp3", "tone.wav"}));
}

}  // namespace
