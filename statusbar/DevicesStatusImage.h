#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "sources/ExternalDevice.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {

class CapsuleCache;

inline constexpr gfx::Size devicesImageSize{34, 24};

// The devices module's image as the strip shows it: the capsule around the drive symbol (in the
// slot colour, else the accent) and the count badge, 34 × 24 pt, rendered at scale 2.
gfx::Image devicesStatusImage(CapsuleCache& capsules, const std::vector<ExternalDevice>& devices,
                              bool dark, std::optional<gfx::Color> tint);

// What one device list does to the strip's devices module.
struct DevicesStatusUpdate {
    // No image when the module is not shown or no device is connected (it then takes no room).
    std::optional<gfx::Image> image;
    // The identifiers now shown; none while the module is not shown.
    std::optional<std::set<std::string>> deviceIDs;
    // The module went away: any attention pulse stops at rest.
    bool stopsPulse = false;
    // A device arrived and animations may run: the strip pulses the module.
    bool startsPulse = false;
};

// The strip's update of its devices module from the identifiers it showed before and the new
// list (none when the module is not shown). A device arrives when its identifier was not shown
// before; the first list after the module appears, and removals, never pulse.
DevicesStatusUpdate updateDevicesStatus(CapsuleCache& capsules,
                                        const std::optional<std::set<std::string>>& previousIDs,
                                        const std::optional<std::vector<ExternalDevice>>& devices,
                                        bool dark, std::optional<gfx::Color> tint,
                                        bool animationsEnabled, bool reduceMotion);

} // namespace pulsedeck
