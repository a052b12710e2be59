// What a user meets in the first hour, through the real binary on real files: the real device, and the state files the
// player keeps.
#include <signal.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <thread>
#include <tuple>
#include "tests/e2e/PlayerProcess.h"

namespace {
namespace fs = std::filesystem;

int TempFiles(const TempFolder& home) {
    const auto temporary = [](const fs::path& p) { return p.filename().string().starts_with(".velkaf-"); };
    return int(std::ranges::count_if(fs::directory_iterator(home.path()), temporary, &fs::directory_entry::path));
}

std::vector<std::string> Opens(const std::string& log) {  // the names the device was asked to open, in order
    static const std::regex open("mci> open \"([^\"]+)\" type mpegvideo alias movie");
    std::vector<std::string> names;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), open); it != std::sregex_iterator(); ++it)
        names.push_back((*it)[1]);
    return names;
}
struct StateFilesE2E : ::testing::Test { TempFolder home; };  // the player's program folder
using FormatsE2E = StateFilesE2E;

void Quit(PlayerProcess& player) { ASSERT_EQ(player.Quit(30s), 0) << player.Log(); }

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

TEST_F(StateFilesE2E, DashHPrintsTheUsageAndStartsNothing) {
    for (const char* option : {"-h", "--help"}) {
        const std::string out = ShellOutput("VELKAF_HOME=" + home.path() + " QT_QPA_PLATFORM=offscreen timeout 10 " +
                                            PlayerBinary() + " " + option + "; echo \"exit $?\"");
        EXPECT_TRUE(out.starts_with("Usage: velkaf [-h|--help]")) << out;
        EXPECT_TRUE(out.ends_with("\nexit 0")) << out;
        EXPECT_EQ(home.Read("KORU.CFG"), "<missing>");
    }
}

// A list of FLAC, Opus and MP4, an MPEG audio stream without header frame or tag, a raw MPEG-1 stream stating no
// length, broken entries and a quoted name: each opens in turn, a broken one says why it cannot play and the list plays
// on. With repeat on, a list of nothing but broken entries is tried once round, then stops.
TEST_F(FormatsE2E, EveryFormatAndBrokenEntriesPlayInOrderAndTheTagReachesTheTitleLine) {
    const std::string tone = "-f lavfi -i sine=d=1 ";
    const struct { const char* name; std::string ffmpeg; } files[] = {
        {"one.flac", tone + "-metadata title=\xE6\x9B\xB2\xE5\x90\x8D -metadata artist=\xE6\xAD\x8C\xE6\x89\x8B"},
        {"two.opus", tone + "-c:a libopus"},
        {"three.mp4", "-f lavfi -i testsrc=d=1:s=160x120:r=25 " + tone + "-c:v libx264 -pix_fmt yuv420p -c:a aac"},
    };
    std::vector<std::string> list, names;
    for (const auto& f : files) {
        list.push_back(home.Write(std::string("music/") + f.name, ""));
        names.push_back(f.name);
        const std::string command = "ffmpeg -v error -y " + f.ffmpeg + " '" + list.back() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    home.Write("m/empty.wav", "");
    home.Write("m/text.wav", "not a sound at all");
    fs::create_directory(home.path() + "m/folder.wav");
    names.insert(names.end(), {"stream.mp3", "stream.mpg", "missing.wav", "empty.wav", "folder.wav", "text.wav"});
    list.insert(list.end(), {MediaPath("stream.mp3"), MediaPath("stream.mpg")});
    for (std::size_t k = 5; k < names.size(); ++k) list.push_back(home.path() + "m/" + names[k]);
    WriteToneWav(list.emplace_back(home.path() + "a\"b.wav"), 1.0, 440, 0.2);  // a"b.wav is no name that Opens reads
    WriteStateFiles(home.path(), list, "Repeat=0");
    PlayerProcess player(home.path(), {});
    ASSERT_TRUE(player.WaitForLog("first tick done: 10 entries", 20s)) << player.Log();
    EXPECT_TRUE(player.WaitForLogAfter("mci> open \"a\"b.wav\"", "mci> close movie", 60s)) << player.Log();
    std::this_thread::sleep_for(1500ms);  // nothing else may open
    Quit(player);
    const std::string log = player.Log();
    EXPECT_EQ(Opens(log), names) << log;
    EXPECT_NE(log.find(list[4] + ": no stated length"), std::string::npos) << log;  // opened, or adopted as cued
    // Each reason as OpenTrackTest.WhyAFileWouldNotPlay has it, said with the entry's path.
    EXPECT_NE(log.find("cannot play " + home.path() + "m/text.wav: the device cannot play it"), log.npos) << log;
    // Each playable entry opens and ends (mode "stopped") before the next opens; the device closes after the last.
    size_t at = 0;
    for (const std::string name : {"one.flac", "two.opus", "three.mp4", "stream.mp3", "stream.mpg", "a\"b.wav"}) {
        at = log.find("mci> status movie mode  <stopped", log.find("mci> open \"" + name + "\"", at));
        EXPECT_NE(at, log.npos) << name << " never opened, or never ended before the next";
    }
    EXPECT_NE(log.find("mci> close movie", at), log.npos) << "not closed\n" << log;
    EXPECT_NE(log.find("quit: list and settings saved, entry 0 of 10"), std::string::npos) << log;
    const size_t title = log.find("title line 2: \xE6\x9B\xB2\xE5\x90\x8D \xEF\xBC\x9A \xE6\xAD\x8C\xE6\x89\x8B  |");
    EXPECT_TRUE(title != log.npos && title > log.find("open \"one.flac") && title < log.find("open \"two.opus")) << log;
    WriteStateFiles(home.path(), {list[8], list[5]}, "Repeat=1");  // text.wav, missing.wav
    PlayerProcess round(home.path(), {});
    EXPECT_TRUE(round.WaitForLog("no entry of the playlist would open: stopped", 30s)) << round.Log();
    std::this_thread::sleep_for(1500ms);  // nothing else may open
    Quit(round);
    EXPECT_EQ(Opens(round.Log()), (std::vector<std::string>{"text.wav", "missing.wav"})) << round.Log();
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
        home.Write("KORU.tsr", oldList);  // unchanged files are not saved again
        home.Write("KORU.CFG", oldCfg);
        PlayerProcess player(home.path(), {});
        ASSERT_TRUE(player.WaitForLog("first tick done: 100000 entries", 60s))
            << "trial " << trial << ", exit " << player.WaitForExit(1s) << "\n" << player.Log();
        EXPECT_EQ(TempFiles(home), 0) << "the start removes what the last kill left";
        player.Signal(SIGTERM);
        const bool seen = Eventually([&] { return TempFiles(home) > 0; }, 20s, 200us);
        std::this_thread::sleep_for(std::chrono::milliseconds(trial % 5));
        player.Signal(SIGKILL);
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
