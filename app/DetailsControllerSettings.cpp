#include "app/DetailsController.h"
#include "app/SensorHelperAlertPresentation.h"
#include "sources/SensorClient.h"

namespace pulsedeck {

void DetailsController::installSettingsActions() {
    const std::weak_ptr<DetailsController> weak = weak_from_this();
    // Wraps a member call in a closure that holds the controller weakly.
    auto action = [weak](auto body) {
        return [weak, body](auto&&... arguments) {
            if (auto self = weak.lock())
                body(*self, arguments...);
        };
    };
    DetailView& view = *view_;
    view.lookAction = menuBarLookEditor(settings_);
    view.sensorAction = action([](DetailsController& self) { self.showSensorHelp(); });
    view.sortingAction = action([](DetailsController& self) { self.beginSorting(); });
    view.languageAction = [store = settings_](const std::string& selection) {
        store->change([&selection](Preferences& p) { p.languageSelection = selection; });
    };
    view.loginAction = action([](DetailsController& self, bool on) { self.hooks_.login(on); });
    view.floatingAction = action([](DetailsController& self, FloatingMode mode) {
        self.hooks_.setFloatingMode(mode, std::nullopt);
    });

    MenuBarContentView& strip = *statusStrip_->view();
    strip.statusOrderAction =
        action([](DetailsController& self, const std::vector<ModuleKind>& order) {
            self.view_->adoptStatusOrder(order);
        });
    strip.statusHideAction = action(
        [](DetailsController& self, ModuleKind kind) { self.view_->hideModuleWhileSorting(kind); });
    strip.finishSortingAction = action([](DetailsController& self) { self.finishSorting(); });
}

void DetailsController::showSensorHelp() {
    presentSensorHelperAlert(SensorClient::shared(), [language = hooks_.language()](Copy key) {
        return text(key, language);
    });
}

void DetailsController::beginSorting() {
    statusStrip_->view()->setSorting(view_->isSorting());
    statusStrip_->view()->setActiveModule(view_->isSorting() ? std::nullopt : view_->priority());
    hooks_.refresh(true);
    statusStrip_->refreshEditingPanels();
}

void DetailsController::finishSorting() {
    if (!view_->isSorting())
        return;
    view_->setSorting(false);
    if (view_->sortingAction)
        view_->sortingAction();
}

void DetailsController::settingsChanged(const SettingsChange& change) {
    if (change.touches(PreferenceKey::collapsedSections))
        statusStrip_->view()->setActiveModule(view_->priority());
    for (auto kind : allModuleKinds)
        if (change.touches(enabledKey(kind)) && prefs().look.modules.shows(kind))
            view_->expandSection(kind);
}

} // namespace pulsedeck
