#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/SkinLayout.h"

// Which parts of a picture changed between two presentations, so only those are painted and
// sent to the display again: standard library only.

// Rows of pixels in memory: the top row's first byte and the distance from one row to the next.
struct PixelRows {
    const uint8_t* top = nullptr;
    ptrdiff_t rowBytes = 0;
};

// Changes joined across fewer than this many unchanged columns are one rectangle.
constexpr int kChangeJoinGap = 8;

// The pixels of `after` that differ from `before` (both width x height pixels of
// `bytesPerPixel` bytes), as rectangles that cover every changed pixel and little else: each
// band of consecutive changed rows, cut where at least kChangeJoinGap unchanged columns
// separate its changes. Top to bottom, left to right; none when the pictures are equal.
std::vector<skin::Rect> ChangedRects(PixelRows before, PixelRows after, int width, int height, int bytesPerPixel);
