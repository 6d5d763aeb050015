#include "model/AccentColor.h"
#include "statusbar/DevicesStatusImage.h"
#include "statusbar/MenuBarContentView.h"

namespace pulsedeck {

void MenuBarContentView::updateDevices(const std::optional<std::vector<ExternalDevice>>& devices,
                                       bool dark, std::optional<gfx::Color> tint) {
    // The same list drawn the same way: no device arrived, no pulse changes, the image stands.
    const gfx::Color accent = accentColor();
    if (devices && devicesShown_ && devicesShown_->devices == *devices &&
        devicesShown_->dark == dark && devicesShown_->tint == tint &&
        devicesShown_->accent == accent)
        return;
    DevicesStatusUpdate update = updateDevicesStatus(capsules_, deviceIDs_, devices, dark, tint,
                                                     animationsEnabled_, reduceMotion());
    setModuleImage(ModuleKind::devices, std::move(update.image));
    deviceIDs_ = std::move(update.deviceIDs);
    if (devices)
        devicesShown_ = DevicesInputs{*devices, dark, tint, accent};
    else
        devicesShown_.reset();
    if (update.stopsPulse) {
        deviceAttentionTimer_.reset();
        deviceAttentionProgress_ = 1;
    }
    if (update.startsPulse) {
        startDeviceAttentionPulse();
    }
}

} // namespace pulsedeck
