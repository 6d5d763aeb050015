#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "platform/animation/Layer.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>
#include <vector>

namespace pulsedeck {
namespace {

using Order = std::vector<ModuleKind>;
constexpr auto memory = ModuleKind::memory;
constexpr auto fan = ModuleKind::fan;
constexpr auto network = ModuleKind::network;
constexpr auto temperature = ModuleKind::temperature;
constexpr auto compute = ModuleKind::compute;
constexpr auto devices = ModuleKind::devices;

// The detail view in a window with every section closed, so all six 40-point headers show at
// once (tops at 8, 48, 88, … in the body); its order reports recorded.
class DetailViewDragTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->makeKeyAndOrderFront();
        window->setContentView(view);
        probe.change([&](DetailState& s) {
            s.look.collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
        });
        view->lookAction = [this](const LookEdit& edit) {
            StripLook look = view->state().look;
            edit(look);
            reports.push_back(look.modules.order);
        };
    }
    // A point of the body on the screen, where the pointer is injected.
    gfx::Point onScreen(gfx::Point inBody) const {
        return window->convertPointToScreen(probe.body().convertPointToView(inBody, nullptr));
    }
    gfx::Point headerCentre(ModuleKind kind) const {
        const gfx::Rect frame = probe.card(kind).frame();
        // On the icon, clear of the chevron after the title.
        return {27, frame.minY() + 20};
    }
    void dragTo(gfx::Point inBody) {
        server.inject(ui::EventType::leftMouseDragged, onScreen(inBody));
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
    std::shared_ptr<ui::Window> window;
    std::vector<Order> reports;
};

TEST_F(DetailViewDragTest, AHeaderDragReordersOncePerCrossingAndDropsBackIntoPlace) {
    ModuleSectionView& card = probe.card(memory);
    const gfx::Point start = headerCentre(memory);
    server.mouseDown(onScreen(start));
    dragTo({start.x, start.y + 3.9});
    EXPECT_FALSE(probe.draggedModule()) << "closer than 4 points is still a press";
    dragTo({start.x, start.y + 4});
    ASSERT_EQ(probe.draggedModule(), memory);
    EXPECT_EQ(probe.dragGhost()->frame().origin,
              (gfx::Point{card.frame().minX(), card.frame().minY() + 4}))
        << "the picture follows from where the press was";
    EXPECT_EQ(app.currentCursor(), ui::Cursor::closedHand());
    EXPECT_DOUBLE_EQ(card.alphaValue(), 0.2);
    const auto ghost = probe.dragGhost();
    ASSERT_TRUE(ghost);
    EXPECT_EQ(ghost->superview(), &probe.body());
    EXPECT_EQ(probe.body().subviews().back(), ghost) << "above the cards";
    EXPECT_DOUBLE_EQ(ghost->alphaValue(), 0.92);
    EXPECT_DOUBLE_EQ(ghost->layer()->shadow().opacity, 0.24);
    EXPECT_DOUBLE_EQ(ghost->layer()->shadow().radius, 10);
    EXPECT_EQ(ghost->hitTest(ghost->frame().center()), nullptr);

    // Over the second card, then the third: each crossing reorders and reports.
    const gfx::Point overFan = headerCentre(fan);
    dragTo(overFan);
    EXPECT_EQ(ghost->frame().origin, (gfx::Point{0, overFan.y - 20}));
    dragTo(headerCentre(network));
    const Order expected{fan, network, memory, temperature, compute, devices};
    EXPECT_EQ(view->state().look.modules.order, expected);
    EXPECT_EQ(reports, (std::vector<Order>{{fan, memory, network, temperature, compute, devices},
                                           expected}));
    EXPECT_TRUE(probe.lastLayoutRequestedAnimation());
    // Its own new slot, a pointer beside the cards at the same height, and the empty space
    // below the last card change nothing.
    dragTo({100, card.frame().midY()});
    dragTo({305, card.frame().midY()});
    dragTo({100, probe.card(devices).frame().maxY() + 30});
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(view->state().look.modules.order, expected);

    server.mouseUp(onScreen({100, 400}));
    EXPECT_FALSE(probe.draggedModule());
    EXPECT_FALSE(probe.dragGhost());
    EXPECT_DOUBLE_EQ(card.alphaValue(), 1);
    EXPECT_NE(app.currentCursor(), ui::Cursor::closedHand());
    // The picture glides back onto the card's place while it fades, then goes.
    EXPECT_EQ(ghost->frame(), card.frame());
    loop.advanceAndRunDue(0.1);
    const double fading = ghost->layer()->presentationValues().opacity;
    EXPECT_GT(fading, 0.01);
    EXPECT_LT(fading, 0.6);
    loop.advanceAndRunDue(0.15);
    EXPECT_EQ(ghost->superview(), nullptr);
}

TEST_F(DetailViewDragTest, PressesOutsideTheHeaderOrOnTheSwitchColumnNeverDrag) {
    probe.change([](DetailState& s) { s.look.collapsed.clear(); });
    const double top = probe.card(memory).frame().minY();
    for (gfx::Point press : {gfx::Point{257, top + 20}, gfx::Point{27, top + 40.5}}) {
        server.mouseDown(onScreen(press));
        dragTo({press.x, press.y + 60});
        EXPECT_FALSE(probe.draggedModule());
        server.mouseUp(onScreen({press.x, press.y + 60}));
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(DetailViewDragTest, RefusedBeginsAndDragsWithoutAPicture) {
    probe.change([&](DetailState& s) { s.fanAvailable = false; });
    EXPECT_FALSE(probe.beginCardDrag(fan, {10, 10})) << "a module this machine cannot show";
    probe.moveCardDrag({10, 100});
    probe.endCardDrag();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(app.currentCursor(), ui::Cursor::arrow()) << "an end without a drag pops nothing";

    // A card with nothing to picture still follows the pointer through the order.
    ModuleSectionView& card = probe.card(memory);
    card.setFrameSize({0, 0});
    ASSERT_TRUE(probe.beginCardDrag(memory, {0, 8}));
    EXPECT_FALSE(probe.dragGhost());
    EXPECT_DOUBLE_EQ(card.alphaValue(), 0.2);
    EXPECT_FALSE(probe.beginCardDrag(network, {0, 88})) << "a second begin";
    EXPECT_EQ(probe.draggedModule(), memory);
    probe.moveCardDrag({0, probe.card(network).frame().midY()});
    const Order expected{fan, network, memory, temperature, compute, devices};
    EXPECT_EQ(view->state().look.modules.order, expected);
    EXPECT_EQ(reports, std::vector<Order>{expected});
    probe.endCardDrag();
    EXPECT_DOUBLE_EQ(card.alphaValue(), 1);
}

TEST_F(DetailViewDragTest, TheOverviewSortsByContainmentAndReduceMotionDropsAtOnce) {
    app.workspace().setReduceMotion(true);
    probe.change([&](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    view->setFrameSize({view->contentWidth(), view->preferredHeight()});
    const gfx::Rect fanFrame = probe.card(fan).frame();
    const gfx::Rect memoryFrame = probe.card(memory).frame();
    ASSERT_GT(fanFrame.minX(), memoryFrame.maxX()) << "two columns";
    ASSERT_TRUE(probe.beginCardDrag(memory, memoryFrame.center()));
    // Level with the fan's card but in the memory card's own column: no target.
    probe.moveCardDrag({memoryFrame.midX(), fanFrame.midY()});
    EXPECT_TRUE(reports.empty());
    probe.moveCardDrag(fanFrame.center());
    EXPECT_EQ(reports, (std::vector<Order>{{fan, memory, network, temperature, compute, devices}}));
    const auto ghost = probe.dragGhost();
    ASSERT_TRUE(ghost);
    probe.endCardDrag();
    EXPECT_EQ(ghost->superview(), nullptr);
}

} // namespace
} // namespace pulsedeck
