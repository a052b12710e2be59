#include <gtest/gtest.h>

#include "render/WindowShape.h"

namespace {

TEST(WindowShape, TwoTabsBelowTheBodyAndNothingElse) {
    const std::vector<ShapeRect> shape = MainWindowShape();
    const std::tuple<int, int, bool> points[] = {
        {40, 89, true}, {100, 89, false}, {40, 91, false}, {320, 0, true}, {321, 0, false}, {0, 0, true}, {0, 87, true},
        {0, 88, false}, {-1, 0, false}, {0, -1, false}, {7, 88, false}, {8, 88, true}, {72, 90, true}, {73, 90, false},
        {247, 89, false}, {248, 89, true}, {312, 90, true}, {313, 88, false}, {160, 88, false}, {160, 87, true}};
    for (const auto& [x, y, inside] : points) EXPECT_EQ(RegionContains(shape, x, y), inside) << x << ", " << y;
    int area = 0, sum = 0;
    for (int i = 0; i < 335 * 105; ++i) area += RegionContains(shape, i % 335 - 5, i / 335 - 5);
    for (const ShapeRect& r : shape) sum += r.width * r.height;
    EXPECT_EQ(area, 321 * 88 + 2 * 65 * 3);
    EXPECT_EQ(sum, area) << "the rectangles overlap";
    EXPECT_TRUE(OverlayShape().empty());
}

}  // namespace
