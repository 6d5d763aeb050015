#include "app/LaunchSequence.h"

#include "app/AppIcon.h"
#include "app/Preferences.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/Application.h"

namespace pulsedeck {

LaunchSequence::LaunchSequence(std::shared_ptr<const SettingsStore> settings,
                               std::shared_ptr<const ProgramAppearance> appearance,
                               dispatch::RunLoop& loop, Hooks hooks)
    : defaults_(settings->defaults()), settings_(std::move(settings)),
      appearance_(std::move(appearance)), loop_(loop), hooks_(std::move(hooks)) {}

void LaunchSequence::after(double seconds, std::function<void(LaunchSequence&)> step) {
    loop_.queue().asyncAfter(seconds, [weak = weak_from_this(), step = std::move(step)] {
        if (auto self = weak.lock())
            step(*self);
    });
}

void LaunchSequence::start() {
    if (!defaults_.boolForKey(PreferenceKey::menuBarTipShown))
        after(menuBarTipDelay, [](LaunchSequence& self) { self.showMenuBarTip(); });
    if (!defaults_.boolForKey(PreferenceKey::hasLaunched)) {
        defaults_.setBool(true, PreferenceKey::hasLaunched);
        after(firstLaunchDelay, [](LaunchSequence& self) { self.presentFirstLaunchDetails(0); });
    }
}

void LaunchSequence::presentFirstLaunchDetails(int attempt) {
    if (hooks_.itemPlaced()) {
        hooks_.showDetails();
        keepTipClear();
        return;
    }
    if (attempt < firstLaunchAttempts)
        after(firstLaunchRetryDelay,
              [attempt](LaunchSequence& self) { self.presentFirstLaunchDetails(attempt + 1); });
}

void LaunchSequence::showMenuBarTip() {
    defaults_.setBool(true, PreferenceKey::menuBarTipShown);
    const bool dark = appearance_->isDark();
    tip_ = std::make_unique<MenuBarTipWindow>(settings_->language(),
                                              appearance_->icon().value_or(appIconImage(dark)));
    setAppearance(dark ? gfx::Appearance::dark : gfx::Appearance::light);
    tip_->finish = [weak = weak_from_this()] {
        if (auto self = weak.lock())
            self->tip_.reset();
    };
    keepTipClear();
    ui::Application::shared().activateIgnoringOtherApps(true);
    tip_->window()->makeKeyAndOrderFront();
}

void LaunchSequence::keepTipClear() {
    const auto details = tip_ ? hooks_.detailsFrame() : std::nullopt;
    if (details && !tip_->standClearOf(*details))
        hooks_.closeDetails();
}

void LaunchSequence::setAppearance(gfx::Appearance appearance) {
    if (tip_)
        tip_->window()->setAppearance(appearance);
}

} // namespace pulsedeck
