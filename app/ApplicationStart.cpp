#include "app/ApplicationStart.h"

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/SingleInstance.h"

#include <cstdio>
#include <cstdlib>

namespace pulsedeck {
namespace {

// How long a second start waits for the running copy to take its request.
constexpr std::chrono::seconds reopenTimeout{3};

} // namespace

StartOutcome startApplication(ui::WindowServer& server, AppDelegate::Environment environment,
                              const SingleInstanceOptions& instance,
                              const std::function<void(ui::Application&, AppDelegate&)>& running) {
    // Claimed before anything is made, so of two copies started together exactly one stays.
    // Without a socket (no descriptors) nothing is known of other copies: this one runs.
    using foundation::SingleInstance;
    auto instanceName = SingleInstance::claim(instance.identifier, instance.display);
    if (instanceName.outcome() == SingleInstance::Outcome::heldElsewhere) {
        // As a desktop reopens an application that runs: the running copy shows its details.
        switch (instanceName.requestReopen(reopenTimeout)) {
        case SingleInstance::ReopenAnswer::answered:
            return StartOutcome::anotherCopyOpened;
        case SingleInstance::ReopenAnswer::noAnswer:
            return StartOutcome::anotherCopyDidNotAnswer;
        case SingleInstance::ReopenAnswer::heldByAnotherUser:
            // Any user can take an abstract name; one who does must not keep us from running.
            std::fprintf(stderr,
                         "Pulsedeck: the name @%s is held by another user; starting without "
                         "knowing whether a copy already runs on this display\n",
                         instanceName.name().c_str());
            break;
        }
    }

    if (!dispatch::isMainThread()) {
        std::fputs("Pulsedeck must start on the main thread\n", stderr);
        std::abort();
    }
    auto& loop = *environment.loop;
    ui::Application application(server, loop);
    auto delegate = AppDelegate::create(std::move(environment));
    application.setDelegate(delegate);
    instanceName.serveReopenRequests(loop, [&application] { application.reopen(); });
    if (running)
        running(application, *delegate);
    application.run();
    delegate.reset();
    return StartOutcome::ran;
}

} // namespace pulsedeck
