#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>

#include "render/Composition.h"
#include "render/SkinLayout.h"
#include "tests/render/RenderTestSupport.h"

namespace {

using skin::Rect;

class Compose : public ::testing::Test {
protected:
    void SetUp() override {
        LoadBuiltInSkin(skin_);
        LoadBuiltInSkin(work_);
    }
    void Frame() { ComposeFrame(work_, skin_, state_, settings_, in_); }

    // The work surface at `r` shows the skin's rectangle at (sx, sy).
    bool Shows(const Rect& r, int sx, int sy) const {
        return SameRect(work_, r.x, r.y, skin_, sx, sy, r.w, r.h);
    }
    bool ShowsUnlit(const Rect& r) const { return Shows(r, r.x, r.y); }
    bool ShowsLit(const Rect& r) const { return Shows(r, r.x, r.y + skin::kLitRows); }
    bool SmallGlyphAt(int x, int glyph) const {
        return SameRect(work_, x, skin::kCounterY, skin_, 412 + 7 * glyph, 15, 6, 11);
    }
    bool LargeGlyphAt(int x, int glyph) const {
        return SameRect(work_, x, skin::kTimeY, skin_, 412 + 7 * glyph, 0, 6, 13);
    }

    CDibSurface skin_, work_;
    PlayerState state_;
    Settings settings_;
    FrameInputs in_;
};

// --- buttons and indicators ----------------------------------------------------------------

struct LitButton {
    int counter;
    Rect at;
};

TEST_F(Compose, EachCounterLightsItsButtonOnly) {
    settings_.repeat = 0;
    const LitButton buttons[] = {
        {0, skin::kPlay},  {2, skin::kStill}, {3, skin::kStop},   {4, skin::kBack},
        {5, skin::kNext},  {6, skin::kRew},   {7, skin::kFf},     {14, skin::kFile},
        {15, skin::kConfig}, {16, skin::kFull}, {17, skin::kPower},
    };
    for (const LitButton& b : buttons) {
        state_ = PlayerState{};
        state_.buttonCounters[b.counter] = 1;
        Frame();
        EXPECT_TRUE(ShowsLit(b.at)) << "counter " << b.counter;
        for (const LitButton& other : buttons) {
            if (other.counter == b.counter) continue;
            EXPECT_TRUE(ShowsUnlit(other.at)) << "counter " << b.counter << " lit " << other.counter;
        }
        // Only a positive counter lights: 0 and the negative values left by the tick do not.
        for (int value : {0, -1, -40}) {
            state_.buttonCounters[b.counter] = value;
            Frame();
            EXPECT_TRUE(ShowsUnlit(b.at)) << "counter " << b.counter << " = " << value;
        }
    }
}

TEST_F(Compose, SpecialButtonImages) {
    state_.buttonCounters[1] = 1;  // STILL pressed while closed or paused: grey pause
    Frame();
    EXPECT_TRUE(Shows(skin::kStill, skin::kGreyPause.x, skin::kGreyPause.y));
    state_ = PlayerState{};
    state_.buttonCounters[10] = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kZoom, skin::kZoomMinusLit.x, skin::kZoomMinusLit.y));
    state_ = PlayerState{};
    state_.buttonCounters[11] = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kZoom, skin::kZoomPlusLit.x, skin::kZoomPlusLit.y));
    state_.buttonCounters[10] = 1;  // both held: plus is drawn last
    Frame();
    EXPECT_TRUE(Shows(skin::kZoom, skin::kZoomPlusLit.x, skin::kZoomPlusLit.y));
}

TEST_F(Compose, UndrawnCountersChangeNothing) {
    Frame();
    CDibSurface rest;
    rest.Create(407, 93);
    work_.CopyTo(rest, 0, 0, 0, 0, 407, 93);
    for (int counter : {8, 9, 12, 13, 18, 19}) {
        state_ = PlayerState{};
        state_.buttonCounters[counter] = 1;
        Frame();
        EXPECT_TRUE(SameRect(work_, 0, 0, rest, 0, 0, 407, 93)) << counter;
    }
}

TEST_F(Compose, ClosedShowsGreyPlayBesidePlaysLeftColumn) {
    state_.closed = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kGreyPlayAt, skin::kGreyPlay.x, skin::kGreyPlay.y));
    EXPECT_TRUE(ShowsUnlit(Rect{236, 45, 1, 25}));
    // Pressing PLAY while closed: the lit form covers the grey one.
    state_.buttonCounters[0] = 1;
    Frame();
    EXPECT_TRUE(ShowsLit(skin::kPlay));
}

TEST_F(Compose, PausedShowsLitPauseAndGreyPlay) {
    state_.paused = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kStill, skin::kLitPause.x, skin::kLitPause.y));
    EXPECT_TRUE(Shows(skin::kGreyPlayAt, skin::kGreyPlay.x, skin::kGreyPlay.y));
    // Grey play comes after the lit buttons: a pressed PLAY while paused stays grey except
    // the column grey play does not cover.
    state_.buttonCounters[0] = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kGreyPlayAt, skin::kGreyPlay.x, skin::kGreyPlay.y));
    EXPECT_TRUE(ShowsLit(Rect{236, 45, 1, 25}));
    // STILL pressed while paused: the grey pause covers the lit pause.
    state_.buttonCounters[1] = 1;
    Frame();
    EXPECT_TRUE(Shows(skin::kStill, skin::kGreyPause.x, skin::kGreyPause.y));
}

TEST_F(Compose, PlayingShowsTheRestingPlayAndPause) {
    Frame();
    EXPECT_TRUE(ShowsUnlit(skin::kPlay));
    EXPECT_TRUE(ShowsUnlit(skin::kStill));
}

TEST_F(Compose, ShuffleAndRepeatFollowTheSettings) {
    struct Case {
        int shuffle, repeat;
    };
    for (Case c : {Case{0, 0}, Case{1, 0}, Case{0, 1}, Case{1, 1}}) {
        settings_.shuffle = c.shuffle;
        settings_.repeat = c.repeat;
        Frame();
        EXPECT_EQ(ShowsLit(skin::kShuffle), c.shuffle == 1) << c.shuffle << c.repeat;
        EXPECT_EQ(ShowsUnlit(skin::kShuffle), c.shuffle == 0);
        EXPECT_EQ(ShowsLit(skin::kRepeat), c.repeat == 1);
        EXPECT_EQ(ShowsUnlit(skin::kRepeat), c.repeat == 0);
    }
}

TEST_F(Compose, InactiveLogo) {
    Frame();
    EXPECT_TRUE(ShowsUnlit(skin::kLogo));
    state_.activeApp = 0;
    Frame();
    EXPECT_TRUE(ShowsLit(skin::kLogo));
}

// --- knobs ---------------------------------------------------------------------------------

TEST_F(Compose, KnobsAtTheirOffsets) {
    struct Case {
        int seek, volume, seekAt, volumeAt;
    };
    const Case cases[] = {
        {0, 0, 62, 61}, {103, 29, 165, 90}, {206, 58, 268, 119},
        {-5, -1, 62, 61}, {9999, 59, 268, 119},  // outside the bars: held at the ends
    };
    for (const Case& c : cases) {
        state_.seekKnobX = c.seek;
        state_.volumeKnobX = c.volume;
        Frame();
        EXPECT_TRUE(Shows(Rect{c.seekAt, 2, 23, 11}, 412, 30)) << c.seek;
        EXPECT_TRUE(Shows(Rect{c.volumeAt, 75, 15, 9}, 442, 30)) << c.volume;
    }
}

// --- counter field -------------------------------------------------------------------------

TEST_F(Compose, CounterFieldShowsCountAndCurrentEntry) {
    struct Case {
        int count, index;
        std::array<int, 6> digits;
    };
    const Case cases[] = {
        {12, 4, {0, 1, 2, 0, 0, 5}},
        {0, 0, {0, 0, 0, 0, 0, 0}},    // empty list: zeros on both sides
        {0, 7, {0, 0, 0, 0, 0, 0}},
        {999, 998, {9, 9, 9, 9, 9, 9}},
        {1234, 1233, {9, 9, 9, 9, 9, 9}},  // more than three digits hold at 999
    };
    for (const Case& c : cases) {
        in_.playlistCount = c.count;
        in_.currentIndex = c.index;
        Frame();
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(SmallGlyphAt(skin::kCountX[i], c.digits[i])) << c.count << " cell " << i;
            EXPECT_TRUE(SmallGlyphAt(skin::kIndexX[i], c.digits[3 + i])) << c.count << " cell " << 3 + i;
        }
        EXPECT_TRUE(SmallGlyphAt(skin::kCounterMinusX, skin::kGlyphMinus));
        EXPECT_TRUE(ShowsUnlit(skin::kTotalTrackLabels));
        EXPECT_TRUE(ShowsUnlit(skin::kPercentSign));
    }
}

TEST_F(Compose, CounterFieldShowsTheZoomPercentage) {
    in_.playlistCount = 12;
    in_.currentIndex = 4;
    state_.zoomPercent = 150;
    for (int mode = 0; mode < 2; ++mode) {
        state_.showZoom = mode == 0 ? 1 : 0;
        state_.zoomShowTicks = mode == 1 ? 3 : 0;
        Frame();
        EXPECT_TRUE(SmallGlyphAt(100, 1));
        EXPECT_TRUE(SmallGlyphAt(108, 5));
        EXPECT_TRUE(SmallGlyphAt(116, 0));
        EXPECT_TRUE(ShowsLit(skin::kTotalTrackLabels));  // TOTAL and TRACK off
        EXPECT_TRUE(ShowsLit(skin::kPercentSign));
        // The count side keeps the unlit skin.
        EXPECT_TRUE(ShowsUnlit(Rect{68, 57, 30, 11}));
    }
    // A percentage of 0 shows the list instead.
    state_.zoomPercent = 0;
    Frame();
    EXPECT_TRUE(SmallGlyphAt(84, 2));
    EXPECT_TRUE(ShowsUnlit(skin::kPercentSign));
}

// --- time field ----------------------------------------------------------------------------

TEST(TimeFieldArithmetic, Modes) {
    struct Case {
        const char* what;
        int mode, position, lengthMs;
        std::array<int, 8> cells;
        bool minus;
    };
    constexpr int h = skin::kGlyphHour, m = skin::kGlyphMinute, s = skin::kGlyphSecond;
    const Case cases[] = {
        {"counter", 0, 1234567, 0, {0, 1, 2, 3, 4, 5, 6, 7}, false},
        {"counter zero", 0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"counter full", 0, 99999999, 0, {9, 9, 9, 9, 9, 9, 9, 9}, false},
        {"counter past eight digits", 0, 123456789, 0, {9, 9, 9, 9, 9, 9, 9, 9}, false},
        {"counter negative", 0, -5, 0, {0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"elapsed 1:02:05", 1, 3725000, 0, {1, h, 0, 2, m, 0, 5, s}, false},
        {"elapsed rounds down", 1, 59999, 0, {0, h, 0, 0, m, 5, 9, s}, false},
        {"elapsed 9:59:59", 1, 35999999, 0, {9, h, 5, 9, m, 5, 9, s}, false},
        {"elapsed ten hours holds", 1, 36000000, 0, {9, h, 5, 9, m, 5, 9, s}, false},
        {"elapsed negative", 1, -3000, 0, {0, h, 0, 0, m, 0, 0, s}, false},
        {"remaining", 2, 1000, 3725000, {1, h, 0, 2, m, 0, 4, s}, true},
        {"remaining at the end", 2, 3725000, 3725000, {0, h, 0, 0, m, 0, 0, s}, true},
        {"remaining past the end", 2, 3800000, 3725000, {0, h, 0, 0, m, 0, 0, s}, true},
        {"remaining of ten hours", 2, 0, 40000000, {9, h, 5, 9, m, 5, 9, s}, true},
    };
    for (const Case& c : cases) {
        PlayerState st;
        st.timeDisplayMode = c.mode;
        st.lengthMs = c.lengthMs;
        const TimeField f = TimeFieldFor(st, c.position);
        EXPECT_EQ(f.cells, c.cells) << c.what;
        EXPECT_EQ(f.minus, c.minus) << c.what;
    }
}

TEST_F(Compose, TimeFieldCellsAndLabels) {
    state_.timeDisplayMode = 2;
    state_.lengthMs = 3725000;
    in_.position = 1000;
    Frame();
    const int cells[8] = {1, skin::kGlyphHour, 0, 2, skin::kGlyphMinute, 0, 4, skin::kGlyphSecond};
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(LargeGlyphAt(136 + 8 * i, cells[i])) << i;
    EXPECT_TRUE(LargeGlyphAt(128, skin::kGlyphMinus));
    EXPECT_TRUE(ShowsUnlit(skin::kTimeFrameLabels));
    EXPECT_TRUE(ShowsUnlit(skin::kMmsLabel));

    state_.timeDisplayMode = 1;
    Frame();
    EXPECT_TRUE(ShowsUnlit(Rect{128, 55, 6, 13}));  // no minus while elapsed
}

TEST_F(Compose, CounterModeLabelsFollowTheDevicesUnits) {
    state_.timeDisplayMode = 0;
    state_.lengthMs = state_.lengthFrames = 5000;  // no picture: frames answer milliseconds
    Frame();
    EXPECT_TRUE(ShowsLit(skin::kTimeLabel));  // TIME off
    EXPECT_TRUE(ShowsLit(skin::kMmsLabel));
    EXPECT_TRUE(ShowsUnlit(Rect{158, 48, 22, 5}));  // FRAME stays off
    state_.lengthFrames = 125;
    Frame();
    EXPECT_TRUE(ShowsLit(skin::kTimeFrameLabels));
    EXPECT_TRUE(ShowsUnlit(skin::kMmsLabel));
}

TEST_F(Compose, CounterModeDrawsDigitsWithoutTheirWhite) {
    // Mode 0 copies glyphs non-white: a skin whose glyph cells have white pixels keeps what
    // lay under them. Put white into the atlas of digit 7.
    skin_.Fill(412 + 7 * 7, 0, 6, 1, Bgr{255, 255, 255});
    state_.timeDisplayMode = 0;
    in_.position = 7;  // 00000007
    Frame();
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(work_.Pixel(136 + 56 + x, 55), skin_.Pixel(136 + 56 + x, 55)) << x;
    // Modes 1 and 2 copy whole cells.
    state_.timeDisplayMode = 1;
    in_.position = 7000;
    Frame();
    EXPECT_EQ(work_.Pixel(136 + 48, 55), (Bgr{255, 255, 255}));
}

TEST_F(Compose, TimeModesGolden) {
    struct Case {
        const char* golden;
        int mode, position, lengthMs, lengthFrames;
    };
    const Case cases[] = {
        {"time_counter_ms.bmp", 0, 1234567, 3725000, 3725000},
        {"time_counter_frames.bmp", 0, 4321, 3725000, 111750},
        {"time_elapsed.bmp", 1, 3725000, 4000000, 120000},
        {"time_remaining.bmp", 2, 1000, 3725000, 111750},
    };
    for (const Case& c : cases) {
        state_ = PlayerState{};
        state_.timeDisplayMode = c.mode;
        state_.lengthMs = c.lengthMs;
        state_.lengthFrames = c.lengthFrames;
        state_.seekKnobX = 40;
        state_.volumeKnobX = 58;
        in_ = FrameInputs{c.position, 3, 1};
        Frame();
        EXPECT_TRUE(MatchesGolden(work_, 0, 0, 407, 93, c.golden));
    }
}

// --- display text --------------------------------------------------------------------------

// Synthetic text strips: on row +5 a bar over the whole line (and a trailing mark past its
// width that must never show), on row +10 one pixel at the line's start.
void DrawSyntheticLine(CDibSurface& s, int stripY, int width) {
    ClearTextStrip(s, stripY);
    s.Fill(0, stripY + 5, width + 6, 1, Bgr{0, 0, 0});
    s.SetPixel(0, stripY + 10, Bgr{0, 0, 0});
}

class Display : public Compose {
protected:
    // Whether the letter colour (the lit backdrop) shows at display column dx on strip row r.
    bool Ink(int dx, int r) const {
        return work_.Pixel(60 + dx, 27 + r) == skin_.Pixel(60 + dx, 127 + r) &&
               !(work_.Pixel(60 + dx, 27 + r) == skin_.Pixel(60 + dx, 27 + r));
    }
    // Every display column: ink on the bar row exactly in [a1, b1) and [a2, b2); starts at s.
    void ExpectTicker(int a1, int b1, int a2, int b2, std::vector<int> starts) {
        for (int dx = 0; dx < 141; ++dx) {
            const bool bar = (dx >= a1 && dx < b1) || (dx >= a2 && dx < b2);
            ASSERT_EQ(Ink(dx, 5), bar) << "bar at " << dx << " offset " << state_.marqueeOffset;
            const bool start = std::find(starts.begin(), starts.end(), dx) != starts.end();
            ASSERT_EQ(Ink(dx, 10), start) << "start at " << dx << " offset " << state_.marqueeOffset;
        }
        // Nothing outside the display line.
        EXPECT_TRUE(ShowsUnlit(Rect{59, 27, 1, 19}));
        EXPECT_TRUE(ShowsUnlit(Rect{201, 27, 1, 19}));
    }
    void Ticker(int line, int width, int offset) {
        state_.marqueeLine = line;
        state_.titleWidth[line] = width;
        state_.marqueeOffset = offset;
        Frame();
    }
};

TEST_F(Display, ShortTitleRightAfterTheWrap) {
    DrawSyntheticLine(skin_, 240, 50);
    Ticker(1, 50, -40);
    // Gap, the whole line, the gap, the start of the next repetition.
    ExpectTicker(40, 90, 130, 141, {40, 130});
    EXPECT_TRUE(ShowsLit(skin::kIndexLabel));  // line 2 lights INDEX
}

TEST_F(Display, ShortTitleMidway) {
    DrawSyntheticLine(skin_, 240, 50);
    Ticker(1, 50, 20);
    // Line from x 20 (30 pixels), gap, the line again; a third repetition is not drawn.
    ExpectTicker(0, 30, 70, 120, {70});
}

TEST_F(Display, ShortTitleJustPastItsEnd) {
    DrawSyntheticLine(skin_, 240, 50);
    in_.playlistCount = 1;
    state_.marqueeStarted = 1;
    state_.browseCounter = 5;
    Ticker(1, 50, 48);  // stepped to 52, drawn before the wrap: 38 pixels of gap, then the line
    ExpectTicker(38, 88, 0, 0, {38});  // its second repetition; a third is never drawn
}

TEST_F(Display, LongTitleFillsTheDisplayUntilItsEnd) {
    DrawSyntheticLine(skin_, 220, 300);
    Ticker(0, 300, 100);
    ExpectTicker(0, 141, 0, 0, {});
    EXPECT_TRUE(ShowsUnlit(skin::kIndexLabel));  // line 1 leaves INDEX off
    Ticker(0, 300, 159);
    ExpectTicker(0, 141, 0, 0, {});
    Ticker(0, 300, 250);
    ExpectTicker(0, 50, 90, 141, {90});
}

TEST_F(Display, EnteringFromTheRight) {
    DrawSyntheticLine(skin_, 240, 300);
    Ticker(1, 300, -141);
    ExpectTicker(0, 0, 0, 0, {});
    Ticker(1, 300, -137);
    ExpectTicker(137, 141, 0, 0, {137});
}

TEST_F(Display, EmptyOrNegativeWidthsShowNothing) {
    DrawSyntheticLine(skin_, 240, 0);
    for (int offset : {-141, -40, 0, 4, 1000})
        for (int width : {-3, 0}) {
            Ticker(1, width, offset);
            ExpectTicker(0, 0, 0, 0, {});
        }
}

TEST_F(Display, LettersTakeTheLitBackdropColour) {
    DrawSyntheticLine(skin_, 240, 300);
    Ticker(1, 300, 0);
    for (int dx = 0; dx < 141; ++dx)
        ASSERT_EQ(work_.Pixel(60 + dx, 32), skin_.Pixel(60 + dx, 132)) << dx;
    // Everything around the letters is the unlit display.
    for (int dx = 0; dx < 141; ++dx) ASSERT_EQ(work_.Pixel(60 + dx, 30), skin_.Pixel(60 + dx, 30));
}

TEST_F(Display, BrowsedNameReplacesTheTicker) {
    DrawSyntheticLine(skin_, 240, 300);
    DrawSyntheticLine(skin_, 260, 200);  // a browsed name longer than the display
    state_.trackPending = 1;
    state_.marqueeLine = 1;
    state_.titleWidth[1] = 300;
    state_.marqueeOffset = -141;  // the ticker would show nothing
    Frame();
    ExpectTicker(0, 141, 0, 0, {0});  // the name from x 0, cut at 141
    EXPECT_TRUE(ShowsUnlit(skin::kIndexLabel));
}

// --- the ticker's steps --------------------------------------------------------------------

TEST(TickerStep, FirstStepAfterAnOpen) {
    PlayerState s;
    s.marqueeStarted = 0;
    s.marqueeOffset = -141;
    s.titleWidth[1] = 200;
    s.browseCounter = 5;
    AdvanceTicker(s, 3);
    EXPECT_EQ(s.marqueeStarted, 1);
    EXPECT_EQ(s.marqueeOffset, -137);
    EXPECT_EQ(s.browseCounter, 0);
}

TEST(TickerStep, StepsOnlyEveryFifthCallAndNotOnAnEmptyList) {
    PlayerState s;
    s.marqueeStarted = 1;
    s.marqueeOffset = 10;
    s.titleWidth[1] = 200;
    s.zoomShowTicks = 2;
    s.browseCounter = 4;
    AdvanceTicker(s, 3);
    EXPECT_EQ(s.marqueeOffset, 10);
    EXPECT_EQ(s.browseCounter, 4);
    s.browseCounter = 5;
    AdvanceTicker(s, 0);
    EXPECT_EQ(s.marqueeOffset, 10);
    EXPECT_EQ(s.zoomShowTicks, 2);
    AdvanceTicker(s, 3);
    EXPECT_EQ(s.marqueeOffset, 14);
    EXPECT_EQ(s.zoomShowTicks, 1);
    s.browseCounter = 9;
    AdvanceTicker(s, 3);
    s.browseCounter = 9;
    AdvanceTicker(s, 3);
    EXPECT_EQ(s.zoomShowTicks, 0);  // never below 0
}

TEST(TickerStep, WrapsToTheGapAfterTheLine) {
    // A line of 50: frames at ..., 46, 50 (the last before the wrap), then -40 + 4 = -36.
    PlayerState s;
    s.marqueeStarted = 1;
    s.marqueeLine = 0;
    s.titleWidth[0] = 50;
    s.marqueeOffset = 46;
    s.browseCounter = 5;
    AdvanceTicker(s, 1);
    EXPECT_EQ(s.marqueeOffset, 50);
    AdvanceTicker(s, 1);  // no step due: the wrap alone
    EXPECT_EQ(s.marqueeOffset, -40);
    s.browseCounter = 5;
    AdvanceTicker(s, 1);
    EXPECT_EQ(s.marqueeOffset, -36);
    s.marqueeOffset = 49;
    s.browseCounter = 5;
    AdvanceTicker(s, 1);
    EXPECT_EQ(s.marqueeOffset, 53);
    s.browseCounter = 5;
    AdvanceTicker(s, 1);
    EXPECT_EQ(s.marqueeOffset, -36);
}

// --- measuring a line ----------------------------------------------------------------------

TEST(Measure, RightEndOfTheDarkRunOnTheRowBelow) {
    struct Run {
        int from, to;  // inclusive, on row 231
    };
    struct Case {
        const char* what;
        std::vector<Run> runs;
        bool firstDark;  // pixel (0, 230) black
        int expected;
    };
    const Case cases[] = {
        {"one run", {{100, 102}}, false, 98},
        {"rightmost of two runs", {{50, 60}, {200, 210}}, false, 198},
        {"start pixel dark", {{100, 102}}, true, 98},
        {"nothing drawn", {}, false, 1},
        {"run reaching x 639", {{638, 639}}, false, 635},
        {"run at the left end", {{1, 5}}, false, 1},
        {"only x 0, which is never read", {{0, 0}}, false, 1},
    };
    for (const Case& c : cases) {
        CDibSurface s;
        s.Create(640, 400);
        for (const Run& r : c.runs) s.Fill(r.from, 231, r.to - r.from + 1, 1, Bgr{0, 0, 0});
        if (c.firstDark) s.SetPixel(0, 230, Bgr{0, 0, 0});
        EXPECT_EQ(MeasureLine(s, 230), c.expected) << c.what;
    }
}

TEST(Measure, ReadsTheBlueByteOnly) {
    CDibSurface s;
    s.Create(640, 400);
    s.SetPixel(300, 251, Bgr{255, 0, 0});  // blue unchanged: not a change
    s.SetPixel(200, 251, Bgr{0, 255, 255});
    EXPECT_EQ(MeasureLine(s, 250), 198);
}

TEST(Measure, SmallSurfacesAndRowsOutside) {
    CDibSurface s;
    EXPECT_EQ(MeasureLine(s, 230), 1);
    s.Create(639, 400);
    EXPECT_EQ(MeasureLine(s, 230), 1);
    s.Create(640, 400);
    EXPECT_EQ(MeasureLine(s, 399), 1);
    EXPECT_EQ(MeasureLine(s, -1), 1);
}

// --- a skin of other colours ---------------------------------------------------------------

TEST_F(Compose, EveryPixelComesFromTheSkinSource) {
    // A skin of random colours (no pure white or black) over a work surface of the built-in
    // skin: after a busy frame, every visible pixel is one of the skin source's.
    CDibSurface noise;
    noise.Create(640, 400);
    std::mt19937 rng(7);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            noise.SetPixel(x, y, Bgr{uint8_t(1 + rng() % 250), uint8_t(rng()), uint8_t(rng())});
    for (int i = 0; i < 20; ++i) state_.buttonCounters[i] = 1;
    state_.paused = 1;
    state_.activeApp = 0;
    state_.timeDisplayMode = 2;
    in_ = FrameInputs{1000, 5, 2};
    ComposeFrame(work_, noise, state_, settings_, in_);
    // Pixels of the unlit part that no element covers are the unlit picture itself.
    EXPECT_TRUE(SameRect(work_, 0, 17, noise, 0, 17, 12, 70));
    EXPECT_TRUE(SameRect(work_, 303, 17, noise, 303, 17, 18, 70));
    EXPECT_TRUE(SameRect(work_, 208, 19, noise, 208, 119, 28, 23));  // FILE lit from it
    EXPECT_TRUE(SameRect(work_, 275, 19, noise, 275, 119, 28, 23));   // STILL lit (counter 2 last)
    EXPECT_TRUE(SameRect(work_, 140, 73, noise, 462, 30, 38, 13));    // zoom plus
    for (int y = 0; y < 93; ++y)
        for (int x = 0; x < 407; ++x) {
            const Bgr p = work_.Pixel(x, y);
            ASSERT_FALSE(p == skin_.Pixel(x, y) && !(p == noise.Pixel(x, y)) && x < 406)
                << "built-in pixel left at " << x << ", " << y;
        }
}

}  // namespace
