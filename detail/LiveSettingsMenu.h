#pragma once

#include "platform/graphics/Appearance.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <memory>

namespace pulsedeck {

// A menu that can build a fresh copy of itself from the live settings: an option that returns to
// this menu shows that copy in its place (the new texts and items included).
class LiveSettingsMenu : public ui::Menu {
public:
    explicit LiveSettingsMenu(std::string title = {});

    // Set by whoever builds the menu.
    std::function<std::shared_ptr<ui::Menu>()> rebuild;
    // The appearance of what the menu shows over (the app's, the floating bar's), read when a
    // fresh copy shows: a choice in the menu may just have changed it, and it may differ from
    // the desktop's. The desktop's when unset.
    std::function<gfx::Appearance()> appearance;
};

} // namespace pulsedeck
