#include "render/DevicePicture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "render/DeviceScale.h"
#include "render/SkinLayout.h"
#include "render/TextDraw.h"

namespace {

constexpr int kStripHeight = 20;
constexpr int kTextRowInStrip = 4;  // each strip's line is drawn 4 rows below its top
constexpr int kTextHeight = 12;

bool IsBlack(const Bgr& p) { return p.b == 0 && p.g == 0 && p.r == 0; }
bool IsWhite(const Bgr& p) { return p.b == 255 && p.g == 255 && p.r == 255; }

void Put(uchar* row, int x, const Bgr& p) {
    row[3 * x] = p.r, row[3 * x + 1] = p.g, row[3 * x + 2] = p.b;  // Format_RGB888
}

}  // namespace

void DevicePicture::SetText(TextStrip strip, const std::string& text) {
    if (m_texts[size_t(strip)] == text) return;
    m_texts[size_t(strip)] = text;
    m_dirty = true;
}

void DevicePicture::DrawStrips(const CDibSurface& skin, double ratio) {
    const DeviceScale scale(ratio);
    const int w = scale.Edge(skin::kWidth), h = scale.Edge(kStripHeight);
    for (int k = 0; k < kStrips; ++k) {
        CDibSurface& strip = m_strips[size_t(k)];
        if (!strip.Create(w, h)) continue;
        // The blank strip's art, nearest-neighbour, as ClearTextStrip lays it under each line.
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                strip.SetPixel(x, y, skin.Pixel(scale.LogicalOf(x), skin::kBlankStrip.y + scale.LogicalOf(y)));
        if (k > 0)
            DrawTextLineScaled(strip, m_texts[size_t(k - 1)], kTextHeight, ratio, scale.Edge(skin::kTextDrawX),
                               scale.Edge(kTextRowInStrip));
    }
    m_stripRatio = ratio;
    m_dirty = false;
}

const QImage& DevicePicture::Compose(const CDibSurface& work, const CDibSurface& skin, const DisplayText& shown,
                                     double ratio, int width, int height) {
    if (work.IsEmpty() || skin.IsEmpty() || !(ratio >= 1.0 / 16 && ratio <= 16.0) || width <= 0 || height <= 0) {
        m_picture = QImage();
        return m_picture;
    }
    if (m_dirty || m_stripRatio != ratio) DrawStrips(skin, ratio);
    const DeviceScale scale(ratio);
    const int w = scale.Edge(width), h = scale.Edge(height);
    if (m_picture.size() != QSize(w, h) || m_picture.format() != QImage::Format_RGB888)
        m_picture = QImage(w, h, QImage::Format_RGB888);
    m_picture.setDevicePixelRatio(ratio);

    // Each device column's logical column, and its byte in a row of `work` (-1: outside, black).
    std::vector<int> column(static_cast<size_t>(w)), source(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x) {
        column[size_t(x)] = scale.LogicalOf(x);
        source[size_t(x)] = column[size_t(x)] < work.Width() ? 3 * column[size_t(x)] : -1;
    }
    const skin::Rect& d = kRedrawnText;
    const int displayLeft = scale.Edge(d.x), displayRight = scale.Edge(d.x + d.w);
    const int displayTop = scale.Edge(d.y), displayBottom = scale.Edge(d.y + d.h);

    int previousRow = -1;
    for (int y = 0; y < h; ++y) {
        uchar* out = m_picture.scanLine(y);
        const int ly = scale.LogicalOf(y);
        if (ly == previousRow) {
            // The same art row again (the display part, if any, is drawn over below).
            std::memcpy(out, m_picture.constScanLine(y - 1), size_t(w) * 3);
        } else {
            const uint8_t* row = ly < work.Height() ? work.TopRow() + size_t(ly) * size_t(work.RowBytes()) : nullptr;
            for (int x = 0; x < w; ++x) {
                const int at = source[size_t(x)];
                Put(out, x, row && at >= 0 ? Bgr{row[at], row[at + 1], row[at + 2]} : Bgr{});
            }
            previousRow = ly;
        }
        if (y < displayTop || y >= displayBottom) continue;
        // The display line: the unlit art, and the pieces' letters in the lit art's colour.
        const int stripRow = y - displayTop;
        for (int x = std::max(displayLeft, 0); x < std::min(displayRight, w); ++x) {
            const int lx = column[size_t(x)];
            const Bgr base = skin.Pixel(lx, ly);
            Put(out, x, base);
            for (int i = 0; i < shown.count; ++i) {
                const TextPiece& p = shown.pieces[size_t(i)];
                if (lx < d.x + p.dx || lx >= d.x + p.dx + p.width) continue;
                const int k = (p.sy - skin::kBlankStrip.y) / kStripHeight;
                const int sx = x - scale.Edge(d.x + p.dx) + scale.Edge(p.sx);
                const bool known = (p.sy - skin::kBlankStrip.y) % kStripHeight == 0 && k >= 0 && k < kStrips;
                // A piece from any other row of the skin is its art, nearest-neighbour.
                const Bgr letter = known ? m_strips[size_t(k)].Pixel(sx, stripRow)
                                         : skin.Pixel(p.sx + (lx - d.x - p.dx), p.sy + (ly - d.y));
                const Bgr scratch = IsBlack(letter) ? skin.Pixel(lx, ly + skin::kLitRows) : letter;
                if (!IsWhite(scratch)) Put(out, x, scratch);
                break;
            }
        }
    }
    return m_picture;
}
