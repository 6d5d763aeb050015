#include "platform/foundation/SingleInstance.h"

#include "platform/foundation/DisplayName.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace foundation {
namespace {

// The request's answer: the running copy has taken it.
constexpr char answer = '!';
// Room for an abstract name: the address's path less its leading zero byte.
constexpr std::size_t longestName = sizeof(sockaddr_un::sun_path) - 1;

// Closes the descriptor on every path out.
class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string fileNameSafe(std::string_view text) {
    std::string safe;
    for (char c : text) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-';
        safe += plain ? c : '_';
    }
    return safe;
}

// FNV-1a: a stable hash, the same in every build and process.
std::string hashText(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (unsigned char c : text)
        hash = (hash ^ c) * 0x100000001b3u;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

struct AbstractAddress {
    sockaddr_un address{};
    socklen_t length = 0;
};

AbstractAddress addressOf(const std::string& name) {
    AbstractAddress result;
    result.address.sun_family = AF_UNIX;
    // sun_path[0] stays zero: the abstract namespace. The length, not a terminator, ends the name.
    std::memcpy(result.address.sun_path + 1, name.data(), name.size());
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return result;
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

} // namespace

std::string SingleInstance::nameFor(std::string_view identifier, std::string_view display) {
    char hostName[256] = {};
    ::gethostname(hostName, sizeof hostName - 1);
    const auto prefix = fileNameSafe(identifier) + "-" + std::to_string(::getuid()) + "-";
    const auto server = fileNameSafe(displayServerKey(display, hostName));
    auto name = prefix + server;
    if (name.size() > longestName)
        name = prefix.substr(0, longestName - 17) + "-" + hashText(prefix + server);
    return name;
}

SingleInstance SingleInstance::claim(std::string_view identifier, std::string_view display) {
    auto name = nameFor(identifier, display);
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return SingleInstance(Outcome::unavailable, std::move(name), -1);
    const auto address = addressOf(name);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address.address), address.length) !=
        0)
        return SingleInstance(errno == EADDRINUSE ? Outcome::heldElsewhere : Outcome::unavailable,
                              std::move(name), -1);
    // Listening at once: a start that comes while this copy is still starting waits in the
    // backlog until the loop serves it.
    if (::listen(socket.get(), 8) != 0)
        return SingleInstance(Outcome::unavailable, std::move(name), -1);
    return SingleInstance(Outcome::acquired, std::move(name), socket.release());
}

SingleInstance::~SingleInstance() {
    release();
}

void SingleInstance::release() {
    source_.reset();
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
}

void SingleInstance::serveReopenRequests(dispatch::RunLoop& loop,
                                         std::function<void()> reopenAction) {
    if (fd_ < 0)
        return;
    reopenAction_ = std::move(reopenAction);
    source_ = loop.addSource(
        fd_, POLLIN, [this](short) { accept(); },
        dispatch::RunLoopModes{dispatch::RunLoopMode::defaultMode});
}

void SingleInstance::accept() {
    while (true) {
        Socket peer(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (peer.get() < 0)
            return;
        // Any local process can connect to an abstract name; only the user's own may ask.
        ucred credentials{};
        socklen_t length = sizeof credentials;
        if (::getsockopt(peer.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
            credentials.uid != ::getuid())
            continue;
        // The answer fits any socket buffer; a peer that has gone is no concern.
        (void)::send(peer.get(), &answer, 1, MSG_NOSIGNAL);
        if (reopenAction_)
            reopenAction_();
    }
}

SingleInstance::ReopenAnswer
SingleInstance::requestReopen(std::chrono::milliseconds timeout) const {
    const auto address = addressOf(name_);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (socket.get() < 0)
            return ReopenAnswer::noAnswer;
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address.address),
                      address.length) == 0) {
            // The listener's credentials, as they were when it began to listen.
            ucred credentials{};
            socklen_t length = sizeof credentials;
            if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
                return ReopenAnswer::noAnswer;
            if (credentials.uid != ::getuid())
                return ReopenAnswer::heldByAnotherUser;
            pollfd ready{socket.get(), POLLIN, 0};
            if (::poll(&ready, 1, millisecondsUntil(deadline)) <= 0)
                return ReopenAnswer::noAnswer;
            char received = 0;
            return ::recv(socket.get(), &received, 1, 0) == 1 && received == answer
                       ? ReopenAnswer::answered
                       : ReopenAnswer::noAnswer;
        }
        // Bound but not listening yet, or a full backlog.
        if (std::chrono::steady_clock::now() >= deadline)
            return ReopenAnswer::noAnswer;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min(50, millisecondsUntil(deadline))));
    }
}

} // namespace foundation
