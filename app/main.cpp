#include "app/ApplicationStart.h"
#include "app/LegacyMigration.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/SingleInstanceLock.h"
#include "platform/foundation/TerminationSignals.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "platform/toolkit/x11/X11WindowServer.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

// What the signal thread shares with the main thread: the preferences to flush, and whether the
// application has finished terminating.
struct Shutdown {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    std::shared_ptr<foundation::UserDefaults> defaults;
    bool running = false;
    bool finished = false;

    // On the signal thread: terminate the application on its own thread (so the controller
    // stops its timer and joins its sampling worker), wait a little for that, then flush.
    void terminateAndFlush() {
        std::unique_lock lock(mutex);
        if (running)
            dispatch::mainQueue().async([] {
                if (auto* application = ui::Application::current())
                    application->terminate();
            });
        finishedChanged.wait_for(lock, std::chrono::seconds(3),
                                 [&] { return finished || !running; });
        auto preferences = defaults;
        lock.unlock();
        if (preferences)
            preferences->synchronize();
    }
};

} // namespace

int main() {
    using namespace pulsedeck;
    auto shutdown = std::make_shared<Shutdown>();
    // Before any thread starts, so SIGTERM and SIGINT always come to the watcher.
    foundation::TerminationSignals signals([shutdown](int) { shutdown->terminateAndFlush(); });

    auto& loop = dispatch::RunLoop::main();
    const auto bundle = foundation::Bundle::main();
    auto defaults = std::make_shared<foundation::UserDefaults>(
        foundation::UserDefaults::defaultDirectory(), bundle.identifier());
    migrateLegacyPreferences(*defaults, bundle.identifier());

    const char* display = std::getenv("DISPLAY");
    std::unique_ptr<ui::WindowServer> server;
    std::shared_ptr<ui::WindowList> windowList;
    if (display && *display) {
        auto x11 = ui::x11::X11WindowServer::open(loop);
        if (!x11) {
            std::fprintf(stderr, "Pulsedeck: cannot open the display %s\n", display);
            return 1;
        }
        windowList = std::make_shared<ui::x11::X11WindowList>(*x11);
        server = std::move(x11);
    } else {
        server = std::make_unique<ui::HeadlessWindowServer>();
    }

    {
        std::lock_guard lock(shutdown->mutex);
        shutdown->defaults = defaults;
        shutdown->running = true;
    }
    auto environment = AppDelegate::Environment::live(*defaults);
    environment.windowList = windowList;
    const auto outcome = startApplication(*server, std::move(environment),
                                          {foundation::SingleInstanceLock::defaultDirectory(),
                                           bundle.identifier(), display ? display : ""});
    defaults->synchronize();
    {
        std::lock_guard lock(shutdown->mutex);
        shutdown->finished = true;
    }
    shutdown->finishedChanged.notify_all();
    // A second copy quitting is no failure.
    (void)outcome;
    return 0;
}
