#include "detail/SlimScroller.h"

#include "detail/DetailDocumentView.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <gtest/gtest.h>

namespace {

using pulsedeck::SlimScroller;

TEST(SlimScrollerGeometryTest, KnobIsAtLeast12PointsAndNeverLongerThanTheSlot) {
    struct Case {
        double proportion, value;
        bool flipped;
        gfx::Rect expected;
    };
    const gfx::Rect bounds{0, 0, 8, 204}; // a 200-point slot from y 2
    const Case cases[] = {
        {0.5, 0, true, {0, 2, 8, 100}},    {0.5, 1, true, {0, 102, 8, 100}},
        {0.5, 0, false, {0, 102, 8, 100}}, {0.01, 0.5, true, {0, 96, 8, 12}},
        {-1, 0, true, {0, 2, 8, 12}},      {3, 0.5, true, {0, 2, 8, 200}},
        {0.5, 7, true, {0, 102, 8, 100}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pulsedeck::slimScrollerKnobRect(bounds, c.proportion, c.value, c.flipped),
                  c.expected)
            << c.proportion << " " << c.value;
}

// The detail view's scroll view: a flipped body in a 318 × 300 legacy scroll view.
class SlimScrollerTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 300}, ui::Style::titled);
        window->makeKeyAndOrderFront();
        scroll = std::make_shared<ui::ScrollView>(gfx::Rect{0, 0, 318, 300});
        scroll->setDrawsBackground(false);
        scroll->setScrollerStyle(ui::ScrollerStyle::legacy);
        scroll->setHasVerticalScroller(true);
        scroller = std::make_shared<SlimScroller>();
        scroll->setVerticalScroller(scroller);
        body = std::make_shared<pulsedeck::DetailDocumentView>(gfx::Rect{0, 0, 310, 1200});
        scroll->setDocumentView(body);
        window->contentView()->addSubview(scroll);
    }
    // The bar's middle column at a height of the window, as drawn.
    gfx::Rgba8 barPixel(double y) {
        window->displayIfNeeded();
        return window->backing()->pixelAtPoint({318 - 2, y});
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<SlimScroller> scroller;
    std::shared_ptr<pulsedeck::DetailDocumentView> body;
};

TEST_F(SlimScrollerTest, ItsEightPointsNarrowTheClipAndItsBarFollowsTheScroll) {
    EXPECT_EQ(scroll->contentView().frame().width(), 310);
    EXPECT_TRUE(scroll->contentView().isFlipped());
    EXPECT_EQ(scroller->knobProportion(), 0.25);
    const int background = barPixel(20).red;
    EXPECT_LT(barPixel(300 - 10).red, background) << "the bar starts at the top";
    EXPECT_EQ(barPixel(20).red, background);

    scroll->scrollTo({0, 900});
    EXPECT_EQ(scroller->doubleValue(), 1);
    EXPECT_LT(barPixel(20).red, background) << "and ends at the bottom";
    EXPECT_EQ(window->backing()->pixelAtPoint({318 - 5, 20}).red, background)
        << "2 points wide, 1 from the edge";
}

TEST_F(SlimScrollerTest, NothingShowsWhenEverythingFitsAndHoverDarkensTheBar) {
    const int background = barPixel(150).red;
    const int resting = barPixel(300 - 10).red;
    server.movePointer({100 + 314, 100 + 290});
    EXPECT_TRUE(scroller->isHovered());
    const int hovered = barPixel(300 - 10).red;
    EXPECT_NEAR(background - resting, background * 0.2, 2);
    EXPECT_NEAR(background - hovered, background * 0.4, 2);
    server.movePointer({100 + 100, 100 + 290});
    EXPECT_FALSE(scroller->isHovered());
    EXPECT_EQ(barPixel(300 - 10).red, resting);

    scroller->setKnobProportion(0.9998);
    EXPECT_LT(barPixel(150).red, background) << "0.9998 still shows";
    scroller->setKnobProportion(1);
    EXPECT_EQ(barPixel(150).red, background);
}

} // namespace
