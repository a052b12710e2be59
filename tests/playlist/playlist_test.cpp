#include "playlist/Playlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <string>
#include <tuple>
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
    using Strings = std::vector<std::string>;
    const std::vector<std::tuple<Strings, std::vector<int>, Strings>> cases = {  // added, indices returned, store
        {{"/m/b.mp3", "/m/A.mp3", "/m/c.mp3"}, {0, 0, 2}, {"/m/A.mp3", "/m/b.mp3", "/m/c.mp3"}},
        {{"/m/a.mp3", "/m/A.mp3", "/m/a.mp3"}, {0, 1, 2}, {"/m/a.mp3", "/m/A.mp3", "/m/a.mp3"}},
        {{"/z/a.mp3", "/a/z.mp3", "/A/b.mp3"}, {0, 0, 0}, {"/A/b.mp3", "/a/z.mp3", "/z/a.mp3"}},
        {{"/m/x10.mp3", "/m/x9.mp3", "/m/x1.mp3"}, {0, 1, 0}, {"/m/x1.mp3", "/m/x10.mp3", "/m/x9.mp3"}},
    };
    for (const auto& [added, indices, store] : cases) {
        Playlist p;
        std::vector<int> returned;
        for (const std::string& path : added) returned.push_back(p.AddSorted(path));
        EXPECT_EQ(returned, indices) << added[0];
        EXPECT_EQ(p.Entries(), store) << added[0];
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
    std::vector<int> indices;
    for (auto [i, path] : {std::pair{0, "/c"}, {1, "/b"}, {2, "/A"}, {1, "/b"}, {-1, "/end1"}, {99, "/end2"}}) indices.push_back(p.InsertAt(i, path));
    EXPECT_EQ(indices, (std::vector<int>{0, 1, 2, 1, 4, 5}));
    EXPECT_EQ(p.Entries(), (std::vector<std::string>{"/c", "/b", "/b", "/A", "/end1", "/end2"}));
    for (int i : {6, -1, 1}) p.DeleteAt(i);
    EXPECT_EQ(p.Entries(), (std::vector<std::string>{"/c", "/b", "/A", "/end1", "/end2"}));
    EXPECT_EQ(p.Entry(1) + p.Entry(5) + p.Entry(-1), "/b");
    p.ClearStore();
    EXPECT_EQ(p.StoreSize(), 0);
}

TEST(PlaylistStore, DisplayLines) {
    EXPECT_EQ(DisplayLine(6, "/a/Track One.wma", false), " 0007 Track One.wma");
    EXPECT_EQ(DisplayLine(11, "/music/song.mp3", true), ">0012 song.mp3");
    EXPECT_EQ(DisplayLine(9999, "/音楽/曲", false) + "|" + DisplayLine(0, "/folder/", false), " 10000 曲| 0001 ");
}

TEST(PlayOrder, SeededFromTheClockInWholeSecondsAPermutationOrNothing) {
    FakeClock clock(1000);
    Playlist p = WithEntries(10);
    const std::vector<int> first = {0, 1, 5, 8, 2, 7, 6, 9, 3, 4};
    for (int build = 0; build < 2; ++build) {  // two builds in the same second
        p.BuildPlayOrder(0, clock);
        EXPECT_EQ(p.order, first);
    }
    EXPECT_EQ(p.orderCount * 100 + p.currentIndex, 1000) << "shuffle off leaves the current index";
    clock.seconds = 1001;
    p.BuildPlayOrder(0, clock);
    EXPECT_EQ(p.order, (std::vector<int>{8, 7, 6, 2, 3, 0, 9, 4, 1, 5}));
    p.orderCursor = 3;
    p.ClearStore();
    p.SyncCount();
    p.BuildPlayOrder(1, clock);
    EXPECT_TRUE(p.order.empty()) << "an empty list releases the order and keeps the counters";
    EXPECT_EQ(p.orderCount * 10 + p.orderCursor, 103);
    clock.seconds = 123456789;
    p.count = 100000;
    p.BuildPlayOrder(1, clock);
    std::vector<int> sorted = p.order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 100000; ++i) ASSERT_EQ(sorted[static_cast<size_t>(i)], i);
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
    int shuffle, repeat, count, currentIndex, orderCursor;
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
    for (int orderSize = 0; orderSize <= 8; ++orderSize)
        for (int count = 1; count <= 8; ++count)
            for (int cursor = -2; cursor <= 10; ++cursor)
                for (int step = 0; step < 4; ++step) {
                    Playlist p = WithEntries(count);
                    p.order.resize(static_cast<size_t>(orderSize));
                    for (int& element : p.order) element = random.Next() % 10;
                    p.orderCursor = cursor;
                    RecordingTrack track;
                    if (step % 2 == 0) p.StepToNext(1, step / 2, track);
                    else p.StepToPrevious(1, step / 2, track);
                    ASSERT_TRUE(p.currentIndex >= 0 && p.currentIndex < count) << orderSize << " " << count << " " << cursor << " " << step;
                }
}

TEST(Stepping, BringBackCurrentIndexAfterTheEditor) {
    for (auto [entries, currentIndex, expected] : {std::tuple{5, 7, 4}, {5, 5, 5}, {5, 2, 2}, {0, 3, 0}, {0, 0, 0}}) {
        Playlist p = WithEntries(entries);
        p.count = 99;
        p.currentIndex = currentIndex;
        p.BringBackCurrentIndex();
        EXPECT_EQ(p.count, entries);
        EXPECT_EQ(p.currentIndex, expected) << entries << " " << currentIndex;
    }
}

}  // namespace
