#include "platform/foundation/ReopenChannel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace foundation {
namespace {

// The request's answer: the running copy has taken it.
constexpr char answer = '!';

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
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::optional<sockaddr_un> addressOf(const std::filesystem::path& socketPath) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto& text = socketPath.native();
    if (text.empty() || text.size() >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

int milliseconds(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

} // namespace

std::unique_ptr<ReopenListener> ReopenListener::listen(const std::filesystem::path& socketPath,
                                                       dispatch::RunLoop& loop,
                                                       std::function<void()> reopenAction) {
    auto address = addressOf(socketPath);
    if (!address)
        return nullptr;
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return nullptr;
    ::unlink(socketPath.c_str());
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(socket.get(), 8) != 0)
        return nullptr;
    ::chmod(socketPath.c_str(), 0600);
    std::unique_ptr<ReopenListener> listener(
        new ReopenListener(socketPath, socket.release(), std::move(reopenAction)));
    auto* self = listener.get();
    listener->source_ = loop.addSource(
        listener->fd_, POLLIN, [self](short) { self->accept(); },
        dispatch::RunLoopModes{dispatch::RunLoopMode::defaultMode});
    return listener;
}

ReopenListener::ReopenListener(std::filesystem::path socketPath, int fd,
                               std::function<void()> reopenAction)
    : socketPath_(std::move(socketPath)), fd_(fd), reopenAction_(std::move(reopenAction)) {}

ReopenListener::~ReopenListener() {
    source_.reset();
    ::close(fd_);
    ::unlink(socketPath_.c_str());
}

void ReopenListener::accept() {
    while (true) {
        Socket peer(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (peer.get() < 0)
            return;
        // The folder is the user's own, but only the user's own programs may ask.
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

bool requestReopen(const std::filesystem::path& socketPath, std::chrono::milliseconds timeout) {
    auto address = addressOf(socketPath);
    if (!address)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (socket.get() < 0)
            return false;
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&*address),
                      sizeof *address) == 0) {
            pollfd ready{socket.get(), POLLIN, 0};
            if (::poll(&ready, 1, milliseconds(deadline)) <= 0)
                return false;
            char received = 0;
            return ::recv(socket.get(), &received, 1, 0) == 1 && received == answer;
        }
        // Not listening yet (no socket, or one left by a copy that died), or a full backlog.
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min(50, milliseconds(deadline))));
    }
}

} // namespace foundation
