// The real player with the real device on awkward files: streams that state no length or no
// header, a name holding a double quote, a file cut while it plays. Each track ends and the
// next one opens, as the playlist has it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/device/TestMedia.h"
#include "tests/e2e/DefaultConfiguration.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace std::chrono_literals;

// Starts the player on `entries` (absolute paths) as its last playlist, without repeat.
PlayerProcess StartWithList(const TempFolder& home, const std::vector<std::string>& entries) {
    std::string list;
    for (const std::string& e : entries) list += e + "\r\n";
    home.Write("KORU.tsr", list);
    std::string cfg = kDefaultConfiguration;
    home.Write("KORU.CFG", cfg.replace(cfg.find("Repeat=1"), 8, "Repeat=0"));
    return PlayerProcess(home.path(), {});
}

// Waits until the device has been closed after opening `last`: the end of the list.
bool WaitForListEnd(PlayerProcess& player, const std::string& last, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;; std::this_thread::sleep_for(100ms)) {
        const std::string log = player.Log();
        const size_t opened = log.find("device: opened " + last + ":");
        if (opened != std::string::npos && log.find("mci> close movie", opened) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
    }
}

// The log shows the device opening each entry in turn, and each one ending (the device's
// "stopped") before the next opens; after the last the device is closed.
void ExpectPlayedInOrder(const std::string& log, const std::vector<std::string>& entries) {
    size_t at = 0;
    for (const std::string& e : entries) {
        at = log.find("device: opened " + e + ":", at);
        ASSERT_NE(at, std::string::npos) << e << "\n" << log;
        at = log.find("mci> status movie mode  <stopped", at);
        ASSERT_NE(at, std::string::npos) << e << " never ended\n" << log;
    }
    EXPECT_NE(log.find("mci> close movie", at), std::string::npos) << log;
}

TEST(DeviceE2E, StreamsWithoutLengthOrHeaderAndAQuotedNamePlayInOrder) {
    TempFolder home;
    WriteToneWav(home.path() + "a\"b.wav", 1.0, 440, 0.2);
    // An MPEG audio stream without header frame or tag; a raw MPEG-1 video stream, which states
    // no length at all (the player waits for the device to stop); a name holding a quote.
    const std::vector<std::string> entries = {MediaPath("stream.mp3"), MediaPath("stream.mpg"), home.path() + "a\"b.wav"};
    PlayerProcess player = StartWithList(home, entries);
    EXPECT_TRUE(WaitForListEnd(player, entries[2], 40s)) << player.Log();
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    const std::string log = player.Log();
    EXPECT_NE(log.find("mci> open \"a\"b.wav\" type mpegvideo alias movie"), std::string::npos) << log;
    EXPECT_NE(log.find("device: opened " + entries[1] + ": no stated length"), std::string::npos) << log;
    ExpectPlayedInOrder(log, entries);
}

TEST(DeviceE2E, FileCutWhilePlayingEndsTheTrackAndTheNextOpens) {
    TempFolder home;
    const std::string cut = home.path() + "cut.mp3";  // 20 s
    std::filesystem::copy_file(MediaPath("long.mp3"), cut);
    const std::vector<std::string> entries = {cut, MediaPath("tone.wav")};
    PlayerProcess player = StartWithList(home, entries);
    ASSERT_TRUE(player.WaitForLog("device: opened " + cut + ":", 20s)) << player.Log();
    std::this_thread::sleep_for(1s);
    std::filesystem::resize_file(cut, 60000);
    const auto cutAt = std::chrono::steady_clock::now();
    EXPECT_TRUE(player.WaitForLog("device: opened " + entries[1] + ":", 15s)) << player.Log();
    EXPECT_LT(std::chrono::steady_clock::now() - cutAt, 12s) << "the cut track played on";
    EXPECT_TRUE(WaitForListEnd(player, entries[1], 10s)) << player.Log();
    player.Signal(SIGTERM);
    ASSERT_EQ(player.WaitForExit(20s), 0) << player.Log();
    ExpectPlayedInOrder(player.Log(), entries);
}

}  // namespace
