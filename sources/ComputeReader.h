#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/system/AcceleratorRegistry.h"
#include "platform/system/ProcessorTicks.h"
#include "platform/system/SystemRoots.h"
#include "sources/ComputeSnapshot.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// The processor counters of the previous sample; `previous` and `timestamp` are always set and
// cleared together.
struct CPUUsageState {
    std::optional<sys::ProcessorLoadTicks> previous;
    // Uptime in seconds at which `previous` was taken.
    std::optional<double> timestamp;

    // The busy percent since the previous counters, then these counters become the previous
    // ones. Missing counters clear the state. No percent on the first counters, for an interval
    // that is not positive or longer than 5 s, or for a tick total of 0 or above 99,999,999.
    // Deltas are taken modulo 2^32, so a counter that wrapped still counts forward; nice counts
    // as busy.
    std::optional<double> update(const std::optional<sys::ProcessorLoadTicks>& ticks, double now);
};

// The figures of the busiest graphics accelerator.
struct AcceleratorChoice {
    std::optional<double> gpu;
    std::optional<int> gpuCores;
    std::optional<std::string> gpuModel;

    bool operator==(const AcceleratorChoice&) const = default;
};

// Picks the accelerator with the highest usable utilisation ("Device Utilization %", else
// "GPU Activity(%)"; a finite number in 0…100); the first wins a tie, and its core count and model
// come with it.
AcceleratorChoice chooseAccelerator(const std::vector<sys::AcceleratorEntry>& accelerators);

// Processor load, processor count and graphics utilisation once per sample. Runs on the sampling
// queue only, one sample at a time; keeps its previous counters to itself.
class ComputeReader {
public:
    explicit ComputeReader(const sys::SystemRoots& roots = sys::SystemRoots::live(),
                           const dispatch::Clock& clock = dispatch::uptimeClock());
    ComputeReader(std::unique_ptr<sys::ProcessorTicksSource> processor,
                  std::unique_ptr<sys::AcceleratorRegistrySource> accelerators,
                  const dispatch::Clock& clock);

    // A disabled call clears the previous counters and reports only the processor count.
    ComputeSnapshot sample(bool enabled);

private:
    std::unique_ptr<sys::ProcessorTicksSource> processor_;
    std::unique_ptr<sys::AcceleratorRegistrySource> accelerators_;
    const dispatch::Clock& clock_;
    CPUUsageState cpuState_;
};

} // namespace pulsedeck
