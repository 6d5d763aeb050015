#include "platform/system/ServiceConnection.h"

#include "platform/dispatch/Clock.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sys {

namespace {

class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

enum class Outcome { done, unreachable, interrupted };

Outcome connectTo(const Socket& socket, const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& name = path.native();
    if (socket.fd() < 0 || name.empty() || name.size() >= sizeof address.sun_path) {
        return Outcome::unreachable;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    int result;
    do {
        result =
            ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0)
        return Outcome::unreachable;

    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(socket.fd(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 ||
        (peer.uid != 0 && peer.uid != ::getuid())) {
        return Outcome::unreachable;
    }
    return Outcome::done;
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads exactly `size` bytes before `deadline` (uptime seconds).
bool readAll(int fd, char* data, std::size_t size, double deadline) {
    while (size > 0) {
        double left = deadline - dispatch::systemUptime();
        if (left <= 0)
            return false;
        pollfd entry{fd, POLLIN, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(std::ceil(left * 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        ssize_t got = ::recv(fd, data, size, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

std::array<char, 4> frameLength(std::size_t size) {
    auto value = static_cast<std::uint32_t>(size);
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

} // namespace

ServiceConnection::ServiceConnection(std::filesystem::path socketPath, double replyTimeout,
                                     std::size_t replyLimit)
    : socketPath_(std::move(socketPath)), replyTimeout_(replyTimeout), replyLimit_(replyLimit) {}

void ServiceConnection::invalidate() {
    valid_ = false;
    invalidationHandler = nullptr;
    interruptionHandler = nullptr;
}

std::optional<std::string> ServiceConnection::call(std::string_view request) {
    if (!valid_)
        return std::nullopt;
    auto fail = [this](Outcome outcome) -> std::optional<std::string> {
        auto& handler = outcome == Outcome::unreachable ? invalidationHandler : interruptionHandler;
        if (handler)
            handler();
        return std::nullopt;
    };
    if (request.size() > 0xFFFFFFFFu)
        return fail(Outcome::interrupted);

    Socket socket;
    if (Outcome outcome = connectTo(socket, socketPath_); outcome != Outcome::done) {
        return fail(outcome);
    }
    auto header = frameLength(request.size());
    if (!writeAll(socket.fd(), header.data(), header.size()) ||
        !writeAll(socket.fd(), request.data(), request.size())) {
        return fail(Outcome::interrupted);
    }

    const double deadline = dispatch::systemUptime() + replyTimeout_;
    std::array<unsigned char, 4> length{};
    if (!readAll(socket.fd(), reinterpret_cast<char*>(length.data()), length.size(), deadline)) {
        return fail(Outcome::interrupted);
    }
    std::size_t size = (std::size_t{length[0]} << 24) | (std::size_t{length[1]} << 16) |
                       (std::size_t{length[2]} << 8) | length[3];
    if (size > replyLimit_)
        return fail(Outcome::interrupted);
    std::string reply(size, '\0');
    if (!readAll(socket.fd(), reply.data(), size, deadline))
        return fail(Outcome::interrupted);
    return reply;
}

} // namespace sys
