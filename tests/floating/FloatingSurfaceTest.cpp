#include "floating/FloatingSurface.h"

#include "../statusbar/StripFixture.h"
#include "floating/FloatingOpacityRow.h"
#include "floating/FloatingPanel.h"
#include "platform/toolkit/Workspace.h"
#include "support/MenuBarContentViewProbe.h"

#include <algorithm>
#include <vector>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

// The floating strip (memory 40 pt, network 60 pt) in its panel at (300, 400) on the 1440 × 900
// screen, with every action it reports recorded.
class FloatingSurfaceTest : public striptest::StripFixture {
protected:
    struct ModuleReport {
        std::optional<ModuleKind> module;
        bool hovering;
        gfx::Point point;
    };

    std::shared_ptr<MenuBarContentView> strip = makeStrip(29);
    std::shared_ptr<FloatingPanel> panel;
    std::shared_ptr<FloatingSurface> surface;
    std::vector<ModuleReport> modules;
    std::vector<gfx::Rect> moves;
    int dragsBegun = 0;
    int contexts = 0;
    std::vector<gfx::Rect> dockingAsked;
    bool docks = false;

    void SetUp() override {
        strip->setModuleImage(ModuleKind::memory, blankImage(40));
        strip->setModuleImage(ModuleKind::network, blankImage(60));
        strip->setFanMode(FanDisplayMode::hidden);
        strip->setPresentationHeight(29);
        strip->relayout();
        const gfx::Rect frame{300, 400, strip->requiredWidth(), 29};
        panel = std::make_shared<FloatingPanel>(frame, ui::Style::nonactivatingPanel);
        surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, frame.size});
        surface->setOwner(strip);
        panel->setContentView(surface);
        panel->orderFront();
        surface->moduleAction = [this](std::optional<ModuleKind> kind, bool hovering,
                                       gfx::Point point, const gfx::Rect&) {
            modules.push_back({kind, hovering, point});
        };
        surface->movedAction = [this](const gfx::Rect& moved) { moves.push_back(moved); };
        surface->dragBeganAction = [this] { ++dragsBegun; };
        surface->contextAction = [this](const ui::Event&) { ++contexts; };
        surface->dockingAction = [this](const gfx::Rect& at) {
            dockingAsked.push_back(at);
            return docks;
        };
    }

    gfx::Point memoryPoint() const { return {310, 410}; }
    void press(gfx::Point at) { server.mouseDown(at); }
    void drag(gfx::Point to) { server.inject(ui::EventType::leftMouseDragged, to); }
    void release(gfx::Point at) { server.mouseUp(at); }
};

TEST_F(FloatingSurfaceTest, APressThatStaysWithinFivePointsIsAClickAtThePressPoint) {
    const gfx::Point start = memoryPoint();
    press(start);
    drag({start.x + 3, start.y + 4});
    release({start.x + 3, start.y + 4});
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].module, ModuleKind::memory);
    EXPECT_FALSE(modules[0].hovering);
    EXPECT_EQ(modules[0].point, start);
    EXPECT_EQ(dragsBegun, 0);
    EXPECT_TRUE(moves.empty());
    EXPECT_EQ(panel->frame().origin, (gfx::Point{300, 400}));
    EXPECT_FALSE(surface->pressPoint());
}

TEST_F(FloatingSurfaceTest, OnlyMoreThanFivePointsMovesThePanel) {
    const gfx::Point start = memoryPoint();
    press(start);
    drag({start.x + 5, start.y});
    EXPECT_FALSE(surface->isMoving());
    drag({start.x + 5.01, start.y});
    EXPECT_TRUE(surface->isMoving());
    EXPECT_EQ(dragsBegun, 1);
    EXPECT_EQ(app.currentCursor(), ui::Cursor::closedHand());
    drag({start.x + 100, start.y + 50});
    EXPECT_EQ(panel->frame().origin, (gfx::Point{400, 450}));
    EXPECT_EQ(dockingAsked.size(), 2u) << "asked at every step of the move";
    release({start.x + 100, start.y + 50});
    EXPECT_EQ(moves, std::vector<gfx::Rect>{panel->frame()});
    EXPECT_TRUE(modules.empty());
    EXPECT_NE(app.currentCursor(), ui::Cursor::closedHand());
}

TEST_F(FloatingSurfaceTest, AReleaseFarFromThePressMovesEvenWithoutADragStep) {
    const gfx::Point start = memoryPoint();
    press(start);
    drag({start.x + 2, start.y});
    release({start.x + 200, start.y - 100});
    EXPECT_EQ(dragsBegun, 1);
    EXPECT_EQ(panel->frame().origin, (gfx::Point{500, 300}));
    EXPECT_EQ(moves.size(), 1u);
    EXPECT_TRUE(modules.empty());
}

TEST_F(FloatingSurfaceTest, DockingMidDragEndsThePress) {
    const gfx::Point start = memoryPoint();
    press(start);
    drag({start.x + 20, start.y});
    docks = true;
    drag({start.x + 40, start.y});
    EXPECT_FALSE(surface->pressPoint());
    EXPECT_FALSE(surface->isMoving());
    EXPECT_NE(app.currentCursor(), ui::Cursor::closedHand());
    release({start.x + 60, start.y});
    EXPECT_TRUE(moves.empty());
    EXPECT_TRUE(modules.empty());
    EXPECT_EQ(panel->frame().origin, (gfx::Point{340, 400}));
}

TEST_F(FloatingSurfaceTest, DraggingStopsSixPointsInsideAndTheReleaseSettlesBelowTheMenuBar) {
    const gfx::Point start = memoryPoint();
    press(start);
    drag({start.x - 1000, start.y + 1000});
    EXPECT_EQ(panel->frame().origin, (gfx::Point{6, 900 - 29 - 6}));
    release({start.x - 1000, start.y + 1000});
    // The usable area ends under the 24-point bar: the panel glides there.
    const gfx::Rect kept{6, 876 - 29 - 6, panel->frame().width(), 29};
    EXPECT_EQ(moves, std::vector<gfx::Rect>{kept});
    EXPECT_NE(panel->frame(), kept);
    loop.advanceAndRunDue(0.1);
    EXPECT_GT(panel->frame().y(), kept.y());
    EXPECT_LT(panel->frame().y(), 865);
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(panel->frame(), kept);

    app.workspace().setReduceMotion(true);
    press({10, 850});
    release({10, 1000});
    EXPECT_EQ(panel->frame(), kept) << "at once under Reduce Motion";
}

TEST_F(FloatingSurfaceTest, ReorderModeHandsThePressToTheStripsSorting) {
    strip->setSorting(true);
    press(memoryPoint());
    EXPECT_TRUE(surface->sortingPress());
    EXPECT_TRUE(Probe::sortUsesNative(*strip));
    EXPECT_FALSE(surface->pressPoint());
    drag({memoryPoint().x + 60, memoryPoint().y});
    EXPECT_EQ(strip->draggedModule(), ModuleKind::memory);
    release({memoryPoint().x + 60, memoryPoint().y});
    EXPECT_FALSE(surface->sortingPress());
    EXPECT_FALSE(Probe::sortUsesNative(*strip));
    EXPECT_EQ(panel->frame().origin, (gfx::Point{300, 400}));
    EXPECT_TRUE(modules.empty());
    EXPECT_FALSE(surface->accessibilityPerformPress()) << "no press while sorting";
}

TEST_F(FloatingSurfaceTest, AccessibilityPressesTheFirstShownModuleAndRightClicksAskForTheMenu) {
    EXPECT_EQ(surface->accessibility().role, ui::AccessibilityRole::group);
    strip->setOrder({ModuleKind::fan, ModuleKind::network, ModuleKind::memory});
    strip->relayout();
    ASSERT_TRUE(surface->accessibilityPerformPress());
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].module, ModuleKind::network) << "the hidden fan has no width";
    const gfx::Rect network = strip->rect(ModuleKind::network);
    EXPECT_EQ(modules[0].point, (gfx::Point{300 + network.midX(), 400 + network.midY()}));

    server.rightClick(memoryPoint());
    EXPECT_EQ(contexts, 1);
    strip.reset();
    EXPECT_FALSE(surface->accessibilityPerformPress());
}

TEST_F(FloatingSurfaceTest, HoverReportsTheModuleUnlessAPressIsUnderWayAndCursorsFollowTheMode) {
    strip->hoverDetailsEnabled = [] { return true; };
    // The bar's padding grabs; its modules point.
    server.movePointer({300.5, 410});
    EXPECT_EQ(app.currentCursor(), ui::Cursor::openHand());
    server.movePointer(memoryPoint());
    EXPECT_EQ(app.currentCursor(), ui::Cursor::pointingHand());
    loop.advanceAndRunDue(0.2);
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].module, ModuleKind::memory);
    EXPECT_TRUE(modules[0].hovering);

    press(memoryPoint());
    EXPECT_FALSE(surface->showsHoverDetails());
    release(memoryPoint());
    EXPECT_TRUE(surface->showsHoverDetails());

    strip->setSorting(true);
    panel->invalidateCursorRectsForView(surface.get());
    server.movePointer({memoryPoint().x + 1, memoryPoint().y});
    EXPECT_EQ(app.currentCursor(), ui::Cursor::openHand());
}

// In reorder mode the cursors stand where the modules are shown: the dragged one where it is
// dragged to, the others where they glide, never at the plain laid-out places.
TEST_F(FloatingSurfaceTest, CursorRectanglesFollowTheDraggedAndShownModules) {
    strip->setSorting(true);
    press(memoryPoint());
    drag({memoryPoint().x + 30, memoryPoint().y});
    ASSERT_EQ(strip->draggedModule(), ModuleKind::memory);
    ASSERT_TRUE(Probe::draggedRect(*strip));
    panel->invalidateCursorRectsForView(surface.get());
    auto has = [&](const gfx::Rect& rect, ui::Cursor cursor) {
        return std::any_of(
            surface->cursorRects().begin(), surface->cursorRects().end(),
            [&](const auto& entry) { return entry.rect == rect && entry.cursor == cursor; });
    };
    const gfx::Rect laidOut = strip->layoutModuleRects().at(ModuleKind::memory);
    ASSERT_NE(*Probe::draggedRect(*strip), laidOut);
    EXPECT_TRUE(has(*Probe::draggedRect(*strip), ui::Cursor::openHand()));
    EXPECT_FALSE(has(laidOut, ui::Cursor::openHand()));
    EXPECT_TRUE(has(strip->rect(ModuleKind::network), ui::Cursor::openHand()));
    release({memoryPoint().x + 30, memoryPoint().y});
}

TEST(FloatingOpacityRow, ShowsTheRoundedPercentageAndReportsEachChange) {
    EXPECT_EQ(FloatingOpacityRow::percentText(0.555), "56%");
    EXPECT_EQ(FloatingOpacityRow::percentText(0.2), "20%");
    FloatingOpacityRow row(AppLanguage::german, 0.555);
    EXPECT_EQ(row.percentage()->stringValue(), "56%");
    EXPECT_EQ(row.slider()->minValue(), 0.2);
    EXPECT_EQ(row.slider()->maxValue(), 1.0);
    EXPECT_EQ(row.slider()->accessibility().label, text(Copy::opacity, AppLanguage::german));
    std::vector<double> changes;
    row.changed = [&changes](double value) { changes.push_back(value); };
    row.slider()->setDoubleValue(0.305);
    row.slider()->sendAction();
    EXPECT_EQ(row.percentage()->stringValue(), "31%");
    EXPECT_EQ(changes, std::vector<double>{0.305});
}

} // namespace
} // namespace pulsedeck
