#include "sources/ExternalDevicesReader.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace pulsedeck;
using Reader = ExternalDevicesReader;

namespace {

// The texts are looked up beside the executable, as in the installed program; the test binaries
// sit one folder below the build's resources.
class ResourcesBesideTests : public ::testing::Environment {
public:
    void SetUp() override {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        const auto beside = executable.parent_path() / "resources";
        if (!error && !std::filesystem::exists(beside, error)) {
            std::filesystem::create_directory_symlink(PULSEDECK_SOURCE_DIR "/resources", beside,
                                                      error);
        }
    }
};

const auto* const resources = ::testing::AddGlobalTestEnvironment(new ResourcesBesideTests);

ExternalDevice named(std::string id, std::string name) {
    ExternalDevice device;
    device.id = std::move(id);
    device.name = std::move(name);
    device.connection = "USB";
    return device;
}

std::vector<std::string> ids(const std::vector<ExternalDevice>& devices) {
    std::vector<std::string> result;
    for (const ExternalDevice& device : devices) {
        result.push_back(device.id);
    }
    return result;
}

std::vector<ExternalDevice> report(std::string_view json) {
    return Reader::parseThunderboltReport(json);
}

} // namespace

TEST(ExternalDeviceKind, ClassifiesByTheFirstRuleThatApplies) {
    const std::vector<AudioEndpoint> none;
    EXPECT_EQ(classify("Pixel 8", {8}, none, ""), ExternalDeviceKind::phone);
    EXPECT_EQ(classify("My iPad", {}, none, ""), ExternalDeviceKind::portableTablet);
    EXPECT_EQ(classify("MTP Device", {6}, none, "GOOGLE Inc."), ExternalDeviceKind::phone)
        << "still-image class and a phone maker, in any case";
    EXPECT_EQ(classify("MTP Device", {6}, none, "Canon"), ExternalDeviceKind::usb);
    EXPECT_EQ(classify("Flash Card Reader", {8, 1}, none, ""), ExternalDeviceKind::card);
    EXPECT_EQ(classify("CFexpress Hub", {8}, none, ""), ExternalDeviceKind::card);
    EXPECT_EQ(classify("Studio Mic", {8, 1}, none, ""), ExternalDeviceKind::storage)
        << "mass storage decides before any audio rule";
    EXPECT_EQ(classify("Studio Mic", {1}, none, ""), ExternalDeviceKind::usb)
        << "\"mic \" needs a trailing space";
    EXPECT_EQ(classify("Mic One", {1}, none, ""), ExternalDeviceKind::microphone);
    EXPECT_EQ(classify("USB Mic Pro", {1}, none, ""), ExternalDeviceKind::microphone);
    EXPECT_EQ(classify("Desk Microphone", {1}, none, ""), ExternalDeviceKind::microphone);
    EXPECT_EQ(classify("Gaming Headset", {1}, none, ""), ExternalDeviceKind::headphones);
    EXPECT_EQ(classify("Drawing Tablet", {3}, none, ""), ExternalDeviceKind::tablet);
    EXPECT_EQ(classify("Drawing Tablet", {1}, none, ""), ExternalDeviceKind::usb);
}

TEST(ExternalDeviceKind, AMatchingAudioEndpointDecidesByItsStreams) {
    const auto kind = [](std::string_view name, bool input, bool output) {
        return classify(name, {1},
                        {{"Other Card x", true, true}, {"DAC ONE dac-uid", input, output}}, "");
    };
    EXPECT_EQ(kind("dac one", true, true), ExternalDeviceKind::headphones);
    EXPECT_EQ(kind("dac one", true, false), ExternalDeviceKind::microphone);
    EXPECT_EQ(kind("dac one", false, true), ExternalDeviceKind::speaker);
    EXPECT_EQ(classify("Gaming Headset", {}, {{"Gaming Headset u", false, true}}, ""),
              ExternalDeviceKind::headphones);
    EXPECT_EQ(classify("Studio Mic", {1}, {{"Studio Mic u", false, false}}, ""),
              ExternalDeviceKind::usb)
        << "an endpoint without streams ends the search and the class rules follow";
    EXPECT_EQ(classify("", {}, {{"anything", true, true}}, ""), ExternalDeviceKind::usb)
        << "an empty name matches no endpoint";
}

TEST(ExternalDevice, RateTextPicksUnitAndDecimals) {
    ExternalDevice device = named("usb:1", "x");
    const auto rate = [&](std::optional<double> bits, bool maximum = false) {
        device.bitsPerSecond = bits;
        device.rateIsMaximum = maximum;
        return device.rateText(AppLanguage::english);
    };
    EXPECT_EQ(rate(1'500'000), "1.5 Mbps");
    EXPECT_EQ(rate(480'000'000), "480 Mbps");
    EXPECT_EQ(rate(5'000'000'000), "5 Gbps");
    EXPECT_EQ(rate(999'999'999), "1000.0 Mbps");
    EXPECT_EQ(rate(40e9, true),
              text(Copy::deviceRateMaximumShort, AppLanguage::english) + " 40 Gbps");
    for (const std::optional<double> unknown :
         {std::optional<double>(), std::optional(0.0), std::optional(-5.0),
          std::optional(std::numeric_limits<double>::quiet_NaN()),
          std::optional(std::numeric_limits<double>::infinity())}) {
        EXPECT_EQ(rate(unknown), text(Copy::deviceRateUnknown, AppLanguage::english));
    }
}

TEST(ExternalDevice, CapacityTextClampsTheRemainingAmount) {
    ExternalDevice device = named("disk:1", "x");
    EXPECT_FALSE(device.capacityText(AppLanguage::english)) << "no capacity, no text";
    const std::string remaining = text(Copy::deviceRemaining, AppLanguage::english);
    device.capacity = 500'000'000'000;
    EXPECT_EQ(device.capacityText(AppLanguage::english), "500 GB \u00b7 " + remaining + " \u2014");
    device.availableCapacity = 600'000'000'000;
    EXPECT_EQ(device.capacityText(AppLanguage::english), "500 GB \u00b7 " + remaining + " 500 GB");
    device.availableCapacity = 123'450'000'000;
    EXPECT_EQ(device.capacityText(AppLanguage::english),
              "500 GB \u00b7 " + remaining + " 123.45 GB");
    device.capacity = std::numeric_limits<std::uint64_t>::max();
    device.availableCapacity.reset();
    EXPECT_TRUE(device.capacityText(AppLanguage::english)->starts_with("9.22 EB"))
        << "counts past the signed range are capped, not wrapped";
}

TEST(ExternalDevice, EqualityComparesEveryField) {
    ExternalDevice a = named("disk:1", "Disk");
    ExternalDevice b = a;
    EXPECT_EQ(a, b);
    b.capacity = 0;
    EXPECT_NE(a, b) << "an absent capacity differs from a present one";
    b = a;
    b.upstreamID = "";
    EXPECT_NE(a, b);
    EXPECT_NE((ExternalDevicesSnapshot{{a}}), (ExternalDevicesSnapshot{{a, a}}));
}

TEST(ExternalDevicesRules, USBDevicesBuiltInOrOnInternalPortsAreNotExternal) {
    using sys::DeviceProperties;
    EXPECT_TRUE(Reader::isExternalUSBDevice({}));
    EXPECT_FALSE(Reader::isExternalUSBDevice(DeviceProperties{{"built-in", true}}));
    EXPECT_FALSE(Reader::isExternalUSBDevice(DeviceProperties{{"Built-In", std::int64_t{1}}}));
    EXPECT_TRUE(Reader::isExternalUSBDevice(DeviceProperties{{"Built-In", std::string("yes")}}))
        << "a value of the wrong type counts as missing";
    EXPECT_FALSE(Reader::isExternalUSBDevice(DeviceProperties{{"USBPortType", std::int64_t{1}}}));
    EXPECT_FALSE(Reader::isExternalUSBDevice(DeviceProperties{{"USBPortType", std::int64_t{2}}}));
    EXPECT_TRUE(Reader::isExternalUSBDevice(DeviceProperties{{"USBPortType", std::int64_t{0}}}));
    EXPECT_FALSE(Reader::isExternalUSBDevice(DeviceProperties{{"bDeviceClass", std::int64_t{17}}}))
        << "billboard devices only describe alternate modes";
}

TEST(ExternalDevicesRules, OnlyExternalOrRemovableRealDisksAreListed) {
    using Verdict = Reader::DiskVerdict;
    using sys::DiskDescription;
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{false, false, "USB", {}}), Verdict::listed);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{true, true, "SATA", {}}), Verdict::listed);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{true, false, "USB", {}}), Verdict::internal);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{{}, false, "USB", {}}), Verdict::internal)
        << "a description without the internal key is not external";
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{{}, {}, {}, {}}), Verdict::internal);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{false, true, "Disk Image", {}}),
              Verdict::diskImage);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{false, false, "Virtual Interface", {}}),
              Verdict::virtualInterface);
    EXPECT_EQ(Reader::storageVerdict(DiskDescription{false, false, {}, {}}), Verdict::listed);
}

TEST(ExternalDevicesRules, LinkRateFromLinkSpeedThenSpeedCode) {
    using sys::DeviceProperties;
    EXPECT_EQ(Reader::usbLinkRate(DeviceProperties{{"USBSpeed", std::int64_t{3}}}), 480e6);
    EXPECT_EQ(Reader::usbLinkRate(DeviceProperties{{"USBSpeed", std::int64_t{2}}}), 1.5e6);
    EXPECT_EQ(Reader::usbLinkRate(DeviceProperties{{"USBSpeed", std::int64_t{6}}}), 20e9);
    EXPECT_FALSE(Reader::usbLinkRate(DeviceProperties{{"USBSpeed", std::int64_t{7}}}));
    EXPECT_EQ(Reader::usbLinkRate(
                  DeviceProperties{{"UsbLinkSpeed", 10e9}, {"USBSpeed", std::int64_t{3}}}),
              10e9);
    EXPECT_EQ(
        Reader::usbLinkRate(DeviceProperties{{"UsbLinkSpeed", 0.0}, {"USBSpeed", std::int64_t{1}}}),
        12e6)
        << "a zero link speed falls back to the code";
}

TEST(ExternalDevicesRules, UpstreamIDFromTheNearestEightByteTunnelGUID) {
    const sys::DeviceData guid = {0x21, 0x43, 0x65, 0x87, 0x00, 0x00, 0x00, 0x00};
    const std::vector<RegistryAncestor> chain = {
        {1, {}},
        {2, {{"Tunnel Endpoint GUID", sys::DeviceData{1, 2, 3}}}},
        {3, {{"Tunnel Endpoint GUID", guid}}},
        {4, {{"Tunnel Endpoint GUID", sys::DeviceData{9, 9, 9, 9, 9, 9, 9, 9}}}},
    };
    EXPECT_EQ(Reader::upstreamID(chain), "87654321");
    EXPECT_EQ(Reader::upstreamID({{1, {{"Tunnel Endpoint GUID", sys::DeviceData(8, 0)}}}}), "0");
    EXPECT_FALSE(Reader::upstreamID({chain[0], chain[1]}));
}

TEST(ExternalDevicesRules, SwitchIDsNormaliseToBareLowerCaseHex) {
    EXPECT_EQ(Reader::normalizedSwitchID("0x0000ABC"), "abc");
    EXPECT_EQ(Reader::normalizedSwitchID("abc"), "abc");
    EXPECT_EQ(Reader::normalizedSwitchID("0X00FF"), "ff");
    EXPECT_EQ(Reader::normalizedSwitchID("+00ff"), "ff");
    EXPECT_EQ(Reader::normalizedSwitchID("0x"), "");
    EXPECT_EQ(Reader::normalizedSwitchID("0x1FFFFFFFFFFFFFFFF"), "1ffffffffffffffff")
        << "more than 64 bits is kept as text";
    EXPECT_EQ(Reader::normalizedSwitchID("D3010000-0082-8A18"), "d3010000-0082-8a18");
    EXPECT_EQ(Reader::normalizedSwitchID("-1"), "-1");
}

TEST(ExternalDevicesRules, DuplicatesMergeIntoTheFirstSeen) {
    ExternalDevice usb = named("usb:7", "Flash");
    usb.bitsPerSecond = 5e9;
    ExternalDevice disk = named("usb:7", "Flash Disk");
    disk.connection = "ignored";
    disk.bitsPerSecond = 1e6;
    disk.capacity = 64;
    disk.kind = ExternalDeviceKind::storage;
    disk.availableCapacity = 32;
    disk.upstreamID = "ab";
    ExternalDevice later = named("usb:7", "Later");
    later.kind = ExternalDeviceKind::usb;

    const auto merged = Reader::deduplicated({usb, disk, later});
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].name, "Flash");
    EXPECT_EQ(merged[0].connection, "USB");
    EXPECT_EQ(merged[0].bitsPerSecond, 5e9) << "the first rate stays";
    EXPECT_EQ(merged[0].capacity, 64u);
    EXPECT_EQ(merged[0].kind, ExternalDeviceKind::storage) << "a later usb kind never overrides";
    EXPECT_EQ(merged[0].availableCapacity, 32u);
    EXPECT_EQ(merged[0].upstreamID, "ab");

    ExternalDevice rateless = named("usb:8", "X");
    ExternalDevice rated = named("usb:8", "X");
    rated.bitsPerSecond = 40e9;
    rated.rateIsMaximum = true;
    const auto takesRate = Reader::deduplicated({rateless, rated});
    EXPECT_EQ(takesRate[0].bitsPerSecond, 40e9);
    EXPECT_TRUE(takesRate[0].rateIsMaximum);
}

TEST(ExternalDevicesRules, OrderIsNaturalThenByNameBytesThenByID) {
    const auto sorted = Reader::deduplicated({
        named("usb:3", "Drive"),
        named("tb:1", "Drive"),
        named("disk:9", "Drive"),
        named("usb:1", "drive 10"),
        named("usb:2", "Drive 9"),
        named("usb:4", "alpha"),
        named("usb:5", "drive 09"),
    });
    EXPECT_EQ(ids(sorted), (std::vector<std::string>{"usb:4", "disk:9", "tb:1", "usb:3", "usb:2",
                                                     "usb:5", "usb:1"}))
        << "equal names sort disk: < tb: < usb:; \"Drive 9\" and \"drive 09\" tie naturally and "
           "fall back to their bytes";

    // Names that tie in the natural order still have one defined order, whatever the input order.
    std::vector<ExternalDevice> ties;
    for (const char* name : {"disk 1", "Disk 1", "DISK 01", "disk 001", "Disk 01"}) {
        for (int id = 0; id < 3; ++id) {
            ties.push_back(named("usb:" + std::to_string(id) + name, name));
        }
    }
    const auto reference = ids(Reader::deduplicated(ties));
    std::mt19937 shuffle(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(ties.begin(), ties.end(), shuffle);
        EXPECT_EQ(ids(Reader::deduplicated(ties)), reference);
    }
}

TEST(ExternalDevicesRules, ThunderboltEntriesLayOntoMatchingDevices) {
    ExternalDevice tunnelled = named("usb:1", "Dock Hub");
    tunnelled.upstreamID = "abc";
    ExternalDevice disk = named("disk:5", "Harbor Card Reader");
    disk.connection = "PCI-Express";
    disk.kind = ExternalDeviceKind::storage;
    disk.capacity = 128;
    ExternalDevice usbNamedAlike = named("usb:9", "Harbor Card Reader");
    std::vector<ExternalDevice> devices = {tunnelled, disk, usbNamedAlike};

    ExternalDevice dock = named("tb:0x0ABC", "Harbor Dock");
    dock.connection = "Thunderbolt 4";
    dock.bitsPerSecond = 40e9;
    dock.rateIsMaximum = true;
    dock.upstreamID = "abc";
    ExternalDevice reader = named("tb:7", "Harbor Card Reader");
    reader.connection = "USB4";
    reader.bitsPerSecond = 10e9;
    reader.kind = ExternalDeviceKind::card;
    reader.upstreamID = "7";
    ExternalDevice loose = named("tb:9", "Display");
    loose.connection = "USB4";
    loose.upstreamID = "9";
    ExternalDevice sameSwitchAsLoose = named("tb:9b", "Display Hub");
    sameSwitchAsLoose.connection = "Thunderbolt 3";
    sameSwitchAsLoose.upstreamID = "9";

    Reader::mergeThunderbolt({dock, reader, loose, sameSwitchAsLoose}, devices);
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].connection, "Thunderbolt 4");
    EXPECT_EQ(devices[0].bitsPerSecond, 40e9);
    EXPECT_TRUE(devices[0].rateIsMaximum);
    EXPECT_EQ(devices[0].name, "Dock Hub") << "only the link fields are taken";
    EXPECT_EQ(devices[1].kind, ExternalDeviceKind::card) << "a card reader makes the disk a card";
    EXPECT_EQ(devices[1].connection, "USB4");
    EXPECT_EQ(devices[1].capacity, 128u);
    EXPECT_EQ(devices[2].connection, "USB") << "names match disk: entries only";
    EXPECT_EQ(devices[3].id, "tb:9") << "an entry nothing matches is appended";
    EXPECT_EQ(devices[3].connection, "Thunderbolt 3")
        << "later entries match entries appended before them";
}

TEST(ExternalDevicesRules, VolumeSpaceCountsEachPoolOnce) {
    const auto space = Reader::availableSpaceByDevice({
        {"usb:1", 10, 500},
        {"usb:1", 10, 450},
        {"usb:1", 11, 100},
        {"usb:2", 10, 7},
        {"usb:3", 1, std::numeric_limits<std::uint64_t>::max()},
        {"usb:3", 2, 1},
        {"usb:4", 1, std::numeric_limits<std::uint64_t>::max()},
    });
    EXPECT_EQ(space, (std::map<std::string, std::uint64_t>{
                         {"usb:1", 550}, {"usb:2", 7}, {"usb:4", UINT64_MAX}}))
        << "smallest per pool, summed over pools; an overflowing sum gives no entry";

    const std::vector<RegistryAncestor> chain = {
        {100, {{"Content", std::string("Linux filesystem")}}},
        {200, {{"Content", std::string("EF57347C-0000-11AA-AA11-00306543ECAC")}}},
        {300, {}},
    };
    EXPECT_EQ(Reader::poolID(chain), 200u) << "the container partition is the pool";
    EXPECT_EQ(Reader::poolID({chain[0], chain[2]}), 100u) << "else the volume's own media";
}

TEST(ThunderboltReport, DeviceObjectsAtAnyDepthWithTheirConnectionAndRate) {
    const auto devices = report(R"({"SPThunderboltDataType": [
      {"route_string_key": "0", "device_name_key": "Host",
       "_items": [
         {"route_string_key": "1", "device_name_key": "Dock", "switch_uid_key": "0x0000ABC",
          "mode_key": "usb_four",
          "receptacle_1_tag": {"current_speed_key": "Up to 20 Gb/s",
                               "receptacle_status_key": "receptacle_no_devices_connected"},
          "receptacle_2_tag": {"current_speed_key": "Up to 40 Gb/s x1",
                               "receptacle_status_key": "receptacle_connected"},
          "_items": [{"route_string_key": "301", "device_name_key": "SD Card Reader",
                      "thunderbolt_version_key": "4", "mode_key": "usb_four",
                      "receptacle_a": {"current_speed_key": "about 480 mb/s",
                                       "receptacle_status_key": "receptacle_connected"}}]},
         {"route_string_key": "3", "device_name_key": "Drive",
          "thunderbolt_version_key": "2",
          "receptacle_b": {"current_speed_key": "unknown",
                           "receptacle_status_key": "receptacle_connected"},
          "receptacle_c": {"current_speed_key": "10.5GBPS",
                           "receptacle_status_key": "receptacle_connected"}},
         {"device_name_key": "No route", "_items": {"route_string_key": "5",
                                                    "device_name_key": "Below"}}
       ]}]})");
    ASSERT_EQ(ids(devices), (std::vector<std::string>{"tb:5", "tb:0x0000ABC", "tb:3", "tb:301"}));
    const ExternalDevice& below = devices[0];
    const ExternalDevice& dock = devices[1];
    const ExternalDevice& drive = devices[2];
    const ExternalDevice& card = devices[3];

    EXPECT_EQ(dock.connection, "USB4");
    EXPECT_EQ(dock.upstreamID, "abc");
    EXPECT_EQ(dock.bitsPerSecond, 40e9) << "the first connected receptacle with a rate";
    EXPECT_TRUE(dock.rateIsMaximum);
    EXPECT_EQ(card.connection, "Thunderbolt 4") << "the version wins over the mode";
    EXPECT_EQ(card.bitsPerSecond, 480e6);
    EXPECT_FALSE(card.rateIsMaximum);
    EXPECT_EQ(card.kind, ExternalDeviceKind::card);
    EXPECT_EQ(drive.connection, "Thunderbolt / USB4") << "version 2 is ignored";
    EXPECT_EQ(drive.bitsPerSecond, 10.5e9) << "a receptacle without a rate is passed over";
    EXPECT_EQ(drive.upstreamID, "3");
    EXPECT_EQ(below.name, "Below") << "objects without the required keys are still walked";
    EXPECT_FALSE(below.bitsPerSecond);
}

TEST(ThunderboltReport, AnyOtherShapeGivesNothing) {
    for (const char* json :
         {"", "garbage", "[]", "{}", R"({"SPThunderboltDataType": {}})",
          R"({"SPThunderboltDataType": [1]})", R"({"SPThunderboltDataType": [{}, "x"]})",
          R"({"SPThunderboltDataType": [{"route_string_key": "1"}]})",
          R"({"SPThunderboltDataType": [{"route_string_key": 1,
                                 "device_name_key": "Numbered"}]})",
          R"({"SPThunderboltDataType": [{"route_string_key": "1",
                                 "device_name_key": "Cut)"}) {
        EXPECT_TRUE(report(json).empty()) << json;
    }
    std::string deep =
        R"({"SPThunderboltDataType": [{"route_string_key": "1", "device_name_key": "D", "_items": )";
    deep += std::string(10'000, '[') + std::string(10'000, ']') + "}]}";
    EXPECT_TRUE(report(deep).empty()) << "nesting past the limit is unparsable";
}
