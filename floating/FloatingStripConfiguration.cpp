#include "floating/FloatingStripConfiguration.h"

#include "model/ModuleColors.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/NetworkStatusImage.h"

#include <set>

namespace pulsedeck {

namespace {

constexpr double floatingEdgePadding = 2.5;
constexpr double extraHeight = 5;
constexpr int historyCapacity = 60;
// The download rate's colour in the coloured network style.
constexpr gfx::Color downloadColor = gfx::Color::srgb(0.16, 0.58, 1.0);

bool reduceMotion() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

} // namespace

void configureFloating(MenuBarContentView& view, const FloatingPreferences& preferences,
                       const FloatingReadings& readings, const FloatingStripContext& context) {
    const bool dark = appearsDark(preferences.appearance, context.systemDark);
    const bool blueTheme = context.theme == PaletteColor::blue;
    // The bar has no theme colour of its own: the main theme stands in for every slot without
    // a colour, and green for none at all.
    ModuleColors colors = preferences.colors;
    colors.values.insert_or_assign(std::string(toString(ColorSlot::theme)),
                                   rawValue(context.theme));
    const auto colorOf = [&colors](ColorSlot slot) { return toColor(colors.color(slot, false)); };
    std::set<ModuleKind> visible;
    for (ModuleKind kind : allModuleKinds)
        if (!preferences.hidden.contains(kind))
            visible.insert(kind);
    const auto shows = [&visible](ModuleKind kind) { return visible.contains(kind); };

    view.setEdgePadding(floatingEdgePadding);
    view.setPresentationHeight(context.height + extraHeight);
    view.setStripOpacity(preferences.opacity);
    view.setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
    view.setOrder(preferences.order);
    view.setEditableModules(visible);
    view.setAnimationsEnabled(context.animated);
    view.setChartLength(preferences.chartLength);
    view.setFanGap(preferences.gap);

    std::optional<gfx::Image> memoryPicture;
    if (shows(ModuleKind::memory)) {
        MemoryStatusContent content;
        content.dark = dark;
        content.showChart = preferences.memoryShowChart;
        content.history = readings.memoryHistory;
        content.capacity = historyCapacity;
        content.blue = blueTheme;
        content.tint = colorOf(ColorSlot::memory);
        content.snapshot = readings.memory;
        content.mode = preferences.displayMode;
        content.language = context.language;
        content.chartLength = preferences.chartLength;
        memoryPicture = memoryStatusImage(content);
    }

    if (shows(ModuleKind::network)) {
        NetworkStatusContent content;
        content.dark = dark;
        content.showsGraph = preferences.networkShowChart;
        content.history = readings.networkHistory;
        content.colors = NetworkColors{blueTheme, preferences.networkColored, downloadColor,
                                       gfx::Color::systemRed(), colorOf(ColorSlot::network)};
        content.download = readings.network.download;
        content.upload = readings.network.upload;
        content.chartLength = preferences.chartLength;
        view.setModuleImage(ModuleKind::network, networkStatusImage(content));
    } else {
        view.setModuleImage(ModuleKind::network, std::nullopt);
    }

    view.updateTemperature(
        shows(ModuleKind::temperature) ? std::optional(readings.temperature) : std::nullopt,
        readings.temperatureHistory, preferences.temperatureMode, dark, context.language,
        colorOf(ColorSlot::temperature), preferences.chartLength);

    if (shows(ModuleKind::compute)) {
        // The GPU takes only its own colour: no theme stands in for it.
        const auto gpu = colors.explicitColor(ColorSlot::gpu);
        view.showCompute({.snapshot = readings.compute,
                          .history = readings.computeHistory,
                          .dark = dark,
                          .colors = {colorOf(ColorSlot::cpu),
                                     gpu ? std::optional(toColor(*gpu)) : std::nullopt, blueTheme},
                          .chartLength = preferences.chartLength},
                         preferences.computeMode, reduceMotion());
    } else {
        view.hideCompute();
    }

    view.updateDevices(shows(ModuleKind::devices) ? std::optional(readings.devices) : std::nullopt,
                       dark, colorOf(ColorSlot::devices));

    const bool fanShown = shows(ModuleKind::fan);
    FanDisplayMode fanMode = FanDisplayMode::hidden;
    if (fanShown)
        fanMode = preferences.fanMode == FanDisplayMode::graph ? FanDisplayMode::graph
                                                               : FanDisplayMode::ring;
    view.setFanMode(fanMode);
    view.setFanInputs(
        {.snapshot = fanShown ? readings.fan : FanSnapshot{},
         .history = fanShown ? readings.fanHistory : std::vector<std::optional<double>>{},
         .color = colors.color(ColorSlot::fan, false),
         .animation = preferences.fanAnimation,
         .language = context.language,
         .historyCapacity = historyCapacity});

    const bool appMark = visible.empty() || (visible == std::set<ModuleKind>{ModuleKind::devices} &&
                                             readings.devices.empty());
    view.setDisplaysAppMark(appMark);
    if (appMark)
        memoryPicture = appMarkImage(dark);
    view.setModuleImage(ModuleKind::memory, std::move(memoryPicture));

    view.renderFanImage();
    // The strip's shown rects follow the new layout, as after a status rebuild.
    view.updateDisplayedRects();
    view.setNeedsDisplay(true);
}

} // namespace pulsedeck
