#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "render/DibSurface.h"

// Path of the built-in skin picture in the source tree.
std::string SkinBmpPath();

// Loads res/skin.bmp; fails the calling test when it does not load.
void LoadBuiltInSkin(CDibSurface& surface);

// Options for a hand-made ".bmp" file.
struct BmpRecipe {
    int width = 4;
    int height = 3;              // negative: top-down
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t infoSize = 40;
    int64_t imageSizeField = -1; // -1: the true size
    int64_t pixelOffset = -1;    // -1: right after the headers
    uint8_t padding = 0xEE;      // value of the row padding bytes
    const char* magic = "BM";
};

// A 24-bit ".bmp" file whose pixel (x, y), y from the top, is colour(x, y). Rows are written
// bottom row first for a positive height, top row first for a negative one.
std::string MakeBmp(const BmpRecipe& recipe, const std::function<Bgr(int, int)>& colour);

// A colour that names its position: blue = x, green = y, red = 77.
Bgr PositionColour(int x, int y);

// True when the w x h rectangles at (ax, ay) of a and (bx, by) of b hold the same pixels.
bool SameRect(const CDibSurface& a, int ax, int ay, const CDibSurface& b, int bx, int by,
              int w, int h);

// Compares the w x h rectangle at (x, y) of `actual` with tests/render/golden/<name>. With
// VELKAF_UPDATE_GOLDEN=1 in the environment the golden file is (re)written instead. On a
// mismatch the actual picture goes to <name> in the current folder for a look.
::testing::AssertionResult MatchesGolden(const CDibSurface& actual, int x, int y, int w, int h,
                                         const std::string& name);
