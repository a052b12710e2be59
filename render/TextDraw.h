#pragma once
#include <array>
#include <string>

#include <QFont>
#include <QStringList>

#include "state/PlayerState.h"
#include "render/DibSurface.h"

// Text of the player window (Qt): the one font, drawn pure black on white into the skin
// source's text strips, from where the composition carries it into the display.

// The Japanese user interface's faces in order of preference: IPAPGothic, else Noto Sans CJK
// JP (a font with neither falls back to the default sans).
QStringList UiFontFamilies();

// The player's font at `pixelSize`: UiFontFamilies, normal weight, no antialiasing.
QFont PlayerFont(int pixelSize);

// Draws `text` (UTF-8) with its top-left at (x, y) in the player font of `height` pixels:
// black letters on an opaque white box as wide as the text's advance and as tall as the
// font. Every pixel written is pure black or pure white. Cut at the surface's edges; nothing
// on an empty surface.
void DrawTextLine(CDibSurface& surface, const std::string& text, int height, int x, int y);

// The same line for a screen that scales by `scale` (0 < scale <= 16): letters in the player
// font of height x scale pixels, each character at its place in the line of `height` pixels
// times `scale`, so the line is as wide, in logical pixels, as DrawTextLine's. (x, y) and the
// surface are in device pixels. Pure black on white like DrawTextLine.
void DrawTextLineScaled(CDibSurface& surface, const std::string& text, int height, double scale, int x, int y);

// Draws the two title lines of an opened track: each strip (rows 220..239 and 240..259) is
// cleared from the blank strip, the line drawn at (0, 224) or (0, 244) at height 12 and
// measured at row 230 or 250 (MeasureLine). Returns the two measured right ends.
std::array<int, 2> DrawTitleLines(CDibSurface& skin, const std::string& line1, const std::string& line2);
// The same, storing each right end minus 4 as titleWidth of its line.
void DrawTitleLines(CDibSurface& skin, const std::string& line1, const std::string& line2, PlayerState& state);

// The browsed entry's name: clears the file-name strip (rows 260..279) and draws the name
// and extension of `entryPath` at (0, 264). The name's bytes are taken as UTF-8 when valid,
// else as CP932.
void DrawBrowsedName(CDibSurface& skin, const std::string& entryPath);
// The text DrawBrowsedName draws for `entryPath`.
std::string BrowsedNameText(const std::string& entryPath);
