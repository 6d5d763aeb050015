#include "platform/system/HwmonSmcEmulator.h"

#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <bit>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using sys::HwmonCatalog;
using sys::HwmonSmcEmulator;
using sys::SmcBlock;
namespace smc = sys::smc;

std::uint32_t code(std::string_view name) {
    std::uint32_t value = 0;
    for (char c : name)
        value = (value << 8) | static_cast<std::uint8_t>(c);
    return value;
}

std::vector<std::string> identities(const std::vector<sys::HwmonChannel>& channels) {
    std::vector<std::string> out;
    for (const auto& channel : channels)
        out.push_back(channel.driver + "/" + channel.label);
    return out;
}

std::vector<std::string> keyNames(const std::vector<HwmonSmcEmulator::Key>& keys) {
    std::vector<std::string> out;
    for (const auto& key : keys)
        out.push_back(key.name);
    return out;
}

// A copy of a fixture machine that a test may rearrange.
struct MachineCopy {
    testsupport::TemporaryDirectory folder;
    explicit MachineCopy(std::string_view fixture) {
        fs::copy(testsupport::fixturePath(fixture), folder.path(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }
    fs::path hwmon(std::string_view node) const { return folder.path() / "sys/class/hwmon" / node; }
    void swap(std::string_view a, std::string_view b) const {
        fs::rename(hwmon(a), hwmon("swap"));
        fs::rename(hwmon(b), hwmon(a));
        fs::rename(hwmon("swap"), hwmon(b));
    }
    sys::SystemRoots roots() const { return sys::SystemRoots::under(folder.path()); }
};

void writeAttribute(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::trunc) << text;
}

struct Call {
    int status = 0;
    std::size_t size = 0;
    SmcBlock reply{};
    std::uint8_t result() const { return reply[smc::resultOffset]; }
};

Call call(sys::SmcConnection& connection, std::uint8_t command, std::string_view key,
          std::uint32_t sizeOrIndex = 0, std::uint32_t selector = smc::structSelector) {
    SmcBlock request{};
    smc::storeU32(request, smc::keyOffset, code(key));
    request[smc::commandOffset] = command;
    smc::storeU32(request, command == smc::keyAtIndex ? smc::indexOffset : smc::dataSizeOffset,
                  sizeOrIndex);
    Call out;
    out.status = connection.callStructMethod(selector, request, out.reply, out.size);
    return out;
}

float floatValue(const Call& reply) {
    return std::bit_cast<float>(smc::loadU32(reply.reply, smc::dataOffset));
}

TEST(HwmonCatalog, FindsFansAndProcessorSensorsByDriverAndLabel) {
    auto catalog =
        HwmonCatalog::discover(sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop")));

    EXPECT_EQ(identities(catalog.fans),
              (std::vector<std::string>{"dell_smm/Processor Fan", "dell_smm/Video Fan"}));
    ASSERT_EQ(catalog.fans.size(), 2u);
    EXPECT_TRUE(catalog.fans[0].maximum.has_value());
    EXPECT_EQ(catalog.fans[0].input.filename(), "fan1_input");
    EXPECT_TRUE(catalog.fans[0].device.ends_with("devices/platform/dell_smm_hwmon"));

    EXPECT_EQ(identities(catalog.packageTemperatures),
              (std::vector<std::string>{"coretemp/Package id 0"}));
    // Cores in counting order, the ACPI zone last; the NVMe and Wi-Fi sensors nowhere.
    EXPECT_EQ(identities(catalog.processorTemperatures),
              (std::vector<std::string>{"coretemp/Core 0", "coretemp/Core 1", "coretemp/Core 8",
                                        "acpitz/temp1"}));
}

TEST(HwmonCatalog, IdentitiesDoNotDependOnHwmonNumbering) {
    MachineCopy original("hwmon-desktop");
    MachineCopy swapped("hwmon-desktop");
    swapped.swap("hwmon0", "hwmon1");
    swapped.swap("hwmon2", "hwmon4");

    auto before = HwmonCatalog::discover(original.roots());
    auto after = HwmonCatalog::discover(swapped.roots());
    EXPECT_EQ(identities(after.fans), identities(before.fans));
    EXPECT_EQ(identities(after.packageTemperatures), identities(before.packageTemperatures));
    EXPECT_EQ(identities(after.processorTemperatures), identities(before.processorTemperatures));
    EXPECT_EQ(keyNames(sys::emulatedKeys(after)), keyNames(sys::emulatedKeys(before)));
    // The same key still reads the same sensor.
    EXPECT_EQ(after.packageTemperatures[0].input.parent_path().filename(), "hwmon0");
    EXPECT_EQ(before.packageTemperatures[0].input.parent_path().filename(), "hwmon1");
}

TEST(HwmonCatalog, DrivesGpuWifiAndBatteryNeverStandInForTheProcessor) {
    auto catalog = HwmonCatalog::discover(
        sys::SystemRoots::under(testsupport::fixturePath("hwmon-drives-only")));
    EXPECT_TRUE(catalog.fans.empty());
    EXPECT_TRUE(catalog.packageTemperatures.empty());
    EXPECT_TRUE(catalog.processorTemperatures.empty());
}

TEST(HwmonCatalog, ClassifiesProcessorDriversAndThermalZones) {
    testsupport::TemporaryDirectory root;
    auto node = [&](std::string_view name, std::string_view driver,
                    std::vector<std::pair<std::string, std::string>> labels) {
        fs::path folder = root.path() / "sys/class/hwmon" / name;
        fs::create_directories(folder);
        writeAttribute(folder / "name", std::string(driver) + "\n");
        int channel = 1;
        for (const auto& [stem, label] : labels) {
            std::string base = stem + std::to_string(channel++);
            writeAttribute(folder / (base + "_input"), "40000\n");
            if (!label.empty())
                writeAttribute(folder / (base + "_label"), label + "\n");
        }
    };
    node("hwmon0", "k10temp", {{"temp", "Tctl"}, {"temp", "Tccd1"}, {"temp", "Tccd2"}});
    node("hwmon1", "zenpower", {{"temp", "Tctl"}, {"temp", "Tdie"}, {"temp", "Tccd1"}});
    node("hwmon2", "cpu_thermal", {{"temp", ""}});
    node("hwmon3", "acpitz", {{"temp", ""}});
    node("hwmon4", "soc_thermal", {{"temp", ""}});
    node("hwmon5", "nct6775", {{"fan", ""}, {"fan", ""}});
    // Attributes that are not channel inputs are ignored.
    writeAttribute(root.path() / "sys/class/hwmon/hwmon5/fan1_min", "0\n");
    writeAttribute(root.path() / "sys/class/hwmon/hwmon5/temp_input", "1\n");

    auto catalog = HwmonCatalog::discover(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(identities(catalog.packageTemperatures),
              (std::vector<std::string>{"k10temp/Tccd1", "k10temp/Tccd2", "zenpower/Tdie"}))
        << "Tctl gives way to the dies";
    EXPECT_EQ(identities(catalog.processorTemperatures),
              (std::vector<std::string>{"zenpower/Tccd1", "cpu_thermal/temp1", "soc_thermal/temp1",
                                        "acpitz/temp1"}));
    EXPECT_EQ(identities(catalog.fans), (std::vector<std::string>{"nct6775/fan1", "nct6775/fan2"}));
    EXPECT_FALSE(catalog.fans[0].maximum.has_value());
}

TEST(HwmonCatalog, AnAmdTctlAloneStandsForTheProcessor) {
    testsupport::TemporaryDirectory root;
    fs::path folder = root.path() / "sys/class/hwmon/hwmon0";
    fs::create_directories(folder);
    writeAttribute(folder / "name", "k10temp\n");
    writeAttribute(folder / "temp1_input", "48000\n");
    writeAttribute(folder / "temp1_label", "Tctl\n");
    auto catalog = HwmonCatalog::discover(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(identities(catalog.packageTemperatures), std::vector<std::string>{"k10temp/Tctl"});
}

TEST(HwmonCatalog, MissingTreeGivesNothing) {
    testsupport::TemporaryDirectory root;
    auto catalog = HwmonCatalog::discover(sys::SystemRoots::under(root.path()));
    EXPECT_TRUE(catalog.fans.empty());
    EXPECT_TRUE(catalog.packageTemperatures.empty());
    EXPECT_TRUE(catalog.processorTemperatures.empty());
}

TEST(HwmonCatalog, NaturalOrderCountsNumbers) {
    EXPECT_TRUE(sys::naturalLess("Core 2", "Core 10"));
    EXPECT_FALSE(sys::naturalLess("Core 10", "Core 2"));
    EXPECT_TRUE(sys::naturalLess("Core 02", "Core 3"));
    EXPECT_TRUE(sys::naturalLess("Core", "Core 1"));
    EXPECT_FALSE(sys::naturalLess("Core 1", "Core 1"));
    EXPECT_TRUE(sys::naturalLess("Tccd1", "Tctl"));
}

TEST(HwmonSmcEmulator, NamesKeysInIndexOrder) {
    HwmonSmcEmulator emulator(sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop")));
    EXPECT_EQ(keyNames(*emulator.keys()),
              (std::vector<std::string>{"#KEY", "FNum", "F0Ac", "F0Mx", "F1Ac", "F1Mx", "Tp00",
                                        "TC00", "TC01", "TC02", "TC03"}));
}

TEST(HwmonSmcEmulator, AnswersKeyInformationReadsAndTheListing) {
    HwmonSmcEmulator emulator(sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop")));
    auto connection = emulator.open();
    ASSERT_NE(connection, nullptr);

    auto info = call(*connection, smc::readKeyInfo, "F0Ac");
    EXPECT_EQ(info.status, smc::statusSuccess);
    EXPECT_EQ(info.size, sys::smcBlockSize);
    EXPECT_EQ(info.result(), smc::resultSuccess);
    EXPECT_EQ(smc::loadU32(info.reply, smc::dataSizeOffset), 4u);
    EXPECT_EQ(smc::loadU32(info.reply, smc::dataTypeOffset), code("flt "));

    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "F0Ac", 4)), 2400.0f);
    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "F1Mx", 4)), 3500.0f);
    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "Tp00", 4)), 61.0f);

    auto fans = call(*connection, smc::readBytes, "FNum", 1);
    EXPECT_EQ(fans.reply[smc::dataOffset], 2);
    auto count = call(*connection, smc::readBytes, "#KEY", 4);
    EXPECT_EQ(std::vector<std::uint8_t>(count.reply.begin() + smc::dataOffset,
                                        count.reply.begin() + smc::dataOffset + 4),
              (std::vector<std::uint8_t>{0, 0, 0, 11}));

    auto seventh = call(*connection, smc::keyAtIndex, "", 6);
    EXPECT_EQ(smc::loadU32(seventh.reply, smc::keyOffset), code("Tp00"));
    EXPECT_EQ(call(*connection, smc::keyAtIndex, "", 11).result(), smc::resultKeyNotFound);
}

TEST(HwmonSmcEmulator, RefusesWhatItDoesNotKnow) {
    HwmonSmcEmulator emulator(sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop")));
    auto connection = emulator.open();
    EXPECT_EQ(call(*connection, smc::readKeyInfo, "TB0T").result(), smc::resultKeyNotFound);
    EXPECT_EQ(call(*connection, smc::readBytes, "F0Ac", 2).result(), smc::resultError);
    EXPECT_EQ(call(*connection, 7, "F0Ac").result(), smc::resultError);
    EXPECT_NE(call(*connection, smc::readKeyInfo, "F0Ac", 0, 3).status, smc::statusSuccess);
}

TEST(HwmonSmcEmulator, RereadsKeptFilesAndRefusesUnreadableSensors) {
    MachineCopy machine("hwmon-desktop");
    HwmonSmcEmulator emulator(machine.roots());
    auto connection = emulator.open();
    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "F0Ac", 4)), 2400.0f);

    // sysfs rewrites attributes in place; the kept descriptor sees the new value.
    writeAttribute(machine.hwmon("hwmon0") / "fan1_input", "3100\n");
    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "F0Ac", 4)), 3100.0f);

    writeAttribute(machine.hwmon("hwmon1") / "temp1_input", "garbage\n");
    EXPECT_EQ(call(*connection, smc::readBytes, "Tp00", 4).result(), smc::resultError);
    writeAttribute(machine.hwmon("hwmon1") / "temp1_input", "");
    EXPECT_EQ(call(*connection, smc::readBytes, "Tp00", 4).result(), smc::resultError);
    writeAttribute(machine.hwmon("hwmon1") / "temp1_input", "-5000\n");
    EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "Tp00", 4)), -5.0f);

    // A FIFO in a sensor file's place is refused at once; the other sensors still read.
    const auto fifo = machine.hwmon("hwmon1") / "temp1_input";
    fs::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto fresh = emulator.open();
    Call reply;
    EXPECT_TRUE(testsupport::returnsWithin(
        2, [&] { reply = call(*fresh, smc::readBytes, "Tp00", 4); },
        testsupport::writerComesAndGoes({fifo})));
    EXPECT_EQ(reply.result(), smc::resultError);
    EXPECT_FLOAT_EQ(floatValue(call(*fresh, smc::readBytes, "F0Ac", 4)), 3100.0f);
}

TEST(HwmonSmcEmulator, DiscoversOnceForEveryConnection) {
    MachineCopy machine("hwmon-desktop");
    HwmonSmcEmulator emulator(machine.roots());
    auto first = emulator.open();
    fs::remove_all(machine.hwmon("hwmon4"));
    auto second = emulator.open();
    EXPECT_EQ(call(*second, smc::readKeyInfo, "TC03").result(), smc::resultSuccess);
    EXPECT_EQ(call(*second, smc::readBytes, "TC03", 4).result(), smc::resultError);
}

// A clock on which every read seems to take `step` seconds.
class SteppingClock final : public dispatch::Clock {
public:
    explicit SteppingClock(double step) : step_(step) {}
    double now() const override { return time_ += step_; }
    void advance(double seconds) { time_ += seconds; }

private:
    double step_;
    mutable double time_ = 100;
};

TEST(HwmonSmcEmulator, ASlowSensorIsReadLessOften) {
    MachineCopy machine("hwmon-desktop");
    SteppingClock clock(0.010);
    HwmonSmcEmulator emulator(machine.roots(), clock);
    auto connection = emulator.open();
    auto fan = [&] { return floatValue(call(*connection, smc::readBytes, "F0Ac", 4)); };
    auto setFan = [&](std::string_view rpm) {
        writeAttribute(machine.hwmon("hwmon0") / "fan1_input", rpm);
    };

    setFan("1000\n");
    EXPECT_FLOAT_EQ(fan(), 1000.0f);
    setFan("1100\n");
    EXPECT_FLOAT_EQ(fan(), 1100.0f);
    setFan("1200\n");
    EXPECT_FLOAT_EQ(fan(), 1200.0f); // the third slow read in a row
    setFan("1300\n");
    EXPECT_FLOAT_EQ(fan(), 1200.0f); // served from the last reading
    clock.advance(5.0);
    EXPECT_FLOAT_EQ(fan(), 1300.0f);
}

TEST(HwmonSmcEmulator, FastSensorsAreReadEveryTime) {
    MachineCopy machine("hwmon-desktop");
    SteppingClock clock(0.001);
    HwmonSmcEmulator emulator(machine.roots(), clock);
    auto connection = emulator.open();
    for (int rpm = 1000; rpm < 1010; ++rpm) {
        writeAttribute(machine.hwmon("hwmon0") / "fan1_input", std::to_string(rpm));
        EXPECT_FLOAT_EQ(floatValue(call(*connection, smc::readBytes, "F0Ac", 4)),
                        static_cast<float>(rpm));
    }
}

TEST(HwmonSmcEmulator, AMachineWithoutHwmonHasOnlyTheCounts) {
    testsupport::TemporaryDirectory root;
    HwmonSmcEmulator emulator(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(keyNames(*emulator.keys()), (std::vector<std::string>{"#KEY", "FNum"}));
    auto connection = emulator.open();
    EXPECT_EQ(call(*connection, smc::readBytes, "FNum", 1).reply[smc::dataOffset], 0);
}

} // namespace
