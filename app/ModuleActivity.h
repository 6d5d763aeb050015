#pragma once

#include "app/Preferences.h"
#include "app/SampleJob.h"
#include "floating/FloatingPreferences.h"

#include <optional>

namespace pulsedeck {

// Whether the floating bar shows a module: a floating mode, the bar's preferences loaded, the
// module not hidden there.
bool isShownFloating(ModuleKind kind, const Preferences& settings,
                     const std::optional<FloatingPreferences>& floating);

// Whether a module must be sampled and recorded: its switch is on, or the floating bar shows it
// (a floating mode, the bar's preferences loaded, the module not hidden there).
bool isModuleActive(ModuleKind kind, const Preferences& settings,
                    const std::optional<FloatingPreferences>& floating);

// isModuleActive for all six modules.
SampleFlags activeModules(const Preferences& settings,
                          const std::optional<FloatingPreferences>& floating);

// The flags a sample is requested with: the active modules, the fan only while the machine has
// fans worth asking for.
SampleFlags requestFlags(const Preferences& settings,
                         const std::optional<FloatingPreferences>& floating, bool fanAvailable);

} // namespace pulsedeck
