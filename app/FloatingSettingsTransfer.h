#pragma once

#include "app/Preferences.h"
#include "floating/FloatingPreferences.h"
#include "platform/foundation/PropertyValue.h"

#include <string_view>
#include <utility>
#include <vector>

namespace pulsedeck {

// How the floating bar's settings and the main settings pass into each other. The theme colour
// belongs to the main settings alone; the bar's appearance, opacity, presentation, collapsed
// sections and full-screen hiding belong to the bar alone.

// The bar's settings before it has stored any: the main strip's look, with the standard
// presentation and no collapsed sections.
FloatingPreferences floatingFallback(const Preferences& main);

// On detaching, the bar takes over the strip's modules and styles.
void seedFloating(FloatingPreferences& floating, const Preferences& main);

// One user default to write, with its value.
using PreferenceEntry = std::pair<std::string_view, foundation::PropertyValue>;

// On returning from detached to the menu bar, the strip takes over the bar's modules and styles:
// `main` changes in place, and the 18 defaults come back in the order they are to be written.
std::vector<PreferenceEntry> returnFloatingToMain(const FloatingPreferences& floating,
                                                  Preferences& main);

} // namespace pulsedeck
