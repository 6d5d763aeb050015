#include "platform/system/AcceleratorRegistry.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

std::optional<double> utilization(const sys::AcceleratorEntry& entry) {
    auto* statistics = entry.property(sys::performanceStatisticsKey);
    if (!statistics)
        return std::nullopt;
    const auto& dictionary = std::get<sys::RegistryDictionary>(*statistics);
    auto found = dictionary.find(sys::deviceUtilizationKey);
    if (found == dictionary.end())
        return std::nullopt;
    return std::get<double>(found->second);
}

std::optional<std::string> model(const sys::AcceleratorEntry& entry) {
    auto* value = entry.property(sys::modelKey);
    if (!value)
        return std::nullopt;
    return std::get<std::string>(*value);
}

TEST(AcceleratorRegistry, ListsCardsInOrderAndReadsOnlyThoseThatAreAwakeAnyway) {
    sys::AcceleratorRegistry registry(
        sys::SystemRoots::under(testsupport::fixturePath("compute/gpus")));
    auto entries = registry.accelerators();
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 5u) << "card0, card1, card2, card3, card10; no connectors";
    EXPECT_EQ(utilization((*entries)[0]), 37.0) << "boot GPU, active";
    EXPECT_EQ(utilization((*entries)[1]), std::nullopt) << "suspended: reading would wake it";
    EXPECT_EQ(utilization((*entries)[2]), 55.0) << "active, power control on";
    EXPECT_EQ(utilization((*entries)[3]), std::nullopt) << "active but free to suspend";
    EXPECT_EQ(utilization((*entries)[4]), 12.0) << "card10 sorts after card3";
    EXPECT_EQ(model((*entries)[0]), "Radeon Vega 8");
    EXPECT_EQ(model((*entries)[4]), std::nullopt) << "an empty product name is no model";
    for (const auto& entry : *entries)
        EXPECT_FALSE(entry.property(sys::gpuCoreCountKey));
}

TEST(AcceleratorRegistry, FollowsTheDeviceWakingAndSleeping) {
    testsupport::TemporaryDirectory dir;
    fs::path device = dir.path() / "sys/class/drm/card1/device";
    fs::create_directories(device / "power");
    auto write = [&](const char* name, const char* text) {
        std::ofstream(device / name, std::ios::trunc) << text << "\n";
    };
    write("gpu_busy_percent", "64");
    write("boot_vga", "0");
    write("power/control", "auto");
    write("power/runtime_status", "suspended");
    sys::AcceleratorRegistry registry(sys::SystemRoots::under(dir.path()));

    EXPECT_EQ(utilization(registry.accelerators()->at(0)), std::nullopt);
    write("power/runtime_status", "active");
    EXPECT_EQ(utilization(registry.accelerators()->at(0)), std::nullopt);
    write("power/control", "on");
    EXPECT_EQ(utilization(registry.accelerators()->at(0)), 64.0);
    write("gpu_busy_percent", "garbage");
    EXPECT_EQ(utilization(registry.accelerators()->at(0)), std::nullopt);
    write("gpu_busy_percent", "100");
    EXPECT_EQ(utilization(registry.accelerators()->at(0)), 100.0);
    write("power/runtime_status", "suspending");
    EXPECT_EQ(utilization(registry.accelerators()->at(0)), std::nullopt);
}

TEST(AcceleratorRegistry, MachineWithoutDrmHasNoAccelerators) {
    sys::AcceleratorRegistry registry(
        sys::SystemRoots::under(testsupport::fixturePath("compute/typical")));
    auto entries = registry.accelerators();
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->empty());
}

} // namespace
