#include "app/AppDelegate.h"
#include "app/SensorHelperAlertPresentation.h"
#include "platform/foundation/UserDefaults.h"
#include "sources/SensorClient.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

void AppDelegate::installSettingsActions() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    // Wraps a member call in a closure that holds the controller weakly.
    auto action = [weak](auto body) {
        return [weak, body](auto&&... arguments) {
            if (auto self = weak.lock())
                body(*self, arguments...);
        };
    };
    auto choice = [this](auto edit) { return mainChoice(settings_, edit); };
    DetailView& view = *details_->view();

    view.presentationAction =
        choice([](Preferences& p, DetailPresentation chosen) { p.detailPresentation = chosen; });
    view.moduleColorAction =
        choice([](Preferences& p, ColorSlot slot, std::optional<PaletteColor> color) {
            p.moduleColors.setColor(color, slot);
        });
    view.hideInFullscreenAction = choice([](Preferences& p, bool on) { p.hideInFullscreen = on; });
    view.sensorAction = action([](AppDelegate& self) { self.showSensorHelp(); });
    view.sortingAction = action([](AppDelegate& self) { self.beginSorting(); });
    // The menu-bar strip's opacity, kept under "floatingOpacity".
    view.opacityAction = choice([](Preferences& p, double opacity) {
        p.floatingOpacity = clampedFloatingOpacity(opacity);
    });
    view.orderAction = choice([](Preferences& p, const std::vector<ModuleKind>& order) {
        p.moduleOrder = completeOrder(order);
    });
    view.disclosureAction = choice([](Preferences& p, const std::set<ModuleKind>& sections) {
        p.collapsedSections = sections;
    });
    view.appearanceAction =
        choice([](Preferences& p, AppearanceMode mode) { p.appearanceMode = mode; });
    view.memoryChartAction = choice([](Preferences& p, bool on) { p.memoryShowChart = on; });
    view.networkChartAction = choice([](Preferences& p, bool on) { p.networkShowChart = on; });
    view.networkColorAction = choice([](Preferences& p, bool on) { p.networkColored = on; });
    view.temperatureDisplayAction =
        choice([](Preferences& p, TemperatureDisplayMode mode) { p.temperatureMode = mode; });
    view.computeDisplayAction =
        choice([](Preferences& p, ComputeDisplayMode mode) { p.computeMode = mode; });
    view.displayAction = choice([](Preferences& p, DisplayMode mode) { p.displayMode = mode; });
    view.fanAnimationAction =
        choice([](Preferences& p, FanAnimationMode mode) { p.fanAnimation = mode; });
    view.fanAction = choice([](Preferences& p, FanDisplayMode mode) { p.fanMode = mode; });
    view.chartLengthAction =
        choice([](Preferences& p, double length) { p.chartLength = clampedChartLength(length); });
    view.gapAction = choice([](Preferences& p, double gap) { p.fanGap = clampedFanGap(gap); });
    view.languageAction = choice(
        [](Preferences& p, const std::string& selection) { p.languageSelection = selection; });
    view.loginAction = action([](AppDelegate& self, bool on) { self.setLaunchAtLogin(on); });
    view.switchAction =
        choice([](Preferences& p, ModuleKind kind, bool on) { p.*enabledSwitch(kind) = on; });

    statusStrip_->view()->statusOrderAction =
        action([](AppDelegate& self, const std::vector<ModuleKind>& order) {
            self.statusOrderChanged(order);
        });
    statusStrip_->view()->statusHideAction =
        action([](AppDelegate& self, ModuleKind kind) { self.hideModuleFromStatus(kind); });
    statusStrip_->view()->finishSortingAction =
        action([](AppDelegate& self) { self.finishSorting(); });
}

void AppDelegate::settingsChanged(const SettingsChange& change) {
    namespace Key = PreferenceKey;
    if (!change.floatingEntries.empty())
        floatingSettingsChanged(change);
    // The mode's own steps apply what a change of mode brings along.
    if (change.keys.empty() || changingFloatingMode_)
        return;
    if (change.touches(Key::floatingOnTop) && floatingBar_->panel())
        floatingBar_->panel()->setLevel(prefs().floatingOnTop ? ui::WindowLevel::floating
                                                              : ui::WindowLevel::normal);
    if (change.touches(Key::detailPresentation)) {
        details_->view()->fadeFromSnapshot();
        handOffToDetails(false, resolvedLanguage());
        details_->view()->prioritize(details_->view()->priority());
    }
    if (change.touches(Key::collapsedSections))
        statusStrip_->view()->setActiveModule(details_->view()->priority());
    bool sampleNow = false;
    bool moduleSwitched = false;
    for (auto kind : allModuleKinds) {
        if (!change.touches(enabledKey(kind)))
            continue;
        moduleSwitched = true;
        const bool enabled = prefs().*enabledSwitch(kind);
        if (enabled)
            details_->view()->expandSection(kind);
        if (!isShownFloating(kind))
            clearHistory(kind);
        sampleNow = sampleNow || kind != ModuleKind::fan || enabled;
    }
    if (change.touches(Key::hideInFullscreen)) {
        updateFullscreenMonitoring();
        applyFullscreenVisibility();
    }

    // Where the bar stands and the anchors it docks into show nowhere on the strip.
    const bool stripShowsIt = std::any_of(change.keys.begin(), change.keys.end(), [](auto& key) {
        return key != Key::floatingOnTop && key != Key::floatingDockAnchors;
    });
    if (stripShowsIt)
        refreshStatus(moduleSwitched ||
                      change.touchesAny({Key::moduleOrder, Key::detailPresentation,
                                         Key::collapsedSections, Key::networkColored}));
    if (sampleNow)
        requestSample();
}

bool AppDelegate::isShownFloating(ModuleKind kind) const {
    return prefs().floatingMode != FloatingMode::none && settings_->floating() &&
           !settings_->floating()->hidden.contains(kind);
}

void AppDelegate::clearHistory(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        sampling_.history.clear();
        break;
    case ModuleKind::fan:
        sampling_.fanHistory.clear();
        break;
    case ModuleKind::network:
        sampling_.networkHistory.clear();
        sampling_.networkSnapshot = NetworkSnapshot{};
        break;
    case ModuleKind::temperature:
        sampling_.temperatureHistory.clear();
        break;
    case ModuleKind::compute:
        sampling_.computeHistory.clear();
        break;
    case ModuleKind::devices:
        break;
    }
}

void AppDelegate::showSensorHelp() {
    presentSensorHelperAlert(SensorClient::shared(), [language = resolvedLanguage()](Copy key) {
        return text(key, language);
    });
}

void AppDelegate::beginSorting() {
    statusStrip_->view()->setSorting(details_->view()->isSorting());
    statusStrip_->view()->setActiveModule(
        details_->view()->isSorting() ? std::nullopt : details_->view()->priority());
    refreshStatus(true);
    statusStrip_->refreshEditingPanels();
}

int AppDelegate::loginState() const {
    return environment_.loginItem ? static_cast<int>(environment_.loginItem->status())
                                  : static_cast<int>(LoginItem::Status::notFound);
}

void AppDelegate::setLaunchAtLogin(bool on) {
    if (environment_.loginItem) {
        loginFailed_ = pulsedeck::setLaunchAtLogin(*environment_.loginItem, on).failed;
    } else {
        // Without the service every needed call fails; none is needed only when the wanted
        // state already holds, which "not found" never is.
        loginFailed_ = true;
    }
    shownLoginState_ = loginState();
    refreshStatus(false);
}

void AppDelegate::statusOrderChanged(const std::vector<ModuleKind>& order) {
    details_->view()->adoptStatusOrder(order);
}

void AppDelegate::hideModuleFromStatus(ModuleKind kind) {
    details_->view()->hideModuleWhileSorting(kind);
}

void AppDelegate::finishSorting() {
    if (!details_->view()->isSorting())
        return;
    details_->view()->setSorting(false);
    if (details_->view()->sortingAction)
        details_->view()->sortingAction();
}

} // namespace pulsedeck
