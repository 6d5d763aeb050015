#include "app/AppDelegate.h"
#include "app/StatusToolTip.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StripInputs.h"

namespace pulsedeck {

bool AppDelegate::isDark() const {
    return appearsDark(appearanceMode,
                       application().effectiveAppearance() == gfx::Appearance::dark);
}

void AppDelegate::refreshStatus(bool animated) {
    if (!item)
        return;
    ui::Application& app = application();
    const StripSettings settings = statusStripSettings(*this, fanAvailable);
    applyAccentColor(toColor(moduleColors.color(ColorSlot::theme, normalBlue)));

    const bool dark = isDark();
    if (renderedDark != dark || renderedPanelDark != dark) {
        const auto appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
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
    const StripReadings readings = stripReadings();
    statusView->setInputs(stripInputs(
        settings, readings,
        {.height = statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()),
         .systemDark = app.effectiveAppearance() == gfx::Appearance::dark,
         .reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion(),
         .language = language,
         .historyCapacity = static_cast<int>(historyCapacity)}));

    const auto shows = [&settings](ModuleKind kind) { return settings.shown.contains(kind); };
    StatusToolTipContent tip;
    tip.language = language;
    if (shows(ModuleKind::memory))
        tip.memory = latest;
    if (shows(ModuleKind::fan))
        tip.fan = fanSnapshot;
    if (shows(ModuleKind::network))
        tip.network = networkSnapshot;
    if (shows(ModuleKind::temperature))
        tip.temperature = temperatureSnapshot;
    if (shows(ModuleKind::devices))
        tip.devices = devicesSnapshot.devices;
    if (shows(ModuleKind::compute))
        tip.compute = computeSnapshot;
    if (toolTipShown_ != tip) {
        const std::string text = statusToolTip(tip);
        statusView->setToolTip(text);
        statusView->setAccessibilityLabel(text);
        toolTipShown_ = std::move(tip);
    }

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
