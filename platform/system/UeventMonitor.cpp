#include "platform/system/UeventMonitor.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/nsfs.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace sys {

namespace {

// The kernel's own broadcast group (udev re-broadcasts on group 2).
constexpr unsigned kernelGroup = 1;
// A uevent is at most a few kilobytes (UEVENT_BUFFER_SIZE is 2048).
constexpr std::size_t datagramLimit = 8192;
// Enough to absorb a burst (a dock with a dozen devices) without flooding the loop.
constexpr int receiveBufferBytes = 256 * 1024;
// The inode every kernel gives the initial user namespace (PROC_USER_INIT_INO).
constexpr ino_t initialUserNamespace = 0xEFFFFFFD;

class NamespaceHandle {
public:
    explicit NamespaceHandle(int fd) : fd_(fd) {}
    ~NamespaceHandle() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    NamespaceHandle(const NamespaceHandle&) = delete;
    NamespaceHandle& operator=(const NamespaceHandle&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

bool kernelDeviceEventsReachUs() {
    const NamespaceHandle network(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
    if (network.fd() < 0) {
        return false;
    }
    const NamespaceHandle owner(::ioctl(network.fd(), NS_GET_USERNS));
    struct stat status {};
    return owner.fd() >= 0 && ::fstat(owner.fd(), &status) == 0 &&
           status.st_ino == initialUserNamespace;
}

bool Uevent::isDeviceArrivalOrRemoval() const {
    if (action == "change") {
        return subsystem == "block" && mediaChange;
    }
    if (action != "add" && action != "remove") {
        return false;
    }
    if (subsystem == "usb") {
        return deviceType == "usb_device";
    }
    return subsystem == "block" || subsystem == "thunderbolt";
}

std::optional<Uevent> parseUevent(std::string_view datagram) {
    const auto headerEnd = datagram.find('\0');
    const std::string_view header = datagram.substr(0, headerEnd);
    const auto at = header.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 >= header.size()) {
        return std::nullopt;
    }
    Uevent event;
    event.action = std::string(header.substr(0, at));
    event.devicePath = std::string(header.substr(at + 1));
    std::string_view rest =
        headerEnd == std::string_view::npos ? std::string_view() : datagram.substr(headerEnd + 1);
    while (!rest.empty()) {
        const auto end = rest.find('\0');
        const std::string_view field = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (field.starts_with("SUBSYSTEM=")) {
            event.subsystem = std::string(field.substr(10));
        } else if (field.starts_with("DEVTYPE=")) {
            event.deviceType = std::string(field.substr(8));
        } else if (field.starts_with("ACTION=")) {
            event.action = std::string(field.substr(7));
        } else if (field == "DISK_MEDIA_CHANGE=1") {
            event.mediaChange = true;
        }
    }
    return event;
}

std::unique_ptr<UeventMonitor> UeventMonitor::openKernel(dispatch::RunLoop& loop, Handler handler) {
    if (!kernelDeviceEventsReachUs()) {
        return nullptr;
    }
    const int fd =
        ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        return nullptr;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kernelGroup;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return nullptr;
    }
    return adopt(fd, loop, std::move(handler));
}

std::unique_ptr<UeventMonitor> UeventMonitor::adopt(int socket, dispatch::RunLoop& loop,
                                                    Handler handler) {
    if (socket < 0) {
        return nullptr;
    }
    return std::unique_ptr<UeventMonitor>(new UeventMonitor(socket, loop, std::move(handler)));
}

UeventMonitor::UeventMonitor(int socket, dispatch::RunLoop& loop, Handler handler)
    : socket_(socket), handler_(std::move(handler)) {
    registration_ = loop.addSource(socket_, POLLIN, [this](short) { drain(); });
}

UeventMonitor::~UeventMonitor() {
    // The loop must stop watching the descriptor before it is closed and possibly reused.
    registration_.reset();
    ::close(socket_);
}

void UeventMonitor::drain() {
    // Everything waiting is read before any handler runs: a handler may end the monitor.
    std::vector<Uevent> events;
    std::array<char, datagramLimit> buffer;
    for (;;) {
        const ssize_t received = ::recv(socket_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (received < 0 && errno == ENOBUFS) {
            Uevent lost;
            lost.eventsLost = true;
            events.push_back(std::move(lost));
            continue;
        }
        if (received <= 0) {
            break;
        }
        if (auto event = parseUevent(std::string_view(buffer.data(), received)); event) {
            events.push_back(std::move(*event));
        }
    }
    const Handler handler = handler_;
    for (const Uevent& event : events) {
        if (handler) {
            handler(event);
        }
    }
}

} // namespace sys
