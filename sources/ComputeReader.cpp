#include "sources/ComputeReader.h"

#include <cmath>
#include <limits>

namespace pulsedeck {

namespace {

constexpr double maximumInterval = 5.0;
constexpr std::uint64_t maximumTickTotal = 99'999'999;

const double* numberValue(const sys::RegistryScalar& value) {
    return std::get_if<double>(&value);
}

// A registry number as an integer: truncated toward zero.
std::optional<int> integerValue(const sys::RegistryValue& value) {
    const double* number = std::get_if<double>(&value);
    if (!number || !std::isfinite(*number))
        return std::nullopt;
    double whole = std::trunc(*number);
    if (whole < std::numeric_limits<int>::min() || whole > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(whole);
}

// The utilisation an accelerator reports, when it reports a usable one.
std::optional<double> utilization(const sys::AcceleratorEntry& entry) {
    const sys::RegistryValue* statistics = entry.property(sys::performanceStatisticsKey);
    if (!statistics)
        return std::nullopt;
    const auto* dictionary = std::get_if<sys::RegistryDictionary>(statistics);
    if (!dictionary)
        return std::nullopt;
    auto found = dictionary->find(sys::deviceUtilizationKey);
    if (found == dictionary->end())
        found = dictionary->find(sys::gpuActivityKey);
    if (found == dictionary->end())
        return std::nullopt;
    const double* value = numberValue(found->second);
    if (!value || !std::isfinite(*value) || *value < 0 || *value > 100)
        return std::nullopt;
    return *value;
}

} // namespace

std::optional<double> CPUUsageState::update(const std::optional<sys::ProcessorLoadTicks>& ticks,
                                            double now) {
    if (!ticks) {
        previous.reset();
        timestamp.reset();
        return std::nullopt;
    }
    std::optional<sys::ProcessorLoadTicks> before = previous;
    std::optional<double> then = timestamp;
    previous = ticks;
    timestamp = now;
    if (!before || !then)
        return std::nullopt;
    if (!(*then < now && now - *then <= maximumInterval))
        return std::nullopt;

    std::uint64_t total = 0;
    std::uint64_t idle = 0;
    for (std::size_t i = 0; i < ticks->size(); ++i) {
        std::uint64_t delta = static_cast<std::uint32_t>((*ticks)[i] - (*before)[i]);
        total += delta;
        if (i == sys::tickIdle)
            idle = delta;
    }
    if (total == 0 || total > maximumTickTotal)
        return std::nullopt;
    return static_cast<double>(total - idle) / static_cast<double>(total) * 100.0;
}

AcceleratorChoice chooseAccelerator(const std::vector<sys::AcceleratorEntry>& accelerators) {
    AcceleratorChoice choice;
    for (const auto& entry : accelerators) {
        auto value = utilization(entry);
        if (!value || (choice.gpu && !(*value > *choice.gpu)))
            continue;
        choice.gpu = value;
        const sys::RegistryValue* cores = entry.property(sys::gpuCoreCountKey);
        choice.gpuCores = cores ? integerValue(*cores) : std::nullopt;
        const sys::RegistryValue* model = entry.property(sys::modelKey);
        const auto* modelText = model ? std::get_if<std::string>(model) : nullptr;
        choice.gpuModel = modelText ? std::optional<std::string>(*modelText) : std::nullopt;
    }
    return choice;
}

ComputeReader::ComputeReader(const sys::SystemRoots& roots, const dispatch::Clock& clock)
    : ComputeReader(std::make_unique<sys::ProcessorTicks>(roots),
                    std::make_unique<sys::AcceleratorRegistry>(roots, clock), clock) {}

ComputeReader::ComputeReader(std::unique_ptr<sys::ProcessorTicksSource> processor,
                             std::unique_ptr<sys::AcceleratorRegistrySource> accelerators,
                             const dispatch::Clock& clock)
    : processor_(std::move(processor)), accelerators_(std::move(accelerators)), clock_(clock) {}

ComputeSnapshot ComputeReader::sample(bool enabled) {
    ComputeSnapshot snapshot;
    snapshot.cpuCores = processor_->processorCount();
    if (!enabled) {
        cpuState_ = {};
        return snapshot;
    }
    auto ticks = processor_->loadTicks();
    snapshot.cpu = cpuState_.update(ticks, clock_.now());
    if (auto accelerators = accelerators_->accelerators()) {
        AcceleratorChoice choice = chooseAccelerator(*accelerators);
        snapshot.gpu = choice.gpu;
        snapshot.gpuCores = choice.gpuCores;
        snapshot.gpuModel = std::move(choice.gpuModel);
    }
    return snapshot;
}

} // namespace pulsedeck
