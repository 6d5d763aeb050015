#include "sources/ExternalDevicesReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace pulsedeck {

namespace {

constexpr std::string_view apfsContainerType = "EF57347C-0000-11AA-AA11-00306543ECAC";

std::string lowercased(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The order a file browser lists names in: digit runs by their value, everything else
// without regard to case. Names such as "Disk 2" and "disk 02" compare equal.
int naturalCompare(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < a.size() && a[i] == '0') {
                ++i;
            }
            while (j < b.size() && b[j] == '0') {
                ++j;
            }
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && isDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && isDigit(b[endB])) {
                ++endB;
            }
            if (endA - i != endB - j) {
                return endA - i < endB - j ? -1 : 1;
            }
            if (const int digits = a.substr(i, endA - i).compare(b.substr(j, endB - j));
                digits != 0) {
                return digits < 0 ? -1 : 1;
            }
            i = endA;
            j = endB;
            continue;
        }
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[j]));
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

} // namespace

std::string ExternalDevicesReader::normalizedSwitchID(std::string_view identifier) {
    std::string rest = lowercased(identifier);
    if (rest.starts_with("0x")) {
        rest.erase(0, 2);
    }
    if (rest.empty()) {
        return rest;
    }
    std::string_view digits = rest;
    if (digits.front() == '+') {
        digits.remove_prefix(1);
    }
    std::uint64_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return rest;
    }
    char buffer[17];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
    return std::string(buffer, written);
}

void ExternalDevicesReader::mergeThunderbolt(const std::vector<ExternalDevice>& thunderbolt,
                                             std::vector<ExternalDevice>& devices) {
    for (const ExternalDevice& entry : thunderbolt) {
        bool matched = false;
        for (ExternalDevice& device : devices) {
            const bool sameSwitch =
                device.upstreamID && entry.upstreamID && *device.upstreamID == *entry.upstreamID;
            const bool sameDisk = device.id.starts_with("disk:") && device.name == entry.name;
            if (!sameSwitch && !sameDisk) {
                continue;
            }
            matched = true;
            device.connection = entry.connection;
            device.bitsPerSecond = entry.bitsPerSecond;
            device.rateIsMaximum = entry.rateIsMaximum;
            if (entry.kind == ExternalDeviceKind::card) {
                device.kind = ExternalDeviceKind::card;
            }
        }
        if (!matched) {
            devices.push_back(entry);
        }
    }
}

bool ExternalDevicesReader::deviceOrder(const ExternalDevice& a, const ExternalDevice& b) {
    // Names that differ but compare equal in the natural order fall back to their bytes, so the
    // order stays strict and the sort well defined.
    if (const int natural = naturalCompare(a.name, b.name); natural != 0) {
        return natural < 0;
    }
    if (a.name != b.name) {
        return a.name < b.name;
    }
    return a.id < b.id;
}

std::vector<ExternalDevice>
ExternalDevicesReader::deduplicated(const std::vector<ExternalDevice>& devices) {
    std::vector<ExternalDevice> merged;
    std::map<std::string, std::size_t, std::less<>> indexByID;
    for (const ExternalDevice& next : devices) {
        const auto [found, isNew] = indexByID.emplace(next.id, merged.size());
        if (isNew) {
            merged.push_back(next);
            continue;
        }
        ExternalDevice& kept = merged[found->second];
        if (!kept.bitsPerSecond) {
            kept.bitsPerSecond = next.bitsPerSecond;
            kept.rateIsMaximum = next.rateIsMaximum;
        }
        if (next.capacity) {
            kept.capacity = next.capacity;
        }
        if (next.kind != ExternalDeviceKind::usb) {
            kept.kind = next.kind;
        }
        if (next.availableCapacity) {
            kept.availableCapacity = next.availableCapacity;
        }
        if (next.upstreamID) {
            kept.upstreamID = next.upstreamID;
        }
    }
    std::stable_sort(merged.begin(), merged.end(), deviceOrder);
    return merged;
}

std::map<std::string, std::uint64_t>
ExternalDevicesReader::availableSpaceByDevice(const std::vector<ExternalVolumeSpace>& spaces) {
    std::map<std::pair<std::string, std::uint64_t>, std::uint64_t> smallestPerPool;
    for (const ExternalVolumeSpace& space : spaces) {
        const auto [found, isNew] =
            smallestPerPool.emplace(std::pair(space.deviceID, space.poolID), space.available);
        if (!isNew) {
            found->second = std::min(found->second, space.available);
        }
    }
    std::map<std::string, std::uint64_t> total;
    std::set<std::string> overflowed;
    for (const auto& [key, available] : smallestPerPool) {
        const std::string& device = key.first;
        std::uint64_t& sum = total[device];
        if (__builtin_add_overflow(sum, available, &sum)) {
            overflowed.insert(device);
        }
    }
    for (const std::string& device : overflowed) {
        total.erase(device);
    }
    return total;
}

std::uint64_t ExternalDevicesReader::poolID(const std::vector<RegistryAncestor>& chain) {
    for (const auto& [id, properties] : chain) {
        if (sys::stringProperty(properties, "Content") == apfsContainerType) {
            return id;
        }
    }
    return chain.empty() ? 0 : chain.front().first;
}

} // namespace pulsedeck
