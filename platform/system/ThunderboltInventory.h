#pragma once

#include "platform/system/SystemRoots.h"

#include <string>

namespace sys {

// The Thunderbolt / USB4 report of the system profiler, built from sysfs: one object per host
// router under "SPThunderboltDataType", each switch below the switch it hangs from in "_items".
// A switch gives its name, vendor, route, unique id, generation ("usb_four" mode from USB4 on,
// a version key for Thunderbolt 1 to 3) and, when it has an upstream link, that link's rate as a
// connected receptacle. Cross-domain peers and services are left out.
std::string thunderboltReport(const SystemRoots& roots);

} // namespace sys
