#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <random>

#include "render/SkinSource.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(BuiltInSkin, ResourceIsTheSkinPicture) {
    CDibSurface fromResource, fromFile;
    ASSERT_TRUE(CreateFromResource(fromResource, kSkinBitmapId));
    LoadBuiltInSkin(fromFile);
    ASSERT_EQ(fromResource.Width(), 640);
    ASSERT_EQ(fromResource.Height(), 400);
    EXPECT_TRUE(SameRect(fromResource, 0, 0, fromFile, 0, 0, 640, 400));
    EXPECT_FALSE(CreateFromResource(fromResource, kAppIconId));
    EXPECT_TRUE(fromResource.IsEmpty());
    CDibSurface work;
    ASSERT_TRUE(CreateWorkSurface(work));
    EXPECT_TRUE(SameRect(work, 0, 0, fromFile, 0, 0, 640, 400));
}

TEST(BuiltInSkin, IconIsThere) {
    const QIcon icon = AppIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_FALSE(icon.pixmap(32, 32).isNull());
}

class Background : public ::testing::Test {
protected:
    std::string Bmp(int w, int h, uint16_t bits = 24) {
        BmpRecipe recipe;
        recipe.width = w;
        recipe.height = h;
        recipe.bitCount = bits;
        return MakeBmp(recipe, [](int x, int y) { return Bgr{uint8_t(x * 7), uint8_t(y * 3), 99}; });
    }
    bool IsBuiltIn(const CDibSurface& s) {
        CDibSurface builtIn;
        LoadBuiltInSkin(builtIn);
        return s.Width() == 640 && s.Height() == 400 && SameRect(s, 0, 0, builtIn, 0, 0, 640, 400);
    }
    TempFolder dir_;
    CDibSurface skin_;
};

TEST_F(Background, FileOfTheLayoutIsUsed) {
    dir_.Write("bg/blue.bmp", Bmp(640, 400));
    EXPECT_EQ(LoadSkinSource(skin_, dir_.path(), "blue.bmp"), SkinOrigin::BackgroundFile);
    EXPECT_EQ(skin_.Pixel(10, 20), (Bgr{70, 60, 99}));
    dir_.Write("bg/big.bmp", Bmp(800, 600));
    EXPECT_EQ(LoadSkinSource(skin_, dir_.path(), "big.bmp"), SkinOrigin::BackgroundFile);
}

TEST_F(Background, AnythingElseGivesTheBuiltInSkin) {
    dir_.Write("bg/small.bmp", Bmp(321, 92));
    dir_.Write("bg/eight.bmp", Bmp(640, 400, 8));
    dir_.Write("bg/text.bmp", "not a picture");
    dir_.Write("bg/folder.bmp/x", "");
    for (const char* name : {"", "デフォルト", "missing.bmp", "small.bmp", "eight.bmp", "text.bmp",
                             "folder.bmp"}) {
        EXPECT_EQ(LoadSkinSource(skin_, dir_.path(), name), SkinOrigin::BuiltIn) << name;
        EXPECT_TRUE(IsBuiltIn(skin_)) << name;
    }
    TempFolder noBg;
    EXPECT_EQ(LoadSkinSource(skin_, noBg.path(), "blue.bmp"), SkinOrigin::BuiltIn);
}

TEST(Present, ImageViewsTheVisibleRowsWithoutCopying) {
    CDibSurface work;
    ASSERT_TRUE(CreateWorkSurface(work));
    std::mt19937 rng(3);
    for (int y = 0; y < 93; ++y)
        for (int x = 0; x < 407; ++x) work.SetPixel(x, y, Bgr{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    const QImage image = PresentedImage(work);
    ASSERT_EQ(image.size(), QSize(407, 93));
    EXPECT_EQ(image.constBits(), work.TopRow());
    for (int y = 0; y < 93; ++y)
        for (int x = 0; x < 407; ++x) {
            const Bgr p = work.Pixel(x, y);
            ASSERT_EQ(image.pixel(x, y), qRgb(p.r, p.g, p.b)) << x << ", " << y;
        }
    EXPECT_TRUE(PresentedImage(CDibSurface()).isNull());
}

TEST(Present, PaintsOneToOneAndNearestNeighbourWhenScaled) {
    CDibSurface work;
    ASSERT_TRUE(CreateWorkSurface(work));
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
            }
    }
}

}  // namespace
