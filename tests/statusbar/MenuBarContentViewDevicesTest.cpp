#include "statusbar/MenuBarContentView.h"

#include <gtest/gtest.h>

using namespace pulsedeck;

namespace {

std::vector<ExternalDevice> devicesWithIDs(std::initializer_list<const char*> ids) {
    std::vector<ExternalDevice> devices;
    for (const char* id : ids) {
        ExternalDevice device;
        device.id = id;
        devices.push_back(device);
    }
    return devices;
}

} // namespace

TEST(MenuBarContentViewDevices, PulsesOnArrivalOnlyAndForgetsWhenHidden) {
    auto view = std::make_shared<MenuBarContentView>(gfx::Rect(0, 0, 200, 24));
    view->updateDevices(devicesWithIDs({"usb:1"}), false, std::nullopt);
    EXPECT_TRUE(view->devicesImage);
    EXPECT_EQ(view->deviceIDs, (std::set<std::string>{"usb:1"}));
    EXPECT_EQ(view->deviceAttentionProgress, 1) << "the devices present at start do not pulse";

    view->updateDevices(devicesWithIDs({"usb:1", "usb:2"}), false, std::nullopt);
    EXPECT_EQ(view->deviceAttentionProgress, 0) << "an arrival starts the pulse";

    view->updateDevices(std::nullopt, false, std::nullopt);
    EXPECT_FALSE(view->devicesImage);
    EXPECT_FALSE(view->deviceIDs);
    EXPECT_EQ(view->deviceAttentionProgress, 1) << "hiding the module stops the pulse at rest";

    view->animationsEnabled = false;
    view->updateDevices(devicesWithIDs({}), true, std::nullopt);
    EXPECT_FALSE(view->devicesImage) << "no devices, no room";
    view->updateDevices(devicesWithIDs({"usb:3"}), true, std::nullopt);
    EXPECT_TRUE(view->devicesImage);
    EXPECT_EQ(view->deviceAttentionProgress, 1) << "animations off";
}
