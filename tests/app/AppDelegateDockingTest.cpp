#include "app/ControllerHarness.h"
#include "floating/DockAnchors.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
#include "platform/toolkit/StatusBar.h"

namespace pulsedeck {
namespace {

// The controller 0.25 s after launch, with its editing panels up and the strip's anchors stored.
class AppDelegateDockingTest : public testing::ControllerHarness {
protected:
    void SetUp() override {
        launch();
        advance(0.3);
        ASSERT_TRUE(delegate->statusStrip().view()->statusItemScreenFrame());
    }

    void twoDisplays() {
        server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
                           ui::HeadlessWindowServer::makeScreen({1440, -180, 1920, 1080}, 2)});
        ui::StatusBar::system().relayout();
        delegate->statusStrip().refreshEditingPanels();
    }

    std::optional<DockAnchor> storedAnchor(const std::string& key) {
        const auto stored = reloaded().dictionaryForKey(PreferenceKey::floatingDockAnchors);
        if (!stored || !stored->contains(key))
            return std::nullopt;
        const std::string* text = stored->at(key).asString();
        return text ? DockAnchor::parse(*text) : std::nullopt;
    }

    // The floating bar, made by choosing it; its anchor at its own size.
    gfx::Rect makeBar() {
        delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
        EXPECT_TRUE(floatingBar().panel());
        return floatingBar().dockAnchorFrames().at(0);
    }
    void moveBar(const gfx::Rect& frame) { floatingBar().panel()->setFrame(frame, false); }
};

TEST_F(AppDelegateDockingTest, EveryMenuBarDisplayGetsAPanelAndAStoredAnchorAtItsStrip) {
    twoDisplays();
    EXPECT_EQ(delegate->statusStrip().editingPanels()->panels().size(), 2u);
    const std::vector<ui::Screen> screens = ui::Screen::screens();
    const std::vector<gfx::Rect> frames = floatingBar().dockAnchorFrames();
    ASSERT_EQ(frames.size(), 2u);
    for (std::size_t index = 0; index < 2; ++index) {
        const auto anchor = storedAnchor("Optional(" + std::to_string(index + 1) + ")");
        ASSERT_TRUE(anchor) << index;
        const gfx::Rect strip = *delegate->statusStrip().view()->stripFrame(screens[index]);
        EXPECT_EQ(*anchor, DockAnchor::measure(screens[index].frame(), strip));
        // A bar docked there ends where the strip ends, level with its middle.
        EXPECT_DOUBLE_EQ(frames[index].maxX(), strip.maxX());
        EXPECT_DOUBLE_EQ(frames[index].midY(), strip.midY());
    }
}

TEST_F(AppDelegateDockingTest, AnAnchorOutsideTheMenuBarOrUnderAFullScreenWindowIsNone) {
    const ui::Screen screen = ui::Screen::screens().at(0);
    for (const auto& [text, accepted] :
         {std::pair{"{{10, 0}, {200, 24}}", false}, std::pair{"{{10, 80}, {200, 24}}", false},
          std::pair{"{{10, 79.5}, {200, 24}}", true}, std::pair{"{{-1, 12}, {200, 24}}", false}}) {
        delegate->settings().change(
            [text = text](Preferences& p) { p.floatingDockAnchors["Optional(1)"] = text; });
        EXPECT_EQ(floatingBar().dockAnchorFrame(screen).has_value(), accepted) << text;
    }

    twoDisplays();
    windows->setWindows({{.bounds = {1440, -180, 1920, 1080}, .ownerPID = 1}});
    details()->editLook([=](StripLook& l) { l.hideInFullscreen = true; });
    ASSERT_EQ(delegate->floatingMode().fullscreen().displayIDs(), std::set<int>{2});
    const std::vector<gfx::Rect> frames = floatingBar().dockAnchorFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_LE(frames[0].maxX(), 1440);
    EXPECT_TRUE(
        delegate->statusStrip().editingPanels()->panels().at("{{0, 0}, {1440, 900}}")->isVisible());
    EXPECT_FALSE(delegate->statusStrip()
                     .editingPanels()
                     ->panels()
                     .at("{{1440, -180}, {1920, 1080}}")
                     ->isVisible());
}

TEST_F(AppDelegateDockingTest, ABarPickedUpAtItsAnchorDocksOnlyOnceItHasLeftIt) {
    app.workspace().setReduceMotion(true);
    const gfx::Rect anchor = makeBar();
    // Where a bar sits when a screen's menu bar is deeper than ours: within reach of the anchor.
    const gfx::Rect resting = anchor.offsetBy(-8, -20);
    moveBar(resting);
    ASSERT_TRUE(dockAnchor(resting, {anchor}));

    const gfx::Point grip = resting.center();
    server.movePointer(grip);
    server.mouseDown(grip);
    auto dragBy = [&](double dx, double dy) {
        server.movePointer(grip.offsetBy(dx, dy));
        loop.runUntilIdle();
    };
    const double toAnchorX = anchor.midX() - resting.midX();
    const double toAnchorY = anchor.midY() - resting.midY();
    // Picked up and nudged onto the anchor: it moves over the menu bar and stays a bar.
    dragBy(0, 10);
    dragBy(toAnchorX, toAnchorY);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::copy);
    ASSERT_TRUE(floatingBar().panel());
    const gfx::Rect held = floatingBar().panel()->frame();
    EXPECT_GT(held.maxY(), ui::Screen::screens().at(0).visibleFrame().maxY());
    EXPECT_TRUE(dockAnchor(held, {anchor}));

    // Away and back: it docks at once under Reduce Motion, and the press ends there.
    dragBy(-300, -300);
    EXPECT_TRUE(inside(*delegate).floatingDockArmed);
    dragBy(toAnchorX - 8, toAnchorY - 4);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_FALSE(floatingBar().panel());
    EXPECT_FALSE(inside(*delegate).floatingDockArmed);
    server.mouseUp(grip);
    loop.runUntilIdle();
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
}

TEST_F(AppDelegateDockingTest, ADragBegunAwayDocksWithTheLiquidAndEndsTheBarAfterIt) {
    const gfx::Rect anchor = makeBar();
    delegate->floatingMode().set(FloatingMode::detached, std::nullopt);
    moveBar(anchor.offsetBy(0, -200));
    floatingBar().dragBegan();
    EXPECT_TRUE(inside(*delegate).floatingDockArmed);

    const gfx::Rect dropped = anchor.offsetBy(10, -15);
    EXPECT_TRUE(floatingBar().dock(dropped));
    EXPECT_EQ(inside(*delegate).floatingMotion.phase(), FloatingLiquidAnimator::Phase::docking);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::detached);
    // While the liquid runs nothing else docks.
    inside(*delegate).floatingDockArmed = true;
    EXPECT_FALSE(floatingBar().dock(dropped));

    // The strip is back as the liquid reaches its anchor, under the overlay that wobbles there
    // a moment longer, and the bar has gone without showing again.
    const std::weak_ptr<ui::Window> bar = floatingBar().panel();
    advance(0.7);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());
    EXPECT_TRUE(bar.expired());
    ASSERT_TRUE(inside(*delegate).floatingMotion.overlay());
    EXPECT_TRUE(inside(*delegate).floatingMotion.overlay()->isVisible());
    advance(0.5);
    EXPECT_FALSE(inside(*delegate).floatingMotion.isRunning());
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_FALSE(floatingBar().panel());
    EXPECT_TRUE(bar.expired());
}

} // namespace
} // namespace pulsedeck
