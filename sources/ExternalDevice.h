#pragma once

#include "model/Localization.h"
#include "sources/ExternalDeviceKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// One external device as the devices module lists it.
struct ExternalDevice {
    // "usb:<registry id>", "disk:<registry id>" (both decimal) or "tb:<switch uid or route>".
    std::string id;
    std::string name;
    // "USB", a disk's protocol (or "—"), or a Thunderbolt / USB4 label.
    std::string connection;
    std::optional<double> bitsPerSecond;
    // The rate is an upper bound rather than the link's current rate.
    bool rateIsMaximum = false;
    // Total size in bytes (disks only).
    std::optional<std::uint64_t> capacity;
    ExternalDeviceKind kind = ExternalDeviceKind::usb;
    // Free bytes on the device's mounted volumes.
    std::optional<std::uint64_t> availableCapacity;
    // Lower-case hexadecimal id of the Thunderbolt or USB4 switch the device is reached through.
    std::optional<std::string> upstreamID;

    bool operator==(const ExternalDevice&) const = default;

    // "<total> · <remaining word> <free>", free being "—" when unknown; nothing without a
    // capacity.
    std::optional<std::string> capacityText(AppLanguage language) const;
    // "480 Mbps", "1.5 Mbps", "<maximum word> 40 Gbps", or the unknown-rate word.
    std::string rateText(AppLanguage language) const;
};

struct ExternalDevicesSnapshot {
    std::vector<ExternalDevice> devices;

    bool operator==(const ExternalDevicesSnapshot&) const = default;
};

} // namespace pulsedeck
