#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>

#include "render/Composition.h"
#include "render/SkinLayout.h"
#include "render/TextDraw.h"
#include "tests/render/RenderTestSupport.h"

namespace {

constexpr Bgr kMark{10, 20, 30};
constexpr Bgr kBlack{0, 0, 0};
constexpr Bgr kWhite{255, 255, 255};

bool HaveIpaFont() { return QFontDatabase::families().contains(QStringLiteral("IPAPGothic")); }

int Advance(const std::string& text) {
    return QFontMetrics(PlayerFont(12)).horizontalAdvance(QString::fromStdString(text));
}

TEST(PlayerFont, IpaGothicAtTwelvePixelsWithoutAntialiasing) {
    const QFont font = PlayerFont(12);
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_TRUE(font.styleStrategy() & QFont::NoAntialias);
    if (!HaveIpaFont()) GTEST_SKIP() << "IPAPGothic is not installed";
    EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
    EXPECT_TRUE(QFontMetrics(font).inFontUcs4(0x66F2));  // 曲
}

TEST(DrawTextLine, PureBlackOnAWhiteBoxAndNothingElse) {
    const std::string text = "VELKAF 日本語のタイトル ： 歌手 |";
    CDibSurface s;
    s.Create(640, 40, kMark);
    DrawTextLine(s, text, 12, 5, 10);
    const int right = 5 + Advance(text);
    const int bottom = 10 + QFontMetrics(PlayerFont(12)).height();
    int ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 640; ++x) {
            const Bgr p = s.Pixel(x, y);
            const bool box = x >= 5 && x < right && y >= 10 && y < bottom;
            if (!box) {
                ASSERT_EQ(p, kMark) << "outside the box at " << x << ", " << y;
                continue;
            }
            ASSERT_TRUE(p == kBlack || p == kWhite) << x << ", " << y;
            if (p == kBlack) ++ink;
        }
    EXPECT_GT(ink, 200);
}

TEST(DrawTextLine, JapaneseCharactersDrawDistinctGlyphs) {
    auto picture = [](const std::string& text) {
        CDibSurface s;
        s.Create(40, 20);
        DrawTextLine(s, text, 12, 0, 2);
        std::string bytes = s.EncodeBmp();
        return bytes;
    };
    const std::string a = picture("曲"), b = picture("歌"), blank = picture("");
    EXPECT_NE(a, blank);
    EXPECT_NE(b, blank);
    EXPECT_NE(a, b);
}

TEST(DrawTextLine, CutAtTheEdgesWithoutHarm) {
    CDibSurface s;
    s.Create(64, 20, kMark);
    DrawTextLine(s, std::string(3000, 'W'), 12, -30, -4);  // longer and higher than the surface
    int ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) ink += s.Pixel(x, y) == kBlack;
    EXPECT_GT(ink, 50);
    DrawTextLine(s, "abc", 12, 64, 0);   // entirely right of it
    DrawTextLine(s, "abc", 12, 0, 400);  // entirely below it
    DrawTextLine(s, "", 12, 0, 0);
    CDibSurface empty;
    DrawTextLine(empty, "abc", 12, 0, 0);
    EXPECT_TRUE(empty.IsEmpty());
}

class TitleLines : public ::testing::Test {
protected:
    void SetUp() override { LoadBuiltInSkin(skin_); }
    CDibSurface skin_;
    PlayerState state_;
};

TEST_F(TitleLines, DrawnIntoClearedStripsAndMeasuredLeftOfTheBar) {
    skin_.Fill(0, 220, 640, 40, kBlack);  // whatever the strips held before
    const std::string line1 = " track01.mp3  <1:02:05> |";
    const std::string line2 = " 曲名 ： 歌手  |";
    DrawTitleLines(skin_, line1, line2, state_);
    const std::string lines[2] = {line1, line2};
    for (int i = 0; i < 2; ++i) {
        const int top = 220 + 20 * i;
        const int row = 231 + 20 * i;
        const int end = state_.titleWidth[i] + 4;
        EXPECT_EQ(end, MeasureLine(skin_, 230 + 20 * i));
        // The measured end sits just left of the bar: the next pixel is light, the one after
        // it the bar's left edge.
        EXPECT_EQ(skin_.Pixel(end + 1, row), kWhite) << i;
        EXPECT_EQ(skin_.Pixel(end + 2, row), kBlack) << i;
        // The bar is the line's last ink; everything right of the text box is white.
        const int right = Advance(lines[i]);
        EXPECT_GT(end, right - 12) << i;
        for (int y = top; y < top + 20; ++y)
            for (int x = right; x < 640; ++x) ASSERT_EQ(skin_.Pixel(x, y), kWhite) << x << ", " << y;
        for (int x = 0; x < 640; ++x) ASSERT_EQ(skin_.Pixel(x, top), kWhite);  // above the text
    }
    EXPECT_GT(state_.titleWidth[0], state_.titleWidth[1]);
}

TEST_F(TitleLines, WidthFollowsTheText) {
    DrawTitleLines(skin_, " abc |", " abcdef |", state_);
    const int shortWidth = state_.titleWidth[0], longWidth = state_.titleWidth[1];
    EXPECT_EQ(longWidth - shortWidth, Advance("abcdef") - Advance("abc"));
    DrawTitleLines(skin_, " abc  |", " abc |", state_);
    EXPECT_EQ(state_.titleWidth[0] - state_.titleWidth[1], Advance(" "));  // trailing blanks count
    const std::array<int, 2> ends = DrawTitleLines(skin_, "", "");
    EXPECT_EQ(ends[0], 1);  // nothing to measure
    EXPECT_EQ(ends[1], 1);
}

TEST_F(TitleLines, BrowsedNameIsTheFileNameOnly) {
    CDibSurface expected;
    LoadBuiltInSkin(expected);
    DrawTextLine(expected, "曲 01.mp3", 12, 0, 264);
    skin_.Fill(0, 260, 640, 20, kBlack);
    DrawBrowsedName(skin_, "/music/アルバム/曲 01.mp3");
    EXPECT_TRUE(SameRect(skin_, 0, 260, expected, 0, 260, 640, 20));
    // A name written on Windows in CP932 reads the same.
    DrawBrowsedName(skin_, "/music/\x8b\xc8 01.mp3");
    EXPECT_TRUE(SameRect(skin_, 0, 260, expected, 0, 260, 640, 20));
}

// The ticker with real text: the display shows exactly the strip's letters, in the lit colour.
class TickerText : public TitleLines {
protected:
    void Frame() {
        LoadBuiltInSkin(work_);
        ComposeFrame(work_, skin_, state_, Settings{}, FrameInputs{0, 1, 0});
    }
    // Display column dx shows strip column sx of line `line` on all 19 rows.
    void ExpectColumn(int dx, int sx, int line) {
        for (int r = 0; r < 19; ++r) {
            const bool letter = sx >= 0 && skin_.Pixel(sx, 220 + 20 * line + r) == kBlack;
            const Bgr want = letter ? skin_.Pixel(60 + dx, 127 + r) : skin_.Pixel(60 + dx, 27 + r);
            ASSERT_EQ(work_.Pixel(60 + dx, 27 + r), want) << "column " << dx << " row " << r;
        }
    }
    CDibSurface work_;
};

TEST_F(TickerText, ShortTitleFrames) {
    DrawTitleLines(skin_, " ab |", " ab |", state_);
    const int w = state_.titleWidth[1];
    ASSERT_LT(w, 61);
    state_.marqueeOffset = -40;
    Frame();
    for (int dx = 0; dx < 141; ++dx) {
        int sx = -1;
        if (dx >= 40 && dx < 40 + w) sx = dx - 40;
        if (dx >= 80 + w && dx < 80 + 2 * w) sx = dx - 80 - w;
        ExpectColumn(dx, sx, 1);
    }
    if (HaveIpaFont()) {
        EXPECT_TRUE(MatchesGolden(work_, 56, 17, 150, 55, "ticker_short.bmp"));
    }
}

TEST_F(TickerText, LongTitleFrames) {
    DrawTitleLines(skin_, " とても長い曲名のファイル名です_01.mp3  <0:04:33> |", " x |", state_);
    state_.marqueeLine = 0;
    const int w = state_.titleWidth[0];
    ASSERT_GT(w, 200);
    for (int offset : {0, 57, w - 100}) {
        state_.marqueeOffset = offset;
        Frame();
        for (int dx = 0; dx < 141; ++dx) {
            const int p = offset + dx;
            int sx = -1;
            if (p < w) sx = p;
            else if (p >= w + 40) sx = p - w - 40;
            ExpectColumn(dx, sx, 0);
        }
    }
    if (HaveIpaFont()) {
        EXPECT_TRUE(MatchesGolden(work_, 56, 17, 150, 55, "ticker_long.bmp"));
    }
}

}  // namespace
