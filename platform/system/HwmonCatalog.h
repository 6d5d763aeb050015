#pragma once

#include "platform/system/SystemRoots.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sys {

// One hwmon channel (a fan or a temperature sensor), known by its driver name and label. The
// hwmonN folder it was found in is deliberately not part of it: the kernel renumbers those at
// boot.
struct HwmonChannel {
    std::string driver;
    // The channel's `_label`, or its attribute stem ("temp3", "fan1") when it has none.
    std::string label;
    // The device the hwmon node hangs off, resolved; stable across boots. Empty when absent.
    std::string device;
    std::filesystem::path input;
    // fanN_max, for fans that report one.
    std::optional<std::filesystem::path> maximum;

    bool operator==(const HwmonChannel&) const = default;
};

// The machine's fans and processor temperature sensors, found once by walking
// <sys>/class/hwmon. Drive, NVMe, GPU, Wi-Fi and battery sensors are left out on purpose: they
// must never stand in for the processor.
struct HwmonCatalog {
    // Chip by chip (driver, then device), each chip's fans in channel order.
    std::vector<HwmonChannel> fans;
    // coretemp "Package id N"; k10temp and zenpower "Tdie", else their "Tccd" dies, else "Tctl"
    // (which carries an offset on some models, so it serves only when alone).
    std::vector<HwmonChannel> packageTemperatures;
    // Other processor sensors: coretemp cores, k10temp/zenpower dies beside a Tdie, cpu and SoC
    // thermal zones, then ACPI thermal zones last.
    std::vector<HwmonChannel> processorTemperatures;

    // Reads only names and labels, never a sensor value, so it does not wake firmware.
    static HwmonCatalog discover(const SystemRoots& roots);
};

// Orders labels as people count: "Core 2" before "Core 10".
bool naturalLess(const std::string& left, const std::string& right);

} // namespace sys
