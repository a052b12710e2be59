#include "render/TextDraw.h"

#include <algorithm>

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

void DrawTextLine(CDibSurface& surface, const std::string& text, int height, int x, int y) {
    if (surface.IsEmpty() || height <= 0) return;
    const QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    const QFont font = PlayerFont(height);
    const QFontMetrics metrics(font);
    const int64_t right = int64_t(x) + metrics.horizontalAdvance(line);
    const int64_t bottom = int64_t(y) + metrics.height();
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = int(std::min<int64_t>(right, surface.Width()));
    const int y1 = int(std::min<int64_t>(bottom, surface.Height()));
    if (x1 <= x0 || y1 <= y0) return;

    // Drawn into a white box of the visible part, then written back as pure black or white,
    // so the display mask, which keys on exact black and white, sees every letter pixel.
    QImage box(x1 - x0, y1 - y0, QImage::Format_RGB32);
    box.fill(Qt::white);
    {
        QPainter painter(&box);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x - x0, y - y0 + metrics.ascent()), line);
    }
    for (int row = 0; row < box.height(); ++row) {
        const QRgb* pixels = reinterpret_cast<const QRgb*>(box.constScanLine(row));
        uint8_t* out = surface.TopRow() + size_t(y0 + row) * size_t(surface.RowBytes()) +
                       size_t(x0) * 3;
        for (int col = 0; col < box.width(); ++col, out += 3)
            out[0] = out[1] = out[2] = qGray(pixels[col]) < 128 ? 0 : 255;
    }
}

std::array<int, 2> DrawTitleLines(CDibSurface& skin, const std::string& line1,
                                  const std::string& line2) {
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

void DrawTitleLines(CDibSurface& skin, const std::string& line1, const std::string& line2,
                    PlayerState& state) {
    const std::array<int, 2> ends = DrawTitleLines(skin, line1, line2);
    state.titleWidth[0] = ends[0] - 4;
    state.titleWidth[1] = ends[1] - 4;
}

void DrawBrowsedName(CDibSurface& skin, const std::string& entryPath) {
    ClearTextStrip(skin, skin::kBrowseStrip.y);
    DrawTextLine(skin, OutsideTextToUtf8(FileNameOf(entryPath)), 12, skin::kTextDrawX,
                 skin::kBrowseTextY);
}

