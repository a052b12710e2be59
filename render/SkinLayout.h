#pragma once

// The layout of a skin picture (the built-in one and every file in bg/): 640 x 400 pixels,
// 24-bit. Coordinates are absolute pixels of the picture, y from the top. The window shows
// the top-left part of the unlit player; every lit form lies 100 rows below its unlit one.
// The skin generator (tools/skingen) draws to exactly these rectangles.
namespace skin {

struct Rect {
    int x, y, w, h;
};

constexpr int kWidth = 640;
constexpr int kHeight = 400;
constexpr int kLitRows = 100;  // lit form = unlit rectangle moved this far down

// Regions of the picture.
constexpr Rect kUnlitPlayer{0, 0, 406, 93};
constexpr Rect kLitPlayer{0, 100, 406, 93};
constexpr Rect kLargeGlyphs{412, 0, 7 * 14, 13};   // 14 glyphs of 6 x 13 on a 7-pixel pitch
constexpr Rect kSmallGlyphs{412, 15, 7 * 14, 11};  // the same 14 at 6 x 11
constexpr Rect kPositionKnob{412, 30, 23, 11};
constexpr Rect kVolumeKnob{442, 30, 15, 9};
constexpr Rect kZoomPlusLit{462, 30, 38, 13};
constexpr Rect kZoomMinusLit{512, 30, 38, 13};
constexpr Rect kLitPause{479, 100, 28, 23};
constexpr Rect kGreyPlay{441, 126, 37, 25};
constexpr Rect kGreyPause{412, 170, 28, 23};
constexpr Rect kBlankStrip{0, 200, 640, 20};
constexpr Rect kTitleStrip1{0, 220, 640, 20};
constexpr Rect kTitleStrip2{0, 240, 640, 20};
constexpr Rect kBrowseStrip{0, 260, 640, 20};

// Glyph numbers in both atlases: digits 0..9, then these.
constexpr int kGlyphMinus = 10;
constexpr int kGlyphHour = 11;
constexpr int kGlyphMinute = 12;
constexpr int kGlyphSecond = 13;
constexpr int kGlyphCount = 14;
constexpr int kGlyphPitch = 7;
constexpr int kGlyphWidth = 6;
constexpr int kLargeGlyphHeight = 13;
constexpr int kSmallGlyphHeight = 11;

// Buttons and indicators, unlit position.
constexpr Rect kConfig{18, 21, 34, 13};
constexpr Rect kRepeat{19, 38, 32, 11};
constexpr Rect kShuffle{19, 51, 32, 11};
constexpr Rect kPower{17, 66, 36, 20};
constexpr Rect kFile{208, 19, 28, 23};
constexpr Rect kStop{237, 19, 37, 23};
constexpr Rect kStill{275, 19, 28, 23};
constexpr Rect kRew{208, 45, 28, 25};
constexpr Rect kPlay{236, 45, 38, 25};
constexpr Rect kGreyPlayAt{237, 45, 37, 25};  // where grey play lands: PLAY less its left column
constexpr Rect kFf{275, 45, 28, 25};
constexpr Rect kBack{208, 73, 46, 13};
constexpr Rect kNext{256, 73, 46, 13};
constexpr Rect kZoom{140, 73, 38, 13};
constexpr Rect kFull{180, 73, 24, 13};
constexpr Rect kMinimise{295, 1, 13, 14};  // drawn in the art; never lit
constexpr Rect kLogo{12, 0, 46, 16};

// The display.
constexpr Rect kDisplayLine{60, 27, 141, 19};  // where the title ticker shows
constexpr int kDisplayScratchY = 127;          // the lit backdrop row, and scratch rows in the
                                               // work surface (outside the visible part)
constexpr Rect kIndexLabel{61, 22, 30, 5};
constexpr Rect kTotalTrackLabels{72, 51, 49, 4};
constexpr Rect kPercentSign{123, 62, 6, 6};
constexpr Rect kTimeLabel{141, 48, 15, 5};
constexpr Rect kTimeFrameLabels{141, 48, 39, 5};
constexpr Rect kMmsLabel{181, 48, 15, 5};

// Counter field: small glyphs on row 57; time field: large glyphs on row 55.
constexpr int kCounterY = 57;
constexpr int kCountX[3] = {68, 76, 84};
constexpr int kCounterMinusX = 92;
constexpr int kIndexX[3] = {100, 108, 116};
constexpr int kTimeY = 55;
constexpr int kTimeCellX = 136;  // cell i at 136 + 8 i, i = 0..7
constexpr int kTimeCellPitch = 8;
constexpr int kTimeMinusX = 128;

// The position knob at 62 + seekKnobX (0..kSeekBarWidth) on row 2, the volume knob at
// 61 + volumeKnobX (0..kVolumeBarWidth) on row 75 (state/PlayerState.h).
constexpr int kPositionKnobX = 62;
constexpr int kPositionKnobY = 2;
constexpr int kVolumeKnobX = 61;
constexpr int kVolumeKnobY = 75;

// The part of the work surface the window shows.
constexpr int kPresentWidth = 407;
constexpr int kPresentHeight = 93;

// Title ticker geometry.
constexpr int kTickerGap = 40;      // blank between repetitions of the line
constexpr int kTickerStep = 4;      // pixels per step (one step per 150 ms)
constexpr int kTickerEnter = -141;  // offset after a track opens: the line enters from the right
constexpr int kTextDrawX = 0;
constexpr int kTitleTextY[2] = {224, 244};
constexpr int kBrowseTextY = 264;
constexpr int kTitleMeasureY[2] = {230, 250};

}  // namespace skin
