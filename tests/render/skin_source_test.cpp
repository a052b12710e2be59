#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>

#include "render/SkinSource.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(BuiltInSkin, ResourceWorkSurfaceAndIcon) {
    CDibSurface fromResource, fromFile, work;
    LoadBuiltInSkin(fromFile);
    ASSERT_TRUE(CreateFromResource(fromResource, kSkinBitmapId));
    ASSERT_TRUE(CreateWorkSurface(work));
    EXPECT_TRUE(fromResource.Width() == 640 && fromResource.Height() == 400 && SameRect(fromResource, 0, 0, fromFile, 0, 0, 640, 400));
    EXPECT_TRUE(SameRect(work, 0, 0, fromFile, 0, 0, 640, 400));
    EXPECT_FALSE(CreateFromResource(fromResource, kAppIconId));
    EXPECT_TRUE(fromResource.IsEmpty());
    EXPECT_FALSE(AppIcon().pixmap(32, 32).isNull());
}

TEST(Background, OnlyA24BitPictureOfAtLeastTheLayoutIsUsedAndOnlyItsCornerIsKept) {
    TempFolder dir;
    auto bmp = [](int w, int h, uint16_t bits = 24) {
        BmpRecipe recipe;
        recipe.width = w;
        recipe.height = h;
        recipe.bitCount = bits;
        return MakeBmp(recipe, [](int x, int y) { return Bgr{uint8_t(x * 7), uint8_t(y * 3), 99}; });
    };
    dir.Write("bg/blue.bmp", bmp(640, 400));
    dir.Write("bg/big.bmp", bmp(800, -600));
    dir.Write("bg/small.bmp", bmp(640, 399));
    dir.Write("bg/eight.bmp", bmp(640, 400, 8));
    dir.Write("bg/text.bmp", "not a picture");
    dir.Write("bg/folder.bmp/x", "");
    CDibSurface builtIn, skin;
    LoadBuiltInSkin(builtIn);
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
    for (int y = 0; y < 93; ++y)
        for (int x = 0; x < 407; ++x) work.SetPixel(x, y, Bgr{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    const QImage image = PresentedImage(work);
    ASSERT_EQ(image.size(), QSize(407, 93));
    EXPECT_EQ(image.constBits(), work.TopRow());
    EXPECT_TRUE(PresentedImage(CDibSurface()).isNull());
    for (int scale : {1, 2, 3}) {
        QImage target(407 * scale, 93 * scale, QImage::Format_RGB32);
        target.fill(Qt::magenta);
        {
            QPainter painter(&target);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);  // PresentTo turns it off
            painter.scale(scale, scale);
            PresentTo(work, painter);
        }
        for (int y = 0; y < 93 * scale; ++y)
            for (int x = 0; x < 407 * scale; ++x) {
                const Bgr p = work.Pixel(x / scale, y / scale);
                ASSERT_EQ(target.pixel(x, y), qRgb(p.r, p.g, p.b)) << scale << ": " << x << ", " << y;
                if (scale == 1) {
                    ASSERT_EQ(image.pixel(x, y), qRgb(p.r, p.g, p.b)) << x << ", " << y;
                }
            }
    }
}

}  // namespace
