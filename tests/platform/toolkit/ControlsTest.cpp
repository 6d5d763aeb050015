#include "ToolkitFixture.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/SegmentedControl.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/ViewAnimator.h"
#include "platform/toolkit/Window.h"

#include <vector>

namespace {

using toolkittest::ToolkitFixture;

// A window at (100, 100) whose content view holds the control under test.
class ControlsTest : public ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 300, 200}, ui::Style::titled);
        window->makeKeyAndOrderFront();
        app.activateIgnoringOtherApps(true);
    }
    template <class T> std::shared_ptr<T> place(std::shared_ptr<T> view) {
        window->contentView()->addSubview(view);
        return view;
    }
    // Counts the sends and records a value read from the sender at each.
    template <class T> void count(T& control, std::function<double(T&)> read = {}) {
        control.setAction([this, read](ui::Control& sender) {
            ++sends;
            if (read)
                seen.push_back(read(static_cast<T&>(sender)));
        });
    }
    // Screen points of a point inside the window.
    static gfx::Point at(double x, double y) { return {100 + x, 100 + y}; }
    void drag(gfx::Point to) { server.inject(ui::EventType::leftMouseDragged, to); }

    std::shared_ptr<ui::Window> window;
    int sends = 0;
    std::vector<double> seen;
};

TEST_F(ControlsTest, ButtonsStepTheirStateAndSendOncePerClick) {
    struct Case {
        ui::ButtonType type;
        bool allowsMixed;
        std::vector<int> statesAfterClicks;
    };
    const Case cases[] = {
        {ui::ButtonType::momentaryPushIn, false, {0, 0}},
        {ui::ButtonType::momentaryChange, false, {0, 0}},
        {ui::ButtonType::switchButton, false, {1, 0, 1}},
        {ui::ButtonType::pushOnPushOff, true, {1, -1, 0}},
    };
    for (const Case& c : cases) {
        auto button = place(std::make_shared<ui::Button>(gfx::Rect{10, 10, 60, 20}));
        button->setButtonType(c.type);
        button->setAllowsMixedState(c.allowsMixed);
        sends = 0;
        count<ui::Button>(*button,
                          [](ui::Button& b) { return double(static_cast<int>(b.state())); });
        seen.clear();
        for (std::size_t i = 0; i < c.statesAfterClicks.size(); ++i)
            server.click(at(20, 20));
        EXPECT_EQ(sends, int(c.statesAfterClicks.size()));
        EXPECT_EQ(seen, std::vector<double>(c.statesAfterClicks.begin(), c.statesAfterClicks.end()))
            << "the action reads the new state";
        button->removeFromSuperview();
    }
}

TEST_F(ControlsTest, ButtonClickNeedsReleaseInsideAndAnEnabledButton) {
    auto button = place(std::make_shared<ui::Button>(gfx::Rect{10, 10, 60, 20}));
    button->setButtonType(ui::ButtonType::switchButton);
    count(*button);

    server.mouseDown(at(20, 20));
    EXPECT_TRUE(button->isHighlighted());
    drag(at(200, 150));
    EXPECT_FALSE(button->isHighlighted()) << "dragged off";
    server.mouseUp(at(200, 150));
    EXPECT_EQ(sends, 0);
    EXPECT_EQ(button->state(), ui::ControlState::off);

    server.mouseDown(at(20, 20));
    drag(at(200, 150));
    drag(at(25, 22));
    server.mouseUp(at(25, 22));
    EXPECT_EQ(sends, 1) << "back inside before the release counts";
    EXPECT_EQ(button->accessibility().value, "1");
    EXPECT_EQ(button->accessibility().role, ui::AccessibilityRole::checkBox);

    button->setEnabled(false);
    server.click(at(20, 20));
    EXPECT_FALSE(button->accessibilityPerformPress());
    EXPECT_EQ(sends, 1);

    button->setEnabled(true);
    ASSERT_TRUE(window->makeFirstResponder(button.get()));
    server.key(ui::KeyCode::space, " ");
    EXPECT_TRUE(button->accessibilityPerformPress());
    EXPECT_EQ(sends, 3);
    EXPECT_EQ(button->state(), ui::ControlState::on);
}

TEST_F(ControlsTest, StandardSliderPutsTheKnobUnderThePointer) {
    auto slider = place(std::make_shared<ui::Slider>(gfx::Rect{10, 10, 114, 20}));
    slider->setMinValue(0);
    slider->setMaxValue(100);
    count<ui::Slider>(*slider, [](ui::Slider& s) { return s.doubleValue(); });

    // The knob's centre runs from 7 to 107 in the slider.
    server.mouseDown(at(10 + 57, 20));
    drag(at(10 + 32, 20));
    drag(at(-50, 20));
    server.mouseUp(at(300, 20));
    EXPECT_EQ(seen, (std::vector<double>{50, 25, 0, 100}));
    EXPECT_EQ(slider->knobRect().midX(), 107);

    slider->setContinuous(false);
    seen.clear();
    server.mouseDown(at(10 + 57, 20));
    drag(at(10 + 32, 20));
    server.mouseUp(at(10 + 32, 20));
    EXPECT_EQ(seen, std::vector<double>{25}) << "not continuous: once, at the release";

    slider->setDoubleValue(400);
    EXPECT_EQ(slider->doubleValue(), 100);
    EXPECT_EQ(slider->accessibility().value, "100.00");
}

TEST_F(ControlsTest, SegmentsSelectOnReleaseOnTheSameSegment) {
    auto segments = place(std::make_shared<ui::SegmentedControl>(
        std::vector<std::string>{"One", "Two", "Three"}, ui::SegmentTracking::selectOne,
        ui::Control::Action{}));
    segments->setFrame({0, 0, 150, 24});
    count<ui::SegmentedControl>(*segments,
                                [](ui::SegmentedControl& s) { return s.selectedSegment(); });

    server.click(at(75, 12));
    EXPECT_EQ(seen, std::vector<double>{1});
    server.mouseDown(at(10, 12));
    drag(at(75, 12));
    server.mouseUp(at(75, 12));
    EXPECT_EQ(sends, 1) << "pressed on one segment, released on another";
    EXPECT_EQ(segments->accessibility().value, "Two");

    segments->setTrackingMode(ui::SegmentTracking::momentary);
    server.click(at(140, 12));
    EXPECT_EQ(seen, (std::vector<double>{1, 2})) << "momentary: selected while the action runs";
    EXPECT_EQ(segments->selectedSegment(), -1);
}

TEST_F(ControlsTest, StandardSegmentLayoutGivesFixedWidthsAndSharesTheRest) {
    struct Case {
        double width;
        std::vector<double> asked;
        std::vector<double> widths;
    };
    const Case cases[] = {
        {100, {40, 0}, {40, 60}},
        {100, {0, 0, 0, 0}, {25, 25, 25, 25}},
        {100, {100, 100}, {50, 50}},
        {100, {80, 40, 0}, {200.0 / 3, 100.0 / 3, 0}},
    };
    for (const Case& c : cases) {
        ui::SegmentedControl control({0, 0, c.width, 20});
        control.setSegmentCount(int(c.asked.size()));
        for (std::size_t i = 0; i < c.asked.size(); ++i)
            control.setWidth(c.asked[i], int(i));
        std::vector<double> widths;
        for (const gfx::Rect& frame : control.segmentFrames())
            widths.push_back(frame.width());
        ASSERT_EQ(widths.size(), c.widths.size());
        for (std::size_t i = 0; i < widths.size(); ++i)
            EXPECT_NEAR(widths[i], c.widths[i], 1e-9);
        EXPECT_EQ(control.segmentAt({c.width - 0.5, 10}),
                  int(c.asked.size()) - 1 - (c.widths.back() == 0 ? 1 : 0));
    }
}

// A flipped document 400 tall in a 100 × 100 scroll view with a legacy scroller.
class ScrollViewTest : public ControlsTest {
protected:
    class Document : public ui::View {
    public:
        using View::View;
        bool isFlipped() const override { return true; }
    };

    void SetUp() override {
        ControlsTest::SetUp();
        scroll = place(std::make_shared<ui::ScrollView>(gfx::Rect{0, 0, 100, 100}));
        scroll->setScrollerStyle(ui::ScrollerStyle::legacy);
        scroll->setHasVerticalScroller(true);
        scroll->setDocumentView(std::make_shared<Document>(gfx::Rect{0, 0, 85, 400}));
        scroll->contentView().boundsChangedAction = [this] {
            ++boundsChanges;
            scroll->reflectScrolledClipView(scroll->contentView());
        };
    }
    double offset() const { return scroll->contentView().bounds().y(); }
    void wheel(double delta) {
        ui::NativeEvent event;
        event.fields.type = ui::EventType::scrollWheel;
        event.fields.screenLocation = at(40, 50);
        event.fields.scrollingDeltaY = delta;
        event.fields.hasPreciseScrollingDeltas = true;
        server.inject(event);
    }

    std::shared_ptr<ui::ScrollView> scroll;
    int boundsChanges = 0;
};

TEST_F(ScrollViewTest, ScrollingMovesTheClipAndTheKnobTogether) {
    EXPECT_EQ(scroll->contentView().frame().width(), 85) << "a legacy scroller narrows the clip";
    EXPECT_EQ(scroll->verticalScroller()->knobProportion(), 0.25);

    wheel(-30);
    EXPECT_EQ(offset(), 30);
    EXPECT_DOUBLE_EQ(scroll->verticalScroller()->doubleValue(), 0.1);
    wheel(-1000);
    EXPECT_EQ(offset(), 300) << "never past the document's end";
    wheel(1000);
    EXPECT_EQ(offset(), 0);
    EXPECT_EQ(boundsChanges, 3);

    // The scroller's knob (24 tall at the top of a 96-point slot) dragged down half its travel.
    server.mouseDown(at(95, 100 - 2 - 10));
    drag(at(95, 100 - 2 - 10 - 36));
    server.mouseUp(at(95, 100 - 2 - 10 - 36));
    EXPECT_NEAR(offset(), 150, 1e-9);

    scroll->scrollTo({0, 20});
    ui::Event::Fields below;
    below.type = ui::EventType::leftMouseDragged;
    below.screenLocation = at(40, -15);
    EXPECT_TRUE(scroll->autoscroll(ui::Event(below, window)));
    EXPECT_EQ(offset(), 35);

    scroll->setScrollerStyle(ui::ScrollerStyle::overlay);
    EXPECT_EQ(scroll->contentView().frame().width(), 100);
    scroll->setAutohidesScrollers(true);
    scroll->documentView()->setFrameSize({85, 60});
    scroll->tile();
    EXPECT_TRUE(scroll->verticalScroller()->isHidden());
    EXPECT_EQ(offset(), 0);
}

TEST_F(ControlsTest, ImageViewThatIgnoresTheMouseLetsClicksThrough) {
    auto button = place(std::make_shared<ui::Button>(gfx::Rect{10, 10, 60, 20}));
    count(*button);
    auto cover = place(std::make_shared<ui::ImageView>(gfx::Rect{0, 0, 100, 100}));
    server.click(at(20, 20));
    EXPECT_EQ(sends, 0);
    cover->setIgnoresMouseEvents(true);
    server.click(at(20, 20));
    EXPECT_EQ(sends, 1);
}

TEST_F(ControlsTest, ImageScalingFitsTheBox) {
    struct Case {
        gfx::Size image;
        ui::ImageScaling scaling;
        gfx::Rect expected;
    };
    const gfx::Rect box{0, 0, 40, 20};
    const Case cases[] = {
        {{80, 20}, ui::ImageScaling::proportionallyDown, {0, 5, 40, 10}},
        {{10, 10}, ui::ImageScaling::proportionallyDown, {15, 5, 10, 10}},
        {{10, 10}, ui::ImageScaling::proportionallyUpOrDown, {10, 0, 20, 20}},
        {{10, 10}, ui::ImageScaling::axesIndependently, box},
        {{80, 20}, ui::ImageScaling::none, {-20, 0, 80, 20}},
        {{0, 20}, ui::ImageScaling::proportionallyDown, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui::scaledImageRect(c.image, box, c.scaling), c.expected);
}

// Fills its bounds in one colour.
class Swatch : public ui::View {
public:
    Swatch(const gfx::Rect& frame, gfx::Color color) : View(frame), color_(color) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(color_);
        context.fillRect(bounds());
    }

private:
    gfx::Color color_;
};

TEST_F(ControlsTest, SnapshotsDrawTheViewAndNeedAnArea) {
    Swatch empty({0, 0, 0, 30}, gfx::Color::black());
    EXPECT_FALSE(ui::snapshotImage(empty).has_value());

    Swatch red({5, 5, 20, 10}, gfx::Color::srgb(1, 0, 0));
    red.addSubview(std::make_shared<Swatch>(gfx::Rect{0, 0, 10, 10}, gfx::Color::srgb(0, 0, 1)));
    const auto shot = ui::snapshotImage(red, 2);
    ASSERT_TRUE(shot && shot->bitmap());
    EXPECT_EQ(shot->bitmap()->pixelsWide(), 40);
    EXPECT_EQ(shot->bitmap()->pixelAtPoint({5, 5}), (gfx::Rgba8{0, 0, 255, 255}));
    EXPECT_EQ(shot->bitmap()->pixelAtPoint({15, 5}), (gfx::Rgba8{255, 0, 0, 255}));
}

TEST_F(ControlsTest, AnimatorRetargetsFromWhatIsOnScreen) {
    auto card = place(std::make_shared<Swatch>(gfx::Rect{0, 0, 50, 40}, gfx::Color::black()));
    int completions = 0;
    const auto move = [&](gfx::Rect to) {
        ui::AnimationContext::runAnimationGroup(
            [&](ui::AnimationContext& group) {
                group.setDuration(0.2);
                group.setTimingFunction(ui::TimingFunction::linear);
                ui::animator(*card).setFrame(to);
            },
            [&] { ++completions; });
    };
    move({100, 0, 50, 40});
    EXPECT_EQ(card->frame(), (gfx::Rect{100, 0, 50, 40})) << "the model moves at once";
    loop.advanceAndRunDue(0.1);
    EXPECT_NEAR(card->layer()->presentationValues().position.x, 50, 1e-9);
    EXPECT_NEAR(card->drawnFrame().x(), 50, 1e-9);

    move({0, 0, 50, 40});
    EXPECT_NEAR(card->layer()->presentationValues().position.x, 50, 1e-9) << "no jump";
    loop.advanceAndRunDue(0.1);
    EXPECT_NEAR(card->layer()->presentationValues().position.x, 25, 1e-9);
    loop.advanceAndRunDue(0.15);
    EXPECT_EQ(card->layer()->presentationValues().position.x, 0);
    EXPECT_EQ(completions, 2);

    // Outside a group the proxy only sets.
    ui::animator(*card).setAlphaValue(0.5);
    EXPECT_FALSE(card->layer()->isAnimating());
    EXPECT_EQ(card->alphaValue(), 0.5);
}

TEST_F(ControlsTest, LayerBackedViewsDrawTheirPresentation) {
    auto swatch =
        place(std::make_shared<Swatch>(gfx::Rect{10, 10, 20, 20}, gfx::Color::srgb(1, 0, 0)));
    swatch->setWantsLayer(true);
    anim::BasicAnimation fade;
    fade.keyPath = anim::KeyPath::opacity;
    fade.fromValue = 0.0;
    fade.toValue = 1.0;
    fade.duration = 1;
    swatch->layer()->addAnimation(fade, "fade");
    loop.advanceAndRunDue(0.5);
    window->displayIfNeeded();
    const gfx::Rgba8 half = window->backing()->pixelAtPoint({20, 20});
    EXPECT_NEAR(half.alpha, 255, 1) << "the window's own background lies under it";
    EXPECT_NEAR(half.red, (255 + 237) / 2, 3);
    EXPECT_NEAR(half.green, 237 / 2, 3);

    swatch->layer()->setShadow({gfx::Color::black(), 1, 2, {0, -4}});
    loop.advanceAndRunDue(0.6);
    window->displayIfNeeded();
    EXPECT_LT(window->backing()->pixelAtPoint({20, 8}).green, 200) << "the shadow falls below";
    EXPECT_EQ(window->backing()->pixelAtPoint({20, 20}), (gfx::Rgba8{255, 0, 0, 255}));

    const gfx::Rgba8 background = window->backing()->pixelAtPoint({60, 60});
    swatch->removeFromSuperview();
    window->displayIfNeeded();
    EXPECT_EQ(window->backing()->pixelAtPoint({20, 8}), background) << "the shadow goes too";
}

} // namespace
