// Draws the built-in skin and the application icon:
//   <out>/skin.bmp    640 x 400, 24-bit, the layout of render/SkinLayout.h
//   <out>/velkaf.png  256 x 256 application icon
// Usage: velkaf-skingen <output folder>     (the repository's res/ folder)
//        velkaf-skingen --icons <theme folder> <icon name>
//                 the icon at every hicolor size: <theme folder>/<n>x<n>/apps/<icon name>.png
//
// The player is drawn whole several times in different states (rest, everything lit, grey
// play, ...) and each state image the layout asks for is cut from the drawing in which it
// sits at its own place, so every copied rectangle matches the pixels around its target.
// Everything is drawn pixel by pixel from the tables below: no fonts, no antialiasing in the
// skin, so the labels stay crisp at 1:1 and the output is the same on every machine.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "render/DibSurface.h"
#include "render/SkinLayout.h"
#include "render/WindowShape.h"
#include "state/PlayerState.h"

namespace {

using skin::Rect;

// ---------------------------------------------------------------- palette

QColor Hex(uint32_t rgb) { return QColor::fromRgb(QRgb(0xFF000000u | rgb)); }

QColor Mix(const QColor& a, const QColor& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgb(int(std::lround(a.red() + (b.red() - a.red()) * t)),
                           int(std::lround(a.green() + (b.green() - a.green()) * t)),
                           int(std::lround(a.blue() + (b.blue() - a.blue()) * t)));
}

QColor Shade(const QColor& c, int delta) {
    return QColor::fromRgb(std::clamp(c.red() + delta, 0, 255), std::clamp(c.green() + delta, 0, 255),
                           std::clamp(c.blue() + delta, 0, 255));
}

// Graphite body, aqua light, one warm accent for POWER.
const QColor kBackdrop = Hex(0x121317);  // outside the window and unused areas
const QColor kOutline = Hex(0x07080A);
const QColor kBodyTop = Hex(0x474E59);
const QColor kBodyBottom = Hex(0x2A2F37);
const QColor kBevelLight = Hex(0x6C7683);
const QColor kBevelDark = Hex(0x191B20);
const QColor kPlate = Hex(0x24282F);  // recessed plates
const QColor kRecess = Hex(0x101216);
const QColor kGlassTop = Hex(0x0B2026);
const QColor kGlassBottom = Hex(0x06161B);
const QColor kGhost = Hex(0x12343B);
const QColor kAqua = Hex(0x7CF6E6);  // lit display elements
const QColor kAquaBright = Hex(0xB4FFF7);
const QColor kAquaSoft = Hex(0x5BCFC3);  // PLAY while playing
const QColor kFaceTop = Hex(0x58616F);
const QColor kFaceBottom = Hex(0x363C46);
const QColor kFaceHighlight = Hex(0x8893A3);
const QColor kFaceShade = Hex(0x22262C);
const QColor kLabel = Hex(0xC9D0DA);
const QColor kIcon = Hex(0xE0E6EE);
const QColor kGreyInk = Hex(0x6B737F);
const QColor kLitFaceTop = Hex(0x1F5A5D);
const QColor kLitFaceBottom = Hex(0x123A3E);
const QColor kLitRim = Hex(0x44B9B0);
const QColor kLitInk = Hex(0x9DFFF4);
const QColor kPowerInk = Hex(0xE8705F);
const QColor kPowerLitTop = Hex(0x6A2A22);
const QColor kPowerLitBottom = Hex(0x431915);
const QColor kPowerLitRim = Hex(0xE07A62);
const QColor kPowerLitInk = Hex(0xFFB19E);
const QColor kKnobLight = Hex(0xE2E7EC);
const QColor kKnobDark = Hex(0x8A93A0);

// ---------------------------------------------------------------- canvas

class Canvas {
public:
    Canvas(int w, int h, const QColor& fill) : m_img(w, h, QImage::Format_RGB32) { m_img.fill(fill); }
    int Width() const { return m_img.width(); }
    int Height() const { return m_img.height(); }
    void Px(int x, int y, const QColor& c) {
        if (x >= 0 && y >= 0 && x < m_img.width() && y < m_img.height()) m_img.setPixel(x, y, c.rgb());
    }
    QColor At(int x, int y) const { return QColor::fromRgb(m_img.pixel(x, y)); }
    void Fill(int x, int y, int w, int h, const QColor& c) {
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx) Px(xx, yy, c);
    }
    // Copies a rectangle of another canvas to (dx, dy) of this one.
    void Blit(const Canvas& from, const Rect& r, int dx, int dy) {
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x) Px(dx + x, dy + y, from.At(r.x + x, r.y + y));
    }
    const QImage& Image() const { return m_img; }

private:
    QImage m_img;
};

uint32_t Hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}
// A small fixed noise in -range..range for a pixel.
int Noise(int x, int y, int range) {
    return int(Hash(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u) % uint32_t(2 * range + 1)) - range;
}

// ---------------------------------------------------------------- pixel fonts

using Bitmap = std::vector<std::string>;  // '#' = ink

// Capitals 5 rows high; I is one column wide so that TIME fits its 15-pixel label.
const std::map<char, Bitmap>& TinyFont() {
    static const std::map<char, Bitmap> font = {
        {'A', {"###", "#.#", "###", "#.#", "#.#"}},
        {'B', {"##.", "#.#", "##.", "#.#", "##."}},
        {'C', {"###", "#..", "#..", "#..", "###"}},
        {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
        {'E', {"###", "#..", "##.", "#..", "###"}},
        {'F', {"###", "#..", "##.", "#..", "#.."}},
        {'G', {"###", "#..", "#.#", "#.#", "###"}},
        {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
        {'I', {"#", "#", "#", "#", "#"}},
        {'K', {"#.#", "#.#", "##.", "#.#", "#.#"}},
        {'L', {"#..", "#..", "#..", "#..", "###"}},
        {'M', {"#...#", "##.##", "#.#.#", "#...#", "#...#"}},
        {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}},
        {'O', {"###", "#.#", "#.#", "#.#", "###"}},
        {'P', {"###", "#.#", "###", "#..", "#.."}},
        {'R', {"###", "#.#", "##.", "#.#", "#.#"}},
        {'S', {"###", "#..", "###", "..#", "###"}},
        {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
        {'U', {"#.#", "#.#", "#.#", "#.#", "###"}},
        {'V', {"#.#", "#.#", "#.#", "#.#", ".#."}},
        {'W', {"#...#", "#...#", "#.#.#", "##.##", "#...#"}},
        {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}},
        {'Y', {"#.#", "#.#", ".#.", ".#.", ".#."}},
        {'Z', {"###", "..#", ".#.", "#..", "###"}},
        {'m', {".....", "##.#.", "#.#.#", "#.#.#", "#.#.#"}},
        {' ', {"..", "..", "..", "..", ".."}},
    };
    return font;
}

// Capitals 4 rows high, for the TOTAL and TRACK labels (4-row rectangle).
const std::map<char, Bitmap>& Tiny4Font() {
    static const std::map<char, Bitmap> font = {
        {'A', {"###", "#.#", "###", "#.#"}}, {'C', {"###", "#..", "#..", "###"}}, {'K', {"#.#", "##.", "#.#", "#.#"}},
        {'L', {"#..", "#..", "#..", "###"}}, {'O', {"###", "#.#", "#.#", "###"}}, {'R', {"###", "#.#", "##.", "#.#"}},
        {'T', {"###", ".#.", ".#.", ".#."}},
    };
    return font;
}

// The logo's letters, 6 x 9 with two-pixel strokes.
const std::map<char, Bitmap>& LogoFont() {
    static const std::map<char, Bitmap> font = {
        {'V', {"##..##", "##..##", "##..##", "##..##", "##..##", ".#..#.", ".####.", "..##..", "..##.."}},
        {'E', {"######", "######", "##....", "##....", "#####.", "##....", "##....", "######", "######"}},
        {'L', {"##....", "##....", "##....", "##....", "##....", "##....", "##....", "######", "######"}},
        {'K', {"##..##", "##.##.", "####..", "###...", "###...", "####..", "##.##.", "##..##", "##..##"}},
        {'A', {".####.", "######", "##..##", "##..##", "######", "######", "##..##", "##..##", "##..##"}},
        {'F', {"######", "######", "##....", "##....", "#####.", "##....", "##....", "##....", "##...."}},
    };
    return font;
}

int TextWidth(const std::map<char, Bitmap>& font, const std::string& text) {
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        w += int(font.at(text[i])[0].size());
        if (i + 1 < text.size()) w += 1;
    }
    return w;
}

void DrawBitmap(Canvas& c, int x, int y, const Bitmap& b, const QColor& ink) {
    for (int r = 0; r < int(b.size()); ++r)
        for (int k = 0; k < int(b[r].size()); ++k)
            if (b[r][k] == '#') c.Px(x + k, y + r, ink);
}

void DrawText(Canvas& c, const std::map<char, Bitmap>& font, int x, int y, const std::string& text, const QColor& ink) {
    for (char ch : text) {
        const Bitmap& b = font.at(ch);
        DrawBitmap(c, x, y, b, ink);
        x += int(b[0].size()) + 1;
    }
}

int BitmapWidth(const Bitmap& b) { return int(b[0].size()); }

// ---------------------------------------------------------------- icons

const Bitmap kIconPlay = {"#....", "##...", "###..", "####.", "#####", "####.", "###..", "##...", "#...."};
const Bitmap kIconStop = {"#######", "#######", "#######", "#######", "#######", "#######", "#######"};
const Bitmap kIconPause = {"##..##", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##"};
const Bitmap kIconEject = {"...#...", "..###..", ".#####.", "#######", ".......", "#######", "#######"};
const Bitmap kIconRew = {"...#...#", "..##..##", ".###.###", "########", ".###.###", "..##..##", "...#...#"};
const Bitmap kIconFf = {"#...#...", "##..##..", "###.###.", "########", "###.###.", "##..##..", "#...#..."};
const Bitmap kIconBack = {"#...#...#", "#..##..##", "#.###.###", "#########", "#.###.###", "#..##..##", "#...#...#"};
const Bitmap kIconNext = {"#...#...#", "##..##..#", "###.###.#", "#########", "###.###.#", "##..##..#", "#...#...#"};
const Bitmap kIconPower = {"...#...", ".#.#.#.", "#..#..#", "#.....#", "#.....#", ".#...#.", "..###.."};
const Bitmap kIconMinus = {"#####"};
const Bitmap kIconPlus = {"..#..", "..#..", "#####", "..#..", "..#.."};
const Bitmap kIconMinimise = {"#####", "#####"};
const Bitmap kPercent = {"##..#", "##.#.", "..#..", ".#.##", "#..##"};

// ---------------------------------------------------------------- display glyphs

// Seven segments a..g of a glyph cell w x h (6 x 13 or 6 x 11), one pixel thick.
std::vector<std::pair<int, int>> Segment(char seg, int h) {
    const int mid = (h - 1) / 2;
    std::vector<std::pair<int, int>> px;
    auto hline = [&](int y) {
        for (int x = 1; x <= 4; ++x) px.push_back({x, y});
    };
    auto vline = [&](int x, int y0, int y1) {
        for (int y = y0; y <= y1; ++y) px.push_back({x, y});
    };
    switch (seg) {
    case 'a': hline(0); break;
    case 'b': vline(5, 1, mid - 1); break;
    case 'c': vline(5, mid + 1, h - 2); break;
    case 'd': hline(h - 1); break;
    case 'e': vline(0, mid + 1, h - 2); break;
    case 'f': vline(0, 1, mid - 1); break;
    case 'g': hline(mid); break;
    }
    return px;
}

const char* kDigitSegments[10] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                                  "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};

// Marks after hours, minutes and seconds: small h, m, s standing on the baseline.
Bitmap MarkBitmap(int glyph) {
    if (glyph == skin::kGlyphHour) return {"#...", "#...", "###.", "#..#", "#..#", "#..#"};
    if (glyph == skin::kGlyphMinute) return {"##.#.", "#.#.#", "#.#.#", "#.#.#"};
    return {".###", "#...", ".##.", "...#", "###."};
}

QColor GlassAt(int y) {
    // The glass runs from row 19 to row 69; the digit rows (55..67) must not vary along x.
    return Mix(kGlassTop, kGlassBottom, (y - 19) / 50.0);
}

// Draws glyph `g` into a cell whose top-left is (x, y) on the canvas, with the glass of the
// rows it will be shown on (shownY = the row the cell's top lands on in the window).
void DrawGlyph(Canvas& c, int x, int y, int g, int h, int shownY, bool ghostOnly) {
    for (int r = 0; r < h; ++r)
        for (int k = 0; k < skin::kGlyphWidth; ++k) c.Px(x + k, y + r, GlassAt(shownY + r));
    std::vector<std::pair<int, int>> lit;
    if (g <= 9) {
        for (char seg : std::string("abcdefg")) {
            const bool on = !ghostOnly && std::string(kDigitSegments[g]).find(seg) != std::string::npos;
            for (auto [px, py] : Segment(seg, h)) {
                if (on) lit.push_back({px, py});
                else c.Px(x + px, y + py, kGhost);
            }
        }
    } else if (g == skin::kGlyphMinus) {
        for (auto [px, py] : Segment('g', h)) {
            if (ghostOnly) c.Px(x + px, y + py, kGhost);
            else lit.push_back({px, py});
        }
    } else {
        const Bitmap b = MarkBitmap(g);
        const int top = h - int(b.size());
        const int left = (skin::kGlyphWidth - BitmapWidth(b)) / 2;
        for (int r = 0; r < int(b.size()); ++r)
            for (int k = 0; k < BitmapWidth(b); ++k)
                if (b[r][k] == '#') lit.push_back({left + k, top + r});
    }
    // A faint halo around lit segments, inside the cell, so they read as glowing.
    for (auto [px, py] : lit)
        for (auto [ox, oy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int hx = px + ox, hy = py + oy;
            if (hx < 0 || hy < 0 || hx >= skin::kGlyphWidth || hy >= h) continue;
            const QColor under = c.At(x + hx, y + hy);
            if (under == GlassAt(shownY + hy)) c.Px(x + hx, y + hy, Mix(under, kAqua, 0.22));
        }
    for (auto [px, py] : lit) c.Px(x + px, y + py, kAqua);
}

// ---------------------------------------------------------------- the player

enum class Btn {
    Normal,       // at rest
    Lit,          // pressed and lit
    LitRaised,    // lit, not pressed (STILL while paused)
    Grey,         // unavailable (PLAY while closed or paused)
    PressedGrey,  // pressed, not lit (STILL pressed while closed or paused)
    Active,       // at rest, showing that it runs (PLAY while playing)
};

struct Look {
    Btn config = Btn::Normal, power = Btn::Normal, file = Btn::Normal, stop = Btn::Normal, still = Btn::Normal,
        rew = Btn::Normal, play = Btn::Active, ff = Btn::Normal, back = Btn::Normal, next = Btn::Normal,
        full = Btn::Normal;
    bool zoomMinus = false, zoomPlus = false;
    bool repeat = false, shuffle = false;
    bool index = false, totalTrack = true, time = true, frame = false, mms = false, percent = false;
    bool logoActive = true;
    bool displayBackdrop = false;  // the lit colour that the title letters take
    int seekKnob = -1;             // knob positions, -1 for none
    int volumeKnob = -1;
};

QColor BodyAt(int x, int y) {
    QColor base = Mix(kBodyTop, kBodyBottom, y / 90.0);
    // Fine horizontal brushing: a per-row streak and a faint per-pixel grain.
    return Shade(base, Noise(0, y, 2) + Noise(x / 3, y, 1));
}

void DrawBody(Canvas& c) {
    for (int y = 0; y < 91; ++y)
        for (int x = 0; x < kMainWindowWidth; ++x) {
            const bool body = y <= 87;
            const bool tab = (y >= 88 && y <= 90) && ((x >= 8 && x <= 72) || (x >= 248 && x <= 312));
            if (body || tab) c.Px(x, y, BodyAt(x, y));
        }
    // Outline along the edge of the window's shape: body, then around the two tabs.
    for (int x = 0; x <= 320; ++x) c.Px(x, 0, kOutline);
    for (int y = 0; y <= 87; ++y) {
        c.Px(0, y, kOutline);
        c.Px(320, y, kOutline);
    }
    for (int x = 0; x <= 320; ++x) {
        const bool underTab = (x >= 9 && x <= 71) || (x >= 249 && x <= 311);
        if (!underTab) c.Px(x, 87, kOutline);
    }
    for (int left : {8, 248}) {
        for (int y = 87; y <= 90; ++y) {
            c.Px(left, y, kOutline);
            c.Px(left + 64, y, kOutline);
        }
        for (int x = left; x <= left + 64; ++x) c.Px(x, 90, kOutline);
        for (int x = left + 1; x <= left + 63; ++x) c.Px(x, 89, Shade(BodyAt(x, 89), -8));
        // Grip lines on the tab.
        for (int x = left + 24; x <= left + 40; x += 2) c.Px(x, 88, Shade(BodyAt(x, 88), -14));
    }
    // Bevel: light along the top and left, dark along the bottom and right.
    for (int x = 1; x <= 319; ++x) c.Px(x, 1, kBevelLight);
    for (int y = 1; y <= 86; ++y) c.Px(1, y, Shade(kBevelLight, -18));
    for (int y = 2; y <= 86; ++y) c.Px(319, y, kBevelDark);
    for (int x = 2; x <= 319; ++x) {
        const bool underTab = (x >= 9 && x <= 71) || (x >= 249 && x <= 311);
        if (!underTab) c.Px(x, 86, kBevelDark);
    }
}

// A recessed plate: darker face, shadow on its top and left inner edge, light on the outer
// bottom and right.
void DrawPlate(Canvas& c, int x, int y, int w, int h, const QColor& face) {
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx) c.Px(xx, yy, Shade(face, Noise(xx / 3, yy, 1)));
    for (int xx = x; xx < x + w; ++xx) {
        c.Px(xx, y, Shade(face, -12));
        c.Px(xx, y + h, Shade(BodyAt(xx, y + h), 14));
    }
    for (int yy = y; yy < y + h; ++yy) {
        c.Px(x, yy, Shade(face, -12));
        c.Px(x + w, yy, Shade(BodyAt(x + w, yy), 14));
    }
}

void DrawGrip(Canvas& c) {
    // Ridges on the left edge.
    for (int y = 8; y <= 80; y += 3)
        for (int x = 3; x <= 9; ++x) {
            c.Px(x, y, Shade(BodyAt(x, y), -20));
            c.Px(x, y + 1, Shade(BodyAt(x, y + 1), 12));
        }
    // A speaker grill on the right edge.
    DrawPlate(c, 307, 19, 10, 64, kPlate);
    for (int y = 21; y <= 80; y += 3)
        for (int x = 309; x <= 315; x += 3) {
            c.Px(x, y, kRecess);
            c.Px(x + 1, y, Shade(kRecess, 8));
            c.Px(x, y + 1, Shade(kPlate, 18));
        }
}

struct Ink {
    QColor label, icon;
};

Ink InkFor(Btn st, bool power) {
    switch (st) {
    case Btn::Lit:
    case Btn::LitRaised: return power ? Ink{kPowerLitInk, kPowerLitInk} : Ink{kLitInk, kLitInk};
    case Btn::Grey:
    case Btn::PressedGrey: return {kGreyInk, kGreyInk};
    case Btn::Active: return {kLabel, kAquaSoft};
    case Btn::Normal: break;
    }
    return {kLabel, power ? kPowerInk : kIcon};
}

bool Pressed(Btn st) { return st == Btn::Lit || st == Btn::PressedGrey; }
bool LitFace(Btn st) { return st == Btn::Lit || st == Btn::LitRaised; }

// A key with a one-pixel outline and cut corners. Its face runs x0..x1, y0..y1 inclusive.
void DrawKeyFace(Canvas& c, int x0, int y0, int x1, int y1, Btn st, bool power) {
    const bool lit = LitFace(st), pressed = Pressed(st);
    const QColor top = lit ? (power ? kPowerLitTop : kLitFaceTop) : kFaceTop;
    const QColor bottom = lit ? (power ? kPowerLitBottom : kLitFaceBottom) : kFaceBottom;
    const int h = y1 - y0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const bool corner = (x == x0 || x == x1) && (y == y0 || y == y1);
            if (corner) continue;  // the plate shows through: rounded look
            const bool edge = x == x0 || x == x1 || y == y0 || y == y1;
            if (edge) {
                c.Px(x, y, kOutline);
                continue;
            }
            double t = h > 0 ? double(y - y0) / h : 0;
            if (pressed) t = 1.0 - t * 0.6;  // pressed keys are darker and flatter
            c.Px(x, y, Mix(top, bottom, t));
        }
    // Inner bevel: raised keys catch light on top, pressed ones in the bottom.
    const QColor rim = power ? kPowerLitRim : kLitRim;
    for (int x = x0 + 1; x <= x1 - 1; ++x) {
        if (lit) {
            c.Px(x, y0 + 1, pressed ? Shade(bottom, -10) : rim);
            c.Px(x, y1 - 1, pressed ? rim : Shade(bottom, -8));
        } else {
            c.Px(x, y0 + 1, pressed ? kFaceShade : kFaceHighlight);
            c.Px(x, y1 - 1, pressed ? Shade(kFaceBottom, 10) : kFaceShade);
        }
    }
    for (int y = y0 + 2; y <= y1 - 2; ++y) {
        const QColor side = lit ? Mix(c.At(x0 + 1, y), rim, 0.55) : Shade(c.At(x0 + 1, y), pressed ? -10 : 12);
        c.Px(x0 + 1, y, side);
        c.Px(x1 - 1, y, lit ? Mix(c.At(x1 - 1, y), rim, 0.35) : Shade(c.At(x1 - 1, y), pressed ? 6 : -10));
    }
}

// Ink with a soft halo on lit keys.
void DrawInk(Canvas& c, int x, int y, const Bitmap& b, const QColor& ink, bool glow) {
    if (glow) {
        for (int r = 0; r < int(b.size()); ++r)
            for (int k = 0; k < BitmapWidth(b); ++k) {
                if (b[r][k] != '#') continue;
                for (auto [ox, oy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                    const int rr = r + oy, kk = k + ox;
                    const bool inside = rr >= 0 && kk >= 0 && rr < int(b.size()) && kk < BitmapWidth(b);
                    if (inside && b[rr][kk] == '#') continue;
                    c.Px(x + kk, y + rr, Mix(c.At(x + kk, y + rr), ink, 0.18));
                }
            }
    }
    DrawBitmap(c, x, y, b, ink);
}

Bitmap TextBitmap(const std::map<char, Bitmap>& font, const std::string& text) {
    const int h = int(font.begin()->second.size());
    Bitmap b(h, std::string(TextWidth(font, text), '.'));
    int x = 0;
    for (char ch : text) {
        const Bitmap& g = font.at(ch);
        for (int r = 0; r < h; ++r)
            for (int k = 0; k < BitmapWidth(g); ++k)
                if (g[r][k] == '#') b[r][x + k] = '#';
        x += BitmapWidth(g) + 1;
    }
    return b;
}

// A key with an icon above its label (tall keys), or side by side (flat keys); either may be
// missing.
void DrawKey(Canvas& c, const Rect& r, Btn st, const Bitmap* icon, const std::string& label, bool power = false,
             int faceInsetLeft = 0) {
    const int x0 = r.x + faceInsetLeft, y0 = r.y, x1 = r.x + r.w - 1, y1 = r.y + r.h - 1;
    DrawKeyFace(c, x0, y0, x1, y1, st, power);
    const Ink ink = InkFor(st, power);
    const bool glow = LitFace(st);
    const int shift = Pressed(st) ? 1 : 0;
    const Bitmap text = label.empty() ? Bitmap{} : TextBitmap(TinyFont(), label);
    const int cx = (x0 + x1 + 1) / 2;
    if (r.h >= 18) {
        const int ih = icon ? int(icon->size()) : 0;
        const int gap = (icon && !label.empty()) ? 3 : 0;
        const int total = ih + gap + (label.empty() ? 0 : 5);
        int y = y0 + (r.h - total) / 2 + shift;
        if (icon) {
            DrawInk(c, cx - BitmapWidth(*icon) / 2, y, *icon, ink.icon, glow);
            y += ih + gap;
        }
        if (!label.empty()) DrawInk(c, cx - BitmapWidth(text) / 2, y, text, ink.label, glow);
    } else {
        const int iw = icon ? BitmapWidth(*icon) : 0;
        const int gap = (icon && !label.empty()) ? 4 : 0;
        const int total = iw + gap + (label.empty() ? 0 : BitmapWidth(text));
        int x = cx - total / 2 + shift;
        if (icon) {
            DrawInk(c, x, y0 + (r.h - int(icon->size())) / 2 + shift, *icon, ink.icon, glow);
            x += iw + gap;
        }
        if (!label.empty()) DrawInk(c, x, y0 + (r.h - 5) / 2 + shift, text, ink.label, glow);
    }
}

// REPEAT and SHUFFLE: a flat key whose face and label light while the mode is on.
void DrawIndicator(Canvas& c, const Rect& r, bool on, const std::string& label) {
    DrawKeyFace(c, r.x, r.y, r.x + r.w - 1, r.y + r.h - 1, on ? Btn::LitRaised : Btn::Normal, false);
    const Bitmap text = TextBitmap(TinyFont(), label);
    DrawInk(c, r.x + (r.w - BitmapWidth(text) + 1) / 2, r.y + (r.h - 5) / 2, text, on ? kAquaBright : Hex(0x97A0AC),
            on);
}

void DrawZoom(Canvas& c, bool minusLit, bool plusLit) {
    const Rect& z = skin::kZoom;
    const int mid = z.x + 19;  // minus half 140..158, plus half 159..177
    DrawKeyFace(c, z.x, z.y, mid - 1, z.y + z.h - 1, minusLit ? Btn::Lit : Btn::Normal, false);
    DrawKeyFace(c, mid, z.y, z.x + z.w - 1, z.y + z.h - 1, plusLit ? Btn::Lit : Btn::Normal, false);
    const int sm = minusLit ? 1 : 0, sp = plusLit ? 1 : 0;
    DrawInk(c, z.x + 7, z.y + 6 + sm, kIconMinus, minusLit ? kLitInk : kIcon, minusLit);
    DrawInk(c, mid + 7, z.y + 4 + sp, kIconPlus, plusLit ? kLitInk : kIcon, plusLit);
}

void DrawSlot(Canvas& c, int x0, int x1, int y0, int h) {
    // Uniform along x between its caps, so a knob cut anywhere in it matches everywhere.
    const int y1 = y0 + h - 1;
    const int mid = y0 + h / 2;
    for (int x = x0; x <= x1; ++x)
        for (int y = y0; y <= y1; ++y) {
            QColor col;
            if (y == y0) col = Shade(kRecess, -4);
            else if (y == y1) col = Shade(kBodyBottom, 26);
            else if (std::abs(y - mid) <= 1) col = Hex(0x050607);
            else col = Mix(kRecess, kPlate, double(std::abs(y - mid)) / h);
            const bool cap = x == x0 || x == x1;
            if (cap) col = (y == y0 || y == y1) ? BodyAt(x, y) : Shade(kRecess, -2);
            c.Px(x, y, col);
        }
    // The aqua groove line that the knob rides on.
    for (int x = x0 + 2; x <= x1 - 2; ++x) c.Px(x, mid, Hex(0x0F3034));
}

void DrawKnob(Canvas& c, int x, int y, int w, int h) {
    for (int yy = 0; yy < h; ++yy)
        for (int xx = 0; xx < w; ++xx) {
            const bool corner = (xx == 0 || xx == w - 1) && (yy == 0 || yy == h - 1);
            if (corner) continue;
            const bool edge = xx == 0 || xx == w - 1 || yy == 0 || yy == h - 1;
            QColor col = edge ? kOutline : Mix(kKnobLight, kKnobDark, double(yy) / (h - 1));
            if (!edge && yy == 1) col = Hex(0xF4F7FA);
            if (!edge && yy == h - 2) col = Hex(0x6E7783);
            c.Px(x + xx, y + yy, col);
        }
    // Grip lines and the aqua index mark in the middle.
    const int cx = x + w / 2;
    for (int yy = 2; yy <= h - 3; ++yy) {
        c.Px(cx, y + yy, Hex(0x3FD0C2));
        if (w > 16) {
            c.Px(cx - 4, y + yy, Hex(0x757E8A));
            c.Px(cx + 4, y + yy, Hex(0x757E8A));
        }
    }
}

void DrawLogo(Canvas& c, bool active) {
    const std::string word = "VELKAF";
    const Rect& r = skin::kLogo;
    const int rows = 9;
    const int width = TextWidth(LogoFont(), word) + 2;  // + italic lean
    const int left = r.x + (r.w - width) / 2;
    const int top = r.y + 4;
    auto slant = [&](int row) { return (rows - 1 - row) / 4; };
    // Shadow first, then the letters with a top-to-bottom gradient.
    for (int pass = 0; pass < 2; ++pass) {
        int x = left;
        for (char ch : word) {
            const Bitmap& b = LogoFont().at(ch);
            for (int row = 0; row < rows; ++row)
                for (int k = 0; k < BitmapWidth(b); ++k) {
                    if (b[row][k] != '#') continue;
                    const int px = x + k + slant(row), py = top + row;
                    if (pass == 0) {
                        c.Px(px + 1, py + 1, kOutline);
                    } else {
                        const double t = double(row) / (rows - 1);
                        c.Px(px, py,
                             active ? Mix(Hex(0xB8FFF7), Hex(0x2FA6BC), t) : Mix(Hex(0x7A828D), Hex(0x4A515B), t));
                    }
                }
            x += BitmapWidth(b) + 1;
        }
    }
}

void DrawDisplay(Canvas& c, const Look& look) {
    // Bezel and glass.
    for (int y = 17; y <= 71; ++y)
        for (int x = 55; x <= 205; ++x) {
            const bool outer = y == 17 || y == 71 || x == 55 || x == 205;
            if ((x == 55 || x == 205) && (y == 17 || y == 71)) continue;
            c.Px(x, y, outer ? kOutline : Hex(0x0A0C0F));
        }
    for (int x = 56; x <= 205; ++x) c.Px(x, 72, Shade(BodyAt(x, 72), 16));
    for (int y = 19; y <= 69; ++y)
        for (int x = 57; x <= 203; ++x) {
            QColor g = GlassAt(y);
            // A faint reflection across the upper left of the glass, above the digits.
            const int d = (x - 57) + 2 * (y - 19);
            if (y < 47 && d > 18 && d < 58) g = Shade(g, 5);
            c.Px(x, y, g);
        }
    // INDEX over the title line.
    DrawText(c, TinyFont(), skin::kIndexLabel.x, skin::kIndexLabel.y, "INDEX", look.index ? kAqua : kGhost);
    // The lit backdrop, where the title letters take their colour from.
    if (look.displayBackdrop) {
        const Rect& d = skin::kDisplayLine;
        for (int y = 0; y < d.h; ++y) {
            const double t = std::abs(y - 9) / 9.0;
            const QColor row = Mix(kAquaBright, Hex(0x4FD3C6), t);
            for (int x = 0; x < d.w; ++x) c.Px(d.x + x, d.y + y, row);
        }
    }
    // A hairline under the title line.
    for (int x = 60; x <= 200; x += 2) c.Px(x, 47, kGhost);

    DrawText(c, Tiny4Font(), 72, skin::kTotalTrackLabels.y, "TOTAL", look.totalTrack ? kAqua : kGhost);
    DrawText(c, Tiny4Font(), 101, skin::kTotalTrackLabels.y, "TRACK", look.totalTrack ? kAqua : kGhost);
    DrawBitmap(c, skin::kPercentSign.x, skin::kPercentSign.y + 1, kPercent, look.percent ? kAqua : kGhost);
    DrawText(c, TinyFont(), skin::kTimeLabel.x, skin::kTimeLabel.y, "TIME", look.time ? kAqua : kGhost);
    DrawText(c, TinyFont(), 158, skin::kTimeLabel.y, "FRAME", look.frame ? kAqua : kGhost);
    DrawText(c, TinyFont(), skin::kMmsLabel.x, skin::kMmsLabel.y, "mmS", look.mms ? kAqua : kGhost);

    // Unlit cells: every segment dark, as a real display shows them.
    for (int x : skin::kCountX) DrawGlyph(c, x, skin::kCounterY, 8, skin::kSmallGlyphHeight, skin::kCounterY, true);
    for (int x : skin::kIndexX) DrawGlyph(c, x, skin::kCounterY, 8, skin::kSmallGlyphHeight, skin::kCounterY, true);
    DrawGlyph(c, skin::kCounterMinusX, skin::kCounterY, skin::kGlyphMinus, skin::kSmallGlyphHeight, skin::kCounterY,
              true);
    DrawGlyph(c, skin::kTimeMinusX, skin::kTimeY, skin::kGlyphMinus, skin::kLargeGlyphHeight, skin::kTimeY, true);
    for (int i = 0; i < 8; ++i)
        DrawGlyph(c, skin::kTimeCellX + skin::kTimeCellPitch * i, skin::kTimeY, 8, skin::kLargeGlyphHeight,
                  skin::kTimeY, true);
}

Canvas RenderPlayer(const Look& look) {
    Canvas c(skin::kUnlitPlayer.w, skin::kUnlitPlayer.h, kBackdrop);
    DrawBody(c);
    DrawGrip(c);
    DrawPlate(c, 14, 18, 42, 47, kPlate);        // behind CONFIG, REPEAT and SHUFFLE
    DrawPlate(c, 205, 16, 100, 72 - 2, kPlate);  // behind the transport keys
    DrawPlate(c, 137, 71, 70, 16, kPlate);       // behind zoom and FULL
    DrawSlot(c, 60, 292, skin::kPositionKnobY, 11);
    DrawSlot(c, 59, 136, skin::kVolumeKnobY, 9);
    // Position scale under its slot: the knob's middle at the start, quarters and end.
    for (int i = 0; i <= 4; ++i) {
        const int x = skin::kPositionKnobX + skin::kPositionKnob.w / 2 + i * kSeekBarWidth / 4;
        for (int y = 14; y <= 15; ++y) c.Px(x, y, Shade(BodyAt(x, y), i % 2 == 0 ? 30 : 18));
    }
    // Volume scale under its slot.
    for (int i = 0; i <= 8; ++i) {
        const int x = 66 + i * 8;
        const int len = i % 4 == 0 ? 2 : 1;
        for (int k = 0; k < len; ++k) c.Px(x, 85 - k, Shade(BodyAt(x, 85), 30));
    }
    DrawDisplay(c, look);
    DrawLogo(c, look.logoActive);

    DrawKey(c, skin::kConfig, look.config, nullptr, "CONFIG");
    DrawIndicator(c, skin::kRepeat, look.repeat, "REPEAT");
    DrawIndicator(c, skin::kShuffle, look.shuffle, "SHUFFLE");
    DrawKey(c, skin::kPower, look.power, &kIconPower, "POWER", true);

    DrawKey(c, skin::kFile, look.file, &kIconEject, "FILE");
    DrawKey(c, skin::kStop, look.stop, &kIconStop, "STOP");
    DrawKey(c, skin::kStill, look.still, &kIconPause, "STILL");
    DrawKey(c, skin::kRew, look.rew, &kIconRew, "REW");
    // PLAY's left column stays a gap beside REW; grey play is cut without it.
    DrawKey(c, skin::kPlay, look.play, &kIconPlay, "PLAY", false, 1);
    DrawKey(c, skin::kFf, look.ff, &kIconFf, "FF");
    DrawKey(c, skin::kBack, look.back, &kIconBack, "BACK");
    DrawKey(c, skin::kNext, look.next, &kIconNext, "NEXT");
    DrawZoom(c, look.zoomMinus, look.zoomPlus);
    DrawKey(c, skin::kFull, look.full, nullptr, "FULL");
    DrawKey(c, skin::kMinimise, Btn::Normal, &kIconMinimise, "");

    if (look.seekKnob >= 0)
        DrawKnob(c, skin::kPositionKnobX + look.seekKnob, skin::kPositionKnobY, skin::kPositionKnob.w,
                 skin::kPositionKnob.h);
    if (look.volumeKnob >= 0)
        DrawKnob(c, skin::kVolumeKnobX + look.volumeKnob, skin::kVolumeKnobY, skin::kVolumeKnob.w, skin::kVolumeKnob.h);
    return c;
}

Look LitLook() {
    Look l;
    l.config = l.power = l.file = l.stop = l.still = l.rew = l.play = l.ff = l.back = l.next = l.full = Btn::Lit;
    l.zoomMinus = l.zoomPlus = true;
    l.repeat = l.shuffle = true;
    l.index = true;
    l.totalTrack = false;  // the lit skin holds the switched-off forms of TOTAL/TRACK and TIME
    l.time = false;
    l.frame = l.mms = l.percent = true;
    l.logoActive = false;  // and the logo of an inactive window
    l.displayBackdrop = true;
    return l;
}

Rect At(const Rect& r, int dx, int dy) { return {r.x + dx, r.y + dy, r.w, r.h}; }

Canvas BuildSkin() {
    Canvas s(skin::kWidth, skin::kHeight, kBackdrop);
    const Canvas unlit = RenderPlayer(Look{});
    const Canvas lit = RenderPlayer(LitLook());
    s.Blit(unlit, {0, 0, skin::kUnlitPlayer.w, skin::kUnlitPlayer.h}, 0, 0);
    s.Blit(lit, {0, 0, skin::kLitPlayer.w, skin::kLitPlayer.h}, 0, skin::kLitPlayer.y);

    // Glyph atlas: each cell carries the glass of the rows it is shown on.
    for (int g = 0; g < skin::kGlyphCount; ++g) {
        DrawGlyph(s, skin::kLargeGlyphs.x + skin::kGlyphPitch * g, skin::kLargeGlyphs.y, g, skin::kLargeGlyphHeight,
                  skin::kTimeY, false);
        DrawGlyph(s, skin::kSmallGlyphs.x + skin::kGlyphPitch * g, skin::kSmallGlyphs.y, g, skin::kSmallGlyphHeight,
                  skin::kCounterY, false);
    }

    Look knobs;
    knobs.seekKnob = 100;
    knobs.volumeKnob = 30;
    const Canvas withKnobs = RenderPlayer(knobs);
    s.Blit(withKnobs,
           At(skin::kPositionKnob, skin::kPositionKnobX + 100 - skin::kPositionKnob.x,
              skin::kPositionKnobY - skin::kPositionKnob.y),
           skin::kPositionKnob.x, skin::kPositionKnob.y);
    s.Blit(
        withKnobs,
        At(skin::kVolumeKnob, skin::kVolumeKnobX + 30 - skin::kVolumeKnob.x, skin::kVolumeKnobY - skin::kVolumeKnob.y),
        skin::kVolumeKnob.x, skin::kVolumeKnob.y);

    Look plus;
    plus.zoomPlus = true;
    s.Blit(RenderPlayer(plus), skin::kZoom, skin::kZoomPlusLit.x, skin::kZoomPlusLit.y);
    Look minus;
    minus.zoomMinus = true;
    s.Blit(RenderPlayer(minus), skin::kZoom, skin::kZoomMinusLit.x, skin::kZoomMinusLit.y);

    Look paused;
    paused.still = Btn::LitRaised;
    s.Blit(RenderPlayer(paused), skin::kStill, skin::kLitPause.x, skin::kLitPause.y);
    Look grey;
    grey.play = Btn::Grey;
    s.Blit(RenderPlayer(grey), skin::kGreyPlayAt, skin::kGreyPlay.x, skin::kGreyPlay.y);
    Look pressedGrey;
    pressedGrey.still = Btn::PressedGrey;
    s.Blit(RenderPlayer(pressedGrey), skin::kStill, skin::kGreyPause.x, skin::kGreyPause.y);

    // The blank strip and the three text strips start white.
    s.Fill(0, skin::kBlankStrip.y, skin::kWidth, 80, Hex(0xFFFFFF));
    return s;
}

// ---------------------------------------------------------------- icon

QImage BuildIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double u = size / 256.0;
    const QRectF body(12 * u, 12 * u, 232 * u, 232 * u);
    QLinearGradient metal(body.topLeft(), body.bottomLeft());
    metal.setColorAt(0, kBodyTop.lighter(115));
    metal.setColorAt(1, kBodyBottom.darker(115));
    p.setPen(QPen(kOutline, 6 * u));
    p.setBrush(metal);
    p.drawRoundedRect(body, 44 * u, 44 * u);
    p.setPen(QPen(kBevelLight, 3 * u));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(7 * u, 7 * u, -7 * u, -7 * u), 38 * u, 38 * u);

    // The lit display with a play mark and two digits' worth of segments.
    const QRectF glass(40 * u, 52 * u, 176 * u, 152 * u);
    QLinearGradient g(glass.topLeft(), glass.bottomLeft());
    g.setColorAt(0, kGlassTop.lighter(130));
    g.setColorAt(1, kGlassBottom);
    p.setPen(QPen(kOutline, 5 * u));
    p.setBrush(g);
    p.drawRoundedRect(glass, 18 * u, 18 * u);

    QPainterPath play;
    play.moveTo(92 * u, 78 * u);
    play.lineTo(176 * u, 128 * u);
    play.lineTo(92 * u, 178 * u);
    play.closeSubpath();
    QRadialGradient glow(QPointF(128 * u, 128 * u), 110 * u);
    glow.setColorAt(0, QColor(124, 246, 230, 120));
    glow.setColorAt(1, QColor(124, 246, 230, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(128 * u, 128 * u), 100 * u, 70 * u);
    QLinearGradient ink(QPointF(0, 78 * u), QPointF(0, 178 * u));
    ink.setColorAt(0, kAquaBright);
    ink.setColorAt(1, Hex(0x2FA6BC));
    p.setBrush(ink);
    p.drawPath(play);
    p.end();
    return img;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

// The desktop's icon sizes, each drawn at its own size (not scaled from 256), so the small
// ones stay sharp.
int WriteThemeIcons(const std::string& themeFolder, const std::string& name) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string dims = std::to_string(size) + "x" + std::to_string(size);
        const QString folder = QString::fromStdString(themeFolder + "/" + dims + "/apps");
        if (!QDir().mkpath(folder) ||
            !BuildIcon(size).save(folder + "/" + QString::fromStdString(name) + ".png", "PNG")) {
            std::fprintf(stderr, "cannot write the %s icon into %s\n", dims.c_str(), themeFolder.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Draws off screen; no window system needed.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr,
                     "usage: velkaf-skingen <output folder>\n"
                     "       velkaf-skingen --icons <theme folder> <icon name>\n");
        return 2;
    }
    if (argc == 4 && std::string(argv[1]) == "--icons") return WriteThemeIcons(argv[2], argv[3]);
    const std::string folder = std::string(argv[1]) + "/";

    const Canvas art = BuildSkin();
    CDibSurface surface;
    surface.Create(skin::kWidth, skin::kHeight);
    for (int y = 0; y < skin::kHeight; ++y)
        for (int x = 0; x < skin::kWidth; ++x) {
            const QColor c = art.At(x, y);
            surface.SetPixel(x, y, Bgr{uint8_t(c.blue()), uint8_t(c.green()), uint8_t(c.red())});
        }
    if (!WriteFile(folder + "skin.bmp", surface.EncodeBmp())) {
        std::fprintf(stderr, "cannot write %sskin.bmp\n", folder.c_str());
        return 1;
    }
    if (!BuildIcon(256).save(QString::fromStdString(folder + "velkaf.png"), "PNG")) {
        std::fprintf(stderr, "cannot write %svelkaf.png\n", folder.c_str());
        return 1;
    }
    std::printf("wrote %sskin.bmp and %svelkaf.png\n", folder.c_str(), folder.c_str());
    return 0;
}
