#pragma once
#include <QFont>
#include <QRect>

// The dialogs' font size: 9 points at 96 dots per inch.
constexpr int kDialogFontPixels = 12;

// Dialog templates are laid out in dialog units: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height. The
// average width is the width of the 52 letters A..Z a..z divided by 52, rounded, so the
// templates keep their proportions in any font. Every dialog and auxiliary window uses it.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    // Units to pixels, rounded to the nearest pixel (halves away from zero).
    int X(int units) const;
    int Y(int units) const;
    // A template rectangle: position and size are converted each on its own, as a template
    // is, so neighbouring controls of equal size come out equal.
    QRect Rect(int x, int y, int width, int height) const;

private:
    int m_baseX;
    int m_baseY;
};
