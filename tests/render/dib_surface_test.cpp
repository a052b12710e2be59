#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "render/DibSurface.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void ExpectPicture(const CDibSurface& s, int w, int h) {
    ASSERT_EQ(s.Width(), w);
    ASSERT_EQ(s.Height(), h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(s.Pixel(x, y), PositionColour(x, y)) << "at " << x << ", " << y;
}

// --- loading -------------------------------------------------------------------------------

TEST(BmpLoad, WidthNotMultipleOfFourKeepsRowsAligned) {
    // 321 pixels: 963 bytes of pixels and 1 byte of padding per row.
    BmpRecipe recipe;
    recipe.width = 321;
    recipe.height = 5;
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour))));
    EXPECT_EQ(s.RowBytes(), 964);
    ExpectPicture(s, 321, 5);
}

TEST(BmpLoad, OddWidthsLoadUnsheared) {
    for (int width : {1, 2, 3, 5, 6, 7}) {
        BmpRecipe recipe;
        recipe.width = width;
        recipe.height = 3;
        CDibSurface s;
        ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour)))) << width;
        ExpectPicture(s, width, 3);
    }
}

TEST(BmpLoad, TopDownAndBottomUpGiveTheSamePicture) {
    BmpRecipe recipe;
    recipe.width = 6;
    recipe.height = -4;
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour))));
    ExpectPicture(s, 6, 4);
}

TEST(BmpLoad, ImageSizeFieldIsNotTrusted) {
    // 0 (allowed by the format), too small and too large: the picture always needs
    // row bytes x height, and that is what is read.
    for (int64_t field : {int64_t(0), int64_t(5), int64_t(1) << 31}) {
        BmpRecipe recipe;
        recipe.width = 5;
        recipe.height = 3;
        recipe.imageSizeField = field;
        CDibSurface s;
        ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour)))) << field;
        ExpectPicture(s, 5, 3);
    }
}

TEST(BmpLoad, LargerInfoHeadersLoadThroughThePixelOffset) {
    for (uint32_t info : {52u, 56u, 108u, 124u}) {
        BmpRecipe recipe;
        recipe.infoSize = info;
        CDibSurface s;
        ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour)))) << info;
        ExpectPicture(s, 4, 3);
    }
}

TEST(BmpLoad, PixelOffsetWithAGapBeforeThePixels) {
    BmpRecipe recipe;
    recipe.pixelOffset = 54 + 1024;  // e.g. a colour table the format did not need
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour))));
    ExpectPicture(s, 4, 3);
}

struct Refused {
    const char* what;
    std::string bytes;
};

std::vector<Refused> RefusedFiles() {
    const std::string good = MakeBmp(BmpRecipe{}, PositionColour);
    std::vector<Refused> r;
    r.push_back({"empty", ""});
    r.push_back({"one byte", "B"});
    r.push_back({"file header only", good.substr(0, 14)});
    r.push_back({"53 bytes", good.substr(0, 53)});
    r.push_back({"headers only", good.substr(0, 54)});
    r.push_back({"last row cut", good.substr(0, good.size() - 1)});
    auto with = [](const char* what, BmpRecipe recipe) { return Refused{what, MakeBmp(recipe, PositionColour)}; };
    BmpRecipe s;
    s.magic = "MB";
    r.push_back(with("not BM", s));
    s = {};
    s.magic = "BA";
    r.push_back(with("OS/2 array", s));
    s = {};
    s.bitCount = 32;
    r.push_back(with("32 bits", s));
    s = {};
    s.bitCount = 8;
    r.push_back(with("8 bits", s));
    s = {};
    s.bitCount = 0;
    r.push_back(with("0 bits", s));
    s = {};
    s.compression = 1;
    r.push_back(with("RLE8", s));
    s = {};
    s.compression = 3;
    r.push_back(with("bit fields", s));
    s = {};
    s.infoSize = 12;
    r.push_back(with("core header", s));
    s = {};
    s.width = 0;
    r.push_back(with("width 0", s));
    s = {};
    s.height = 0;
    r.push_back(with("height 0", s));
    s = {};
    s.width = -4;
    r.push_back(with("negative width", s));
    s = {};
    s.pixelOffset = 10;
    r.push_back(with("pixels inside the headers", s));
    // Lying sizes: the header asks for far more than the file holds.
    std::string huge = good;
    auto put32 = [&huge](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) huge[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    put32(10, 0xFFFFFFF0);
    r.push_back({"pixel offset past the end", huge});
    put32(10, uint32_t(good.size()) - 35);  // the rows would run past the end
    r.push_back({"pixel offset leaves too little", huge});
    put32(10, 54);
    put32(18, 16384);
    put32(22, 16384);
    r.push_back({"16384 x 16384 in 90 bytes", huge});
    put32(18, 0x7FFFFFFF);
    r.push_back({"width 2^31-1", huge});
    put32(18, 4);
    put32(22, 0x80000000u);
    r.push_back({"height -2^31", huge});
    put32(22, 16385);
    r.push_back({"height past the limit", huge});
    return r;
}

TEST(BmpLoad, RefusesAndStaysEmpty) {
    for (const Refused& f : RefusedFiles()) {
        CDibSurface s;
        ASSERT_TRUE(s.Create(3, 3));  // a failed create also releases what was there
        EXPECT_FALSE(s.CreateFromBmp(Bytes(f.bytes))) << f.what;
        EXPECT_TRUE(s.IsEmpty()) << f.what;
        EXPECT_EQ(s.TopRow(), nullptr) << f.what;
        EXPECT_EQ(s.Width(), 0) << f.what;
    }
}

TEST(BmpLoad, FileRefusesTheSameAndStaysEmpty) {
    TempFolder dir;
    for (const Refused& f : RefusedFiles()) {
        const std::string path = dir.Write("x.bmp", f.bytes);
        CDibSurface s;
        ASSERT_TRUE(s.Create(3, 3));
        EXPECT_FALSE(s.CreateFromFile(path)) << f.what;
        EXPECT_TRUE(s.IsEmpty()) << f.what;
    }
}

TEST(BmpLoad, FileLoadsPaddedAndHeaderVariants) {
    TempFolder dir;
    BmpRecipe recipe;
    recipe.width = 321;
    recipe.height = 7;
    recipe.imageSizeField = 0;
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromFile(dir.Write("a.bmp", MakeBmp(recipe, PositionColour))));
    ExpectPicture(s, 321, 7);
    recipe.height = -7;
    recipe.infoSize = 124;
    ASSERT_TRUE(s.CreateFromFile(dir.Write("b.bmp", MakeBmp(recipe, PositionColour))));
    ExpectPicture(s, 321, 7);
}

TEST(BmpLoad, FileMissingOrNotAFile) {
    TempFolder dir;
    CDibSurface s;
    EXPECT_FALSE(s.CreateFromFile(dir.path() + "missing.bmp"));
    EXPECT_FALSE(s.CreateFromFile(dir.path()));  // a folder
    EXPECT_FALSE(s.CreateFromFile(""));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(BmpLoad, EncodeRoundTrips) {
    CDibSurface a;
    ASSERT_TRUE(a.Create(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) a.SetPixel(x, y, PositionColour(x, y));
    const std::string file = a.EncodeBmp();
    ASSERT_EQ(file.size(), 54u + 24u * 5u);  // 7 x 3 = 21 bytes, padded to 24
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(uint8_t(file[10]), 54);
    EXPECT_EQ(uint8_t(file[22]), 5);  // positive height: bottom-up
    EXPECT_EQ(uint8_t(file[28]), 24);
    // Bottom row first: the first pixel in the file is (0, 4).
    EXPECT_EQ(uint8_t(file[54]), 0);
    EXPECT_EQ(uint8_t(file[55]), 4);
    CDibSurface b;
    ASSERT_TRUE(b.CreateFromBmp(Bytes(file)));
    ExpectPicture(b, 7, 5);
    EXPECT_EQ(CDibSurface().EncodeBmp(), "");
}

// --- the surface ---------------------------------------------------------------------------

TEST(Surface, CreateSizes) {
    CDibSurface s;
    EXPECT_FALSE(s.Create(0, 5));
    EXPECT_FALSE(s.Create(5, -1));
    EXPECT_FALSE(s.Create(CDibSurface::kMaxSide + 1, 1));
    EXPECT_TRUE(s.IsEmpty());
    ASSERT_TRUE(s.Create(5, 2, Bgr{1, 2, 3}));
    EXPECT_EQ(s.RowBytes(), 16);
    EXPECT_EQ(s.Pixel(4, 1), (Bgr{1, 2, 3}));
    EXPECT_EQ(s.Pixel(5, 1), Bgr{});  // outside reads black
    EXPECT_EQ(s.Pixel(-1, 0), Bgr{});
}

TEST(Surface, TopRowAddressesTheTopRowWhateverTheFileOrder) {
    BmpRecipe recipe;
    recipe.width = 5;
    recipe.height = 3;  // bottom-up in the file
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromBmp(Bytes(MakeBmp(recipe, PositionColour))));
    const uint8_t* top = s.TopRow();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top[3 * 2 + 0], 2);  // pixel (2, 0): blue = x, green = y
    EXPECT_EQ(top[3 * 2 + 1], 0);
    const uint8_t* second = top + s.RowBytes();
    EXPECT_EQ(second[3 * 4 + 1], 1);  // pixel (4, 1)
}

TEST(Surface, DestroyTwiceIsSafe) {
    CDibSurface s;
    s.Create(2, 2);
    s.Destroy();
    s.Destroy();
    EXPECT_TRUE(s.IsEmpty());
    s.SetPixel(0, 0, Bgr{1, 1, 1});  // nothing on an empty surface
    s.Fill(0, 0, 5, 5, Bgr{});
}

// --- copies --------------------------------------------------------------------------------

constexpr Bgr kWhite{255, 255, 255};

struct CopyCase {
    const char* what;
    int dstX, dstY, srcX, srcY, w, h;
    // The part of the 6 x 5 destination that must change: x, y, w, h (w 0 = nothing).
    int ex, ey, ew, eh;
};

// Source 4 x 3 of position colours, destination 6 x 5 of white.
void CheckCopy(const CopyCase& c) {
    CDibSurface src, dst;
    src.Create(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) src.SetPixel(x, y, PositionColour(x, y));
    dst.Create(6, 5, kWhite);
    src.CopyTo(dst, c.dstX, c.dstY, c.srcX, c.srcY, c.w, c.h);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= c.ex && x < c.ex + c.ew && y >= c.ey && y < c.ey + c.eh;
            const Bgr want = inside ? PositionColour(x - c.dstX + c.srcX, y - c.dstY + c.srcY) : kWhite;
            ASSERT_EQ(dst.Pixel(x, y), want) << c.what << " at " << x << ", " << y;
        }
}

TEST(SurfaceCopy, ClipsToBothPictures) {
    const CopyCase cases[] = {
        {"inside", 1, 1, 0, 0, 4, 3, 1, 1, 4, 3},
        {"part of the source", 2, 2, 1, 1, 2, 2, 2, 2, 2, 2},
        {"past the right edge", 4, 0, 0, 0, 4, 3, 4, 0, 2, 3},
        {"past the bottom", 0, 3, 0, 0, 4, 3, 0, 3, 4, 2},
        {"left of the destination", -2, 0, 0, 0, 4, 3, 0, 0, 2, 3},
        {"above the destination", 0, -2, 0, 0, 4, 3, 0, 0, 4, 1},
        {"source starts left of the source", 1, 1, -1, 0, 4, 3, 2, 1, 3, 3},
        {"source starts above the source", 1, 1, 0, -2, 4, 3, 1, 3, 4, 1},
        {"source wider than the source", 0, 0, 2, 0, 9, 9, 0, 0, 2, 3},
        {"entirely off the destination", 6, 0, 0, 0, 4, 3, 0, 0, 0, 0},
        {"entirely off the source", 0, 0, 4, 0, 4, 3, 0, 0, 0, 0},
        {"zero width", 0, 0, 0, 0, 0, 3, 0, 0, 0, 0},
        {"negative rows", 0, 0, 0, 0, 4, -3, 0, 0, 0, 0},
        {"wild numbers", INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0, 0},
    };
    for (const CopyCase& c : cases) CheckCopy(c);
}

TEST(SurfaceCopy, NonWhiteKeepsDestinationUnderPureWhiteOnly) {
    CDibSurface src, dst;
    src.Create(3, 1);
    src.SetPixel(0, 0, Bgr{255, 255, 255});
    src.SetPixel(1, 0, Bgr{254, 255, 255});  // blue, green, red: (255, 255, 254) in RGB
    src.SetPixel(2, 0, Bgr{0, 0, 0});
    dst.Create(3, 1, Bgr{10, 20, 30});
    src.CopyNonWhiteTo(dst, 0, 0, 0, 0, 3, 1);
    EXPECT_EQ(dst.Pixel(0, 0), (Bgr{10, 20, 30}));
    EXPECT_EQ(dst.Pixel(1, 0), (Bgr{254, 255, 255}));
    EXPECT_EQ(dst.Pixel(2, 0), (Bgr{0, 0, 0}));
}

TEST(SurfaceCopy, NonBlackKeepsDestinationUnderPureBlackOnly) {
    CDibSurface src, dst;
    src.Create(3, 1);
    src.SetPixel(0, 0, Bgr{0, 0, 0});
    src.SetPixel(1, 0, Bgr{0, 0, 1});
    src.SetPixel(2, 0, Bgr{255, 255, 255});
    dst.Create(3, 1, Bgr{10, 20, 30});
    src.CopyNonBlackTo(dst, 0, 0, 0, 0, 3, 1);
    EXPECT_EQ(dst.Pixel(0, 0), (Bgr{10, 20, 30}));
    EXPECT_EQ(dst.Pixel(1, 0), (Bgr{0, 0, 1}));
    EXPECT_EQ(dst.Pixel(2, 0), (Bgr{255, 255, 255}));
}

TEST(SurfaceCopy, MaskedCopiesClipLikeTheOpaqueOne) {
    CDibSurface src, dst;
    src.Create(4, 4, Bgr{1, 2, 3});
    dst.Create(4, 4, kWhite);
    src.CopyNonWhiteTo(dst, 2, 2, 0, 0, 100, 100);
    src.CopyNonBlackTo(dst, -3, -3, 0, 0, 4, 4);
    EXPECT_EQ(dst.Pixel(0, 0), (Bgr{1, 2, 3}));
    EXPECT_EQ(dst.Pixel(1, 1), kWhite);
    EXPECT_EQ(dst.Pixel(3, 3), (Bgr{1, 2, 3}));
    EXPECT_EQ(dst.Pixel(1, 3), kWhite);
}

TEST(SurfaceCopy, OverlappingCopyInsideOneSurfaceReadsTheSourceFirst) {
    CDibSurface s;
    s.Create(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) s.SetPixel(x, y, PositionColour(x, y));
    s.CopyTo(s, 1, 1, 0, 0, 4, 4);  // down and right by one
    for (int y = 1; y < 5; ++y)
        for (int x = 1; x < 5; ++x) ASSERT_EQ(s.Pixel(x, y), PositionColour(x - 1, y - 1));
    s.CopyNonWhiteTo(s, 0, 0, 1, 1, 4, 4);  // and back up
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(s.Pixel(x, y), PositionColour(x, y));
}

// --- fading --------------------------------------------------------------------------------

std::vector<int> FadeSteps(int source, int start, int bias, int steps) {
    CDibSurface src, dst;
    src.Create(1, 1, Bgr{uint8_t(source), uint8_t(source), uint8_t(source)});
    dst.Create(1, 1, Bgr{uint8_t(start), uint8_t(start), uint8_t(start)});
    std::vector<int> seen;
    for (int i = 0; i < steps; ++i) {
        src.FadeInto(dst, 0, 0, 0, 0, 1, 1, bias);
        seen.push_back(dst.Pixel(0, 0).g);
    }
    return seen;
}

TEST(Fade, HalfWayEachCallStoppingOneShort) {
    EXPECT_EQ(FadeSteps(200, 100, 0, 9), (std::vector<int>{150, 175, 187, 193, 196, 198, 199, 199, 199}));
}

TEST(Fade, PositiveBiasReachesABrighterSource) {
    const std::vector<int> s = FadeSteps(200, 100, 2, 10);
    EXPECT_EQ(s.front(), 151);
    EXPECT_EQ(s.back(), 200);
}

TEST(Fade, TowardADarkerSource) {
    EXPECT_EQ(FadeSteps(100, 200, 0, 8), (std::vector<int>{150, 125, 112, 106, 103, 101, 100, 100}));
    // The bias goes further toward a darker source too, and with it the fall ends on it.
    EXPECT_EQ(FadeSteps(100, 200, 10, 1), (std::vector<int>{145}));
    EXPECT_EQ(FadeSteps(100, 200, -10, 1), (std::vector<int>{155}));
    EXPECT_EQ(FadeSteps(100, 200, 2, 10).back(), 100);
}

TEST(Fade, NeverPassesTheSourceNorMovesAway) {
    for (int s = 0; s <= 255; s += 15)
        for (int d = 0; d <= 255; d += 17)
            for (int bias : {INT_MIN, -300, -7, 0, 7, 300, INT_MAX}) {
                const int n = FadeSteps(s, d, bias, 1)[0];
                ASSERT_GE(n, std::min(s, d)) << s << " " << d << " " << bias;
                ASSERT_LE(n, std::max(s, d)) << s << " " << d << " " << bias;
            }
}

TEST(Fade, WorksPerByteAndClips) {
    CDibSurface src, dst;
    src.Create(2, 1, Bgr{200, 0, 100});
    dst.Create(2, 1, Bgr{100, 100, 100});
    src.FadeInto(dst, 1, 0, 0, 0, 5, 5, 0);
    EXPECT_EQ(dst.Pixel(0, 0), (Bgr{100, 100, 100}));
    EXPECT_EQ(dst.Pixel(1, 0), (Bgr{150, 50, 100}));
}

}  // namespace
