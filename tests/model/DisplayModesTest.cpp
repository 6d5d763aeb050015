#include "model/ComputeDisplayMode.h"
#include "model/DisplayMode.h"
#include "model/FanDisplayMode.h"
#include "model/TemperatureDisplayMode.h"

#include <gtest/gtest.h>

using namespace pulsedeck;

TEST(DisplayModes, StoredValuesReadAsTheirModeOrTheDefault) {
    EXPECT_EQ(computeDisplayMode(1), ComputeDisplayMode::chart);
    EXPECT_EQ(computeDisplayMode(2), ComputeDisplayMode::compact);
    EXPECT_EQ(computeDisplayMode(7), ComputeDisplayMode::bars);
    EXPECT_EQ(computeDisplayMode(-1), ComputeDisplayMode::bars);
    EXPECT_EQ(computeDisplayMode(std::nullopt), ComputeDisplayMode::bars);

    EXPECT_EQ(fanDisplayMode(3), FanDisplayMode::ring);
    EXPECT_EQ(fanDisplayMode(0), FanDisplayMode::hidden);
    EXPECT_EQ(temperatureDisplayMode(2), std::nullopt);
    EXPECT_EQ(temperatureDisplayMode(1), TemperatureDisplayMode::thermometer);

    EXPECT_EQ(displayMode(2), DisplayMode::pair);
    EXPECT_EQ(displayMode(3), std::nullopt);
}

TEST(DisplayModes, CasesListInTheirStoredOrder) {
    for (std::size_t i = 0; i < allDisplayModes.size(); ++i)
        EXPECT_EQ(rawValue(allDisplayModes[i]), static_cast<int>(i));
    for (std::size_t i = 0; i < allComputeDisplayModes.size(); ++i)
        EXPECT_EQ(rawValue(allComputeDisplayModes[i]), static_cast<int>(i));
}
