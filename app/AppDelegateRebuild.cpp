#include "app/AppDelegate.h"
#include "app/StatusToolTip.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StripInputs.h"

namespace pulsedeck {

bool AppDelegate::isDark() const {
    return appearsDark(prefs().appearanceMode,
                       application().effectiveAppearance() == gfx::Appearance::dark);
}

void AppDelegate::refreshStatus(bool animated) {
    if (!item)
        return;
    ui::Application& app = application();
    const StripSettings settings = statusStripSettings(prefs(), sampling_.fanAvailable);
    applyAccentColor(toColor(prefs().moduleColors.color(ColorSlot::theme, prefs().normalBlue)));

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
    const StripReadings readings = sampling_.stripReadings();
    statusView->setInputs(stripInputs(
        settings, readings,
        {.height = statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()),
         .systemDark = app.effectiveAppearance() == gfx::Appearance::dark,
         .reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion(),
         .language = language,
         .historyCapacity = static_cast<int>(sampling_.historyCapacity)}));

    const auto shows = [&settings](ModuleKind kind) { return settings.shown.contains(kind); };
    StatusToolTipContent tip;
    tip.language = language;
    if (shows(ModuleKind::memory))
        tip.memory = sampling_.latest;
    if (shows(ModuleKind::fan))
        tip.fan = sampling_.fanSnapshot;
    if (shows(ModuleKind::network))
        tip.network = sampling_.networkSnapshot;
    if (shows(ModuleKind::temperature))
        tip.temperature = sampling_.temperatureSnapshot;
    if (shows(ModuleKind::devices))
        tip.devices = sampling_.devicesSnapshot.devices;
    if (shows(ModuleKind::compute))
        tip.compute = sampling_.computeSnapshot;
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
    const bool fanShown = sampling_.fanAvailable && prefs().fanEnabled;
    DetailView& view = *details;
    view.memoryShowChart = prefs().memoryShowChart;
    view.networkShowChart = prefs().networkShowChart;
    view.temperatureMode = prefs().temperatureMode;
    view.stripOpacity = prefs().floatingOpacity;
    view.floatingMode = prefs().floatingMode;
    layoutFloatingPanel();
    view.devicesEnabled = prefs().devicesEnabled;
    // The list is handed on only when it differs: an equal list changes no arrival time.
    const std::vector<ExternalDevice> noDevices;
    const std::vector<ExternalDevice>& devices =
        prefs().devicesEnabled ? sampling_.devicesSnapshot.devices : noDevices;
    if (view.devicesSnapshot() != devices)
        view.setDevicesSnapshot(devices);
    view.computeEnabled = prefs().computeEnabled;
    view.computeMode = prefs().computeMode;
    view.appearanceMode = prefs().appearanceMode;
    view.hideInFullscreen = prefs().hideInFullscreen;
    view.updateFrequency = updates().frequency();
    view.moduleColors = prefs().moduleColors;
    view.fanAnimation = prefs().fanAnimation;
    view.order = prefs().moduleOrder;
    view.fanAvailable = sampling_.fanAvailable;
    view.temperatureAvailable = true;
    view.networkColored = prefs().networkColored;
    if (animated)
        view.animatedLayout = true;
    view.memoryEnabled = prefs().memoryEnabled;
    view.networkEnabled = prefs().networkEnabled;
    view.temperatureEnabled = prefs().temperatureEnabled;
    view.fanEnabled = fanShown;
    view.fanMode = prefs().fanMode;
    view.fanGap = prefs().fanGap;
    view.normalBlue = prefs().normalBlue;
    view.chartLength = prefs().chartLength;
    view.language = language;
    view.historyCapacity = static_cast<int>(sampling_.historyCapacity);
    view.languageSelection = prefs().languageSelection;
    view.displayChoice->setSelectedSegment(rawValue(prefs().displayMode));

    // The readings, their histories and the login item's state are shown only in the open
    // popover; while it is closed they wait for the rebuild that opens it.
    if (!popover->isShown() && !detailsOpening_)
        return;
    view.computeSnapshot =
        prefs().computeEnabled ? sampling_.computeSnapshot : computePlaceholder();
    view.computeHistory =
        prefs().computeEnabled ? sampling_.computeHistory : std::vector<ComputeSnapshot>{};
    view.networkSnapshot = prefs().networkEnabled ? sampling_.networkSnapshot : NetworkSnapshot{};
    view.temperatureSnapshot =
        prefs().temperatureEnabled ? sampling_.temperatureSnapshot : TemperatureSnapshot{};
    view.networkHistory =
        prefs().networkEnabled ? sampling_.networkHistory : std::vector<NetworkSnapshot>{};
    view.temperatureHistory = prefs().temperatureEnabled ? sampling_.temperatureHistory
                                                         : std::vector<std::optional<double>>{};
    view.fanHistory = fanShown ? sampling_.fanHistory : std::vector<std::optional<double>>{};
    view.fanSnapshot = fanShown ? sampling_.fanSnapshot : FanSnapshot{};
    view.snapshot = prefs().memoryEnabled ? sampling_.latest : memoryPlaceholder();
    view.history = prefs().memoryEnabled ? sampling_.history : std::vector<PressurePoint>{};
    view.loginState = loginState();
}

} // namespace pulsedeck
