#pragma once

#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace foundation {

// Which copy of a program started by one user on one X server keeps running, and how a later
// start reaches it. The copy that runs listens on a Unix stream socket under an abstract name
// (no file anywhere) made only of the identifier, the user's id and the server the display name
// reaches (DisplayName.h): every start finds the same name whatever its environment (runtime
// folder, home, working folder). Binding a name is atomic, so of two copies started together
// exactly one gets it; the kernel frees it the moment its process ends, however it ends. Each
// connection from the same user is one request to reopen, answered with one byte.
//
// Abstract names belong to the network namespace: copies in sandboxes with a network of their
// own do not see one another, and any user may bind a name first; the X server's selection
// (X11InstanceSelection.h) settles both. The socket is close-on-exec, so a spawned program never
// holds the name. No step waits without a bound.
class SingleInstance {
public:
    enum class Outcome {
        // This copy holds the name.
        acquired,
        // Another process holds it: ask it to reopen, and quit.
        heldElsewhere,
        // No socket could be made (no descriptors left): nothing is known of other copies.
        unavailable,
    };

    enum class ReopenAnswer {
        // The running copy took the request.
        answered,
        // Nothing answered within the bound (a copy that hangs, or has just ended).
        noAnswer,
        // The name is held by a process of another user: not a copy of ours.
        heldByAnotherUser,
    };

    // The abstract name (without its leading zero byte) for `identifier` and the display name
    // `display`; a name too long for a socket address keeps a hash of its server part instead.
    static std::string nameFor(std::string_view identifier, std::string_view display);

    static SingleInstance claim(std::string_view identifier, std::string_view display);

    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Outcome outcome() const { return outcome_; }
    const std::string& name() const { return name_; }

    // For the copy that holds the name: calls `reopenAction` on `loop`'s thread, in its default
    // mode, for each request, until this object goes. Requests made before are kept waiting.
    void serveReopenRequests(dispatch::RunLoop& loop, std::function<void()> reopenAction);

    // For a copy that found the name held: asks the holder to reopen and waits at most `timeout`
    // for its answer. Any thread.
    ReopenAnswer requestReopen(std::chrono::milliseconds timeout) const;

    // Gives the name up now, so a copy started from here on runs; serving ends with it.
    void release();

private:
    SingleInstance(Outcome outcome, std::string name, int fd)
        : outcome_(outcome), name_(std::move(name)), fd_(fd) {}
    void accept();

    const Outcome outcome_;
    const std::string name_;
    // The listening socket while the name is held.
    int fd_;
    std::function<void()> reopenAction_;
    dispatch::RunLoop::Registration source_;
};

} // namespace foundation
