#include "sources/TemperatureReader.h"

#include "platform/system/FakeSmcTransport.h"
#include "platform/system/HwmonSmcEmulator.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

using pulsedeck::MachineIdentity;
using pulsedeck::TemperatureReader;
using pulsedeck::TemperatureSnapshot;
using sys::FakeSmcTransport;
namespace smc = sys::smc;

const MachineIdentity machine{
    .identifier = "Test", .productDescription = "", .isAppleSilicon = false, .hasFanInputs = true};

struct TemperatureReaderTest : testing::Test {
    std::shared_ptr<FakeSmcTransport> controller = std::make_shared<FakeSmcTransport>();
    dispatch::VirtualClock clock{100.0};
    TemperatureReader reader{controller, clock, machine};

    void keys(std::vector<std::pair<std::string, float>> readings) {
        controller->set("#KEY", "ui32", {0, 0, 0, static_cast<std::uint8_t>(readings.size() + 1)});
        for (const auto& [name, value] : readings)
            controller->setFloat(name, value);
    }
};

TEST_F(TemperatureReaderTest, PackageKeysWinOverOtherProcessorKeys) {
    keys({{"TC0c", 90}, {"Tp01", 50}, {"TC1c", 95}, {"Tp05", 52}});
    auto snapshot = reader.sample();
    EXPECT_EQ(reader.keys(), (std::vector<std::string>{"Tp01", "Tp05"}));
    EXPECT_EQ(snapshot, (TemperatureSnapshot{52.0, 2, "Tp05"}));
}

TEST_F(TemperatureReaderTest, OtherProcessorKeysServeWhenThereIsNoPackageKey) {
    keys({{"TC0c", 48.25f}, {"TG0P", 70}, {"TC1c", 61}});
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{61.0, 2, "TC1c"}));
}

TEST_F(TemperatureReaderTest, HottestWinsAndTheFirstOfEqualReadings) {
    keys({{"Tp00", 48.2f}, {"Tp01", 61.0f}});
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{61.0, 2, "Tp01"}));

    controller->setFloat("Tp00", 55);
    controller->setFloat("Tp01", 55);
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{55.0, 2, "Tp00"}));
}

TEST_F(TemperatureReaderTest, KeepsOnlyReadingsStrictlyBetween0And150) {
    keys({{"Tp00", 0}, {"Tp01", 150}, {"Tp02", 149.9f}, {"Tp03", 0.01f}});
    auto snapshot = reader.sample();
    EXPECT_NEAR(*snapshot.celsius, 149.9, 1e-4);
    EXPECT_EQ(snapshot.sensor, "Tp02");
    EXPECT_EQ(snapshot.sensorCount, 2);

    controller->setFloat("Tp02", 150);
    controller->setFloat("Tp03", 0);
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
}

TEST_F(TemperatureReaderTest, UnreadableKeysAreLeftOutOfThatSampleOnly) {
    keys({{"Tp00", 70}, {"Tp01", 60}});
    controller->entry("Tp00")->refuseRead = true;
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{60.0, 1, "Tp01"}));
    controller->entry("Tp00")->refuseRead = false;
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{70.0, 2, "Tp00"}));
}

TEST_F(TemperatureReaderTest, AnEmptyListIsLookedForAgainAfter30Seconds) {
    keys({{"TB0T", 35}});
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    EXPECT_EQ(reader.keys(), std::vector<std::string>{});
    EXPECT_EQ(controller->calls(smc::keyAtIndex), 2);

    keys({{"TB0T", 35}, {"Tp00", 44}});
    clock.advance(29.999);
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    EXPECT_EQ(controller->calls(smc::keyAtIndex), 2);

    clock.set(130.0);
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{44.0, 1, "Tp00"}));
    EXPECT_EQ(controller->calls(smc::keyAtIndex), 5);
}

TEST_F(TemperatureReaderTest, EachEmptyDiscoveryPushesTheNextOneBack) {
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    clock.set(130.0);
    reader.sample();
    clock.set(159.0);
    keys({{"Tp00", 44}});
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    clock.set(160.0);
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{44.0, 1, "Tp00"}));
}

TEST_F(TemperatureReaderTest, FoundKeysAreKeptWhenTheControllerStopsAnswering) {
    keys({{"Tp00", 44}});
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{44.0, 1, "Tp00"}));
    int listed = controller->calls(smc::keyAtIndex);

    controller->setAvailable(false);
    controller->failNextCalls(1);
    for (int i = 0; i < 3; ++i) {
        clock.advance(31);
        EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    }
    EXPECT_EQ(controller->calls(smc::keyAtIndex), listed);
    EXPECT_EQ(reader.keys(), std::vector<std::string>{"Tp00"});
}

TEST_F(TemperatureReaderTest, NoControllerMeansNoKeys) {
    controller->setAvailable(false);
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    EXPECT_EQ(reader.keys(), std::vector<std::string>{});
}

TEST(TemperatureReaderHwmon, FixtureTreeGivesThePackageSensor) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop"));
    dispatch::VirtualClock clock;
    TemperatureReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots), clock, machine);
    // The NVMe drive runs hotter than the processor but never stands in for it.
    EXPECT_EQ(reader.sample(), (TemperatureSnapshot{61.0, 1, "Tp00"}));
}

TEST(TemperatureReaderHwmon, DrivesAndWifiGiveNoTemperature) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-drives-only"));
    dispatch::VirtualClock clock;
    TemperatureReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots), clock, machine);
    EXPECT_EQ(reader.sample(), TemperatureSnapshot{});
    EXPECT_EQ(reader.keys(), std::vector<std::string>{});
}

// k10temp's Tctl carries a fan-control offset on some models (+10 °C on a Ryzen 7 2700X), and
// Tdie, Tctl and the CCD sensors describe the same silicon: one die is counted once.
TEST(TemperatureReaderHwmon, RyzenDiesReadWithoutTheControlOffset) {
    struct Case {
        std::string_view fixture;
        TemperatureSnapshot expected;
    };
    for (const Case& machineCase : {
             Case{"hwmon-ryzen-tdie", {65.0, 1, "Tp00"}},
             Case{"hwmon-ryzen-desktop", {60.25, 2, "Tp00"}},
         }) {
        auto roots = sys::SystemRoots::under(testsupport::fixturePath(machineCase.fixture));
        dispatch::VirtualClock clock;
        TemperatureReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots), clock, machine);
        EXPECT_EQ(reader.sample(), machineCase.expected) << machineCase.fixture;
    }
}

TEST(TemperatureReaderHwmon, FanAndTemperatureReadersShareOneEmulator) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop"));
    auto emulator = std::make_shared<sys::HwmonSmcEmulator>(roots);
    dispatch::VirtualClock clock;
    pulsedeck::FanReader fans(emulator, machine);
    TemperatureReader temperatures(emulator, clock, machine);
    EXPECT_EQ(fans.sample().detectedCount, 2);
    EXPECT_EQ(temperatures.sample().celsius, 61.0);
    EXPECT_EQ(fans.sample().fans.size(), 2u);
}

} // namespace
