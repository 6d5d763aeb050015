#include "platform/system/HwmonCatalog.h"
#include "platform/system/HwmonSmcEmulator.h"
#include "sources/FanReader.h"
#include "sources/TemperatureReader.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(SensorReadersLive, FansMatchWhatHwmonLists) {
    auto roots = sys::SystemRoots::live();
    auto catalog = sys::HwmonCatalog::discover(roots);
    pulsedeck::FanReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots));
    auto snapshot = reader.sample();
    if (pulsedeck::MachineIdentity::current().isFanless()) {
        EXPECT_EQ(snapshot.detectedCount, 0);
        EXPECT_TRUE(snapshot.fans.empty());
        if (catalog.fans.empty())
            GTEST_SKIP() << "this machine lists no fans";
        return;
    }
    const auto shown = std::min<std::size_t>(catalog.fans.size(), 10);
    EXPECT_EQ(snapshot.detectedCount, static_cast<int>(shown)) << "the first ten at most";
    EXPECT_EQ(snapshot.fans.size(), shown);
    for (const auto& fan : snapshot.fans) {
        if (fan.rpm) {
            EXPECT_GE(*fan.rpm, 0);
        }
    }
}

TEST(SensorReadersLive, ProcessorTemperatureIsPlausible) {
    auto roots = sys::SystemRoots::live();
    auto catalog = sys::HwmonCatalog::discover(roots);
    pulsedeck::TemperatureReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots));
    auto snapshot = reader.sample();
    if (catalog.packageTemperatures.empty() && catalog.processorTemperatures.empty()) {
        EXPECT_EQ(snapshot, pulsedeck::TemperatureSnapshot{});
        GTEST_SKIP() << "this machine has no processor temperature sensor in hwmon";
    }
    ASSERT_TRUE(snapshot.celsius);
    EXPECT_GT(*snapshot.celsius, 0);
    EXPECT_LT(*snapshot.celsius, 150);
    EXPECT_GE(snapshot.sensorCount, 1);
}

} // namespace
