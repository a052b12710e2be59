// Rendering with Qt: text in the skin, the ticker with real text, skin pictures, presenting the work surface.
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <random>
#include <tuple>
#include "render/Composition.h"
#include "render/DevicePicture.h"
#include "render/DeviceScale.h"
#include "render/SkinLayout.h"
#include "render/SkinSource.h"
#include "render/TextDraw.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {
struct QtApplication : ::testing::Environment { void SetUp() override { TestApplication(); } };
[[maybe_unused]] ::testing::Environment* const kApp = ::testing::AddGlobalTestEnvironment(new QtApplication);

TEST(SkinSource, BuiltInOrAPictureOfAtLeastTheLayoutOfWhichOnlyTheCornerIsKept) {
    CDibSurface builtIn, skin, work;
    LoadBuiltInSkin(builtIn);
    ASSERT_TRUE(CreateFromResource(skin, kSkinBitmapId) && CreateWorkSurface(work));
    EXPECT_TRUE(SameRect(skin, 0, 0, builtIn, 0, 0, 640, 400) && SameRect(work, 0, 0, builtIn, 0, 0, 640, 400));
    EXPECT_FALSE(CreateFromResource(skin, kAppIconId) || !skin.IsEmpty() || AppIcon().pixmap(32, 32).isNull());
    TempFolder dir;
    const auto colour = [](int x, int y) { return Bgr{uint8_t(x * 7), uint8_t(y * 3), 99}; };
    for (auto [name, w, h] : {std::tuple{"blue.bmp", 640, 400}, {"big.bmp", 800, -600}, {"small.bmp", 640, 399}})
        dir.Write(std::string("bg/") + name, MakeBmp(BmpRecipe{w, h}, colour));
    for (const std::string name : {"blue.bmp", "big.bmp", "", "デフォルト", "small.bmp"}) {
        const bool used = name == "blue.bmp" || name == "big.bmp";
        SCOPED_TRACE(name);
        EXPECT_EQ(LoadSkinSource(skin, dir.path(), name), used ? SkinOrigin::BackgroundFile : SkinOrigin::BuiltIn);
        ASSERT_TRUE(skin.Width() == 640 && skin.Height() == 400);
        EXPECT_EQ(skin.Pixel(639, 399), used ? Bgr(uint8_t(639 * 7), uint8_t(399 * 3), 99) : builtIn.Pixel(639, 399));
        EXPECT_TRUE(used || SameRect(skin, 0, 0, builtIn, 0, 0, 640, 400));
    }
}

TEST(Present, ViewsTheVisibleRowsWithoutCopyingAndPaintsNearestNeighbourWhenScaled) {
    CDibSurface work;
    ASSERT_TRUE(CreateWorkSurface(work));
    std::mt19937 rng(3);
    for (int i = 0; i < 407 * 93; ++i) work.SetPixel(i % 407, i / 407, Bgr{uint8_t(rng()), uint8_t(rng()), 7});
    const QImage image = PresentedImage(work);
    EXPECT_TRUE(image.size() == QSize(407, 93) && image.constBits() == work.TopRow());
    EXPECT_TRUE(PresentedImage(CDibSurface()).isNull());
    for (int scale : {1, 2, 3}) {
        QImage target(407 * scale, 93 * scale, QImage::Format_RGB32); target.fill(Qt::magenta);
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);  // PresentTo turns it off
        painter.scale(scale, scale); PresentTo(work, painter); painter.end();
        for (int i = 0; i < 407 * 93 * scale * scale; ++i) {
            const int x = i % (407 * scale), y = i / (407 * scale);
            const Bgr p = work.Pixel(x / scale, y / scale);
            ASSERT_EQ(target.pixel(x, y), qRgb(p.r, p.g, p.b)) << scale << ": " << x << ", " << y;
            ASSERT_EQ(image.pixel(x / scale, y / scale), qRgb(p.r, p.g, p.b)) << x << ", " << y;
        }
    }
}

constexpr Bgr kMark{10, 20, 30}, kBlack{0, 0, 0}, kWhite{255, 255, 255};
int Advance(const std::string& s) { return QFontMetrics(PlayerFont(12)).horizontalAdvance(QString::fromStdString(s)); }

TEST(DrawTextLine, PureBlackOnAWhiteBoxAndNothingElseEvenCutAtTheEdges) {
    const std::string text = "VELKAF 日本語のタイトル ： 歌手 |";
    CDibSurface s; s.Create(640, 40, kMark);
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
    CDibSurface empty; DrawTextLine(empty, "abc", 12, 0, 0);
    EXPECT_TRUE(empty.IsEmpty());
}

// The browsed name is the file name decoded. The ticker with real text, as the display shows it (the wrap rules are
// composition's).
TEST(TitleLines, BrowsedNameTickerFramesGoldenAndAtDeviceResolutionTheArtStaysExactAndTheTitleIsSharp) {
    CDibSurface skinArt, expected; LoadBuiltInSkin(expected);
    LoadBuiltInSkin(skinArt);
    PlayerState state;
    DrawTextLine(expected, "曲 01.mp3", 12, 0, 264);
    for (const char* path : {"/music/アルバム/曲 01.mp3", "/music/\x8b\xc8 01.mp3"}) {  // the second in CP932
        DrawBrowsedName(skinArt, path);
        EXPECT_TRUE(SameRect(skinArt, 0, 260, expected, 0, 260, 640, 20)) << path;
    }
    if (!QFontDatabase::families().contains("IPAPGothic")) GTEST_SKIP() << "IPAPGothic is not installed";
    // The row without a golden frame, on a scaling screen: the art keeps whole device pixels (at 1: the composed
    // picture) and the title is drawn at the device resolution: at 2x it matches its golden picture and is no mere
    // doubling of the 1x letters.
    const std::tuple<std::string, int, int, const char*> cases[] = {
        {" ab |", 1, -40, "ticker_short.bmp"},
        {" とても長い曲名のファイル名です_01.mp3  <0:04:33> |", 0, -100, "ticker_long.bmp"},
        {" 日本語のタイトル Title 01 ： 歌手 |", 0, -30, nullptr}};
    for (const auto& [title, line, offset, golden] : cases) {
        DrawTitleLines(skinArt, title, title, state);
        state.marqueeLine = line;
        state.marqueeOffset = offset < -50 ? state.titleWidth[line] + offset : offset;  // below -50: from the end
        CDibSurface work; LoadBuiltInSkin(work);
        const DisplayText shown = ComposeFrame(work, skinArt, state, Settings{}, FrameInputs{0, 1, 0});
        EXPECT_TRUE(golden == nullptr || MatchesGolden(work, 56, 17, 150, 55, golden)) << title;
        if (golden != nullptr) continue;
        DevicePicture picture;
        for (const auto slot : {DevicePicture::kTitleLine1, DevicePicture::kTitleLine2}) picture.SetText(slot, title);
        const skin::Rect& d = skin::kDisplayLine;
        for (double ratio : {1.0, 1.25, 1.5, 2.0, 3.0}) {
            const DeviceScale scale(ratio);
            const QImage image = picture.Compose(work, skinArt, shown, ratio, 321, 92);
            ASSERT_EQ(image.size(), QSize(scale.Edge(321), scale.Edge(92))) << ratio;
            EXPECT_EQ(image.devicePixelRatio(), ratio);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const int lx = scale.LogicalOf(x), ly = scale.LogicalOf(y);
                    const bool display = lx >= d.x && lx < d.x + d.w && ly >= d.y && ly < d.y + d.h;
                    if (display && ratio != 1.0) continue;
                    const Bgr p = work.Pixel(lx, ly);
                    ASSERT_EQ(image.pixel(x, y), qRgb(p.r, p.g, p.b)) << ratio << ": " << x << ", " << y;
                }
            if (ratio != 2.0) continue;
            CDibSurface strip; strip.Create(2 * d.w, 2 * d.h);
            int split = 0;  // 2 x 2 blocks of the display that hold two colours
            for (int y = 0; y < 2 * d.h; ++y)
                for (int x = 0; x < 2 * d.w; ++x) {
                    const int ix = 2 * d.x + x, iy = 2 * d.y + y;
                    const QRgb p = image.pixel(ix, iy);
                    strip.SetPixel(x, y, Bgr{uint8_t(qBlue(p)), uint8_t(qGreen(p)), uint8_t(qRed(p))});
                    split += x % 2 == 1 && y % 2 == 1 && (p != image.pixel(ix - 1, iy) || p != image.pixel(ix, iy - 1));
                }
            EXPECT_GT(split, 20);
            EXPECT_TRUE(MatchesGolden(strip, 0, 0, 2 * d.w, 2 * d.h, "title_2x.bmp"));
        }
    }
}
}  // namespace
