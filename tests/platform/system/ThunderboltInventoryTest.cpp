#include "platform/system/ThunderboltInventory.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

void writeLine(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

// A switch folder under the domain with its bus link and attributes.
fs::path addSwitch(const fs::path& sys, const fs::path& relative, const std::string& busName,
                   const std::map<std::string, std::string>& attributes,
                   const char* type = "thunderbolt_device") {
    const fs::path folder = sys / "devices" / relative;
    writeLine(folder / "uevent", std::string("DEVTYPE=") + type);
    for (const auto& [name, value] : attributes) {
        writeLine(folder / name, value);
    }
    fs::create_directories(sys / "bus/thunderbolt/devices");
    fs::create_directory_symlink(folder, sys / "bus/thunderbolt/devices" / busName);
    return folder;
}

} // namespace

TEST(ThunderboltInventory, ReportsTheFixtureDockBelowItsHostRouter) {
    const json report = json::parse(
        sys::thunderboltReport(sys::SystemRoots::under(testsupport::fixturePath("devices"))));
    const json& hosts = report.at("SPThunderboltDataType");
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].at("route_string_key"), "0");
    EXPECT_FALSE(hosts[0].contains("receptacle_upstream_ambiguous_tag"));
    const json& items = hosts[0].at("_items");
    ASSERT_EQ(items.size(), 1u) << "the cross-domain peer is no switch";
    const json& dock = items[0];
    EXPECT_EQ(dock.at("device_name_key"), "Harbor TS4 Dock");
    EXPECT_EQ(dock.at("vendor_name_key"), "Harbor");
    EXPECT_EQ(dock.at("route_string_key"), "1");
    EXPECT_EQ(dock.at("switch_uid_key"), "d3010000-0082-8a18-2397-a1c10a8f3422");
    EXPECT_EQ(dock.at("mode_key"), "usb_four");
    EXPECT_FALSE(dock.contains("thunderbolt_version_key"));
    EXPECT_EQ(dock.at("receptacle_upstream_ambiguous_tag"),
              (json{{"current_speed_key", "40 Gb/s"},
                    {"receptacle_status_key", "receptacle_connected"}}));
}

TEST(ThunderboltInventory, DaisyChainsNestAndOlderGenerationsNameTheirVersion) {
    testsupport::TemporaryDirectory root;
    const fs::path sys = root.path() / "sys";
    const fs::path domain = "pci0000:00/0000:00:0d.2/domain1";
    writeLine(sys / "devices" / domain / "uevent", "DEVTYPE=thunderbolt_domain");
    addSwitch(sys, domain / "1-0", "1-0", {{"device_name", "Host"}, {"generation", "3"}});
    addSwitch(sys, domain / "1-0/1-3", "1-3",
              {{"device_name", "Display"},
               {"generation", "3"},
               {"rx_speed", "10.0 Gb/s"},
               {"rx_lanes", "1"}});
    addSwitch(
        sys, domain / "1-0/1-3/1-303", "1-303",
        {{"device_name", "Drive"}, {"generation", "2"}, {"rx_speed", "bogus"}, {"rx_lanes", "2"}});
    addSwitch(sys, domain / "1-0/1-3/1-3.1", "1-3.1", {{"device_name", "Peer"}},
              "thunderbolt_xdomain");

    const json hosts = json::parse(sys::thunderboltReport(sys::SystemRoots::under(root.path())))
                           .at("SPThunderboltDataType");
    ASSERT_EQ(hosts.size(), 1u);
    EXPECT_EQ(hosts[0].at("thunderbolt_version_key"), "3");
    const json& display = hosts[0].at("_items").at(0);
    EXPECT_EQ(display.at("device_name_key"), "Display");
    EXPECT_EQ(display.at("receptacle_upstream_ambiguous_tag").at("current_speed_key"), "10 Gb/s");
    ASSERT_EQ(display.at("_items").size(), 1u);
    const json& drive = display.at("_items").at(0);
    EXPECT_EQ(drive.at("route_string_key"), "303");
    EXPECT_EQ(drive.at("thunderbolt_version_key"), "2");
    EXPECT_FALSE(drive.contains("receptacle_upstream_ambiguous_tag")) << "an unreadable speed";
}

TEST(ThunderboltInventory, AMachineWithoutThunderboltHasAnEmptyList) {
    testsupport::TemporaryDirectory root;
    EXPECT_EQ(json::parse(sys::thunderboltReport(sys::SystemRoots::under(root.path()))),
              (json{{"SPThunderboltDataType", json::array()}}));
}
