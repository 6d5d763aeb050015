#pragma once

#include "platform/dispatch/RunLoop.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// One kernel device event: "add", "remove", "change", "bind", ... of a device path.
struct Uevent {
    std::string action;
    std::string devicePath;
    std::string subsystem;
    std::string deviceType;
    // DISK_MEDIA_CHANGE=1: a card went into or out of a reader whose disk stays.
    bool mediaChange = false;
    // Not a device's event: the socket's queue overflowed and events before this one were lost,
    // so any device may have come or gone.
    bool eventsLost = false;

    bool operator==(const Uevent&) const = default;

    // A device appeared or went away: a USB device, a block device (disk or partition), a
    // Thunderbolt switch, or the medium of a card reader.
    bool isDeviceArrivalOrRemoval() const;
};

// Whether the kernel broadcasts device events into this process's network namespace: it does
// so only for namespaces the initial user namespace owns. A socket elsewhere (a rootless
// container with a network of its own) opens fine and never hears a thing.
bool kernelDeviceEventsReachUs();

// One kernel uevent datagram: "ACTION@DEVPATH" followed by NUL-separated KEY=VALUE fields.
// Empty for anything else (udev's own re-broadcasts included, which start with "libudev").
std::optional<Uevent> parseUevent(std::string_view datagram);

// Hot-plug notifications: reads device events from a datagram socket on a run loop and hands
// each one to the handler on that loop's thread.
//
// Linux backing: the kernel's uevent broadcast (a NETLINK_KOBJECT_UEVENT socket joined to the
// kernel's multicast group). Tests hand in one end of a socketpair instead. A receive queue that
// overflowed is handed on as one event with `eventsLost`.
class UeventMonitor {
public:
    using Handler = std::function<void(const Uevent&)>;

    // The kernel's broadcast on `loop`; nothing when the socket cannot be opened or the kernel
    // sends this process no device events (see kernelDeviceEventsReachUs).
    static std::unique_ptr<UeventMonitor> openKernel(dispatch::RunLoop& loop, Handler handler);
    // Events from a datagram socket the monitor takes over (and closes).
    static std::unique_ptr<UeventMonitor> adopt(int socket, dispatch::RunLoop& loop,
                                                Handler handler);

    ~UeventMonitor();
    UeventMonitor(const UeventMonitor&) = delete;
    UeventMonitor& operator=(const UeventMonitor&) = delete;

private:
    UeventMonitor(int socket, dispatch::RunLoop& loop, Handler handler);
    void drain();

    int socket_;
    Handler handler_;
    dispatch::RunLoop::Registration registration_;
};

} // namespace sys
