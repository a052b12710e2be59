#include "playlist/Playlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Random.h"
#include "tests/support/TestSupport.h"

namespace {

// Records what stepping asked of playback, in order: "close", "open", "pending".
struct RecordingTrack final : TrackControl {
    explicit RecordingTrack(bool closed = false) : closed(closed) {}
    bool IsClosed() const override { return closed; }
    void Close() override { calls.push_back("close"), closed = true; }
    void OpenCurrentTrack() override { calls.push_back("open"), closed = false; }
    void SetTrackPending() override { calls.push_back("pending"); }
    std::vector<std::string> calls;
    bool closed;
};

Playlist WithEntries(int n) {
    Playlist p;
    for (int i = 0; i < n; ++i) p.InsertAt(i, "/m/" + std::to_string(i) + ".mp3");
    p.SyncCount();
    return p;
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
    p.currentIndex = 5;
    p.BuildPlayOrder(1, clock);  // shuffle switched on while entry 5 plays
    EXPECT_EQ(p.currentIndex * 100 + p.orderCursor, p.order[0] * 100 + 5);
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

struct StepCase {
    const char* name;
    bool next;
    int shuffle, repeat, count, currentIndex, orderCursor;
    std::vector<int> order;
    bool closed;
    int expectIndex, expectCursor;
    std::vector<std::string> expectCalls;
};  // next tracks at a list's end by the rules are the playback tick's tests

TEST(Stepping, ShuffleAndRepeatRules) {
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
