#include "app/AppDelegate.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/X11WindowList.h"
#include "support/ProgramX11Fixture.h"
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
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::network));

    EXPECT_EQ(delegate->details().view()->priority(), ModuleKind::network);
    const auto strip = delegate->statusStrip().view()->statusItemScreenFrame();
    const gfx::Rect network = delegate->statusStrip().view()->rect(ModuleKind::network);
    const auto [x, stripBottom] = pixel({strip->x() + network.midX(), strip->minY()});
    const auto xid = xWindow(*delegate->details().popover()->window());
    ASSERT_TRUE(xid);
    const testsupport::PixelArea popover = testsupport::rootArea(user, *xid);
    EXPECT_GE(popover.y, stripBottom - 1) << "the popover hangs below the menu bar";
    EXPECT_LE(popover.x, x);
    EXPECT_GE(popover.x + popover.width, x);

    EXPECT_TRUE(captureRoot(0, 0, screenWidth, screenHeight)
                    .writePng(testsupport::artifactPath("StatusClickX11.png")));
}

} // namespace
} // namespace pulsedeck
