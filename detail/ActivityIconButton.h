#pragma once

#include "detail/ActivityMonitorLocator.h"
#include "detail/SettingsIconButton.h"

#include <optional>
#include <string>

namespace pulsedeck {

// The detail view's button that shows the desktop's process monitor's icon at 16 × 16, with the
// gear button's hover highlight and cursor; its action (set by the owner) opens the application.
// The application is looked up once, when the button is made; without one the button shows no
// image. The icon is loaded again in the new appearance whenever the appearance changes.
class ActivityIconButton : public SettingsIconButton {
public:
    static constexpr gfx::Size iconSize{16, 16};

    explicit ActivityIconButton(const gfx::Rect& frame,
                                ActivityMonitorLocator locator = ActivityMonitorLocator::desktop());

    const std::optional<std::string>& applicationURL() const { return applicationURL_; }
    // Loads the application's icon, in the button's appearance, into the button.
    void refreshIcon();

protected:
    void viewDidChangeEffectiveAppearance() override;

private:
    ActivityMonitorLocator locator_;
    std::optional<std::string> applicationURL_;
};

} // namespace pulsedeck
