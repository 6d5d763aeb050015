#include "app/AppDelegate.h"
#include "app/DetailStateBuilder.h"
#include "model/AccentColor.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

bool AppDelegate::isDark() const {
    return appearsDark(prefs().look.appearance,
                       application().effectiveAppearance() == gfx::Appearance::dark);
}

void AppDelegate::refreshStatus(bool animated) {
    if (!statusStrip_->item())
        return;
    ui::Application& app = application();
    const StripSettings settings = statusStripSettings(prefs(), sampling_.fanAvailable);
    applyAccentColor(
        toColor(prefs().look.modules.colors.color(ColorSlot::theme, prefs().normalBlue)));

    const bool dark = isDark();
    if (renderedDark != dark || renderedPanelDark != dark) {
        const auto appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
        details_->popover()->setAppearance(appearance);
        details_->view()->setAppearance(appearance);
        launchSequence_->setAppearance(appearance);
        if (environment_.appIcon)
            if (auto icon = environment_.appIcon(dark))
                applicationIcon = std::move(icon);
    }
    renderedDark = dark;
    renderedPanelDark = dark;

    const AppLanguage language = resolvedLanguage();
    statusStrip_->refresh(
        settings,
        {.height = statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()),
         .systemDark = app.effectiveAppearance() == gfx::Appearance::dark,
         .reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion(),
         .language = language,
         .historyCapacity = static_cast<int>(sampling_.historyCapacity)});

    floatingBar_->layoutPanel();
    handOffToDetails(animated, language);
    if (details_->popover()->isShown() || details_->opening())
        details_->updatePopoverSize(details_->view()->preferredHeight(), animated);
    floatingBar_->refreshStrip();
}

void AppDelegate::handOffToDetails(bool animated, AppLanguage language) {
    handOffToDetails(*details_->view(), nullptr,
                     details_->popover()->isShown() || details_->opening(), animated, language);
}

void AppDelegate::handOffToDetails(DetailView& view, const FloatingPreferences* floating, bool open,
                                   bool animated, AppLanguage language) {
    // Closed, the details take their settings and the device list (so an arrival is dated by its
    // sample) but no reading or login state: nothing is refreshed each second for nobody, and
    // the rebuild that opens them brings the rest before they are measured.
    if (open)
        shownLoginStatus_ = loginStatus();
    const DetailContext context{.language = language,
                                .fanAvailable = sampling_.fanAvailable,
                                .historyCapacity = static_cast<int>(sampling_.historyCapacity),
                                .updateFrequency = updates().frequency(),
                                .loginStatus = shownLoginStatus_,
                                .loginFailed = loginFailed_};
    std::optional<ClosedHandOff>& handed = floating ? floatingHandedOff_ : statusHandedOff_;
    if (open) {
        handed.reset();
    } else {
        const std::vector<ExternalDevice>& devices = sampling_.devicesSnapshot.devices;
        if (handed && handed->settingsRevision == settings_->revision() &&
            handed->context == context && handed->devices == devices)
            return;
        handed = ClosedHandOff{
            .settingsRevision = settings_->revision(), .context = context, .devices = devices};
    }
    DetailReadings readings = open ? detailReadings(sampling_) : view.state().readings;
    if (!open)
        readings.devices = sampling_.devicesSnapshot.devices;
    const StripLook look =
        floating ? withThemeColor(floating->look, prefs().look.modules.colors.color(
                                                      ColorSlot::theme, prefs().normalBlue))
                 : prefs().look;
    view.setState(detailState(look, prefs(), context, std::move(readings)), animated);
}

} // namespace pulsedeck
