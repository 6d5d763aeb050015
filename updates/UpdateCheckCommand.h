#pragma once

#include "updates/UpdateController.h"

#include <ostream>
#include <string>

namespace pulsedeck {

// `pulsedeck --check-updates URL`: one manual check of the manifest at URL as the running build,
// printed as one line (describe()) to `out`. Nothing the user stored is read or written. Waits on
// the main run loop, at most a little longer than the fetch's own time-out. Answers the process's
// exit status: 0 when the check reached the manifest (available, current or requires system), 1
// otherwise. Main thread.
int runUpdateCheckCommand(const std::string& manifestURL, ManifestFetch fetch, std::ostream& out);

} // namespace pulsedeck
