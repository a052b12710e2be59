#include "playlist/Playlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <vector>

#include "platform/Random.h"
#include "tests/support/TestSupport.h"

namespace {

// Records what stepping asked of playback, in order: "close", "open", "pending".
class RecordingTrack final : public TrackControl {
public:
    explicit RecordingTrack(bool closed = false) : closed_(closed) {}
    bool IsClosed() const override { return closed_; }
    void Close() override { calls.push_back("close"); closed_ = true; }
    void OpenCurrentTrack() override { calls.push_back("open"); closed_ = false; }
    void SetTrackPending() override { calls.push_back("pending"); }
    std::vector<std::string> calls;

private:
    bool closed_;
};

Playlist WithEntries(int n) {
    Playlist p;
    for (int i = 0; i < n; ++i) p.InsertAt(i, "/m/" + std::to_string(i) + ".mp3");
    p.SyncCount();
    return p;
}

TEST(PlaylistStore, SortedAddIsCaseBlindAndPutsEqualsAfterExistingOnes) {
    struct Case {
        std::vector<std::string> added;
        std::vector<int> indices;         // what each add returned
        std::vector<std::string> store;
    };
    const std::vector<Case> cases = {
        {{"/m/b.mp3", "/m/A.mp3", "/m/c.mp3"}, {0, 0, 2}, {"/m/A.mp3", "/m/b.mp3", "/m/c.mp3"}},
        {{"/m/a.mp3", "/m/A.mp3", "/m/a.mp3"}, {0, 1, 2}, {"/m/a.mp3", "/m/A.mp3", "/m/a.mp3"}},
        {{"/z/a.mp3", "/a/z.mp3", "/A/b.mp3"}, {0, 0, 0}, {"/A/b.mp3", "/a/z.mp3", "/z/a.mp3"}},
        {{"/m/x10.mp3", "/m/x9.mp3", "/m/x1.mp3"}, {0, 1, 0}, {"/m/x1.mp3", "/m/x10.mp3", "/m/x9.mp3"}},
    };
    for (const Case& c : cases) {
        Playlist p;
        std::vector<int> indices;
        for (const std::string& path : c.added) indices.push_back(p.AddSorted(path));
        EXPECT_EQ(indices, c.indices) << c.added[0];
        EXPECT_EQ(p.Entries(), c.store) << c.added[0];
        EXPECT_EQ(p.count, 0) << "count follows the store only through SyncCount";
    }
}

TEST(PlaylistStore, NonAsciiLettersFoldInAUtf8Locale) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(CompareEntries("/m/Élan.mp3", "/m/élan.mp3"), 0);
    EXPECT_LT(CompareEntries("/m/ÉLAN.mp3", "/m/éz.mp3"), 0);
    // Bytes that are not UTF-8 still order consistently.
    EXPECT_LT(CompareEntries("/m/\xfe", "/m/\xff"), 0);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(PlaylistStore, InsertKeepsTheGivenOrderAndBadIndicesAreHarmless) {
    Playlist p;
    EXPECT_EQ(p.InsertAt(0, "/m/c.mp3"), 0);
    EXPECT_EQ(p.InsertAt(1, "/m/b.mp3"), 1);
    EXPECT_EQ(p.InsertAt(2, "/m/A.mp3"), 2);
    EXPECT_EQ(p.InsertAt(1, "/m/b.mp3"), 1);
    EXPECT_EQ(p.InsertAt(-1, "/m/end1"), 4);
    EXPECT_EQ(p.InsertAt(99, "/m/end2"), 5);
    EXPECT_EQ(p.Entries(), (std::vector<std::string>{"/m/c.mp3", "/m/b.mp3", "/m/b.mp3", "/m/A.mp3", "/m/end1", "/m/end2"}));
    p.DeleteAt(6);
    p.DeleteAt(-1);
    p.DeleteAt(1);
    EXPECT_EQ(p.StoreSize(), 5);
    EXPECT_EQ(p.Entry(1), "/m/b.mp3");
    EXPECT_EQ(p.Entry(5), "");
    EXPECT_EQ(p.Entry(-1), "");
    p.ClearStore();
    EXPECT_EQ(p.StoreSize(), 0);
}

TEST(PlaylistStore, DisplayLines) {
    struct Case {
        int index;
        std::string path;
        bool current;
        std::string line;
    };
    const std::vector<Case> cases = {
        {6, "/a/Track One.wma", false, " 0007 Track One.wma"},
        {11, "/music/song.mp3", true, ">0012 song.mp3"},
        {0, "/音楽/曲.mp3", false, " 0001 曲.mp3"},
        {9999, "/x/y", false, " 10000 y"},
        {0, "/folder/", false, " 0001 "},
    };
    for (const Case& c : cases) EXPECT_EQ(DisplayLine(c.index, c.path, c.current), c.line) << c.path;
}

TEST(PlayOrder, SeededFromTheClockInWholeSeconds) {
    FakeClock clock(1000);
    Playlist p = WithEntries(10);
    p.BuildPlayOrder(0, clock);
    const std::vector<int> first = {0, 1, 5, 8, 2, 7, 6, 9, 3, 4};
    EXPECT_EQ(p.order, first);
    EXPECT_EQ(p.orderCount, 10);
    EXPECT_EQ(p.currentIndex, 0) << "shuffle off leaves the current index";

    p.BuildPlayOrder(0, clock);
    EXPECT_EQ(p.order, first) << "two builds in the same second";

    clock.seconds = 1001;
    p.BuildPlayOrder(0, clock);
    EXPECT_EQ(p.order, (std::vector<int>{8, 7, 6, 2, 3, 0, 9, 4, 1, 5}));
}

TEST(PlayOrder, LargeListsGiveAPermutation) {
    FakeClock clock(123456789);
    Playlist p;
    p.count = 100000;
    p.BuildPlayOrder(1, clock);
    std::vector<int> sorted = p.order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
}

TEST(PlayOrder, EmptyListReleasesTheOrderAndKeepsTheCounters) {
    FakeClock clock;
    Playlist p = WithEntries(4);
    p.BuildPlayOrder(0, clock);
    p.orderCursor = 3;
    p.ClearStore();
    p.SyncCount();
    p.BuildPlayOrder(1, clock);
    EXPECT_TRUE(p.order.empty());
    EXPECT_EQ(p.orderCount, 4);
    EXPECT_EQ(p.orderCursor, 3);
}

TEST(PlayOrder, SwitchingShuffleOnWhileEntryFivePlays) {
    FakeClock clock(1000);
    Playlist p = WithEntries(10);
    p.currentIndex = 5;
    p.BuildPlayOrder(1, clock);
    EXPECT_EQ(p.currentIndex, p.order[0]);
    EXPECT_EQ(p.orderCursor, 5);
    RecordingTrack track;
    p.StepToNext(1, 1, track);
    EXPECT_EQ(p.orderCursor, 6);
    EXPECT_EQ(p.currentIndex, p.order[6]);
    EXPECT_EQ(track.calls, std::vector<std::string>{"open"});
}

struct StepCase {
    const char* name;
    bool next;
    int shuffle, repeat;
    int count, currentIndex, orderCursor;
    std::vector<int> order;
    bool closed;
    int expectIndex, expectCursor;
    std::vector<std::string> expectCalls;
};

TEST(Stepping, ShuffleAndRepeatRules) {
    const std::vector<int> o = {3, 1, 4, 0, 2};
    const std::vector<StepCase> cases = {
        // shuffle off
        {"next, repeat off, last entry closes", true, 0, 0, 5, 4, 0, {}, false, 0, 0, {"close"}},
        {"prev, repeat off, entry 0 opens it again", false, 0, 0, 5, 0, 0, {}, false, 0, 0, {"open"}},
        {"next, repeat on, last wraps", true, 0, 1, 5, 4, 0, {}, false, 0, 0, {"open"}},
        {"prev, repeat on, first wraps", false, 0, 1, 5, 0, 0, {}, false, 4, 0, {"open"}},
        {"next in the middle", true, 0, 0, 5, 2, 0, {}, false, 3, 0, {"open"}},
        {"device closed leaves it pending", true, 0, 1, 5, 2, 0, {}, true, 3, 0, {"pending"}},
        {"empty list closes, next", true, 0, 1, 0, 3, 1, {}, false, 3, 1, {"close"}},
        {"empty list closes, prev", false, 1, 1, 0, 3, 1, {}, false, 3, 1, {"close"}},
        // shuffle on
        {"shuffle next", true, 1, 0, 5, 9, 1, o, false, 4, 2, {"open"}},
        {"shuffle prev", false, 1, 0, 5, 9, 3, o, false, 4, 2, {"open"}},
        {"shuffle next past the end, repeat on", true, 1, 1, 5, 2, 4, o, false, 3, 0, {"open"}},
        {"shuffle next past the end, repeat off", true, 1, 0, 5, 2, 4, o, false, 3, 0, {"close"}},
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
        p.count = c.count;
        p.currentIndex = c.currentIndex;
        p.orderCursor = c.orderCursor;
        p.order = c.order;
        RecordingTrack track(c.closed);
        if (c.next) p.StepToNext(c.shuffle, c.repeat, track);
        else p.StepToPrevious(c.shuffle, c.repeat, track);
        EXPECT_EQ(p.currentIndex, c.expectIndex) << c.name;
        EXPECT_EQ(p.orderCursor, c.expectCursor) << c.name;
        EXPECT_EQ(track.calls, c.expectCalls) << c.name;
    }
}

TEST(Stepping, StaleOrdersNeverLeaveTheStore) {
    // Orders of every length against lists of every length, from every cursor.
    LcgRandom random(7);
    for (int orderSize = 0; orderSize <= 8; ++orderSize) {
        for (int count = 1; count <= 8; ++count) {
            for (int cursor = -2; cursor <= 10; ++cursor) {
                for (int step = 0; step < 4; ++step) {
                    Playlist p = WithEntries(count);
                    p.order.resize(static_cast<size_t>(orderSize));
                    for (int& element : p.order) element = random.Next() % 10;
                    p.orderCursor = cursor;
                    RecordingTrack track;
                    if (step % 2 == 0) p.StepToNext(1, step / 2, track);
                    else p.StepToPrevious(1, step / 2, track);
                    ASSERT_GE(p.currentIndex, 0) << orderSize << " " << count << " " << cursor << " " << step;
                    ASSERT_LT(p.currentIndex, count) << orderSize << " " << count << " " << cursor << " " << step;
                }
            }
        }
    }
}

TEST(Stepping, BringBackCurrentIndexAfterTheEditor) {
    struct Case {
        int entries, currentIndex, expected;
    };
    const std::vector<Case> cases = {{5, 7, 4}, {5, 5, 5}, {5, 2, 2}, {0, 3, 0}, {0, 0, 0}};
    for (const Case& c : cases) {
        Playlist p = WithEntries(c.entries);
        p.count = 99;
        p.currentIndex = c.currentIndex;
        p.BringBackCurrentIndex();
        EXPECT_EQ(p.count, c.entries);
        EXPECT_EQ(p.currentIndex, c.expected) << c.entries << " " << c.currentIndex;
    }
}

}  // namespace
