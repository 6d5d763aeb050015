#include "drawing/DeviceDrawing.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/DevicesStatusImage.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

using namespace pulsedeck;

namespace {

std::vector<ExternalDevice> devicesWithIDs(std::initializer_list<const char*> ids) {
    std::vector<ExternalDevice> devices;
    for (const char* id : ids) {
        ExternalDevice device;
        device.id = id;
        device.name = id;
        devices.push_back(device);
    }
    return devices;
}

std::vector<ExternalDevice> manyDevices(int count) {
    std::vector<ExternalDevice> devices;
    for (int i = 0; i < count; ++i) {
        ExternalDevice device;
        device.id = "usb:" + std::to_string(i);
        devices.push_back(device);
    }
    return devices;
}

using IDs = std::optional<std::set<std::string>>;

DevicesStatusUpdate update(const IDs& previous,
                           const std::optional<std::vector<ExternalDevice>>& list,
                           bool animations = true, bool reduceMotion = false) {
    CapsuleCache capsules;
    return updateDevicesStatus(capsules, previous, list, false, std::nullopt, animations,
                               reduceMotion);
}

} // namespace

TEST(DevicesStatus, ArrivalsPulseAndRemovalsDoNot) {
    const IDs shown = std::set<std::string>{"usb:1", "usb:2"};
    const DevicesStatusUpdate unplugged = update(shown, devicesWithIDs({"usb:1"}));
    EXPECT_FALSE(unplugged.startsPulse);
    EXPECT_TRUE(unplugged.image) << "the image changes to the new count";
    EXPECT_EQ(unplugged.deviceIDs, (std::set<std::string>{"usb:1"}));

    EXPECT_TRUE(update(shown, devicesWithIDs({"usb:1", "usb:2", "usb:3"})).startsPulse);
    EXPECT_TRUE(update(shown, devicesWithIDs({"usb:1", "usb:9"})).startsPulse)
        << "one device replaced by another in the same sample is an arrival";
    EXPECT_FALSE(update(shown, devicesWithIDs({"usb:1", "usb:3"}), false).startsPulse)
        << "animations off";
    EXPECT_FALSE(update(shown, devicesWithIDs({"usb:1", "usb:3"}), true, true).startsPulse)
        << "reduce motion";
}

TEST(DevicesStatus, AnEmptyListTakesNoRoomAndTheNextListPulses) {
    const DevicesStatusUpdate empty = update(std::set<std::string>{"usb:1"}, devicesWithIDs({}));
    EXPECT_FALSE(empty.image);
    EXPECT_EQ(empty.deviceIDs, std::set<std::string>{});
    EXPECT_FALSE(empty.startsPulse);
    EXPECT_TRUE(update(empty.deviceIDs, devicesWithIDs({"usb:1"})).startsPulse)
        << "every identifier is new after an empty list";
}

TEST(DevicesStatus, TheModuleAppearingForgetsWhatWasShown) {
    const DevicesStatusUpdate hidden = update(std::set<std::string>{"usb:1"}, std::nullopt);
    EXPECT_FALSE(hidden.image);
    EXPECT_FALSE(hidden.deviceIDs);
    EXPECT_TRUE(hidden.stopsPulse);
    const DevicesStatusUpdate shownAgain =
        update(hidden.deviceIDs, devicesWithIDs({"usb:1", "usb:2"}));
    EXPECT_FALSE(shownAgain.startsPulse) << "devices already connected do not pulse";
    EXPECT_FALSE(shownAgain.stopsPulse);
    EXPECT_TRUE(shownAgain.image);
}

TEST(DevicesStatusImage, IsACapsuleAtTwiceItsPointSize) {
    CapsuleCache capsules;
    const gfx::Image image = devicesStatusImage(capsules, manyDevices(7), true, std::nullopt);
    EXPECT_EQ(image.size(), devicesImageSize);
    ASSERT_TRUE(image.bitmap());
    EXPECT_EQ(image.bitmap()->pixelsWide(), 68);
    EXPECT_EQ(image.bitmap()->pixelsHigh(), 48);
    // The capsule's white wash at 0.1 fills its straight bottom edge, the badge
    // sits opaque at its place, and the 1 pt margins stay clear.
    const gfx::Rgba8 capsule = image.bitmap()->pixelAtPoint({17, 0.5});
    EXPECT_GT(capsule.alpha, 15);
    EXPECT_LT(capsule.alpha, 35);
    EXPECT_EQ(image.bitmap()->pixelAtPoint({0.5, 12}).alpha, 0);
    EXPECT_EQ(image.bitmap()->pixelAtPoint({33.5, 12}).alpha, 0);
    const DeviceCountBadge badge = deviceCountBadge(7);
    EXPECT_EQ(image.bitmap()->pixelAtPoint({badge.rect.minX() + 1.2, badge.rect.midY()}).alpha,
              255);
    // The sheet people look at: one, seven and a hundred devices (the last in a slot colour), light
    // above dark, on their menu-bar backgrounds.
    constexpr double cell = 44;
    gfx::Bitmap sheet = gfx::Bitmap::forPointSize({3 * cell, 2 * 32}, 4);
    gfx::Context context(sheet);
    const std::array<int, 3> counts = {1, 7, 100};
    for (int row = 0; row < 2; ++row) {
        const bool dark = row == 1;
        context.setFillColor(dark ? gfx::Color::grey(0.16) : gfx::Color::grey(0.93));
        context.fillRect(gfx::Rect(0, (1 - row) * 32, 3 * cell, 32));
        for (int column = 0; column < 3; ++column) {
            const gfx::Image cellImage = devicesStatusImage(
                capsules, manyDevices(counts[column]), dark,
                column == 2 ? std::optional(gfx::Color::srgb(1.0, 0.58, 0.12)) : std::nullopt);
            cellImage.draw(context, gfx::Point{column * cell + 5, (1 - row) * 32 + 4.0});
        }
    }
    ASSERT_TRUE(sheet.writePng(testsupport::artifactPath("devices-status-image.png").string()));
}
