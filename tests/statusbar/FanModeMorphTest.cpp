#include "statusbar/FanModeMorph.h"

#include "statusbar/StripMetrics.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using Action = FanMorphDecision::Action;

TEST(FanModeMorph, OnlyRingAndGraphAnimateAndOnlyWithAnimationsOn) {
    using M = FanDisplayMode;
    EXPECT_EQ(decideFanMorph(M::ring, M::graph, true), (FanMorphDecision{Action::animate, 1}));
    EXPECT_EQ(decideFanMorph(M::graph, M::ring, true), (FanMorphDecision{Action::animate, 0}));
    EXPECT_EQ(decideFanMorph(M::ring, M::graph, false), (FanMorphDecision{Action::snap, 1}));
    EXPECT_EQ(decideFanMorph(std::nullopt, M::graph, true), (FanMorphDecision{Action::snap, 1}));
    for (M other : {M::ring, M::graph}) {
        EXPECT_EQ(decideFanMorph(M::hidden, other, true).action, Action::snap);
        EXPECT_EQ(decideFanMorph(other, M::hidden, true), (FanMorphDecision{Action::snap, 0}));
    }
    for (M mode : allFanDisplayModes) {
        EXPECT_EQ(decideFanMorph(mode, mode, true).action, Action::keep);
        EXPECT_EQ(decideFanMorph(mode, mode, false).action, Action::snap);
    }
}

TEST(FanModeMorph, TheFanProfileRisesFromZeroToOneOver181Entries) {
    FanPicture picture;
    picture.snapshot = {"Test", {{0, 3000, 6000}}, 1};
    picture.history = {0.1, 0.9, std::nullopt, 0.5};
    const FanMotionProfile profile = fanMotionProfile(picture);
    ASSERT_EQ(profile.distances.size(), 181u);
    EXPECT_DOUBLE_EQ(profile.distances.front(), 0);
    EXPECT_DOUBLE_EQ(profile.distances.back(), 1);
    for (std::size_t k = 1; k < profile.distances.size(); ++k) {
        EXPECT_GT(profile.distances[k], profile.distances[k - 1]) << k;
    }
}

TEST(FanModeMorph, TheWidthTermAloneGivesAnEvenProfile) {
    const FanMotionProfile profile = measuredMotionProfile(
        [](double) {
            return std::vector<gfx::Point>{{1, 1}};
        },
        [](double t) { return 24 + 157 * t; });
    ASSERT_EQ(profile.distances.size(), 181u);
    EXPECT_NEAR(profile.distances[90], 0.5, 1e-12);
}

TEST(FanModeMorph, APictureThatNeverMovesGetsTheEvenProfileNotNumbersThatAreNot) {
    const FanMotionProfile still = measuredMotionProfile(
        [](double) { return std::vector<gfx::Point>{}; }, [](double) { return 24.0; });
    ASSERT_EQ(still.distances.size(), 181u);
    EXPECT_DOUBLE_EQ(still.distances[45], 0.25);
    EXPECT_DOUBLE_EQ(still.distances.back(), 1);
}

TEST(FanModeMorph, AMorphOnTheFanProfileEndsExactlyAtItsWidths) {
    FanPicture picture;
    const FanMorph morph{0, 1, 100, modeMorphDuration, fanMotionProfile(picture)};
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, morph.value(100)), 24);
    EXPECT_DOUBLE_EQ(fanModuleWidth(85, morph.value(100 + modeMorphDuration)), 181);
    double last = 0;
    for (int frame = 1; frame < 47; ++frame) {
        const double g = morph.value(100 + frame / 60.0);
        EXPECT_GE(g, last);
        last = g;
    }
}

} // namespace
} // namespace pulsedeck
