#include <gtest/gtest.h>

#include "render/WindowShape.h"

namespace {

TEST(WindowShape, PointsInAndOut) {
    struct Case {
        int x, y;
        bool inside;
    };
    const Case cases[] = {
        {40, 89, true},   {100, 89, false}, {40, 91, false}, {320, 0, true},  {321, 0, false},
        {0, 0, true},     {0, 87, true},    {0, 88, false},  {-1, 0, false},  {0, -1, false},
        {7, 88, false},   {8, 88, true},    {72, 90, true},  {73, 90, false}, {72, 91, false},
        {247, 89, false}, {248, 89, true},  {312, 90, true}, {313, 88, false}, {320, 87, true},
        {160, 88, false}, {160, 87, true},
    };
    const std::vector<ShapeRect> shape = MainWindowShape();
    for (const Case& c : cases)
        EXPECT_EQ(RegionContains(shape, c.x, c.y), c.inside) << c.x << ", " << c.y;
}

TEST(WindowShape, AreaAndBounds) {
    const std::vector<ShapeRect> shape = MainWindowShape();
    int area = 0, maxX = 0, maxY = 0;
    for (int y = -5; y < 100; ++y)
        for (int x = -5; x < 330; ++x)
            if (RegionContains(shape, x, y)) {
                ++area;
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
    EXPECT_EQ(area, 321 * 88 + 2 * 65 * 3);
    EXPECT_EQ(maxX, kMainWindowWidth - 1);
    EXPECT_EQ(maxY, 90);  // row 91 of the 92-row window is outside
    // The rectangles do not overlap: their areas add up to the region's.
    int sum = 0;
    for (const ShapeRect& r : shape) sum += r.width * r.height;
    EXPECT_EQ(sum, area);
}

TEST(WindowShape, OverlayIsEmpty) {
    const std::vector<ShapeRect> overlay = OverlayShape();
    EXPECT_TRUE(overlay.empty());
    EXPECT_FALSE(RegionContains(overlay, 0, 0));
}

}  // namespace
