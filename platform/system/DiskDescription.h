#pragma once

#include "platform/system/DeviceRegistry.h"

#include <optional>
#include <string>

namespace sys {

// What the system says about one disk, in the terms of a disk-arbitration description.
//
// Linux backing: a disk with no hardware behind it (it lives under /sys/devices/virtual) is not
// internal: a loop device is a "Disk Image", anything else there (zram, device mapper, md) a
// "Virtual Interface". A hardware disk is internal unless it sits on USB or behind an
// external-facing PCIe port (Thunderbolt / USB4); a virtio disk is internal with the protocol
// "Virtual Interface". Removable is the block device's own flag (card slots, USB sticks).
struct DiskDescription {
    std::optional<bool> deviceInternal;
    std::optional<bool> mediaRemovable;
    std::optional<std::string> deviceProtocol;
    std::optional<std::string> deviceModel;

    bool operator==(const DiskDescription&) const = default;
};

// The description of a block device entry; empty when the entry is not a block device.
std::optional<DiskDescription> describeDisk(const DeviceRegistry& registry,
                                            const RegistryEntry& media);

} // namespace sys
