// Media discovery on generated folder trees: what is found, in which order, and the main
// window's sorted fill with its list-file fallback.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "playlist/Discovery.h"
#include "playlist/Playlist.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

Strings Search(const std::string& item, int* found = nullptr) {
    Strings paths;
    const int n = SearchDroppedItem(item, [&paths](const std::string& p) { paths.push_back(p); });
    if (found != nullptr) *found = n;
    return paths;
}

int Depth(const std::string& path) { return static_cast<int>(std::count(path.begin(), path.end(), '/')); }
std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }

TEST(DiscoveryTest, MediaTableMatchesExtensionsIgnoringCase) {
    for (const std::string_view ext : kMediaExtensions) {
        std::string upper(ext);
        for (char& ch : upper) ch = static_cast<char>(std::toupper(ch));
        EXPECT_TRUE(IsMediaPath("/a/Song" + std::string(ext)) && IsMediaPath("/a/Song" + upper)) << ext;
    }
    const struct { std::string path; bool list; } others[] = {
        {"/a/archive.mp3.bak", false}, {"/a/noextension", false}, {"/a/x.mp", false},   {"/a/x.mp33", false},
        {"/a/x.rm", false},            {"/a.mp3/file", false},    {"/a/x.", false},     {"/a/x.m4b", false},
        {"/a/x.og", false},            {"/a/x.webmx", false},     {"/a/list.m3u", true}, {"/a/LIST.TSR", true},
        {"/a/list.m3u8", false},       {"/a/x.\xEF\xBD\x8D\x70\x33", false},  // full-width m
    };
    for (const auto& c : others) {
        EXPECT_FALSE(IsMediaPath(c.path)) << c.path;
        EXPECT_EQ(IsListFilePath(c.path), c.list) << c.path;
    }
}

TEST(DiscoveryTest, SearchIsBreadthFirstFilesBeforeSubfolders) {
    TempFolder tmp;
    // Three levels, several folders per level, media and other files mixed.
    std::set<std::string> media;
    for (const char* rel :
         {"r/top1.mp3", "r/top2.WAV", "r/notes.txt", "r/a/a1.flac", "r/a/a2.avi", "r/a/aa/aa1.MKV",
          "r/a/ab/ab1.opus", "r/a/ab/abc/deep.mp3", "r/b/b1.m4a", "r/b/ba/ba1.wma", "r/c/c.txt", "r/c/ca/ca1.webm"}) {
        const std::string full = tmp.Write(rel, "");
        if (ExtensionOf(full) != ".txt") media.insert(full);
    }
    int found = 0;
    const Strings paths = Search(tmp.path() + "r", &found);
    EXPECT_EQ(std::set<std::string>(paths.begin(), paths.end()), media);
    EXPECT_EQ(paths.size(), media.size()) << "each file once";
    // Names met: 3 + 3 in r (files and folders), a: 2 + 2, aa: 1, ab: 1 + 1, abc: 1, b: 1 + 1,
    // ba: 1, c: 1 + 1, ca: 1.
    EXPECT_EQ(found, 20);
    // Level by level; each folder's files together.
    for (size_t i = 1; i < paths.size(); ++i) EXPECT_LE(Depth(paths[i - 1]), Depth(paths[i])) << paths[i];
    std::vector<std::string> folders;
    for (const std::string& p : paths)
        if (folders.empty() || folders.back() != Parent(p)) folders.push_back(Parent(p));
    EXPECT_EQ(folders.size(), std::set<std::string>(folders.begin(), folders.end()).size()) << "files of one folder are contiguous";
    // A deeper folder's files follow the order in which their parent folders were searched.
    std::map<std::string, size_t> searched;
    for (size_t i = 0; i < folders.size(); ++i) searched[folders[i]] = i;
    for (size_t i = 1; i < folders.size(); ++i) {
        const std::string a = Parent(folders[i - 1]), b = Parent(folders[i]);
        if (Depth(folders[i - 1]) == Depth(folders[i]) && searched.count(a) && searched.count(b)) {
            EXPECT_LE(searched[a], searched[b]) << folders[i];
        }
    }
}

TEST(DiscoveryTest, WhatASingleItemYields) {
    TempFolder tmp;
    ::mkdir((tmp.path() + "clip.avi").c_str(), 0755);               // empty folder with a media name
    tmp.Write("notes.avi/readme.txt", "");                             // folder with a media name and a text
    const struct { std::string item; Strings collected; int found; } cases[] = {
        {tmp.Write("song.mp3", ""), {tmp.path() + "song.mp3"}, 1},
        {tmp.Write("song.mid", ""), {}, 0},
        {tmp.path() + "clip.avi", {tmp.path() + "clip.avi"}, 1},
        {tmp.path() + "notes.avi", {}, 1},
        {tmp.path() + "missing/ghost.webm", {tmp.path() + "missing/ghost.webm"}, 1},  // cannot be listed: a file
        {tmp.path() + "missing/ghost.txt", {}, 0},
    };
    for (const auto& c : cases) {
        int found = -1;
        EXPECT_EQ(Search(c.item, &found), c.collected) << c.item;
        EXPECT_EQ(found, c.found) << c.item;
    }
}

// Links inside a search are not followed into folders; a dropped link to a folder is searched.
TEST(DiscoveryTest, SymbolicLinkLoopIsNotFollowed) {
    TempFolder tmp;
    const std::string song = tmp.Write("r/a/song.mp3", "");
    ASSERT_EQ(::symlink((tmp.path() + "r").c_str(), (tmp.path() + "r/a/loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", (tmp.path() + "r/a/up.mp3").c_str()), 0);             // a folder link with a media name
    ASSERT_EQ(::symlink(song.c_str(), (tmp.path() + "r/link.mp3").c_str()), 0);      // a link to a file is a file
    ASSERT_EQ(::symlink("nowhere", (tmp.path() + "r/dangling.wav").c_str()), 0);
    ASSERT_EQ(::symlink((tmp.path() + "r/a").c_str(), (tmp.path() + "alias").c_str()), 0);
    int found = 0;
    const Strings paths = Search(tmp.path() + "r", &found);
    const std::set<std::string> got(paths.begin(), paths.end());
    EXPECT_EQ(got, (std::set<std::string>{song, tmp.path() + "r/link.mp3", tmp.path() + "r/dangling.wav"}));
    EXPECT_EQ(paths.size(), 3u);
    EXPECT_EQ(found, 6);  // r: link.mp3, dangling.wav, a; a: song.mp3, loop, up.mp3
    EXPECT_EQ(Search(tmp.path() + "alias"), (Strings{tmp.path() + "alias/song.mp3"}));
}

TEST(DiscoveryTest, LongPathsStayWholeAndFoldersPastTheLimitAreSkipped) {
    TempFolder tmp;
    CurrentFolderGuard guard;
    const std::string sibling = tmp.Write("r/sibling/t.mp3", "");
    // A chain of folders whose full path passes the system limit by the 21st level: the
    // deepest cannot be listed by path (even by root), their siblings still are.
    const std::string segment(200, 'd');
    std::string full = tmp.path() + "r", lastBelowLimit;
    ASSERT_EQ(::chdir(full.c_str()), 0);
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(::mkdir(segment.c_str(), 0755) == 0 && ::chdir(segment.c_str()) == 0);
        ::close(::creat("s.mp3", 0644));
        full += "/" + segment;
        if (full.size() + 6 < 4096) lastBelowLimit = full + "/s.mp3";
    }
    const Strings paths = Search(tmp.path() + "r");
    EXPECT_NE(std::find(paths.begin(), paths.end(), sibling), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), lastBelowLimit), paths.end()) << "kept whole past 255 bytes";
    EXPECT_LT(paths.size(), 26u);
    // Paths past the limit cannot be removed by name: remove the chain from inside.
    ASSERT_EQ(::chdir((tmp.path() + "r").c_str()), 0);
    [[maybe_unused]] int ignored = std::system("find . -depth -delete 2>/dev/null");
}

// Sorted as the sorted add sorts; names kept as the file system has them; a trailing slash
// adds no second one.
TEST(MainWindowDropTest, SameAsAddingEachFoundPathSorted) {
    TempFolder tmp;
    std::set<std::string> made;
    for (const char* rel : {"q/Beta.mp3", "q/beta.mp3", "q/alpha.wav", "q/ALPHA.wav", "q/z/Alpha.mp3", "q/z/\xE6\x9B\xB2 1.mp3",
                            "q/_x.mp3", "q/10.mp3", "q/9.mp3", "q/\x8B\xC8.mp3", "q/quote\".mp3"})
        made.insert(tmp.Write(rel, ""));
    Playlist byAdding, filled;
    SearchDroppedItem(tmp.path() + "q", [&byAdding](const std::string& p) { byAdding.AddSorted(p); });
    FillFromMainWindowDrop(filled, {tmp.path() + "q/"});
    EXPECT_EQ(filled.Entries(), byAdding.Entries());
    EXPECT_EQ(std::set<std::string>(filled.Entries().begin(), filled.Entries().end()), made);
}

TEST(MainWindowDropTest, SortedFillOrTheFallbackWhenNothingIsFound) {
    TempFolder tmp;
    for (const char* name : {"m/b.mp3", "m/A.MP3", "m/readme.txt", "m/x/c.wav", "n/B.opus", "textonly/readme.txt"}) tmp.Write(name, "");
    const std::string list = tmp.Write("list.m3u", "#EXTM3U\r\n/m/c.mp3\r\n/m/b.mp3\r\n/m/A.mp3\r\n");
    const std::string other = tmp.Write("other.tsr", "/o/1.mp3\r\n");
    const std::string mid = tmp.Write("song.mid", ""), song = tmp.Write("a.mp3", ""), d = tmp.path();
    const struct { const char* name; Strings items, entries; } cases[] = {
        {"every item's media sorted together", {d + "n", d + "m", song},
         {song, d + "m/A.MP3", d + "m/b.mp3", d + "m/x/c.wav", d + "n/B.opus"}},
        {"a list file alone is read in file order", {list}, {"/m/c.mp3", "/m/b.mp3", "/m/A.mp3"}},
        {"a list file with a media file is not read", {list, song}, {song}},
        {"two list files: only the last is read", {list, other}, {"/o/1.mp3"}},
        {"any other file is taken alone", {mid}, {mid}},
        {"a folder of text files becomes the entry", {d + "textonly"}, {d + "textonly"}},
        {"a missing list file gives nothing", {d + "gone.m3u"}, {}},
        {"nothing dropped", {}, {}},
    };
    for (const auto& c : cases) {
        Playlist playlist;
        playlist.InsertAt(0, "/old.mp3");
        EXPECT_EQ(FillFromMainWindowDrop(playlist, c.items), static_cast<int>(c.entries.size())) << c.name;
        EXPECT_EQ(playlist.Entries(), c.entries) << c.name;
        EXPECT_EQ(playlist.count, static_cast<int>(c.entries.size())) << c.name;
    }
}

}  // namespace
