#pragma once

#include "app/AppDelegate.h"
#include "platform/toolkit/WindowServer.h"

#include <functional>
#include <string>

namespace pulsedeck {

// Which copy of the program keeps running: one per user and X server, decided by a socket name
// (SingleInstance.h) and by the X server itself (X11InstanceSelection.h).
struct SingleInstanceOptions {
    std::string identifier;
    std::string display;
    // Whether the X server at `display` is claimed too; a headless server has none.
    bool claimDisplay = true;
};

enum class StartOutcome {
    // The application ran until it was terminated.
    ran,
    // Another copy runs: this one asked it to reopen (show its details), created nothing and quit;
    // the other copy took the request, or did not answer in time.
    anotherCopyOpened,
    anotherCopyDidNotAnswer,
};

// Decides first, atomically, whether this copy may run (a second copy asks the running one to
// reopen and returns): a copy that answers on the socket name runs, else the one that owns the
// display's selection, which copies in other network namespaces and a socket name taken by
// another user cannot hide; then makes the shared application over `server`, the controller over
// `environment`, and runs the event loop until the application terminates. The controller is
// taken apart (its sampling worker joined) before the application. While it runs, a later
// start's request reopens the application. `running` is called with both once they exist, before
// the loop starts.
StartOutcome
startApplication(ui::WindowServer& server, AppDelegate::Environment environment,
                 const SingleInstanceOptions& instance,
                 const std::function<void(ui::Application&, AppDelegate&)>& running = {});

} // namespace pulsedeck
