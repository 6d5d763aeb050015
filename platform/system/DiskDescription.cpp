#include "platform/system/DiskDescription.h"

#include "platform/system/DeviceAttributes.h"

namespace sys {

namespace fs = std::filesystem;

namespace {

// Deep enough for any real bus path (a USB disk sits about ten levels below its controller).
constexpr std::size_t busWalkLimit = 32;

bool isVirtual(const DeviceRegistry& registry, const RegistryEntry& media) {
    const fs::path relative =
        media.path.lexically_relative(fs::weakly_canonical(registry.roots().sys) / "devices");
    return relative.begin() != relative.end() && *relative.begin() == "virtual";
}

std::optional<std::string> modelOf(const RegistryEntry& media) {
    for (const char* attribute : {"model", "name"}) {
        if (auto model = deviceAttribute(media.path / "device" / attribute)) {
            return model;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<DiskDescription> describeDisk(const DeviceRegistry& registry,
                                            const RegistryEntry& media) {
    if (registry.subsystem(media) != "block") {
        return std::nullopt;
    }
    DiskDescription description;
    description.mediaRemovable = deviceInteger(media.path / "removable").value_or(0) == 1;
    description.deviceModel = modelOf(media);

    if (isVirtual(registry, media)) {
        description.deviceInternal = false;
        description.deviceProtocol =
            media.name.starts_with("loop") ? "Disk Image" : "Virtual Interface";
        return description;
    }

    bool onUSB = false;
    bool behindExternalPort = false;
    std::optional<std::string> protocol;
    for (const RegistryEntry& ancestor : registry.ancestors(media, busWalkLimit)) {
        const std::string bus = registry.subsystem(ancestor);
        if (bus == "usb") {
            onUSB = true;
        } else if (bus == "thunderbolt" ||
                   (bus == "pci" && deviceAttribute(ancestor.path / "removable") == "removable")) {
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

} // namespace sys
