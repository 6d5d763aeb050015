#include "statusbar/StripInputs.h"

namespace pulsedeck {

namespace {

// The download rate's colour in the coloured network style.
constexpr gfx::Color downloadColor = gfx::Color::srgb(0.16, 0.58, 1.0);

} // namespace

StripInputs stripInputs(const StripSettings& settings, const StripReadings& readings,
                        const StripEnvironment& environment) {
    const auto shows = [&settings](ModuleKind kind) { return settings.shown.contains(kind); };
    const auto colorOf = [&settings](ColorSlot slot) {
        return toColor(settings.colors.color(slot, settings.normalBlue));
    };
    const bool dark = appearsDark(settings.appearance, environment.systemDark);
    const ModuleStyles& styles = settings.styles;

    StripInputs inputs;
    inputs.presentationHeight = environment.height;
    inputs.edgePadding = environment.edgePadding;
    inputs.dark = dark;
    inputs.animationsEnabled = !environment.reduceMotion;
    inputs.reduceMotion = environment.reduceMotion;
    inputs.order = settings.order;
    inputs.editable = settings.shown;
    inputs.chartLength = settings.chartLength;
    inputs.gap = settings.gap;
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
                                            .chartLength = settings.chartLength};
    if (shows(ModuleKind::network))
        inputs.network = NetworkStatusContent{
            .dark = dark,
            .showsGraph = styles.networkShowChart,
            .history = readings.networkHistory,
            .colors = NetworkColors{settings.normalBlue, styles.networkColored, downloadColor,
                                    gfx::Color::systemRed(), colorOf(ColorSlot::network)},
            .download = readings.network.download,
            .upload = readings.network.upload,
            .chartLength = settings.chartLength};
    if (shows(ModuleKind::temperature))
        inputs.temperature = StripInputs::Temperature{
            readings.temperature,
            {readings.temperatureHistory.begin(), readings.temperatureHistory.end()},
            styles.temperatureMode,
            colorOf(ColorSlot::temperature)};
    if (shows(ModuleKind::compute)) {
        // The GPU takes only its own colour: no theme or default stands in for it.
        const auto gpu = settings.colors.explicitColor(ColorSlot::gpu);
        inputs.compute = MenuBarContentView::ComputeInputs{
            .snapshot = readings.compute,
            .history = {readings.computeHistory.begin(), readings.computeHistory.end()},
            .dark = dark,
            .colors = {colorOf(ColorSlot::cpu), gpu ? std::optional(toColor(*gpu)) : std::nullopt,
                       settings.normalBlue},
            .chartLength = settings.chartLength};
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
                  .color = settings.colors.color(ColorSlot::fan, settings.normalBlue),
                  .animation = styles.fanAnimation,
                  .language = environment.language,
                  .historyCapacity = environment.historyCapacity};

    inputs.appMark =
        settings.shown.empty() ||
        (settings.shown == std::set<ModuleKind>{ModuleKind::devices} && readings.devices.empty());
    return inputs;
}

} // namespace pulsedeck
