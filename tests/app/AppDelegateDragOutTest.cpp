#include "app/ControllerHarness.h"
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
        ASSERT_TRUE(delegate->statusView->statusItemScreenFrame());
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

    gfx::Point start;
};

TEST_F(AppDelegateDragOutTest, APreviewOfTheStripHangsFromTheMenuBarAndTearsOff) {
    dragBy(-10, -60);
    ASSERT_TRUE(delegate->floatingPreview);
    const ui::Window& preview = *delegate->floatingPreview;
    EXPECT_TRUE(preview.ignoresMouseEvents());
    EXPECT_TRUE(std::dynamic_pointer_cast<FloatingSurface>(preview.contentView()));
    // The strip moves with the pointer from where it was held.
    const gfx::Rect strip = *delegate->statusView->statusItemScreenFrame();
    EXPECT_NEAR(preview.frame().minX(), strip.minX() - 10, 1e-9);
    EXPECT_NEAR(preview.frame().minY(), strip.minY() - 60, 1e-9);
    // The overlay stands in for it while the liquid stretches.
    EXPECT_EQ(preview.alphaValue(), 0);
    EXPECT_TRUE(delegate->floatingMotion.isRunning());
    EXPECT_EQ(delegate->floatingMotion.phase(), FloatingLiquidAnimator::Phase::attached);

    dragBy(-40, -200);
    EXPECT_EQ(delegate->floatingMotion.phase(), FloatingLiquidAnimator::Phase::breaking);
    release();
    EXPECT_FALSE(delegate->floatingPreview);
    EXPECT_FALSE(delegate->floatingMotion.isRunning());
    EXPECT_FALSE(delegate->floatingMotion.overlay());
}

TEST_F(AppDelegateDragOutTest, AShortPullSpringsBackAfterTheRelease) {
    dragBy(0, -50);
    ASSERT_TRUE(delegate->floatingPreview);
    release();
    EXPECT_FALSE(delegate->floatingPreview);
    EXPECT_EQ(delegate->floatingMotion.phase(), FloatingLiquidAnimator::Phase::returning);
    EXPECT_TRUE(delegate->floatingMotion.overlay()->isVisible());
    advance(2);
    EXPECT_FALSE(delegate->floatingMotion.isRunning());
    EXPECT_FALSE(delegate->floatingMotion.overlay());
}

TEST_F(AppDelegateDragOutTest, UnderReduceMotionThePreviewFollowsWithoutLiquid) {
    app.workspace().setReduceMotion(true);
    dragBy(0, -60);
    ASSERT_TRUE(delegate->floatingPreview);
    EXPECT_EQ(delegate->floatingPreview->alphaValue(), 1);
    EXPECT_FALSE(delegate->floatingMotion.isRunning());
    release();
    EXPECT_FALSE(delegate->floatingPreview);
}

} // namespace
} // namespace pulsedeck
