#include "statusbar/FanMorph.h"

#include "support/NonFinite.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using testsupport::nan;

TEST(FanMorph, ValueHoldsFromBeforeTheStartAndToFromTheEnd) {
    const FanMorph morph{0.2, 0.8, 10, 2, std::nullopt};
    EXPECT_DOUBLE_EQ(morph.value(9), 0.2);
    EXPECT_DOUBLE_EQ(morph.value(10), 0.2);
    EXPECT_DOUBLE_EQ(morph.value(nan), 0.2);
    EXPECT_DOUBLE_EQ(morph.value(12), 0.8);
    EXPECT_DOUBLE_EQ(morph.value(100), 0.8);
    EXPECT_DOUBLE_EQ(morph.value(11), 0.5);
    EXPECT_DOUBLE_EQ(morph.value(10.5), 0.2 + smoothstep(0.25) * 0.6);
    EXPECT_FALSE(morph.isFinished(11.99));
    EXPECT_TRUE(morph.isFinished(12));
}

TEST(FanMorph, AProfileEasesTheDistanceTravelled) {
    // The picture covers 0.8 of its travel in the first half of the progress.
    const FanMotionProfile profile{{0, 0.8, 1}};
    EXPECT_DOUBLE_EQ(profile.distance(0.5), 0.8);
    EXPECT_DOUBLE_EQ(profile.distance(0.25), 0.4);
    EXPECT_DOUBLE_EQ(profile.distance(2), 1);
    EXPECT_DOUBLE_EQ(profile.progress(0.4), 0.25);
    EXPECT_DOUBLE_EQ(profile.progress(0.9), 0.75);
    EXPECT_DOUBLE_EQ(profile.progress(-0.1), 0);
    EXPECT_DOUBLE_EQ(profile.progress(nan), 0);
    EXPECT_DOUBLE_EQ(profile.progress(1), 1);

    const FanMorph morph{0, 1, 0, 1, profile};
    // Half way in time is half the distance: 0.5 of the travel, reached at progress 0.3125.
    EXPECT_DOUBLE_EQ(morph.value(0.5), 0.3125);
    EXPECT_DOUBLE_EQ(morph.value(1), 1);
}

TEST(FanMorph, ProgressInvertsDistanceOverAFineProfile) {
    FanMotionProfile profile;
    for (int k = 0; k <= 180; ++k) {
        const double t = k / 180.0;
        profile.distances.push_back(t * t);
    }
    for (double x : {0.0, 0.1, 0.33, 0.5, 0.77, 0.99}) {
        EXPECT_NEAR(profile.progress(profile.distance(x)), x, 1e-9) << x;
    }
}

TEST(FanMorph, DegenerateProfilesFallBackToALinearMapping) {
    for (const FanMotionProfile& profile :
         {FanMotionProfile{}, FanMotionProfile{{0}}, FanMotionProfile{{0.5}},
          FanMotionProfile{{0, 0}}, FanMotionProfile{{0, 0, 0, 0}}}) {
        const double v = profile.progress(0.3);
        EXPECT_TRUE(std::isfinite(v));
        EXPECT_DOUBLE_EQ(v, 0.3);
        EXPECT_TRUE(std::isfinite(profile.distance(0.3)));
    }
    // A segment that travels nothing answers its start instead of dividing by zero.
    const FanMotionProfile flat{{0, 0, 0.5, 1}};
    EXPECT_DOUBLE_EQ(flat.progress(0), 0);
    EXPECT_DOUBLE_EQ(flat.progress(0.25), 0.5);
    // A morph over a one-entry profile runs as the plain smoothstep would.
    const FanMorph morph{0, 1, 0, 1, FanMotionProfile{{0}}};
    const FanMorph plain{0, 1, 0, 1, std::nullopt};
    for (double t = 0; t <= 1; t += 0.05)
        EXPECT_DOUBLE_EQ(morph.value(t), plain.value(t)) << t;
}

TEST(FanMorph, Curves) {
    EXPECT_DOUBLE_EQ(smoothstep(0), 0);
    EXPECT_DOUBLE_EQ(smoothstep(0.5), 0.5);
    EXPECT_DOUBLE_EQ(smoothstep(1), 1);
    EXPECT_DOUBLE_EQ(easeOutCubic(0), 0);
    EXPECT_DOUBLE_EQ(easeOutCubic(0.5), 0.875);
    EXPECT_DOUBLE_EQ(easeOutCubic(1), 1);
}

} // namespace
} // namespace pulsedeck
