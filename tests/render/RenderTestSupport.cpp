#include <gtest/gtest.h>

#include "tests/render/RenderTestSupport.h"

#include <cstdlib>
#include <fstream>

std::string SkinBmpPath() { return std::string(VELKAF_SOURCE_DIR) + "/res/skin.bmp"; }

void LoadBuiltInSkin(CDibSurface& surface) {
    ASSERT_TRUE(surface.CreateFromFile(SkinBmpPath())) << SkinBmpPath();
    ASSERT_EQ(surface.Width(), 640);
    ASSERT_EQ(surface.Height(), 400);
}

namespace {
void Le32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}
void Le16(std::string& s, uint16_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char(v >> 8));
}
}  // namespace

std::string MakeBmp(const BmpRecipe& recipe, const std::function<Bgr(int, int)>& colour) {
    const int rows = recipe.height < 0 ? -recipe.height : recipe.height;
    const int rowBytes = (recipe.width * 3 + 3) & ~3;
    const uint32_t image = uint32_t(rowBytes * rows);
    const uint32_t offset =
        recipe.pixelOffset >= 0 ? uint32_t(recipe.pixelOffset) : 14 + recipe.infoSize;
    std::string s;
    s += recipe.magic;
    Le32(s, offset + image);
    Le32(s, 0);
    Le32(s, offset);
    Le32(s, recipe.infoSize);
    Le32(s, uint32_t(recipe.width));
    Le32(s, uint32_t(recipe.height));
    Le16(s, 1);
    Le16(s, recipe.bitCount);
    Le32(s, recipe.compression);
    Le32(s, recipe.imageSizeField >= 0 ? uint32_t(recipe.imageSizeField) : image);
    Le32(s, 2835);
    Le32(s, 2835);
    Le32(s, 0);
    Le32(s, 0);
    while (s.size() < 14 + size_t(recipe.infoSize)) s.push_back('\0');  // larger header versions
    while (s.size() < offset) s.push_back('\x55');
    for (int i = 0; i < rows; ++i) {
        const int y = recipe.height > 0 ? rows - 1 - i : i;
        for (int x = 0; x < recipe.width; ++x) {
            const Bgr c = colour(x, y);
            s.push_back(char(c.b));
            s.push_back(char(c.g));
            s.push_back(char(c.r));
        }
        for (int p = recipe.width * 3; p < rowBytes; ++p) s.push_back(char(recipe.padding));
    }
    return s;
}

Bgr PositionColour(int x, int y) { return Bgr{uint8_t(x), uint8_t(y), 77}; }

bool SameRect(const CDibSurface& a, int ax, int ay, const CDibSurface& b, int bx, int by, int w,
              int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!(a.Pixel(ax + x, ay + y) == b.Pixel(bx + x, by + y))) return false;
    return true;
}

::testing::AssertionResult MatchesGolden(const CDibSurface& actual, int x0, int y0, int w, int h,
                                         const std::string& name) {
    CDibSurface picture;
    picture.Create(w, h);
    actual.CopyTo(picture, 0, 0, x0, y0, w, h);
    const std::string path = std::string(VELKAF_SOURCE_DIR) + "/tests/render/golden/" + name;
    const char* update = std::getenv("VELKAF_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << picture.EncodeBmp();
        return ::testing::AssertionSuccess() << "updated " << path;
    }
    CDibSurface golden;
    if (!golden.CreateFromFile(path))
        return ::testing::AssertionFailure() << "no golden picture " << path
                                             << " (make it with VELKAF_UPDATE_GOLDEN=1)";
    if (golden.Width() != w || golden.Height() != h)
        return ::testing::AssertionFailure() << name << ": golden is " << golden.Width() << " x "
                                             << golden.Height();
    int differing = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (!(golden.Pixel(x, y) == picture.Pixel(x, y))) {
                if (differing++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
    if (differing == 0) return ::testing::AssertionSuccess();
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << picture.EncodeBmp();
    return ::testing::AssertionFailure() << name << ": " << differing
                                         << " pixels differ, first at (" << firstX << ", "
                                         << firstY << "); actual picture written to ./" << name;
}
