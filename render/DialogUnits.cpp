#include "render/DialogUnits.h"

#include <algorithm>

#include <QFontMetrics>
#include <QString>

namespace {
// units * base / divisor, rounded half away from zero.
int Scale(int units, int base, int divisor) {
    const long long product = 2LL * units * base;
    const long long rounded =
        product >= 0 ? (product + divisor) / (2LL * divisor) : (product - divisor) / (2LL * divisor);
    return int(rounded);
}
}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    m_baseY = std::max(1, metrics.height());
}

int DialogUnits::X(int units) const { return Scale(units, m_baseX, 4); }
int DialogUnits::Y(int units) const { return Scale(units, m_baseY, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }
