#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/foundation/TextFile.h"
#include "platform/system/DrmFdinfo.h"
#include "platform/system/NvidiaManagement.h"
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
// type of what they find: a driver may publish any of them.
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

class DrmClients;

// The busiest engine's share of the interval between two reads of one device's clients, in
// percent (0…100): engine nanoseconds over the interval times the engine count, or (xe) engine
// cycles over the engine clock's cycles. Only clients present in both reads count; empty for an
// interval that is not positive.
std::optional<double> engineTimeLoad(const std::vector<DrmClientUsage>& before,
                                     const std::vector<DrmClientUsage>& after, double seconds);

// The live registry over /sys/class/drm: one entry per card<N> (connectors are not cards) that
// has a source of load, in card order, found once at construction. A card's
// "PerformanceStatistics" holds as "Device Utilization %":
//   - its gpu_busy_percent (amdgpu);
//   - else for NVIDIA's driver, the management library's utilization (loaded at run time when
//     present);
//   - else for drivers that count engine time per client (i915, xe, msm, panfrost, v3d, …, and
//     amdgpu without the busy file), the busiest engine's share of the time since the last read,
//     from the fdinfo of this user's DRM clients — none at the first read.
// Reading the busy file or asking the NVIDIA library resumes a suspended device: a suspended
// device reads as 0 without being asked, and an awake one is asked only when it stays awake
// anyway (the boot GPU, boot_vga 1, or power/control "on"). An idle discrete GPU polled every
// second would never suspend. fdinfo is the kernel's bookkeeping and is always read. "model" is
// the device's product_name, else the NVIDIA library's name; sysfs has no core count.
class AcceleratorRegistry final : public AcceleratorRegistrySource {
public:
    // `clock` times the engine-time intervals and must outlive the registry.
    explicit AcceleratorRegistry(const SystemRoots& roots,
                                 const dispatch::Clock& clock = dispatch::uptimeClock(),
                                 std::unique_ptr<NvidiaManagementSource> nvidia = nullptr);
    ~AcceleratorRegistry() override;

    std::optional<std::vector<AcceleratorEntry>> accelerators() override;

private:
    struct Card;
    std::optional<double> utilization(Card& card, const std::vector<DrmClientUsage>& clients,
                                      double now);

    const dispatch::Clock& clock_;
    std::vector<std::unique_ptr<Card>> cards_;
    std::unique_ptr<DrmClients> clients_;
    std::unique_ptr<NvidiaManagementSource> nvidia_;
};

} // namespace sys
