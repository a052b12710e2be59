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
    CDibSurface s_;
};

TEST_F(SkinArt, EveryLitFormDiffersVisiblyFromItsUnlitForm) {
    const Rect elements[] = {skin::kConfig, skin::kRepeat, skin::kShuffle, skin::kPower, skin::kFile, skin::kStop,
        skin::kStill, skin::kRew, skin::kPlay, skin::kFf, skin::kBack, skin::kNext, skin::kFull, skin::kIndexLabel,
        skin::kTotalTrackLabels, skin::kPercentSign, skin::kTimeLabel, skin::kTimeFrameLabels, skin::kMmsLabel, skin::kLogo};
    for (const Rect& r : elements) {
        const int differing = Differing(r, r.x, r.y + 100);
        EXPECT_GE(differing * 5, r.w * r.h / 4) << r.x << ", " << r.y << ": " << differing << " pixels";
    }
    const std::pair<Rect, Rect> specials[] = {{skin::kGreyPlay, skin::kGreyPlayAt}, {skin::kLitPause, skin::kStill},
        {skin::kGreyPause, skin::kStill}, {skin::kZoomPlusLit, skin::kZoom}, {skin::kZoomMinusLit, skin::kZoom}};
    for (const auto& [image, target] : specials) EXPECT_GT(Differing(image, target.x, target.y), 20) << image.x << ", " << image.y;
}

TEST_F(SkinArt, GlyphsAreDistinctAndFitTheDisplay) {
    for (const Rect atlas : {skin::kLargeGlyphs, skin::kSmallGlyphs}) {
        std::set<std::vector<uint8_t>> seen;
        for (int g = 0; g < 14; ++g) {
            std::vector<uint8_t> cell;
            for (int y = 0; y < atlas.h; ++y)
                for (int x = 0; x < 6; ++x) {
                    const Bgr p = s_.Pixel(atlas.x + 7 * g + x, atlas.y + y);
                    // Counter-mode digits are copied without white: drawn whole.
                    ASSERT_FALSE(p == (Bgr{255, 255, 255})) << g;
                    cell.insert(cell.end(), {p.b, p.g, p.r});
                }
            EXPECT_TRUE(seen.insert(cell).second) << "glyph " << g << " repeats another";
        }
    }
}

TEST_F(SkinArt, SlotsAreEvenWhereTheKnobsTravel) {
    // A knob is copied with its rectangle: the slot under it must look the same everywhere.
    for (int y = 2; y <= 12; ++y)
        for (int x = 62; x <= 62 + 206 + 22; ++x) ASSERT_EQ(s_.Pixel(x, y), s_.Pixel(62, y)) << x << ", " << y;
    for (int y = 75; y <= 83; ++y)
        for (int x = 61; x <= 61 + 58 + 14; ++x) ASSERT_EQ(s_.Pixel(x, y), s_.Pixel(61, y)) << x << ", " << y;
    // Knob corners show the slot, and the knobs are there.
    EXPECT_TRUE(s_.Pixel(412, 30) == s_.Pixel(62, 2) && s_.Pixel(434, 40) == s_.Pixel(62, 12) && s_.Pixel(442, 30) == s_.Pixel(61, 75));
    EXPECT_TRUE(Differing(skin::kPositionKnob, 100, 2) > 150 && Differing(skin::kVolumeKnob, 80, 75) > 80);
}

TEST_F(SkinArt, StripsAreWhiteAndTheLitPlayerIsTheSamePlayerAwayFromItsElements) {
    for (int y = 200; y < 280; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(s_.Pixel(x, y), (Bgr{255, 255, 255})) << x << ", " << y;
    EXPECT_EQ(Differing(Rect{0, 0, 12, 93}, 0, 100) + Differing(Rect{303, 16, 18, 77}, 303, 116) + Differing(Rect{62, 2, 229, 11}, 62, 102), 0);
}

}  // namespace
