#pragma once

#include "app/SettingsStore.h"
#include "detail/LiveSettingsMenu.h"
#include "model/Localization.h"

#include <functional>
#include <memory>

namespace pulsedeck {

// What the floating bar's context menu asks of its owner.
struct FloatingBarMenuHooks {
    std::function<bool()> fanAvailable;
    // The bar's own appearance, which the menu shows in.
    std::function<gfx::Appearance()> appearance;
    std::function<void()> closeBar;
};

// The floating bar's context menu: its opacity row, appearance, level, modules, feedback and
// close. Every choice goes to the store, and the open menu follows the store; its owner sets
// `rebuild`. The bar's record must be loaded.
std::shared_ptr<LiveSettingsMenu> makeFloatingBarMenu(const std::shared_ptr<SettingsStore>& store,
                                                      const FloatingBarMenuHooks& hooks);

} // namespace pulsedeck
