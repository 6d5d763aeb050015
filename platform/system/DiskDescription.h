#pragma once

#include "platform/system/DeviceRegistry.h"

#include <optional>
#include <string>
#include <vector>

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

// One device on a disk's way up to its bus, with the subsystem it belongs to.
struct DiskAncestor {
    RegistryEntry entry;
    std::string bus;

    bool operator==(const DiskAncestor&) const = default;
};

// Where a disk sits: whether it has hardware behind it and the devices above it. None of this
// changes while the disk exists, so it may be kept between descriptions of the same disk.
struct DiskPlacement {
    bool isVirtual = false;
    // Nearest first; empty for a virtual disk.
    std::vector<DiskAncestor> ancestors;

    bool operator==(const DiskPlacement&) const = default;
};

DiskPlacement diskPlacement(const DeviceRegistry& registry, const RegistryEntry& media);

// The description of a disk at a known placement, from what may change while it exists: its
// removable flag and whether a PCI port above it faces outwards. The model is read only when
// asked for, as only a listed disk shows it.
DiskDescription describePlacedDisk(const DiskPlacement& placement, const RegistryEntry& media,
                                   bool withModel);

// The model the disk's device states; empty when it states none.
std::optional<std::string> diskModel(const RegistryEntry& media);

// The description of a block device entry; empty when the entry is not a block device.
std::optional<DiskDescription> describeDisk(const DeviceRegistry& registry,
                                            const RegistryEntry& media);

} // namespace sys
