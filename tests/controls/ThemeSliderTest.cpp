#include "controls/ThemeSlider.h"

#include "controls/SliderTracking.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

using pulsedeck::ThemeSlider;

// A slider at (10, 10) in a window at (100, 100); presses are given in the slider's x.
class ThemeSliderTest : public toolkittest::ToolkitFixture {
protected:
    std::shared_ptr<ThemeSlider> make(double width, double minimum, double maximum, double value) {
        if (!window) {
            window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 400, 100}, ui::Style::titled);
            window->makeKeyAndOrderFront();
        }
        auto slider = std::make_shared<ThemeSlider>(gfx::Rect{10, 10, width, 20});
        slider->setMinValue(minimum);
        slider->setMaxValue(maximum);
        slider->setDoubleValue(value);
        slider->setAction([this](ui::Control& sender) {
            sent.push_back(static_cast<ThemeSlider&>(sender).doubleValue());
        });
        window->contentView()->setSubviews({slider});
        sent.clear();
        return slider;
    }
    static gfx::Point at(double x) { return {100 + 10 + x, 100 + 20}; }

    std::shared_ptr<ui::Window> window;
    std::vector<double> sent;
};

TEST_F(ThemeSliderTest, APressGrabsTheKnobWithin11PointsOfItsDrawnCentre) {
    struct Case {
        const char* name;
        double width, minimum, maximum, value, pressX, expected;
    };
    const Case cases[] = {
        // Knob centre 57 of a 114-point slider over 0…100 at 50.
        {"on the knob's edge", 114, 0, 100, 50, 68, 50},
        {"just off the knob", 114, 0, 100, 50, 68.5, 61.5},
        {"left of the knob", 114, 0, 100, 50, 45.5, 38.5},
        // Away from the middle the drawn centre (7 + 100 × fraction) and the plain fraction of
        // the width part: presses 10 points inside the knob, 17 from the plain point, keep it.
        {"on the knob at 25 %", 114, 0, 100, 25, 42, 25},
        {"on the knob at 0", 114, 0, 100, 0, 17, 0},
        {"on the knob at the end", 114, 0, 100, 100, 97, 100},
        // The opacity slider, 0.2…1: the knob is drawn at 63 for 0.6, where a press keeps it.
        {"range below 1", 126, 0.2, 1, 0.6, 60, 0.6},
        {"range below 1, off the knob", 126, 0.2, 1, 0.6, 7, 0.2},
        {"20 points wide", 20, 0, 100, 50, 2, 50},
        {"empty range", 114, 5, 5, 5, 90, 5},
    };
    for (const Case& c : cases) {
        auto slider = make(c.width, c.minimum, c.maximum, c.value);
        server.mouseDown(at(c.pressX));
        server.mouseUp(at(c.pressX));
        EXPECT_NEAR(slider->doubleValue(), c.expected, 1e-9) << c.name;
        EXPECT_FALSE(slider->isDragging());
    }
}

TEST_F(ThemeSliderTest, DraggingClampsAtBothEndsAndSendsEveryStep) {
    auto slider = make(114, 0, 100, 50);
    server.mouseDown(at(57));
    EXPECT_TRUE(slider->isDragging());
    server.inject(ui::EventType::leftMouseDragged, at(-200));
    server.inject(ui::EventType::leftMouseDragged, at(32));
    server.inject(ui::EventType::leftMouseDragged, at(900));
    server.mouseUp(at(900));
    EXPECT_EQ(sent, (std::vector<double>{50, 0, 25, 100, 100}))
        << "press, each drag and the release, unrounded";
    EXPECT_FALSE(slider->isDragging());

    // Unchanged widths and ranges send nothing: tracking changed nothing.
    auto narrow = make(20, 0, 100, 50);
    server.mouseDown(at(2));
    server.inject(ui::EventType::leftMouseDragged, at(15));
    server.mouseUp(at(15));
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(narrow->doubleValue(), 50);

    auto disabled = make(114, 0, 100, 50);
    disabled->setEnabled(false);
    server.mouseDown(at(7));
    server.mouseUp(at(7));
    EXPECT_TRUE(sent.empty());
    EXPECT_FALSE(disabled->isDragging());
}

TEST(SliderTrackingTest, KnobCentreIsWhereTheKnobIsDrawn) {
    EXPECT_DOUBLE_EQ(pulsedeck::sliderKnobCentre(0.6, 0.2, 1, 126), 63);
    EXPECT_DOUBLE_EQ(pulsedeck::sliderKnobCentre(85, 16, 160, 114), 7 + 100 * 69.0 / 144);
    EXPECT_DOUBLE_EQ(pulsedeck::sliderKnobCentre(3, 3, 3, 114), 7);
    ui::Slider standard({0, 0, 126, 20});
    standard.setMinValue(0.2);
    standard.setMaxValue(1);
    standard.setDoubleValue(0.6);
    EXPECT_DOUBLE_EQ(standard.knobRect().midX(), pulsedeck::sliderKnobCentre(0.6, 0.2, 1, 126));
}

} // namespace
