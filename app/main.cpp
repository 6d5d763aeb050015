#include "app/ApplicationStart.h"
#include "app/CommandLine.h"
#include "app/LegacyMigration.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/HTTPHelper.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/foundation/OpenFileLimit.h"
#include "platform/foundation/TerminationSignals.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/TextShaper.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "platform/toolkit/x11/X11WindowServer.h"
#include "updates/UpdateCheckCommand.h"

#include <chrono>
#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <span>

namespace {

// What a run holds open at its busiest (the display, the run loop's and workers' descriptors,
// the bus connections, the kept counter files, a download's pipes), with room to spare.
constexpr std::size_t neededDescriptors = 256;

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
            preferences->synchronizeBeforeExit();
    }
};

} // namespace

int main(int argc, char** argv) {
    using namespace pulsedeck;
    // The child an update check starts for its download, so that libcurl and TLS never load into
    // the long-lived program.
    if (argc >= 2 && argv[1] == foundation::httpHelperMode)
        return foundation::runHTTPHelper(std::span<const char* const>(argv + 2, argc - 2), stdout);
    const auto line = CommandLine::parse(std::span<const char* const>(argv, argc));
    // None of these looks at the display or the settings.
    switch (line.action) {
    case CommandLine::Action::help:
        std::cout << usageText(UserFiles::live());
        return 0;
    case CommandLine::Action::version: {
        const auto bundle = foundation::Bundle::main();
        std::cout << versionText(bundle.shortVersion(), bundle.buildVersion());
        return 0;
    }
    case CommandLine::Action::invalid:
        std::cerr << errorText(line.error);
        return 2;
    case CommandLine::Action::run:
    case CommandLine::Action::checkUpdates:
        break;
    }
    // Checked before anything is opened: a limit too low would fail some read or write at
    // random later on (the texts, the display, the preferences) instead of saying why.
    if (const auto limit = foundation::raiseOpenFileLimit(neededDescriptors);
        limit < neededDescriptors) {
        std::fprintf(stderr,
                     "Pulsedeck needs to open %zu files at once, and this session allows %zu "
                     "(ulimit -n): it does not start\n",
                     neededDescriptors, limit);
        return 1;
    }
    // A debugging aid: one update check against the given manifest, printed, and nothing else.
    if (line.action == CommandLine::Action::checkUpdates)
        return runUpdateCheckCommand(line.manifestURL, UpdateController::liveFetch(), std::cout);

    // Checked before anything is read or written: a run without a display would sample unseen
    // for ever and use up the first launch's details and tip.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fputs("Pulsedeck needs an X display, and DISPLAY is not set\n", stderr);
        return 2;
    }

    auto shutdown = std::make_shared<Shutdown>();
    // Before any thread starts, so SIGTERM, SIGINT and SIGHUP always come to the watcher.
    foundation::TerminationSignals signals([shutdown](int) { shutdown->terminateAndFlush(); });

    auto& loop = dispatch::RunLoop::main();
    // The user's character set, for the X input method's compose tables; numbers keep the C
    // locale's formatting.
    std::setlocale(LC_CTYPE, "");
    auto x11 = ui::x11::X11WindowServer::open(loop);
    if (!x11) {
        std::fprintf(stderr, "Pulsedeck: cannot open the display %s\n", display);
        return 1;
    }
    auto windowList = std::make_shared<ui::x11::X11WindowList>(*x11);
    std::unique_ptr<ui::WindowServer> server = std::move(x11);

    const auto bundle = foundation::Bundle::main();
    auto directory = foundation::UserDefaults::defaultDirectory();
    if (!directory)
        std::fprintf(stderr,
                     "Pulsedeck: there is no home folder (%s), so settings will not be saved\n",
                     foundation::HomeDirectory::current().problem.c_str());
    auto defaults = std::make_shared<foundation::UserDefaults>(
        directory.value_or(std::filesystem::path()), bundle.identifier());
    migrateLegacyPreferences(*defaults, bundle.identifier());

    {
        std::lock_guard lock(shutdown->mutex);
        shutdown->defaults = defaults;
        shutdown->running = true;
    }
    // Every text the program measures and draws, all on this thread, is shaped by this one.
    gfx::TextShaper shaper;
    auto environment = AppDelegate::Environment::live(*defaults);
    environment.windowList = windowList;
    const auto outcome =
        startApplication(*server, std::move(environment), {bundle.identifier(), display});
    defaults->synchronizeBeforeExit();
    {
        std::lock_guard lock(shutdown->mutex);
        shutdown->finished = true;
    }
    shutdown->finishedChanged.notify_all();
    // A second copy quitting is no failure.
    if (outcome == StartOutcome::anotherCopyOpened)
        std::fputs("Pulsedeck is already running on this display; it was asked to open its "
                   "details\n",
                   stderr);
    else if (outcome == StartOutcome::anotherCopyDidNotAnswer)
        std::fputs("Pulsedeck is already running on this display; it was asked to open its "
                   "details and did not answer\n",
                   stderr);
    return 0;
}
