#include "platform/system/AcceleratorRegistry.h"

#include "platform/dispatch/Clock.h"
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
    EXPECT_EQ(utilization((*entries)[1]), 0.0) << "suspended: idle, and not asked";
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

    EXPECT_EQ(utilization(registry.accelerators()->at(0)), 0.0);
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

// Answers for one GPU and counts how often it was asked.
class FakeNvidia final : public sys::NvidiaManagementSource {
public:
    std::optional<sys::NvidiaReading> read(const std::string& pciAddress) override {
        ++calls;
        if (pciAddress != "0000:01:00.0")
            return std::nullopt;
        return sys::NvidiaReading{71, "GeForce RTX 3050 Laptop GPU"};
    }
    int calls = 0;
};

std::string i915Fdinfo(int client, std::uint64_t render, std::uint64_t video) {
    return "pos:\t0\nflags:\t02100002\ndrm-driver:\ti915\ndrm-client-id:\t" +
           std::to_string(client) + "\ndrm-pdev:\t0000:00:02.0\ndrm-engine-render:\t" +
           std::to_string(render) + " ns\ndrm-engine-copy:\t0 ns\ndrm-engine-video:\t" +
           std::to_string(video) + " ns\ndrm-engine-capacity-video:\t2\n";
}

// A laptop with Intel graphics driving the screen and an NVIDIA GPU asleep beside it; the
// compositor and a browser hold DRM clients, the browser one client through two descriptors.
TEST(AcceleratorRegistry, IntelLoadFromEngineTimeAndNvidiaOnlyWhenAwakeAnyway) {
    testsupport::TemporaryDirectory dir;
    fs::copy(testsupport::fixturePath("compute/intel-laptop"), dir.path(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    auto fdinfo = [&](int pid, int fd, const std::string& text) {
        std::ofstream(dir.path() / "proc" / std::to_string(pid) / "fdinfo" / std::to_string(fd),
                      std::ios::trunc)
            << text;
    };
    auto nvidiaPower = [&](const char* status, const char* control) {
        fs::path power = dir.path() / "sys/devices/pci0000:00/0000:00:01.0/0000:01:00.0/power";
        std::ofstream(power / "runtime_status", std::ios::trunc) << status << "\n";
        std::ofstream(power / "control", std::ios::trunc) << control << "\n";
    };
    dispatch::VirtualClock clock{100};
    auto nvidia = std::make_unique<FakeNvidia>();
    FakeNvidia& asked = *nvidia;
    sys::AcceleratorRegistry registry(sys::SystemRoots::under(dir.path()), clock,
                                      std::move(nvidia));

    auto first = registry.accelerators();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 2u) << "card0 (i915) and card1 (nvidia); no connector";
    EXPECT_EQ(utilization((*first)[0]), std::nullopt) << "engine time needs an interval";
    EXPECT_EQ(utilization((*first)[1]), 0.0) << "asleep, so idle";

    // One second later: the compositor rendered 300 ms, the browser 150 ms and decoded video for
    // 400 ms on one of two video engines.
    fdinfo(1874, 14, i915Fdinfo(17, 52'618'000'000, 0));
    fdinfo(2301, 40, i915Fdinfo(23, 1'350'000'000, 3'400'000'000));
    fdinfo(2301, 41, i915Fdinfo(23, 1'350'000'000, 3'400'000'000));
    clock.advance(1);
    auto second = registry.accelerators();
    EXPECT_DOUBLE_EQ(*utilization((*second)[0]), 45.0)
        << "the render engine was busiest; the browser's client counts once";

    nvidiaPower("active", "auto");
    clock.advance(1);
    auto third = registry.accelerators();
    EXPECT_EQ(utilization((*third)[0]), 0.0) << "no engine time passed";
    EXPECT_EQ(utilization((*third)[1]), std::nullopt) << "awake but free to suspend";
    EXPECT_EQ(asked.calls, 0) << "a GPU free to sleep is never asked";

    nvidiaPower("active", "on");
    auto fourth = registry.accelerators();
    EXPECT_EQ(utilization((*fourth)[1]), 71.0);
    EXPECT_EQ(model((*fourth)[1]), "GeForce RTX 3050 Laptop GPU");
    EXPECT_EQ(asked.calls, 1);
}

TEST(AcceleratorRegistry, EngineTimeLoadCountsOnlyWhatPassedBetweenTwoReads) {
    auto client = [](std::string id, std::uint64_t render, std::uint64_t cycles,
                     std::uint64_t total) {
        sys::DrmClientUsage usage;
        usage.driver = "xe";
        usage.pdev = "0000:00:02.0";
        usage.clientID = std::move(id);
        usage.engineNanoseconds["render"] = render;
        usage.engineCycles["ccs"] = cycles;
        usage.engineTotalCycles["ccs"] = total;
        return usage;
    };
    struct Case {
        const char* what;
        std::vector<sys::DrmClientUsage> before, after;
        double seconds;
        std::optional<double> load;
    };
    const Case cases[] = {
        {"cycles against the engine clock",
         {client("1", 0, 100, 1000)},
         {client("1", 0, 350, 2000)},
         1,
         25.0},
        {"a new client has no interval", {}, {client("1", 900'000'000, 0, 0)}, 1, 0.0},
        {"a counter going back counts nothing",
         {client("1", 900'000'000, 0, 0)},
         {client("1", 100, 0, 0)},
         1,
         0.0},
        {"more than the interval is capped",
         {client("1", 0, 0, 0)},
         {client("1", 3'000'000'000, 0, 0)},
         1,
         100.0},
        {"no interval", {client("1", 0, 0, 0)}, {client("1", 5, 0, 0)}, 0, std::nullopt},
        {"nobody drawing", {}, {}, 1, 0.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sys::engineTimeLoad(c.before, c.after, c.seconds), c.load) << c.what;
}

TEST(AcceleratorRegistry, TheManagementLibraryIsOpenedWhenPresent) {
    sys::NvidiaManagementLibrary library(PULSEDECK_FAKE_NVIDIA_ML);
    auto reading = library.read("0000:01:00.0");
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->utilization, 63.0);
    EXPECT_EQ(reading->name, "GeForce Test 16");
    EXPECT_FALSE(library.read("0000:02:00.0")) << "a GPU the library does not know";

    sys::NvidiaManagementLibrary missing("/nonexistent/libnvidia-ml.so.1");
    EXPECT_FALSE(missing.read("0000:01:00.0"));
    EXPECT_FALSE(missing.read("0000:01:00.0")) << "and it is not looked for again";
}

TEST(AcceleratorRegistry, MachineWithoutDrmHasNoAccelerators) {
    sys::AcceleratorRegistry registry(
        sys::SystemRoots::under(testsupport::fixturePath("compute/typical")));
    auto entries = registry.accelerators();
    ASSERT_TRUE(entries);
    EXPECT_TRUE(entries->empty());
}

} // namespace
