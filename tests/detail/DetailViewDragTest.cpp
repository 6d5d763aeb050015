#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "platform/animation/Layer.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"

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
        view->collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
        view->orderAction = [this](const Order& order) { reports.push_back(order); };
        view->refreshControls();
    }
    // A point of the body on the screen, where the pointer is injected.
    gfx::Point onScreen(gfx::Point inBody) const {
        return window->convertPointToScreen(view->body->convertPointToView(inBody, nullptr));
    }
    gfx::Point headerCentre(ModuleKind kind) const {
        const gfx::Rect frame = view->cards.at(kind)->frame();
        // On the icon, clear of the chevron after the title.
        return {27, frame.minY() + 20};
    }
    void dragTo(gfx::Point inBody) {
        server.inject(ui::EventType::leftMouseDragged, onScreen(inBody));
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window;
    std::vector<Order> reports;
};

TEST_F(DetailViewDragTest, AHeaderDragReordersOncePerCrossingAndDropsBackIntoPlace) {
    ModuleSectionView& card = *view->cards.at(memory);
    const gfx::Point start = headerCentre(memory);
    server.mouseDown(onScreen(start));
    dragTo({start.x, start.y + 3.9});
    EXPECT_FALSE(view->draggedModule) << "closer than 4 points is still a press";
    dragTo({start.x, start.y + 4});
    ASSERT_EQ(view->draggedModule, memory);
    EXPECT_EQ(view->dragOffset, (gfx::Point{27, 20})) << "the drag begins where the press was";
    EXPECT_EQ(app.currentCursor(), ui::Cursor::closedHand());
    EXPECT_DOUBLE_EQ(card.alphaValue(), 0.2);
    const auto ghost = view->dragGhost;
    ASSERT_TRUE(ghost);
    EXPECT_EQ(ghost->superview(), view->body.get());
    EXPECT_EQ(view->body->subviews().back(), ghost) << "above the cards";
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
    EXPECT_EQ(view->order, expected);
    EXPECT_EQ(reports, (std::vector<Order>{{fan, memory, network, temperature, compute, devices},
                                           expected}));
    EXPECT_TRUE(view->lastLayoutRequestedAnimation());
    // Its own new slot, a pointer beside the cards at the same height, and the empty space
    // below the last card change nothing.
    dragTo({100, card.frame().midY()});
    dragTo({305, card.frame().midY()});
    dragTo({100, view->cards.at(devices)->frame().maxY() + 30});
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(view->order, expected);

    server.mouseUp(onScreen({100, 400}));
    EXPECT_FALSE(view->draggedModule);
    EXPECT_FALSE(view->dragGhost);
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
    view->collapsed.clear();
    view->refreshControls();
    const double top = view->cards.at(memory)->frame().minY();
    for (gfx::Point press : {gfx::Point{257, top + 20}, gfx::Point{27, top + 40.5}}) {
        server.mouseDown(onScreen(press));
        dragTo({press.x, press.y + 60});
        EXPECT_FALSE(view->draggedModule);
        server.mouseUp(onScreen({press.x, press.y + 60}));
    }
    EXPECT_TRUE(reports.empty());
}

TEST_F(DetailViewDragTest, RefusedBeginsAndDragsWithoutAPicture) {
    view->fanAvailable = false;
    view->refreshControls();
    EXPECT_FALSE(view->beginCardDrag(fan, {10, 10})) << "a module this machine cannot show";
    view->moveCardDrag({10, 100});
    view->endCardDrag();
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(app.currentCursor(), ui::Cursor::arrow()) << "an end without a drag pops nothing";

    // A card with nothing to picture still follows the pointer through the order.
    ModuleSectionView& card = *view->cards.at(memory);
    card.setFrameSize({0, 0});
    ASSERT_TRUE(view->beginCardDrag(memory, {0, 8}));
    EXPECT_FALSE(view->dragGhost);
    EXPECT_DOUBLE_EQ(card.alphaValue(), 0.2);
    EXPECT_FALSE(view->beginCardDrag(network, {0, 88})) << "a second begin";
    EXPECT_EQ(view->draggedModule, memory);
    view->moveCardDrag({0, view->cards.at(network)->frame().midY()});
    const Order expected{fan, network, memory, temperature, compute, devices};
    EXPECT_EQ(view->order, expected);
    EXPECT_EQ(reports, std::vector<Order>{expected});
    view->endCardDrag();
    EXPECT_DOUBLE_EQ(card.alphaValue(), 1);
}

TEST_F(DetailViewDragTest, TheOverviewSortsByContainmentAndReduceMotionDropsAtOnce) {
    app.workspace().setReduceMotion(true);
    view->presentation = DetailPresentation::overview;
    view->setFrameSize({view->contentWidth(), view->preferredHeight()});
    view->refreshControls();
    const gfx::Rect fanFrame = view->cards.at(fan)->frame();
    const gfx::Rect memoryFrame = view->cards.at(memory)->frame();
    ASSERT_GT(fanFrame.minX(), memoryFrame.maxX()) << "two columns";
    ASSERT_TRUE(view->beginCardDrag(memory, memoryFrame.center()));
    // Level with the fan's card but in the memory card's own column: no target.
    view->moveCardDrag({memoryFrame.midX(), fanFrame.midY()});
    EXPECT_TRUE(reports.empty());
    view->moveCardDrag(fanFrame.center());
    EXPECT_EQ(reports, (std::vector<Order>{{fan, memory, network, temperature, compute, devices}}));
    const auto ghost = view->dragGhost;
    ASSERT_TRUE(ghost);
    view->endCardDrag();
    EXPECT_EQ(ghost->superview(), nullptr);
}

} // namespace
} // namespace pulsedeck
