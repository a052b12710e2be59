// The real player with the real device on files, and the state files it keeps.
#include <signal.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>
#include <thread>
#include "tests/e2e/PlayerProcess.h"

namespace {
namespace fs = std::filesystem;

int TempFiles(const TempFolder& home) {
    const auto temporary = [](const fs::path& p) { return p.filename().string().starts_with(".velkaf-"); };
    return int(std::ranges::count_if(fs::directory_iterator(home.path()), temporary, &fs::directory_entry::path));
}

struct StateFilesE2E : ::testing::Test { TempFolder home; };  // the player's program folder
using FormatsE2E = StateFilesE2E;

void Quit(PlayerProcess& player) { ASSERT_EQ(player.Quit(30s), 0) << player.Log(); }

// Then an MPEG audio stream without header frame or tag, a raw MPEG-1 stream stating no length, a quoted name.
TEST_F(FormatsE2E, FlacOpusMp4StreamsAndAQuotedNamePlayInOrderAndTheTagReachesTheTitleLine) {
    const std::string tone = "-f lavfi -i sine=d=1 ";
    const struct { const char* name; std::string ffmpeg; } files[] = {
        {"one.flac", tone + "-metadata title=\xE6\x9B\xB2\xE5\x90\x8D -metadata artist=\xE6\xAD\x8C\xE6\x89\x8B"},
        {"two.opus", tone + "-c:a libopus"},
        {"three.mp4", "-f lavfi -i testsrc=d=1:s=160x120:r=25 " + tone + "-c:v libx264 -pix_fmt yuv420p -c:a aac"},
    };
    std::vector<std::string> list, names;
    for (const auto& f : files) {
        list.push_back(home.Write(std::string("music/") + f.name, "")); names.push_back(f.name);
        const std::string command = "ffmpeg -v error -y " + f.ffmpeg + " '" + list.back() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    list.insert(list.end(), {MediaPath("stream.mp3"), MediaPath("stream.mpg"), home.path() + "a\"b.wav"});
    names.insert(names.end(), {"stream.mp3", "stream.mpg"});  // a"b.wav is no name that Opens reads
    WriteToneWav(list.back(), 1.0, 440, 0.2);
    WriteStateFiles(home.path(), list, "Repeat=0");
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 6 entries", 20s)) << player.Log();
    EXPECT_TRUE(player.WaitForLogAfter("mci> open \"a\"b.wav\"", "mci> close movie", 60s)) << player.Log();
    Quit(player);
    const std::string log = player.Log();
    EXPECT_EQ(Opens(log), names) << log;
    EXPECT_NE(log.find("mci> open \"a\"b.wav\" type mpegvideo alias movie"), std::string::npos) << log;
    EXPECT_NE(log.find(list[4] + ": no stated length"), std::string::npos) << log;  // opened, or adopted as cued
    names.push_back("a\"b.wav");
    EXPECT_TRUE(PlayedInOrder(log, names));
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 6"), std::string::npos) << log;
    const size_t first = log.find("open \"one.flac\"");
    const size_t title = log.find("title line 2: \xE6\x9B\xB2\xE5\x90\x8D \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |");
    EXPECT_TRUE(title != std::string::npos && title > first && title < log.find("open \"two.opus\"")) << log;
}

TEST_F(StateFilesE2E, UnreadableConfigAndListStayByteForByte) {
    if (!PlayerProcess::CanRunAsNobody()) GTEST_SKIP() << "needs root to run the player as nobody";
    fs::permissions(home.path(), fs::perms::all);  // nobody could replace them, but must not
    const std::string cfg = Configuration("x=5"), list = "/m/a.mp3\r\n";
    for (const auto& [name, bytes] : {std::pair{"KORU.CFG", cfg}, {"KORU.tsr", list}})
        fs::permissions(home.Write(name, bytes), fs::perms::none);
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"/m/b.mp3"}}) {
        PlayerProcess player(home.path(), arguments, {}, true);
        ASSERT_TRUE(player.WaitForLog("first tick done", 20s)) << player.Log();
        Quit(player);
        const std::string log = player.Log();
        for (const char* said : {"KORU.CFG cannot be read (Permission denied)",
                                 "KORU.tsr cannot be read (Permission denied)", "quit: list not saved (unreadable at "
                                 "start, unchanged since), settings not saved (unreadable at start)"})
            EXPECT_NE(log.find(said), log.npos) << log;
        EXPECT_EQ(std::pair(home.Read("KORU.CFG"), home.Read("KORU.tsr")), std::pair(cfg, list));
        EXPECT_EQ(TempFiles(home), 0);
    }
}

TEST_F(StateFilesE2E, FailedSavesAreSaidOnStandardErrorWithTheLogOff) {
    if (!PlayerProcess::CanRunAsNobody()) GTEST_SKIP() << "needs root to run the player as nobody";
    WriteStateFiles(home.path(), {"/m/a.mp3"}, "");
    fs::permissions(home.path(), fs::perms(0755));  // not writable by nobody
    PlayerProcess player(home.path(), {}, {"VELKAF_LOG=0"}, true);
    ASSERT_TRUE(player.WaitForQuitHandler(20s)) << player.Log();
    Quit(player);
    const std::string log = player.Log();
    EXPECT_NE(log.find("velkaf: the last playlist could not be saved to " + home.path() + "KORU.tsr\n" +
                       "velkaf: the settings could not be saved to " + home.path() + "KORU.CFG\n" +
                       "velkaf: the volume could not be saved to " + home.path() + "KORU.vol\n"), log.npos) << log;
    EXPECT_EQ(log.find("mci>"), std::string::npos) << "the log is off";
    EXPECT_EQ(home.Read("KORU.tsr"), "/m/a.mp3\r\n");
}

TEST_F(StateFilesE2E, Cp932AndLatin1NamesPlayAgainAfterTwoRestarts) {
    const std::vector<std::string> names = {"\x89\xb9\x8a\x79.wav", "caf\xe9.wav"};  // 音楽.wav in CP932, café.wav
    std::vector<std::string> paths;
    fs::create_directory(home.path() + "music");
    for (const auto& name : names) WriteToneWav(paths.emplace_back(home.path() + "music/" + name), 0.4, 440.0, 0.3);
    WriteStateFiles(home.path(), paths, "Repeat=0");
    const std::string list = home.Read("KORU.tsr");
    for (int run = 0; run < 3; ++run) {
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done: 2 entries", 20s)) << player.Log();
        // Both open with their length known, then the end of the list closes the device.
        player.WaitForLogAfter("open \"" + names[1] + "\"", "mci> close movie", 20s);
        const std::string log = player.Log();
        EXPECT_EQ(Opens(log), names) << "run " << run << "\n" << log;
        EXPECT_GE(CountOf(log, "status movie length  <"), 2) << log;
        for (size_t at = 0; (at = log.find("status movie length  <", at + 1)) != log.npos;)
            EXPECT_GT(std::stoi(log.substr(at + 22)), 300) << "run " << run << "\n" << log;
        Quit(player);
        EXPECT_EQ(home.Read("KORU.tsr"), list) << "run " << run;
    }
}

TEST_F(StateFilesE2E, FifoStateFilesNeitherHoldTheStartNorAreReplaced) {
    for (const char* name : {"KORU.tsr", "KORU.CFG"}) ASSERT_EQ(::mkfifo((home.path() + name).c_str(), 0644), 0);
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 0 entries", 20s)) << player.Log();
    Quit(player);
    EXPECT_NE(player.Log().find("KORU.tsr cannot be read (not a regular file)"), std::string::npos) << player.Log();
    for (const char* name : {"KORU.tsr", "KORU.CFG"}) EXPECT_TRUE(fs::is_fifo(home.path() + name)) << name;
}

// Kills while a save is under way (its temporary file exists): the next start removes it; each file is old or new.
TEST_F(StateFilesE2E, KillsDuringSavesOfAHundredThousandEntriesLeaveWholeFilesAndNoLeftovers) {
    std::string entries;
    for (int i = 0; i < 100000; ++i)
        entries += "/music/collection/artist " + std::to_string(i % 97) + "/track " + std::to_string(i) + ".mp3\r\n";
    // The saves rewrite both files: the comment line goes, "+0" becomes "0".
    const std::string oldList = "#EXTM3U\r\n" + entries, newCfg = Configuration("AutoPlay=0");
    const std::string oldCfg = Configuration("AutoPlay=0\nx=+0");
    int killedMidSave = 0, leftovers = 0;
    for (int trial = 0; trial < 20; ++trial) {
        home.Write("KORU.tsr", oldList); home.Write("KORU.CFG", oldCfg);  // unchanged files are not saved again
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done: 100000 entries", 60s))
            << "trial " << trial << ", exit " << player.WaitForExit(1s) << "\n" << player.Log();
        EXPECT_EQ(TempFiles(home), 0) << "the start removes what the last kill left";
        player.Signal(SIGTERM);
        const bool seen = Eventually([&] { return TempFiles(home) > 0; }, 20s, 200us);
        std::this_thread::sleep_for(std::chrono::milliseconds(trial % 5)); player.Signal(SIGKILL);
        killedMidSave += player.WaitForExit(20s) == 128 + SIGKILL && seen;
        leftovers += TempFiles(home);
        const std::string list = home.Read("KORU.tsr"), cfg = home.Read("KORU.CFG");
        ASSERT_TRUE(list == oldList || list == entries) << "trial " << trial << ": " << list.size() << " bytes";
        ASSERT_TRUE(cfg == oldCfg || cfg == newCfg) << "trial " << trial << ":\n" << cfg;
    }
    std::cout << killedMidSave << " of 20 kills landed during a save; " << leftovers << " temporary files left\n";
    EXPECT_GT(killedMidSave, 0);
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 100000 entries", 60s)) << player.Log();
    EXPECT_EQ(TempFiles(home), 0);
    Quit(player);
    EXPECT_EQ(home.Read("KORU.tsr"), entries);
    EXPECT_EQ(home.Read("KORU.CFG"), newCfg);
}
}  // namespace
