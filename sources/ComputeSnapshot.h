#pragma once

#include <optional>
#include <string>

namespace pulsedeck {

// One compute sample; also one element of the compute history.
struct ComputeSnapshot {
    // Processor busy percent (0…100) since the previous sample; empty without a usable one.
    std::optional<double> cpu;
    // Utilisation percent (0…100) of the busiest graphics accelerator; empty when none reports.
    std::optional<double> gpu;
    // The processor count; filled on every sample, also when the module is off.
    int cpuCores = 0;
    // The chosen accelerator's core count and model, from the same accelerator as `gpu`.
    std::optional<int> gpuCores;
    std::optional<std::string> gpuModel;

    bool operator==(const ComputeSnapshot&) const = default;
};

// No load figures; the processor count of this machine.
ComputeSnapshot computePlaceholder();

} // namespace pulsedeck
