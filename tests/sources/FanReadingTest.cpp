#include "sources/FanReading.h"

#include "model/FanDisplayMode.h"
#include "model/TemperatureDisplayMode.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using pulsedeck::busiestFan;
using pulsedeck::fanLoadFraction;
using pulsedeck::FanReading;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(BusiestFan, PrefersLoadWhenEveryFanHasAMaximum) {
    std::vector<FanReading> fans{{0, 1200.0, 5000.0}, {1, 1500.0, 3000.0}};
    EXPECT_EQ(busiestFan(fans)->id, 1);
    EXPECT_EQ(fanLoadFraction(fans), 0.5);
}

TEST(BusiestFan, FallsBackToTheHighestSpeed) {
    std::vector<FanReading> fans{{0, 1200.0, 5000.0}, {1, 1500.0, std::nullopt}};
    EXPECT_EQ(busiestFan(fans)->id, 1);
    EXPECT_EQ(fanLoadFraction(fans), std::nullopt);

    std::vector<FanReading> unusableMaximum{{0, 2200.0, 0.0}, {1, 1500.0, 3000.0}};
    EXPECT_EQ(busiestFan(unusableMaximum)->id, 0);
    EXPECT_EQ(fanLoadFraction(unusableMaximum), std::nullopt);

    std::vector<FanReading> negative{{0, -5.0, 3000.0}, {1, 100.0, 3000.0}};
    EXPECT_EQ(busiestFan(negative)->id, 1);
}

TEST(BusiestFan, FirstOfEqualFansWins) {
    std::vector<FanReading> equalLoads{{0, 1000.0, 4000.0}, {1, 500.0, 2000.0}};
    EXPECT_EQ(busiestFan(equalLoads)->id, 0);
    std::vector<FanReading> equalSpeeds{{0, 1000.0, std::nullopt}, {1, 1000.0, std::nullopt}};
    EXPECT_EQ(busiestFan(equalSpeeds)->id, 0);
    // Both loads clamp to 1, so the first still wins.
    std::vector<FanReading> overdriven{{0, 5000.0, 4000.0}, {1, 9000.0, 4000.0}};
    EXPECT_EQ(busiestFan(overdriven)->id, 0);
}

TEST(BusiestFan, PassesOverFansWithoutASpeed) {
    EXPECT_EQ(busiestFan({}), std::nullopt);
    EXPECT_EQ(busiestFan({{0, std::nullopt, 2000.0}}), std::nullopt);
    std::vector<FanReading> oneUnreadable{{0, 1000.0, 2000.0}, {1, std::nullopt, 2000.0}};
    EXPECT_EQ(busiestFan(oneUnreadable)->id, 0);
    EXPECT_EQ(fanLoadFraction(oneUnreadable), 0.5) << "the readable fans still compare by load";
    EXPECT_EQ(fanLoadFraction({}), std::nullopt);
}

TEST(FanLoadFraction, IsClampedAndNeedsFiniteFigures) {
    EXPECT_EQ(fanLoadFraction({{0, 6000.0, 5000.0}}), 1.0);
    EXPECT_EQ(fanLoadFraction({{0, 0.0, 5000.0}}), 0.0);
    EXPECT_EQ(fanLoadFraction({{0, nan, 5000.0}}), std::nullopt);
    EXPECT_EQ(fanLoadFraction({{0, infinity, 5000.0}}), std::nullopt);
    EXPECT_EQ(fanLoadFraction({{0, 1000.0, infinity}}), std::nullopt);
    EXPECT_EQ(fanLoadFraction({{0, -1.0, 5000.0}}), std::nullopt);
}

TEST(DisplayModes, StoredValuesOutsideTheCasesFallBack) {
    EXPECT_EQ(pulsedeck::fanDisplayMode(3), pulsedeck::FanDisplayMode::ring);
    EXPECT_EQ(pulsedeck::fanDisplayMode(-1), pulsedeck::FanDisplayMode::ring);
    EXPECT_EQ(pulsedeck::fanDisplayMode(0), pulsedeck::FanDisplayMode::hidden);
    EXPECT_EQ(pulsedeck::fanDisplayMode(2), pulsedeck::FanDisplayMode::graph);
    EXPECT_EQ(pulsedeck::temperatureDisplayMode(2), std::nullopt);
    EXPECT_EQ(pulsedeck::temperatureDisplayMode(-1), std::nullopt);
    EXPECT_EQ(pulsedeck::temperatureDisplayMode(1), pulsedeck::TemperatureDisplayMode::thermometer);
}

} // namespace
