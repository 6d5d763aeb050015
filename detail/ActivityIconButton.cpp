#include "detail/ActivityIconButton.h"

namespace pulsedeck {

ActivityIconButton::ActivityIconButton(const gfx::Rect& frame, ActivityMonitorLocator locator)
    : SettingsIconButton(frame), locator_(std::move(locator)) {
    if (locator_.applicationURL)
        applicationURL_ = locator_.applicationURL();
    refreshIcon();
}

void ActivityIconButton::refreshIcon() {
    if (!applicationURL_ || !locator_.icon)
        return;
    auto icon = locator_.icon(*applicationURL_, effectiveAppearance());
    if (!icon)
        return;
    gfx::Image sized = icon->withSize(iconSize);
    sized.setTemplate(false);
    setImage(sized);
}

void ActivityIconButton::viewDidChangeEffectiveAppearance() {
    refreshIcon();
    setNeedsDisplay(true);
}

} // namespace pulsedeck
