#include "app/ApplicationStart.h"

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/ReopenChannel.h"
#include "platform/foundation/SingleInstanceLock.h"

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
    // Taken before anything is made, so of two copies started together exactly one stays.
    // Without any way to lock (no folder) nothing is known of other copies: this one runs.
    const auto lock = foundation::SingleInstanceLock::acquire(
        instance.lockDirectory, instance.identifier, instance.display);
    if (lock.outcome() == foundation::SingleInstanceLock::Outcome::heldElsewhere) {
        // As a desktop reopens an application that runs: the running copy shows its details.
        if (!foundation::requestReopen(lock.channelPath(), reopenTimeout))
            std::fputs("Pulsedeck is already running on this display\n", stderr);
        return StartOutcome::anotherCopyRuns;
    }

    if (!dispatch::isMainThread()) {
        std::fputs("Pulsedeck must start on the main thread\n", stderr);
        std::abort();
    }
    auto& loop = *environment.loop;
    ui::Application application(server, loop);
    auto delegate = AppDelegate::create(std::move(environment));
    application.setDelegate(delegate);
    const auto listener = foundation::ReopenListener::listen(
        lock.channelPath(), loop, [&application] { application.reopen(); });
    if (running)
        running(application, *delegate);
    application.run();
    delegate.reset();
    return StartOutcome::ran;
}

} // namespace pulsedeck
