#include "tests/render/RenderTestSupport.h"
#include <algorithm>
#include <cstdlib>
#include <fstream>

void LoadBuiltInSkin(CDibSurface& surface) {
    const std::string path = std::string(VELKAF_SOURCE_DIR) + "/res/skin.bmp";
    ASSERT_TRUE(surface.CreateFromFile(path)) << path;
    ASSERT_TRUE(surface.Width() == 640 && surface.Height() == 400);
}

std::string MakeBmp(const BmpRecipe& recipe, const std::function<Bgr(int, int)>& colour) {
    const int rows = std::abs(recipe.height), rowBytes = (recipe.width * 3 + 3) & ~3;
    const uint32_t image = uint32_t(rowBytes * rows);
    const uint32_t offset = recipe.pixelOffset >= 0 ? uint32_t(recipe.pixelOffset) : 14 + recipe.infoSize;
    std::string s = recipe.magic;
    auto put = [&s](uint32_t v, int n) { for (int i = 0; i < n; ++i) s.push_back(char((v >> (8 * i)) & 0xFF)); };
    // File header, then BITMAPINFOHEADER: size, width, height, planes, bits, compression, image size, pixels per metre.
    const std::pair<uint32_t, int> fields[] = {
        {offset + image, 4}, {0, 4}, {offset, 4}, {recipe.infoSize, 4}, {uint32_t(recipe.width), 4},
        {uint32_t(recipe.height), 4}, {1, 2}, {recipe.bitCount, 2}, {recipe.compression, 4},
        {recipe.imageSizeField >= 0 ? uint32_t(recipe.imageSizeField) : image, 4}, {2835, 4}, {2835, 4}};
    for (const auto& [v, n] : fields) put(v, n);
    s.resize(std::max(s.size(), 14 + size_t(recipe.infoSize)), '\0');  // larger header versions
    s.resize(std::max(s.size(), size_t(offset)), '\x55');
    for (int i = 0; i < rows; ++i) {
        for (int x = 0; x < recipe.width; ++x) {
            const Bgr c = colour(x, recipe.height > 0 ? rows - 1 - i : i);
            s += {char(c.b), char(c.g), char(c.r)};
        }
        s.append(size_t(rowBytes - recipe.width * 3), '\xEE');
    }
    return s;
}

Bgr PositionColour(int x, int y) { return Bgr{uint8_t(x), uint8_t(y), 77}; }

bool SameRect(const CDibSurface& a, int ax, int ay, const CDibSurface& b, int bx, int by, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) if (!(a.Pixel(ax + x, ay + y) == b.Pixel(bx + x, by + y))) return false;
    return true;
}

using ::testing::AssertionFailure;
::testing::AssertionResult MatchesGolden(const CDibSurface& a, int x0, int y0, int w, int h, const std::string& name) {
    CDibSurface picture, golden; picture.Create(w, h);
    a.CopyTo(picture, 0, 0, x0, y0, w, h);
    const std::string path = std::string(VELKAF_SOURCE_DIR) + "/tests/render/golden/" + name;
    if (const char* update = std::getenv("VELKAF_UPDATE_GOLDEN"); update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << picture.EncodeBmp();
        return ::testing::AssertionSuccess() << "updated " << path;
    }
    if (!golden.CreateFromFile(path)) return AssertionFailure() << "no golden " << path << " (VELKAF_UPDATE_GOLDEN=1)";
    if (golden.Width() != w || golden.Height() != h)
        return AssertionFailure() << name << ": golden is " << golden.Width() << " x " << golden.Height();
    int differing = 0, first = -1;
    for (int i = 0; i < w * h; ++i)
        if (!(golden.Pixel(i % w, i / w) == picture.Pixel(i % w, i / w)) && differing++ == 0) first = i;
    if (differing == 0) return ::testing::AssertionSuccess();
    std::ofstream(name, std::ios::binary | std::ios::trunc) << picture.EncodeBmp();
    return AssertionFailure() << name << ": " << differing << " pixels differ, first at (" << first % w << ", "
                              << first / w << "); actual picture written to ./" << name;
}
