#pragma once

#include "platform/foundation/TextFile.h"
#include "platform/system/SystemRoots.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sys {

// A registry property: a number, a text, or a dictionary of numbers and texts. Callers check the
// type of what they find, as they would with the platform's registry.
using RegistryScalar = std::variant<double, std::string>;
using RegistryDictionary = std::map<std::string, RegistryScalar, std::less<>>;
using RegistryValue = std::variant<double, std::string, RegistryDictionary>;

inline constexpr std::string_view performanceStatisticsKey = "PerformanceStatistics";
inline constexpr std::string_view deviceUtilizationKey = "Device Utilization %";
inline constexpr std::string_view gpuActivityKey = "GPU Activity(%)";
inline constexpr std::string_view gpuCoreCountKey = "gpu-core-count";
inline constexpr std::string_view modelKey = "model";

// One graphics accelerator and its properties.
struct AcceleratorEntry {
    std::map<std::string, RegistryValue, std::less<>> properties;

    const RegistryValue* property(std::string_view key) const;
};

// Where the compute reader finds the graphics accelerators; tests substitute their own.
class AcceleratorRegistrySource {
public:
    virtual ~AcceleratorRegistrySource() = default;
    // Every accelerator in enumeration order; empty when the enumeration cannot be made. Called
    // from one thread at a time.
    virtual std::optional<std::vector<AcceleratorEntry>> accelerators() = 0;
};

// The live registry over /sys/class/drm: one entry per card<N> (connectors are not cards), in
// card order, found once at construction. A card's "PerformanceStatistics" holds its
// gpu_busy_percent as "Device Utilization %", but only when reading it cannot wake the device:
// its power/runtime_status must be "active", and it must be the boot GPU (boot_vga 1) or have
// power/control "on". An idle discrete GPU polled every second would never suspend. "model" is
// the device's product_name where sysfs offers one; sysfs has no core count.
class AcceleratorRegistry final : public AcceleratorRegistrySource {
public:
    explicit AcceleratorRegistry(const SystemRoots& roots);
    ~AcceleratorRegistry() override;

    std::optional<std::vector<AcceleratorEntry>> accelerators() override;

private:
    struct Card;
    std::vector<std::unique_ptr<Card>> cards_;
};

} // namespace sys
