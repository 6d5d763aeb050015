#pragma once

#include "updates/UpdateFrequency.h"

namespace foundation {
class UserDefaults;
}

namespace pulsedeck {

// Decides when to look for a new release. So far it knows the user's frequency; it has no
// manifest source yet, so its schedule checks nothing. Main thread.
class UpdateController {
public:
    explicit UpdateController(const foundation::UserDefaults& defaults);

    // The stored "updateCheckFrequency"; weekly when missing or unknown.
    UpdateFrequency frequency() const;

    // (Re)starts the schedule. Without a manifest source there is nothing to fetch, so no timer
    // runs and no check is made.
    void schedule();

private:
    const foundation::UserDefaults& defaults_;
};

} // namespace pulsedeck
