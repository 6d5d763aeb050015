#pragma once

#include "app/Preferences.h"
#include "floating/FloatingPreferences.h"

namespace pulsedeck {

// How the floating bar's settings and the main settings pass into each other. The theme colour
// belongs to the main settings alone; the bar's appearance, opacity, presentation, collapsed
// sections and full-screen hiding belong to the bar alone.

// The bar's settings before it has stored any: the main strip's look, with the standard
// presentation and no collapsed sections.
FloatingPreferences floatingFallback(const Preferences& main);

// On detaching, the bar takes over the strip's modules and styles.
void seedFloating(FloatingPreferences& floating, const Preferences& main);

// On returning from detached to the menu bar, the strip takes over the bar's modules and styles.
void returnFloatingToMain(const FloatingPreferences& floating, Preferences& main);

} // namespace pulsedeck
