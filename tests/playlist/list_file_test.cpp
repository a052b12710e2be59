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
    TempFolder dir;
    const std::string d = dir.path(), cp932 = "\x89\xb9\x8a\x79";  // 音楽
    dir.Write("音楽/old.mp3", "");
    dir.Write(cp932 + "/raw.mp3", "");
    const std::string longest = "/" + std::string(kPathLimit - 2, 'y');  // kPathLimit - 1 bytes
    const std::vector<std::pair<std::string, Entries>> cases = {
        {"#EXTM3U\r\n#EXTINF:215,Artist - Title\r\n/music/a.mp3\r\n", {"/music/a.mp3"}},
        {"music/a.mp3\r\n//server/share/a.mp3\r\n\r\n /b.mp3\r\nC:\\a.mp3\r\n", {}},
        {"/m/c.mp3\r\n/m/b.mp3\r\n/m/A.mp3\r\n", {"/m/c.mp3", "/m/b.mp3", "/m/A.mp3"}},
        {"/a\r\n/b\n/c\r/d", {"/a", "/b", "/c", "/d"}},
        {"/my music/a b.mp3 \r\n", {"/my music/a b.mp3 "}},
        {"\xEF\xBB\xBF/a.mp3\r\n", {"/a.mp3"}},
        {std::string("/a\0b\r\n/c\r\n", 10), {"/c"}},
        {"/音楽/a.mp3\r\n", {"/音楽/a.mp3"}},
        // Not UTF-8: the raw bytes unless only the CP932 decoding names a file.
        {d + cp932 + "/old.mp3\r\n" + d + cp932 + "/raw.mp3\r\n" + d + cp932 + "/none.mp3\r\n/caf\xe9.mp3\r\n",
         {d + "音楽/old.mp3", d + cp932 + "/raw.mp3", d + cp932 + "/none.mp3", "/caf\xe9.mp3"}},
        {"/" + std::string(9999, 'x') + "\r\n" + longest + "\r\n" + longest + "y\r\n/after\r\n", {longest, "/after"}},
    };
    for (const auto& [bytes, entries] : cases) {
        Playlist p = WithStore({"/x", "/y"});
        EXPECT_EQ(ParseListBytes(bytes, p, 1), static_cast<int>(entries.size())) << bytes.substr(0, 40);
        Entries expected = entries;
        expected.insert(expected.begin(), "/x");
        expected.push_back("/y");
        EXPECT_EQ(p.Entries(), expected) << bytes.substr(0, 40);
        EXPECT_EQ(p.count, 0);
    }
}

TEST(ListWriter, ExactBytesThatReadBackTheSame) {
    const std::vector<std::pair<Entries, std::string>> cases = {
        {{}, ""},
        {{"/a.mp3", "/b.wav"}, "/a.mp3\r\n/b.wav\r\n"},
        {{"/音楽/曲 1.mp3", "/x", "/x", "/caf\xe9", "/" + std::string(4000, 'z')},
         "/音楽/曲 1.mp3\r\n/x\r\n/x\r\n/caf\xe9\r\n/" + std::string(4000, 'z') + "\r\n"},
        {{"/a\nb.mp3", "/c\r", std::string("/n\0", 3), "/d"}, "/d\r\n"},  // a line end or NUL cannot be a line
    };
    TempFolder dir;
    for (const auto& [store, bytes] : cases) {
        ASSERT_TRUE(WriteListFile(dir.path() + "list.m3u", WithStore(store)));
        EXPECT_EQ(dir.Read("list.m3u"), bytes);
        Playlist back;
        const int read = ReadListFile(dir.path() + "list.m3u", back);
        EXPECT_EQ(read, back.StoreSize());
        EXPECT_EQ(FormatListBytes(back), bytes);
    }
    Playlist none;
    EXPECT_FALSE(WriteListFile(dir.path() + "gone/list.tsr", WithStore({"/a"})));
    EXPECT_EQ(ReadListFile(dir.path() + "none.tsr", none), -1);
}

TEST(LastList, LoadedCountedCreatedOrLeftAlone) {
    TempFolder dir;
    Playlist p;
    p.count = 5;
    EXPECT_TRUE(LoadLastList(dir.path(), p));
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(dir.Read("KORU.tsr"), "") << "a missing file is created empty";
    EXPECT_FALSE(LastListUnreadable(dir.path()));
    dir.Write("KORU.tsr", "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(LoadLastList(dir.path(), p));
    EXPECT_EQ(p.count, 2);
    EXPECT_EQ(p.Entries(), (Entries{"/m/c.mp3", "/m/b.mp3"}));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(SaveLastList(dir.path(), WithStore({"/only/one.mp3"})));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/only/one.mp3\r\n");
    for (bool fifo : {true, false}) {
        TempFolder other;
        if (fifo) ASSERT_EQ(::mkfifo((other.path() + "KORU.tsr").c_str(), 0644), 0);
        else other.Write("KORU.tsr/inside", "kept");
        Playlist q;
        EXPECT_FALSE(LoadLastList(other.path(), q)) << fifo;
        EXPECT_TRUE(LastListUnreadable(other.path())) << fifo;
        EXPECT_EQ(q.count, 0);
        EXPECT_EQ(std::filesystem::is_fifo(other.path() + "KORU.tsr"), fifo);
    }
}

TEST(LastList, FingerprintFollowsEntriesAndTheirOrder) {
    const std::vector<Entries> lists = {{}, {""}, {"/a"}, {"/a", "/b"}, {"/b", "/a"}, {"/a/b"}, {"/ab"}, {"/a", "/a"}};
    for (size_t i = 0; i < lists.size(); ++i)
        for (size_t j = 0; j < lists.size(); ++j)
            EXPECT_EQ(ListFingerprint(WithStore(lists[i])) == ListFingerprint(WithStore(lists[j])), i == j) << i << " " << j;
}

}  // namespace
