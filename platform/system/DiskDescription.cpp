#include "platform/system/DiskDescription.h"

#include "platform/system/DeviceAttributes.h"

#include <algorithm>

namespace sys {

namespace {

// Deep enough for any real bus path (a USB disk sits about ten levels below its controller).
constexpr std::size_t busWalkLimit = 32;

} // namespace

DiskPlacement diskPlacement(const DeviceRegistry& registry, const RegistryEntry& media) {
    DiskPlacement placement;
    placement.isVirtual = registry.isVirtualFolder(media.path);
    if (placement.isVirtual) {
        return placement;
    }
    for (RegistryEntry& ancestor : registry.ancestors(media, busWalkLimit)) {
        std::string bus = registry.subsystem(ancestor);
        placement.ancestors.push_back({std::move(ancestor), std::move(bus)});
    }
    return placement;
}

std::optional<std::string> diskModel(const RegistryEntry& media) {
    for (const char* attribute : {"model", "name"}) {
        if (auto model = deviceAttribute(media.path / "device" / attribute)) {
            return model;
        }
    }
    return std::nullopt;
}

DiskDescription describePlacedDisk(const DiskPlacement& placement, const RegistryEntry& media,
                                   bool withModel) {
    DiskDescription description;
    description.mediaRemovable = deviceInteger(media.path / "removable").value_or(0) == 1;
    if (withModel) {
        description.deviceModel = diskModel(media);
    }

    if (placement.isVirtual) {
        description.deviceInternal = false;
        description.deviceProtocol =
            media.name.starts_with("loop") ? "Disk Image" : "Virtual Interface";
        return description;
    }

    // USB anywhere above decides the protocol and that the disk is external, whatever the PCI
    // ports say; their flags are read only when they can matter.
    const bool onUSB =
        std::any_of(placement.ancestors.begin(), placement.ancestors.end(),
                    [](const DiskAncestor& ancestor) { return ancestor.bus == "usb"; });
    bool behindExternalPort = false;
    std::optional<std::string> protocol;
    for (const auto& [ancestor, bus] : placement.ancestors) {
        if (bus == "usb") {
            continue;
        }
        if (bus == "thunderbolt" || (bus == "pci" && !onUSB && !behindExternalPort &&
                                     deviceAttribute(ancestor.path / "removable") == "removable")) {
            behindExternalPort = true;
        } else if (!protocol) {
            if (bus == "virtio") {
                protocol = "Virtual Interface";
            } else if (bus == "nvme") {
                protocol = "PCI-Express";
            } else if (bus == "ata" || ancestor.name.starts_with("ata")) {
                protocol = "SATA";
            } else if (bus == "mmc") {
                protocol = "Secure Digital";
            }
        }
    }
    if (onUSB) {
        protocol = "USB";
    } else if (behindExternalPort) {
        protocol = "Thunderbolt";
    }
    description.deviceInternal = !onUSB && !behindExternalPort;
    description.deviceProtocol = protocol;
    return description;
}

std::optional<DiskDescription> describeDisk(const DeviceRegistry& registry,
                                            const RegistryEntry& media) {
    if (registry.subsystem(media) != "block") {
        return std::nullopt;
    }
    return describePlacedDisk(diskPlacement(registry, media), media, true);
}

} // namespace sys
