#include "statusbar/StripInputs.h"

namespace pulsedeck {

namespace {

// The download rate's colour in the coloured network style.
constexpr gfx::Color downloadColor = gfx::Color::srgb(0.16, 0.58, 1.0);

} // namespace

StripInputs stripInputs(const StripSettings& settings, const StripReadings& readings,
                        const StripEnvironment& environment) {
    const auto shows = [&settings](ModuleKind kind) { return settings.shows(kind); };
    const ModuleLook& modules = settings.look.modules;
    const auto colorOf = [&](ColorSlot slot) {
        return toColor(modules.colors.color(slot, settings.normalBlue));
    };
    const bool dark = appearsDark(settings.look.appearance, environment.systemDark);
    const ModuleStyles& styles = modules.styles;
    const std::set<ModuleKind> shown = settings.shown();

    StripInputs inputs;
    inputs.presentationHeight = environment.height;
    inputs.edgePadding = environment.edgePadding;
    inputs.dark = dark;
    inputs.animationsEnabled = !environment.reduceMotion;
    inputs.reduceMotion = environment.reduceMotion;
    inputs.order = modules.order;
    inputs.editable = shown;
    inputs.chartLength = modules.chartLength;
    inputs.gap = modules.gap;
    inputs.language = environment.language;

    if (shows(ModuleKind::memory))
        inputs.memory = MemoryStatusContent{.dark = dark,
                                            .showChart = styles.memoryShowChart,
                                            .history = readings.memoryHistory,
                                            .capacity = environment.historyCapacity,
                                            .blue = settings.normalBlue,
                                            .tint = colorOf(ColorSlot::memory),
                                            .snapshot = readings.memory,
                                            .mode = styles.memoryMode,
                                            .language = environment.language,
                                            .chartLength = modules.chartLength};
    if (shows(ModuleKind::network))
        inputs.network = NetworkStatusContent{
            .dark = dark,
            .showsGraph = styles.networkShowChart,
            .history = readings.networkHistory,
            .colors = NetworkColors{settings.normalBlue, styles.networkColored, downloadColor,
                                    gfx::Color::systemRed(), colorOf(ColorSlot::network)},
            .download = readings.network.download,
            .upload = readings.network.upload,
            .chartLength = modules.chartLength};
    if (shows(ModuleKind::temperature))
        inputs.temperature = StripInputs::Temperature{
            readings.temperature,
            {readings.temperatureHistory.begin(), readings.temperatureHistory.end()},
            styles.temperatureMode,
            colorOf(ColorSlot::temperature)};
    if (shows(ModuleKind::compute)) {
        // The GPU takes only its own colour: no theme or default stands in for it.
        const auto gpu = modules.colors.explicitColor(ColorSlot::gpu);
        inputs.compute = MenuBarContentView::ComputeInputs{
            .snapshot = readings.compute,
            .history = {readings.computeHistory.begin(), readings.computeHistory.end()},
            .dark = dark,
            .colors = {colorOf(ColorSlot::cpu), gpu ? std::optional(toColor(*gpu)) : std::nullopt,
                       settings.normalBlue},
            .chartLength = modules.chartLength};
    }
    inputs.computeMode = styles.computeMode;
    if (shows(ModuleKind::devices))
        inputs.devices = readings.devices;
    inputs.devicesTint = colorOf(ColorSlot::devices);

    const bool fanShown = shows(ModuleKind::fan);
    if (fanShown)
        inputs.fanMode =
            styles.fanMode == FanDisplayMode::graph ? FanDisplayMode::graph : FanDisplayMode::ring;
    inputs.fan = {.snapshot = fanShown ? readings.fan : FanSnapshot{},
                  .history = fanShown ? std::vector<std::optional<double>>(
                                            readings.fanHistory.begin(), readings.fanHistory.end())
                                      : std::vector<std::optional<double>>{},
                  .color = modules.colors.color(ColorSlot::fan, settings.normalBlue),
                  .animation = styles.fanAnimation,
                  .language = environment.language,
                  .historyCapacity = environment.historyCapacity};

    inputs.appMark = shown.empty() || (shown == std::set<ModuleKind>{ModuleKind::devices} &&
                                       readings.devices.empty());
    return inputs;
}

} // namespace pulsedeck
