// Surfaces (".bmp" pictures, copies, fades), the player picture against golden pictures, the window's shape.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <climits>
#include <vector>
#include "render/Composition.h"
#include "render/DeviceScale.h"
#include "render/PictureChange.h"
#include "render/SkinLayout.h"
#include "render/WindowShape.h"
#include "tests/render/RenderTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {
std::span<const uint8_t> Bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

void ExpectPicture(const CDibSurface& s, int w, int h) {
    ASSERT_EQ(std::pair(s.Width(), s.Height()), std::pair(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(s.Pixel(x, y), PositionColour(x, y)) << "at " << x << ", " << y;
}

TEST(BmpLoad, EveryRowAlignedAndOnlyTheCornerAskedForIsReadEvenOfAHugeFile) {
    TempFolder dir;
    const BmpRecipe recipes[] = {
        {321, 5}, {1, 3}, {2, 3}, {3, 3}, {5, 3}, {6, -4},  // -4: top-down
        {.width = 5, .imageSizeField = 0}, {.width = 5, .imageSizeField = 5},
        {.width = 5, .imageSizeField = int64_t(1) << 31},  // the size field is not trusted
        {.infoSize = 124}, {.width = 7, .height = -3, .infoSize = 52},
        {.pixelOffset = 54 + 1024},  // a gap before the pixels
    };
    for (const BmpRecipe& r : recipes) {
        SCOPED_TRACE(::testing::Message() << r.width << " x " << r.height << ", header " << r.infoSize
                                          << ", size field " << r.imageSizeField << ", pixels at " << r.pixelOffset);
        const std::string file = MakeBmp(r, PositionColour);
        CDibSurface a, b;
        ASSERT_TRUE(a.CreateFromBmp(Bytes(file)));
        ExpectPicture(a, r.width, std::abs(r.height));
        EXPECT_EQ(a.RowBytes(), (r.width * 3 + 3) / 4 * 4);
        ASSERT_TRUE(b.CreateFromFile(dir.Write("p.bmp", file)));
        ExpectPicture(b, r.width, std::abs(r.height));
        ASSERT_TRUE(b.CreateFromFile(dir.path() + "p.bmp", 2, 2)) << "the top-left corner only";
        ExpectPicture(b, std::min(r.width, 2), 2);
    }
    // 16384 x 16384, bottom-up, 805 MB on paper: a sparse file with only the top 400 rows.
    std::string head = MakeBmp({16384, 1}, PositionColour).substr(0, 54);
    head.replace(22, 4, std::string("\x00\x40\x00\x00", 4));  // height 16384
    const off_t rowBytes = 16384 * 3;
    const int fd = ::open((dir.path() + "huge.bmp").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(::pwrite(fd, head.data(), 54, 0), 54);
    ASSERT_EQ(::ftruncate(fd, 54 + rowBytes * 16384), 0);
    for (int y = 0; y < 400; ++y) {
        std::string row; for (int x = 0; x < 640; ++x) row += {char(x), char(y), 77};
        ASSERT_EQ(::pwrite(fd, row.data(), row.size(), 54 + rowBytes * (16383 - y)), ssize_t(row.size()));
    }
    ::close(fd);
    CDibSurface s;
    ASSERT_TRUE(s.CreateFromFile(dir.path() + "huge.bmp", 640, 400));
    ExpectPicture(s, 640, 400);
}

TEST(BmpLoad, RefusedFromBytesAndFromFilesAndTheSurfaceIsEmpty) {
    const std::string good = MakeBmp(BmpRecipe{}, PositionColour);
    std::vector<std::pair<const char*, std::string>> r = {{"empty", ""}, {"one byte", "B"},
        {"file header only", good.substr(0, 14)}, {"53 bytes", good.substr(0, 53)}, {"headers", good.substr(0, 54)},
        {"last row cut", good.substr(0, good.size() - 1)}};
    const std::pair<const char*, BmpRecipe> recipes[] = {
        {"not BM", {.magic = "MB"}}, {"OS/2 array", {.magic = "BA"}}, {"32 bits", {.bitCount = 32}},
        {"8 bits", {.bitCount = 8}}, {"RLE8", {.compression = 1}}, {"bit fields", {.compression = 3}},
        {"core header", {.infoSize = 12}}, {"width 0", {.width = 0}}, {"height 0", {.height = 0}},
        {"negative width", {.width = -4}}, {"pixels inside the headers", {.pixelOffset = 10}}};
    for (const auto& [what, recipe] : recipes) r.push_back({what, MakeBmp(recipe, PositionColour)});
    // Lying sizes: the header asks for far more than the file holds.
    std::string huge = good;
    auto put32 = [&huge](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) huge[at + i] = char(v >> (8 * i)); };
    const std::tuple<const char*, size_t, uint32_t> lies[] = {{"pixel offset past the end", 10, 0xFFFFFFF0},
        {"pixel offset leaves too little", 10, uint32_t(good.size()) - 35}, {"", 10, 54}, {"", 18, 16384},
        {"16384 x 16384 in 90 bytes", 22, 16384}, {"width 2^31-1", 18, 0x7FFFFFFF}, {"", 18, 4},
        {"height -2^31", 22, 0x80000000u}, {"height past the limit", 22, 16385}};
    for (const auto& [what, at, value] : lies)  // each lie on top of the ones before
        if (put32(at, value); *what != '\0') r.push_back({what, huge});
    TempFolder dir;
    for (const auto& [what, bytes] : r) {
        CDibSurface s, f;
        ASSERT_TRUE(s.Create(3, 3) && f.Create(3, 3));  // a failed create also releases what was there
        EXPECT_FALSE(s.CreateFromBmp(Bytes(bytes))) << what;
        EXPECT_FALSE(f.CreateFromFile(dir.Write("x.bmp", bytes))) << what;
        EXPECT_TRUE(s.IsEmpty() && s.TopRow() == nullptr && s.Width() == 0 && f.IsEmpty()) << what;
    }
    ASSERT_EQ(::mkfifo((dir.path() + "fifo.bmp").c_str(), 0644), 0);
    CDibSurface s;
    for (const std::string& path : {dir.path() + "missing.bmp", dir.path(), std::string(), dir.path() + "fifo.bmp"})
        EXPECT_FALSE(s.CreateFromFile(path)) << path;
}

TEST(Surface, CreateAddressingAndEncoding) {
    CDibSurface s, b;
    EXPECT_FALSE(s.Create(0, 5) || s.Create(5, -1) || s.Create(CDibSurface::kMaxSide + 1, 1));
    ASSERT_TRUE(s.Create(7, 5, Bgr{1, 2, 3}));
    EXPECT_TRUE(s.Pixel(6, 4) == (Bgr{1, 2, 3}) && s.Pixel(7, 4) == Bgr{} && s.Pixel(-1, 0) == Bgr{});  // outside: 0
    for (int i = 0; i < 35; ++i) s.SetPixel(i % 7, i / 7, PositionColour(i % 7, i / 7));
    EXPECT_EQ(s.TopRow()[s.RowBytes() + 3 * 4 + 1], 1);  // pixel (4, 1): green = y
    const std::string file = s.EncodeBmp();  // bottom-up, 21 bytes a row padded to 24, bottom row first
    EXPECT_EQ(file.substr(0, 2) + std::to_string(file.size()) + std::to_string(file[22]) + file.substr(54, 2),
              std::string("BM1745\0\4", 8));
    ASSERT_TRUE(b.CreateFromBmp(Bytes(file)));
    ExpectPicture(b, 7, 5);
    ASSERT_TRUE(b.Create(20, 10));
    EXPECT_EQ(b.EncodeBmp().substr(2, 4), std::string("\x8E\x02\0\0", 4)) << "the file's size, 54 + 10 rows of 60";
    const Bgr g{9, 9, 9}; s.Fill(1, 1, 5, 2, g);
    EXPECT_TRUE(s.Pixel(5, 2) == g && s.Pixel(6, 1) == PositionColour(6, 1) && s.Pixel(1, 3) == PositionColour(1, 3));
    s.Destroy();
    s.SetPixel(0, 0, Bgr{1, 1, 1});  // nothing on an empty surface
    EXPECT_TRUE(s.IsEmpty() && s.EncodeBmp().empty());
}

TEST(SurfaceCopy, ClipsToBothPictures) {
    constexpr Bgr kWhite{255, 255, 255};
    // A 4 x 3 source of position colours into a 6 x 5 white destination; the rectangle that
    // must change is x, y, w, h (w 0: nothing).
    const std::array<int, 10> cases[] = {
        {1, 1, 0, 0, 4, 3, 1, 1, 4, 3}, {2, 2, 1, 1, 2, 2, 2, 2, 2, 2}, {4, 0, 0, 0, 4, 3, 4, 0, 2, 3},
        {0, 3, 0, 0, 4, 3, 0, 3, 4, 2}, {-2, 0, 0, 0, 4, 3, 0, 0, 2, 3}, {0, -2, 0, 0, 4, 3, 0, 0, 4, 1},
        {1, 1, -1, 0, 4, 3, 2, 1, 3, 3}, {1, 1, 0, -2, 4, 3, 1, 3, 4, 1}, {0, 0, 2, 0, 9, 9, 0, 0, 2, 3},
        {6, 0, 0, 0, 4, 3, 0, 0, 0, 0}, {0, 0, 4, 0, 4, 3, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 3, 0, 0, 0, 0},
        {0, 0, 0, 0, 4, -3, 0, 0, 0, 0}, {INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX, INT_MAX, 0, 0, 0, 0}};
    for (const auto& [dstX, dstY, srcX, srcY, w, h, ex, ey, ew, eh] : cases) {
        CDibSurface src, dst;
        src.Create(4, 3); dst.Create(6, 5, kWhite);
        for (int i = 0; i < 12; ++i) src.SetPixel(i % 4, i / 4, PositionColour(i % 4, i / 4));
        src.CopyTo(dst, dstX, dstY, srcX, srcY, w, h);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool inside = x >= ex && x < ex + ew && y >= ey && y < ey + eh;
                ASSERT_EQ(dst.Pixel(x, y), inside ? PositionColour(x - dstX + srcX, y - dstY + srcY) : kWhite) << dstX
                    << "," << dstY << " " << srcX << "," << srcY << " " << w << "x" << h << " at " << x << "," << y;
            }
    }
}

std::vector<int> FadeSteps(int source, int start, int bias, int steps) {
    const auto grey = [](int v) { return Bgr{uint8_t(v), uint8_t(v), uint8_t(v)}; };
    CDibSurface src, dst;
    src.Create(1, 1, grey(source)); dst.Create(1, 1, grey(start));
    std::vector<int> seen;
    for (int i = 0; i < steps; ++i) { src.FadeInto(dst, 0, 0, 0, 0, 1, 1, bias); seen.push_back(dst.Pixel(0, 0).g); }
    return seen;
}

TEST(Fade, HalfWayEachCallTowardTheSourceNeverPastIt) {
    EXPECT_EQ(FadeSteps(200, 100, 0, 9), (std::vector<int>{150, 175, 187, 193, 196, 198, 199, 199, 199}));
    EXPECT_EQ(FadeSteps(100, 200, 0, 8), (std::vector<int>{150, 125, 112, 106, 103, 101, 100, 100}));
    // A bias goes further both ways and reaches the source; a negative one holds back.
    EXPECT_EQ(FadeSteps(200, 100, 2, 10).back(), 200);
    EXPECT_EQ(std::pair(FadeSteps(100, 200, 10, 1)[0], FadeSteps(100, 200, -10, 1)[0]), std::pair(145, 155));
    for (int i = 0; i < 18 * 16 * 3; ++i) {
        const int s = i % 18 * 15, d = i / 18 % 16 * 17, bias = (i / 288 - 1) * 300, n = FadeSteps(s, d, bias, 1)[0];
        ASSERT_TRUE(n >= std::min(s, d) && n <= std::max(s, d)) << s << " " << d << " " << bias;
    }
}

struct Rig {
    Rig() { for (CDibSurface* s : {&skin, &work}) LoadBuiltInSkin(*s); }
    DisplayText Frame() { return ComposeFrame(work, skin, state, settings, in); }
    CDibSurface skin, work; PlayerState state; Settings settings; FrameInputs in{0, 1, 0};
};

// Lit counters 0, 2, 4 ... in one picture and 1, 3, 5 ... in the other: a neighbour's shows.
TEST(CompositionTest, FramesMatchTheirGoldenPicturesAndTimeFieldsStopAtTheirLargestValue) {
    struct Case { const char* golden; PlayerState st; FrameInputs in; int lit; };
    const auto timed = [](int lengthMs, int lengthFrames, int mode) {
        return PlayerState{.lengthMs = lengthMs, .lengthFrames = lengthFrames, .timeDisplayMode = TimeDisplayMode(mode),
                           .seekKnobX = 40, .volumeKnobX = 58};
    };
    const Case cases[] = {
        {"frame_closed_even.bmp", {.closed = 1, .timeDisplayMode = TimeDisplayMode::RawPosition, .seekKnobX = -5,
                                   .volumeKnobX = 99, .marqueeLine = 0, .zoomShowTicks = 3, .zoomPercent = 0},
         {-5, 0, 7}, 0},
        {"frame_paused_odd.bmp", {.paused = 1, .lengthMs = 3725000, .timeDisplayMode = TimeDisplayMode::Remaining,
                                  .seekKnobX = 103, .volumeKnobX = 29, .showZoom = 1, .zoomPercent = 150,
                                  .activeApp = 0},
         {2995000, 1234, 1233}, 1},  // 0:12:10 left
        {"time_counter_ms.bmp", timed(3725000, 3725000, 0), {1234567, 3, 1}, -1},
        {"time_counter_frames.bmp", timed(3725000, 111750, 0), {4321, 3, 1}, -1},
        {"time_elapsed.bmp", timed(4000000, 120000, 1), {3725000, 3, 1}, -1},
        {"time_remaining.bmp", timed(3725000, 111750, 2), {1000, 3, 1}, -1},
    };
    for (const Case& c : cases) {
        Rig r;
        r.state = c.st; r.in = c.in;
        r.settings.shuffle = c.lit == 0;  // SHUFFLE lit with the even counters, REPEAT with the odd
        r.settings.repeat = c.lit != 0;
        for (int i = c.lit; c.lit >= 0 && i < 20; i += 2) r.state.buttonCounters[i] = 1;
        r.Frame();
        EXPECT_TRUE(MatchesGolden(r.work, 0, 0, 407, 93, c.golden));
    }
    using skin::kGlyphHour, skin::kGlyphMinute, skin::kGlyphSecond;
    const std::array<int, 8> clock{9, kGlyphHour, 5, 9, kGlyphMinute, 5, 9, kGlyphSecond};
    EXPECT_EQ(TimeFieldFor(PlayerState{.timeDisplayMode = TimeDisplayMode::Elapsed}, 36000000).cells, clock);
    EXPECT_EQ(TimeFieldFor(PlayerState{.timeDisplayMode = TimeDisplayMode::RawPosition}, 123456789).cells,
              (std::array{9, 9, 9, 9, 9, 9, 9, 9}));
}

// A synthetic title: a bar as wide as the line, 6 more pixels past its end that must never show,
// a mark at its start. Line 1 lights INDEX; the browsed name (200 wide) replaces the ticker. A
// step due moves 4 pixels first (entering from the right after an open), never on an empty list.
// The frame also says which text pieces it showed, for the presenter that redraws them at device
// resolution: the line, the gap and the line again, cut to the 141 pixels.
TEST(CompositionTest, TickerFramesMatchTheirGoldenPicture) {
    enum { kStep = 1, kEarly = 2, kFresh = 4, kEmpty = 8, kBrowse = 16 };
    struct Case { int line, width, offset, flags; std::vector<TextPiece> shown; };
    const Case cases[] = {
        {1, 50, -40, 0, {{0, 240, 50, 40}, {0, 200, 40, 90}, {0, 240, 11, 130}}},
        {1, 50, 20, 0, {{20, 240, 30, 0}, {0, 200, 40, 30}, {0, 240, 50, 70}}},
        {1, 50, 48, kStep, {{2, 200, 38, 0}, {0, 240, 50, 38}}},
        {1, 50, 50, 0, {{0, 240, 50, 40}, {0, 200, 40, 90}, {0, 240, 11, 130}}},
        {0, 300, 100, 0, {{100, 220, 141, 0}}},
        {0, 300, 159, 0, {{159, 220, 141, 0}}},
        {0, 300, 250, 0, {{250, 220, 50, 0}, {0, 200, 40, 50}, {0, 220, 51, 90}}},
        {1, 300, -141, 0, {}},
        {1, 300, -137, 0, {{0, 240, 4, 137}}},
        {1, 0, 4, 0, {{0, 200, 40, 40}}},
        {1, -3, -40, 0, {{0, 200, 40, 40}}},
        {1, 300, -141, kBrowse, {{0, 260, 141, 0}}},
        {1, 200, 999, kStep | kFresh, {{0, 240, 4, 137}}},
        {1, 200, 10, kStep | kEmpty, {{10, 240, 141, 0}}},
        {1, 200, 10, kEarly, {{10, 240, 141, 0}}},
    };
    CDibSurface strips;
    strips.Create(143, 24 * std::size(cases));
    for (const Case& c : cases) {
        Rig r;
        for (int strip : {220 + 20 * c.line, 260}) {
            ClearTextStrip(r.skin, strip);
            r.skin.Fill(0, strip + 5, (strip == 260 ? 200 : std::max(c.width, 0)) + 6, 1, Bgr{0, 0, 0});
            r.skin.SetPixel(0, strip + 10, Bgr{0, 0, 0});
        }
        r.state = {.browseCounter = c.flags & kStep ? 5 : c.flags & kEarly ? 4 : 0,
                   .trackPending = c.flags & kBrowse ? 1 : 0, .marqueeLine = c.line, .marqueeOffset = c.offset,
                   .marqueeStarted = c.flags & kFresh ? 0 : 1,
                   .titleWidth = {c.line ? 999 : c.width, c.line ? c.width : 999}};
        r.in.playlistCount = c.flags & kEmpty ? 0 : 1;
        const DisplayText shown = r.Frame();
        EXPECT_EQ(std::vector<TextPiece>(shown.pieces.begin(), shown.pieces.begin() + shown.count), c.shown)
            << "line " << c.line << ", " << c.width << " wide at " << c.offset << ", flags " << c.flags;
        r.work.CopyTo(strips, 0, 24 * int(&c - cases), 59, 22, 143, 24);
    }
    EXPECT_TRUE(MatchesGolden(strips, 0, 0, 143, 24 * std::size(cases), "ticker_frames.bmp"));
}

// Logical pixels on whole device pixels: the first blocks' widths and the window's device size
// at each ratio, and every device pixel of the window in exactly one logical pixel.
TEST(DeviceScaleTest, EveryDevicePixelBelongsToOneLogicalPixel) {
    struct Case { double ratio; std::array<int, 4> firstWidths; int width, height; };
    const Case cases[] = {
        {.ratio = 1, .firstWidths = {1, 1, 1, 1}, .width = 321, .height = 92},
        {.ratio = 1.25, .firstWidths = {1, 2, 1, 1}, .width = 401, .height = 115},
        {.ratio = 1.5, .firstWidths = {2, 1, 2, 1}, .width = 482, .height = 138},
        {.ratio = 2, .firstWidths = {2, 2, 2, 2}, .width = 642, .height = 184},
        {.ratio = 3, .firstWidths = {3, 3, 3, 3}, .width = 963, .height = 276},
        {.ratio = -2, .firstWidths = {1, 1, 1, 1}, .width = 321, .height = 92},  // not a ratio: 1
    };
    for (const Case& c : cases) {
        const DeviceScale scale(c.ratio);
        EXPECT_EQ((std::array{scale.Edge(1), scale.Edge(2) - scale.Edge(1), scale.Edge(3) - scale.Edge(2),
                              scale.Edge(4) - scale.Edge(3)}), c.firstWidths) << c.ratio;
        EXPECT_EQ(std::pair(scale.Edge(321), scale.Edge(92)), std::pair(c.width, c.height)) << c.ratio;
        for (int d = 0; d < c.width; ++d) {
            const int i = scale.LogicalOf(d);
            ASSERT_TRUE(i >= 0 && i < 321 && scale.Edge(i) <= d && d < scale.Edge(i + 1)) << c.ratio << ": " << d;
            ASSERT_EQ(scale.LogicalOfPosition(d / scale.ratio), i) << c.ratio << ": " << d;
        }
    }
}

// Ticker steps: the line starts over, the gap (40) first, once it has run the width of the title line it shows (line
// 0 here is 10 wide, line 1 999); the zoom percentage shows for six steps.
TEST(CompositionTest, TickerStepsStartOverAtTheLineWidthAndShowTheZoomForSix) {
    for (const auto& [line, offsetAfter] : {std::pair{0, -40}, {1, 10}}) {
        PlayerState st{.marqueeLine = line, .marqueeOffset = 10, .titleWidth = {10, 999}};
        AdvanceTicker(st, 1);
        EXPECT_EQ(st.marqueeOffset, offsetAfter) << "line " << line;
    }
    for (int fast : {0, 1}) {
        Rig r;
        r.state = {.zoomShowTicks = 6, .zoomPercent = 100};
        int shown = 0;  // frames with the percent sign lit
        for (int tick = 0; tick < 40; ++tick) {
            r.state.browseCounter = fast ? r.state.browseCounter + 1 : 5;
            r.Frame();
            shown += SameRect(r.work, 123, 62, r.skin, 123, 162, 6, 6);
        }
        // A step comes each frame at a counter of 5, every fifth frame when it counts up from 0: six steps.
        EXPECT_EQ(shown, fast ? 30 : 6) << (fast ? "counting" : "at 5");
    }
}

// The right end of the dark run on the row below (230 + 1); never past a narrow surface.
TEST(CompositionTest, MeasureLine) {
    for (auto [from, to, width, expected] :
         {std::tuple{100, 102, 640, 98}, {638, 639, 640, 635}, {0, -1, 640, 1}, {100, 102, 639, 1}}) {
        CDibSurface s; s.Create(width, 400);
        if (to >= from) { s.Fill(from, 231, to - from + 1, 1, Bgr{0, 255, 255}); s.Fill(50, 231, 5, 1, Bgr{0, 0, 0}); }
        EXPECT_EQ(MeasureLine(s, 230), expected) << from << ".." << to << " on " << width;
    }
}

// Changed pixels (x, y, which byte) become rectangles: bands of changed rows, cut at 8 unchanged columns.
TEST(PictureChangeTest, ChangedPixelsBecomeBandsCutWhereEightColumnsStayTheSame) {
    using Changes = std::vector<std::array<int, 3>>;
    using Rects = std::vector<std::array<int, 4>>;
    const std::pair<Changes, Rects> cases[] = {
        {{}, {}},
        {{{0, 0, 0}}, {{0, 0, 1, 1}}},
        {{{39, 9, 2}}, {{39, 9, 1, 1}}},
        {{{3, 2, 1}, {10, 2, 0}}, {{3, 2, 8, 1}}},
        {{{3, 2, 1}, {12, 2, 0}}, {{3, 2, 1, 1}, {12, 2, 1, 1}}},
        {{{3, 2, 0}, {6, 3, 2}, {5, 5, 0}}, {{3, 2, 4, 2}, {5, 5, 1, 1}}},
        {{{0, 0, 0}, {30, 0, 0}, {21, 1, 1}}, {{0, 0, 1, 2}, {21, 0, 1, 2}, {30, 0, 1, 2}}},
        {{{30, 8, 0}, {0, 9, 0}}, {{0, 8, 1, 2}, {30, 8, 1, 2}}},
    };
    constexpr int W = 40, H = 10, kPadded = W * 3 + 5;  // the rows of `before` carry 5 bytes of padding
    for (const auto& [changes, expected] : cases) {
        std::vector<uint8_t> before(size_t(kPadded) * H, 0xEE), after(size_t(W) * 3 * H);
        for (int i = 0; i < W * 3 * H; ++i)
            after[size_t(i)] = before[size_t(i / (W * 3) * kPadded + i % (W * 3))] = uint8_t(i);
        for (const auto& [x, y, byte] : changes) after[size_t(y * W * 3 + x * 3 + byte)] ^= 0x40;
        Rects rects;
        for (const skin::Rect& r : ChangedRects({before.data(), kPadded}, {after.data(), W * 3}, W, H, 3))
            rects.push_back({r.x, r.y, r.w, r.h});
        EXPECT_EQ(rects, expected) << ::testing::PrintToString(changes);
    }
}

TEST(WindowShape, TwoTabsBelowTheBodyAndNothingElse) {
    const std::vector<ShapeRect> shape = MainWindowShape();
    const std::tuple<int, int, bool> points[] = {
        {40, 89, true}, {100, 89, false}, {40, 91, false}, {320, 0, true}, {321, 0, false}, {0, 0, true}, {0, 87, true},
        {0, 88, false}, {-1, 0, false}, {0, -1, false}, {7, 88, false}, {8, 88, true}, {72, 90, true}, {73, 90, false},
        {247, 89, false}, {248, 89, true}, {312, 90, true}, {313, 88, false}, {160, 88, false}, {160, 87, true}};
    for (const auto& [x, y, inside] : points) EXPECT_EQ(RegionContains(shape, x, y), inside) << x << ", " << y;
    int area = 0, sum = 0;
    for (int i = 0; i < 335 * 105; ++i) area += RegionContains(shape, i % 335 - 5, i / 335 - 5);
    for (const ShapeRect& r : shape) sum += r.width * r.height;
    EXPECT_EQ(area, 321 * 88 + 2 * 65 * 3);  // the body and two tabs of 65 x 3
    EXPECT_EQ(sum, area) << "the rectangles overlap";
    EXPECT_TRUE(OverlayShape().empty());
}
}  // namespace
