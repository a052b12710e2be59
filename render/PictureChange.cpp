#include "render/PictureChange.h"

#include <algorithm>
#include <cstring>

std::vector<skin::Rect> ChangedRects(PixelRows before, PixelRows after, int width, int height, int bytesPerPixel) {
    std::vector<skin::Rect> rects;
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return rects;
    const size_t rowLength = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    std::vector<char> changedColumns(static_cast<size_t>(width), 0);  // of the open band
    int bandTop = -1;
    const auto closeBand = [&](int bandBottom) {
        for (int x = 0; x < width;) {
            if (changedColumns[size_t(x)] == 0) {
                ++x;
                continue;
            }
            int end = x + 1;  // past the last changed column of this rectangle
            for (int probe = end; probe < width && probe - end < kChangeJoinGap; ++probe)
                if (changedColumns[size_t(probe)] != 0) end = probe + 1;
            rects.push_back({x, bandTop, end - x, bandBottom - bandTop});
            x = end;
        }
        std::fill(changedColumns.begin(), changedColumns.end(), 0);
        bandTop = -1;
    };
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = before.top + y * before.rowBytes;
        const uint8_t* b = after.top + y * after.rowBytes;
        bool rowChanged = false;
        if (std::memcmp(a, b, rowLength) != 0) {
            rowChanged = true;
            for (size_t i = 0; i < rowLength; ++i)
                if (a[i] != b[i]) changedColumns[i / static_cast<size_t>(bytesPerPixel)] = 1;
        }
        if (rowChanged && bandTop < 0) bandTop = y;
        if (!rowChanged && bandTop >= 0) closeBand(y);
    }
    if (bandTop >= 0) closeBand(height);
    return rects;
}
