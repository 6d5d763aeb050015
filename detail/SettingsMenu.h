#pragma once

#include "detail/LiveSettingsMenu.h"

#include <memory>

namespace pulsedeck {

class DetailView;

// The settings menu for the view's current settings, in its language: launch at login,
// language, appearance, the floating bar, full-screen hiding, updates, the privacy page,
// feedback and quit. Options hold the view weakly: once it is gone they read as unchecked, their
// actions do nothing and the rebuilt menu is empty. The privacy item is enabled only when the
// page's address passed the safe web-link check.
std::shared_ptr<LiveSettingsMenu> makeSettingsMenu(const std::shared_ptr<DetailView>& view,
                                                   bool privacyLinkSafe);

} // namespace pulsedeck
