#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// What one open DRM file says of its client in /proc/<pid>/fdinfo/<fd>: the kernel's
// engine-time counters, which drivers without a busy-percent file (i915, xe, msm, panfrost,
// v3d, …) publish for every client. All counters only grow while the client lives.
struct DrmClientUsage {
    std::string driver; // drm-driver
    std::string pdev;   // drm-pdev, the PCI address "0000:00:02.0"; empty on platform devices
    std::string clientID;
    // drm-engine-<engine>: nanoseconds the engine spent on this client's work.
    std::map<std::string, std::uint64_t, std::less<>> engineNanoseconds;
    // drm-engine-capacity-<engine>: how many engines of the class share that time (1 if absent).
    std::map<std::string, std::uint64_t, std::less<>> engineCapacity;
    // xe: drm-cycles-<engine> against drm-total-cycles-<engine>, the engine's own clock.
    std::map<std::string, std::uint64_t, std::less<>> engineCycles;
    std::map<std::string, std::uint64_t, std::less<>> engineTotalCycles;

    bool operator==(const DrmClientUsage&) const = default;
};

// The usage in one fdinfo text; empty unless it names a driver and a client id (any other open
// file, or a driver that keeps no client statistics). Lines it does not know, values that are
// not whole numbers and repeated keys past the first are passed over.
std::optional<DrmClientUsage> parseDrmFdinfo(std::string_view text);

} // namespace sys
