// The built-in skin picture follows the layout: what the composition copies from it has to be
// there, and the lit forms have to look different from the unlit ones.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "render/SkinLayout.h"
#include "tests/render/RenderTestSupport.h"

namespace {

using skin::Rect;

class SkinArt : public ::testing::Test {
protected:
    void SetUp() override { LoadBuiltInSkin(s_); }
    int Differing(const Rect& a, int bx, int by) const {
        int n = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x)
                if (!(s_.Pixel(a.x + x, a.y + y) == s_.Pixel(bx + x, by + y))) ++n;
        return n;
    }
    static int Luma(Bgr p) { return (p.r * 299 + p.g * 587 + p.b * 114) / 1000; }
    CDibSurface s_;
};

TEST_F(SkinArt, StripsAreWhite) {
    for (int y = 200; y < 280; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(s_.Pixel(x, y), (Bgr{255, 255, 255})) << x << ", " << y;
}

TEST_F(SkinArt, EveryLitFormDiffersVisiblyFromItsUnlitForm) {
    struct Element {
        const char* name;
        Rect r;
    };
    const Element elements[] = {
        {"CONFIG", skin::kConfig}, {"REPEAT", skin::kRepeat}, {"SHUFFLE", skin::kShuffle},
        {"POWER", skin::kPower},   {"FILE", skin::kFile},     {"STOP", skin::kStop},
        {"STILL", skin::kStill},   {"REW", skin::kRew},       {"PLAY", skin::kPlay},
        {"FF", skin::kFf},         {"BACK", skin::kBack},     {"NEXT", skin::kNext},
        {"FULL", skin::kFull},     {"INDEX", skin::kIndexLabel},
        {"TOTAL/TRACK", skin::kTotalTrackLabels}, {"percent", skin::kPercentSign},
        {"TIME", skin::kTimeLabel}, {"TIME/FRAME", skin::kTimeFrameLabels},
        {"mmS", skin::kMmsLabel},  {"logo", skin::kLogo},
    };
    for (const Element& e : elements) {
        const int differing = Differing(e.r, e.r.x, e.r.y + 100);
        EXPECT_GE(differing * 5, e.r.w * e.r.h / 4) << e.name << ": " << differing << " pixels";
    }
    struct Special {
        const char* name;
        Rect image;
        Rect target;
    };
    const Special specials[] = {
        {"grey play", skin::kGreyPlay, skin::kGreyPlayAt},
        {"lit pause", skin::kLitPause, skin::kStill},
        {"grey pause", skin::kGreyPause, skin::kStill},
        {"zoom plus", skin::kZoomPlusLit, skin::kZoom},
        {"zoom minus", skin::kZoomMinusLit, skin::kZoom},
    };
    for (const Special& sp : specials)
        EXPECT_GT(Differing(sp.image, sp.target.x, sp.target.y), 20) << sp.name;
    // The two zoom halves light separately.
    EXPECT_GT(Differing(Rect{462, 30, 19, 13}, 512, 30), 20);
    EXPECT_GT(Differing(Rect{481, 30, 19, 13}, 531, 30), 20);
}

TEST_F(SkinArt, LitBackdropCarriesLettersBrightly) {
    // Letters take the backdrop's colour: it must hold no pure white (which the mask would
    // drop) and be far brighter than the unlit glass behind the title.
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 141; ++x) {
            const Bgr lit = s_.Pixel(60 + x, 127 + y);
            ASSERT_FALSE(lit == (Bgr{255, 255, 255})) << x << ", " << y;
            ASSERT_GT(Luma(lit), Luma(s_.Pixel(60 + x, 27 + y)) + 100) << x << ", " << y;
        }
}

TEST_F(SkinArt, GlyphsAreDistinctAndFitTheDisplay) {
    for (const Rect atlas : {skin::kLargeGlyphs, skin::kSmallGlyphs}) {
        std::set<std::vector<uint8_t>> seen;
        for (int g = 0; g < 14; ++g) {
            std::vector<uint8_t> cell;
            for (int y = 0; y < atlas.h; ++y)
                for (int x = 0; x < 6; ++x) {
                    const Bgr p = s_.Pixel(atlas.x + 7 * g + x, atlas.y + y);
                    // Counter-mode digits are copied without white: a cell without white is
                    // drawn whole.
                    ASSERT_FALSE(p == (Bgr{255, 255, 255})) << g;
                    cell.insert(cell.end(), {p.b, p.g, p.r});
                }
            EXPECT_TRUE(seen.insert(cell).second) << "glyph " << g << " repeats another";
        }
    }
    // A cell's background is the glass it lands on: the corners of the minus and the one
    // (which no segment or glow reaches) equal the gaps between the cells they fill.
    for (int g : {1, skin::kGlyphMinus}) {
        EXPECT_EQ(s_.Pixel(412 + 7 * g, 0), s_.Pixel(142, 55)) << g;
        EXPECT_EQ(s_.Pixel(412 + 7 * g, 12), s_.Pixel(142, 67)) << g;
        EXPECT_EQ(s_.Pixel(412 + 7 * g, 15), s_.Pixel(74, 57)) << g;
        EXPECT_EQ(s_.Pixel(412 + 7 * g, 25), s_.Pixel(74, 67)) << g;
    }
}

TEST_F(SkinArt, SlotsAreEvenWhereTheKnobsTravel) {
    // A knob is copied with its rectangle: the slot under it must look the same everywhere.
    for (int y = 2; y <= 12; ++y)
        for (int x = 62; x <= 62 + 206 + 22; ++x) ASSERT_EQ(s_.Pixel(x, y), s_.Pixel(62, y)) << x << ", " << y;
    for (int y = 75; y <= 83; ++y)
        for (int x = 61; x <= 61 + 58 + 14; ++x) ASSERT_EQ(s_.Pixel(x, y), s_.Pixel(61, y)) << x << ", " << y;
    // Knob corners show the slot.
    EXPECT_EQ(s_.Pixel(412, 30), s_.Pixel(62, 2));
    EXPECT_EQ(s_.Pixel(412 + 22, 30 + 10), s_.Pixel(62, 12));
    EXPECT_EQ(s_.Pixel(442, 30), s_.Pixel(61, 75));
    // And the knob itself is there.
    EXPECT_GT(Differing(skin::kPositionKnob, 100, 2), 150);
    EXPECT_GT(Differing(skin::kVolumeKnob, 80, 75), 80);
}

TEST_F(SkinArt, OutlineWithTwoTabs) {
    // Outside the window's shape the picture is background; the tabs are body.
    const Bgr outside = s_.Pixel(100, 89);
    for (auto [x, y] : {std::pair{5, 89}, {160, 88}, {316, 90}, {40, 91}, {330, 40}})
        EXPECT_EQ(s_.Pixel(x, y), outside) << x << ", " << y;
    for (auto [x, y] : {std::pair{40, 88}, {280, 89}})
        EXPECT_NE(s_.Pixel(x, y), outside) << x << ", " << y;
    EXPECT_NE(s_.Pixel(0, 40), s_.Pixel(5, 40));  // an edge line along the body
}

TEST_F(SkinArt, TheLitPlayerIsTheSamePlayer) {
    // Away from the elements, the lit player matches the unlit one.
    EXPECT_EQ(Differing(Rect{0, 0, 12, 93}, 0, 100), 0);
    EXPECT_EQ(Differing(Rect{303, 16, 18, 77}, 303, 116), 0);
    EXPECT_EQ(Differing(Rect{62, 2, 229, 11}, 62, 102), 0);
}

}  // namespace
