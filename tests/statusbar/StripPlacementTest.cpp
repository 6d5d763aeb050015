#include "statusbar/StripPlacement.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

PlacementScreen screenWithBar(const gfx::Rect& frame, double bar, double safeTop = 0) {
    return {frame, {frame.x(), frame.y(), frame.width(), frame.height() - bar}, safeTop};
}

TEST(StripPlacement, APlausibleMenuBarIsTakenAsItIs) {
    EXPECT_EQ(menuBarThickness(screenWithBar({0, 0, 1440, 900}, 24), std::nullopt), 24);
    EXPECT_EQ(menuBarThickness(screenWithBar({0, 0, 1440, 900}, 18), 30), 18);
    EXPECT_EQ(menuBarThickness(screenWithBar({0, 0, 1440, 900}, 80), std::nullopt), 80);
}

TEST(StripPlacement, AnImplausibleBarFallsBackToTheInsetOrTheWindow) {
    const gfx::Rect frame{0, 0, 1440, 900};
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 0), std::nullopt), 24);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 0), 22), 24);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 0), 30), 30);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 100), std::nullopt), 24);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 0, 32), std::nullopt), 32);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 0, 32), 37), 37);
    EXPECT_EQ(menuBarThickness(screenWithBar(frame, 10, 20), 22), 24);
}

TEST(StripPlacement, TheStripKeepsItsDistanceFromTheRightEdge) {
    const gfx::Rect own{0, 0, 1440, 900};
    const gfx::Rect item{1300, 876, 120, 24};
    // The strip starts where the item starts: its right end 40 pt from the screen's edge,
    // centred in the 24-pt bar.
    EXPECT_EQ(stripFrame(item, own, screenWithBar(own, 24), 24.0, 100, 24),
              (gfx::Rect{1300, 876, 100, 24}));
    // On a second screen to the right with a 30-pt bar: 40 pt from its right edge too.
    const gfx::Rect second{1440, 100, 1920, 1080};
    EXPECT_EQ(stripFrame(item, own, screenWithBar(second, 30), std::nullopt, 100, 24),
              (gfx::Rect{1440 + 1920 - 40 - 100, 1180 - 15 - 12, 100, 24}));
}

} // namespace
} // namespace pulsedeck
