#include "app/DetailStateBuilder.h"

namespace pulsedeck {

namespace {

void blankOffModules(DetailReadings& readings, const DetailState& state) {
    const auto off = [&](ModuleKind kind) { return !state.module(kind).on(); };
    if (off(ModuleKind::memory)) {
        readings.memory = memoryPlaceholder();
        readings.memoryHistory.clear();
    }
    if (off(ModuleKind::fan)) {
        readings.fan = {};
        readings.fanHistory.clear();
    }
    if (off(ModuleKind::network)) {
        readings.network = {};
        readings.networkHistory.clear();
    }
    if (off(ModuleKind::temperature)) {
        readings.temperature = {};
        readings.temperatureHistory.clear();
    }
    if (off(ModuleKind::compute)) {
        readings.compute = computePlaceholder();
        readings.computeHistory.clear();
    }
    if (off(ModuleKind::devices))
        readings.devices.clear();
}

} // namespace

DetailState detailState(const StripLook& look, const Preferences& main,
                        const DetailContext& context, DetailReadings readings) {
    DetailState state{.look = look,
                      .fanAvailable = context.fanAvailable,
                      .normalBlue = main.normalBlue,
                      .historyCapacity = context.historyCapacity,
                      .language = context.language,
                      .languageSelection = main.languageSelection,
                      .floatingMode = main.floatingMode,
                      .updateFrequency = context.updateFrequency,
                      .loginStatus = context.loginStatus,
                      .loginFailed = context.loginFailed,
                      .readings = std::move(readings)};
    blankOffModules(state.readings, state);
    return state;
}

DetailReadings detailReadings(const SamplingState& sampling) {
    return {.memory = sampling.latest,
            .memoryHistory = sampling.history,
            .fan = sampling.fanSnapshot,
            .fanHistory = sampling.fanHistory,
            .network = sampling.networkSnapshot,
            .networkHistory = sampling.networkHistory,
            .temperature = sampling.temperatureSnapshot,
            .temperatureHistory = sampling.temperatureHistory,
            .compute = sampling.computeSnapshot,
            .computeHistory = sampling.computeHistory,
            .devices = sampling.devicesSnapshot.devices};
}

} // namespace pulsedeck
