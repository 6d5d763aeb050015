#include "detail/CompactSwitch.h"

#include "detail/CompactSwitchLook.h"
#include "model/AccentColor.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"

#include <gtest/gtest.h>

namespace {

using pulsedeck::CompactSwitch;

class CompactSwitchTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::titled);
        toggle = std::make_shared<CompactSwitch>(gfx::Point{10, 10});
        window->contentView()->addSubview(toggle);
        window->makeKeyAndOrderFront();
    }
    // The timer ticks on a 1/60 s grid from when the slide began.
    void frames(int count) { loop.advanceAndRunDue(count / 60.0); }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<CompactSwitch> toggle;
};

TEST_F(CompactSwitchTest, GeometryScalesA54By24DrawingOntoTheFrame) {
    EXPECT_EQ(toggle->frame(), (gfx::Rect{10, 10, 40, 18}));
    EXPECT_EQ(toggle->bounds().size, (gfx::Size{54, 24}));
    EXPECT_EQ(toggle->accessibility().role, ui::AccessibilityRole::checkBox);
}

TEST_F(CompactSwitchTest, KnobSlidesWithSmoothstepAndIsHalfWayAt90Milliseconds) {
    EXPECT_DOUBLE_EQ(pulsedeck::compactSwitchKnobPosition(0, 1, 0.09), 0.5);
    EXPECT_DOUBLE_EQ(pulsedeck::compactSwitchKnobPosition(1, 0, 0.09), 0.5);
    EXPECT_DOUBLE_EQ(pulsedeck::compactSwitchKnobPosition(0, 1, 0.5), 1);

    toggle->setState(ui::ControlState::on);
    EXPECT_TRUE(toggle->isAnimating());
    EXPECT_EQ(toggle->position(), 0) << "the knob starts where it was";
    frames(6);
    EXPECT_NEAR(toggle->position(), pulsedeck::compactSwitchKnobPosition(0, 1, 0.1), 1e-9);
    frames(6);
    EXPECT_EQ(toggle->position(), 1);
    EXPECT_FALSE(toggle->isAnimating()) << "the timer stops at the end";
}

TEST_F(CompactSwitchTest, SettingTheSameStateWhileRestingDoesNothing) {
    window->displayIfNeeded();
    toggle->setState(ui::ControlState::off);
    EXPECT_FALSE(toggle->isAnimating());
    EXPECT_FALSE(toggle->needsDisplay());
}

TEST_F(CompactSwitchTest, AReversalMidwayContinuesFromTheCurrentPlace) {
    toggle->setState(ui::ControlState::on);
    frames(3);
    const double midway = toggle->position();
    ASSERT_GT(midway, 0);
    ASSERT_LT(midway, 1);
    toggle->setState(ui::ControlState::off);
    EXPECT_EQ(toggle->position(), midway);
    frames(1);
    EXPECT_NEAR(toggle->position(), pulsedeck::compactSwitchKnobPosition(midway, 0, 1.0 / 60),
                1e-9);
    frames(11);
    EXPECT_EQ(toggle->position(), 0) << "back within 0.18 s";
}

TEST_F(CompactSwitchTest, KnobJumpsWithoutAWindowOrWithReduceMotion) {
    CompactSwitch loose({0, 0});
    loose.setState(ui::ControlState::on);
    EXPECT_EQ(loose.position(), 1);
    EXPECT_FALSE(loose.isAnimating());

    toggle->setState(ui::ControlState::on);
    frames(2);
    app.workspace().setReduceMotion(true);
    toggle->setState(ui::ControlState::off);
    EXPECT_EQ(toggle->position(), 0) << "a running slide stops at its end";
    EXPECT_FALSE(toggle->isAnimating());
}

TEST_F(CompactSwitchTest, AClickTogglesSlidesAndSendsOnce) {
    int sends = 0;
    toggle->setAction([&](ui::Control& sender) {
        ++sends;
        EXPECT_EQ(static_cast<CompactSwitch&>(sender).state(), ui::ControlState::on);
    });
    server.click({100 + 30, 100 + 19});
    EXPECT_EQ(sends, 1);
    EXPECT_TRUE(toggle->isAnimating());
}

TEST(CompactSwitchLookTest, ColoursFollowStateAppearanceSecondaryAndEnabled) {
    const gfx::Color accent = pulsedeck::initialAccentColor;
    const gfx::Color white = gfx::Color::white(), black = gfx::Color::black();
    struct Case {
        bool dark, on, secondary, enabled;
        gfx::Color track;
        double knobAlpha;
    };
    const Case cases[] = {
        {true, false, false, true, white.withAlpha(0.18), 1},
        {true, true, false, true, accent, 1},
        {true, true, true, true, white.withAlpha(0.46), 1},
        {false, false, false, true, black.withAlpha(0.14), 1},
        {false, true, false, true, accent, 1},
        {false, true, true, true, black.withAlpha(0.40), 1},
        {false, true, false, false, accent.withAlpha(0.45), 0.8},
        {true, true, true, false, white.withAlpha(0.46 * 0.45), 0.8},
        {false, false, false, false, black.withAlpha(0.14), 0.8},
    };
    for (const Case& c : cases) {
        const auto colors =
            pulsedeck::compactSwitchColors(c.dark, c.on, c.secondary, c.enabled, accent);
        EXPECT_EQ(colors.track.usingSRGB(), c.track.usingSRGB())
            << c.dark << c.on << c.secondary << c.enabled;
        EXPECT_DOUBLE_EQ(colors.knob.alpha(), c.knobAlpha);
    }
}

} // namespace
