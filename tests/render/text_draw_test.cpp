#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QStringList>
#include <array>
#include <set>
#include <tuple>
#include <vector>

#include "render/Composition.h"
#include "render/SkinLayout.h"
#include "render/TextDraw.h"
#include "tests/render/RenderTestSupport.h"

namespace {

constexpr Bgr kMark{10, 20, 30};
constexpr Bgr kBlack{0, 0, 0};
constexpr Bgr kWhite{255, 255, 255};

bool HaveIpaFont() { return QFontDatabase::families().contains(QStringLiteral("IPAPGothic")); }

int Advance(const std::string& text) { return QFontMetrics(PlayerFont(12)).horizontalAdvance(QString::fromStdString(text)); }

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
    const int right = 5 + Advance(text), bottom = 10 + QFontMetrics(PlayerFont(12)).height();
    int ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 640; ++x) {
            const Bgr p = s.Pixel(x, y);
            const bool box = x >= 5 && x < right && y >= 10 && y < bottom;
            ASSERT_TRUE(box ? p == kBlack || p == kWhite : p == kMark) << x << ", " << y;
            ink += p == kBlack;
        }
    EXPECT_GT(ink, 200);
}

TEST(DrawTextLine, DistinctGlyphsCutAtTheEdgesWithoutHarm) {
    auto picture = [](const std::string& text) {
        CDibSurface s;
        s.Create(40, 20);
        DrawTextLine(s, text, 12, 0, 2);
        return s.EncodeBmp();
    };
    EXPECT_EQ(std::set<std::string>({picture("曲"), picture("歌"), picture("")}).size(), 3u);
    CDibSurface s, empty;
    s.Create(64, 20, kMark);
    DrawTextLine(s, std::string(3000, 'W'), 12, -30, -4);  // longer and higher than the surface
    int ink = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) ink += s.Pixel(x, y) == kBlack;
    EXPECT_GT(ink, 50);
    for (auto [x, y] : {std::pair{64, 0}, {0, 400}}) DrawTextLine(s, "abc", 12, x, y);  // right of it, below it
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
    const std::string lines[2] = {" track01.mp3  <1:02:05> |", " 曲名 ： 歌手  |"};
    DrawTitleLines(skin_, lines[0], lines[1], state_);
    for (int i = 0; i < 2; ++i) {
        const int top = 220 + 20 * i, row = 231 + 20 * i, end = state_.titleWidth[i] + 4;
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
    EXPECT_EQ(state_.titleWidth[1] - state_.titleWidth[0], Advance("abcdef") - Advance("abc"));
    DrawTitleLines(skin_, " abc  |", " abc |", state_);
    EXPECT_EQ(state_.titleWidth[0] - state_.titleWidth[1], Advance(" "));  // trailing blanks count
    EXPECT_EQ(DrawTitleLines(skin_, "", ""), (std::array<int, 2>{1, 1}));  // nothing to measure
}

TEST_F(TitleLines, BrowsedNameIsTheFileNameAndTheTickerStandsStillMeanwhile) {
    CDibSurface expected;
    LoadBuiltInSkin(expected);
    DrawTextLine(expected, "曲 01.mp3", 12, 0, 264);
    for (const char* path : {"/music/アルバム/曲 01.mp3", "/music/\x8b\xc8 01.mp3"}) {  // the second in CP932
        skin_.Fill(0, 260, 640, 20, kBlack);
        DrawBrowsedName(skin_, path);
        EXPECT_TRUE(SameRect(skin_, 0, 260, expected, 0, 260, 640, 20)) << path;
    }
    state_.trackPending = 1;
    state_.browseCounter = 5;
    state_.marqueeOffset = 7;
    PrepareDisplayText(skin_, state_, 3, "/a/name.wav");
    EXPECT_EQ(state_.marqueeOffset, 7);
    EXPECT_EQ(skin_.Pixel(0, 260), kWhite);
    state_.trackPending = 0;
    state_.marqueeStarted = 1;
    state_.titleWidth[1] = 100;
    PrepareDisplayText(skin_, state_, 3, "/a/name.wav");
    EXPECT_EQ(state_.marqueeOffset, 11);
}

// The ticker with real text: the display shows exactly the strip's letters, in the lit
// colour, the title again 40 pixels after its end.
TEST_F(TitleLines, TickerFramesShowTheStripLetters) {
    const std::tuple<std::string, int, std::vector<int>, const char*> cases[] = {
        {" ab |", 1, {-40}, "ticker_short.bmp"}, {" とても長い曲名のファイル名です_01.mp3  <0:04:33> |", 0, {0, 57, -100}, "ticker_long.bmp"}};
    for (const auto& [title, line, offsets, golden] : cases) {
        DrawTitleLines(skin_, title, title, state_);
        state_.marqueeLine = line;
        const int w = state_.titleWidth[line];
        CDibSurface work;
        for (const int offset : offsets) {
            state_.marqueeOffset = offset < -50 ? w + offset : offset;
            LoadBuiltInSkin(work);
            ComposeFrame(work, skin_, state_, Settings{}, FrameInputs{0, 1, 0});
            for (int dx = 0; dx < 141; ++dx) {
                const int p = state_.marqueeOffset + dx;
                const int sx = p >= 0 && p < w ? p : p >= w + 40 && p < 2 * w + 40 ? p - w - 40 : -1;
                for (int r = 0; r < 19; ++r) {
                    const bool letter = sx >= 0 && skin_.Pixel(sx, 220 + 20 * line + r) == kBlack;
                    ASSERT_EQ(work.Pixel(60 + dx, 27 + r), skin_.Pixel(60 + dx, (letter ? 127 : 27) + r)) << golden << " " << dx << ", " << r;
                }
            }
        }
        if (HaveIpaFont()) EXPECT_TRUE(MatchesGolden(work, 56, 17, 150, 55, golden));
    }
}

}  // namespace
