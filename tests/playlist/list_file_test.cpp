#include "playlist/ListFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
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
    TempFolder dir;
    const std::string z(4000, 'z');
    for (const auto& [store, bytes] : {std::pair<Entries, std::string>{{}, ""}, {{"/a.mp3", "/b.wav"}, "/a.mp3\r\n/b.wav\r\n"},
             {{"/音楽/曲 1.mp3", "/x", "/x", "/caf\xe9", "/" + z}, "/音楽/曲 1.mp3\r\n/x\r\n/x\r\n/caf\xe9\r\n/" + z + "\r\n"},
             {{"/a\nb.mp3", "/c\r", std::string("/n\0", 3), "/d"}, "/d\r\n"}}) {  // a line end or NUL cannot be a line
        ASSERT_TRUE(WriteListFile(dir.path() + "list.m3u", WithStore(store)));
        Playlist back;
        EXPECT_EQ(ReadListFile(dir.path() + "list.m3u", back), int(std::count(bytes.begin(), bytes.end(), '\n')));
        EXPECT_EQ(dir.Read("list.m3u") + FormatListBytes(back), bytes + bytes);
    }
    Playlist none;
    EXPECT_FALSE(WriteListFile(dir.path() + "gone/list.tsr", WithStore({"/a"})) || ReadListFile(dir.path() + "none.tsr", none) != -1);
}

TEST(LastList, LoadedCountedCreatedOrLeftAlone) {
    TempFolder dir;
    Playlist p;
    p.count = 5;
    EXPECT_TRUE(LoadLastList(dir.path(), p) && p.count == 0 && !LastListUnreadable(dir.path()));
    EXPECT_EQ(dir.Read("KORU.tsr"), "") << "a missing file is created empty";
    dir.Write("KORU.tsr", "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(LoadLastList(dir.path(), p) && p.count == 2);
    EXPECT_EQ(p.Entries(), (Entries{"/m/c.mp3", "/m/b.mp3"}));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(SaveLastList(dir.path(), WithStore({"/only/one.mp3"})));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/only/one.mp3\r\n");
    for (bool fifo : {true, false}) {
        TempFolder other;
        if (fifo) ASSERT_EQ(::mkfifo((other.path() + "KORU.tsr").c_str(), 0644), 0);
        else other.Write("KORU.tsr/inside", "kept");
        Playlist q;
        EXPECT_TRUE(!LoadLastList(other.path(), q) && LastListUnreadable(other.path()) && q.count == 0) << fifo;
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
