#include "render/WindowShape.h"

std::vector<ShapeRect> MainWindowShape() {
    return {
        {0, 0, kMainWindowWidth, 88},  // body, rows 0..87
        {8, 88, 65, 3},                // left tab, x 8..72, rows 88..90
        {248, 88, 65, 3},              // right tab, x 248..312, rows 88..90
    };
}

std::vector<ShapeRect> OverlayShape() { return {}; }

bool RegionContains(const std::vector<ShapeRect>& region, int x, int y) {
    for (const ShapeRect& r : region)
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
    return false;
}
