#pragma once

#include "platform/toolkit/Event.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

// The handle a monitor is removed by.
struct EventMonitorToken {
    std::uint64_t id = 0;
    friend bool operator==(const EventMonitorToken&, const EventMonitorToken&) = default;
};

// A local monitor sees the application's own events before their window does and may replace
// one or swallow it (by returning none); a global monitor sees events of other applications and
// only watches.
using LocalMonitorHandler = std::function<std::optional<Event>(const Event&)>;
using GlobalMonitorHandler = std::function<void(const Event&)>;

class EventMonitors {
public:
    EventMonitorToken addLocal(EventMask mask, LocalMonitorHandler handler);
    EventMonitorToken addGlobal(EventMask mask, GlobalMonitorHandler handler);
    // Unknown or already removed tokens are ignored; safe from inside a handler.
    void remove(EventMonitorToken token);

    // Runs the local monitors for the event in the order they were added; none once one of
    // them swallowed it.
    std::optional<Event> runLocal(const Event& event);
    void runGlobal(const Event& event);

    std::size_t count() const { return monitors_.size(); }

private:
    struct Monitor {
        std::uint64_t id;
        EventMask mask;
        LocalMonitorHandler local;
        GlobalMonitorHandler global;
    };
    std::vector<Monitor> snapshot(bool local) const;
    bool isInstalled(std::uint64_t id) const;

    std::vector<Monitor> monitors_;
    std::uint64_t nextId_ = 1;
};

} // namespace ui
