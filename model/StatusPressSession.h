#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"

#include <optional>

namespace ui {
class Event;
}

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

    // Where an event happened in global screen space (origin at the primary screen's bottom
    // left): from the window system's own top-left location flipped against the primary screen,
    // else from the event's window, else the pointer's current location (the event's own
    // screen location when there is no application). Main thread only.
    static gfx::Point screenLocation(const ui::Event& event);
};

} // namespace pulsedeck
