#include "platform/toolkit/EventMonitors.h"

#include <algorithm>

namespace ui {

EventMonitorToken EventMonitors::addLocal(EventMask mask, LocalMonitorHandler handler) {
    const std::uint64_t id = nextId_++;
    monitors_.push_back({id, mask, std::move(handler), {}});
    return {id};
}

EventMonitorToken EventMonitors::addGlobal(EventMask mask, GlobalMonitorHandler handler) {
    const std::uint64_t id = nextId_++;
    monitors_.push_back({id, mask, {}, std::move(handler)});
    return {id};
}

void EventMonitors::remove(EventMonitorToken token) {
    std::erase_if(monitors_, [&](const Monitor& monitor) { return monitor.id == token.id; });
}

std::vector<EventMonitors::Monitor> EventMonitors::snapshot(bool local) const {
    std::vector<Monitor> chosen;
    for (const Monitor& monitor : monitors_) {
        if (local ? bool(monitor.local) : bool(monitor.global))
            chosen.push_back(monitor);
    }
    return chosen;
}

bool EventMonitors::isInstalled(std::uint64_t id) const {
    return std::any_of(monitors_.begin(), monitors_.end(),
                       [&](const Monitor& monitor) { return monitor.id == id; });
}

// Handlers may add or remove monitors, so each pass walks a copy and skips what was removed.
std::optional<Event> EventMonitors::runLocal(const Event& event) {
    std::optional<Event> current = event;
    for (const Monitor& monitor : snapshot(true)) {
        if (!current->matches(monitor.mask) || !isInstalled(monitor.id))
            continue;
        current = monitor.local(*current);
        if (!current)
            return std::nullopt;
    }
    return current;
}

void EventMonitors::runGlobal(const Event& event) {
    for (const Monitor& monitor : snapshot(false)) {
        if (event.matches(monitor.mask) && isInstalled(monitor.id))
            monitor.global(event);
    }
}

} // namespace ui
