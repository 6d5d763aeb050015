#pragma once

#include "model/Localization.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <memory>

namespace pulsedeck {

// The settings menu. While it stays open it replaces its items with a fresh copy from `rebuild`
// when an option changes. This edition offers only Quit; the settings grow into it.
class LiveSettingsMenu : public ui::Menu {
public:
    LiveSettingsMenu();

    // Builds a fresh copy of the menu for the current settings.
    std::function<std::shared_ptr<ui::Menu>()> rebuild;

    // The menu for `language`: Quit (Command-Q), which terminates the shared application.
    static std::shared_ptr<LiveSettingsMenu> make(AppLanguage language);
};

} // namespace pulsedeck
