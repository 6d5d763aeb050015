#include "platform/system/DeviceRegistry.h"

#include "platform/foundation/TextFile.h"
#include "platform/system/DeviceAttributes.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <memory>
#include <system_error>
#include <unistd.h>

namespace sys {

namespace fs = std::filesystem;

namespace {

constexpr int descendantDepthLimit = 16;
constexpr std::size_t descendantCountLimit = 4096;
constexpr std::int64_t sectorBytes = 512;

template <typename T>
std::optional<T> propertyAs(const DeviceProperties& properties, std::string_view key) {
    const auto found = properties.find(key);
    if (found == properties.end()) {
        return std::nullopt;
    }
    if (const T* value = std::get_if<T>(&found->second)) {
        return *value;
    }
    return std::nullopt;
}

bool isUnder(const fs::path& path, const fs::path& folder) {
    const auto [folderEnd, pathAt] =
        std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return folderEnd == folder.end();
}

// The target of a symbolic link, by one readlink; empty when the path is no link or cannot be
// read (std::filesystem looks at the file's status first, which doubles the path walks).
std::optional<fs::path> linkTarget(const fs::path& link) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof target) {
        return std::nullopt;
    }
    return fs::path(std::string_view(target, static_cast<std::size_t>(length)));
}

fs::path canonicalOrSame(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    return error ? path : resolved;
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// A folder's children by name, each with the target of its link when it is one. One readlinkat
// beside the open folder per link: no walk from the root for every child.
std::vector<std::pair<std::string, std::optional<fs::path>>>
linkedChildren(const fs::path& folder) {
    std::vector<std::pair<std::string, std::optional<fs::path>>> children;
    const std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.c_str()));
    if (!directory) {
        return children;
    }
    while (const dirent* child = ::readdir(directory.get())) {
        const std::string_view name = child->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        std::optional<fs::path> target;
        if (child->d_type == DT_LNK || child->d_type == DT_UNKNOWN) {
            char text[PATH_MAX];
            const ssize_t length =
                ::readlinkat(::dirfd(directory.get()), child->d_name, text, sizeof text);
            if (length > 0 && static_cast<std::size_t>(length) < sizeof text) {
                target = fs::path(std::string_view(text, static_cast<std::size_t>(length)));
            }
        }
        children.emplace_back(std::string(name), std::move(target));
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return children;
}

// Where a USB device meets the machine, as the firmware describes the ports on the way.
enum class Attachment { unknown, pluggable, inside };

// USB devices are named "<bus>-<port>[.<port>…]"; root hubs "usb<bus>".
bool isUSBDeviceName(std::string_view name) {
    const std::size_t dash = name.find('-');
    return dash != std::string_view::npos && dash > 0 && name.find(':') == std::string_view::npos &&
           std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; });
}

// The nearest port from the device up to the root hub whose connect type is known decides: a
// hot-plug port takes plugged-in things (a dock, and everything inside the dock), a hard-wired
// port or one the firmware calls unused has something wired inside the case (a camera, a radio,
// the board's own hub and all behind it). Hubs nest at most seven tiers.
Attachment portAttachment(fs::path device) {
    constexpr int hubTierLimit = 7;
    for (int tier = 0; tier < hubTierLimit && isUSBDeviceName(device.filename().string()); ++tier) {
        const std::optional<std::string> type = deviceAttribute(device / "port" / "connect_type");
        if (type == "hotplug") {
            return Attachment::pluggable;
        }
        if (type == "hardwired" || type == "not used") {
            return Attachment::inside;
        }
        device = device.parent_path();
    }
    return Attachment::unknown;
}

// A Bluetooth radio (class e0, by the device or its first interface). Where the firmware tells
// nothing of its port, it is the one on the laptop's Wi-Fi card far more often than a dongle.
bool isWirelessController(const fs::path& device) {
    constexpr std::int64_t wirelessControllerClass = 0xe0;
    if (deviceHex(device / "bDeviceClass") == wirelessControllerClass) {
        return true;
    }
    const fs::path firstInterface = device / (device.filename().string() + ":1.0");
    return deviceHex(firstInterface / "bInterfaceClass") == wirelessControllerClass;
}

void addUSBDeviceProperties(const fs::path& path, DeviceProperties& properties) {
    if (auto product = deviceAttribute(path / "product")) {
        properties.emplace("USB Product Name", std::move(*product));
    }
    if (auto vendor = deviceAttribute(path / "manufacturer")) {
        properties.emplace("USB Vendor Name", std::move(*vendor));
    }
    // The kernel states the link speed in megabits per second ("1.5", "480", "5000").
    if (auto megabits = deviceDecimal(path / "speed"); megabits && *megabits > 0) {
        properties.emplace("UsbLinkSpeed", *megabits * 1e6);
    }
    if (auto deviceClass = deviceHex(path / "bDeviceClass")) {
        properties.emplace("bDeviceClass", *deviceClass);
    }
    const Attachment attachment = portAttachment(path);
    if (attachment != Attachment::unknown) {
        properties.emplace("USBPortType", std::int64_t{attachment == Attachment::inside ? 2 : 0});
    }
    const std::optional<std::string> removable = deviceAttribute(path / "removable");
    if (attachment == Attachment::pluggable || removable == "removable") {
        properties.emplace("Built-In", false);
    } else if (removable == "fixed" || isWirelessController(path)) {
        properties.emplace("Built-In", true);
    }
}
} // namespace

std::optional<double> numberProperty(const DeviceProperties& properties, std::string_view key) {
    const auto found = properties.find(key);
    if (found == properties.end()) {
        return std::nullopt;
    }
    const DeviceValue& value = found->second;
    if (const bool* flag = std::get_if<bool>(&value)) {
        return *flag ? 1.0 : 0.0;
    }
    if (const std::int64_t* integer = std::get_if<std::int64_t>(&value)) {
        return static_cast<double>(*integer);
    }
    if (const double* real = std::get_if<double>(&value)) {
        return *real;
    }
    return std::nullopt;
}

std::optional<std::int64_t> integerProperty(const DeviceProperties& properties,
                                            std::string_view key) {
    const auto found = properties.find(key);
    if (found == properties.end()) {
        return std::nullopt;
    }
    const DeviceValue& value = found->second;
    if (const bool* flag = std::get_if<bool>(&value)) {
        return *flag ? 1 : 0;
    }
    if (const std::int64_t* integer = std::get_if<std::int64_t>(&value)) {
        return *integer;
    }
    if (const double* real = std::get_if<double>(&value)) {
        // Out of range or not a number has no integer value.
        if (*real >= -9.2e18 && *real <= 9.2e18) {
            return static_cast<std::int64_t>(*real);
        }
    }
    return std::nullopt;
}

std::optional<std::string> stringProperty(const DeviceProperties& properties,
                                          std::string_view key) {
    return propertyAs<std::string>(properties, key);
}

std::optional<DeviceData> dataProperty(const DeviceProperties& properties, std::string_view key) {
    return propertyAs<DeviceData>(properties, key);
}

std::uint64_t stableHash(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

DeviceRegistry::DeviceRegistry(SystemRoots roots)
    : roots_(std::move(roots)), sysRoot_(canonicalOrSame(roots_.sys)),
      devicesRoot_(sysRoot_ / "devices"), blockClass_(canonicalOrSame(roots_.sys / "class/block")),
      usbDevices_(canonicalOrSame(roots_.sys / "bus/usb/devices")) {}

RegistryEntry DeviceRegistry::entryFor(const fs::path& resolvedFolder) const {
    RegistryEntry entry;
    entry.path = resolvedFolder;
    entry.name = resolvedFolder.filename().string();
    entry.id = stableHash(resolvedFolder.lexically_relative(sysRoot_).generic_string());
    return entry;
}

std::optional<RegistryEntry> DeviceRegistry::entryAt(const fs::path& path) const {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    if (error || resolved == devicesRoot_ || !isUnder(resolved, devicesRoot_) ||
        !fs::exists(resolved / "uevent", error)) {
        return std::nullopt;
    }
    return entryFor(resolved);
}

std::optional<RegistryEntry> DeviceRegistry::entryAtFolder(const fs::path& folder) const {
    std::error_code error;
    if (folder == devicesRoot_ || !isUnder(folder, devicesRoot_) ||
        !fs::exists(folder / "uevent", error)) {
        return std::nullopt;
    }
    return entryFor(folder);
}

std::vector<fs::path> DeviceRegistry::linkedFolders(const fs::path& folder,
                                                    const fs::path& resolvedFolder) const {
    std::vector<fs::path> folders;
    for (auto& [name, target] : linkedChildren(folder)) {
        // Not a link (or gone meanwhile): the child is its own folder, and the entry check
        // decides.
        fs::path resolved =
            target ? (resolvedFolder / *target).lexically_normal() : resolvedFolder / name;
        if (!resolved.has_filename()) {
            resolved = resolved.parent_path();
        }
        folders.push_back(std::move(resolved));
    }
    return folders;
}

std::vector<RegistryEntry> DeviceRegistry::entriesIn(const fs::path& folder,
                                                     const fs::path& resolvedFolder) const {
    std::vector<RegistryEntry> entries;
    for (const fs::path& resolved : linkedFolders(folder, resolvedFolder)) {
        if (auto entry = entryAtFolder(resolved)) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::vector<fs::path> DeviceRegistry::mediaFolders() const {
    return linkedFolders(roots_.sys / "class/block", blockClass_);
}

bool DeviceRegistry::isVirtualFolder(const fs::path& folder) const {
    const fs::path relative = folder.lexically_relative(devicesRoot_);
    return relative.begin() != relative.end() && *relative.begin() == "virtual";
}

bool DeviceRegistry::isPartition(const RegistryEntry& media) const {
    std::error_code error;
    return fs::exists(media.path / "partition", error);
}

std::optional<std::int64_t> DeviceRegistry::mediaSize(const RegistryEntry& media) const {
    const auto sectors = deviceInteger(media.path / "size");
    if (!sectors || *sectors < 0 || *sectors > INT64_MAX / sectorBytes) {
        return std::nullopt;
    }
    return *sectors * sectorBytes;
}

std::vector<RegistryEntry> DeviceRegistry::usbDevices() const {
    std::vector<RegistryEntry> devices;
    for (RegistryEntry& entry : entriesIn(roots_.sys / "bus/usb/devices", usbDevices_)) {
        // Interfaces are named "<device>:<config>.<interface>"; root hubs "usb<bus>".
        if (entry.name.find(':') != std::string::npos || entry.name.starts_with("usb")) {
            continue;
        }
        devices.push_back(std::move(entry));
    }
    return devices;
}

std::vector<RegistryEntry> DeviceRegistry::media() const {
    return entriesIn(roots_.sys / "class/block", blockClass_);
}

std::optional<RegistryEntry> DeviceRegistry::mediaNamed(std::string_view deviceName) const {
    if (deviceName.empty()) {
        return std::nullopt;
    }
    // Device-mapper nodes such as /dev/mapper/vault are links to the kernel's name (dm-0).
    fs::path kernelName = fs::path(deviceName).filename();
    std::error_code error;
    const fs::path node = roots_.dev / fs::path(deviceName);
    if (fs::is_symlink(node, error)) {
        kernelName = fs::read_symlink(node, error).filename();
        if (error) {
            return std::nullopt;
        }
    }
    if (kernelName.empty() || kernelName == "." || kernelName == "..") {
        return std::nullopt;
    }
    return entryAt(roots_.sys / "class/block" / kernelName);
}

std::vector<RegistryEntry> DeviceRegistry::underlyingMedia(const RegistryEntry& media) const {
    constexpr std::size_t underlyingLimit = 64;
    std::vector<RegistryEntry> found;
    std::vector<fs::path> seen{media.path};
    for (std::size_t next = 0; next <= found.size() && found.size() < underlyingLimit; ++next) {
        const fs::path holder = next == 0 ? media.path : found[next - 1].path;
        for (RegistryEntry& lower : entriesIn(holder / "slaves", holder / "slaves")) {
            if (std::find(seen.begin(), seen.end(), lower.path) != seen.end()) {
                continue;
            }
            seen.push_back(lower.path);
            found.push_back(std::move(lower));
        }
    }
    return found;
}

DeviceProperties DeviceRegistry::properties(const RegistryEntry& entry) const {
    return properties(entry, subsystem(entry));
}

DeviceProperties DeviceRegistry::properties(const RegistryEntry& entry,
                                            std::string_view kind) const {
    DeviceProperties properties;
    if (kind == "usb") {
        const std::string type = deviceType(entry);
        if (type == "usb_device") {
            addUSBDeviceProperties(entry.path, properties);
        } else if (type == "usb_interface") {
            if (auto interfaceClass = deviceHex(entry.path / "bInterfaceClass")) {
                properties.emplace("bInterfaceClass", *interfaceClass);
            }
        }
    } else if (kind == "block") {
        properties.emplace("Whole", !isPartition(entry));
        properties.emplace("BSD Name", entry.name);
        if (auto size = mediaSize(entry)) {
            properties.emplace("Size", *size);
        }
    }
    return properties;
}

std::optional<RegistryEntry> DeviceRegistry::parent(const RegistryEntry& entry) const {
    std::error_code error;
    for (fs::path folder = entry.path.parent_path();
         folder != devicesRoot_ && isUnder(folder, devicesRoot_); folder = folder.parent_path()) {
        if (fs::exists(folder / "uevent", error)) {
            return entryFor(folder);
        }
        if (folder == folder.parent_path()) {
            break;
        }
    }
    return std::nullopt;
}

std::vector<RegistryEntry> DeviceRegistry::ancestors(const RegistryEntry& entry,
                                                     std::size_t limit) const {
    std::vector<RegistryEntry> chain;
    std::optional<RegistryEntry> current = parent(entry);
    while (current && chain.size() < limit) {
        std::optional<RegistryEntry> next = parent(*current);
        chain.push_back(std::move(*current));
        current = std::move(next);
    }
    return chain;
}

std::vector<RegistryEntry> DeviceRegistry::descendants(const RegistryEntry& entry,
                                                       std::string_view withinSubsystem) const {
    std::vector<RegistryEntry> found;
    std::error_code walkError;
    fs::recursive_directory_iterator it(entry.path, walkError);
    for (const fs::recursive_directory_iterator end; !walkError && it != end;
         it.increment(walkError)) {
        std::error_code error;
        if (it->is_symlink(error) || !it->is_directory(error)) {
            continue;
        }
        if (it.depth() >= descendantDepthLimit) {
            it.disable_recursion_pending();
        }
        if (!fs::exists(it->path() / "uevent", error)) {
            continue;
        }
        RegistryEntry child = entryFor(it->path());
        if (!withinSubsystem.empty() && subsystem(child) != withinSubsystem) {
            it.disable_recursion_pending();
            continue;
        }
        found.push_back(std::move(child));
        if (found.size() >= descendantCountLimit) {
            break;
        }
    }
    return found;
}

std::string DeviceRegistry::subsystem(const RegistryEntry& entry) const {
    const auto target = linkTarget(entry.path / "subsystem");
    return target ? target->filename().string() : std::string();
}

std::string DeviceRegistry::deviceType(const RegistryEntry& entry) const {
    return ueventValue(entry.path / "uevent", "DEVTYPE").value_or(std::string());
}

} // namespace sys
