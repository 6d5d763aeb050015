#include "model/StatusClick.h"

namespace pulsedeck {

StatusClickOutcome resolveStatusClick(bool popoverShown, std::optional<ModuleKind> priority,
                                      std::optional<ModuleKind> clicked) {
    using Action = StatusClickOutcome::Action;
    if (!popoverShown) {
        return {Action::open, clicked};
    }
    if (clicked && (!priority || *clicked != *priority)) {
        return {Action::refocus, clicked};
    }
    return {Action::close, std::nullopt};
}

} // namespace pulsedeck
