#include "app/ControllerHarness.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"

namespace pulsedeck {
namespace {

// A module dragged out of the status item with the pointer, the editing panels up as they are
// 0.25 s after launch.
class AppDelegateDragOutTest : public testing::ControllerHarness {
protected:
    void SetUp() override {
        launch();
        advance(0.3);
        ASSERT_TRUE(delegate->statusStrip().view()->statusItemScreenFrame());
        start = moduleCenter(ModuleKind::memory);
        server.movePointer(start);
        server.mouseDown(start);
        loop.runUntilIdle();
    }

    // The pointer held down at an offset from the press; the strip polls it.
    void dragBy(double dx, double dy) {
        server.movePointer(start.offsetBy(dx, dy));
        advance(0.05);
    }
    void release() {
        server.mouseUp(server.pointerLocation());
        advance(0.05);
    }

    // Releases the drag at its current point; a menu offered for the drop is looked at and then
    // answered with `keys`. Whether it was offered.
    bool releaseAnswering(std::vector<int> keys) {
        bool offered = false;
        loop.queue().asyncAfter(0.1, [&, keys] {
            phaseAfterRelease = inside(*delegate).floatingMotion.phase();
            offered = app.trackingSession() != nullptr;
            if (!offered)
                return;
            offeredDropFrame = inside(*delegate).floatingDropFrame;
            for (int key : keys)
                server.key(key, key == ui::KeyCode::returnKey ? "\r" : "");
        });
        // A menu that opened later than looked for is closed all the same, so the test fails
        // instead of waiting on it.
        loop.queue().asyncAfter(2, [this] {
            if (app.trackingSession())
                server.key(ui::KeyCode::escape, "\x1b");
        });
        release();
        advance(0.2);
        EXPECT_EQ(app.trackingSession(), nullptr);
        return offered;
    }
    bool releaseDismissing() { return releaseAnswering({ui::KeyCode::escape}); }

    gfx::Point start;
    std::optional<gfx::Rect> offeredDropFrame;
    FloatingLiquidAnimator::Phase phaseAfterRelease = FloatingLiquidAnimator::Phase::free;
};

TEST_F(AppDelegateDragOutTest, APreviewOfTheStripHangsFromTheMenuBarAndTearsOff) {
    dragBy(-10, -60);
    ASSERT_TRUE(inside(*delegate).floatingPreview);
    const ui::Window& preview = *inside(*delegate).floatingPreview;
    EXPECT_TRUE(preview.ignoresMouseEvents());
    EXPECT_TRUE(std::dynamic_pointer_cast<FloatingSurface>(preview.contentView()));
    // The strip moves with the pointer from where it was held.
    const gfx::Rect strip = *delegate->statusStrip().view()->statusItemScreenFrame();
    EXPECT_NEAR(preview.frame().minX(), strip.minX() - 10, 1e-9);
    EXPECT_NEAR(preview.frame().minY(), strip.minY() - 60, 1e-9);
    // The overlay stands in for it while the liquid stretches.
    EXPECT_EQ(preview.alphaValue(), 0);
    EXPECT_TRUE(inside(*delegate).floatingMotion.isRunning());
    EXPECT_EQ(inside(*delegate).floatingMotion.phase(), FloatingLiquidAnimator::Phase::attached);

    dragBy(-40, -200);
    EXPECT_EQ(inside(*delegate).floatingMotion.phase(), FloatingLiquidAnimator::Phase::breaking);
    const gfx::Rect torn = inside(*delegate).floatingPreview->frame();
    EXPECT_TRUE(releaseDismissing());
    EXPECT_EQ(offeredDropFrame, torn);
    EXPECT_FALSE(inside(*delegate).floatingDropFrame);
    EXPECT_FALSE(inside(*delegate).floatingPreview);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_FALSE(inside(*delegate).floatingMotion.isRunning());
    EXPECT_FALSE(inside(*delegate).floatingMotion.overlay());
}

TEST_F(AppDelegateDragOutTest, AShortPullSpringsBackAfterTheReleaseAndOffersNothing) {
    dragBy(0, -50);
    ASSERT_TRUE(inside(*delegate).floatingPreview);
    EXPECT_FALSE(releaseDismissing());
    EXPECT_FALSE(inside(*delegate).floatingPreview);
    EXPECT_EQ(phaseAfterRelease, FloatingLiquidAnimator::Phase::returning);
    advance(2);
    EXPECT_FALSE(inside(*delegate).floatingMotion.isRunning());
    EXPECT_FALSE(inside(*delegate).floatingMotion.overlay());
}

TEST_F(AppDelegateDragOutTest, UnderReduceMotionThePreviewFollowsWithoutLiquidAndAnyDropOffers) {
    app.workspace().setReduceMotion(true);
    dragBy(0, -60);
    ASSERT_TRUE(inside(*delegate).floatingPreview);
    EXPECT_EQ(inside(*delegate).floatingPreview->alphaValue(), 1);
    EXPECT_FALSE(inside(*delegate).floatingMotion.isRunning());
    EXPECT_TRUE(releaseDismissing());
    EXPECT_FALSE(inside(*delegate).floatingPreview);
}

TEST_F(AppDelegateDragOutTest, ADropOnTheStripOffersABarOnlyWhenTheBarWouldReplaceIt) {
    // Without the liquid every release counts as torn off; the drop point alone decides.
    app.workspace().setReduceMotion(true);
    const gfx::Rect strip = *delegate->statusStrip().view()->statusItemScreenFrame();
    const gfx::Point onStrip{strip.minX() + 1, strip.maxY() + 1.5};
    for (const auto& [mode, offered] :
         {std::pair{FloatingMode::none, false}, std::pair{FloatingMode::copy, false},
          std::pair{FloatingMode::detached, true}}) {
        delegate->settings().change([mode = mode](Preferences& p) { p.floatingMode = mode; });
        server.movePointer(start);
        server.mouseDown(start);
        loop.runUntilIdle();
        dragBy(0, -60);
        server.movePointer(onStrip);
        advance(0.05);
        EXPECT_EQ(releaseDismissing(), offered) << toString(mode);
        EXPECT_FALSE(inside(*delegate).floatingPreview);
    }
}

TEST_F(AppDelegateDragOutTest, TheChosenBarIsMadeWhileTheDropFrameIsStillSet) {
    dragBy(-40, -200);
    dragBy(-500, -200);
    advance(0.6);
    const gfx::Rect dropped = inside(*delegate).floatingPreview->frame();
    EXPECT_TRUE(releaseAnswering({ui::KeyCode::downArrow, ui::KeyCode::returnKey}));
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::copy);
    ASSERT_TRUE(floatingBar().panel());
    // The bar has its own strip's size; where that fits, it stands where the preview fell.
    const gfx::Rect bar = floatingBar().panel()->frame();
    EXPECT_EQ(bar.origin, keepFrameOnScreen({dropped.origin, bar.size}).origin);
    EXPECT_EQ(bar.origin, dropped.origin);
    EXPECT_FALSE(inside(*delegate).floatingDropFrame);
}

} // namespace
} // namespace pulsedeck
