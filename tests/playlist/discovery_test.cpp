// Media discovery on generated folder trees: what is found, in which order, and the main
// window's sorted fill with its list-file fallback.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

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
    struct Case {
        std::string path;
        bool media;
        bool list;
    };
    const Case cases[] = {
        {"/a/Song.MP3", true, false},      {"/a/x.mpg", true, false},       {"/a/x.AVI", true, false},
        {"/a/x.mov", true, false},         {"/a/x.rmp", true, false},       {"/a/x.dat", true, false},
        {"/a/x.asf", true, false},         {"/a/x.Wav", true, false},       {"/a/x.mpeg", true, false},
        {"/a/x.ra", true, false},          {"/a/x.WMA", true, false},       {"/a/archive.mp3.bak", false, false},
        {"/a/noextension", false, false},  {"/a/x.mp", false, false},       {"/a/x.mp33", false, false},
        {"/a/x.rm", false, false},         {"/a.mp3/file", false, false},   {"/a/x.", false, false},
        {"/a/list.m3u", false, true},      {"/a/LIST.TSR", false, true},    {"/a/list.m3u8", false, false},
        {"/a/x.\xEF\xBD\x8D\x70\x33", false, false},  // full-width m
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsMediaPath(c.path), c.media) << c.path;
        EXPECT_EQ(IsListFilePath(c.path), c.list) << c.path;
    }
}

TEST(DiscoveryTest, SearchIsBreadthFirstFilesBeforeSubfolders) {
    TempFolder tmp;
    // Three levels, several folders per level, media and other files mixed.
    std::set<std::string> media;
    for (const char* rel :
         {"r/top1.mp3", "r/top2.WAV", "r/notes.txt", "r/a/a1.mp3", "r/a/a2.avi", "r/a/aa/aa1.mpg",
          "r/a/ab/ab1.mp3", "r/a/ab/abc/deep.mp3", "r/b/b1.mp3", "r/b/ba/ba1.wma", "r/c/c.txt", "r/c/ca/ca1.dat"}) {
        const std::string full = tmp.Write(rel, "");
        if (IsMediaPath(full)) media.insert(full);
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
    struct Case {
        std::string item;
        Strings collected;
        int found;
    };
    const Case cases[] = {
        {tmp.Write("song.mp3", ""), {tmp.path() + "song.mp3"}, 1},
        {tmp.Write("song.mid", ""), {}, 0},
        {tmp.path() + "clip.avi", {tmp.path() + "clip.avi"}, 1},
        {tmp.path() + "notes.avi", {}, 1},
        {tmp.path() + "missing/ghost.wav", {tmp.path() + "missing/ghost.wav"}, 1},  // cannot be listed: a file
        {tmp.path() + "missing/ghost.txt", {}, 0},
    };
    for (const Case& c : cases) {
        int found = -1;
        EXPECT_EQ(Search(c.item, &found), c.collected) << c.item;
        EXPECT_EQ(found, c.found) << c.item;
    }
}

TEST(DiscoveryTest, SymbolicLinkLoopIsNotFollowed) {
    TempFolder tmp;
    const std::string song = tmp.Write("r/a/song.mp3", "");
    ASSERT_EQ(::symlink((tmp.path() + "r").c_str(), (tmp.path() + "r/a/loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", (tmp.path() + "r/a/up.mp3").c_str()), 0);             // a folder link with a media name
    ASSERT_EQ(::symlink(song.c_str(), (tmp.path() + "r/link.mp3").c_str()), 0);      // a link to a file is a file
    ASSERT_EQ(::symlink("nowhere", (tmp.path() + "r/dangling.wav").c_str()), 0);
    int found = 0;
    const Strings paths = Search(tmp.path() + "r", &found);
    const std::set<std::string> got(paths.begin(), paths.end());
    EXPECT_EQ(got, (std::set<std::string>{song, tmp.path() + "r/link.mp3", tmp.path() + "r/dangling.wav"}));
    EXPECT_EQ(paths.size(), 3u);
    EXPECT_EQ(found, 6);  // r: link.mp3, dangling.wav, a; a: song.mp3, loop, up.mp3
}

TEST(DiscoveryTest, DroppedLinkToAFolderIsSearched) {
    TempFolder tmp;
    const std::string song = tmp.Write("real/song.mp3", "");
    ASSERT_EQ(::symlink((tmp.path() + "real").c_str(), (tmp.path() + "alias").c_str()), 0);
    EXPECT_EQ(Search(tmp.path() + "alias"), (Strings{tmp.path() + "alias/song.mp3"}));
}

TEST(DiscoveryTest, FolderThatCannotBeListedIsSkippedAndLongPathsStayWhole) {
    TempFolder tmp;
    // A chain of folders whose full path passes the system limit: the deepest ones cannot be
    // listed by path (even by root), their siblings still are.
    const std::string segment(200, 'd');
    std::string rel = "r";
    std::string deepestListable;
    ASSERT_EQ(::mkdir((tmp.path() + rel).c_str(), 0755), 0);
    int fd = ::open((tmp.path() + rel).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string full = tmp.path() + rel;
    std::string lastSongBelowLimit;
    for (int i = 0; i < 25; ++i) {
        ASSERT_EQ(::mkdirat(fd, segment.c_str(), 0755), 0);
        const int next = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        full += "/" + segment;
        const int song = ::openat(fd, "s.mp3", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(song, 0);
        ::close(song);
        if (full.size() + 6 < 4096) lastSongBelowLimit = full + "/s.mp3";
    }
    ::close(fd);
    tmp.Write("r/sibling/t.mp3", "");
    const Strings paths = Search(tmp.path() + "r");
    ASSERT_FALSE(paths.empty());
    EXPECT_NE(std::find(paths.begin(), paths.end(), tmp.path() + "r/sibling/t.mp3"), paths.end());
    EXPECT_NE(std::find(paths.begin(), paths.end(), lastSongBelowLimit), paths.end()) << "kept whole past 255 bytes";
    for (const std::string& p : paths) EXPECT_LT(p.size(), 4096u + 256u);
    EXPECT_LT(paths.size(), 26u);  // the folders past the limit were skipped
    // Clean up the chain the way it was made (paths past the limit cannot be removed by name).
    std::string path = tmp.path() + "r";
    const std::string cmd = "cd '" + path + "' && find . -depth -delete 2>/dev/null";
    [[maybe_unused]] int ignored = std::system(cmd.c_str());
}

TEST(MainWindowDropTest, SortedFillOverEveryDroppedItem) {
    TempFolder tmp;
    tmp.Write("m/b.mp3", "");
    tmp.Write("m/A.MP3", "");
    tmp.Write("m/readme.txt", "");
    tmp.Write("m/x/c.wav", "");
    tmp.Write("n/B.wav", "");
    const std::string loose = tmp.Write("a0.mp3", "");
    Playlist playlist;
    playlist.InsertAt(0, "/old.mp3");
    EXPECT_EQ(FillFromMainWindowDrop(playlist, {tmp.path() + "n", tmp.path() + "m", loose}), 5);
    EXPECT_EQ(playlist.Entries(), (Strings{loose, tmp.path() + "m/A.MP3", tmp.path() + "m/b.mp3",
                                           tmp.path() + "m/x/c.wav", tmp.path() + "n/B.wav"}));
    EXPECT_EQ(playlist.count, 5);
}

TEST(MainWindowDropTest, SameAsAddingEachFoundPathSorted) {
    TempFolder tmp;
    Strings made;
    for (const char* rel : {"q/Beta.mp3", "q/beta.mp3", "q/alpha.wav", "q/ALPHA.wav", "q/z/Alpha.mp3",
                                   "q/z/\xE6\x9B\xB2.mp3", "q/_x.mp3", "q/10.mp3", "q/9.mp3"})
        made.push_back(tmp.Write(rel, ""));
    Playlist byAdding;
    SearchDroppedItem(tmp.path() + "q", [&byAdding](const std::string& p) { byAdding.AddSorted(p); });
    Playlist filled;
    FillFromMainWindowDrop(filled, {tmp.path() + "q"});
    EXPECT_EQ(filled.Entries(), byAdding.Entries());
    EXPECT_EQ(filled.Entries().size(), made.size());
}

TEST(MainWindowDropTest, FallbackWhenNothingIsFound) {
    TempFolder tmp;
    const std::string list = tmp.Write("list.m3u", "#EXTM3U\r\n/m/c.mp3\r\n/m/b.mp3\r\n/m/A.mp3\r\n");
    const std::string other = tmp.Write("other.tsr", "/o/1.mp3\r\n");
    const std::string mid = tmp.Write("song.mid", "");
    const std::string song = tmp.Write("a.mp3", "");
    tmp.Write("textonly/readme.txt", "");
    struct Case {
        const char* name;
        Strings items;
        Strings entries;
    };
    const Case cases[] = {
        {"a list file alone is read in file order", {list}, {"/m/c.mp3", "/m/b.mp3", "/m/A.mp3"}},
        {"a list file with a media file is not read", {list, song}, {song}},
        {"two list files: only the last is read", {list, other}, {"/o/1.mp3"}},
        {"any other file is taken alone", {mid}, {mid}},
        {"a folder of text files becomes the entry", {tmp.path() + "textonly"}, {tmp.path() + "textonly"}},
        {"a missing list file gives nothing", {tmp.path() + "gone.m3u"}, {}},
        {"nothing dropped", {}, {}},
    };
    for (const Case& c : cases) {
        Playlist playlist;
        playlist.InsertAt(0, "/old.mp3");
        EXPECT_EQ(FillFromMainWindowDrop(playlist, c.items), static_cast<int>(c.entries.size())) << c.name;
        EXPECT_EQ(playlist.Entries(), c.entries) << c.name;
    }
}

TEST(MainWindowDropTest, NamesAreKeptAsTheFileSystemHasThem) {
    TempFolder tmp;
    const Strings names = {"with space.mp3", "\xE6\x9B\xB2 \xE5\x90\x8D.mp3", "\x8B\xC8.mp3", "quote\".mp3"};
    for (const std::string& n : names) tmp.Write("k/" + n, "");
    Playlist playlist;
    FillFromMainWindowDrop(playlist, {tmp.path() + "k/"});  // a trailing slash adds no second one
    std::set<std::string> expected;
    for (const std::string& n : names) expected.insert(tmp.path() + "k/" + n);
    EXPECT_EQ(std::set<std::string>(playlist.Entries().begin(), playlist.Entries().end()), expected);
}

}  // namespace
