#include "render/Composition.h"

#include <algorithm>

#include "render/SkinLayout.h"

namespace {

using skin::Rect;

// Copies a skin rectangle to (x, y) of the work surface.
void Put(CDibSurface& work, const CDibSurface& s, const Rect& from, int x, int y) {
    s.CopyTo(work, x, y, from.x, from.y, from.w, from.h);
}

// Copies the lit form of an element (100 rows lower) onto its unlit place.
void PutLit(CDibSurface& work, const CDibSurface& s, const Rect& unlit) {
    s.CopyTo(work, unlit.x, unlit.y, unlit.x, unlit.y + skin::kLitRows, unlit.w, unlit.h);
}

bool Lit(const PlayerState& st, int counter) { return st.buttonCounters[counter] > 0; }

std::array<int, 3> ThreeDigits(int v) {
    v = std::clamp(v, 0, 999);
    return {v / 100, v / 10 % 10, v % 10};
}

void PutSmallGlyph(CDibSurface& work, const CDibSurface& s, int glyph, int x) {
    s.CopyTo(work, x, skin::kCounterY, skin::kSmallGlyphs.x + skin::kGlyphPitch * glyph, skin::kSmallGlyphs.y,
             skin::kGlyphWidth, skin::kSmallGlyphHeight);
}

void PutLargeGlyph(CDibSurface& work, const CDibSurface& s, int glyph, int x, bool nonWhite) {
    const int sx = skin::kLargeGlyphs.x + skin::kGlyphPitch * glyph;
    if (nonWhite)
        s.CopyNonWhiteTo(work, x, skin::kTimeY, sx, skin::kLargeGlyphs.y, skin::kGlyphWidth, skin::kLargeGlyphHeight);
    else s.CopyTo(work, x, skin::kTimeY, sx, skin::kLargeGlyphs.y, skin::kGlyphWidth, skin::kLargeGlyphHeight);
}

// The lit display backdrop: the lit skin's display line, copied into the work surface's
// scratch rows, which the text mask paints the letters from.
void PutDisplayBackdrop(CDibSurface& work, const CDibSurface& s) {
    const Rect& d = skin::kDisplayLine;
    s.CopyTo(work, d.x, skin::kDisplayScratchY, d.x, skin::kDisplayScratchY, d.w, d.h);
}

void DrawCounterField(CDibSurface& work, const CDibSurface& s, const PlayerState& st, const FrameInputs& in) {
    const CounterField f = CounterFieldFor(st, in);
    if (f.zoom) {
        for (int i = 0; i < 3; ++i) PutSmallGlyph(work, s, f.right[i], skin::kIndexX[i]);
        // TOTAL and TRACK off, percent sign lit.
        PutLit(work, s, skin::kTotalTrackLabels);
        PutLit(work, s, skin::kPercentSign);
        return;
    }
    for (int i = 0; i < 3; ++i) PutSmallGlyph(work, s, f.count[i], skin::kCountX[i]);
    PutSmallGlyph(work, s, skin::kGlyphMinus, skin::kCounterMinusX);
    for (int i = 0; i < 3; ++i) PutSmallGlyph(work, s, f.right[i], skin::kIndexX[i]);
}

void DrawTimeField(CDibSurface& work, const CDibSurface& s, const PlayerState& st, int position) {
    const TimeField f = TimeFieldFor(st, position);
    const bool counter = st.timeDisplayMode == TimeDisplayMode::RawPosition;
    for (int i = 0; i < 8; ++i)
        PutLargeGlyph(work, s, f.cells[i], skin::kTimeCellX + skin::kTimeCellPitch * i, counter);
    if (f.minus) PutLargeGlyph(work, s, skin::kGlyphMinus, skin::kTimeMinusX, false);
    if (!counter) return;  // elapsed and remaining keep TIME lit from the unlit skin
    if (st.lengthFrames == st.lengthMs) {
        // The device counts in milliseconds: TIME off, mmS lit.
        PutLit(work, s, skin::kTimeLabel);
        PutLit(work, s, skin::kMmsLabel);
    } else {
        PutLit(work, s, skin::kTimeFrameLabels);  // TIME off, FRAME lit
    }
}

TextPiece DrawBrowsedNameToDisplay(CDibSurface& work, const CDibSurface& s) {
    PutDisplayBackdrop(work, s);
    return ShowTextPiece(work, s, 0, skin::kBrowseStrip.y, skin::kDisplayLine.w, 0);
}

}  // namespace

TextPiece ShowTextPiece(CDibSurface& work, const CDibSurface& s, int sx, int sy, int width, int dx) {
    const Rect& d = skin::kDisplayLine;
    if (dx < 0) {
        sx -= dx;
        width += dx;
        dx = 0;
    }
    width = std::min(width, d.w - dx);
    if (width <= 0) return {};
    // White around the letters covers the backdrop; the black letters leave it showing.
    s.CopyNonBlackTo(work, d.x + dx, skin::kDisplayScratchY, sx, sy, width, d.h);
    // Only the letter pixels, now in the backdrop's colour, reach the display.
    work.CopyNonWhiteTo(work, d.x + dx, d.y, d.x + dx, skin::kDisplayScratchY, width, d.h);
    return {sx, sy, width, dx};
}

DisplayText DrawTickerFrame(CDibSurface& work, const CDibSurface& s, int line, int lineWidth, int offset) {
    const int stripY = line == 0 ? skin::kTitleStrip1.y : skin::kTitleStrip2.y;
    const int w = std::max(lineWidth, 0);
    const int64_t from = offset;
    const int64_t to = from + skin::kDisplayLine.w;
    // Shows the part of the sequence span [start, end) that falls in the window; the span's
    // pixels come from x = sx0 onwards of the strip at row sy.
    DisplayText shown;
    auto piece = [&](int64_t start, int64_t end, int sy) {
        const int64_t a = std::max(start, from), b = std::min(end, to);
        if (a >= b) return;
        const TextPiece p = ShowTextPiece(work, s, int(a - start), sy, int(b - a), int(a - from));
        if (p.width > 0) shown.Add(p);
    };
    piece(0, w, stripY);
    piece(w, int64_t(w) + skin::kTickerGap, skin::kBlankStrip.y);
    piece(int64_t(w) + skin::kTickerGap, 2 * int64_t(w) + skin::kTickerGap, stripY);
    return shown;
}

void AdvanceTicker(PlayerState& st, int playlistCount) {
    const int line = st.marqueeLine == 0 ? 0 : 1;
    if (st.marqueeOffset >= st.titleWidth[line]) st.marqueeOffset = -skin::kTickerGap;
    if (st.browseCounter > 4 && playlistCount > 0) {
        if (st.zoomShowTicks > 0) --st.zoomShowTicks;
        if (st.marqueeStarted == 0) {
            st.marqueeStarted = 1;
            st.marqueeOffset = skin::kTickerEnter;
        }
        st.marqueeOffset += skin::kTickerStep;
        st.browseCounter = 0;
    }
}

int MeasureLine(const CDibSurface& surface, int y) {
    constexpr int kRow = 640;
    if (surface.Width() < kRow || y < 0 || y + 1 >= surface.Height()) return 1;
    int previous = 0, changes = 0, n = kRow;
    int x = -1;  // -1: the pixel at (0, y); then row y + 1 from the right
    while (n >= 1 && changes <= 2) {
        const int blue = x < 0 ? surface.Pixel(0, y).b : surface.Pixel(x, y + 1).b;
        if (blue != previous) {
            ++changes;
            previous = blue;
        }
        --n;
        x = x < 0 ? kRow - 1 : x - 1;
    }
    return std::clamp(n, 1, 635);
}

void ClearTextStrip(CDibSurface& s, int stripY) {
    const Rect& b = skin::kBlankStrip;
    s.CopyTo(s, b.x, stripY, b.x, b.y, b.w, b.h);
}

CounterField CounterFieldFor(const PlayerState& st, const FrameInputs& in) {
    CounterField f;
    const bool zoomWanted = st.showZoom == 1 || st.zoomShowTicks > 0;
    if (zoomWanted && st.zoomPercent != 0) {
        f.zoom = true;
        f.right = ThreeDigits(st.zoomPercent);
        return f;
    }
    f.count = ThreeDigits(in.playlistCount);
    f.right = ThreeDigits(in.playlistCount > 0 ? in.currentIndex + 1 : 0);
    return f;
}

TimeField TimeFieldFor(const PlayerState& st, int position) {
    TimeField f;
    if (st.timeDisplayMode == TimeDisplayMode::RawPosition) {
        int v = std::clamp(position, 0, 99999999);
        for (int i = 7; i >= 0; --i) {
            f.cells[i] = v % 10;
            v /= 10;
        }
        return f;
    }
    int64_t ms = position;
    if (st.timeDisplayMode == TimeDisplayMode::Remaining) {
        ms = int64_t(st.lengthMs) - position;
        f.minus = true;
    }
    int64_t s = std::max<int64_t>(ms, 0) / 1000;
    s = std::min<int64_t>(s, 9 * 3600 + 59 * 60 + 59);
    const int h = int(s / 3600), m = int(s % 3600 / 60), sec = int(s % 60);
    f.cells = {h, skin::kGlyphHour, m / 10, m % 10, skin::kGlyphMinute, sec / 10, sec % 10, skin::kGlyphSecond};
    return f;
}

void ComposeButtons(CDibSurface& work, const CDibSurface& s, const PlayerState& st, const Settings& settings) {
    const Rect& base = skin::kUnlitPlayer;
    s.CopyTo(work, base.x, base.y, base.x, base.y, base.w, base.h);
    if (st.closed == 1) Put(work, s, skin::kGreyPlay, skin::kGreyPlayAt.x, skin::kGreyPlayAt.y);
    if (st.paused == 1) Put(work, s, skin::kLitPause, skin::kStill.x, skin::kStill.y);
    if (settings.shuffle == 1) PutLit(work, s, skin::kShuffle);
    if (settings.repeat == 1) PutLit(work, s, skin::kRepeat);
    if (Lit(st, kCounterPlay)) PutLit(work, s, skin::kPlay);
    if (Lit(st, kCounterPause)) Put(work, s, skin::kGreyPause, skin::kStill.x, skin::kStill.y);
    if (Lit(st, kCounterPauseLit)) PutLit(work, s, skin::kStill);
    if (Lit(st, kCounterStop)) PutLit(work, s, skin::kStop);
    if (Lit(st, kCounterPrevious)) PutLit(work, s, skin::kBack);
    if (Lit(st, kCounterNext)) PutLit(work, s, skin::kNext);
    if (Lit(st, kCounterSearchBackward)) PutLit(work, s, skin::kRew);
    if (Lit(st, kCounterSearchForward)) PutLit(work, s, skin::kFf);
    if (Lit(st, kCounterSmallerVideo)) Put(work, s, skin::kZoomMinusLit, skin::kZoom.x, skin::kZoom.y);
    if (Lit(st, kCounterLargerVideo)) Put(work, s, skin::kZoomPlusLit, skin::kZoom.x, skin::kZoom.y);
}

DisplayText ComposeDisplay(CDibSurface& work, const CDibSurface& s, PlayerState& st, const Settings& /*settings*/,
                           const FrameInputs& in) {
    DisplayText shown;
    if (st.trackPending > 0) {
        const TextPiece name = DrawBrowsedNameToDisplay(work, s);
        if (name.width > 0) shown.Add(name);
    }
    if (st.paused == 1 && st.closed == 0) Put(work, s, skin::kGreyPlay, skin::kGreyPlayAt.x, skin::kGreyPlayAt.y);
    if (Lit(st, kCounterOpen)) PutLit(work, s, skin::kFile);
    if (Lit(st, kCounterSettings)) PutLit(work, s, skin::kConfig);
    if (Lit(st, kCounterFullScreen)) PutLit(work, s, skin::kFull);
    if (Lit(st, kCounterClose)) PutLit(work, s, skin::kPower);

    // A knob value outside its bar would cover the buttons beside it.
    const int seek = std::clamp(st.seekKnobX, 0, kSeekBarWidth);
    const int volume = std::clamp(st.volumeKnobX, 0, kVolumeBarWidth);
    Put(work, s, skin::kPositionKnob, skin::kPositionKnobX + seek, skin::kPositionKnobY);
    Put(work, s, skin::kVolumeKnob, skin::kVolumeKnobX + volume, skin::kVolumeKnobY);

    DrawCounterField(work, s, st, in);
    DrawTimeField(work, s, st, in.position);

    if (st.trackPending <= 0) {
        // The ticker steps after the counter field is drawn, so a zoom percentage shown for
        // n ticker steps stays for n full ticks.
        AdvanceTicker(st, in.playlistCount);
        const int line = st.marqueeLine == 0 ? 0 : 1;
        if (line == 1) PutLit(work, s, skin::kIndexLabel);
        PutDisplayBackdrop(work, s);
        shown = DrawTickerFrame(work, s, line, st.titleWidth[line], st.marqueeOffset);
    }
    if (st.activeApp == 0) PutLit(work, s, skin::kLogo);  // the inactive logo
    return shown;
}

DisplayText ComposeFrame(CDibSurface& work, const CDibSurface& s, PlayerState& st, const Settings& settings,
                         const FrameInputs& in) {
    ComposeButtons(work, s, st, settings);
    return ComposeDisplay(work, s, st, settings, in);
}
