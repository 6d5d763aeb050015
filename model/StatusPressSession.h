#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"

#include <optional>

namespace pulsedeck {

// A press on the status strip that has not yet become a click or a drag. Times are uptime
// seconds, the clock of event time stamps.
struct StatusPressSession {
    struct Pending {
        gfx::Point point;
        std::optional<ModuleKind> kind;
        double started = 0;

        bool operator==(const Pending&) const = default;
    };

    std::optional<Pending> pending;
    // When the last press that activated something began or ended, whichever is later; a new
    // press counts only when none is pending and it is later than this.
    double lastActivationTime = 0;

    bool operator==(const StatusPressSession&) const = default;
};

} // namespace pulsedeck
