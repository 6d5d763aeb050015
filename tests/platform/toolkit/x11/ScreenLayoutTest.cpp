#include "platform/toolkit/x11/ScreenLayout.h"

#include <gtest/gtest.h>

namespace {

using namespace ui::x11;

TEST(ScreenLayout, OneBareMonitorLosesOnlyTheStatusBar) {
    const auto screens = describeScreens({{0, 0, 1280, 800, true}}, 1280, 800, {}, 1, 24);
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].frame, (gfx::Rect{0, 0, 1280, 800}));
    EXPECT_EQ(screens[0].visibleFrame, (gfx::Rect{0, 0, 1280, 776}));
    EXPECT_EQ(screens[0].displayNumber, 1);
    EXPECT_EQ(screens[0].backingScale, 1);
}

TEST(ScreenLayout, ThePrimaryComesFirstAndOwnsTheOrigin) {
    // A secondary monitor on the left, its top 200 pixels above the primary's.
    const std::vector<MonitorArea> monitors = {{0, 0, 1024, 1000, false},
                                               {1024, 200, 1920, 1080, true}};
    const auto screens = describeScreens(monitors, 2944, 1280, {}, 1, 24);
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[0].frame, (gfx::Rect{0, 0, 1920, 1080}));
    EXPECT_EQ(screens[0].visibleFrame.maxY(), 1080 - 24);
    // In y-up space its bottom edge is 1000 - 1280 = -280 below the primary's.
    EXPECT_EQ(screens[1].frame, (gfx::Rect{-1024, 280, 1024, 1000}));
    EXPECT_EQ(screens[1].visibleFrame, screens[1].frame);
    // The displays are numbered as their screens are.
    EXPECT_EQ(describeDisplays(monitors, 1),
              (std::map<int, gfx::Rect>{{1, screens[0].frame}, {2, screens[1].frame}}));
}

TEST(ScreenLayout, OtherDocksStrutsShrinkTheMonitorsTheyTouch) {
    const std::vector<MonitorArea> monitors = {{0, 0, 1920, 1080, true},
                                               {1920, 0, 1280, 1024, false}};
    std::vector<Strut> struts;
    // A 32-pixel top panel over the primary only.
    Strut top;
    top.top = 32;
    top.topStartX = 0;
    top.topEndX = 1919;
    struts.push_back(top);
    // A 48-pixel dock at the bottom of the right monitor: the root is 1080 high, so it reaches
    // 48 + 56 pixels up from the root's bottom.
    Strut bottom;
    bottom.bottom = 48 + 56;
    bottom.bottomStartX = 1920;
    bottom.bottomEndX = 3199;
    struts.push_back(bottom);
    const auto screens = describeScreens(monitors, 3200, 1080, struts, 1, 24);
    ASSERT_EQ(screens.size(), 2u);
    // The primary begins below the top panel, where our bar sits: the bar's 24 points are all
    // that lies between the frame's top and the visible frame's.
    EXPECT_EQ(screens[0].frame, (gfx::Rect{0, 0, 1920, 1080 - 32}));
    EXPECT_EQ(screens[0].visibleFrame, (gfx::Rect{0, 0, 1920, 1080 - 32 - 24}));
    EXPECT_EQ(screens[1].frame, (gfx::Rect{1920, 1080 - 1024, 1280, 1024}));
    EXPECT_EQ(screens[1].visibleFrame.minY(), screens[1].frame.minY() + 48);
    EXPECT_EQ(screens[1].visibleFrame.maxY(), screens[1].frame.maxY());
    // A window covering the primary display covers the panel too: the display keeps its height.
    EXPECT_EQ(describeDisplays(monitors, 1),
              (std::map<int, gfx::Rect>{{1, {0, 0, 1920, 1080}}, {2, screens[1].frame}}));
}

TEST(ScreenLayout, ReservedEdgesIgnoreStrutsElsewhereAndClampToTheMonitor) {
    const MonitorArea monitor{0, 0, 1000, 800, true};
    Strut elsewhere;
    elsewhere.top = 40;
    elsewhere.topStartX = 1000;
    elsewhere.topEndX = 1999;
    EXPECT_EQ(reservedEdges(monitor, 2000, 800, {elsewhere}), EdgeInsets{});
    EXPECT_EQ(reservedEdges(monitor, 1000, 800, {Strut::fullSpan(5000, 0, 0, 0)}).left, 1000);
    EXPECT_EQ(reservedEdges(monitor, 1000, 800, {Strut::fullSpan(0, 30, 20, 10)}),
              (EdgeInsets{0, 30, 20, 10}));
}

TEST(ScreenLayout, PointsAndPixelsAtScaleTwo) {
    const RootGeometry geometry({0, 0, 2560, 1600, true}, 2);
    EXPECT_EQ(geometry.pointFromPixel(0, 1600), (gfx::Point{0, 0}));
    EXPECT_EQ(geometry.pointFromPixel(2560, 0), (gfx::Point{1280, 800}));
    // A 60 × 24 pt bar at the top right.
    EXPECT_EQ(geometry.pixelsFromRect({1220, 776, 60, 24}),
              (RootGeometry::PixelRect{2440, 0, 120, 48}));
    // Fractions round outwards; nothing is smaller than a pixel.
    EXPECT_EQ(geometry.pixelsFromRect({10.3, 10, 0.1, 0}),
              (RootGeometry::PixelRect{20, 1580, 1, 1}));
    const auto screens = describeScreens({{0, 0, 2560, 1600, true}}, 2560, 1600, {}, 2, 24);
    EXPECT_EQ(screens[0].frame, (gfx::Rect{0, 0, 1280, 800}));
    EXPECT_EQ(screens[0].visibleFrame.maxY(), 776);
    EXPECT_EQ(screens[0].backingScale, 2);
}

TEST(ScreenLayout, NoMonitorsNoScreens) {
    EXPECT_TRUE(describeScreens({}, 0, 0, {}, 1, 24).empty());
}

TEST(ScreenLayout, StrutsAreClampedToTheRootAndTheDockThatClaimsThem) {
    struct Case {
        const char* name;
        RootGeometry::PixelRect dock;
        Strut strut;
        Strut expected;
    };
    const auto top = [](long pixels) { return Strut{0, 0, pixels, 0, 0, 0, 0, 0, 0, 1279, 0, 0}; };
    const auto bottom = [](long pixels) {
        return Strut{0, 0, 0, pixels, 0, 0, 0, 0, 0, 0, 0, 1279};
    };
    const Case cases[] = {
        {"a panel reserving what it covers keeps it", {0, 0, 1280, 30}, top(30), top(30)},
        {"a runaway top strut stops at the panel's bottom", {0, 0, 1280, 30}, top(100000), top(30)},
        {"a panel below another reserves down to its own bottom",
         {0, 24, 1280, 30},
         top(100000),
         top(54)},
        {"a runaway bottom strut stops at the panel's top",
         {0, 770, 1280, 30},
         bottom(100000),
         bottom(30)},
        {"a negative strut reserves nothing", {0, 0, 1280, 30}, top(-5), top(0)},
        {"a dock larger than the root reserves no more than the root",
         {0, 0, 1280, 5000},
         top(100000),
         top(800)},
        {"sides clamp alike",
         {0, 0, 40, 800},
         Strut{100000, 0, 0, 0, 0, 799, 0, 0, 0, 0, 0, 0},
         Strut{40, 0, 0, 0, 0, 799, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(clampedStrut(c.strut, c.dock, 1280, 800), c.expected) << c.name;
}

TEST(ScreenLayout, TheStatusBarsTopHonoursDocksAboveItAndAWindowlessPanel) {
    const MonitorArea primary{0, 0, 1440, 900, true};
    const auto dock = [](int y, int height, long startX = 0, long endX = 1439) {
        Strut strut;
        strut.top = y + height;
        strut.topStartX = startX;
        strut.topEndX = endX;
        return Dock{strut, {int(startX), y, int(endX - startX + 1), height}};
    };
    struct Case {
        const char* name;
        std::vector<Dock> docks;
        std::optional<long> windowless;
        long expected;
    };
    const Case cases[] = {
        {"a bare screen", {}, std::nullopt, 0},
        {"below a panel at the top", {dock(0, 30)}, std::nullopt, 30},
        {"below two panels stacked, in any order", {dock(30, 20), dock(0, 30)}, std::nullopt, 50},
        {"another bar placed below ours does not push it", {dock(24, 24, 850)}, std::nullopt, 0},
        {"the other bar, placed first, is honoured once", {dock(0, 24, 850)}, std::nullopt, 24},
        {"a panel over another monitor's top", {dock(0, 30, 1440, 2000)}, std::nullopt, 0},
        {"a panel without a window", {}, 32, 32},
        {"a dock below the windowless panel", {dock(32, 20)}, 32, 52},
        {"a work area leaving the bar just its rows", {}, 876, 876},
        {"a work area leaving the bar no room is not honoured", {}, 877, 0},
        {"nor one at the monitor's bottom", {dock(0, 30)}, 899, 30},
        {"nor one far beyond it", {}, 2000000000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(statusBarTop(primary, c.docks, c.windowless, 24), c.expected) << c.name;
    // The screens begin at the top they are given.
    const auto screens = describeScreens({primary}, 1440, 900, {}, 1, 24, 32);
    EXPECT_EQ(screens.front().frame, (gfx::Rect{0, 0, 1440, 900 - 32}));
    EXPECT_EQ(screens.front().visibleFrame.maxY(), 900 - 32 - 24);
}

// The bar reserves the top over its own columns down to its bottom where it hangs from a monitor's
// top, below other panels; floated mid-screen at a size a manager chose (sway's, which ignores
// the dock type), it reserves nothing.
TEST(ScreenLayout, TheBarsStrutComesOnlyFromTheTopOfAMonitor) {
    const std::vector<MonitorArea> monitors = {{0, 0, 1280, 800, true},
                                               {1280, 0, 1024, 768, false}};
    const auto strut = [&](RootGeometry::PixelRect bar) {
        const Strut reserved = statusBarStrut(bar, monitors, 24);
        return std::vector<long>{reserved.top, reserved.topStartX, reserved.topEndX};
    };
    EXPECT_EQ(strut({690, 0, 590, 24}), (std::vector<long>{24, 690, 1279}));
    EXPECT_EQ(strut({690, 56, 590, 24}), (std::vector<long>{80, 690, 1279})) << "below a panel";
    EXPECT_EQ(strut({1600, 30, 704, 24}), (std::vector<long>{54, 1600, 2303})) << "the second";
    EXPECT_EQ(strut({690, 200, 590, 24}), (std::vector<long>{80 + 144, 690, 1279}))
        << "a quarter down";
    EXPECT_EQ(strut({345, 375, 590, 50}), (std::vector<long>{0, 0, 0})) << "floated mid-screen";
    EXPECT_EQ(strut({690, 0, 590, 50}), (std::vector<long>{24, 690, 1279}))
        << "no deeper than the bar's own thickness";
}

} // namespace
