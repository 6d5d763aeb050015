#include "app/AppDelegate.h"
#include "app/ModuleActivity.h"

#include <algorithm>

namespace pulsedeck {

void AppDelegate::settingsChanged(const SettingsChange& change) {
    namespace Key = PreferenceKey;
    if (!change.floatingEntries.empty())
        floatingMode_->barSettingsChanged(change);
    // The mode's own steps apply what a change of mode brings along.
    if (change.keys.empty() || floatingMode_->changing())
        return;
    if (change.touches(Key::floatingOnTop) && floatingBar_->panel())
        floatingBar_->panel()->setLevel(prefs().floatingOnTop ? ui::WindowLevel::floating
                                                              : ui::WindowLevel::normal);
    if (change.touches(Key::detailPresentation)) {
        details_->view()->fadeFromSnapshot();
        handOffToDetails(false, resolvedLanguage());
        details_->view()->prioritize(details_->view()->priority());
    }
    details_->settingsChanged(change);
    bool sampleNow = false;
    bool moduleSwitched = false;
    for (auto kind : allModuleKinds) {
        if (!change.touches(enabledKey(kind)))
            continue;
        moduleSwitched = true;
        if (!isShownFloating(kind, prefs(), settings_->floating()))
            sampling_.clearHistory(kind);
        sampleNow = sampleNow || kind != ModuleKind::fan || prefs().look.modules.shows(kind);
    }
    if (change.touches(Key::hideInFullscreen))
        floatingMode_->hidingChanged();

    // Where the bar stands and the anchors it docks into show nowhere on the strip.
    const bool stripShowsIt = std::any_of(change.keys.begin(), change.keys.end(), [](auto& key) {
        return key != Key::floatingOnTop && key != Key::floatingDockAnchors;
    });
    if (stripShowsIt)
        refreshStatus(moduleSwitched ||
                      change.touchesAny({Key::moduleOrder, Key::detailPresentation,
                                         Key::collapsedSections, Key::networkColored}));
    if (sampleNow)
        sampler_->requestSample();
}

LoginItemStatus AppDelegate::loginStatus() const {
    return environment_.loginItem ? environment_.loginItem->status() : LoginItemStatus::notFound;
}

void AppDelegate::setLaunchAtLogin(bool on) {
    if (environment_.loginItem) {
        loginFailed_ = pulsedeck::setLaunchAtLogin(*environment_.loginItem, on).failed;
    } else {
        // Without the service every needed call fails; none is needed only when the wanted
        // state already holds, which "not found" never is.
        loginFailed_ = true;
    }
    shownLoginStatus_ = loginStatus();
    refreshStatus(false);
}

} // namespace pulsedeck
