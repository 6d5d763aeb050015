#pragma once

#include "model/Modules.h"

#include <set>

namespace pulsedeck {

// The floating bar's own settings record, as far as the controller reads it: which modules the
// bar leaves out, and whether it hides while a display shows a full-screen window. The bar's
// loading and saving of the record build on this.
struct FloatingPreferences {
    std::set<ModuleKind> hidden;
    bool hideInFullscreen = false;

    bool operator==(const FloatingPreferences&) const = default;
};

} // namespace pulsedeck
