#include "app/AppDelegate.h"
#include "app/StatusToolTip.h"
#include "model/AccentColor.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/DevicesStatusImage.h"
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

} // namespace

bool AppDelegate::isDark() const {
    switch (appearanceMode) {
    case AppearanceMode::light:
        return false;
    case AppearanceMode::dark:
        return true;
    case AppearanceMode::system:
        return application().effectiveAppearance() == gfx::Appearance::dark;
    }
    return false;
}

void AppDelegate::refreshStatus(bool animated) {
    if (!item)
        return;
    ui::Application& app = application();
    statusView->presentationHeight =
        statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness());

    const Visibility visible{memoryEnabled,  fanAvailable && fanEnabled,
                             networkEnabled, temperatureEnabled,
                             computeEnabled, devicesEnabled};
    applyAccentColor(toColor(moduleColors.color(ColorSlot::theme, normalBlue)));

    if (statusView->stripOpacity != floatingOpacity) {
        statusView->stripOpacity = floatingOpacity;
        statusView->setNeedsDisplay(true);
    }
    statusView->order.clear();
    for (auto kind : moduleOrder)
        if (kind != ModuleKind::fan || fanAvailable)
            statusView->order.push_back(kind);
    statusView->editableModules.clear();
    for (auto [kind, shown] : {std::pair{ModuleKind::memory, visible.memory},
                               {ModuleKind::fan, visible.fan},
                               {ModuleKind::network, visible.network},
                               {ModuleKind::temperature, visible.temperature},
                               {ModuleKind::compute, visible.compute},
                               {ModuleKind::devices, visible.devices}})
        if (shown)
            statusView->editableModules.insert(kind);

    const bool dark = isDark();
    if (renderedDark != dark || renderedPanelDark != dark) {
        const auto appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
        statusView->setAppearance(appearance);
        popover->setAppearance(appearance);
        details->setAppearance(appearance);
    }
    renderedDark = dark;
    renderedPanelDark = dark;

    const AppLanguage language = resolvedLanguage();
    const auto colorOf = [&](ColorSlot slot) {
        return toColor(moduleColors.color(slot, normalBlue));
    };
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
        statusView->memoryImage = memoryStatusImage(content);
    } else {
        statusView->memoryImage.reset();
    }

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
        statusView->networkImage = networkStatusImage(content);
    } else {
        statusView->networkImage.reset();
    }

    const bool reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion();
    const auto devices = updateDevicesStatus(
        statusView->deviceIDs,
        visible.devices ? std::optional(devicesSnapshot.devices) : std::nullopt, dark,
        colorOf(ColorSlot::devices), statusView->animationsEnabled, reduceMotion);
    statusView->devicesImage = devices.image;
    statusView->deviceIDs = devices.deviceIDs;
    if (devices.stopsPulse)
        statusView->deviceAttentionProgress = 1;
    if (devices.startsPulse)
        statusView->startDeviceAttentionPulse();

    const bool nothingShown = !visible.memory && !visible.fan && !visible.network &&
                              !visible.temperature && !visible.compute &&
                              (!visible.devices || devicesSnapshot.devices.empty());
    statusView->displaysAppMark = nothingShown;
    if (nothingShown)
        statusView->memoryImage = appMarkImage(dark);

    // The strip has no fan picture of its own yet, so the fan takes no room on it.
    statusView->fanMode = FanDisplayMode::hidden;
    statusView->fanAnimation = fanAnimation;
    statusView->fanSnapshot = visible.fan ? fanSnapshot : FanSnapshot{};
    statusView->fanColor = moduleColors.color(ColorSlot::fan, normalBlue);
    statusView->fanGap = fanGap;
    statusView->fanHistory = visible.fan ? fanHistory : std::vector<std::optional<double>>{};
    statusView->chartLength = chartLength;
    statusView->language = language;
    statusView->historyCapacity = static_cast<int>(historyCapacity);
    statusView->animationsEnabled = !reduceMotion;

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
    const std::string text = statusToolTip(tip);
    statusView->setToolTip(text);
    statusView->setAccessibilityLabel(text);

    statusView->updateDisplayedRects();
    updateItemLength();
    statusView->setNeedsDisplay(true);

    handOffToDetails(animated, language);
    popover->setContentSize({details->contentWidth(), details->preferredHeight()});
    details->refreshControls();
    refreshFloatingView();
    details->setNeedsDisplay(true);
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
    view.setDevicesSnapshot(devicesEnabled ? devicesSnapshot.devices
                                           : std::vector<ExternalDevice>{});
    view.computeEnabled = computeEnabled;
    view.computeMode = computeMode;
    view.computeSnapshot = computeEnabled ? computeSnapshot : computePlaceholder();
    view.computeHistory = computeEnabled ? computeHistory : std::vector<ComputeSnapshot>{};
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
    view.networkSnapshot = networkEnabled ? networkSnapshot : NetworkSnapshot{};
    view.temperatureSnapshot = temperatureEnabled ? temperatureSnapshot : TemperatureSnapshot{};
    view.networkHistory = networkEnabled ? networkHistory : std::vector<NetworkSnapshot>{};
    view.temperatureHistory =
        temperatureEnabled ? temperatureHistory : std::vector<std::optional<double>>{};
    view.fanHistory = fanShown ? fanHistory : std::vector<std::optional<double>>{};
    view.fanEnabled = fanShown;
    view.fanSnapshot = fanShown ? fanSnapshot : FanSnapshot{};
    view.fanMode = fanMode;
    view.fanGap = fanGap;
    view.snapshot = memoryEnabled ? latest : memoryPlaceholder();
    view.history = memoryEnabled ? history : std::vector<PressurePoint>{};
    view.normalBlue = normalBlue;
    view.chartLength = chartLength;
    view.language = language;
    view.historyCapacity = static_cast<int>(historyCapacity);
    view.languageSelection = languageSelection;
    view.displayChoice.selectedSegment = rawValue(displayMode);
}

void AppDelegate::setFloatingMode(FloatingMode mode, std::optional<gfx::Rect>) {
    floatingMode = mode;
    defaults().setObject(std::string(toString(mode)), PreferenceKey::floatingMode);
    refreshStatus(false);
}

void AppDelegate::applyFullscreenVisibility() {
    if (!item)
        return;
    const std::set<int>& fullscreenDisplays = fullscreenMonitor->displayIDs();
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    item->setVisible(
        statusItemVisible(floatingMode, hideInFullscreen, displayNumbers, fullscreenDisplays));
    if (floatingPanel && nativeSurfacesReady)
        floatingPanel->orderFront();
}

// The floating bar has no panel yet: there is nothing to lay out, refresh or pull out.
void AppDelegate::layoutFloatingPanel() {}

void AppDelegate::refreshFloatingView() {}

void AppDelegate::handleStatusDragOut(gfx::Point, gfx::Point, bool) {}

} // namespace pulsedeck
