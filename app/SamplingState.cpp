#include "app/SamplingState.h"

#include "sources/FanReading.h"

namespace pulsedeck {

namespace {

template <typename T> void keepLast(std::vector<T>& entries, std::size_t count) {
    if (entries.size() > count)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(count));
}

} // namespace

bool SamplingState::apply(const SampleResult& sample, const SampleFlags& activeNow, double now) {
    const auto& flags = sample.flags;
    const SampleFlags stored{
        .memory = flags.memory && activeNow.memory,
        .fan = flags.fan && activeNow.fan,
        .network = flags.network && activeNow.network,
        .temperature = flags.temperature && activeNow.temperature,
        .compute = flags.compute && activeNow.compute,
        .devices = flags.devices && activeNow.devices,
    };
    if (stored.memory)
        latest = sample.memory;
    if (stored.fan)
        fanSnapshot = sample.fan;
    if (stored.network)
        networkSnapshot = sample.network;
    if (stored.temperature)
        temperatureSnapshot = sample.temperature;
    if (stored.compute)
        computeSnapshot = sample.compute;
    if (stored.devices)
        devicesSnapshot = sample.devices;

    if (stored.fan && sample.fan.detectedCount == 0)
        fanAvailable = false;

    if (!history.empty() && now - lastHistoryDate < historyInterval)
        return false;

    fanHistory.push_back(stored.fan ? fanLoadFraction(sample.fan.fans) : std::nullopt);
    keepLast(fanHistory, historyCapacity);
    if (stored.memory)
        history.push_back(PressurePoint{sample.memory.height, sample.memory.pressure});
    if (stored.network)
        networkHistory.push_back(sample.network);
    if (stored.temperature)
        temperatureHistory.push_back(sample.temperature.celsius);
    if (stored.compute)
        computeHistory.push_back(sample.compute);
    keepLast(computeHistory, historyCapacity);
    keepLast(networkHistory, historyCapacity);
    keepLast(temperatureHistory, historyCapacity);
    keepLast(history, historyCapacity);
    lastHistoryDate = now;
    return true;
}

StripReadings SamplingState::stripReadings() const {
    return {.memory = latest,
            .memoryHistory = history,
            .fan = fanSnapshot,
            .fanHistory = fanHistory,
            .network = networkSnapshot,
            .networkHistory = networkHistory,
            .temperature = temperatureSnapshot,
            .temperatureHistory = temperatureHistory,
            .compute = computeSnapshot,
            .computeHistory = computeHistory,
            .devices = devicesSnapshot.devices};
}

void SamplingState::clearHistory(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        history.clear();
        break;
    case ModuleKind::fan:
        fanHistory.clear();
        break;
    case ModuleKind::network:
        networkHistory.clear();
        networkSnapshot = NetworkSnapshot{};
        break;
    case ModuleKind::temperature:
        temperatureHistory.clear();
        break;
    case ModuleKind::compute:
        computeHistory.clear();
        break;
    case ModuleKind::devices:
        break;
    }
}

} // namespace pulsedeck
