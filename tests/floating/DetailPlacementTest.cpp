#include "floating/DetailPlacement.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

const gfx::Rect area{0, 0, 1000, 800};

// An anchor 10 points tall with `below` points under it and `above` points over it.
gfx::Rect anchorWith(double below, double above) {
    const double height = area.height() - below - above;
    return {100, below, 40, height};
}

TEST(DetailPlacement, OpensAboveWhenThereIsTooLittleRoomBelow) {
    EXPECT_EQ(detailPlacement(anchorWith(100, 600), 400, {area}),
              (DetailPlacementResult{200, ui::RectEdge::maxY, 400}));
    EXPECT_EQ(detailPlacement(anchorWith(100, 300), 400, {area}),
              (DetailPlacementResult{500, ui::RectEdge::maxY, 280}));
}

TEST(DetailPlacement, OpensBelowWhenItFitsOrThereIsNothingAbove) {
    EXPECT_EQ(detailPlacement(anchorWith(500, 100), 400, {area}),
              (DetailPlacementResult{500, ui::RectEdge::minY, 400}));
    // Nothing above: below, at least 120 and at most the preferred height.
    EXPECT_EQ(detailPlacement(anchorWith(50, 0), 400, {area}),
              (DetailPlacementResult{50, ui::RectEdge::minY, 120}));
    EXPECT_EQ(detailPlacement(anchorWith(300, 0), 400, {area}),
              (DetailPlacementResult{300, ui::RectEdge::minY, 280}));
    // Equal room on both sides and neither enough: below.
    EXPECT_EQ(detailPlacement(anchorWith(200, 200), 400, {area}).edge, ui::RectEdge::minY);
}

TEST(DetailPlacement, UsesTheAreaHoldingTheAnchorElseTheNearest) {
    const gfx::Rect left{0, 0, 1000, 800};
    const gfx::Rect right{1000, 0, 1000, 300};
    const gfx::Rect anchor{1500, 250, 40, 20};
    EXPECT_EQ(detailPlacement(anchor, 400, {left, right}),
              (DetailPlacementResult{250, ui::RectEdge::minY, 230}));
    // Outside both: the nearer centre wins.
    const gfx::Rect outside{2500, 100, 10, 10};
    EXPECT_EQ(detailPlacement(outside, 400, {left, right}),
              (DetailPlacementResult{110, ui::RectEdge::maxY, 170}));
    EXPECT_EQ(detailPlacement(anchorWith(100, 600), 400, {}),
              (DetailPlacementResult{100, ui::RectEdge::minY, 400}));
}

} // namespace
} // namespace pulsedeck
