#include "platform/toolkit/x11/X11InstanceSelection.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

namespace ui::x11 {

struct X11InstanceSelection::Atoms {
    xcb_atom_t selection = XCB_NONE, manager = XCB_NONE, targets = XCB_NONE, timestamp = XCB_NONE,
               reopen = XCB_NONE, null = XCB_NONE;
};

namespace {

using Deadline = std::chrono::steady_clock::time_point;

// How often ownership is tried again when another client changed the selection after the time
// stamp this copy took (a newer stamp is taken each time).
constexpr int attempts = 3;
// The least time between two takings back of the selection from a client that took it, so one
// that takes it again each time is no tight loop; and the longest wait for the server to say
// whether a taking back held.
constexpr std::chrono::seconds retakeInterval{1};

template <typename T> struct Freed {
    void operator()(T* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, Freed<T>>;

int millisecondsUntil(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
}

// Waits for the connection to bring something, at most until `deadline`; false when it did not
// or the connection is gone.
bool waitForInput(xcb_connection_t* connection, Deadline deadline) {
    if (xcb_connection_has_error(connection))
        return false;
    pollfd ready{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (true) {
        const int result = ::poll(&ready, 1, millisecondsUntil(deadline));
        if (result >= 0 || errno != EINTR)
            return result > 0;
    }
}

// The reply to the request `sequence`, or nothing when it is an error, the connection is gone
// or it did not come by `deadline`.
template <typename T>
Reply<T> replyTo(xcb_connection_t* connection, unsigned sequence, Deadline deadline) {
    while (true) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(connection, sequence, &reply, &error)) {
            std::free(error);
            return Reply<T>(static_cast<T*>(reply));
        }
        if (!waitForInput(connection, deadline))
            return nullptr;
    }
}

// The first event `wanted` takes, or nothing by `deadline`; the events before it are dropped.
Reply<xcb_generic_event_t> eventWhere(xcb_connection_t* connection, Deadline deadline,
                                      const std::function<bool(xcb_generic_event_t&)>& wanted) {
    while (true) {
        while (auto* event = xcb_poll_for_event(connection)) {
            Reply<xcb_generic_event_t> kept(event);
            if (wanted(*kept))
                return kept;
        }
        if (!waitForInput(connection, deadline))
            return nullptr;
    }
}

std::uint8_t kindOf(const xcb_generic_event_t& event) {
    return event.response_type & 0x7f;
}

} // namespace

X11InstanceSelection::X11InstanceSelection(xcb_connection_t* connection, std::string name)
    : connection_(connection), name_(std::move(name)), atoms_(std::make_unique<Atoms>()) {}

X11InstanceSelection::~X11InstanceSelection() {
    source_.reset();
    // Ends the connection without waiting on the server: the server then frees the selection
    // and the window.
    xcb_disconnect(connection_);
}

std::unique_ptr<X11InstanceSelection>
X11InstanceSelection::claim(const std::string& display, std::string_view identifier,
                            std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int screenNumber = 0;
    auto* connection = xcb_connect(display.c_str(), &screenNumber);
    const auto name = std::string(identifier) + "_U" + std::to_string(::getuid()) + "_S" +
                      std::to_string(screenNumber);
    std::unique_ptr<X11InstanceSelection> claimed(new X11InstanceSelection(connection, name));
    if (xcb_connection_has_error(connection))
        return claimed;
    // No descriptor of ours may leak into the programs this one starts.
    ::fcntl(xcb_get_file_descriptor(connection), F_SETFD, FD_CLOEXEC);
    if (claimed->connect(screenNumber, deadline))
        claimed->outcome_ = claimed->take(deadline);
    return claimed;
}

bool X11InstanceSelection::connect(int screenNumber, Deadline deadline) {
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem <= 0)
        return false;
    root_ = screens.data->root;

    const std::pair<xcb_atom_t*, std::string_view> names[] = {
        {&atoms_->selection, name_},   {&atoms_->manager, "MANAGER"},
        {&atoms_->targets, "TARGETS"}, {&atoms_->timestamp, "TIMESTAMP"},
        {&atoms_->reopen, "REOPEN"},   {&atoms_->null, "NULL"},
    };
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const auto& [atom, text] : names)
        cookies.push_back(
            xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(text.size()), text.data()));
    // Never shown; it carries the selection, the time stamps and the answers.
    window_ = xcb_generate_id(connection_);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, root_, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_flush(connection_);
    for (std::size_t i = 0; i < cookies.size(); ++i) {
        const auto reply =
            replyTo<xcb_intern_atom_reply_t>(connection_, cookies[i].sequence, deadline);
        if (!reply)
            return false;
        *names[i].first = reply->atom;
    }
    return true;
}

std::optional<std::uint32_t> X11InstanceSelection::serverTime(Deadline deadline) {
    // A change of nothing to a property of our own: its notice carries the server's time.
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, atoms_->selection,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection_);
    const auto notice = eventWhere(connection_, deadline, [&](xcb_generic_event_t& event) {
        const auto& property = reinterpret_cast<xcb_property_notify_event_t&>(event);
        return kindOf(event) == XCB_PROPERTY_NOTIFY && property.window == window_ &&
               property.atom == atoms_->selection;
    });
    if (!notice)
        return std::nullopt;
    return reinterpret_cast<xcb_property_notify_event_t*>(notice.get())->time;
}

X11InstanceSelection::Outcome X11InstanceSelection::take(Deadline deadline) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const auto time = serverTime(deadline);
        if (!time)
            return Outcome::unavailable;
        // Nobody else's request comes between the look and the taking.
        xcb_grab_server(connection_);
        const auto before = xcb_get_selection_owner(connection_, atoms_->selection);
        xcb_flush(connection_);
        const auto owner =
            replyTo<xcb_get_selection_owner_reply_t>(connection_, before.sequence, deadline);
        if (!owner || owner->owner != XCB_NONE) {
            xcb_ungrab_server(connection_);
            xcb_flush(connection_);
            return owner ? Outcome::heldElsewhere : Outcome::unavailable;
        }
        xcb_set_selection_owner(connection_, window_, atoms_->selection, *time);
        const auto after = xcb_get_selection_owner(connection_, atoms_->selection);
        xcb_ungrab_server(connection_);
        xcb_flush(connection_);
        const auto taken =
            replyTo<xcb_get_selection_owner_reply_t>(connection_, after.sequence, deadline);
        if (!taken)
            return Outcome::unavailable;
        if (taken->owner != window_)
            continue;
        owned(*time);
        return Outcome::acquired;
    }
    return Outcome::unavailable;
}

void X11InstanceSelection::owned(std::uint32_t time) {
    time_ = time;
    owned_ = true;
    static_assert(sizeof(xcb_client_message_event_t) == 32);
    xcb_client_message_event_t announcement{};
    announcement.response_type = XCB_CLIENT_MESSAGE;
    announcement.format = 32;
    announcement.window = root_;
    announcement.type = atoms_->manager;
    announcement.data.data32[0] = time_;
    announcement.data.data32[1] = atoms_->selection;
    announcement.data.data32[2] = window_;
    xcb_send_event(connection_, 0, root_, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&announcement));
    xcb_flush(connection_);
}

void X11InstanceSelection::retakeSoon() {
    const auto wait = lastRetake_ + retakeInterval - std::chrono::steady_clock::now();
    if (wait > wait.zero()) {
        loop_->queue().asyncAfter(std::chrono::duration<double>(wait).count(),
                                  [this, alive = std::weak_ptr<int>(alive_)] {
                                      if (!alive.expired())
                                          retakeSoon();
                                  });
        return;
    }
    lastRetake_ = std::chrono::steady_clock::now();
    // Its time stamp comes with the notice of a change of nothing, read with the other events.
    retaking_ = true;
    xcb_change_property(connection_, XCB_PROP_MODE_APPEND, window_, atoms_->selection,
                        XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(connection_);
}

void X11InstanceSelection::retake(std::uint32_t time) {
    retaking_ = false;
    xcb_set_selection_owner(connection_, window_, atoms_->selection, time);
    const auto check = xcb_get_selection_owner(connection_, atoms_->selection);
    xcb_flush(connection_);
    // The client may have taken it again after that time stamp: then the server kept it theirs.
    const auto owner = replyTo<xcb_get_selection_owner_reply_t>(
        connection_, check.sequence, std::chrono::steady_clock::now() + retakeInterval);
    if (owner && owner->owner == window_)
        owned(time);
    else if (!xcb_connection_has_error(connection_))
        retakeSoon();
}

void X11InstanceSelection::serveReopenRequests(dispatch::RunLoop& loop,
                                               std::function<void()> reopenAction) {
    if (!owned_)
        return;
    loop_ = &loop;
    reopenAction_ = std::move(reopenAction);
    source_ = loop.addSource(
        xcb_get_file_descriptor(connection_), POLLIN, [this](short) { drainEvents(); },
        dispatch::RunLoopModes{dispatch::RunLoopMode::defaultMode});
    // Requests that came while this copy was starting may already have been read.
    loop.queue().async([this, alive = std::weak_ptr<int>(alive_)] {
        if (!alive.expired())
            drainEvents();
    });
}

void X11InstanceSelection::drainEvents() {
    while (auto* event = xcb_poll_for_event(connection_)) {
        Reply<xcb_generic_event_t> kept(event);
        if (kindOf(*event) == XCB_SELECTION_REQUEST) {
            answer(event);
        } else if (kindOf(*event) == XCB_SELECTION_CLEAR && owned_) {
            // Only a client that ignores the convention takes it from an owner. The name stays
            // this copy's while it runs, or a later start that cannot see its socket would run
            // beside it.
            owned_ = false;
            if (!theftSaid_)
                std::fprintf(stderr,
                             "The X selection %s was taken by another client: it is taken back, "
                             "at most once a second\n",
                             name_.c_str());
            theftSaid_ = true;
            retakeSoon();
        } else if (kindOf(*event) == XCB_PROPERTY_NOTIFY && retaking_) {
            const auto& notice = reinterpret_cast<const xcb_property_notify_event_t&>(*event);
            if (notice.window == window_ && notice.atom == atoms_->selection)
                retake(notice.time);
        }
    }
    // A server that went away: the window server ends the application.
    if (xcb_connection_has_error(connection_))
        source_.reset();
}

void X11InstanceSelection::answer(const void* event) {
    const auto& request = *static_cast<const xcb_selection_request_event_t*>(event);
    xcb_selection_notify_event_t reply{};
    reply.response_type = XCB_SELECTION_NOTIFY;
    reply.time = request.time;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.property = XCB_NONE;
    // Requestors from before the convention's second edition name no property.
    const auto property = request.property != XCB_NONE ? request.property : request.target;
    // A request timed before this copy owned the selection is not for it.
    const bool inTime =
        request.time == XCB_CURRENT_TIME || static_cast<std::int32_t>(request.time - time_) >= 0;
    bool reopen = false;
    if (owned_ && inTime && request.selection == atoms_->selection) {
        if (request.target == atoms_->targets) {
            const xcb_atom_t targets[] = {atoms_->targets, atoms_->timestamp, atoms_->reopen};
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_ATOM, 32, 3, targets);
            reply.property = property;
        } else if (request.target == atoms_->timestamp) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                XCB_ATOM_INTEGER, 32, 1, &time_);
            reply.property = property;
        } else if (request.target == atoms_->reopen) {
            xcb_change_property(connection_, XCB_PROP_MODE_REPLACE, request.requestor, property,
                                atoms_->null, 32, 0, nullptr);
            reply.property = property;
            reopen = true;
        }
    }
    // The server takes 32 bytes of any event sent; this one is shorter.
    char sent[32] = {};
    std::memcpy(sent, &reply, sizeof reply);
    xcb_send_event(connection_, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, sent);
    xcb_flush(connection_);
    if (reopen && reopenAction_)
        reopenAction_();
}

bool X11InstanceSelection::requestReopen(std::chrono::milliseconds timeout) {
    if (outcome_ != Outcome::heldElsewhere)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // A stamp of now: the owner may have taken the selection after this copy's first one.
    const auto time = serverTime(deadline);
    if (!time)
        return false;
    xcb_delete_property(connection_, window_, atoms_->reopen);
    xcb_convert_selection(connection_, window_, atoms_->selection, atoms_->reopen, atoms_->reopen,
                          *time);
    xcb_flush(connection_);
    // With no owner left, the server itself answers at once, refusing.
    const auto notice = eventWhere(connection_, deadline, [&](xcb_generic_event_t& event) {
        const auto& notify = reinterpret_cast<xcb_selection_notify_event_t&>(event);
        return kindOf(event) == XCB_SELECTION_NOTIFY && notify.requestor == window_ &&
               notify.selection == atoms_->selection && notify.target == atoms_->reopen;
    });
    return notice &&
           reinterpret_cast<xcb_selection_notify_event_t*>(notice.get())->property != XCB_NONE;
}

} // namespace ui::x11
