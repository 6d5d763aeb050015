#include "app/AppDelegate.h"
#include "app/StatusToolTip.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/NetworkStatusImage.h"

namespace pulsedeck {

namespace {

// The download rate's colour in the coloured network style.
constexpr gfx::Color downloadColor = gfx::Color::srgb(0.16, 0.58, 1.0);

struct Visibility {
    bool memory, fan, network, temperature, compute, devices;
};

// The fan's mode on the strip: hidden while the fan is not shown; a stored hidden mode with the
// fan switched on draws the ring.
FanDisplayMode stripFanMode(bool fanVisible, FanDisplayMode stored) {
    if (!fanVisible)
        return FanDisplayMode::hidden;
    return stored == FanDisplayMode::graph ? FanDisplayMode::graph : FanDisplayMode::ring;
}

} // namespace

bool AppDelegate::isDark() const {
    return appearsDark(appearanceMode,
                       application().effectiveAppearance() == gfx::Appearance::dark);
}

void AppDelegate::refreshStatus(bool animated) {
    if (!item)
        return;
    ui::Application& app = application();
    statusView->setPresentationHeight(
        statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()));

    const Visibility visible{memoryEnabled,  fanAvailable && fanEnabled,
                             networkEnabled, temperatureEnabled,
                             computeEnabled, devicesEnabled};
    const auto colorOf = [&](ColorSlot slot) {
        return toColor(moduleColors.color(slot, normalBlue));
    };
    applyAccentColor(colorOf(ColorSlot::theme));

    statusView->setStripOpacity(floatingOpacity);
    std::vector<ModuleKind> order;
    for (auto kind : moduleOrder)
        if (kind != ModuleKind::fan || fanAvailable)
            order.push_back(kind);
    statusView->setOrder(std::move(order));
    std::set<ModuleKind> editable;
    for (auto [kind, shown] : {std::pair{ModuleKind::memory, visible.memory},
                               {ModuleKind::fan, visible.fan},
                               {ModuleKind::network, visible.network},
                               {ModuleKind::temperature, visible.temperature},
                               {ModuleKind::compute, visible.compute},
                               {ModuleKind::devices, visible.devices}})
        if (shown)
            editable.insert(kind);
    statusView->setEditableModules(std::move(editable));

    const bool dark = isDark();
    if (renderedDark != dark || renderedPanelDark != dark) {
        const auto appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
        statusView->setAppearance(appearance);
        popover->setAppearance(appearance);
        details->setAppearance(appearance);
        if (menuBarTip)
            menuBarTip->window()->setAppearance(appearance);
        if (environment_.appIcon)
            if (auto icon = environment_.appIcon(dark))
                applicationIcon = std::move(icon);
    }
    renderedDark = dark;
    renderedPanelDark = dark;

    const AppLanguage language = resolvedLanguage();
    std::optional<gfx::Image> memoryPicture;
    if (visible.memory) {
        MemoryStatusContent content;
        content.dark = dark;
        content.showChart = memoryShowChart;
        content.history = history;
        content.capacity = static_cast<int>(historyCapacity);
        content.blue = normalBlue;
        content.tint = colorOf(ColorSlot::memory);
        content.snapshot = latest;
        content.mode = displayMode;
        content.language = language;
        content.chartLength = chartLength;
        content.layout =
            keptMemoryLayout_.measure(displayMode, language, latest, memoryShowChart, chartLength);
        memoryPicture = keptMemoryImage_.image(
            content, [](const MemoryStatusContent& drawn) { return memoryStatusImage(drawn); },
            [](const MemoryStatusContent& drawn, const MemoryStatusContent& before,
               gfx::Image image) { return memoryStatusImage(drawn, before, std::move(image)); });
    }

    const FanDisplayMode fanModeShown = stripFanMode(visible.fan, fanMode);

    if (visible.network) {
        NetworkStatusContent content;
        content.dark = dark;
        content.showsGraph = networkShowChart;
        content.history = networkHistory;
        content.colors = NetworkColors{normalBlue, networkColored, downloadColor,
                                       gfx::Color::systemRed(), colorOf(ColorSlot::network)};
        content.download = networkSnapshot.download;
        content.upload = networkSnapshot.upload;
        content.chartLength = chartLength;
        statusView->setModuleImage(
            ModuleKind::network,
            keptNetworkImage_.image(
                content,
                [](const NetworkStatusContent& drawn) { return networkStatusImage(drawn); },
                [](const NetworkStatusContent& drawn, const NetworkStatusContent& before,
                   gfx::Image image) {
                    return networkStatusImage(drawn, before, std::move(image));
                }));
    } else {
        statusView->setModuleImage(ModuleKind::network, std::nullopt);
    }

    statusView->updateTemperature(
        visible.temperature ? std::optional(temperatureSnapshot) : std::nullopt, temperatureHistory,
        temperatureMode, dark, language, colorOf(ColorSlot::temperature), chartLength);

    const bool reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion();
    if (visible.compute) {
        // The GPU takes only its own colour: no theme or default stands in for it.
        const auto gpu = moduleColors.explicitColor(ColorSlot::gpu);
        statusView->showCompute(
            {.snapshot = computeSnapshot,
             .history = computeHistory,
             .dark = dark,
             .colors = {colorOf(ColorSlot::cpu), gpu ? std::optional(toColor(*gpu)) : std::nullopt,
                        normalBlue},
             .chartLength = chartLength},
            computeMode, reduceMotion);
    } else {
        statusView->hideCompute();
    }

    statusView->updateDevices(visible.devices ? std::optional(devicesSnapshot.devices)
                                              : std::nullopt,
                              dark, colorOf(ColorSlot::devices));

    const bool nothingShown = !visible.memory && !visible.fan && !visible.network &&
                              !visible.temperature && !visible.compute &&
                              (!visible.devices || devicesSnapshot.devices.empty());
    statusView->setDisplaysAppMark(nothingShown);
    if (nothingShown) {
        if (!appMark_ || appMark_->first != dark)
            appMark_.emplace(dark, appMarkImage(dark));
        memoryPicture = appMark_->second;
    }
    statusView->setModuleImage(ModuleKind::memory, std::move(memoryPicture));

    statusView->setFanMode(fanModeShown);
    statusView->setFanGap(fanGap);
    statusView->setChartLength(chartLength);
    statusView->setAnimationsEnabled(!reduceMotion);
    statusView->setFanInputs(
        {.snapshot = visible.fan ? fanSnapshot : FanSnapshot{},
         .history = visible.fan ? fanHistory : std::vector<std::optional<double>>{},
         .color = moduleColors.color(ColorSlot::fan, normalBlue),
         .animation = fanAnimation,
         .language = language,
         .historyCapacity = static_cast<int>(historyCapacity)});

    StatusToolTipContent tip;
    tip.language = language;
    if (visible.memory)
        tip.memory = latest;
    if (visible.fan)
        tip.fan = fanSnapshot;
    if (visible.network)
        tip.network = networkSnapshot;
    if (visible.temperature)
        tip.temperature = temperatureSnapshot;
    if (visible.devices)
        tip.devices = devicesSnapshot.devices;
    if (visible.compute)
        tip.compute = computeSnapshot;
    if (toolTipShown_ != tip) {
        const std::string text = statusToolTip(tip);
        statusView->setToolTip(text);
        statusView->setAccessibilityLabel(text);
        toolTipShown_ = std::move(tip);
    }

    statusView->renderFanImage();
    statusView->updateDisplayedRects();
    // Also places the editing panels over the strip's new width. The strip's setters have
    // marked what changed in it, and tell the editing surfaces that draw it.
    updateItemLength();

    handOffToDetails(animated, language);
    // Closed, the details take only their settings: refreshing and laying out every control
    // each second for nobody cost a twentieth of the program. The rebuild that opens them brings
    // the controls up to date before they are measured.
    if (popover->isShown() || detailsOpening_) {
        if (!popover->isShown())
            details->refreshControls();
        updatePopoverSize(details->preferredHeight(), animated);
        details->refreshControls();
        details->setNeedsDisplay(true);
    }
    refreshFloatingView();
}

void AppDelegate::handOffToDetails(bool animated, AppLanguage language) {
    const bool fanShown = fanAvailable && fanEnabled;
    DetailView& view = *details;
    view.memoryShowChart = memoryShowChart;
    view.networkShowChart = networkShowChart;
    view.temperatureMode = temperatureMode;
    view.stripOpacity = floatingOpacity;
    view.floatingMode = floatingMode;
    layoutFloatingPanel();
    view.devicesEnabled = devicesEnabled;
    // The list is handed on only when it differs: an equal list changes no arrival time.
    const std::vector<ExternalDevice> noDevices;
    const std::vector<ExternalDevice>& devices =
        devicesEnabled ? devicesSnapshot.devices : noDevices;
    if (view.devicesSnapshot() != devices)
        view.setDevicesSnapshot(devices);
    view.computeEnabled = computeEnabled;
    view.computeMode = computeMode;
    view.appearanceMode = appearanceMode;
    view.hideInFullscreen = hideInFullscreen;
    view.updateFrequency = updates().frequency();
    view.moduleColors = moduleColors;
    view.fanAnimation = fanAnimation;
    view.order = moduleOrder;
    view.fanAvailable = fanAvailable;
    view.temperatureAvailable = true;
    view.networkColored = networkColored;
    if (animated)
        view.animatedLayout = true;
    view.memoryEnabled = memoryEnabled;
    view.networkEnabled = networkEnabled;
    view.temperatureEnabled = temperatureEnabled;
    view.fanEnabled = fanShown;
    view.fanMode = fanMode;
    view.fanGap = fanGap;
    view.normalBlue = normalBlue;
    view.chartLength = chartLength;
    view.language = language;
    view.historyCapacity = static_cast<int>(historyCapacity);
    view.languageSelection = languageSelection;
    view.displayChoice->setSelectedSegment(rawValue(displayMode));

    // The readings, their histories and the login item's state are shown only in the open
    // popover; while it is closed they wait for the rebuild that opens it.
    if (!popover->isShown() && !detailsOpening_)
        return;
    view.computeSnapshot = computeEnabled ? computeSnapshot : computePlaceholder();
    view.computeHistory = computeEnabled ? computeHistory : std::vector<ComputeSnapshot>{};
    view.networkSnapshot = networkEnabled ? networkSnapshot : NetworkSnapshot{};
    view.temperatureSnapshot = temperatureEnabled ? temperatureSnapshot : TemperatureSnapshot{};
    view.networkHistory = networkEnabled ? networkHistory : std::vector<NetworkSnapshot>{};
    view.temperatureHistory =
        temperatureEnabled ? temperatureHistory : std::vector<std::optional<double>>{};
    view.fanHistory = fanShown ? fanHistory : std::vector<std::optional<double>>{};
    view.fanSnapshot = fanShown ? fanSnapshot : FanSnapshot{};
    view.snapshot = memoryEnabled ? latest : memoryPlaceholder();
    view.history = memoryEnabled ? history : std::vector<PressurePoint>{};
    view.loginState = loginState();
}

} // namespace pulsedeck
