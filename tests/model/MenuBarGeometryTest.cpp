#include "model/MenuBarGeometry.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(StatusHeight, TakesTheSmallestPlausibleHeightWithinBounds) {
    EXPECT_EQ(statusHeight({}), 24);
    EXPECT_EQ(statusHeight({12, 22, 40}), 22);
    EXPECT_EQ(statusHeight({40}), 28);
    EXPECT_EQ(statusHeight({nan, 17}), 24);
    EXPECT_EQ(statusHeight({infinity, 18}), 18);
    EXPECT_EQ(statusHeight({17.99}), 24);
}

TEST(AspectFitRect, ScalesAndCentres) {
    EXPECT_EQ(aspectFitRect({20, 10}, {0, 0, 40, 40}), gfx::Rect(0, 10, 40, 20));
    EXPECT_EQ(aspectFitRect({10, 40}, {10, 10, 40, 20}), gfx::Rect(27.5, 10, 5, 20));
}

TEST(AspectFitRect, SizeWithoutAreaGivesZero) {
    EXPECT_EQ(aspectFitRect({0, 10}, {0, 0, 40, 40}), gfx::Rect());
    EXPECT_EQ(aspectFitRect({10, -1}, {0, 0, 40, 40}), gfx::Rect());
    EXPECT_EQ(aspectFitRect({nan, 10}, {0, 0, 40, 40}), gfx::Rect());
}

TEST(IsInMenuBar, BandBelowTheTopOfTheScreenHoldingTheCentre) {
    std::vector<gfx::Rect> screens{{0, 0, 1440, 900}, {1440, 0, 1920, 1080}};
    constexpr double thickness = 24;
    EXPECT_TRUE(isInMenuBar({1300, 876, 40, 24}, screens, thickness));
    // Lowest allowed edge: 900 − 24 − 8.
    EXPECT_TRUE(isInMenuBar({1300, 868, 40, 24}, screens, thickness));
    EXPECT_FALSE(isInMenuBar({1300, 867.5, 40, 24}, screens, thickness));
    EXPECT_TRUE(isInMenuBar({1300, 877, 40, 24}, screens, thickness));
    EXPECT_FALSE(isInMenuBar({1300, 878, 40, 24}, screens, thickness));
    // The second screen is taller; its own top counts.
    EXPECT_TRUE(isInMenuBar({2000, 1056, 40, 24}, screens, thickness));
    EXPECT_FALSE(isInMenuBar({2000, 876, 40, 24}, screens, thickness));
}

TEST(IsInMenuBar, NoAreaNoScreensOrOffScreenIsFalse) {
    std::vector<gfx::Rect> screens{{0, 0, 1440, 900}};
    EXPECT_FALSE(isInMenuBar({1300, 876, 0, 24}, screens, 24));
    EXPECT_FALSE(isInMenuBar({1300, 876, 40, 24}, {}, 24));
    EXPECT_FALSE(isInMenuBar({5000, 876, 40, 24}, screens, 24));
}

TEST(MenuBarScreenFrames, HolderAndScreensShowingAMenuBar) {
    ScreenFrames primary{{0, 0, 1440, 900}, {0, 0, 1440, 876}};
    ScreenFrames bare{{1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}};
    ScreenFrames withBar{{-1920, 0, 1920, 1080}, {-1920, 0, 1920, 1056}};
    std::vector screens{primary, bare, withBar};

    EXPECT_EQ(menuBarScreenFrames({2000, 500, 10, 10}, screens),
              (std::vector{primary.frame, bare.frame, withBar.frame}));
    EXPECT_EQ(menuBarScreenFrames({100, 880, 10, 10}, screens),
              (std::vector{primary.frame, withBar.frame}));
    EXPECT_TRUE(menuBarScreenFrames({100, 5000, 10, 10}, screens).empty());
}

} // namespace
} // namespace pulsedeck
