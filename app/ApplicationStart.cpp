#include "app/ApplicationStart.h"

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/SingleInstanceLock.h"

#include <cstdio>
#include <cstdlib>

namespace pulsedeck {

StartOutcome startApplication(ui::WindowServer& server, AppDelegate::Environment environment,
                              const SingleInstanceOptions& instance,
                              const std::function<void(ui::Application&, AppDelegate&)>& running) {
    // Taken before anything is made, so of two copies started together exactly one stays.
    // Without any way to lock (no folder) nothing is known of other copies: this one runs.
    const auto lock = foundation::SingleInstanceLock::acquire(
        instance.lockDirectory, instance.identifier, instance.display);
    if (lock.outcome() == foundation::SingleInstanceLock::Outcome::heldElsewhere)
        return StartOutcome::anotherCopyRuns;

    if (!dispatch::isMainThread()) {
        std::fputs("Pulsedeck must start on the main thread\n", stderr);
        std::abort();
    }
    ui::Application application(server, *environment.loop);
    auto delegate = AppDelegate::create(std::move(environment));
    application.setDelegate(delegate);
    if (running)
        running(application, *delegate);
    application.run();
    delegate.reset();
    return StartOutcome::ran;
}

} // namespace pulsedeck
