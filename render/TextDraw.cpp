#include "render/TextDraw.h"

#include <algorithm>
#include <cmath>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "render/Composition.h"
#include "render/SkinLayout.h"

QStringList UiFontFamilies() { return {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")}; }

QFont PlayerFont(int pixelSize) {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setStyle(QFont::StyleNormal);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

namespace {

// Paints a white box of `width` x `height` pixels at (x, y) of the surface with `paint` (given
// the painter and the box's origin in its own coordinates), then writes the visible part back
// as pure black or white, so the display mask, which keys on exact black and white, sees
// every letter pixel. Cut at the surface's edges.
template <typename Paint>
void PaintTextBox(CDibSurface& surface, int x, int y, int64_t width, int64_t height, const Paint& paint) {
    if (surface.IsEmpty()) return;
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = int(std::min<int64_t>(int64_t(x) + width, surface.Width()));
    const int y1 = int(std::min<int64_t>(int64_t(y) + height, surface.Height()));
    if (x1 <= x0 || y1 <= y0) return;
    QImage box(x1 - x0, y1 - y0, QImage::Format_RGB32);
    box.fill(Qt::white);
    {
        QPainter painter(&box);
        painter.setPen(Qt::black);
        paint(painter, QPoint(x - x0, y - y0));
    }
    for (int row = 0; row < box.height(); ++row) {
        const QRgb* pixels = reinterpret_cast<const QRgb*>(box.constScanLine(row));
        uint8_t* out = surface.TopRow() + size_t(y0 + row) * size_t(surface.RowBytes()) + size_t(x0) * 3;
        for (int col = 0; col < box.width(); ++col, out += 3)
            out[0] = out[1] = out[2] = qGray(pixels[col]) < 128 ? 0 : 255;
    }
}

}  // namespace

void DrawTextLine(CDibSurface& surface, const std::string& text, int height, int x, int y) {
    if (height <= 0) return;
    const QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const QFont font = PlayerFont(height);
    const QFontMetrics metrics(font);
    PaintTextBox(surface, x, y, metrics.horizontalAdvance(line), metrics.height(),
                 [&](QPainter& painter, QPoint origin) {
                     painter.setFont(font);
                     painter.drawText(origin + QPoint(0, metrics.ascent()), line);
                 });
}

void DrawTextLineScaled(CDibSurface& surface, const std::string& text, int height, double scale, int x, int y) {
    if (height <= 0 || !(scale > 0.0) || scale > 16.0) return;
    if (scale == 1.0) return DrawTextLine(surface, text, height, x, y);
    const QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const QFontMetrics logical(PlayerFont(height));
    const QFont font = PlayerFont(std::max(1, int(std::lround(height * scale))));
    const QFontMetrics metrics(font);
    const int64_t width = int64_t(std::ceil(logical.horizontalAdvance(line) * scale));
    PaintTextBox(surface, x, y, width, metrics.height(), [&](QPainter& painter, QPoint origin) {
        painter.setFont(font);
        // One character at a time, each where the logical line has it: the drawn line keeps the
        // logical line's width, which the ticker's wrap and the hit areas count in.
        for (qsizetype i = 0; i < line.size();) {
            const qsizetype n = line.at(i).isHighSurrogate() && i + 1 < line.size() ? 2 : 1;
            const int at = int(std::lround(logical.horizontalAdvance(line.left(i)) * scale));
            painter.drawText(origin + QPoint(at, metrics.ascent()), line.mid(i, n));
            i += n;
        }
    });
}

std::array<int, 2> DrawTitleLines(CDibSurface& skin, const std::string& line1, const std::string& line2) {
    const std::string* lines[2] = {&line1, &line2};
    const int strips[2] = {skin::kTitleStrip1.y, skin::kTitleStrip2.y};
    std::array<int, 2> ends{};
    for (int i = 0; i < 2; ++i) {
        ClearTextStrip(skin, strips[i]);
        DrawTextLine(skin, *lines[i], 12, skin::kTextDrawX, skin::kTitleTextY[i]);
        ends[i] = MeasureLine(skin, skin::kTitleMeasureY[i]);
    }
    return ends;
}

void DrawTitleLines(CDibSurface& skin, const std::string& line1, const std::string& line2, PlayerState& state) {
    const std::array<int, 2> ends = DrawTitleLines(skin, line1, line2);
    state.titleWidth[0] = ends[0] - 4;
    state.titleWidth[1] = ends[1] - 4;
}

std::string BrowsedNameText(const std::string& entryPath) { return OutsideTextToUtf8(FileNameOf(entryPath)); }

void DrawBrowsedName(CDibSurface& skin, const std::string& entryPath) {
    ClearTextStrip(skin, skin::kBrowseStrip.y);
    DrawTextLine(skin, BrowsedNameText(entryPath), 12, skin::kTextDrawX, skin::kBrowseTextY);
}
