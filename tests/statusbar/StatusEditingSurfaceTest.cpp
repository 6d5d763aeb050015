#include "statusbar/StatusEditingSurface.h"

#include "StripPressFixture.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/EditingPanels.h"
#include "statusbar/PassiveStripMaterial.h"
#include "statusbar/StripForeground.h"
#include "support/MenuBarContentViewProbe.h"

#include <cmath>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::StripPressFixture;

TEST(StatusEditingSurfaceAlone, WithoutAnOwnerItDrawsAndForwardsNothing) {
    dispatch::VirtualClock clock{1000.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    auto surface = std::make_shared<StatusEditingSurface>(gfx::Rect{0, 0, 120, 24});
    EXPECT_FALSE(surface->accessibilityPerformPress());
    EXPECT_EQ(surface->accessibility().role, ui::AccessibilityRole::button);
    EXPECT_EQ(surface->accessibility().label, "Pulsedeck");
    EXPECT_FALSE(surface->glass()->isAccessibilityElement());
    EXPECT_EQ(surface->glass()->alphaValue(), 1.0);
    EXPECT_EQ(surface->cornerRadius(), 12);
    EXPECT_EQ(surface->hitTest({10, 10}), surface.get());

    gfx::RecordingContext context({120, 24});
    surface->drawContent(context, surface->bounds());
    EXPECT_TRUE(context.log().fills().empty());
}

class EditingSurface : public StripPressFixture {
protected:
    std::unique_ptr<EditingPanels> panels;
    std::vector<std::pair<ModuleKind, gfx::Point>> hovers;
    bool hoverEnabled = true;

    void SetUp() override {
        StripPressFixture::SetUp();
        strip->hoverDetailsEnabled = [this] { return hoverEnabled; };
        strip->moduleHoverAction = [this](ModuleKind kind, gfx::Point point) {
            hovers.emplace_back(kind, point);
        };
        panels = std::make_unique<EditingPanels>(strip);
        strip->editingDisplayAction = [this] { panels->redrawSurfaces(); };
        strip->editingRectAction = [this](const gfx::Rect& rect) { panels->redrawSurfaces(rect); };
        refresh();
    }
    void TearDown() override { panels.reset(); }

    void refresh() {
        EditingPanels::Conditions conditions;
        conditions.surfacesReady = true;
        panels->refresh(conditions);
    }
    StatusEditingPanel& panel() { return *panels->panels().begin()->second; }
    StatusEditingSurface& surface() { return *EditingPanels::surfaceOf(panel()); }
};

TEST_F(EditingSurface, TheGlassAndTheBackgroundFollowTheSurfacesOpacity) {
    surface().setOpacity(0.05);
    EXPECT_DOUBLE_EQ(surface().glass()->alphaValue(), 0.2);
    EXPECT_EQ(surface().glass()->material, 13);
    EXPECT_EQ(surface().glass()->blendingMode, 0);
    EXPECT_EQ(surface().glass()->state, 1);

    gfx::RecordingContext context(surface().bounds().size);
    surface().drawBackground(context, surface().bounds());
    ASSERT_EQ(context.log().fills().size(), 1u);
    EXPECT_NEAR(context.log().fills()[0].color.alpha(), 0.008, 1e-12);
    EXPECT_NEAR(context.log().fills()[0].color.red(), 0.94, 1e-12);
    ASSERT_EQ(context.log().strokes().size(), 1u);
    EXPECT_EQ(context.log().strokes()[0].lineWidth, 0.5);
    EXPECT_NEAR(context.log().strokes()[0].color.alpha(), 0.12, 1e-12);
    EXPECT_EQ(context.log().strokes()[0].bounds, surface().bounds().insetBy(0.5, 0.5));

    app.workspace().setReduceTransparency(true);
    gfx::RecordingContext opaque(surface().bounds().size);
    surface().drawBackground(opaque, surface().bounds());
    EXPECT_EQ(opaque.log().fills()[0].color.alpha(), 1.0);
}

TEST_F(EditingSurface, ADarkStripGetsTheDarkGlass) {
    strip->setAppearance(gfx::Appearance::dark);
    surface().applyMaterial();
    EXPECT_EQ(surface().effectiveAppearance(), gfx::Appearance::dark);
    gfx::RecordingContext context(surface().bounds().size);
    surface().drawBackground(context, surface().bounds());
    EXPECT_NEAR(context.log().fills()[0].color.red(), 0.1, 1e-12);
    EXPECT_EQ(context.log().strokes()[0].color.red(), 1.0);
}

TEST_F(EditingSurface, TheEndsAreRoundUnlessTheAppMarkShows) {
    EXPECT_EQ(surface().cornerRadius(), 12);
    strip->setDisplaysAppMark(true);
    surface().applyMaterial();
    EXPECT_NEAR(surface().cornerRadius(), 5.52, 1e-12);
    surface().setFrameSize({100, 30});
    EXPECT_NEAR(surface().cornerRadius(), 30 * 0.23, 1e-12);
}

TEST_F(EditingSurface, TheGlassAndTheForegroundLetThePointerThrough) {
    EXPECT_EQ(surface().hitTest(surface().bounds().center()), &surface());
    EXPECT_EQ(surface().foreground()->surface, &surface());
}

TEST_F(EditingSurface, ARedrawLimitsItselfToTheColumnUnderTheRect) {
    panel().orderOut();
    auto& foreground = *surface().foreground();
    foreground.setNeedsDisplay(false);
    surface().redraw(gfx::Rect{-100, 0, 10, 24});
    EXPECT_FALSE(foreground.needsDisplay());
    surface().redraw(gfx::Rect{10.3, 3, 5.2, 4});
    EXPECT_EQ(foreground.dirtyRect(), (gfx::Rect{6, 0, 14, 24}));
}

TEST_F(EditingSurface, AClickThroughThePanelIsAClickOnTheStrip) {
    const gfx::Point start = centreOf(ModuleKind::network);
    ASSERT_EQ(server.windowAt(start), panel().windowNumber());
    server.mouseDown(start);
    EXPECT_TRUE(Probe::pressPending(*strip));
    // The panel's own events carry the press; no poll runs.
    EXPECT_FALSE(Probe::pressPolls(*strip));
    server.mouseUp(start);
    EXPECT_EQ(moduleClicks, (std::vector<std::optional<ModuleKind>>{ModuleKind::network}));
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_NEAR(clicks[0]->x, start.x, 1e-9);
    EXPECT_NEAR(clicks[0]->y, start.y, 1e-9);
}

TEST_F(EditingSurface, ADragThroughThePanelPullsTheStripOut) {
    const gfx::Point start = centreOf(ModuleKind::memory);
    server.mouseDown(start);
    server.movePointer({start.x, start.y - 8.01});
    server.mouseUp({start.x, start.y - 40});
    ASSERT_FALSE(drags.empty());
    EXPECT_TRUE(drags.back().ended);
    EXPECT_NEAR(drags.back().current.y, start.y - 40, 1e-9);
    EXPECT_TRUE(clicks.empty());
}

TEST_F(EditingSurface, SortingThroughThePanelReordersTheStrip) {
    strip->setSorting(true);
    refresh();
    const gfx::Point start = onScreen(ModuleKind::memory, 5, 4);
    server.mouseDown(start);
    EXPECT_TRUE(Probe::sortUsesNative(*strip));
    server.movePointer({start.x + 150, start.y});
    server.mouseUp({start.x + 150, start.y});
    ASSERT_FALSE(orders.empty());
    EXPECT_EQ(strip->order().back(), ModuleKind::memory);
    EXPECT_FALSE(Probe::sortUsesNative(*strip));
}

TEST_F(EditingSurface, HoverIsReportedAfterTheDelayAtTheModulesScreenCentre) {
    const gfx::Point over = onScreen(ModuleKind::network, 10, 10);
    server.movePointer(over);
    EXPECT_EQ(surface().hoveredModule(), ModuleKind::network);
    runFor(0.05);
    // Moving inside the module keeps the running delay.
    server.movePointer({over.x + 20, over.y});
    runFor(0.03);
    EXPECT_TRUE(hovers.empty());
    runFor(0.02);
    ASSERT_EQ(hovers.size(), 1u);
    EXPECT_EQ(hovers[0].first, ModuleKind::network);
    EXPECT_NEAR(hovers[0].second.x, centreOf(ModuleKind::network).x, 1e-9);
    EXPECT_NEAR(hovers[0].second.y, centreOf(ModuleKind::network).y, 1e-9);
    EXPECT_FALSE(surface().hoverPending());
    EXPECT_EQ(surface().hoveredModule(), ModuleKind::network);
}

TEST_F(EditingSurface, MovingToAnotherModuleRestartsTheDelay) {
    server.movePointer(centreOf(ModuleKind::memory));
    runFor(0.06);
    server.movePointer(centreOf(ModuleKind::devices));
    runFor(0.06);
    EXPECT_TRUE(hovers.empty());
    runFor(0.04);
    ASSERT_EQ(hovers.size(), 1u);
    EXPECT_EQ(hovers[0].first, ModuleKind::devices);
}

TEST_F(EditingSurface, NoHoverWhileHeldSortingPressingDraggingOrNotWanted) {
    const gfx::Point inside = strip->rect(ModuleKind::network).center();
    auto expectNoHover = [&](const char* why, bool held) {
        surface().updateHover(inside, held);
        runFor(0.2);
        EXPECT_TRUE(hovers.empty()) << why;
        EXPECT_EQ(surface().hoveredModule(), std::nullopt) << why;
    };
    expectNoHover("a button is held", true);

    strip->setSorting(true);
    expectNoHover("sorting", false);
    strip->setSorting(false);

    const gfx::Point start = centreOf(ModuleKind::memory);
    server.mouseDown(start);
    ASSERT_TRUE(Probe::pressPending(*strip));
    expectNoHover("a press is pending", false);
    server.movePointer({start.x, start.y - 20});
    ASSERT_TRUE(Probe::dragsStripOut(*strip));
    expectNoHover("dragging", false);
    server.mouseUp({start.x, start.y - 20});
    ASSERT_FALSE(strip->holdsPointer());

    hoverEnabled = false;
    expectNoHover("hover details are off", false);
    strip->hoverDetailsEnabled = nullptr;
    expectNoHover("hover details are not asked", false);
}

TEST_F(EditingSurface, LeavingTheStripOrPressingStopsAPendingHover) {
    server.movePointer(centreOf(ModuleKind::network));
    ASSERT_TRUE(surface().hoverPending());
    server.movePointer({200, 200});
    EXPECT_FALSE(surface().hoverPending());
    runFor(0.2);
    EXPECT_TRUE(hovers.empty());
}

TEST_F(EditingSurface, ARightClickStopsThePendingHoverBeforeTheMenu) {
    server.movePointer(centreOf(ModuleKind::network));
    ASSERT_TRUE(surface().hoverPending());
    strip->contextMenuAction = [&](const ui::Event&) {
        EXPECT_FALSE(surface().hoverPending());
        contextMenus.emplace_back();
    };
    server.rightClick(centreOf(ModuleKind::network));
    EXPECT_EQ(contextMenus.size(), 1u);
    runFor(0.2);
    EXPECT_TRUE(hovers.empty());
}

TEST_F(EditingSurface, CursorsOverThePanelFollowSorting) {
    server.movePointer(centreOf(ModuleKind::memory));
    EXPECT_EQ(server.cursor(), ui::CursorKind::pointingHand);
    strip->setSorting(true);
    refresh();
    server.movePointer(onScreen(ModuleKind::memory, 5, 4));
    EXPECT_EQ(server.cursor(), ui::CursorKind::openHand);
    const gfx::Rect module = strip->rect(ModuleKind::memory);
    server.movePointer(onScreen(ModuleKind::memory, module.width() - 3, 20 - module.minY()));
    EXPECT_EQ(server.cursor(), ui::CursorKind::pointingHand);
}

TEST_F(EditingSurface, TheAccessibilityPressReachesTheStrip) {
    server.movePointer({200, 200});
    EXPECT_TRUE(surface().accessibilityPerformPress());
    EXPECT_EQ(moduleClicks, (std::vector<std::optional<ModuleKind>>{ModuleKind::memory}));
}

} // namespace
} // namespace pulsedeck
