#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>

#include "render/SkinSource.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"

namespace {

// One application object for the Qt render tests (fonts and images need it).
struct QtApplication : ::testing::Environment {
    void SetUp() override { TestApplication(); }
};
[[maybe_unused]] ::testing::Environment* const kApp = ::testing::AddGlobalTestEnvironment(new QtApplication);

TEST(SkinSource, BuiltInOrAPictureOfAtLeastTheLayoutOfWhichOnlyTheCornerIsKept) {
    CDibSurface builtIn, skin, work;
    LoadBuiltInSkin(builtIn);
    ASSERT_TRUE(CreateFromResource(skin, kSkinBitmapId) && CreateWorkSurface(work));
    EXPECT_TRUE(SameRect(skin, 0, 0, builtIn, 0, 0, 640, 400) && SameRect(work, 0, 0, builtIn, 0, 0, 640, 400));
    EXPECT_FALSE(CreateFromResource(skin, kAppIconId) || !skin.IsEmpty() || AppIcon().pixmap(32, 32).isNull());
    TempFolder dir;
    auto bmp = [](int w, int h, uint16_t bits = 24) {
        return MakeBmp(BmpRecipe{w, h, bits}, [](int x, int y) { return Bgr{uint8_t(x * 7), uint8_t(y * 3), 99}; });
    };
    for (const auto& [name, bytes] : {std::pair{"blue.bmp", bmp(640, 400)}, {"big.bmp", bmp(800, -600)}, {"small.bmp", bmp(640, 399)},
                                     {"eight.bmp", bmp(640, 400, 8)}, {"text.bmp", std::string("not a picture")}})
        dir.Write(std::string("bg/") + name, bytes);
    dir.Write("bg/folder.bmp/x", "");
    for (const char* name : {"blue.bmp", "big.bmp", "", "デフォルト", "missing.bmp", "small.bmp", "eight.bmp", "text.bmp", "folder.bmp"}) {
        const bool used = name == std::string("blue.bmp") || name == std::string("big.bmp");
        EXPECT_EQ(LoadSkinSource(skin, dir.path(), name), used ? SkinOrigin::BackgroundFile : SkinOrigin::BuiltIn) << name;
        ASSERT_TRUE(skin.Width() == 640 && skin.Height() == 400) << name;
        EXPECT_EQ(skin.Pixel(639, 399), used ? Bgr(uint8_t(639 * 7), uint8_t(399 * 3), 99) : builtIn.Pixel(639, 399)) << name;
        EXPECT_TRUE(used || SameRect(skin, 0, 0, builtIn, 0, 0, 640, 400)) << name;
    }
}

TEST(Present, ViewsTheVisibleRowsWithoutCopyingAndPaintsNearestNeighbourWhenScaled) {
    CDibSurface work;
    ASSERT_TRUE(CreateWorkSurface(work));
    std::mt19937 rng(3);
    for (int i = 0; i < 407 * 93; ++i) work.SetPixel(i % 407, i / 407, Bgr{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    const QImage image = PresentedImage(work);
    EXPECT_TRUE(image.size() == QSize(407, 93) && image.constBits() == work.TopRow() && PresentedImage(CDibSurface()).isNull());
    for (int scale : {1, 2, 3}) {
        QImage target(407 * scale, 93 * scale, QImage::Format_RGB32);
        target.fill(Qt::magenta);
        {
            QPainter painter(&target);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);  // PresentTo turns it off
            painter.scale(scale, scale);
            PresentTo(work, painter);
        }
        for (int i = 0; i < 407 * 93 * scale * scale; ++i) {
            const int x = i % (407 * scale), y = i / (407 * scale);
            const Bgr p = work.Pixel(x / scale, y / scale);
            ASSERT_EQ(target.pixel(x, y), qRgb(p.r, p.g, p.b)) << scale << ": " << x << ", " << y;
            ASSERT_EQ(image.pixel(x / scale, y / scale), qRgb(p.r, p.g, p.b)) << x << ", " << y;
        }
    }
}

}  // namespace
