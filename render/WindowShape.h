#pragma once
#include <vector>

#include "state/Settings.h"  // kMainWindowWidth, kMainWindowHeight

// The outline of the player window, in window pixels (origin at its top-left corner):
// a body of 321 x 88 pixels (rows 0..87) with two tabs below it on rows 88..90, the left
// one over x 8..72 and the right one over x 248..312. Row 91 and everything else of the
// kMainWindowWidth x kMainWindowHeight window is outside: there the window neither paints nor takes the mouse.
// Standard library only; the window turns the rectangles into its mask.

struct ShapeRect {
    int x = 0, y = 0, width = 0, height = 0;  // covers x .. x + width - 1, y .. y + height - 1
    friend bool operator==(const ShapeRect&, const ShapeRect&) = default;
};

// The main window's region as non-overlapping rectangles: the body and the two tabs.
std::vector<ShapeRect> MainWindowShape();

// The full-screen overlay's region: empty, so the overlay neither shows nor takes input.
std::vector<ShapeRect> OverlayShape();

// True when the point (x, y) lies in one of the rectangles.
bool RegionContains(const std::vector<ShapeRect>& region, int x, int y);
