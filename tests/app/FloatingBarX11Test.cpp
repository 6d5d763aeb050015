#include "floating/FloatingSurface.h"
#include "platform/graphics/RectText.h"
#include "support/ProgramX11Fixture.h"

#include <gtest/gtest.h>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace pulsedeck {
namespace {

// The whole program on a private X server, started by a user who left a floating bar beside
// the status item last time.
class FloatingBarX11 : public testing::ProgramX11Fixture {
protected:
    void prepare(AppDelegate::Environment&) override {
        defaults->setObject(std::string("copy"), PreferenceKey::floatingMode);
        defaults->setObject(gfx::stringFromRect({200, 300, 10, 10}), "floatingFrame");
    }
};

TEST_F(FloatingBarX11, ABarLeftOutLastTimeComesBackWhereItWasShowingTheLiveStrip) {
    ASSERT_TRUE(runUntil([&] { return delegate->floatingBar().panel() != nullptr; }));
    const auto panel = delegate->floatingBar().panel();
    ASSERT_TRUE(
        runUntil([&] { return viewable(*panel) && delegate->sampling().history.size() >= 2; }));
    settle(0.5);

    EXPECT_TRUE(delegate->statusStrip().item()->isVisible()) << "a copy leaves the item in place";
    EXPECT_EQ(panel->frame().origin, (gfx::Point{200, 300}));
    EXPECT_EQ(panel->frame().width(), delegate->floatingBar().strip()->requiredWidth());
    ASSERT_TRUE(delegate->floatingBar().strip()->moduleImage(ModuleKind::memory));
    ASSERT_TRUE(delegate->floatingBar().strip()->moduleImage(ModuleKind::network));

    // The bar's window on the root: drawn over the desktop, with lighter and darker ink than
    // its own background (figures and charts), while the desktop beside it stays plain.
    const auto xid = xWindow(*panel);
    ASSERT_TRUE(xid);
    const testsupport::PixelArea onRoot = testsupport::rootArea(user, *xid);
    const auto [expectedX, expectedTop] = pixel({200, panel->frame().maxY()});
    EXPECT_EQ(onRoot.x, expectedX);
    EXPECT_NEAR(onRoot.y, expectedTop, 1) << "a fractional height rounds either way";

    const int margin = 12;
    const auto shot =
        testsupport::capture(user, DefaultRootWindow(user), onRoot.x - margin, onRoot.y - margin,
                             onRoot.width + 2 * margin, onRoot.height + 2 * margin);
    ASSERT_FALSE(shot.pixels.empty());
    EXPECT_TRUE(shot.writePng(testsupport::artifactPath("floating-bar-x11.png")));
    const testsupport::Rgb desktop = shot.at(2, 2);
    const testsupport::Rgb background = shot.at(margin + onRoot.height / 2, margin + 2);
    EXPECT_NE(background, desktop) << "the bar's own background";
    int ink = 0;
    for (int row = margin + 3; row < margin + onRoot.height - 3; ++row)
        for (int column = margin + onRoot.height; column < margin + onRoot.width - 8; ++column)
            if (!testsupport::near(shot.at(column, row), background, 40))
                ++ink;
    EXPECT_GT(ink, 200) << "figures and charts on the bar";

    // The user drags the bar by its middle; it follows and its new place is kept.
    const gfx::Point start{panel->frame().midX(), panel->frame().midY()};
    const auto [fromX, fromY] = pixel(start);
    moveTo(fromX, fromY);
    button(1, true);
    for (int step = 1; step <= 10; ++step) {
        moveTo(fromX + 15 * step, fromY + 8 * step);
        settle(0.02);
    }
    button(1, false);
    ASSERT_TRUE(runUntil(
        [&] {
            return panel->frame().origin == gfx::Point{350, 220};
        },
        3))
        << panel->frame().x() << ", " << panel->frame().y();
    settle(0.2);
    const auto stored = defaults->stringForKey("floatingFrame");
    ASSERT_TRUE(stored);
    EXPECT_EQ(gfx::rectFromString(*stored), panel->frame());
    EXPECT_TRUE(viewable(*panel));
}

// Another application goes full screen over the bar, which the user asked to step aside then;
// the status item stays, since the menu bar's own hiding is off.
TEST_F(FloatingBarX11, ABarHidingInFullScreenStepsAsideAndComesBack) {
    ASSERT_TRUE(runUntil([&] { return delegate->floatingBar().panel() != nullptr; }));
    const auto panel = delegate->floatingBar().panel();
    ASSERT_TRUE(runUntil([&] { return viewable(*panel); }));
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.hideInFullscreen = true; });
    ASSERT_TRUE(delegate->floatingMode().fullscreen().isEnabled());

    const ::Window other = XCreateSimpleWindow(user, DefaultRootWindow(user), 0, 0, screenWidth,
                                               screenHeight, 0, 0, 0);
    testsupport::setWindowProperty(user, other, "_NET_WM_PID", XA_CARDINAL, {1});
    XMapWindow(user, other);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return !viewable(*panel); }));
    EXPECT_TRUE(delegate->statusStrip().item()->isVisible());

    XUnmapWindow(user, other);
    XSync(user, False);
    EXPECT_TRUE(runUntil([&] { return viewable(*panel); }));
    XDestroyWindow(user, other);
    XSync(user, False);
}

} // namespace
} // namespace pulsedeck
