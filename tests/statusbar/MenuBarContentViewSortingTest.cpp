#include "StripPressFixture.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MenuBarContentView.h"
#include "support/MenuBarContentViewProbe.h"

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::StripPressFixture;

const std::vector<ModuleKind> canonicalOrder{allModuleKinds.begin(), allModuleKinds.end()};

class StripSorting : public StripPressFixture {
protected:
    void SetUp() override {
        StripPressFixture::SetUp();
        strip->setSorting(true);
    }

    // Where to press a module away from its close badge.
    gfx::Point grip(ModuleKind kind) const { return onScreen(kind, 5, 4); }

    // How far right memory must move for its centre to reach network's middle.
    double memoryToNetwork() const {
        const gfx::Rect memory = strip->rect(ModuleKind::memory);
        return strip->layoutModuleRects().at(ModuleKind::network).midX() - memory.midX();
    }
};

TEST_F(StripSorting, TheOrderChangesOnlyWhenTheCentreReachesANeighboursMiddle) {
    const gfx::Point start = grip(ModuleKind::memory);
    const double reach = memoryToNetwork();
    server.mouseDown(start);
    EXPECT_EQ(strip->draggedModule(), ModuleKind::memory);
    server.movePointer({start.x + reach - 0.01, start.y});
    EXPECT_TRUE(orders.empty());
    EXPECT_EQ(strip->order(), canonicalOrder);

    server.movePointer({start.x + reach + 0.01, start.y});
    const std::vector<ModuleKind> swapped{ModuleKind::fan,     ModuleKind::network,
                                          ModuleKind::memory,  ModuleKind::temperature,
                                          ModuleKind::compute, ModuleKind::devices};
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0], swapped);
    EXPECT_EQ(strip->order(), swapped);
}

TEST_F(StripSorting, EveryStepSendsTheWholeOrder) {
    const gfx::Point start = grip(ModuleKind::memory);
    server.mouseDown(start);
    for (double dx = 2; dx < 200; dx += 2)
        server.movePointer({start.x + dx, start.y});
    ASSERT_EQ(orders.size(), 2u);
    EXPECT_EQ(orders[1], (std::vector<ModuleKind>{ModuleKind::fan, ModuleKind::network,
                                                  ModuleKind::temperature, ModuleKind::compute,
                                                  ModuleKind::devices, ModuleKind::memory}));
    server.mouseUp({start.x + 200, start.y});
    EXPECT_EQ(strip->draggedModule(), std::nullopt);
    EXPECT_FALSE(Probe::sortPointerIsDown(*strip));
}

TEST_F(StripSorting, TheDraggedModuleStaysInsideTheView) {
    const gfx::Point start = grip(ModuleKind::network);
    server.mouseDown(start);
    server.movePointer({start.x + 400, start.y});
    EXPECT_DOUBLE_EQ(Probe::draggedRect(*strip)->maxX(), strip->bounds().width());
    server.movePointer({start.x - 400, start.y});
    EXPECT_EQ(Probe::draggedRect(*strip)->minX(), 0);
    // Only the x moves.
    EXPECT_EQ(Probe::draggedRect(*strip)->y(),
              strip->layoutModuleRects().at(ModuleKind::network).y());
}

TEST_F(StripSorting, AModuleWiderThanTheViewIsPinnedAtTheLeftEdge) {
    strip->View::setFrameSize({30, 24});
    Probe::beginSortDrag(*strip, ModuleKind::network, 10);
    ASSERT_EQ(strip->draggedModule(), ModuleKind::network);
    Probe::moveSortDrag(*strip, 60);
    EXPECT_EQ(Probe::draggedRect(*strip)->minX(), 0);
}

TEST_F(StripSorting, ReleasingSlidesTheModuleHomeFromWhereItWasDropped) {
    const gfx::Point start = grip(ModuleKind::devices);
    server.mouseDown(start);
    server.movePointer({start.x - 3, start.y});
    const gfx::Rect dropped = *Probe::draggedRect(*strip);
    server.mouseUp({start.x - 3, start.y});
    EXPECT_EQ(strip->displayedRects().at(ModuleKind::devices), dropped);
    EXPECT_TRUE(Probe::isGliding(*strip));
    runFor(0.5);
    EXPECT_EQ(strip->displayedRects().at(ModuleKind::devices),
              strip->layoutModuleRects().at(ModuleKind::devices));
}

TEST_F(StripSorting, TheClosedHandIsHeldThroughTheDrag) {
    server.mouseDown(grip(ModuleKind::memory));
    EXPECT_TRUE(Probe::holdsClosedHand(*strip));
    EXPECT_EQ(app.currentCursor(), ui::Cursor::closedHand());
    server.mouseUp(grip(ModuleKind::memory));
    EXPECT_FALSE(Probe::holdsClosedHand(*strip));
    EXPECT_NE(app.currentCursor(), ui::Cursor::closedHand());
}

class StripBadges : public StripSorting {
protected:
    // A point relative to network's badge square, in screen space.
    gfx::Point nearBadge(double dx, double dy) const {
        const gfx::Rect module = strip->rect(ModuleKind::network);
        const gfx::Rect frame = stripScreenFrame();
        return {frame.minX() + module.maxX() + dx, frame.minY() + 12 + dy};
    }
};

TEST_F(StripBadges, APressJustOutsideTheBadgeAndAReleaseInsideHidesTheModule) {
    server.mouseDown(nearBadge(2.9, 6));
    EXPECT_EQ(Probe::pressedClose(*strip), ModuleKind::network);
    EXPECT_EQ(strip->draggedModule(), std::nullopt);
    server.mouseUp(nearBadge(-6, 6));
    EXPECT_EQ(hidden, (std::vector<ModuleKind>{ModuleKind::network}));
    EXPECT_EQ(Probe::pressedClose(*strip), std::nullopt);
}

TEST_F(StripBadges, AReleaseOutsideTheExactBadgeHidesNothing) {
    server.mouseDown(nearBadge(-6, 6));
    server.mouseUp(nearBadge(1, 6));
    EXPECT_TRUE(hidden.empty());
}

TEST_F(StripBadges, APressFurtherOutsideIsNotABadgePress) {
    server.mouseDown(nearBadge(-6, -3.5));
    EXPECT_EQ(Probe::pressedClose(*strip), std::nullopt);
    EXPECT_EQ(strip->draggedModule(), ModuleKind::network);
    server.mouseUp(nearBadge(-6, 6));
    EXPECT_TRUE(hidden.empty());
}

TEST_F(StripBadges, ModulesThatCannotBeEditedHaveNoBadgeAndDoNotMove) {
    strip->setEditableModules({ModuleKind::memory, ModuleKind::devices});
    EXPECT_EQ(Probe::closeBadge(*strip, strip->rect(ModuleKind::network).center()), std::nullopt);
    server.mouseDown(nearBadge(-6, 6));
    EXPECT_EQ(Probe::pressedClose(*strip), std::nullopt);
    EXPECT_EQ(strip->draggedModule(), std::nullopt);
    server.mouseUp(nearBadge(-6, 6));
    EXPECT_TRUE(hidden.empty());
}

TEST_F(StripBadges, OutsideSortingThereAreNoBadges) {
    strip->setSorting(false);
    const gfx::Rect module = strip->rect(ModuleKind::network);
    EXPECT_EQ(Probe::closeBadge(*strip, {module.maxX() - 6, 18}), std::nullopt);
}

TEST_F(StripSorting, AnEscapeInAnotherApplicationEndsSorting) {
    server.key(ui::KeyCode::escape, "\x1b");
    EXPECT_EQ(finishRequests, 0);
    loop.runUntilIdle();
    EXPECT_EQ(finishRequests, 1);
}

TEST_F(StripSorting, EscapeInThisApplicationIsSwallowedWhileSorting) {
    std::vector<int> seen;
    const auto recorder = app.addLocalMonitor(ui::EventMasks::keyDown, [&](const ui::Event& event) {
        seen.push_back(event.keyCode());
        return std::optional<ui::Event>(event);
    });
    app.activateIgnoringOtherApps(true);
    server.key(ui::KeyCode::escape, "\x1b");
    server.key(ui::KeyCode::space, " ");
    loop.runUntilIdle();
    EXPECT_EQ(finishRequests, 1);
    EXPECT_EQ(seen, (std::vector<int>{ui::KeyCode::space}));

    strip->setSorting(false);
    server.key(ui::KeyCode::escape, "\x1b");
    loop.runUntilIdle();
    EXPECT_EQ(finishRequests, 1);
    EXPECT_EQ(seen, (std::vector<int>{ui::KeyCode::space, ui::KeyCode::escape}));
    app.removeMonitor(recorder);
}

TEST_F(StripSorting, EveryStoreRunsTheWholeSwitch) {
    strip->setActiveModule(ModuleKind::memory);
    server.mouseDown(grip(ModuleKind::memory));
    ASSERT_EQ(strip->draggedModule(), ModuleKind::memory);
    strip->setSorting(true);
    EXPECT_EQ(strip->draggedModule(), std::nullopt);
    EXPECT_FALSE(Probe::sortPointerIsDown(*strip));
    EXPECT_FALSE(Probe::holdsClosedHand(*strip));
    EXPECT_EQ(strip->activeModule(), std::nullopt);
    EXPECT_EQ(Probe::escapeMonitorCount(*strip), 2u);
    EXPECT_TRUE(Probe::jiggles(*strip));

    strip->setSorting(false);
    EXPECT_EQ(Probe::escapeMonitorCount(*strip), 0u);
    EXPECT_FALSE(Probe::jiggles(*strip));
    server.mouseUp(grip(ModuleKind::memory));
    runFor(1);
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(StripSorting, TheJiggleTickPollsThePointerAndRedraws) {
    int redraws = 0;
    strip->editingDisplayAction = [&] { ++redraws; };
    // A press that no event of ours reports: only the poll sees it.
    server.mouseDown({200, 200});
    runFor(0.02);
    EXPECT_TRUE(Probe::sortPointerIsDown(*strip));
    EXPECT_EQ(Probe::sortPointerFrame(*strip), std::nullopt);
    EXPECT_GT(redraws, 0);
    server.mouseUp({200, 200});
    runFor(0.02);
    EXPECT_FALSE(Probe::sortPointerIsDown(*strip));
}

TEST_F(StripSorting, WithReducedMotionTheTickStillPollsButDoesNotRedraw) {
    app.workspace().setReduceMotion(true);
    int redraws = 0;
    strip->editingDisplayAction = [&] { ++redraws; };
    server.mouseDown({200, 200});
    runFor(0.1);
    EXPECT_TRUE(Probe::sortPointerIsDown(*strip));
    EXPECT_EQ(redraws, 0);
    server.mouseUp({200, 200});
}

TEST_F(StripSorting, CursorRectsShowTheOpenHandAndThePointingHandOnBadges) {
    const gfx::Rect module = strip->rect(ModuleKind::memory);
    server.movePointer(grip(ModuleKind::memory));
    EXPECT_EQ(server.cursor(), ui::CursorKind::openHand);
    const gfx::Rect frame = stripScreenFrame();
    server.movePointer({frame.minX() + module.maxX() - 3, frame.minY() + 21});
    EXPECT_EQ(server.cursor(), ui::CursorKind::pointingHand);

    strip->setSorting(false);
    server.movePointer(grip(ModuleKind::memory));
    EXPECT_EQ(server.cursor(), ui::CursorKind::arrow);
}

} // namespace
} // namespace pulsedeck
