// The player picture from the built-in skin: whole frames against golden pictures, the ticker
// window over a synthetic title, the ticker's steps, the time field and the measure of a line.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "render/Composition.h"
#include "tests/render/RenderTestSupport.h"

namespace {

struct Rig {
    Rig() { LoadBuiltInSkin(skin), LoadBuiltInSkin(work); }
    void Frame() { ComposeFrame(work, skin, state, settings, in); }
    CDibSurface skin, work;
    PlayerState state;
    Settings settings;
    FrameInputs in;
};

// Lit counters 0, 2, 4 ... in one picture and 1, 3, 5 ... in the other (the undrawn ones
// among them), so that a counter read for its neighbour shows; shuffle in the first.
TEST(CompositionTest, FramesMatchTheirGoldenPictures) {
    struct Case { const char* golden; PlayerState st; FrameInputs in; int lit; };
    const Case cases[] = {
        {"frame_closed_even.bmp", {.closed = 1, .seekKnobX = -5, .volumeKnobX = 99, .marqueeLine = 0, .zoomShowTicks = 3,
                                   .zoomPercent = 0}, {0, 0, 7}, 0},
        {"frame_paused_odd.bmp", {.paused = 1, .lengthMs = 3725000, .timeDisplayMode = 2, .seekKnobX = 103, .volumeKnobX = 29,
                                  .showZoom = 1, .zoomPercent = 150, .activeApp = 0}, {3664000, 1234, 1233}, 1},
        {"time_counter_ms.bmp", {.lengthMs = 3725000, .lengthFrames = 3725000, .timeDisplayMode = 0, .seekKnobX = 40, .volumeKnobX = 58}, {1234567, 3, 1}, -1},
        {"time_counter_frames.bmp", {.lengthMs = 3725000, .lengthFrames = 111750, .timeDisplayMode = 0, .seekKnobX = 40, .volumeKnobX = 58}, {4321, 3, 1}, -1},
        {"time_elapsed.bmp", {.lengthMs = 4000000, .lengthFrames = 120000, .seekKnobX = 40, .volumeKnobX = 58}, {3725000, 3, 1}, -1},
        {"time_remaining.bmp", {.lengthMs = 3725000, .lengthFrames = 111750, .timeDisplayMode = 2, .seekKnobX = 40, .volumeKnobX = 58}, {1000, 3, 1}, -1},
    };
    for (const Case& c : cases) {
        Rig r;
        r.state = c.st, r.in = c.in;
        for (int i = c.lit; c.lit >= 0 && i < 20; i += 2) r.state.buttonCounters[i] = 1;
        r.settings.shuffle = c.lit == 0, r.settings.repeat = c.lit != 0;
        r.Frame();
        EXPECT_TRUE(MatchesGolden(r.work, 0, 0, 407, 93, c.golden));
    }
}

// The ticker over a synthetic title (a bar as wide as the line, 6 more pixels past its end
// that must never show, a mark at its start), frame under frame in one golden picture.
TEST(CompositionTest, TickerWindowOverTheEndlessLine) {
    enum { kStep = 1, kBrowse = 2 };
    struct Case { int line, width, offset, flags; };
    const Case cases[] = {
        {1, 50, -40, 0},    // the gap, the line, the gap, the next line's start; INDEX lit
        {1, 50, 20, 0},     // the rest of the line, the gap, once more; never a third time
        {1, 50, 48, kStep}, // stepped to 52: drawn once more before the wrap
        {0, 300, 100, 0}, {0, 300, 159, 0}, {0, 300, 250, 0},  // a long line fills the window to its end
        {1, 300, -141, 0}, {1, 300, -137, 0},                   // entering from the right
        {1, 0, 4, 0}, {1, -3, -40, 0},                          // nothing to show
        {1, 300, -141, kBrowse},                                // the browsed name (200 wide) instead, cut at 141
    };
    CDibSurface strips;
    strips.Create(143, 24 * std::size(cases));
    for (const Case& c : cases) {
        Rig r;
        for (int strip : {220 + 20 * c.line, 260}) {
            ClearTextStrip(r.skin, strip);
            r.skin.Fill(0, strip + 5, (strip == 260 ? 200 : std::max(c.width, 0)) + 6, 1, Bgr{0, 0, 0});
            r.skin.SetPixel(0, strip + 10, Bgr{0, 0, 0});
        }
        r.state = {.browseCounter = c.flags & kStep ? 5 : 0, .trackPending = c.flags & kBrowse ? 1 : 0, .marqueeLine = c.line,
                   .marqueeOffset = c.offset, .marqueeStarted = 1, .titleWidth = {c.width, c.width}};
        r.in.playlistCount = 1;
        r.Frame();
        r.work.CopyTo(strips, 0, 24 * int(&c - cases), 59, 22, 143, 24);
    }
    EXPECT_TRUE(MatchesGolden(strips, 0, 0, 143, 24 * std::size(cases), "ticker_frames.bmp"));
}

// Offsets after three compositions; the zoom percentage shows while the ticker steps 6 times.
TEST(CompositionTest, TickerStepsAndZoomPercentage) {
    struct Case { int started, offset, width, count, pace; std::vector<int> offsets; };
    const Case cases[] = {
        {0, 999, 200, 1, 5, {-137, -133, -129}},  // the first step after an open enters from the right
        {1, 46, 50, 1, 5, {50, -36, -32}},        // drawn once at the line's end, then the gap
        {1, 10, 200, 0, 5, {10, 10, 10}},         // an empty list does not move
        {1, 10, 200, 1, 4, {10, 10, 10}},         // no step due
    };
    for (const Case& c : cases) {
        Rig r;
        r.state = {.marqueeOffset = c.offset, .marqueeStarted = c.started, .titleWidth = {0, c.width}};
        r.in.playlistCount = c.count;
        std::vector<int> offsets;
        for (int i = 0; i < 3; ++i) r.state.browseCounter = c.pace, r.Frame(), offsets.push_back(r.state.marqueeOffset);
        EXPECT_EQ(offsets, c.offsets);
    }
    for (int fast : {0, 1}) {  // a step every full tick, or every fifth at the fast rate
        Rig r;
        r.state = {.zoomShowTicks = 6, .zoomPercent = 100};
        r.in.playlistCount = 1;
        int shown = 0;
        for (int tick = 0; tick < 40; ++tick) {
            r.state.browseCounter = fast ? r.state.browseCounter + 1 : 5;
            r.Frame();
            shown += SameRect(r.work, 123, 62, r.skin, 123, 162, 6, 6);  // percent sign lit
        }
        EXPECT_EQ(shown, fast ? 30 : 6);
    }
}

TEST(CompositionTest, TimeFieldEdges) {
    constexpr int h = 11, m = 12, s = 13;
    struct Case { int mode, position, lengthMs; std::array<int, 8> cells; bool minus; };
    const Case cases[] = {
        {0, 123456789, 0, {9, 9, 9, 9, 9, 9, 9, 9}, false}, {0, -5, 0, {0, 0, 0, 0, 0, 0, 0, 0}, false},
        {1, 59999, 0, {0, h, 0, 0, m, 5, 9, s}, false},     {1, 36000000, 0, {9, h, 5, 9, m, 5, 9, s}, false},
        {1, -3000, 0, {0, h, 0, 0, m, 0, 0, s}, false},     {2, 3800000, 3725000, {0, h, 0, 0, m, 0, 0, s}, true},
        {2, 0, 40000000, {9, h, 5, 9, m, 5, 9, s}, true},
    };
    for (const Case& c : cases) {
        const TimeField f = TimeFieldFor(PlayerState{.lengthMs = c.lengthMs, .timeDisplayMode = c.mode}, c.position);
        EXPECT_EQ(f.cells, c.cells) << c.mode << " " << c.position;
        EXPECT_EQ(f.minus, c.minus) << c.mode << " " << c.position;
    }
}

// The right end of the dark run on the row below; the pixel at (0, 230) is read first.
TEST(CompositionTest, MeasureLine) {
    struct Case { std::vector<std::pair<int, int>> runs; bool firstDark; int width, expected; };
    const Case cases[] = {
        {{{100, 102}}, false, 640, 98}, {{{50, 60}, {200, 210}}, false, 640, 198}, {{{100, 102}}, true, 640, 98},
        {{}, false, 640, 1},            {{{638, 639}}, false, 640, 635},            {{{1, 5}}, false, 640, 1},
        {{{100, 102}}, false, 639, 1},
    };
    for (const Case& c : cases) {
        CDibSurface s;
        s.Create(c.width, 400);
        for (auto [from, to] : c.runs) s.Fill(from, 231, to - from + 1, 1, Bgr{0, 255, 255});  // the blue byte counts
        if (c.firstDark) s.SetPixel(0, 230, Bgr{0, 0, 0});
        EXPECT_EQ(MeasureLine(s, 230), c.expected) << c.expected;
    }
    CDibSurface s;
    EXPECT_EQ(MeasureLine(s, 230), 1);
    s.Create(640, 400);
    EXPECT_EQ(MeasureLine(s, 399), 1);
    EXPECT_EQ(MeasureLine(s, -1), 1);
}

}  // namespace
