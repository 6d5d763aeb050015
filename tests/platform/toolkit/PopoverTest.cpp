#include "platform/toolkit/Popover.h"

#include "ToolkitFixture.h"
#include "platform/toolkit/Window.h"

namespace {

using toolkittest::FlippedView;
using toolkittest::ToolkitFixture;

struct CountingDelegate : ui::PopoverDelegate {
    void popoverDidClose(ui::Popover&) override { ++closes; }
    int closes = 0;
};

class PopoverTest : public ToolkitFixture {
protected:
    void SetUp() override {
        // A 1 × 1 anchor at the bottom of the menu bar, as the status item's click makes it.
        anchor =
            std::make_shared<ui::Panel>(gfx::Rect{699.5, 876, 1, 1}, ui::Style::nonactivatingPanel);
        anchor->setLevel(ui::WindowLevel::status);
        anchor->orderFrontRegardless();
        content = std::make_shared<ui::View>(gfx::Rect{0, 0, 318, 400});
        content->setAutoresizingMask(ui::Autoresizing::widthSizable |
                                     ui::Autoresizing::heightSizable);
        popover.setContentViewController(std::make_shared<ui::ViewController>(content));
        popover.setContentSize({318, 400});
        popover.setDelegate(delegate);
    }

    gfx::Rect shownFrame() const { return server.window(*popover.window()->windowNumber())->frame; }

    std::shared_ptr<ui::Panel> anchor;
    std::shared_ptr<ui::View> content;
    std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();
    ui::Popover popover;
};

TEST_F(PopoverTest, OpensBelowTheRectOnThePreferredEdge) {
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    ASSERT_TRUE(popover.isShown());
    EXPECT_EQ(shownFrame(), (gfx::Rect{700 - 159, 876 - 400, 318, 400}));
    EXPECT_TRUE(server.window(*popover.window()->windowNumber())->visible);
    EXPECT_EQ(content->window(), popover.window().get());
}

TEST_F(PopoverTest, MovingThePositioningRectMovesTheShownPopover) {
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    anchor->setFrameOrigin({299.5, 876});
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    EXPECT_EQ(shownFrame().origin, (gfx::Point{300 - 159, 476}));
    popover.setPositioningRect({-100, 0, 1, 1});
    EXPECT_EQ(shownFrame().origin, (gfx::Point{200 - 159, 476}));
    EXPECT_EQ(delegate->closes, 0);
}

// Too tall for either side of its anchor, the popover is cut at the screen's edge and its content
// shows its top; given the room again, it shows whole.
TEST_F(PopoverTest, ACutPopoverShowsTheTopOfItsContentUntilItHasRoomAgain) {
    popover.setContentSize({318, 800});
    anchor->setFrameOrigin({699.5, 150});
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    EXPECT_EQ(shownFrame(), (gfx::Rect{700 - 159, 0, 318, 150}));
    EXPECT_EQ(content->frame(), (gfx::Rect{0, 150 - 800, 318, 800}));
    anchor->setFrameOrigin({699.5, 876});
    popover.setPositioningRect(anchor->contentView()->bounds());
    EXPECT_EQ(shownFrame(), (gfx::Rect{700 - 159, 876 - 800, 318, 800}));
    EXPECT_EQ(content->frame(), (gfx::Rect{0, 0, 318, 800}));
}

TEST_F(PopoverTest, ClosesOnceAndTellsItsDelegateOnce) {
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    const auto number = *popover.window()->windowNumber();
    popover.performClose();
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(delegate->closes, 1);
    EXPECT_EQ(server.window(number), nullptr);
    popover.performClose();
    popover.close();
    EXPECT_EQ(delegate->closes, 1);
    EXPECT_EQ(content->window(), nullptr);

    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    EXPECT_TRUE(popover.isShown());
    popover.close();
    EXPECT_EQ(delegate->closes, 2);
}

TEST_F(PopoverTest, WithoutAWindowNothingShows) {
    auto loose = std::make_shared<ui::View>(gfx::Rect{0, 0, 10, 10});
    popover.showRelativeToRect(loose->bounds(), loose.get(), ui::RectEdge::minY);
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(popover.window(), nullptr);
}

TEST_F(PopoverTest, AnAnimationGroupResizesOverItsDurationWithItsTiming) {
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    bool completed = false;
    ui::AnimationContext::runAnimationGroup(
        [&](ui::AnimationContext& group) {
            group.setDuration(0.24);
            group.setTimingFunction(ui::TimingFunction::easeInEaseOut);
            popover.setContentSize({318, 600});
        },
        [&] { completed = true; });
    EXPECT_EQ(popover.contentSize(), (gfx::Size{318, 600}));
    EXPECT_EQ(shownFrame().height(), 400);

    loop.advanceAndRunDue(0.12, dispatch::RunLoopMode::defaultMode);
    EXPECT_NEAR(shownFrame().height(), 500, 12);
    EXPECT_EQ(shownFrame().maxY(), 876);
    EXPECT_FALSE(completed);

    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(shownFrame(), (gfx::Rect{700 - 159, 276, 318, 600}));
    EXPECT_EQ(content->frame().size, (gfx::Size{318, 600}));
    EXPECT_TRUE(completed);
}

TEST_F(PopoverTest, ResizesAtOnceWithoutAGroupOrWithoutAnimation) {
    popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                               ui::RectEdge::minY);
    popover.setContentSize({318, 300});
    EXPECT_EQ(shownFrame().height(), 300);
    popover.setAnimates(false);
    ui::AnimationContext::runAnimationGroup([&](ui::AnimationContext& group) {
        group.setDuration(0.24);
        popover.setContentSize({318, 200});
    });
    EXPECT_EQ(shownFrame().height(), 200);
}

TEST_F(PopoverTest, AFlippedViewsMinYEdgeIsItsTop) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{500, 300, 100, 100}, ui::Style::titled);
    window->orderFront();
    auto flipped = std::make_shared<FlippedView>(gfx::Rect{0, 0, 1, 1});
    window->contentView()->addSubview(flipped);
    popover.showRelativeToRect(flipped->bounds(), flipped.get(), ui::RectEdge::minY);
    EXPECT_EQ(shownFrame().minY(), 301);
}

TEST_F(PopoverTest, ATransientPopoverClosesAtAPressOutsideIt) {
    auto other = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 200}, ui::Style::titled);
    other->orderFront();
    popover.setBehavior(ui::PopoverBehavior::transient);
    auto show = [&] {
        popover.showRelativeToRect(anchor->contentView()->bounds(), anchor->contentView().get(),
                                   ui::RectEdge::minY);
    };
    show();
    server.click(shownFrame().center());
    EXPECT_TRUE(popover.isShown());
    server.click(anchor->frame().center());
    EXPECT_TRUE(popover.isShown()) << "a press on the anchor's window is the anchor's";
    server.click({150, 150});
    EXPECT_FALSE(popover.isShown());
    show();
    server.click({1200, 200});
    EXPECT_FALSE(popover.isShown());
    EXPECT_EQ(delegate->closes, 2);

    popover.setBehavior(ui::PopoverBehavior::semitransient);
    show();
    server.click({1200, 200});
    EXPECT_TRUE(popover.isShown());
    server.click({150, 150});
    EXPECT_FALSE(popover.isShown());

    popover.setBehavior(ui::PopoverBehavior::applicationDefined);
    show();
    server.click({150, 150});
    server.click({1200, 200});
    EXPECT_TRUE(popover.isShown());
    EXPECT_EQ(delegate->closes, 3);
}

TEST(PopoverPlacement, PreferredEdgeFlipsOnlyWhenTheOtherSideHasRoom) {
    const gfx::Rect area{0, 0, 1000, 800};
    const gfx::Rect nearBottom{500, 100, 10, 10};
    EXPECT_EQ(ui::popoverFrame(nearBottom, {200, 300}, ui::RectEdge::minY, area),
              (gfx::Rect{405, 110, 200, 300}));
    // Too tall for either side: cut to the room below.
    EXPECT_EQ(ui::popoverFrame(nearBottom, {200, 900}, ui::RectEdge::minY, area),
              (gfx::Rect{405, 0, 200, 100}));
    EXPECT_EQ(ui::popoverFrame({500, 400, 10, 10}, {200, 300}, ui::RectEdge::maxY, area),
              (gfx::Rect{405, 410, 200, 300}));
    EXPECT_EQ(ui::popoverFrame({500, 400, 10, 10}, {100, 50}, ui::RectEdge::maxX, area),
              (gfx::Rect{510, 380, 100, 50}));
    EXPECT_EQ(ui::popoverFrame({995, 400, 10, 10}, {100, 50}, ui::RectEdge::maxX, area),
              (gfx::Rect{895, 380, 100, 50}));
}

TEST(PopoverPlacement, StaysInsideTheVisibleAreaAcrossTheEdge) {
    const gfx::Rect area{0, 0, 1440, 876};
    EXPECT_EQ(ui::popoverFrame({1430, 876, 1, 1}, {318, 400}, ui::RectEdge::minY, area).x(),
              1440 - 318);
    EXPECT_EQ(ui::popoverFrame({5, 876, 1, 1}, {318, 400}, ui::RectEdge::minY, area).x(), 0);
    EXPECT_EQ(ui::popoverFrame({5, 876, 1, 1}, {318, 400}, ui::RectEdge::minY, std::nullopt).x(),
              5.5 - 159);
}

} // namespace
