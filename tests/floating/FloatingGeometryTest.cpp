#include "floating/FloatingGeometry.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// A frame of the given size centred `dx`, `dy` away from the anchor's centre.
gfx::Rect frameAround(const gfx::Rect& anchor, double width, double height, double dx, double dy) {
    return {anchor.midX() + dx - width / 2, anchor.midY() + dy - height / 2, width, height};
}

TEST(DockAnchor, SidewaysToleranceFollowsTheFrameWidthWithinItsBounds) {
    const gfx::Rect anchor{1000, 870, 180, 24};
    struct Case {
        double width;
        double tolerance;
    };
    for (const auto [width, tolerance] : {Case{200, 24}, Case{400, 36}, Case{1000, 64}}) {
        EXPECT_EQ(dockAnchor(frameAround(anchor, width, 30, tolerance, 0), {anchor}), anchor)
            << width;
        EXPECT_EQ(dockAnchor(frameAround(anchor, width, 30, -tolerance - 0.5, 0), {anchor}),
                  std::nullopt)
            << width;
    }
}

TEST(DockAnchor, VerticalToleranceIsMostOfTheHeightButAtLeast22) {
    const gfx::Rect anchor{1000, 870, 180, 24};
    EXPECT_TRUE(dockAnchor(frameAround(anchor, 200, 40, 0, -38), {anchor}));
    EXPECT_FALSE(dockAnchor(frameAround(anchor, 200, 40, 0, -38.5), {anchor}));
    EXPECT_TRUE(dockAnchor(frameAround(anchor, 200, 10, 0, 22), {anchor}));
    EXPECT_FALSE(dockAnchor(frameAround(anchor, 200, 10, 0, 22.5), {anchor}));
}

TEST(DockAnchor, TheNearestQualifyingAnchorWinsAndTheEarlierOnATie) {
    const gfx::Rect left{1000, 870, 100, 24};
    const gfx::Rect right{1020, 870, 100, 24};
    const gfx::Rect elsewhere{3000, 870, 100, 24};
    EXPECT_EQ(dockAnchor(frameAround(left, 400, 30, 15, 0), {elsewhere, left, right}), right);
    EXPECT_EQ(dockAnchor(frameAround(left, 400, 30, 10, 0), {elsewhere, right, left}), right);
    EXPECT_EQ(dockAnchor(frameAround(left, 400, 30, 10, 0), {elsewhere, left, right}), left);
    EXPECT_EQ(dockAnchor(frameAround(left, 400, 30, 0, 0), {}), std::nullopt);
}

TEST(ClampFrame, KeepsSixPointsInsideTheAreaNearTheCentre) {
    const gfx::Rect left{0, 0, 1440, 900};
    const gfx::Rect right{1440, 0, 1920, 1080};
    struct Case {
        const char* name;
        gfx::Rect frame;
        gfx::Rect expected;
    };
    const Case cases[] = {
        {"inside stays", {100, 100, 300, 30}, {100, 100, 300, 30}},
        {"past the left and bottom", {-50, -20, 300, 30}, {6, 6, 300, 30}},
        {"past the top right", {1200, 890, 300, 30}, {1134, 864, 300, 30}},
        {"on the right screen", {3300, 500, 300, 30}, {3054, 500, 300, 30}},
        {"oversize sits at min + 6", {-300, -40, 2000, 1000}, {6, 6, 2000, 1000}},
        {"oversize on the right", {1400, 200, 2500, 30}, {1446, 200, 2500, 30}},
        {"outside both: the nearer centre", {-900, 2000, 300, 30}, {6, 864, 300, 30}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clampFrame(c.frame, {left, right}), c.expected) << c.name;
    EXPECT_EQ(clampFrame({-50, -20, 300, 30}, {}), (gfx::Rect{-50, -20, 300, 30}));
}

TEST(UsableArea, CutsBelowTheLowestOfMenuBarStatusBarAndCameraHousing) {
    struct Case {
        const char* name;
        ui::ScreenDescription screen;
        gfx::Rect expected;
    };
    const Case cases[] = {
        {"a 24 pt bar", {{0, 0, 1440, 900}, {0, 0, 1440, 876}, 0, 1}, {0, 0, 1440, 876}},
        {"no bar reserved", {{0, 0, 1440, 900}, {0, 0, 1440, 900}, 0, 1}, {0, 0, 1440, 876}},
        {"camera housing", {{0, 0, 1440, 900}, {0, 0, 1440, 876}, 38, 1}, {0, 0, 1440, 862}},
        {"dock at the bottom, taller panel above",
         {{1440, 0, 1920, 1080}, {1440, 60, 1920, 980}, 0, 2},
         {1440, 60, 1920, 980}},
        {"nothing left", {{0, 0, 100, 20}, {0, 0, 100, 20}, 0, 3}, {0, 0, 100, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(usableArea(ui::Screen(c.screen), 24), c.expected) << c.name;
}

TEST(KeepFrame, UsesTheAreaOfTheScreenHoldingTheCentreElseAll) {
    const std::vector<gfx::Rect> screens{{0, 0, 1440, 900}, {1440, 0, 1920, 1080}};
    const std::vector<gfx::Rect> areas{{0, 0, 1440, 876}, {1440, 0, 1920, 1056}};
    // The centre is on the right screen: kept there, though the left area is nearer.
    EXPECT_EQ(keepFrame({1300, 880, 400, 30}, screens, areas), (gfx::Rect{1446, 880, 400, 30}));
    // Below the menu bar after a release.
    EXPECT_EQ(keepFrame({100, 880, 300, 30}, screens, areas), (gfx::Rect{100, 840, 300, 30}));
    // Off every screen: clamped into the nearest area.
    EXPECT_EQ(keepFrame({-900, 400, 300, 30}, screens, areas), (gfx::Rect{6, 400, 300, 30}));
    // More screens than areas: all areas.
    EXPECT_EQ(keepFrame({1600, 100, 300, 30}, screens, {areas[0]}),
              (gfx::Rect{1134, 100, 300, 30}));
}

TEST(KeepFrame, OnScreenFollowsTheCurrentScreensAndTheStatusBar) {
    dispatch::VirtualClock clock;
    dispatch::RunLoop loop{clock};
    auto primary = ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1, 0);
    auto secondary = ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2);
    secondary.visibleFrame = {1440, 80, 1920, 976};
    ui::HeadlessWindowServer server({primary, secondary}, clock);
    ui::Application app(server, loop);
    EXPECT_EQ(usableScreenAreas(),
              (std::vector<gfx::Rect>{{0, 0, 1440, 876}, {1440, 80, 1920, 976}}));
    EXPECT_EQ(keepFrameOnScreen({100, 890, 300, 30}), (gfx::Rect{100, 840, 300, 30}));
    EXPECT_EQ(keepFrameOnScreen({2000, 10, 300, 30}), (gfx::Rect{2000, 86, 300, 30}));
}

} // namespace
} // namespace pulsedeck
