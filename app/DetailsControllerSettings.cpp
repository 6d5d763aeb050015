#include "app/DetailsController.h"
#include "app/SensorHelperAlertPresentation.h"

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
    view.sensorAction = [store = settings_] { presentSensorHelp(store->language()); };
    view.sortingAction = action([](DetailsController& self) { self.sortingChosen(); });
    view.languageAction = [store = settings_](const std::string& selection) {
        store->change([&selection](Preferences& p) { p.languageSelection = selection; });
    };
    view.loginAction = action([](DetailsController& self, bool on) { self.setLaunchAtLogin(on); });
    view.floatingAction = action([](DetailsController& self, FloatingMode mode) {
        if (auto modes = self.modes_.lock())
            modes->set(mode, std::nullopt);
    });
}

void DetailsController::settingsChanged(const SettingsChange& change) {
    namespace Key = PreferenceKey;
    // Where the bar docks and whether it stays on top show nowhere in the details.
    if (std::all_of(change.keys.begin(), change.keys.end(), [](const std::string& key) {
            return key == Key::floatingDockAnchors || key == Key::floatingOnTop;
        }))
        return;
    bool moduleSwitched = false;
    for (auto kind : allModuleKinds)
        moduleSwitched = moduleSwitched || change.touches(enabledKey(kind));
    if (change.touches(Key::detailPresentation)) {
        refresh();
        // The focus holds in the presentation the cards now take.
        view_->prioritize(view_->priority());
    }
    if (change.touches(Key::collapsedSections))
        statusStrip_->view()->setActiveModule(view_->priority());
    for (auto kind : allModuleKinds)
        if (change.touches(enabledKey(kind)) && prefs().look.modules.shows(kind))
            view_->expandSection(kind);
    refresh(moduleSwitched || change.touchesAny({Key::moduleOrder, Key::detailPresentation,
                                                 Key::collapsedSections, Key::networkColored}));
}

void DetailsController::sortingChosen() {
    setSorting(view_->isSorting());
    statusStrip_->view()->setActiveModule(view_->isSorting() ? std::nullopt : view_->priority());
    refresh(true);
    statusStrip_->refreshEditingPanels();
}

void DetailsController::setSorting(bool sorting) {
    view_->setSorting(sorting);
    if (statusStrip_->view()->isSorting() != sorting)
        statusStrip_->view()->setSorting(sorting);
}

void DetailsController::finishSorting() {
    if (!view_->isSorting())
        return;
    view_->setSorting(false);
    sortingChosen();
}

void DetailsController::stripReordered(const std::vector<ModuleKind>& order) {
    view_->adoptStatusOrder(order);
}

void DetailsController::stripHid(ModuleKind module) {
    view_->hideModuleWhileSorting(module);
}

void DetailsController::stripSortingFinished() {
    finishSorting();
}

LoginItemStatus DetailsController::loginStatus() const {
    return loginItem_ ? loginItem_->status() : LoginItemStatus::notFound;
}

void DetailsController::setLaunchAtLogin(bool on) {
    if (loginItem_) {
        loginFailed_ = pulsedeck::setLaunchAtLogin(*loginItem_, on).failed;
    } else {
        // Without the service every needed call fails; none is needed only when the wanted
        // state already holds, which "not found" never is.
        loginFailed_ = true;
    }
    shownLoginStatus_ = loginStatus();
    refresh();
}

} // namespace pulsedeck
