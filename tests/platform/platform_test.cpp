// The small shims everything stands on: number reading, text and names from outside, paths,
// and the files the player keeps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>

#include "platform/Files.h"
#include "platform/NameBytes.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(PlatformTest, ParseLeadingIntReadsLikeAtoiWithoutOverflow) {
    const std::pair<const char*, int> cases[] = {
        {"", 0}, {"42", 42}, {"  -17abc", -17}, {"+8", 8}, {"\t\n 5", 5}, {"x5", 0}, {"- 5", 0}, {"000123", 123},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseLeadingInt(text), value) << "'" << text << "'";
}

TEST(PlatformTest, OutsideTextIsUtf8OrDecodedFromCp932) {
    const std::pair<std::string, std::string> cases[] = {
        {"abc", "abc"}, {"テスト", "テスト"}, {"\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"}, {"\x83\x65\x83\x58\x83\x67", "テスト"},
        {"\x90\xC2\x8B\xF3", "青空"}, {"\xB1\xB2", "ｱｲ"}, {"a\x83", "a\xEF\xBF\xBD"}};  // the last cut at the end
    for (const auto& [bytes, utf8] : cases) EXPECT_EQ(OutsideTextToUtf8(bytes), utf8) << bytes;
    // Overlong, surrogate, past U+10FFFF, cut, CP932, a lone continuation byte.
    for (const char* bytes : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x83", "\x83\x65", "\x80"})
        EXPECT_FALSE(IsValidUtf8(bytes)) << bytes;
}

TEST(PlatformTest, PathsAndChangingFolderPrefixByPrefix) {
    EXPECT_EQ(FolderOf("/a/b/c.mp3") + "|" + FolderOf("c.mp3") + "|" + FileNameOf("/a/b/c.mp3"), "/a/b/||c.mp3");
    EXPECT_EQ(ExtensionOf("/a/b.dir/c.MP3") + "|" + ExtensionOf("/a/b.dir/noext"), ".MP3|");
    EXPECT_EQ(MakeAbsolute("x/y.wav", "/start") + "|" + MakeAbsolute("/abs.wav", "/start"), "/start/x/y.wav|/abs.wav");
    CurrentFolderGuard guard;
    TempFolder folder;
    folder.Write("a/b/file.txt", "x");
    const std::string root = fs::canonical(folder.path()).string();
    const std::pair<std::string, std::string> cases[] = {
        {root + "/a/b/", root + "/a/b"}, {root + "/a/gone/deeper", root + "/a"},
        {root + "/a/b/file.txt", root + "/a/b"}, {root + "//a", root + "/a"}, {"", root + "/a"}, {"relative/b", root + "/a"}};
    for (const auto& [path, ends] : cases) {
        ChangeFolderByPrefixes(path);
        EXPECT_EQ(fs::current_path().string(), ends) << path;
    }
}

TEST(PlatformTest, StoredNamesKeepTheirBytesUnlessOnlyTheCp932DecodingExists) {
    TempFolder dir;
    const std::string d = dir.path(), cp932 = "\x89\xb9\x8a\x79", latin1 = "caf\xe9";  // 音楽, café
    dir.Write(cp932 + "/a.wav", "");
    dir.Write("音楽/b.wav", "");
    dir.Write("bg/" + latin1 + ".bmp", "");
    const std::pair<std::string, std::string> cases[] = {
        {d + cp932 + "/a.wav", d + cp932 + "/a.wav"},  // the raw bytes name a file
        {d + cp932 + "/b.wav", d + "音楽/b.wav"},       // only the decoding does
        {d + cp932 + "/c.wav", d + cp932 + "/c.wav"},  // neither
        {d + latin1 + "/x", d + latin1 + "/x"},        // decodes to something else that names nothing
        {d + "音楽/none", d + "音楽/none"}, {"", ""}};
    for (const auto& [raw, name] : cases) EXPECT_EQ(NameFromStoredBytes(raw), name) << raw;
    EXPECT_EQ(NameFromStoredBytes(latin1 + ".bmp", d + "bg/"), latin1 + ".bmp");
}

TEST(PlatformTest, StateFilesAreProbedAndReadWithoutBlockingAndOnlyWhenRegular) {
    TempFolder dir;
    std::string big(300000, 'x');
    big[123456] = '\0';
    dir.Write("big.bin", big);
    dir.Write("folder/x", "");
    ASSERT_EQ(::mkfifo((dir.path() + "fifo").c_str(), 0644), 0);
    fs::create_symlink(dir.path() + "gone", dir.path() + "dangling");
    const std::pair<const char*, FileState> cases[] = {{"big.bin", FileState::Readable}, {"none", FileState::Missing},
        {"folder", FileState::Unreadable}, {"fifo", FileState::Unreadable}, {"dangling", FileState::Unreadable}};
    for (const auto& [name, state] : cases) {
        EXPECT_EQ(ProbeFile(dir.path() + name), state) << name;
        EXPECT_EQ(ReadWholeFile(dir.path() + name).has_value(), state == FileState::Readable) << name;
    }
    EXPECT_EQ(ReadWholeFile(dir.path() + "big.bin"), big);
}

TEST(PlatformTest, WriteFileAtomicallyReplacesOnlyRegularFilesWholeAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const std::string path = dir.Write("KORU.tsr", "old content\r\n");
    EXPECT_TRUE(WriteFileAtomically(path, "new\r\n"));
    EXPECT_EQ(dir.Read("KORU.tsr"), "new\r\n");
    EXPECT_TRUE(WriteFileAtomically(path, ""));
    EXPECT_EQ(dir.Read("KORU.tsr"), "");
    EXPECT_FALSE(WriteFileAtomically(dir.path() + "missing/KORU.tsr", "x"));
    ASSERT_EQ(::mkfifo((dir.path() + "KORU.CFG").c_str(), 0644), 0);
    EXPECT_FALSE(WriteFileAtomically(dir.path() + "KORU.CFG", "x"));
    EXPECT_TRUE(fs::is_fifo(dir.path() + "KORU.CFG"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::owner_read, fs::perms::owner_read);
}

TEST(PlatformTest, OnlyUnlockedRegularTempFilesOfOurPatternAreRemoved) {
    TempFolder dir;
    for (const char* name : {".velkaf-a1B2c3", ".velkaf-ZZZZZZ", ".velkaf-locked", ".velkaf-12345", ".velkaf-1234567",
                             "velkaf-abcdef", ".velkaf-ab-def", "KORU.tsr"})
        dir.Write(name, "x");
    dir.Write(".velkaf-folder/x", "");
    fs::create_symlink(dir.path() + "KORU.tsr", dir.path() + ".velkaf-linked");
    // A save in progress by another player holds the lock on its file.
    const int held = ::open((dir.path() + ".velkaf-locked").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(RemoveStaleTempFiles(dir.path()), 2);
    ::close(held);
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.insert(entry.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{".velkaf-locked", ".velkaf-12345", ".velkaf-1234567", "velkaf-abcdef",
                                           ".velkaf-ab-def", "KORU.tsr", ".velkaf-folder", ".velkaf-linked"}));
    EXPECT_EQ(RemoveStaleTempFiles(dir.path() + "none/"), 0);
}

TEST(PlatformTest, GeneratorFollowsTheClassicSequence) {
    LcgRandom random(1);
    for (int expected : {41, 18467, 6334, 26500}) EXPECT_EQ(random.Next(), expected);  // rand() after srand(1)
    for (int i = 0; i < 1000; ++i) {
        const int v = random.Next();
        ASSERT_TRUE(v >= 0 && v <= 32767) << v;
    }
}

}  // namespace
