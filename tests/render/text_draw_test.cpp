#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <tuple>

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

TEST(DrawTextLine, PureBlackOnAWhiteBoxAndNothingElseEvenCutAtTheEdges) {
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
    DrawTextLine(s, std::string(3000, 'W'), 12, -30, -4);  // longer and higher than the surface
    for (auto [x, y] : {std::pair{640, 0}, {0, 400}}) DrawTextLine(s, "abc", 12, x, y);  // right of it, below it
    CDibSurface empty;
    DrawTextLine(empty, "abc", 12, 0, 0);
    EXPECT_TRUE(empty.IsEmpty());
}

struct TitleLines : ::testing::Test {
    void SetUp() override { LoadBuiltInSkin(skin_); }
    CDibSurface skin_;
    PlayerState state_;
};

// A stored name keeps its bytes; the display shows it decoded.
TEST_F(TitleLines, BrowsedNameIsTheFileNameDecoded) {
    CDibSurface expected;
    LoadBuiltInSkin(expected);
    DrawTextLine(expected, "曲 01.mp3", 12, 0, 264);
    for (const char* path : {"/music/アルバム/曲 01.mp3", "/music/\x8b\xc8 01.mp3"}) {  // the second in CP932
        DrawBrowsedName(skin_, path);
        EXPECT_TRUE(SameRect(skin_, 0, 260, expected, 0, 260, 640, 20)) << path;
    }
}

// The ticker with real text, as the display shows it (the wrap rules are composition's).
TEST_F(TitleLines, TickerFramesGolden) {
    if (!HaveIpaFont()) GTEST_SKIP() << "IPAPGothic is not installed";
    const std::tuple<std::string, int, int, const char*> cases[] = {
        {" ab |", 1, -40, "ticker_short.bmp"}, {" とても長い曲名のファイル名です_01.mp3  <0:04:33> |", 0, -100, "ticker_long.bmp"}};
    for (const auto& [title, line, offset, golden] : cases) {
        DrawTitleLines(skin_, title, title, state_);
        state_.marqueeLine = line;
        state_.marqueeOffset = offset < -50 ? state_.titleWidth[line] + offset : offset;
        CDibSurface work;
        LoadBuiltInSkin(work);
        ComposeFrame(work, skin_, state_, Settings{}, FrameInputs{0, 1, 0});
        EXPECT_TRUE(MatchesGolden(work, 56, 17, 150, 55, golden));
    }
}

}  // namespace
