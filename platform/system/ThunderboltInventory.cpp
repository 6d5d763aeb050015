#include "platform/system/ThunderboltInventory.h"

#include "platform/foundation/NumberFormatting.h"
#include "platform/system/DeviceAttributes.h"
#include "platform/system/DeviceRegistry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

namespace sys {

namespace fs = std::filesystem;

namespace {

using Json = nlohmann::json;

// Thunderbolt switches are named "<domain>-<route in hex>"; peers "<domain>-<route>.<n>" and
// services "<peer>.<n>" are not switches.
bool isSwitchName(std::string_view name) {
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) {
        return false;
    }
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    return std::all_of(name.begin(), name.begin() + dash,
                       [](char c) { return c >= '0' && c <= '9'; }) &&
           std::all_of(name.begin() + dash + 1, name.end(), isHex);
}

std::string linkSpeedText(const fs::path& folder) {
    // "20.0 Gb/s" per lane, times the lane count, is the link's rate.
    const auto speed = deviceAttribute(folder / "rx_speed");
    const auto lanes = deviceInteger(folder / "rx_lanes");
    if (!speed || !lanes || *lanes <= 0) {
        return {};
    }
    const auto space = speed->find(' ');
    const auto perLane = parseDeviceDecimal(std::string_view(*speed).substr(0, space));
    if (!perLane || *perLane <= 0) {
        return {};
    }
    const double total = *perLane * static_cast<double>(*lanes);
    return foundation::formatFixed(total, total == std::round(total) ? 0 : 1) + " Gb/s";
}

Json switchObject(const RegistryEntry& entry) {
    Json object = Json::object();
    const std::string name = deviceAttribute(entry.path / "device_name").value_or(entry.name);
    object["_name"] = name;
    object["device_name_key"] = name;
    if (auto vendor = deviceAttribute(entry.path / "vendor_name")) {
        object["vendor_name_key"] = *vendor;
    }
    object["route_string_key"] = entry.name.substr(entry.name.find('-') + 1);
    if (auto uid = deviceAttribute(entry.path / "unique_id")) {
        object["switch_uid_key"] = *uid;
    }
    if (auto generation = deviceInteger(entry.path / "generation")) {
        if (*generation >= 4) {
            object["mode_key"] = "usb_four";
        } else if (*generation >= 1) {
            object["thunderbolt_version_key"] = std::to_string(*generation);
        }
    }
    if (std::string speed = linkSpeedText(entry.path); !speed.empty()) {
        object["receptacle_upstream_ambiguous_tag"] = {
            {"current_speed_key", speed}, {"receptacle_status_key", "receptacle_connected"}};
    }
    return object;
}

} // namespace

std::string thunderboltReport(const SystemRoots& roots) {
    const DeviceRegistry registry(roots);
    std::vector<RegistryEntry> switches;
    std::error_code error;
    const fs::path bus = roots.sys / "bus/thunderbolt/devices";
    for (fs::directory_iterator it(bus, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!isSwitchName(name)) {
            continue;
        }
        if (auto entry = registry.entryAt(it->path());
            entry && registry.deviceType(*entry) == "thunderbolt_device") {
            switches.push_back(std::move(*entry));
        }
    }
    // Parents before children: a switch's folder lies inside its upstream switch's folder.
    std::sort(switches.begin(), switches.end(), [](const RegistryEntry& a, const RegistryEntry& b) {
        const auto depthA = std::distance(a.path.begin(), a.path.end());
        const auto depthB = std::distance(b.path.begin(), b.path.end());
        return depthA != depthB ? depthA < depthB : a.path < b.path;
    });

    std::map<fs::path, Json> objects;
    std::map<fs::path, fs::path> upstream;
    std::vector<fs::path> hosts;
    for (const RegistryEntry& entry : switches) {
        objects.emplace(entry.path, switchObject(entry));
        fs::path parent;
        for (fs::path folder = entry.path.parent_path();
             folder.has_relative_path() && folder != folder.parent_path();
             folder = folder.parent_path()) {
            if (objects.contains(folder)) {
                parent = folder;
                break;
            }
        }
        if (parent.empty()) {
            hosts.push_back(entry.path);
        } else {
            upstream.emplace(entry.path, parent);
        }
    }
    // Attach the deepest switches first so each object is complete before it is moved.
    for (auto it = switches.rbegin(); it != switches.rend(); ++it) {
        const auto parent = upstream.find(it->path);
        if (parent == upstream.end()) {
            continue;
        }
        objects[parent->second]["_items"].push_back(std::move(objects[it->path]));
    }
    Json items = Json::array();
    for (const fs::path& host : hosts) {
        items.push_back(std::move(objects[host]));
    }
    return Json{{"SPThunderboltDataType", std::move(items)}}.dump(2) + "\n";
}

} // namespace sys
