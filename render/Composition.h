#pragma once
#include <array>

#include "state/PlayerState.h"
#include "render/DibSurface.h"
#include "state/Settings.h"

// Composition of the player picture from the skin: standard library only. The skin source
// (`skin`) is the loaded skin picture with its text strips; the work surface (`work`) is the
// picture being built, whose top-left 407 x 93 pixels the window shows. Both are 640 x 400
// skin-layout pictures (render/SkinLayout.h); smaller surfaces are clipped, never overrun.

// What a frame shows besides the records.
struct FrameInputs {
    int position = 0;       // reply to "status movie position", in the device's current format
    int playlistCount = 0;  // Playlist::count
    int currentIndex = 0;   // Playlist::currentIndex
};

// One piece of a text strip shown in the display line: `width` pixels of the skin source
// from (sx, sy) at display offset dx (pixels from the display's left edge), already cut to
// the display. The presenter redraws these at device resolution (render/DevicePicture.h).
struct TextPiece {
    int sx = 0, sy = 0, width = 0, dx = 0;
    friend bool operator==(const TextPiece&, const TextPiece&) = default;
};
// The text pieces one composition showed, left to right; at most three (line, gap, line).
struct DisplayText {
    std::array<TextPiece, 3> pieces{};
    int count = 0;
    void Add(const TextPiece& piece) {
        if (count < int(pieces.size())) pieces[size_t(count++)] = piece;
    }
    friend bool operator==(const DisplayText&, const DisplayText&) = default;
};

// Builds the whole picture (both halves below, in order) and says which text pieces it
// showed. The caller presents the work surface afterwards (render/SkinSource.h).
DisplayText ComposeFrame(CDibSurface& work, const CDibSurface& skin, PlayerState& state, const Settings& settings,
                         const FrameInputs& in);

// The first half: base picture, closed/paused/shuffle/repeat indicators and every lit button
// whose counter is positive except FILE, CONFIG, FULL and POWER. The playback tick runs its
// own logic between the halves.
void ComposeButtons(CDibSurface& work, const CDibSurface& skin, const PlayerState& state, const Settings& settings);

// The second half: browsed file name, grey play while paused, FILE, CONFIG, FULL and POWER
// lit, the knobs, the counter field, the time field, then (trackPending not above 0) one
// ticker step (AdvanceTicker) and its frame with the INDEX label, and the inactive logo.
// While trackPending > 0 the caller has drawn the browsed-name strip before
// (DrawBrowsedName, render/TextDraw.h). Returns the text pieces shown.
DisplayText ComposeDisplay(CDibSurface& work, const CDibSurface& skin, PlayerState& state, const Settings& settings,
                           const FrameInputs& in);

// One ticker step, run by ComposeDisplay once per composition while trackPending is not
// above 0, after the counter field. When browseCounter exceeds 4 and the playlist is not empty: zoomShowTicks
// counts down, the first step of a track restarts the line at -141, the offset moves 4 pixels
// and browseCounter returns to 0.
// A frame drawn at an offset of the line's width or more is followed by a restart at -40
// (the gap before the line); that wrap is done here, at the start of the next step, so the
// composition itself only reads the state. Nothing between two compositions reads the
// offset, so the frames are those of wrapping right after drawing.
void AdvanceTicker(PlayerState& state, int playlistCount);

// Draws one ticker frame into the display: the 141-pixel window, starting at `offset`, of
// the endless sequence line (width `lineWidth`), 40-pixel gap, line, gap ... with at most two
// repetitions of the line; everything else stays blank. `line` 0 or 1 selects the strip.
// Returns the pieces shown.
DisplayText DrawTickerFrame(CDibSurface& work, const CDibSurface& skin, int line, int lineWidth, int offset);

// Shows `width` pixels of a text strip starting at (sx, sy) at display offset dx through
// the two-step mask: only the letter pixels reach the display, in the colour of the lit
// display backdrop, which must already be in the work surface's scratch rows. Cut to the
// display's 141 pixels. Returns the piece as shown (width 0 when nothing of it shows).
TextPiece ShowTextPiece(CDibSurface& work, const CDibSurface& skin, int sx, int sy, int width, int dx);

// The right end of a drawn text line, in pixels: reads the blue byte of pixel (0, y), then
// of row y + 1 from x = 639 down to x = 1, counting changes from a start value of 0, and
// stops after the third change; the result is the count of pixels left unread, kept within
// 1..635. On a white strip with black text that is one left of the first light pixel left of
// the rightmost dark run of row y + 1. 1 for a surface narrower than 640 or rows outside it.
int MeasureLine(const CDibSurface& surface, int y);

// Clears a 20-row text strip of the skin source from the blank strip (rows 200..219).
void ClearTextStrip(CDibSurface& skin, int stripY);

// --- the arithmetic of the two numeric fields, for the composition and its tests ---

// Glyph numbers of the counter field: three digits of the playlist count, then three of the
// current index plus one (0 when the list is empty); or, while the zoom percentage is wanted
// and not 0, three digits of the percentage. Values beyond three digits show as 999,
// negative ones as 000.
struct CounterField {
    bool zoom = false;
    std::array<int, 3> count{};  // unused when zoom
    std::array<int, 3> right{};  // current index + 1, or the percentage
};
CounterField CounterFieldFor(const PlayerState& state, const FrameInputs& in);

// Glyph numbers of the eight time cells and whether the minus glyph shows.
// Mode 0: the position as eight digits (0 below 0, 99999999 above it).
// Mode 1: elapsed h:mm:ss of the position in milliseconds; mode 2: the time left,
// length - position, with the minus glyph. A position past the length counts as nothing
// left (0:00:00), a negative position as 0, and times of ten hours or more show 9:59:59:
// the field has one hour digit and no glyph for anything else.
struct TimeField {
    std::array<int, 8> cells{};
    bool minus = false;
};
TimeField TimeFieldFor(const PlayerState& state, int position);
