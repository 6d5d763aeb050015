#include "floating/FullscreenMonitor.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowList.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

constexpr int ownPID = 4242;
constexpr int otherPID = 77;

ui::WindowListEntry other(gfx::Rect bounds) {
    return {.bounds = bounds, .layer = 0, .alpha = 1, .ownerPID = otherPID, .onScreen = true};
}

FullscreenWindowGeometry geometry(gfx::Rect frame) {
    return {.frame = frame, .layer = 0, .alpha = 1, .owner = otherPID, .onScreen = true};
}

TEST(FullscreenWindowGeometry, NeedsBoundsLayerOwnerAndAlpha) {
    const auto full = ui::windowInfo(other({0, 0, 1440, 900}));
    const auto made = FullscreenWindowGeometry::make(full);
    ASSERT_TRUE(made);
    EXPECT_EQ(*made, geometry({0, 0, 1440, 900}));

    for (auto key : {ui::WindowInfoKey::bounds, ui::WindowInfoKey::layer,
                     ui::WindowInfoKey::ownerPID, ui::WindowInfoKey::alpha}) {
        auto missing = full;
        missing.erase(missing.find(key));
        EXPECT_FALSE(FullscreenWindowGeometry::make(missing)) << key;
    }
    auto badBounds = full;
    badBounds["bounds"] = foundation::PropertyDictionary{{"x", 0}, {"y", 0}, {"width", "wide"}};
    EXPECT_FALSE(FullscreenWindowGeometry::make(badBounds));
    auto realLayer = full;
    realLayer["layer"] = 0.5;
    EXPECT_FALSE(FullscreenWindowGeometry::make(realLayer));
    auto textAlpha = full;
    textAlpha["alpha"] = "1";
    EXPECT_FALSE(FullscreenWindowGeometry::make(textAlpha));
}

TEST(FullscreenWindowGeometry, OnScreenIsFalseUnlessABooleanSaysSo) {
    auto info = ui::windowInfo(other({0, 0, 10, 10}));
    info.erase(info.find(ui::WindowInfoKey::onScreen));
    EXPECT_FALSE(FullscreenWindowGeometry::make(info)->onScreen);
    info["onScreen"] = 1;
    EXPECT_FALSE(FullscreenWindowGeometry::make(info)->onScreen);
    info["onScreen"] = true;
    EXPECT_TRUE(FullscreenWindowGeometry::make(info)->onScreen);
}

TEST(FullscreenDisplayIDs, AWindowCoversADisplayWithinTwoPoints) {
    const std::map<int, gfx::Rect> displays{{1, {0, 0, 1440, 900}}};
    EXPECT_EQ(fullscreenDisplayIDs({geometry({1, 0, 1440, 901})}, displays, ownPID),
              std::set<int>{1});
    EXPECT_EQ(fullscreenDisplayIDs({geometry({-2, 2, 1442, 898})}, displays, ownPID),
              std::set<int>{1});
    EXPECT_TRUE(fullscreenDisplayIDs({geometry({0, 0, 1440, 897})}, displays, ownPID).empty());
    EXPECT_TRUE(fullscreenDisplayIDs({geometry({2.5, 0, 1440, 900})}, displays, ownPID).empty());
}

TEST(FullscreenDisplayIDs, OnlyOpaqueOrdinaryOnScreenWindowsOfOthersCount) {
    const std::map<int, gfx::Rect> displays{{1, {0, 0, 1440, 900}}};
    auto window = geometry({0, 0, 1440, 900});
    auto counts = [&](FullscreenWindowGeometry w) {
        return !fullscreenDisplayIDs({w}, displays, ownPID).empty();
    };
    EXPECT_TRUE(counts(window));
    auto translucent = window;
    translucent.alpha = 0.9;
    EXPECT_FALSE(counts(translucent));
    translucent.alpha = 0.95;
    EXPECT_TRUE(counts(translucent));
    auto ours = window;
    ours.owner = ownPID;
    EXPECT_FALSE(counts(ours));
    auto elsewhere = window;
    elsewhere.onScreen = false;
    EXPECT_FALSE(counts(elsewhere));
    auto panel = window;
    panel.layer = 3;
    EXPECT_FALSE(counts(panel));
    auto broken = window;
    broken.frame = {std::numeric_limits<double>::quiet_NaN(), 0, 1440, 900};
    EXPECT_FALSE(counts(broken));
    EXPECT_TRUE(fullscreenDisplayIDs({window}, {{1, {0, 0, 0, 0}}}, ownPID).empty())
        << "a display without area is never full-screen";
}

class FullscreenMonitorTest : public ::testing::Test {
protected:
    void useTwoScreens() {
        server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                           ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2)});
    }

    dispatch::VirtualClock clock{100};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1)},
                                    clock};
    ui::Application app{server, loop};
    std::shared_ptr<ui::HeadlessWindowList> windows = std::make_shared<ui::HeadlessWindowList>();
    FullscreenMonitor monitor{windows, ownPID, loop};
    int changes = 0;

    void SetUp() override {
        monitor.changed = [this] { ++changes; };
    }
};

TEST_F(FullscreenMonitorTest, StartsDisabledAndScansNothingUntilEnabled) {
    windows->setWindows({other({0, 0, 1440, 900})});
    EXPECT_FALSE(monitor.isEnabled());
    monitor.scan();
    EXPECT_EQ(windows->queryCount(), 0);
    EXPECT_TRUE(monitor.displayIDs().empty());
    EXPECT_EQ(changes, 0);
}

TEST_F(FullscreenMonitorTest, OneScreenFlaggedAtOnceAndClearedWhenTheWindowLeaves) {
    windows->setWindows({other({0, 0, 1440, 900})});
    monitor.setEnabled(true);
    EXPECT_TRUE(monitor.isEnabled());
    EXPECT_EQ(monitor.observationCount(), 3u);
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{1});
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(monitor.isFullscreen(ui::Screen::screens().front()));
    EXPECT_TRUE(monitor.isFullscreen(gfx::Rect{1300, 876, 100, 24}));

    // The same finding twice reports nothing.
    loop.advanceAndRunDue(FullscreenMonitor::scanInterval + FullscreenMonitor::scanTolerance);
    EXPECT_GE(windows->queryCount(), 2);
    EXPECT_EQ(changes, 1);

    windows->setWindows({other({0, 0, 1440, 897})});
    loop.advanceAndRunDue(FullscreenMonitor::scanInterval + FullscreenMonitor::scanTolerance);
    EXPECT_TRUE(monitor.displayIDs().empty());
    EXPECT_EQ(changes, 2);
}

TEST_F(FullscreenMonitorTest, TwoScreensAreTakenApart) {
    useTwoScreens();
    windows->setWindows({other({1440, 0, 1920, 1080}), other({0, 0, 720, 900})});
    monitor.setEnabled(true);
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{2});
    const auto screens = ui::Screen::screens();
    EXPECT_FALSE(monitor.isFullscreen(screens[0]));
    EXPECT_TRUE(monitor.isFullscreen(screens[1]));
    EXPECT_FALSE(monitor.isFullscreen(gfx::Rect{10, 10, 20, 20}));
    EXPECT_TRUE(monitor.isFullscreen(gfx::Rect{2000, 10, 20, 20}));
    EXPECT_FALSE(monitor.isFullscreen(gfx::Rect{5000, 10, 20, 20})) << "on no screen";

    windows->setWindows({other({1440, 0, 1920, 1080}), other({0, 0, 1440, 900})});
    monitor.scan();
    EXPECT_EQ(monitor.displayIDs(), (std::set<int>{1, 2}));
    EXPECT_EQ(changes, 2);
}

TEST_F(FullscreenMonitorTest, AScreenWithoutANumberIsNeverFullScreen) {
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 0)});
    windows->setWindows({other({0, 0, 1440, 900})});
    monitor.setEnabled(true);
    EXPECT_TRUE(monitor.displayIDs().empty());
    EXPECT_FALSE(monitor.isFullscreen(ui::Screen::screens().front()));
}

TEST_F(FullscreenMonitorTest, AMissingOrMalformedListChangesNothing) {
    windows->setWindows({other({0, 0, 1440, 900})});
    monitor.setEnabled(true);
    ASSERT_EQ(monitor.displayIDs(), std::set<int>{1});

    windows->setList(std::nullopt);
    monitor.scan();
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{1});
    windows->setList(foundation::PropertyArray{foundation::PropertyValue("window")});
    monitor.scan();
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{1});
    // Entries that lack a required key are skipped, the rest still count.
    foundation::PropertyDictionary partial{{"layer", 0}};
    windows->setList(foundation::PropertyArray{partial});
    monitor.scan();
    EXPECT_TRUE(monitor.displayIDs().empty());
    EXPECT_EQ(changes, 2);
}

TEST_F(FullscreenMonitorTest, DisablingReportsOnceOnlyWhenSomethingWasHidden) {
    windows->setWindows({other({0, 0, 1440, 900})});
    monitor.setEnabled(true);
    ASSERT_EQ(changes, 1);
    monitor.setEnabled(false);
    EXPECT_FALSE(monitor.isEnabled());
    EXPECT_EQ(monitor.observationCount(), 0u);
    EXPECT_TRUE(monitor.displayIDs().empty());
    EXPECT_EQ(changes, 2);
    monitor.setEnabled(false);
    EXPECT_EQ(changes, 2);

    const int queries = windows->queryCount();
    loop.advanceAndRunDue(5);
    EXPECT_EQ(windows->queryCount(), queries) << "no timer while disabled";
}

TEST_F(FullscreenMonitorTest, StopKeepsTheSetAndEnablingAgainRestarts) {
    windows->setWindows({other({0, 0, 1440, 900})});
    monitor.setEnabled(true);
    monitor.stop();
    EXPECT_FALSE(monitor.isEnabled());
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{1});
    monitor.setEnabled(true);
    monitor.setEnabled(true);
    EXPECT_EQ(monitor.observationCount(), 3u) << "the old observers were removed first";
    EXPECT_EQ(changes, 1);
}

TEST_F(FullscreenMonitorTest, WorkspaceNotificationsScanSoon) {
    monitor.setEnabled(true);
    const int queries = windows->queryCount();
    windows->setWindows({other({0, 0, 1440, 900})});
    for (auto name :
         {ui::WorkspaceNotification::activeSpaceDidChange,
          ui::WorkspaceNotification::didActivateApplication, ui::WorkspaceNotification::didWake})
        app.workspace().post(name);
    EXPECT_EQ(windows->queryCount(), queries) << "the scan runs from the main queue";
    loop.runUntilIdle();
    EXPECT_EQ(windows->queryCount(), queries + 3);
    EXPECT_EQ(monitor.displayIDs(), std::set<int>{1});
    EXPECT_EQ(changes, 1);
}

TEST(FullscreenMonitorLifetime, AScanScheduledForAGoneMonitorDoesNothing) {
    dispatch::VirtualClock clock{1};
    dispatch::RunLoop loop{clock};
    auto windows = std::make_shared<ui::HeadlessWindowList>();
    {
        FullscreenMonitor monitor{windows, ownPID, loop};
        monitor.scheduleScan();
    }
    loop.runUntilIdle();
    EXPECT_EQ(windows->queryCount(), 0);
}

} // namespace
} // namespace pulsedeck
