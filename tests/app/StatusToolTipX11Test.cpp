#include "app/AppDelegate.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/ToolTipController.h"
#include "platform/toolkit/Window.h"
#include "support/ProgramX11Fixture.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

// The whole program on a 1440-pixel-wide screen, its details open at the right edge.
class StatusToolTipX11 : public testing::ProgramX11Fixture {
protected:
    StatusToolTipX11() : ProgramX11Fixture(1440, 900) {}

    // Where an X window of ours stands among the root's children, bottom first.
    int stackingIndex(const ui::Window& window) const {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Display* display = server->display();
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return -1;
        const std::vector<::Window> order(children, children + count);
        XFree(children);
        const auto found = std::find(order.begin(), order.end(), xWindow(window).value_or(0));
        return found == order.end() ? -1 : int(found - order.begin());
    }
};

TEST_F(StatusToolTipX11, TheStripsTipWrapsWhollyOnItsScreenOverTheOpenDetails) {
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    const auto popover = delegate->details().popover()->window();
    const gfx::Rect strip = *delegate->statusStrip().view()->statusItemScreenFrame();
    const gfx::Rect module = delegate->statusStrip().view()->rect(ModuleKind::compute);
    const gfx::Point over{strip.x() + module.midX(), strip.y() + module.midY()};
    moveScreen(over);
    settle(0.1);
    moveScreen(over.offsetBy(1, 0));
    ASSERT_TRUE(runUntil([&] {
        const auto& tip = app->toolTips().window();
        return tip && viewable(*tip);
    }));
    settle(0.3);
    const auto& tip = app->toolTips().window();
    const gfx::Rect frame = tip->frame();
    EXPECT_TRUE(ui::Screen::mainScreen()->frame().contains(frame));
    EXPECT_GT(frame.height(), 40) << "several lines";
    ASSERT_TRUE(frame.intersects(popover->frame()));
    EXPECT_GT(stackingIndex(*tip), stackingIndex(*popover)) << "the tip over the details";
    EXPECT_TRUE(captureScreen(frame.unionWith(popover->frame()).unionWith(strip))
                    .writePng(testsupport::artifactPath("StatusToolTipX11-over-details.png")));
}

} // namespace
} // namespace pulsedeck
