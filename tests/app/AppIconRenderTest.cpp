#include "app/AppIcon.h"
#include "platform/graphics/Bitmap.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

gfx::Bitmap render(bool dark, int side) {
    gfx::Bitmap bitmap(side, side, {double(side), double(side)});
    gfx::Context context(bitmap);
    drawAppIcon(context, {0, 0, double(side), double(side)}, dark);
    return bitmap;
}

int brightness(const gfx::Rgba8& pixel) {
    return (pixel.red + pixel.green + pixel.blue) / 3;
}

TEST(AppIcon, ATileWithThreeBarsUnderAPulse) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        const auto bitmap = render(dark, 256);
        bitmap.writePng(
            testsupport::artifactPath(dark ? "AppIconDark.png" : "AppIcon.png").string());

        // The corners stay clear around the rounded tile.
        EXPECT_EQ(bitmap.pixelAtPoint({2, 2}).alpha, 0);
        EXPECT_EQ(bitmap.pixelAtPoint({253, 253}).alpha, 0);
        // The tile: light or dark.
        const auto tile = bitmap.pixelAtPoint({40, 128});
        EXPECT_EQ(tile.alpha, 255);
        EXPECT_EQ(brightness(tile) > 128, !dark);
        // The bars, left to right blue, teal, green, standing on the same base.
        const auto blue = bitmap.pixelAtPoint({78, 70});
        const auto teal = bitmap.pixelAtPoint({128, 70});
        const auto green = bitmap.pixelAtPoint({178, 70});
        EXPECT_GT(blue.blue, blue.red + 100);
        EXPECT_GT(teal.green, teal.red + 100);
        EXPECT_GT(teal.blue, 120);
        EXPECT_GT(green.green, green.blue + 80);
        // The middle bar is the tallest: its top is above the others'.
        EXPECT_GT(bitmap.pixelAtPoint({128, 140}).green, 150);
        EXPECT_LT(bitmap.pixelAtPoint({78, 140}).blue - bitmap.pixelAtPoint({78, 140}).red, 100);
        // The pulse line crosses the flat stretch at the left, in the tile's contrasting colour.
        const auto pulse = bitmap.pixelAtPoint({80, 191});
        EXPECT_EQ(brightness(pulse) > 128, dark);
    }
}

TEST(AppIcon, ImagesAndBundledResources) {
    const auto image = appIconImage(true, 64);
    EXPECT_EQ(image.size(), (gfx::Size{64, 64}));

    testsupport::TemporaryDirectory folder;
    const foundation::Bundle empty(folder.path());
    EXPECT_FALSE(loadAppIcon(empty, false));
    std::ofstream(folder.path() / "AppIconDark.png") << "not a picture";
    EXPECT_FALSE(loadAppIcon(empty, true)) << "an unreadable file gives no icon";

    const foundation::Bundle shipped(std::filesystem::path(PULSEDECK_SOURCE_DIR) / "resources");
    const auto light = loadAppIcon(shipped, false);
    const auto dark = loadAppIcon(shipped, true);
    ASSERT_TRUE(light);
    ASSERT_TRUE(dark);
    for (const auto& [icon, isDark] : {std::pair{*light, false}, std::pair{*dark, true}}) {
        gfx::Bitmap drawn(64, 64, {64, 64});
        gfx::Context context(drawn);
        icon.draw(context, {0, 0, 64, 64});
        EXPECT_EQ(brightness(drawn.pixelAtPoint({10, 32})) > 128, !isDark) << "the tile";
    }

    // Notification services take the icon as a URI: a space in the path is escaped there.
    EXPECT_EQ(appIconURI(empty), "");
    const auto spaced = folder.path() / "Pulse deck";
    std::filesystem::create_directories(spaced);
    std::filesystem::copy_file(*shipped.urlForResource("AppIcon", "png"), spaced / "AppIcon.png");
    EXPECT_EQ(appIconURI(foundation::Bundle(spaced)),
              "file://" + folder.path().string() + "/Pulse%20deck/AppIcon.png");
}

} // namespace
} // namespace pulsedeck
