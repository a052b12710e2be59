// The small shims everything stands on: number reading, text from outside, paths, and files
// written in one piece.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(PlatformTest, ParseLeadingIntReadsLikeAtoiWithoutOverflow) {
    struct Case { const char* text; int value; };
    const Case cases[] = {
        {"", 0}, {"42", 42}, {"  -17abc", -17}, {"+8", 8}, {"\t\n 5", 5}, {"x5", 0}, {"-", 0}, {"- 5", 0},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN},
        {"000123", 123},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseLeadingInt(c.text), c.value) << "'" << c.text << "'";
}

TEST(PlatformTest, Utf8Validity) {
    struct Case { std::string bytes; bool valid; };
    const Case cases[] = {
        {"", true}, {"plain ascii", true}, {"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", true},  // テスト
        {"\xF0\x9F\x8E\xB5", true},                                                    // a note, 4 bytes
        {"\xC0\xAF", false},          // overlong
        {"\xE0\x80\xAF", false},      // overlong
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // past U+10FFFF
        {"\xE3\x83", false},          // cut
        {"\x83\x65\x83\x58", false},  // CP932 bytes
        {"\x80", false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}

TEST(PlatformTest, OutsideTextIsUtf8OrDecodedFromCp932) {
    struct Case { std::string bytes; std::string utf8; };
    const Case cases[] = {
        {"abc", "abc"},
        {"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},  // already UTF-8
        {"\x83\x65\x83\x58\x83\x67", "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},                // テスト in CP932
        {"\x90\xC2\x8B\xF3", "\xE9\x9D\x92\xE7\xA9\xBA"},                                    // 青空
        {"\xB1\xB2", "\xEF\xBD\xB1\xEF\xBD\xB2"},                                              // half-width ｱｲ
        {"a\x83", "a\xEF\xBF\xBD"},                                                            // cut at the end
    };
    for (const Case& c : cases) EXPECT_EQ(OutsideTextToUtf8(c.bytes), c.utf8);
}

TEST(PlatformTest, PathPieces) {
    EXPECT_EQ(FolderOf("/a/b/c.mp3"), "/a/b/");
    EXPECT_EQ(FolderOf("c.mp3"), "");
    EXPECT_EQ(FileNameOf("/a/b/c.mp3"), "c.mp3");
    EXPECT_EQ(ExtensionOf("/a/b.dir/c.MP3"), ".MP3");
    EXPECT_EQ(ExtensionOf("/a/b.dir/noext"), "");
    EXPECT_EQ(MakeAbsolute("x/y.wav", "/start"), "/start/x/y.wav");
    EXPECT_EQ(MakeAbsolute("x.wav", "/start/"), "/start/x.wav");
    EXPECT_EQ(MakeAbsolute("/abs.wav", "/start"), "/abs.wav");
}

TEST(PlatformTest, ChangeFolderByPrefixesStopsAtTheDeepestExistingFolder) {
    CurrentFolderGuard guard;
    TempFolder folder;
    folder.Write("a/b/file.txt", "x");
    const std::string root = std::filesystem::canonical(folder.path()).string();
    struct Case { std::string path; std::string ends; };
    const Case cases[] = {
        {root + "/a/b", root + "/a/b"},
        {root + "/a/b/", root + "/a/b"},
        {root + "/a/gone/deeper", root + "/a"},
        {root + "/a/b/file.txt", root + "/a/b"},
        {root + "//a", root + "/a"},
    };
    for (const Case& c : cases) {
        ChangeFolderByPrefixes(c.path);
        EXPECT_EQ(std::filesystem::current_path().string(), c.ends) << c.path;
    }
    ASSERT_EQ(::chdir(root.c_str()), 0);
    EXPECT_EQ(ChangeFolderByPrefixes(""), 0);
    EXPECT_EQ(ChangeFolderByPrefixes("relative/path"), 0);
    EXPECT_EQ(std::filesystem::current_path().string(), root) << "nothing changes for them";
}

TEST(PlatformTest, WriteFileAtomicallyReplacesWholeOrNotAtAll) {
    TempFolder folder;
    const std::string path = folder.Write("KORU.tsr", "old content\r\n");
    EXPECT_TRUE(WriteFileAtomically(path, "new\r\n"));
    EXPECT_EQ(folder.Read("KORU.tsr"), "new\r\n");
    EXPECT_TRUE(WriteFileAtomically(path, ""));
    EXPECT_EQ(folder.Read("KORU.tsr"), "");
    EXPECT_FALSE(WriteFileAtomically(folder.path() + "missing/KORU.tsr", "x"));
    // No temporary file is left behind.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IRUSR);
}

TEST(PlatformTest, ReadWholeFileReadsEverythingOrNothing) {
    TempFolder folder;
    std::string big(300000, 'x');
    big[123456] = '\0';
    const std::string path = folder.Write("big.bin", big);
    const auto read = ReadWholeFile(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, big);
    EXPECT_FALSE(ReadWholeFile(folder.path() + "nothing").has_value());
    EXPECT_FALSE(CanOpenForReading(folder.path() + "nothing"));
}

TEST(PlatformTest, GeneratorFollowsTheClassicSequence) {
    LcgRandom random(1);
    // The C runtime's rand() after srand(1).
    EXPECT_EQ(random.Next(), 41);
    EXPECT_EQ(random.Next(), 18467);
    EXPECT_EQ(random.Next(), 6334);
    EXPECT_EQ(random.Next(), 26500);
    for (int i = 0; i < 1000; ++i) {
        const int v = random.Next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

}  // namespace
