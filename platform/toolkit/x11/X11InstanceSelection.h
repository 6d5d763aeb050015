#pragma once

#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct xcb_connection_t;

namespace ui::x11 {

// Which copy of a program runs for a user on one screen of an X server, decided on the server
// itself, as X11 programs that must be one per screen do: the copy that runs owns a selection
// named after the identifier, the user and the screen ("<identifier>_U<uid>_S<screen>"). Copies
// that cannot see one another's sockets (another network namespace) or whose socket name another
// user has taken still meet there.
//
// Ownership follows the manager-selection convention: taken with a time stamp the server gave
// (a zero-length property change, never CurrentTime), only while nobody owns it, checked after it
// is set, and announced with a MANAGER client message to the root window. Checking and setting
// happen under a server grab, so of copies started together exactly one owns it. The server frees
// it the moment the owner's connection ends, however its process ends. A client that takes it
// from the owner anyway gets it taken back, at once and then at most once a second, so it stays
// the owner's while the owner serves.
//
// A later copy asks the owner to reopen by converting the selection to the REOPEN target, which
// the owner answers as the convention answers a target with a side effect (an empty property of
// type NULL) before it acts; it also answers TARGETS and TIMESTAMP and refuses anything else.
//
// The claim holds an XCB connection of its own for as long as it lives, so no Xlib state is
// shared with the window server and nothing it does can end the process. Every wait is bounded,
// a stopped X server included.
class X11InstanceSelection {
public:
    enum class Outcome {
        // This copy owns the selection.
        acquired,
        // Another client owns it: ask it to reopen, and quit.
        heldElsewhere,
        // The display could not be reached, or did not answer within the bound: nothing is known
        // of other copies.
        unavailable,
    };

    // `display` as DISPLAY gives it; each step waits at most `timeout` for the server.
    static std::unique_ptr<X11InstanceSelection> claim(const std::string& display,
                                                       std::string_view identifier,
                                                       std::chrono::milliseconds timeout);

    ~X11InstanceSelection();
    X11InstanceSelection(const X11InstanceSelection&) = delete;
    X11InstanceSelection& operator=(const X11InstanceSelection&) = delete;

    Outcome outcome() const { return outcome_; }
    const std::string& name() const { return name_; }

    // For the owner: calls `reopenAction` on `loop`'s thread, in its default mode, for each
    // request, until this object goes. Requests made before wait on the server.
    void serveReopenRequests(dispatch::RunLoop& loop, std::function<void()> reopenAction);

    // For a copy that found the selection owned: asks the owner to reopen and waits at most
    // `timeout` for its answer; true when it took the request.
    bool requestReopen(std::chrono::milliseconds timeout);

private:
    struct Atoms;
    X11InstanceSelection(xcb_connection_t* connection, std::string name);
    bool connect(int screenNumber, std::chrono::steady_clock::time_point deadline);
    Outcome take(std::chrono::steady_clock::time_point deadline);
    std::optional<std::uint32_t> serverTime(std::chrono::steady_clock::time_point deadline);
    void drainEvents();
    void answer(const void* request);
    // Owns the selection from `time` on, and says so on the root window.
    void owned(std::uint32_t time);
    // Takes back the selection that a client took: at once, or a second after the last time.
    void retakeSoon();
    void retake(std::uint32_t time);

    xcb_connection_t* connection_;
    std::string name_;
    Outcome outcome_ = Outcome::unavailable;
    std::unique_ptr<Atoms> atoms_;
    std::uint32_t root_ = 0;
    std::uint32_t window_ = 0;
    // The server time ownership was taken at (or, for a copy that asks, of its claim).
    std::uint32_t time_ = 0;
    bool owned_ = false;
    // While a time stamp to take the selection back with is on its way.
    bool retaking_ = false;
    bool theftSaid_ = false;
    std::chrono::steady_clock::time_point lastRetake_{};
    dispatch::RunLoop* loop_ = nullptr;
    std::function<void()> reopenAction_;
    dispatch::RunLoop::Registration source_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ui::x11
