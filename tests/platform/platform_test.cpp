#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <csignal>
#include <set>
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/QuitSignal.h"
#include "platform/ReadProbe.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {
namespace fs = std::filesystem;

TEST(PlatformTest, ParseLeadingIntReadsLikeAtoiWithoutOverflow) {
    for (const auto& [text, value] : {std::pair{"", 0}, {"42", 42}, {"  -17abc", -17}, {"+8", 8}, {"\t\n 5", 5},
             {"x5", 0}, {"- 5", 0}, {"000123", 123}, {"2147483647", INT_MAX}, {"2147483648", INT_MAX},
             {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN}})
        EXPECT_EQ(ParseLeadingInt(text), value) << "'" << text << "'";
}

// Well-formed UTF-8 only: the shortest form, no surrogates, nothing past U+10FFFF, nothing cut short.
TEST(PlatformTest, OnlyWellFormedUtf8IsValid) {
    for (const auto& [bytes, valid] : {std::pair{"", true}, {"abc", true}, {"\xC3\xA9", true}, {"\xE0\xA0\x80", true},
             {"\xED\x9F\xBF", true}, {"\xEE\x80\x80", true}, {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
             {"\xC0\xAF", false}, {"\xE0\x9F\xBF", false}, {"\xED\xA0\x80", false}, {"\xED\xBF\xBF", false},
             {"\xF0\x8F\xBF\xBF", false}, {"\xF4\x90\x80\x80", false}, {"\xE3\x81", false}, {"\x80", false}})
        EXPECT_EQ(IsValidUtf8(bytes), valid) << testing::PrintToString(std::string(bytes));
}

TEST(PlatformTest, PathsAndChangingFolderPrefixByPrefix) {
    EXPECT_EQ(FolderOf("/a/b/c.mp3") + "|" + FolderOf("c.mp3") + "|" + FileNameOf("/a/b/c.mp3") + "|" +
                  ExtensionOf("/a/b.d/c.MP3") + "|" + ExtensionOf("/a/b.d/noext") + "|" +
                  MakeAbsolute("x/y.wav", "/start") + "|" + MakeAbsolute("/abs.wav", "/start"),
              "/a/b/||c.mp3|.MP3||/start/x/y.wav|/abs.wav");
    CurrentFolderGuard guard;
    TempFolder folder;
    folder.Write("a/b/file.txt", "x");
    const std::string root = fs::canonical(folder.path()).string();
    const std::string a = root + "/a";
    for (const auto& [path, ends] : {std::pair{a + "/b/", a + "/b"}, {a + "/gone/deeper", a},
             {a + "/b/file.txt", a + "/b"}, {root + "//a", a}, {"", a}, {"relative/b", a}}) {
        ChangeFolderByPrefixes(path);
        EXPECT_EQ(fs::current_path().string(), ends) << path;
    }
}

// What stands at a path is probed without blocking and read only when regular. The first-bytes probe lets a missing
// path or a folder through for its opener to refuse; a regular file of no bytes has nothing to read (not asked of the
// FIFO: its probe would wait out the bound).
TEST(PlatformTest, StateFilesAreProbedAndReadWithoutBlockingAndOnlyWhenRegular) {
    TempFolder dir;
    std::string big(300000, 'x');
    big[123456] = '\0';
    dir.Write("big.bin", big);
    for (const char* name : {"empty.mp3", "folder/x"}) dir.Write(name, "");
    ASSERT_EQ(::mkfifo((dir.path() + "fifo").c_str(), 0644), 0);
    fs::create_symlink(dir.path() + "gone", dir.path() + "dangling");
    const struct { const char* name; FileState state; std::optional<bool> firstBytes; } cases[] = {
        {"big.bin", FileState::Readable, true}, {"empty.mp3", FileState::Readable, false},
        {"none", FileState::Missing, true},     {"folder", FileState::Unreadable, true},
        {"fifo", FileState::Unreadable, {}},    {"dangling", FileState::Unreadable, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(ProbeFile(dir.path() + c.name), c.state) << c.name;
        EXPECT_EQ(ReadWholeFile(dir.path() + c.name).has_value(), c.state == FileState::Readable) << c.name;
        if (c.firstBytes) { EXPECT_EQ(FirstBytesReadable(dir.path() + c.name, 1000), *c.firstBytes) << c.name; }
    }
    EXPECT_EQ(ReadWholeFile(dir.path() + "big.bin"), big);
}

// Quit signals wake a loop watching the pipe; a drain empties it, and the request stays.
TEST(PlatformTest, QuitSignalsWakeThePipeUntilDrained) {
    InstallQuitSignalHandlers();
    pollfd watch{QuitSignalFd(), POLLIN, 0};
    ASSERT_GE(watch.fd, 0);
    EXPECT_EQ(::poll(&watch, 1, 0), 0);
    for (const int signal : {SIGTERM, SIGHUP}) ASSERT_EQ(::raise(signal), 0);
    EXPECT_EQ(std::pair(::poll(&watch, 1, 0), QuitSignalReceived()), std::pair(1, true));
    DrainQuitSignalFd();
    EXPECT_EQ(std::pair(::poll(&watch, 1, 0), QuitSignalReceived()), std::pair(0, true));
}

TEST(PlatformTest, WriteFileAtomicallyReplacesOnlyRegularFilesWholeAlsoThroughALinkAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const std::string path = dir.Write("KORU.tsr", "old content\r\n");
    // The same bytes again leave the file itself in place; other bytes, of any size, replace it.
    for (const auto& [bytes, kept] : {std::pair{"new\r\n", false}, {"", false}, {"same\r\n", false}, {"same\r\n", true},
                                      {"diff\r\n", false}}) {
        struct stat before {}, after {};
        ::stat(path.c_str(), &before);
        EXPECT_TRUE(WriteFileAtomically(path, bytes));
        ::stat(path.c_str(), &after);
        EXPECT_EQ(after.st_ino == before.st_ino, kept) << bytes << (kept ? " again" : "");
        EXPECT_EQ(dir.Read("KORU.tsr"), bytes);
    }
    EXPECT_FALSE(WriteFileAtomically(dir.path() + "missing/KORU.tsr", "x"));
    ASSERT_EQ(::mkfifo((dir.path() + "KORU.CFG").c_str(), 0644), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.path() + "KORU.CFG", "x"));
    EXPECT_TRUE(fs::is_fifo(dir.path() + "KORU.CFG"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_read, fs::perms::owner_read);
    // A save through a link replaces its target and keeps the link.
    struct Case { const char* name; const char* link; const char* target; bool saved; };  // target nullptr: none
    const Case cases[] = {
        {.name = "beside", .link = "real.tsr", .target = "real.tsr", .saved = true},
        {.name = "other folder", .link = "keep/real.tsr", .target = "keep/real.tsr", .saved = true},
        {.name = "chain", .link = "hop.tsr", .target = "keep/real.tsr", .saved = true},
        {.name = "dangling", .link = "keep/gone.tsr", .target = nullptr, .saved = false},
        {.name = "to a folder", .link = "keep", .target = nullptr, .saved = false},
    };
    for (const Case& c : cases) {
        TempFolder linked;
        for (const char* name : {"real.tsr", "keep/real.tsr"}) linked.Write(name, "old\r\n");
        fs::create_symlink("keep/real.tsr", linked.path() + "hop.tsr");
        fs::create_symlink(c.link, linked.path() + "KORU.tsr");
        EXPECT_EQ(WriteFileAtomically(linked.path() + "KORU.tsr", "new\r\n"), c.saved) << c.name;
        EXPECT_TRUE(fs::is_symlink(linked.path() + "KORU.tsr")) << c.name;
        EXPECT_EQ(fs::read_symlink(linked.path() + "KORU.tsr"), c.link) << c.name;
        if (c.target != nullptr) { EXPECT_EQ(linked.Read(c.target), "new\r\n") << c.name; }
        EXPECT_EQ(linked.Read("keep/gone.tsr"), "<missing>") << c.name;
        for (const char* folder : {"", "keep/"})
            for (const auto& entry : fs::directory_iterator(linked.path() + folder))
                EXPECT_NE(entry.path().filename().string().rfind(".velkaf-", 0), 0u) << c.name << ": " << entry.path();
    }
}

// Another player's save shows as a lock: on its temporary file, which no cleaner removes, or on the folder.
TEST(PlatformTest, OnlyUnlockedRegularTempFilesOfOurPatternAreRemovedAndOneSaverHoldsTheFolder) {
    TempFolder dir;
    for (const char* name : {".velkaf-a1B2c3", ".velkaf-ZZZZZZ", ".velkaf-locked", ".velkaf-12345", ".velkaf-1234567",
                             "velkaf-abcdef", ".velkaf-ab-def", "KORU.tsr", ".velkaf-folder/x"})
        dir.Write(name, "x");
    fs::create_symlink(dir.path() + "KORU.tsr", dir.path() + ".velkaf-linked");
    const int held = ::open((dir.path() + ".velkaf-locked").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 2);
    ::close(held);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{".velkaf-locked", ".velkaf-12345", ".velkaf-1234567", "velkaf-abcdef",
                                           ".velkaf-ab-def", "KORU.tsr", ".velkaf-folder", ".velkaf-linked"}));
    EXPECT_EQ(RemoveStaleTempFiles(dir.path() + "none/"), 0);
    // A second player waits while the first holds the folder, then goes on.
    EXPECT_EQ((std::pair{FolderLock(dir.path()).Held(), FolderLock(dir.path(), 30).Held()}), std::pair(true, false));
    EXPECT_TRUE(FolderLock(dir.path(), 0).Held());
    EXPECT_FALSE(FolderLock(dir.path() + "none/", 0).Held());
}
}  // namespace
