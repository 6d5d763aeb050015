#pragma once

#include "model/Modules.h"

#include <optional>

namespace pulsedeck {

// What a click on the status item does to the detail popover.
struct StatusClickOutcome {
    enum class Action {
        open,    // show the popover, focused on `module` when there is one
        refocus, // keep it shown and focus on `module`
        close,
    };

    Action action = Action::close;
    std::optional<ModuleKind> module;

    bool operator==(const StatusClickOutcome&) const = default;
};

// Shown popover: a click on another module (or on any while none has priority) refocuses; a click
// on the prioritised module or beside every module closes. Hidden popover: it opens.
StatusClickOutcome resolveStatusClick(bool popoverShown, std::optional<ModuleKind> priority,
                                      std::optional<ModuleKind> clicked);

} // namespace pulsedeck
