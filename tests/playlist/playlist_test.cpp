#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <vector>
#include "platform/Paths.h"
#include "platform/Random.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "tests/support/TestSupport.h"

namespace {
using Strings = std::vector<std::string>;

struct RecordingTrack final : TrackControl {
    explicit RecordingTrack(bool closed = false) : closed(closed) {}
    bool IsClosed() const override { return closed; }
    void Close() override { calls.push_back("close"); closed = true; }
    void OpenCurrentTrack() override { calls.push_back("open"); closed = false; }
    void SetTrackPending() override { calls.push_back("pending"); }
    std::vector<std::string> calls; bool closed;
};

Playlist WithStore(const Strings& entries) {
    Playlist p;
    for (const std::string& e : entries) p.InsertAt(p.StoreSize(), e);
    return p;
}

Playlist WithEntries(int n) {  // "/m/0.mp3" ..., counted
    Strings entries;
    for (int i = 0; i < n; ++i) entries.push_back("/m/" + std::to_string(i) + ".mp3");
    Playlist p = WithStore(entries);
    p.SyncCount();
    return p;
}

TEST(PlayOrder, SeededFromTheClockInWholeSecondsAPermutationOrNothing) {
    FakeClock clock(1000);
    Playlist p = WithEntries(10);
    p.BuildPlayOrder(0, clock); p.BuildPlayOrder(0, clock);  // the second in the same second draws the same
    EXPECT_EQ(p.order, (std::vector<int>{0, 1, 5, 8, 2, 7, 6, 9, 3, 4}));
    EXPECT_EQ(std::pair(p.orderCount, p.currentIndex), std::pair(10, 0)) << "shuffle off leaves the current index";
    clock.seconds = 1001;
    p.BuildPlayOrder(0, clock);
    EXPECT_EQ(p.order, (std::vector<int>{8, 7, 6, 2, 3, 0, 9, 4, 1, 5}));
    p.currentIndex = 5;
    p.BuildPlayOrder(1, clock);  // shuffle switched on while entry 5 plays
    EXPECT_EQ(std::pair(p.currentIndex, p.orderCursor), std::pair(8, 5)) << "the order's first entry, its cursor kept";
    p.orderCursor = 3;
    p.ClearStore();
    p.SyncCount();
    p.BuildPlayOrder(1, clock);
    EXPECT_EQ(std::tuple(p.order.size(), p.orderCount, p.orderCursor), std::tuple(0u, 10, 3))
        << "an empty list releases the order and keeps the counters";
    clock.seconds = 123456789;
    p.count = 100000;
    p.BuildPlayOrder(1, clock);
    std::sort(p.order.begin(), p.order.end());  // a permutation of all 100000
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(p.order[static_cast<size_t>(i)], i);
}

TEST(Stepping, ShuffleAndRepeatRules) {
    struct StepCase { const char* name; bool next; int shuffle, repeat, count, currentIndex, orderCursor;
                      std::vector<int> order; bool closed; int expectIndex, expectCursor; Strings expectCalls; };
    const std::vector<int> o = {3, 1, 4, 0, 2};
    const std::vector<StepCase> cases = {
        {"prev, repeat off, entry 0 opens it again", false, 0, 0, 5, 0, 0, {}, false, 0, 0, {"open"}},
        {"prev, repeat on, first wraps", false, 0, 1, 5, 0, 0, {}, false, 4, 0, {"open"}},
        {"device closed leaves it pending", true, 0, 1, 5, 2, 0, {}, true, 3, 0, {"pending"}},
        {"empty list closes, next", true, 0, 1, 0, 3, 1, {}, false, 3, 1, {"close"}},
        {"empty list closes, prev", false, 1, 1, 0, 3, 1, {}, false, 3, 1, {"close"}},
        {"shuffle prev", false, 1, 0, 5, 9, 3, o, false, 4, 2, {"open"}},
        {"shuffle prev before the start, repeat on", false, 1, 1, 5, 3, 0, o, false, 2, 4, {"open"}},
        {"shuffle prev before the start, repeat off", false, 1, 0, 5, 3, 0, o, false, 3, 0, {"open"}},
        {"shuffle with the device closed", false, 1, 0, 5, 3, 2, o, true, 1, 1, {"pending"}},
        {"one entry, shuffle, repeat off", true, 1, 0, 1, 0, 0, {0}, false, 0, 0, {"close"}},
        {"non-zero flags count as on", true, 2, 5, 5, 2, 4, o, false, 3, 0, {"open"}},
        // order left stale by the editor
        {"list grew past the order", true, 1, 1, 7, 0, 4, o, false, 5, 5, {"open"}},
        {"list shrank under the order", true, 1, 1, 3, 0, 1, o, false, 2, 2, {"open"}},
        {"order never built", true, 1, 1, 4, 0, 0, {}, false, 1, 1, {"open"}},
        {"cursor beyond a shrunk list, prev", false, 1, 1, 3, 0, 9, o, false, 2, 2, {"open"}},
        {"cursor beyond a shrunk list, next", true, 1, 0, 3, 0, 9, o, false, 0, 0, {"close"}},
    };
    for (const StepCase& c : cases) {
        Playlist p = WithEntries(c.count);
        p.currentIndex = c.currentIndex; p.orderCursor = c.orderCursor; p.order = c.order;
        RecordingTrack track(c.closed);
        if (c.next) p.StepToNext(c.shuffle, c.repeat, track);
        else p.StepToPrevious(c.shuffle, c.repeat, track);
        EXPECT_EQ(std::tuple(p.currentIndex, p.orderCursor, track.calls),
                  std::tuple(c.expectIndex, c.expectCursor, c.expectCalls)) << c.name;
    }
    // After the editor the current index comes back into the list.
    for (auto [entries, currentIndex, expected] : {std::tuple{5, 7, 4}, {5, 5, 5}, {5, 2, 2}, {0, 3, 0}, {0, 0, 0}}) {
        Playlist p = WithEntries(entries);
        p.count = 99;
        p.currentIndex = currentIndex;
        p.BringBackCurrentIndex();
        EXPECT_EQ(std::pair(p.count, p.currentIndex), std::pair(entries, expected)) << entries << " " << currentIndex;
    }
}

TEST(Stepping, StaleOrdersOfAnyLengthFromAnyCursorNeverLeaveTheStore) {
    LcgRandom random(7);
    for (int i = 0; i < 9 * 8 * 13 * 4; ++i) {  // orders of 0 to 8, 1 to 8 entries, cursors -2 to 10, four steps
        const int orderSize = i / (8 * 13 * 4), count = i / (13 * 4) % 8 + 1, cursor = i / 4 % 13 - 2, step = i % 4;
        Playlist p = WithEntries(count);
        p.order.resize(static_cast<size_t>(orderSize));
        for (int& element : p.order) element = random.Next() % 10;
        p.orderCursor = cursor;
        RecordingTrack track;
        if (step % 2 == 0) p.StepToNext(1, step / 2, track);
        else p.StepToPrevious(1, step / 2, track);
        ASSERT_TRUE(p.currentIndex >= 0 && p.currentIndex < count)
            << orderSize << " in the order, " << count << " entries, cursor " << cursor << " step " << step;
    }
}

TEST(ListFile, ReadByLineRulesAndWrittenAsExactBytesThatReadBackTheSame) {
    TempFolder dir;
    const std::string d = dir.path(), cp932 = "\x89\xb9\x8a\x79";  // 音楽
    dir.Write("音楽/old.mp3", "");
    dir.Write(cp932 + "/raw.mp3", "");
    const std::string longest = "/" + std::string(kPathLimit - 2, 'y');  // kPathLimit - 1 bytes
    const std::vector<std::pair<std::string, Strings>> cases = {
        {"#EXTM3U\r\n#EXTINF:215,Artist - Title\r\n/music/a.mp3\r\n", {"/music/a.mp3"}},
        {"music/a.mp3\r\n//server/share/a.mp3\r\n\r\n /b.mp3\r\nC:\\a.mp3\r\n", {}},
        {"/a\r\n/b\n//\n/c\r/d", {"/a", "/b", "/c", "/d"}},  // "//" is no path
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
        Strings expected{"/x"};
        expected.insert(expected.end(), entries.begin(), entries.end()); expected.push_back("/y");
        EXPECT_EQ(std::pair(p.Entries(), p.count), std::pair(expected, 0)) << bytes.substr(0, 40);
    }
    Playlist appended = WithStore({"/x"});  // a position outside the store appends
    ParseListBytes("/a\r\n/b\r\n", appended, -1);
    EXPECT_EQ(appended.Entries(), (Strings{"/x", "/a", "/b"}));
    EXPECT_EQ(appended.Entry(-1) + appended.Entry(3), "") << "outside the store: no entry";
    const std::string z = "/" + std::string(4000, 'z');
    const std::pair<Strings, std::string> written[] = {{{}, ""}, {{"/a.mp3", "/b.wav"}, "/a.mp3\r\n/b.wav\r\n"},
        {{"/音楽/曲1.mp3", "/x", "/x", "/caf\xe9", z}, "/音楽/曲1.mp3\r\n/x\r\n/x\r\n/caf\xe9\r\n" + z + "\r\n"},
        {{"/a\nb.mp3", "/c\r", std::string("/n\0", 3), "/d"}, "/d\r\n"}};  // a line end or NUL cannot be a line
    for (const auto& [store, bytes] : written) {
        ASSERT_TRUE(WriteListFile(dir.path() + "list.m3u", WithStore(store)));
        Playlist back;
        EXPECT_EQ(ReadListFile(dir.path() + "list.m3u", back), int(std::count(bytes.begin(), bytes.end(), '\n')));
        EXPECT_EQ(dir.Read("list.m3u") + FormatListBytes(back), bytes + bytes);
    }
    Playlist none;
    EXPECT_FALSE(WriteListFile(dir.path() + "gone/list.tsr", WithStore({"/a"})));
    EXPECT_EQ(ReadListFile(dir.path() + "none.tsr", none), -1);
}

TEST(LastList, LoadedCountedCreatedOrLeftAloneAndFingerprintedByEntriesInOrder) {
    TempFolder dir;
    Playlist p;
    p.count = 5;
    EXPECT_TRUE(LoadLastList(dir.path(), p, false) && p.count == 0 && !LastListUnreadable(dir.path()));
    EXPECT_EQ(dir.Read("KORU.tsr"), "<missing>") << "a guest creates nothing";
    EXPECT_TRUE(LoadLastList(dir.path(), p) && p.count == 0 && !LastListUnreadable(dir.path()));
    EXPECT_EQ(dir.Read("KORU.tsr"), "") << "a missing file is created empty";
    dir.Write("KORU.tsr", "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(LoadLastList(dir.path(), p) && p.count == 2);
    EXPECT_EQ(p.Entries(), (Strings{"/m/c.mp3", "/m/b.mp3"}));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/m/c.mp3\r\n#comment\r\n/m/b.mp3\r\n");
    EXPECT_TRUE(SaveLastList(dir.path(), WithStore({"/only/one.mp3"})));
    EXPECT_EQ(dir.Read("KORU.tsr"), "/only/one.mp3\r\n");
    for (bool fifo : {true, false}) {
        TempFolder other;
        if (fifo) ASSERT_EQ(::mkfifo((other.path() + "KORU.tsr").c_str(), 0644), 0);
        else other.Write("KORU.tsr/inside", "kept");
        Playlist q;
        EXPECT_TRUE(!LoadLastList(other.path(), q) && LastListUnreadable(other.path()) && q.count == 0)
            << (fifo ? "a FIFO" : "a folder");
        EXPECT_EQ(std::filesystem::is_fifo(other.path() + "KORU.tsr"), fifo);
    }
    const std::vector<Strings> lists = {{}, {""}, {"/a"}, {"/a", "/b"}, {"/b", "/a"}, {"/a/b"}, {"/ab"}, {"/a", "/a"}};
    for (size_t i = 0; i < lists.size(); ++i)
        for (size_t j = 0; j < lists.size(); ++j)
            EXPECT_EQ(ListFingerprint(WithStore(lists[i])) == ListFingerprint(WithStore(lists[j])), i == j)
                << ::testing::PrintToString(lists[i]) << " and " << ::testing::PrintToString(lists[j]);
}

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
    // The README's drop section names the whole table, in its order.
    std::ifstream in(VELKAF_SOURCE_DIR "/README.md");
    const std::string readme{std::istreambuf_iterator<char>(in), {}};
    const size_t from = readme.find("Media files ("), to = readme.find(')', from);
    ASSERT_NE(from, std::string::npos);
    std::string named, table;
    for (size_t at = readme.find("`.", from); at < to; at = readme.find("`.", at + 1))
        named += readme.substr(at + 1, readme.find('`', at + 1) - at - 1) + " ";
    for (const std::string_view ext : kMediaExtensions) table += std::string(ext) + " ";
    EXPECT_EQ(named, table);
}

TEST(DiscoveryTest, SearchIsBreadthFirstFilesBeforeSubfolders) {
    TempFolder tmp;  // three levels, several folders per level, media and other files mixed
    Strings media;
    for (const char* rel : {"r/top1.mp3", "r/top2.WAV", "r/notes.txt", "r/a/a1.flac", "r/a/a2.avi", "r/a/aa/aa1.MKV",
          "r/a/ab/ab1.opus", "r/a/ab/abc/deep.mp3", "r/b/b1.m4a", "r/b/ba/ba1.wma", "r/c/c.txt", "r/c/ca/ca1.webm"})
        if (const std::string full = tmp.Write(rel, ""); ExtensionOf(full) != ".txt") media.push_back(full);
    ASSERT_EQ(::symlink(media[0].c_str(), (tmp.path() + "r/link.mp3").c_str()), 0);  // links to files are files,
    ASSERT_EQ(::symlink("nowhere", (tmp.path() + "r/b/dangling.wav").c_str()), 0);   // even dangling ones
    media.insert(media.end(), {tmp.path() + "r/link.mp3", tmp.path() + "r/b/dangling.wav"});
    int found = 0;
    const Strings paths = Search(tmp.path() + "r", &found);
    Strings sorted = paths;
    std::sort(sorted.begin(), sorted.end()); std::sort(media.begin(), media.end());
    EXPECT_EQ(sorted, media) << "each file once";
    // Names met: 4 + 3 in r (files and folders), a: 2 + 2, aa: 1, ab: 1 + 1, abc: 1, b: 2 + 1, ba: 1, c: 1 + 1, ca: 1.
    EXPECT_EQ(found, 22);
    std::map<std::string, size_t> searched;  // each folder with files, by its turn
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_LE(Depth(paths[i ? i - 1 : 0]), Depth(paths[i])) << paths[i];
        if (i == 0 || Parent(paths[i - 1]) != Parent(paths[i])) {
            EXPECT_TRUE(searched.emplace(Parent(paths[i]), searched.size()).second) << "files of one folder together";
        }
    }
    // A deeper folder's files follow the order in which their parent folders were searched.
    for (const auto& [x, xTurn] : searched)
        for (const auto& [y, yTurn] : searched)
            if (Depth(x) == Depth(y) && xTurn < yTurn && searched.count(Parent(x)) && searched.count(Parent(y))) {
                EXPECT_LE(searched[Parent(x)], searched[Parent(y)]) << y;
            }
}

// A dropped link is followed; a search follows no link to a folder.
TEST(DiscoveryTest, WhatASingleItemYieldsAndWhichLinksAreFollowed) {
    TempFolder tmp;
    ::mkdir((tmp.path() + "clip.avi").c_str(), 0755);               // empty folder with a media name
    tmp.Write("notes.avi/readme.txt", "");                             // folder with a media name and a text
    tmp.Write("r/a/song.mp3", "");
    ASSERT_EQ(::symlink((tmp.path() + "r").c_str(), (tmp.path() + "r/a/loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", (tmp.path() + "r/a/up.mp3").c_str()), 0);             // a folder link with a media name
    ASSERT_EQ(::symlink((tmp.path() + "r/a").c_str(), (tmp.path() + "alias").c_str()), 0);
    const struct { std::string item; Strings collected; int found; } cases[] = {
        {tmp.Write("song.mp3", ""), {tmp.path() + "song.mp3"}, 1},
        {tmp.Write("song.mid", ""), {}, 0},
        {tmp.path() + "clip.avi", {tmp.path() + "clip.avi"}, 1},
        {tmp.path() + "notes.avi", {}, 1},
        {tmp.path() + "missing/ghost.webm", {tmp.path() + "missing/ghost.webm"}, 1},  // cannot be listed: a file
        {tmp.path() + "missing/ghost.txt", {}, 0},
        {tmp.path() + "alias", {tmp.path() + "alias/song.mp3"}, 3},  // song.mp3, loop, up.mp3
    };
    for (const auto& c : cases) {
        int found = -1;
        EXPECT_EQ(Search(c.item, &found), c.collected) << c.item;
        EXPECT_EQ(found, c.found) << c.item;
    }
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

TEST(MainWindowDropTest, SortedFillOrTheFallbackWhenNothingIsFound) {
    TempFolder tmp;
    for (const char* name : {"m/b.mp3", "m/A.MP3", "m/readme.txt", "m/x/c.wav", "n/B.opus", "textonly/readme.txt"})
        tmp.Write(name, "");
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
        EXPECT_EQ(std::pair(playlist.Entries(), playlist.count), std::pair(c.entries, int(c.entries.size()))) << c.name;
    }
    // Any names sort as the sorted add sorts, kept as the file system has them; a trailing slash adds none.
    std::set<std::string> made;
    for (const char* rel : {"q/Beta.mp3", "q/beta.mp3", "q/alpha.wav", "q/ALPHA.wav", "q/z/Alpha.mp3", "q/_x.mp3",
                            "q/z/\xE6\x9B\xB2 1.mp3", "q/10.mp3", "q/9.mp3", "q/\x8B\xC8.mp3", "q/quote\".mp3"})
        made.insert(tmp.Write(rel, ""));
    Playlist byAdding, filled;
    SearchDroppedItem(d + "q", [&byAdding](const std::string& p) { byAdding.AddSorted(p); });
    FillFromMainWindowDrop(filled, {d + "q/"});
    EXPECT_EQ(filled.Entries(), byAdding.Entries());
    EXPECT_EQ(std::set<std::string>(filled.Entries().begin(), filled.Entries().end()), made);
    // Under a UTF-8 locale the sorted add folds case beyond ASCII: full-width ａ before Ｂ and Ｃ.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    Playlist p;
    for (const char* path : {"/\xEF\xBC\xA3", "/\xEF\xBC\xA2", "/\xEF\xBD\x81"}) p.AddSorted(path);
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(p.Entries(), (Strings{"/\xEF\xBD\x81", "/\xEF\xBC\xA2", "/\xEF\xBC\xA3"}));
}
}  // namespace
