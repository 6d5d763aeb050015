#include "ProgramX11Fixture.h"
#include "app/AppDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <memory>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

// The controller with the live readers on a private X server, driven by the real clock.
class StatusClickX11 : public testing::ProgramX11Fixture {};

TEST_F(StatusClickX11, LiveFiguresAndAClickOpensThePopoverBelowTheModule) {
    // Two samples give the network and compute modules rates to show.
    ASSERT_TRUE(runUntil([&] { return delegate->sampling().history.size() >= 2; }));
    settle(0.4);
    const std::string tip = delegate->statusStrip().view()->toolTip();
    EXPECT_NE(tip.find(" CPU: "), std::string::npos) << tip;
    EXPECT_NE(tip.find("%"), std::string::npos) << tip;
    ASSERT_TRUE(delegate->statusStrip().view()->moduleImage(ModuleKind::memory));
    ASSERT_TRUE(delegate->statusStrip().view()->moduleImage(ModuleKind::network));
    const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
    ASSERT_TRUE(strip);

    const gfx::Rect network = delegate->statusStrip().view()->rect(ModuleKind::network);
    const gfx::Point target{strip->x() + network.midX(), strip->y() + network.midY()};
    const auto [x, y] = pixel(target);
    click(x, y);
    ASSERT_TRUE(runUntil([&] { return delegate->details().popover()->isShown(); }));
    settle(0.5);

    EXPECT_EQ(delegate->details().view()->priority(), ModuleKind::network);
    const auto& window = delegate->details().popover()->window();
    ASSERT_TRUE(window);
    const auto xid = xWindow(*window);
    ASSERT_TRUE(xid);
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(user, *xid, &attributes));
    int rootX = 0, rootY = 0;
    ::Window child = 0;
    XTranslateCoordinates(user, *xid, DefaultRootWindow(user), 0, 0, &rootX, &rootY, &child);
    const auto [stripX, stripBottom] = pixel({strip->x(), strip->minY()});
    (void)stripX;
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_GE(rootY, stripBottom - 1) << "the popover hangs below the menu bar";
    EXPECT_LE(rootX, x);
    EXPECT_GE(rootX + attributes.width, x);

    EXPECT_TRUE(captureRoot(0, 0, screenWidth, screenHeight)
                    .writePng(testsupport::artifactPath("StatusClickX11.png")));
}

} // namespace
} // namespace pulsedeck
