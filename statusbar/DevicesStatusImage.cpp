#include "statusbar/DevicesStatusImage.h"

#include "drawing/DeviceDrawing.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MetricStatusDrawing.h"

#include <algorithm>

namespace pulsedeck {

gfx::Image devicesStatusImage(CapsuleCache& capsules, const std::vector<ExternalDevice>& devices,
                              bool dark, std::optional<gfx::Color> tint) {
    return renderedCapsuleImage(
        capsules, devicesImageSize, dark,
        [&devices, dark, tint](gfx::Context& context, const gfx::Rect& rect) {
            return drawInCapsule(context, dark, rect,
                                 [&](const gfx::Color& foreground, const gfx::Rect&) {
                                     drawDevicesIcon(context, foreground, tint, devices, dark);
                                 });
        });
}

DevicesStatusUpdate updateDevicesStatus(CapsuleCache& capsules,
                                        const std::optional<std::set<std::string>>& previousIDs,
                                        const std::optional<std::vector<ExternalDevice>>& devices,
                                        bool dark, std::optional<gfx::Color> tint,
                                        bool animationsEnabled, bool reduceMotion) {
    DevicesStatusUpdate update;
    if (!devices) {
        update.stopsPulse = true;
        return update;
    }
    std::set<std::string> ids;
    for (const ExternalDevice& device : *devices) {
        ids.insert(device.id);
    }
    const bool arrived =
        previousIDs && std::any_of(ids.begin(), ids.end(), [&](const std::string& id) {
            return !previousIDs->contains(id);
        });
    update.deviceIDs = std::move(ids);
    if (!devices->empty()) {
        update.image = devicesStatusImage(capsules, *devices, dark, tint);
    }
    update.startsPulse = arrived && animationsEnabled && !reduceMotion;
    return update;
}

} // namespace pulsedeck
