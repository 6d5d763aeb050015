#include "statusbar/DevicesStatusImage.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

void MenuBarContentView::updateDevices(const std::optional<std::vector<ExternalDevice>>& devices,
                                       bool dark, std::optional<gfx::Color> tint) {
    DevicesStatusUpdate update =
        updateDevicesStatus(deviceIDs, devices, dark, tint, animationsEnabled, reduceMotion());
    devicesImage = std::move(update.image);
    deviceIDs = std::move(update.deviceIDs);
    if (update.stopsPulse) {
        deviceAttentionTimer_.reset();
        deviceAttentionProgress = 1;
    }
    if (update.startsPulse) {
        startDeviceAttentionPulse();
    }
}

} // namespace pulsedeck
