#include "app/AppDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "sources/SensorClient.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

bool DetailView::*detailSwitch(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return &DetailView::memoryEnabled;
    case ModuleKind::fan:
        return &DetailView::fanEnabled;
    case ModuleKind::network:
        return &DetailView::networkEnabled;
    case ModuleKind::temperature:
        return &DetailView::temperatureEnabled;
    case ModuleKind::compute:
        return &DetailView::computeEnabled;
    case ModuleKind::devices:
        return &DetailView::devicesEnabled;
    }
    return &DetailView::memoryEnabled;
}

// "collapsedSections": the raw names in ascending order.
void writeCollapsedSections(foundation::UserDefaults& defaults,
                            const std::set<ModuleKind>& sections) {
    auto names = rawNames(sections);
    std::sort(names.begin(), names.end());
    foundation::PropertyArray stored(names.begin(), names.end());
    defaults.setObject(std::move(stored), PreferenceKey::collapsedSections);
}

} // namespace

void AppDelegate::installSettingsActions() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    // Wraps a member call in a closure that holds the controller weakly.
    auto action = [weak](auto body) {
        return [weak, body](auto&&... arguments) {
            if (auto self = weak.lock())
                body(*self, arguments...);
        };
    };
    DetailView& view = *details;

    view.presentationAction =
        action([](AppDelegate& self, DetailPresentation p) { self.setDetailPresentation(p); });
    view.moduleColorAction =
        action([](AppDelegate& self, ColorSlot slot, std::optional<PaletteColor> color) {
            self.setModuleColor(slot, color);
        });
    view.hideInFullscreenAction =
        action([](AppDelegate& self, bool flag) { self.setHideInFullscreen(flag); });
    view.sensorAction = action([](AppDelegate& self) { self.showSensorHelp(); });
    view.sortingAction = action([](AppDelegate& self) { self.beginSorting(); });
    view.opacityAction =
        action([](AppDelegate& self, double value) { self.setStripOpacity(value); });
    view.orderAction = action([](AppDelegate& self, const std::vector<ModuleKind>& order) {
        self.setModuleOrder(order);
    });
    // The collapsed sections are written even when the controller is gone.
    view.disclosureAction =
        [weak, defaults = environment_.defaults](const std::set<ModuleKind>& sections) {
            if (auto self = weak.lock())
                self->setCollapsedSections(sections);
            else
                writeCollapsedSections(*defaults, sections);
        };
    view.appearanceAction =
        action([](AppDelegate& self, AppearanceMode mode) { self.setAppearanceMode(mode); });
    view.memoryChartAction = action([](AppDelegate& self, bool flag) {
        self.setBoolPreference(flag, &Preferences::memoryShowChart, PreferenceKey::memoryShowChart,
                               false);
    });
    view.networkChartAction =
        action([](AppDelegate& self, bool flag) { self.setNetworkShowChart(flag); });
    view.networkColorAction = action([](AppDelegate& self, bool flag) {
        self.setBoolPreference(flag, &Preferences::networkColored, PreferenceKey::networkColored,
                               true);
    });
    view.temperatureDisplayAction = action(
        [](AppDelegate& self, TemperatureDisplayMode mode) { self.setTemperatureMode(mode); });
    view.computeDisplayAction = action([](AppDelegate& self, ComputeDisplayMode mode) {
        self.computeMode = mode;
        self.setIntPreference(rawValue(mode), PreferenceKey::computeDisplay);
    });
    view.displayAction = action([](AppDelegate& self, DisplayMode mode) {
        self.displayMode = mode;
        self.setIntPreference(rawValue(mode), PreferenceKey::displayMode);
    });
    view.fanAnimationAction = action([](AppDelegate& self, FanAnimationMode mode) {
        self.fanAnimation = mode;
        self.setIntPreference(rawValue(mode), PreferenceKey::fanAnimation);
    });
    view.fanAction = action([](AppDelegate& self, FanDisplayMode mode) {
        self.fanMode = mode;
        self.setIntPreference(rawValue(mode), PreferenceKey::fanDisplayMode);
    });
    view.chartLengthAction =
        action([](AppDelegate& self, double length) { self.setChartLength(length); });
    view.gapAction = action([](AppDelegate& self, double gap) { self.setFanGap(gap); });
    view.languageAction = action(
        [](AppDelegate& self, const std::string& selection) { self.setLanguage(selection); });
    view.loginAction = action([](AppDelegate& self, bool on) { self.setLaunchAtLogin(on); });
    for (auto kind : allModuleKinds)
        view.switchAction(kind) =
            action([kind](AppDelegate& self, bool on) { self.setModuleEnabled(kind, on); });

    statusView->statusOrderAction =
        action([](AppDelegate& self, const std::vector<ModuleKind>& order) {
            self.statusOrderChanged(order);
        });
    statusView->statusHideAction =
        action([](AppDelegate& self, ModuleKind kind) { self.hideModuleFromStatus(kind); });
    statusView->finishSortingAction = action([](AppDelegate& self) { self.finishSorting(); });
}

bool AppDelegate::isShownFloating(ModuleKind kind) const {
    return floatingMode != FloatingMode::none && floatingPreferences &&
           !floatingPreferences->hidden.contains(kind);
}

void AppDelegate::clearHistory(ModuleKind kind) {
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

void AppDelegate::setDetailPresentation(DetailPresentation presentation) {
    if (presentation == detailPresentation)
        return;
    details->fadeFromSnapshot();
    detailPresentation = presentation;
    details->presentation = presentation;
    defaults().setObject(std::string(toString(presentation)), PreferenceKey::detailPresentation);
    details->prioritize(details->priority);
    refreshStatus(true);
}

void AppDelegate::setModuleColor(ColorSlot slot, std::optional<PaletteColor> color) {
    moduleColors.setColor(color, slot);
    foundation::PropertyDictionary stored;
    for (const auto& [name, value] : moduleColors.values)
        stored.emplace(name, value);
    defaults().setObject(std::move(stored), PreferenceKey::moduleColors);
    refreshStatus(false);
}

void AppDelegate::setHideInFullscreen(bool flag) {
    hideInFullscreen = flag;
    defaults().setBool(flag, PreferenceKey::hideInFullscreen);
    updateFullscreenMonitoring();
    applyFullscreenVisibility();
    refreshStatus(false);
}

void AppDelegate::showSensorHelp() {
    SensorClient::shared().presentHelperAlert(resolvedLanguage());
}

void AppDelegate::beginSorting() {
    statusView->setSorting(details->isSorting);
    statusView->setActiveModule(details->isSorting ? std::nullopt : details->priority);
    refreshStatus(true);
    refreshEditingPanels();
}

void AppDelegate::setStripOpacity(double opacity) {
    floatingOpacity = clampedFloatingOpacity(opacity);
    defaults().setDouble(floatingOpacity, PreferenceKey::floatingOpacity);
    refreshStatus(false);
}

void AppDelegate::setModuleOrder(const std::vector<ModuleKind>& order) {
    std::vector<std::string> names;
    for (auto kind : order)
        names.emplace_back(toString(kind));
    moduleOrder = parseOrder(names);
    foundation::PropertyArray stored;
    for (auto kind : moduleOrder)
        stored.emplace_back(std::string(toString(kind)));
    defaults().setObject(std::move(stored), PreferenceKey::moduleOrder);
    refreshStatus(true);
}

void AppDelegate::setCollapsedSections(const std::set<ModuleKind>& sections) {
    writeCollapsedSections(defaults(), sections);
    statusView->setActiveModule(details->priority);
    refreshStatus(true);
}

void AppDelegate::setAppearanceMode(AppearanceMode mode) {
    appearanceMode = mode;
    defaults().setObject(std::string(toString(mode)), PreferenceKey::appAppearance);
    refreshStatus(false);
}

void AppDelegate::setBoolPreference(bool value, bool Preferences::*property, std::string_view key,
                                    bool animated) {
    this->*property = value;
    defaults().setBool(value, key);
    refreshStatus(animated);
}

void AppDelegate::setNetworkShowChart(bool flag) {
    setBoolPreference(flag, &Preferences::networkShowChart, PreferenceKey::networkShowChart, false);
}

void AppDelegate::setTemperatureMode(TemperatureDisplayMode mode) {
    temperatureMode = mode;
    defaults().setInteger(rawValue(mode), PreferenceKey::temperatureDisplay);
    refreshStatus(false);
}

void AppDelegate::setIntPreference(int value, std::string_view key) {
    defaults().setInteger(value, key);
    refreshStatus(false);
}

void AppDelegate::setChartLength(double length) {
    chartLength = clampedChartLength(length);
    defaults().setDouble(chartLength, PreferenceKey::chartLength);
    refreshStatus(false);
}

void AppDelegate::setFanGap(double gap) {
    fanGap = clampedFanGap(gap);
    defaults().setDouble(fanGap, PreferenceKey::fanGap);
    refreshStatus(false);
}

void AppDelegate::setLanguage(const std::string& selection) {
    languageSelection = selection;
    defaults().setObject(selection, PreferenceKey::language);
    refreshStatus(false);
}

int AppDelegate::loginState() const {
    return environment_.loginItem ? static_cast<int>(environment_.loginItem->status())
                                  : static_cast<int>(LoginItem::Status::notFound);
}

void AppDelegate::setLaunchAtLogin(bool on) {
    if (environment_.loginItem) {
        details->loginFailed = pulsedeck::setLaunchAtLogin(*environment_.loginItem, on).failed;
    } else {
        // Without the service every needed call fails; none is needed only when the wanted
        // state already holds, which "not found" never is.
        details->loginFailed = true;
    }
    details->loginState = loginState();
    refreshStatus(false);
}

void AppDelegate::setModuleEnabled(ModuleKind kind, bool enabled) {
    this->*enabledSwitch(kind) = enabled;
    details.get()->*detailSwitch(kind) = enabled;
    if (enabled)
        details->expandSection(kind);
    defaults().setBool(enabled, enabledKey(kind));
    if (!isShownFloating(kind))
        clearHistory(kind);
    refreshStatus(true);
    if (kind != ModuleKind::fan || enabled)
        requestSample();
}

void AppDelegate::statusOrderChanged(const std::vector<ModuleKind>& order) {
    details->adoptStatusOrder(order);
}

void AppDelegate::hideModuleFromStatus(ModuleKind kind) {
    details->hideModuleWhileSorting(kind);
}

void AppDelegate::finishSorting() {
    if (!details->isSorting)
        return;
    details->isSorting = false;
    details->refreshControls();
    if (details->sortingAction)
        details->sortingAction();
}

} // namespace pulsedeck
