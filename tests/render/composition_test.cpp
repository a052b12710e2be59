// The player picture from the built-in skin against golden pictures: whole frames, the ticker
// over a synthetic title; how long the zoom percentage shows; the measure of a drawn line; the
// main window's shape.
#include <gtest/gtest.h>
#include "render/Composition.h"
#include "render/WindowShape.h"
#include "tests/render/RenderTestSupport.h"

namespace {

struct Rig {
    Rig() { LoadBuiltInSkin(skin), LoadBuiltInSkin(work); }
    void Frame() { ComposeFrame(work, skin, state, settings, in); }
    CDibSurface skin, work;
    PlayerState state;
    Settings settings;
    FrameInputs in{0, 1, 0};
};

// Lit counters 0, 2, 4 ... in one picture and 1, 3, 5 ... in the other: a neighbour's shows.
TEST(CompositionTest, FramesMatchTheirGoldenPictures) {
    struct Case { const char* golden; PlayerState st; FrameInputs in; int lit; };
    const Case cases[] = {
        {"frame_closed_even.bmp", {.closed = 1, .timeDisplayMode = 0, .seekKnobX = -5, .volumeKnobX = 99, .marqueeLine = 0, .zoomShowTicks = 3, .zoomPercent = 0}, {-5, 0, 7}, 0},
        {"frame_paused_odd.bmp", {.paused = 1, .lengthMs = 3725000, .timeDisplayMode = 2, .seekKnobX = 103, .volumeKnobX = 29, .showZoom = 1,
                                  .zoomPercent = 150, .activeApp = 0}, {2995000, 1234, 1233}, 1},  // 0:12:10 left
        {"time_counter_ms.bmp", {.lengthMs = 3725000, .lengthFrames = 3725000, .timeDisplayMode = 0, .seekKnobX = 40, .volumeKnobX = 58}, {1234567, 3, 1}, -1},
        {"time_counter_frames.bmp", {.lengthMs = 3725000, .lengthFrames = 111750, .timeDisplayMode = 0, .seekKnobX = 40, .volumeKnobX = 58}, {4321, 3, 1}, -1},
        {"time_elapsed.bmp", {.lengthMs = 4000000, .lengthFrames = 120000, .seekKnobX = 40, .volumeKnobX = 58}, {3725000, 3, 1}, -1},
        {"time_remaining.bmp", {.lengthMs = 3725000, .lengthFrames = 111750, .timeDisplayMode = 2, .seekKnobX = 40, .volumeKnobX = 58}, {1000, 3, 1}, -1},
    };
    for (const Case& c : cases) {
        Rig r;
        r.state = c.st, r.in = c.in, r.settings.shuffle = c.lit == 0, r.settings.repeat = c.lit != 0;
        for (int i = c.lit; c.lit >= 0 && i < 20; i += 2) r.state.buttonCounters[i] = 1;
        r.Frame();
        EXPECT_TRUE(MatchesGolden(r.work, 0, 0, 407, 93, c.golden));
    }
}

// A synthetic title: a bar as wide as the line, 6 more pixels past its end that must never show,
// a mark at its start. Line 1 lights INDEX; the browsed name (200 wide) replaces the ticker. A
// step due moves 4 pixels first (entering from the right after an open), never on an empty list.
TEST(CompositionTest, TickerFramesMatchTheirGoldenPicture) {
    enum { kStep = 1, kEarly = 2, kFresh = 4, kEmpty = 8, kBrowse = 16 };
    struct Case { int line, width, offset, flags; };
    const Case cases[] = {{1, 50, -40, 0}, {1, 50, 20, 0}, {1, 50, 48, kStep}, {1, 50, 50, 0}, {0, 300, 100, 0}, {0, 300, 159, 0},
                          {0, 300, 250, 0}, {1, 300, -141, 0}, {1, 300, -137, 0}, {1, 0, 4, 0}, {1, -3, -40, 0}, {1, 300, -141, kBrowse},
                          {1, 200, 999, kStep | kFresh}, {1, 200, 10, kStep | kEmpty}, {1, 200, 10, kEarly}};
    CDibSurface strips;
    strips.Create(143, 24 * std::size(cases));
    for (const Case& c : cases) {
        Rig r;
        for (int strip : {220 + 20 * c.line, 260})
            ClearTextStrip(r.skin, strip), r.skin.Fill(0, strip + 5, (strip == 260 ? 200 : std::max(c.width, 0)) + 6, 1, Bgr{0, 0, 0}),
                r.skin.SetPixel(0, strip + 10, Bgr{0, 0, 0});
        r.state = {.browseCounter = c.flags & kStep ? 5 : c.flags & kEarly ? 4 : 0, .trackPending = c.flags & kBrowse ? 1 : 0, .marqueeLine = c.line,
                   .marqueeOffset = c.offset, .marqueeStarted = c.flags & kFresh ? 0 : 1, .titleWidth = {c.line ? 999 : c.width, c.line ? c.width : 999}};
        r.in.playlistCount = c.flags & kEmpty ? 0 : 1;
        r.Frame();
        r.work.CopyTo(strips, 0, 24 * int(&c - cases), 59, 22, 143, 24);
    }
    EXPECT_TRUE(MatchesGolden(strips, 0, 0, 143, 24 * std::size(cases), "ticker_frames.bmp"));
}

// The zoom percentage shows for 6 ticker steps: 6 full ticks, or 30 at the fast rate.
TEST(CompositionTest, TheZoomPercentageShowsForSixTickerSteps) {
    for (int fast : {0, 1}) {
        Rig r;
        r.state = {.zoomShowTicks = 6, .zoomPercent = 100};
        int shown = 0;  // frames with the percent sign lit
        for (int tick = 0; tick < 40; ++tick)
            r.state.browseCounter = fast ? r.state.browseCounter + 1 : 5, r.Frame(), shown += SameRect(r.work, 123, 62, r.skin, 123, 162, 6, 6);
        EXPECT_EQ(shown, fast ? 30 : 6);
    }
}

// The right end of the dark run on the row below (230 + 1); never past a narrow surface.
TEST(CompositionTest, MeasureLine) {
    for (auto [from, to, width, expected] : {std::tuple{100, 102, 640, 98}, {638, 639, 640, 635}, {0, -1, 640, 1}, {100, 102, 639, 1}}) {
        CDibSurface s;
        s.Create(width, 400);
        if (to >= from) s.Fill(from, 231, to - from + 1, 1, Bgr{0, 255, 255}), s.Fill(50, 231, 5, 1, Bgr{0, 0, 0});
        EXPECT_EQ(MeasureLine(s, 230), expected) << from;
    }
}

TEST(WindowShape, TwoTabsBelowTheBodyAndNothingElse) {
    const std::vector<ShapeRect> shape = MainWindowShape();
    const std::tuple<int, int, bool> points[] = {
        {40, 89, true}, {100, 89, false}, {40, 91, false}, {320, 0, true}, {321, 0, false}, {0, 0, true}, {0, 87, true},
        {0, 88, false}, {-1, 0, false}, {0, -1, false}, {7, 88, false}, {8, 88, true}, {72, 90, true}, {73, 90, false},
        {247, 89, false}, {248, 89, true}, {312, 90, true}, {313, 88, false}, {160, 88, false}, {160, 87, true}};
    for (const auto& [x, y, inside] : points) EXPECT_EQ(RegionContains(shape, x, y), inside) << x << ", " << y;
    int area = 0, sum = 0;
    for (int i = 0; i < 335 * 105; ++i) area += RegionContains(shape, i % 335 - 5, i / 335 - 5);
    for (const ShapeRect& r : shape) sum += r.width * r.height;
    EXPECT_EQ(area, 321 * 88 + 2 * 65 * 3);
    EXPECT_EQ(sum, area) << "the rectangles overlap";
    EXPECT_TRUE(OverlayShape().empty());
}

}  // namespace
