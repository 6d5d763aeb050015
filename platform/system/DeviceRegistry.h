#pragma once

#include "platform/system/SystemRoots.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sys {

// A property value as the device registry hands it out: numbers (booleans are numbers too),
// strings and raw data.
using DeviceData = std::vector<std::uint8_t>;
using DeviceValue = std::variant<bool, std::int64_t, double, std::string, DeviceData>;
using DeviceProperties = std::map<std::string, DeviceValue, std::less<>>;

// Typed reads of one property; a value of another type reads as absent.
std::optional<double> numberProperty(const DeviceProperties& properties, std::string_view key);
std::optional<std::int64_t> integerProperty(const DeviceProperties& properties,
                                            std::string_view key);
std::optional<std::string> stringProperty(const DeviceProperties& properties, std::string_view key);
std::optional<DeviceData> dataProperty(const DeviceProperties& properties, std::string_view key);

// One device in the registry: a device directory of sysfs. The id is a stable 64-bit hash of
// the directory's path relative to the sys root, so it survives restarts and does not depend on
// where a fixture tree lives.
struct RegistryEntry {
    std::uint64_t id = 0;
    std::string name;
    std::filesystem::path path;

    bool operator==(const RegistryEntry&) const = default;
};

// FNV-1a, 64 bits.
std::uint64_t stableHash(std::string_view text);

// A read-only view of the machine's devices over sysfs. Entries are device directories (those
// with a "uevent" file); an entry's parent is the nearest such directory above it.
//
// Properties by kind of entry:
//   USB device     "USB Product Name", "USB Vendor Name" (strings), "UsbLinkSpeed" (bits per
//                  second), "bDeviceClass", "USBPortType" (0 behind a hot-plug port, 2 behind a
//                  hard-wired or unused one: the nearest port up to the root hub that says),
//                  "Built-In" (false behind a hot-plug port or on a removable one, else true
//                  on a fixed port or for a Bluetooth radio no port tells of)
//   USB interface  "bInterfaceClass"
//   block device   "Whole" (not a partition), "Size" (bytes), "BSD Name"
// Other entries have no properties. Stateless apart from its roots; safe on any thread.
class DeviceRegistry {
public:
    explicit DeviceRegistry(SystemRoots roots);

    // Attached USB devices (root hubs and interfaces left out), in bus order.
    std::vector<RegistryEntry> usbDevices() const;
    // Every block device, whole disks and partitions, in name order.
    std::vector<RegistryEntry> media() const;
    // The block device behind a device node name ("sdb1", "mapper/vault").
    std::optional<RegistryEntry> mediaNamed(std::string_view deviceName) const;
    // The block devices a device-mapper or RAID device is built on (its `slaves`, theirs in
    // turn: LVM inside an encrypted partition), nearest first; empty for any other device.
    // Bounded, so a looping tree ends.
    std::vector<RegistryEntry> underlyingMedia(const RegistryEntry& media) const;

    DeviceProperties properties(const RegistryEntry& entry) const;
    // The same for an entry whose subsystem is already known.
    DeviceProperties properties(const RegistryEntry& entry, std::string_view subsystem) const;
    std::optional<RegistryEntry> parent(const RegistryEntry& entry) const;
    // The entry's parent, grandparent and so on, nearest first, at most `limit` of them.
    std::vector<RegistryEntry> ancestors(const RegistryEntry& entry, std::size_t limit) const;
    // Every device below the entry, depth first; bounded so a looping or huge tree ends. With a
    // subsystem the walk leaves out devices of any other subsystem and everything below them
    // (a USB device's interfaces never lie below its disk's queues and partitions).
    std::vector<RegistryEntry> descendants(const RegistryEntry& entry,
                                           std::string_view withinSubsystem = {}) const;

    // The kernel subsystem the entry belongs to ("usb", "block", "pci", "virtio", ...), empty
    // when it has none.
    std::string subsystem(const RegistryEntry& entry) const;
    // The DEVTYPE of the entry's uevent ("usb_device", "disk", "partition", ...).
    std::string deviceType(const RegistryEntry& entry) const;

    // The entry for a device directory, given by any path that resolves to one.
    std::optional<RegistryEntry> entryAt(const std::filesystem::path& path) const;

    // The folders the links in <sys>/class/block point at, in name order; not yet checked to be
    // entries. Each link is read once and joined to the resolved class folder: sysfs links point
    // at real device folders, so that is their full resolution without a look at every step.
    std::vector<std::filesystem::path> mediaFolders() const;
    // The entry for a folder with every link already resolved; empty unless it lies below
    // <sys>/devices and has a "uevent" file.
    std::optional<RegistryEntry> entryAtFolder(const std::filesystem::path& folder) const;
    // Whether a resolved folder has no hardware behind it: it lies below <sys>/devices/virtual.
    bool isVirtualFolder(const std::filesystem::path& folder) const;
    // Whether a block device entry is a partition rather than a whole disk.
    bool isPartition(const RegistryEntry& media) const;
    // A block device's size in bytes; empty when it cannot be read or does not fit.
    std::optional<std::int64_t> mediaSize(const RegistryEntry& media) const;

    const SystemRoots& roots() const { return roots_; }
    // <sys>/devices with every link resolved: the folder all entries lie in.
    const std::filesystem::path& devicesFolder() const { return devicesRoot_; }

private:
    // The folders the children of `folder` stand for; `resolvedFolder` is `folder` with every
    // link resolved.
    std::vector<std::filesystem::path>
    linkedFolders(const std::filesystem::path& folder,
                  const std::filesystem::path& resolvedFolder) const;
    std::vector<RegistryEntry> entriesIn(const std::filesystem::path& folder,
                                         const std::filesystem::path& resolvedFolder) const;
    RegistryEntry entryFor(const std::filesystem::path& resolvedFolder) const;

    SystemRoots roots_;
    // The sys root and its devices folder with every link resolved, as entry paths are.
    std::filesystem::path sysRoot_;
    std::filesystem::path devicesRoot_;
    // The listed folders, resolved once: sysfs never moves them.
    std::filesystem::path blockClass_;
    std::filesystem::path usbDevices_;
};

} // namespace sys
