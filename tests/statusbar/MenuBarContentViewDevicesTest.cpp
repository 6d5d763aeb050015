#include "statusbar/MenuBarContentView.h"
#include "support/MenuBarContentViewProbe.h"

#include <gtest/gtest.h>

using namespace pulsedeck;

namespace {

using Probe = MenuBarContentViewProbe;

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
    EXPECT_TRUE(view->moduleImage(ModuleKind::devices));
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 1)
        << "the devices present at start do not pulse";

    view->updateDevices(devicesWithIDs({"usb:1", "usb:2"}), false, std::nullopt);
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 0) << "an arrival starts the pulse";

    view->updateDevices(std::nullopt, false, std::nullopt);
    EXPECT_FALSE(view->moduleImage(ModuleKind::devices));
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 1)
        << "hiding the module stops the pulse at rest";

    view->setAnimationsEnabled(false);
    view->updateDevices(devicesWithIDs({}), true, std::nullopt);
    EXPECT_FALSE(view->moduleImage(ModuleKind::devices)) << "no devices, no room";
    view->updateDevices(devicesWithIDs({"usb:3"}), true, std::nullopt);
    EXPECT_TRUE(view->moduleImage(ModuleKind::devices));
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 1) << "animations off";
}

TEST(MenuBarContentViewDevices, TheSameListDrawnTheSameWayKeepsItsImage) {
    auto view = std::make_shared<MenuBarContentView>(gfx::Rect(0, 0, 200, 24));
    view->updateDevices(devicesWithIDs({"usb:1"}), false, std::nullopt);
    const std::optional<gfx::Image> first = view->moduleImage(ModuleKind::devices);
    ASSERT_TRUE(first);

    view->updateDevices(devicesWithIDs({"usb:1"}), false, std::nullopt);
    EXPECT_EQ(view->moduleImage(ModuleKind::devices)->bitmap(), first->bitmap());

    view->updateDevices(devicesWithIDs({"usb:1"}), false, gfx::Color::srgb(1, 0, 0));
    const std::optional<gfx::Image> tinted = view->moduleImage(ModuleKind::devices);
    EXPECT_NE(tinted->bitmap(), first->bitmap()) << "a new tint";
    view->updateDevices(devicesWithIDs({"usb:1"}), true, gfx::Color::srgb(1, 0, 0));
    EXPECT_NE(view->moduleImage(ModuleKind::devices)->bitmap(), tinted->bitmap())
        << "a new appearance";

    view->updateDevices(std::nullopt, true, std::nullopt);
    view->updateDevices(devicesWithIDs({"usb:1"}), true, std::nullopt);
    EXPECT_TRUE(view->moduleImage(ModuleKind::devices)) << "shown again after being hidden";
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 1)
        << "the first list after showing never pulses";
    view->updateDevices(devicesWithIDs({"usb:1", "usb:2"}), true, std::nullopt);
    EXPECT_EQ(Probe::deviceAttentionProgress(*view), 0) << "an arrival still pulses";
}
