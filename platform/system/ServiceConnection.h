#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// A connection to another program's service, which listens on a Unix stream socket. A call is
// one request and one reply, each framed as a 4-byte big-endian length and that many bytes; the
// peer must run as this user or as root. Calls block (for at most the reply timeout), so make
// them from a queue of their own. Not thread-safe: one queue owns the connection.
class ServiceConnection {
public:
    static constexpr double defaultReplyTimeout = 2.0;
    static constexpr std::size_t defaultReplyLimit = 1 << 20;

    explicit ServiceConnection(std::filesystem::path socketPath,
                               double replyTimeout = defaultReplyTimeout,
                               std::size_t replyLimit = defaultReplyLimit);
    ServiceConnection(const ServiceConnection&) = delete;
    ServiceConnection& operator=(const ServiceConnection&) = delete;

    // Called from inside call(), on the calling thread, when the service cannot be reached
    // (nothing listens, or the peer is another user). A handler must not destroy the connection.
    std::function<void()> invalidationHandler;
    // Called when the service was reached but went away, stalled or answered out of frame.
    std::function<void()> interruptionHandler;

    // The reply, or nothing after one of the handlers ran. After invalidate() every call fails
    // without a handler.
    std::optional<std::string> call(std::string_view request);

    void invalidate();
    bool isValid() const { return valid_; }

    const std::filesystem::path& socketPath() const { return socketPath_; }

private:
    std::filesystem::path socketPath_;
    double replyTimeout_;
    std::size_t replyLimit_;
    bool valid_ = true;
};

} // namespace sys
