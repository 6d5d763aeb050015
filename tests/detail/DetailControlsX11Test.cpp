#include "controls/ThemeSlider.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/Window.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

// The three controls in a window at (200, 200) on a private X server, operated with XTest.
class DetailControlsX11 : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        window = std::make_shared<ui::Window>(gfx::Rect{200, 200, 300, 120}, ui::Style::titled);
        toggle = std::make_shared<CompactSwitch>(gfx::Point{10, 80});
        toggle->setAction([this](ui::Control&) { switchStates.push_back(toggle->state()); });
        slider = std::make_shared<ThemeSlider>(gfx::Rect{10, 40, 200, 20});
        slider->setMaxValue(100);
        slider->setDoubleValue(50);
        slider->setAction([this](ui::Control&) { sliderValues.push_back(slider->doubleValue()); });
        segments = std::make_shared<ThemeSegments>(
            std::vector<std::string>{"Details", "Overview", "Both"}, ui::SegmentTracking::selectOne,
            [this](ui::Control&) { chosen.push_back(segments->selectedSegment()); });
        segments->setFrame({10, 10, 150, 24});
        segments->setSelectedSegment(0);
        scroll = std::make_shared<ui::ScrollView>(gfx::Rect{220, 10, 70, 100});
        scroll->setScrollerStyle(ui::ScrollerStyle::legacy);
        scroll->setHasVerticalScroller(true);
        scroll->setVerticalScroller(std::make_shared<SlimScroller>());
        scroll->setDocumentView(std::make_shared<DetailDocumentView>(gfx::Rect{0, 0, 62, 400}));
        for (const auto& view :
             std::vector<std::shared_ptr<ui::View>>{toggle, slider, segments, scroll})
            window->contentView()->addSubview(view);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(runUntil([&] { return viewable(*window); }));
    }

    // Root pixels of a point in the window (y up from the window's bottom edge).
    static int column(double x) { return int(200 + x); }
    static int row(double y) { return int(screenHeight - 200 - y); }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<CompactSwitch> toggle;
    std::shared_ptr<ThemeSlider> slider;
    std::shared_ptr<ThemeSegments> segments;
    std::shared_ptr<ui::ScrollView> scroll;
    std::vector<ui::ControlState> switchStates;
    std::vector<double> sliderValues;
    std::vector<int> chosen;
};

TEST_F(DetailControlsX11, ClicksAndDragsChangeValuesAndSendOncePerStep) {
    click(column(30), row(89));
    ASSERT_TRUE(runUntil([&] { return !switchStates.empty(); }));
    EXPECT_EQ(switchStates, std::vector<ui::ControlState>{ui::ControlState::on});
    EXPECT_TRUE(runUntil([&] { return toggle->position() == 1; })) << "the knob slides over";

    // The knob's centre is at 7 + 186 × 0.5 = 100; grabbed 3 points right of it.
    const double knob = 10 + 100;
    moveTo(column(knob + 3), row(50));
    button(1, true);
    ASSERT_TRUE(runUntil([&] { return sliderValues.size() == 1; }));
    EXPECT_TRUE(slider->isDragging());
    const std::vector<double> steps{31, 93, 400, -400};
    std::vector<double> expected{50};
    for (double step : steps) {
        moveTo(column(knob + 3 + step), row(50));
        const std::size_t want = expected.size() + 1;
        ASSERT_TRUE(runUntil([&] { return sliderValues.size() >= want; })) << step;
        expected.push_back(std::clamp(50 + step * 100 / 186, 0.0, 100.0));
    }
    button(1, false);
    ASSERT_TRUE(runUntil([&] { return !slider->isDragging(); }));
    expected.push_back(0);
    ASSERT_EQ(sliderValues.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(sliderValues[i], expected[i], 1e-9) << i;

    click(column(85), row(22));
    ASSERT_TRUE(runUntil([&] { return !chosen.empty(); }));
    settle(0.2);
    EXPECT_EQ(chosen, std::vector<int>{1});
    EXPECT_EQ(switchStates.size(), 1u) << "nothing else reached the switch";
}

TEST_F(DetailControlsX11, TheWheelScrollsTheBodyAndTheScrollerFollows) {
    const auto offset = [&] { return scroll->contentView().bounds().y(); };
    click(column(250), row(60), 5);
    click(column(250), row(60), 5);
    ASSERT_TRUE(runUntil([&] { return offset() == 2 * ui::ScrollView::lineScroll; }));
    EXPECT_DOUBLE_EQ(scroll->verticalScroller()->doubleValue(), offset() / 300);
    click(column(250), row(60), 4);
    EXPECT_TRUE(runUntil([&] { return offset() == ui::ScrollView::lineScroll; }));
}

} // namespace
} // namespace pulsedeck
