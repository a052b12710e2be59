#include "playlist/ListFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

using Entries = std::vector<std::string>;

Playlist WithStore(const Entries& entries) {
    Playlist p;
    for (const std::string& e : entries) p.InsertAt(p.StoreSize(), e);
    return p;
}

TEST(ListReader, LineRules) {
    const std::string longLine = "/" + std::string(9999, 'x');
    const std::string longest = "/" + std::string(kPathLimit - 2, 'y');  // kPathLimit - 1 bytes
    struct Case {
        const char* name;
        std::string bytes;
        Entries entries;
    };
    const std::vector<Case> cases = {
        {"extended m3u", "#EXTM3U\r\n#EXTINF:215,Artist - Title\r\n/music/a.mp3\r\n", {"/music/a.mp3"}},
        {"relative, network and blank lines", "music/a.mp3\r\n//server/share/a.mp3\r\n\r\n /b.mp3\r\nC:\\a.mp3\r\n", {}},
        {"file order kept", "/m/c.mp3\r\n/m/b.mp3\r\n/m/A.mp3\r\n", {"/m/c.mp3", "/m/b.mp3", "/m/A.mp3"}},
        {"bare LF", "/a.mp3\n/b.mp3\n", {"/a.mp3", "/b.mp3"}},
        {"bare CR", "/a.mp3\r/b.mp3\r", {"/a.mp3", "/b.mp3"}},
        {"mixed, no final line end", "/a\r\n/b\n/c\r/d", {"/a", "/b", "/c", "/d"}},
        {"blanks inside and at the end kept", "/my music/a b.mp3 \r\n", {"/my music/a b.mp3 "}},
        {"byte order mark", "\xEF\xBB\xBF/a.mp3\r\n", {"/a.mp3"}},
        {"line with a NUL byte", std::string("/a\0b\r\n/c\r\n", 10), {"/c"}},
        {"CP932 line", "/\x89\xb9\x8a\x79/a.mp3\r\n", {"/音楽/a.mp3"}},
        {"UTF-8 line", "/音楽/a.mp3\r\n", {"/音楽/a.mp3"}},
        {"10000-byte line skipped", longLine + "\r\n/after.mp3\r\n", {"/after.mp3"}},
        {"longest path kept, one more byte skipped", longest + "\r\n" + longest + "y\r\n", {longest}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        Playlist p;
        EXPECT_EQ(ParseListBytes(c.bytes, p), static_cast<int>(c.entries.size())) << c.name;
        EXPECT_EQ(p.Entries(), c.entries) << c.name;
        EXPECT_EQ(p.count, 0) << c.name;
    }
}

TEST(ListReader, InsertsAtThePositionGiven) {
    Playlist p = WithStore({"/x", "/y"});
    EXPECT_EQ(ParseListBytes("/a\r\n/b\r\n", p, 1), 2);
    EXPECT_EQ(p.Entries(), (Entries{"/x", "/a", "/b", "/y"}));
    EXPECT_EQ(ParseListBytes("/c\r\n", p, 99), 1);
    EXPECT_EQ(p.Entries().back(), "/c");
}

TEST(ListReader, UnreadableFileLeavesTheStore) {
    TempFolder folder;
    Playlist p = WithStore({"/x"});
    EXPECT_EQ(ReadListFile(folder.path() + "none.tsr", p), -1);
    EXPECT_EQ(ReadListFile(folder.path(), p), -1) << "a folder";
    EXPECT_EQ(p.Entries(), Entries{"/x"});
}

TEST(ListWriter, ExactBytes) {
    struct Case {
        const char* name;
        Entries store;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty store", {}, ""},
        {"two entries", {"/a.mp3", "/b.wav"}, "/a.mp3\r\n/b.wav\r\n"},
        {"as stored, duplicates included", {"/音楽/曲 1.mp3", "/x", "/x"}, "/音楽/曲 1.mp3\r\n/x\r\n/x\r\n"},
        {"an entry with a line end is left out", {"/a\nb.mp3", "/c\r", "/d"}, "/d\r\n"},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteListFile(folder.path() + "list.m3u", WithStore(c.store))) << c.name;
        EXPECT_EQ(folder.Read("list.m3u"), c.bytes) << c.name;
    }
}

TEST(ListWriter, WrittenListsReadBackTheSame) {
    TempFolder folder;
    const Entries store = {"/m/c.mp3", "/音楽/b.mp3", "/m/A.mp3", "/" + std::string(4000, 'z')};
    ASSERT_TRUE(WriteListFile(folder.path() + "mix.tsr", WithStore(store)));
    Playlist back;
    EXPECT_EQ(ReadListFile(folder.path() + "mix.tsr", back), 4);
    EXPECT_EQ(back.Entries(), store);
}

TEST(ListWriter, FailureIsReportedAndLeavesNoTemporaryFile) {
    TempFolder folder;
    EXPECT_FALSE(WriteListFile(folder.path() + "gone/list.tsr", WithStore({"/a"})));
    ASSERT_EQ(::mkdir((folder.path() + "list.tsr").c_str(), 0755), 0);
    EXPECT_FALSE(WriteListFile(folder.path() + "list.tsr", WithStore({"/a"}))) << "a folder in the way";
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder.path())) names.push_back(item.path().filename());
    EXPECT_EQ(names, Entries{"list.tsr"});
}

TEST(LastList, MissingFileIsCreatedEmpty) {
    TempFolder folder;
    Playlist p;
    p.count = 5;
    EXPECT_EQ(LoadLastList(folder.path(), p), 0);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(folder.Read("KORU.tsr"), "");
}

TEST(LastList, ExistingFileIsLoadedAndCounted) {
    TempFolder folder;
    folder.Write("KORU.tsr", "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    Playlist p;
    EXPECT_EQ(LoadLastList(folder.path(), p), 2);
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.Entries(), (Entries{"/m/c.mp3", "/m/b.mp3"}));
    EXPECT_EQ(folder.Read("KORU.tsr"), "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n") << "reading changes nothing";
}

TEST(LastList, UnreadableFileIsLeftAlone) {
    TempFolder folder;
    ASSERT_EQ(::mkdir((folder.path() + "KORU.tsr").c_str(), 0755), 0);
    folder.Write("KORU.tsr/inside", "kept");
    Playlist p;
    EXPECT_EQ(LoadLastList(folder.path(), p), 0);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(folder.Read("KORU.tsr/inside"), "kept");
}

TEST(LastList, SaveWritesTheWholeStore) {
    TempFolder folder;
    folder.Write("KORU.tsr", "/old.mp3\r\n");
    Playlist p = WithStore({"/only/one.mp3"});
    EXPECT_TRUE(SaveLastList(folder.path(), p));
    EXPECT_EQ(folder.Read("KORU.tsr"), "/only/one.mp3\r\n");
}

}  // namespace
