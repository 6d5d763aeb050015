#include "app/ApplicationStart.h"

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/SingleInstance.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/x11/X11InstanceSelection.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace pulsedeck {
namespace {

// How long a second start waits for the running copy to take its request.
constexpr std::chrono::seconds reopenTimeout{3};
// How long the X server may take over each step of the display's claim.
constexpr std::chrono::seconds displayClaimTimeout{3};

} // namespace

StartOutcome startApplication(ui::WindowServer& server, AppDelegate::Environment environment,
                              const SingleInstanceOptions& instance,
                              const std::function<void(ui::Application&, AppDelegate&)>& running) {
    // Claimed before anything is made, so of two copies started together exactly one stays.
    using foundation::SingleInstance;
    using ui::x11::X11InstanceSelection;
    // The socket name first: a copy in this network namespace answers on it at once, without
    // the X server.
    auto instanceName = SingleInstance::claim(instance.identifier, instance.display);
    std::optional<SingleInstance::ReopenAnswer> socketAnswer;
    if (instanceName.outcome() == SingleInstance::Outcome::heldElsewhere) {
        // As a desktop reopens an application that runs: the running copy shows its details.
        socketAnswer = instanceName.requestReopen(reopenTimeout);
        if (socketAnswer == SingleInstance::ReopenAnswer::answered)
            return StartOutcome::anotherCopyOpened;
    }
    // Then the display itself, which copies in other network namespaces share and which a
    // process of another user holding the socket name cannot take.
    std::unique_ptr<X11InstanceSelection> display;
    if (instance.claimDisplay)
        display =
            X11InstanceSelection::claim(instance.display, instance.identifier, displayClaimTimeout);
    const auto onDisplay =
        display ? display->outcome() : X11InstanceSelection::Outcome::unavailable;
    if (onDisplay == X11InstanceSelection::Outcome::heldElsewhere)
        return display->requestReopen(reopenTimeout) ? StartOutcome::anotherCopyOpened
                                                     : StartOutcome::anotherCopyDidNotAnswer;
    // Without the server's word the socket decides alone. Without a socket either (no
    // descriptors) nothing is known of other copies: this one runs.
    if (onDisplay == X11InstanceSelection::Outcome::unavailable) {
        if (socketAnswer == SingleInstance::ReopenAnswer::noAnswer)
            return StartOutcome::anotherCopyDidNotAnswer;
        // Any user can take an abstract name; one who does must not keep us from running.
        if (socketAnswer == SingleInstance::ReopenAnswer::heldByAnotherUser)
            std::fprintf(stderr,
                         "Pulsedeck: the name @%s is held by another user; starting without "
                         "knowing whether a copy already runs on this display\n",
                         instanceName.name().c_str());
    }

    if (!dispatch::isMainThread()) {
        std::fputs("Pulsedeck must start on the main thread\n", stderr);
        std::abort();
    }
    auto& loop = *environment.loop;
    foundation::UserDefaults* defaults = environment.defaults;
    ui::Application application(server, loop);
    auto delegate = AppDelegate::create(std::move(environment));
    application.setDelegate(delegate);
    instanceName.serveReopenRequests(loop, [&application] { application.reopen(); });
    if (display)
        display->serveReopenRequests(loop, [&application] { application.reopen(); });
    if (running)
        running(application, *delegate);
    application.run();
    // What the user set is on disk, then the name and the display are free, before anything is
    // torn down: a copy started the moment the windows go runs, and reads every setting.
    if (defaults)
        defaults->synchronizeBeforeExit();
    display.reset();
    instanceName.release();
    delegate.reset();
    return StartOutcome::ran;
}

} // namespace pulsedeck
