#include "floating/FloatingLiquidAnimator.h"

#include "../statusbar/StripFixture.h"
#include "floating/FloatingLiquidView.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"

#include <cmath>

namespace pulsedeck {
namespace {

// A 100 × 24 strip anchored in the menu bar at (1000, 852); the preview panel is moved by the
// tests as the pointer would move it. Frames are stepped by hand on the virtual clock, or by
// running the loop for the frame clock.
class FloatingLiquidAnimatorTest : public striptest::StripFixture {
protected:
    const gfx::Rect anchor{1000, 852, 100, 24};
    std::shared_ptr<MenuBarContentView> strip = makeStrip(24);
    std::shared_ptr<FloatingPanel> panel;
    FloatingLiquidAnimator animator;

    void SetUp() override {
        panel = std::make_shared<FloatingPanel>(anchor, ui::Style::nonactivatingPanel);
        auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, anchor.size});
        surface->setOwner(strip);
        panel->setContentView(surface);
        panel->orderFront();
    }

    void pullTo(double dx, double dy, bool animated = true) {
        panel->setFrame(anchor.offsetBy(dx, dy), false);
        animator.update(panel, anchor, 0.5, animated);
    }
    void tickAfter(double seconds) {
        clock.advance(seconds);
        animator.tick();
    }
    // Runs frames until the animation ends or the time is up.
    void runFrames(double seconds) {
        for (double t = 0; t < seconds && animator.isRunning(); t += 1.0 / 60)
            tickAfter(1.0 / 60);
    }
};

TEST_F(FloatingLiquidAnimatorTest, TheStripTearsOffAtTheTearingDistanceAndNotBefore) {
    pullTo(0, -123.9);
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::attached);
    EXPECT_TRUE(animator.isRunning());
    EXPECT_EQ(panel->alphaValue(), 0);
    ASSERT_TRUE(animator.overlay());
    EXPECT_TRUE(animator.overlay()->ignoresMouseEvents());
    const gfx::Rect overlayFrame = animator.overlay()->frame();
    EXPECT_EQ(animator.overlay()->contentView()->hitTest(
                  {overlayFrame.width() / 2, overlayFrame.height() / 2}),
              nullptr);
    EXPECT_FALSE(animator.bubble());

    pullTo(0, -124);
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::breaking);
    EXPECT_TRUE(animator.hasBrokenFree());
    ASSERT_TRUE(animator.bubble());
    EXPECT_DOUBLE_EQ(animator.bubble()->radius, 24 * 0.13);
    EXPECT_TRUE(animator.cancel());
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(panel->alphaValue(), 1);
}

TEST_F(FloatingLiquidAnimatorTest,
       ATornStripSettlesFreeAndReattachesOnlyInsideTheReattachDistance) {
    pullTo(0, -10);
    pullTo(0, -200);
    ASSERT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::breaking);
    runFrames(0.45);
    EXPECT_TRUE(animator.isRunning()) << "a tear is never settled within half a second";
    runFrames(3);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::free);
    EXPECT_EQ(panel->alphaValue(), 1);
    EXPECT_NEAR(animator.spring().position.y, anchor.y() - 200, 0.4);

    pullTo(0, -34);
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::free);
    EXPECT_TRUE(animator.hasBrokenFree());
    pullTo(0, -33.9);
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::attached);
    EXPECT_FALSE(animator.hasBrokenFree());
    EXPECT_TRUE(animator.isRunning());
    EXPECT_EQ(panel->alphaValue(), 0);
    EXPECT_EQ(animator.spring().position, (gfx::Point{1000, 852 - 33.9}));
}

TEST_F(FloatingLiquidAnimatorTest, AShortPullSpringsBackIntoTheMenuBar) {
    pullTo(30, -80);
    runFrames(0.3);
    EXPECT_FALSE(animator.cancel());
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::returning);
    runFrames(0.05);
    EXPECT_TRUE(animator.isRunning());
    runFrames(3);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::free);
    EXPECT_FALSE(animator.overlay());
    EXPECT_EQ(panel->alphaValue(), 1);
    EXPECT_LT(animator.spring().position.distanceTo(anchor.origin), 0.4);
}

TEST_F(FloatingLiquidAnimatorTest, UnderReduceMotionNothingAnimatesAndTheDropCountsAsTorn) {
    pullTo(0, -50, false);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_FALSE(animator.overlay());
    EXPECT_TRUE(animator.hasBrokenFree());
    EXPECT_EQ(panel->alphaValue(), 1);
    EXPECT_TRUE(animator.cancel());
}

TEST_F(FloatingLiquidAnimatorTest, APanelWithoutAFloatingSurfaceIsNeverTakenOver) {
    panel->setContentView(std::make_shared<ui::View>(gfx::Rect{{}, anchor.size}));
    EXPECT_FALSE(animator.begin(panel));
    pullTo(0, -50);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_EQ(panel->alphaValue(), 1);
}

TEST_F(FloatingLiquidAnimatorTest, StepsAreBoundedAfterAStallAndForFramesInOneInstant) {
    pullTo(0, -80);
    const gfx::Point start = animator.spring().position;
    const gfx::Point target = animator.attachedTarget();
    ASSERT_LT(target.y, start.y - 40);
    // After a stall the step is 1/30 s: with stiffness 900 one step lands on the target.
    tickAfter(5);
    EXPECT_NEAR(animator.spring().position.y, target.y, 1e-9);
    const double velocity = 900 * (target.y - start.y) / 30;
    EXPECT_NEAR(animator.spring().velocity.y, velocity, 1e-9);
    // A second frame in the same instant steps 1/240 s.
    tickAfter(0);
    const double damped = velocity * (1 - 58.0 / 240);
    EXPECT_NEAR(animator.spring().velocity.y, damped, 1e-9);
    EXPECT_NEAR(animator.spring().position.y, target.y + damped / 240, 1e-9);
}

TEST_F(FloatingLiquidAnimatorTest, TheRubberBandNeverLetsTheStripStrayMoreThan82Points) {
    for (double pull : {10.0, 100.0, 1000.0}) {
        pullTo(0, -pull);
        const double lag = anchor.origin.distanceTo(animator.attachedTarget());
        EXPECT_NEAR(lag, 82 * (1 - std::exp(-pull / 82)), 1e-9);
        EXPECT_LT(lag, 82);
        animator.stop();
        animator.setHasBrokenFree(false);
    }
}

TEST_F(FloatingLiquidAnimatorTest, TheBubbleShowsForItsLifetimeOnly) {
    pullTo(0, -10);
    runFrames(0.2);
    pullTo(0, -150);
    const double torn = clock.now();
    ASSERT_TRUE(animator.bubble());
    const LiquidScene young = animator.scene(torn + 0.24);
    ASSERT_TRUE(young.bubble);
    EXPECT_NEAR(young.bubble->life, 0.5, 1e-9);
    // It rises towards the bar the strip hangs from.
    EXPECT_NEAR(young.bubble->center.y, animator.bubble()->center.y + 2, 1e-9);
    EXPECT_FALSE(animator.scene(torn + 0.49).bubble);
    EXPECT_TRUE(animator.bubble());
}

TEST_F(FloatingLiquidAnimatorTest, AHandoffEndsWhenSettledOrAtItsCapThenCompletes) {
    const gfx::Rect destination{400, 500, 100, 24};
    for (double height : {3.0, 1e9}) {
        SCOPED_TRACE(height);
        ASSERT_TRUE(animator.begin(panel));
        int completions = 0;
        double alphaAtCompletion = -1;
        const double started = clock.now();
        animator.startHandoff(destination.offsetBy(0, height), destination, [&] {
            ++completions;
            alphaAtCompletion = panel->alphaValue();
        });
        EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::handoff);
        runFrames(0.88);
        if (height > 3) {
            EXPECT_EQ(completions, 0);
            runFrames(0.05);
        }
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(alphaAtCompletion, 1);
        EXPECT_FALSE(animator.overlay());
        if (height == 3)
            EXPECT_LT(clock.now() - started, 0.9);
        else
            EXPECT_GT(clock.now() - started, 0.9);
    }
}

TEST_F(FloatingLiquidAnimatorTest, ADockingDipsFliesAndEndsAtItsScriptedLength) {
    const gfx::Rect from{1000, 840, 100, 24};
    const gfx::Rect dock{1020, 852, 80, 22};
    ASSERT_TRUE(animator.begin(panel));
    EXPECT_EQ(panel->alphaValue(), 1) << "the bar stays until the overlay shows it";
    int completions = 0;
    double alphaAtCompletion = -1;
    const double started = clock.now();
    animator.startDocking(from, dock, [&] {
        ++completions;
        alphaAtCompletion = panel->alphaValue();
    });
    EXPECT_EQ(panel->alphaValue(), 0);
    EXPECT_FALSE(animator.ink()->needsDisplay()) << "the overlay drew its first frame";

    // The strip first dips away from the bar so it clears the anchor by 10 points.
    const LiquidScene dipped = animator.scene(started + 0.16);
    EXPECT_NEAR(dipped.strip.midY(), 852 - (864 - 852 + 10), 1e-9);
    EXPECT_EQ(dipped.strip.size, from.size);
    // Halfway through the flight it is halfway to the anchor, in place and size.
    const LiquidScene flying = animator.scene(started + 0.37);
    EXPECT_NEAR(flying.strip.width(), 90, 1e-9);
    EXPECT_NEAR(flying.strip.midX(), 1055, 1e-9);
    // A neck joins strip and anchor while a gap lies between them, none once they overlap.
    EXPECT_GE(animator.scene(started + 0.24).neck, 0.25);
    EXPECT_EQ(flying.neck, 0);
    const LiquidScene settled = animator.scene(started + 0.6);
    EXPECT_EQ(settled.strip, dock);
    EXPECT_FALSE(settled.showsShadow);

    // The strip comes back as it reaches the anchor, under the overlay, and the bar goes
    // without showing again; the overlay wobbles there to the end.
    clock.set(started + 0.5799);
    animator.tick();
    EXPECT_EQ(completions, 0);
    clock.set(started + 0.5801);
    animator.tick();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(alphaAtCompletion, 0);
    EXPECT_TRUE(animator.isSettlingIntoDock());
    clock.set(started + 0.9199);
    animator.tick();
    EXPECT_TRUE(animator.isRunning());
    EXPECT_TRUE(animator.overlay());
    clock.set(started + 0.9201);
    animator.tick();
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_FALSE(animator.overlay());
    EXPECT_EQ(panel->alphaValue(), 1);
}

// The overlay holds what the scene paints and no more: the strip with its shadow, the neck up
// into the anchor while attached, and the tear's ring once torn; never a wide margin around them.
TEST_F(FloatingLiquidAnimatorTest, TheFrameClockDrivesTheAnimationAndTheOverlayFollowsTheShape) {
    pullTo(0, -60);
    loop.advanceAndRunDue(0.5);
    const gfx::Rect strip{animator.spring().position, anchor.size};
    EXPECT_LT(strip.y(), anchor.y() - 30);
    const gfx::Rect frame = animator.overlay()->frame();
    EXPECT_TRUE(frame.contains(strip.insetBy(-15, -15)));
    EXPECT_TRUE(frame.intersects(anchor)) << "the neck";
    EXPECT_TRUE(strip.unionWith(anchor).insetBy(-25, -25).contains(frame));
    EXPECT_EQ(frame, frame.integral());
    ASSERT_TRUE(animator.ink()->scene);
    EXPECT_EQ(animator.ink()->scene->anchor.origin,
              (gfx::Point{anchor.x() - frame.x(), anchor.y() - frame.y()}));

    pullTo(-300, -300);
    loop.advanceAndRunDue(0.4);
    ASSERT_TRUE(animator.hasBrokenFree());
    ASSERT_TRUE(animator.overlay() && animator.ink()->scene && animator.ink()->scene->bubble);
    const gfx::Rect hanging{animator.spring().position, anchor.size};
    const gfx::Rect torn = animator.overlay()->frame();
    EXPECT_TRUE(torn.contains(hanging.insetBy(-15, -15)));
    const LiquidBubble& bubble = *animator.ink()->scene->bubble;
    const gfx::Rect ring{torn.x() + bubble.center.x - 12, torn.y() + bubble.center.y - 12, 24, 24};
    EXPECT_TRUE(hanging.unionWith(ring).insetBy(-25, -25).contains(torn));
    EXPECT_TRUE(animator.cancel());
    loop.advanceAndRunDue(3);
    EXPECT_FALSE(animator.isRunning());
    EXPECT_TRUE(loopIsIdle());
}

TEST_F(FloatingLiquidAnimatorTest, StopOnAnIdleAnimatorChangesNothing) {
    animator.stop();
    EXPECT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::free);
    EXPECT_FALSE(animator.overlay());
    EXPECT_EQ(panel->alphaValue(), 1);
    EXPECT_TRUE(loopIsIdle());
}

} // namespace
} // namespace pulsedeck
