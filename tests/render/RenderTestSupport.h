#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <functional>
#include <string>
#include "render/DibSurface.h"

// Loads res/skin.bmp (640 x 400); fails the calling test when it does not load.
void LoadBuiltInSkin(CDibSurface& surface);

// A ".bmp" file, bottom row first for a positive height; -1 below means the true value.
struct BmpRecipe {
    int width = 4, height = 3; uint16_t bitCount = 24; uint32_t compression = 0, infoSize = 40;
    int64_t imageSizeField = -1, pixelOffset = -1; const char* magic = "BM";
};
// Its pixel (x, y), y from the top, is colour(x, y); row padding is 0xEE.
std::string MakeBmp(const BmpRecipe& recipe, const std::function<Bgr(int, int)>& colour);

// A colour that names its position: blue = x, green = y, red = 77.
Bgr PositionColour(int x, int y);
bool SameRect(const CDibSurface& a, int ax, int ay, const CDibSurface& b, int bx, int by, int w, int h);

// Compares the w x h rectangle at (x, y) of `actual` with tests/render/golden/<name>. With VELKAF_UPDATE_GOLDEN=1 the
// golden file is (re)written instead; on a mismatch the actual picture goes to ./<name> for a look.
::testing::AssertionResult MatchesGolden(const CDibSurface& a, int x, int y, int w, int h, const std::string& name);
