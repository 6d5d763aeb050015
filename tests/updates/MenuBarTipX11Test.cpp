#include "app/AppIcon.h"
#include "support/TestPaths.h"
#include "updates/MenuBarTipDemo.h"
#include "updates/MenuBarTipWindow.h"

#include <memory>
#include <string>

// clang-format off
#include "support/X11TestSupport.h"
// clang-format on

namespace pulsedeck {
namespace {

// The tip on a real X server: what its demo shows at moments of the loop, and the window
// manager's close.
class MenuBarTipX11Test : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        tip = std::make_unique<MenuBarTipWindow>(AppLanguage::english, appIconImage(false));
        tip->finish = [this] { ++finished; };
        shownAt = loop.clock().now();
        tip->window()->makeKeyAndOrderFront();
        ASSERT_TRUE(runUntil([&] { return viewable(*tip->window()); }));
    }

    void TearDown() override {
        tip.reset();
        X11Fixture::TearDown();
    }

    // The demo as the screen shows it once `seconds` of its loop have passed.
    testsupport::Capture demoAt(double seconds) {
        runUntil([&] { return loop.clock().now() >= shownAt + seconds; }, seconds + 2);
        const MenuBarTipDemo& demo = tip->demo();
        const gfx::Rect onScreen =
            tip->window()->convertRectToScreen(demo.convertRectToView(demo.bounds(), nullptr));
        const auto pixels = server->geometry().pixelsFromRect(onScreen);
        XSync(server->display(), False);
        zoom = pixels.width / 300.0;
        return captureRoot(pixels.x, pixels.y, pixels.width, pixels.height);
    }

    // Whether anything darker than the tip's light background lies in a box of the demo's
    // 300-unit space (y up).
    bool inked(const testsupport::Capture& frame, double minX, double minY, double maxX,
               double maxY) const {
        for (double x = minX; x <= maxX; x += 0.5)
            for (double y = minY; y <= maxY; y += 0.5) {
                const int column = int(x * zoom), row = frame.height - 1 - int(y * zoom);
                if (column >= 0 && column < frame.width && row >= 0 && row < frame.height &&
                    frame.at(column, row).red < 140)
                    return true;
            }
        return false;
    }

    std::unique_ptr<MenuBarTipWindow> tip;
    double shownAt = 0;
    double zoom = 1;
    int finished = 0;
};

TEST_F(MenuBarTipX11Test, TheDemoPlaysItsStoryOnScreen) {
    const auto early = demoAt(0.5);
    const auto held = demoAt(1.5);
    const auto settled = demoAt(3);
    EXPECT_TRUE(early.writePng(testsupport::artifactPath("tip-x11-0.5s.png")));
    EXPECT_TRUE(held.writePng(testsupport::artifactPath("tip-x11-1.5s.png")));
    EXPECT_TRUE(settled.writePng(testsupport::artifactPath("tip-x11-3s.png")));

    EXPECT_TRUE(inked(early, 209, 63, 215, 69)) << "the note in its slot";
    EXPECT_TRUE(inked(held, 193, 24, 203, 34)) << "the note dragged out";
    EXPECT_TRUE(inked(held, 202, 14, 206, 24)) << "the pointer holding it";
    EXPECT_FALSE(inked(held, 208, 60, 216, 72)) << "its slot empty";
    EXPECT_FALSE(inked(settled, 185, 5, 235, 40)) << "the note gone";
    EXPECT_TRUE(inked(settled, 209, 63, 215, 69)) << "the cloud in the old slot";
}

// A window manager asks a window to close with WM_DELETE_WINDOW; the tip closes, stops the
// demo and finishes.
TEST_F(MenuBarTipX11Test, TheWindowManagersCloseEndsTheTip) {
    settle(0.3);
    ASSERT_TRUE(tip->demo().isAnimating());
    const ::Window window = *xWindow(*tip->window());
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(user, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = long(XInternAtom(user, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(user, window, False, NoEventMask, &message);
    XFlush(user);

    EXPECT_TRUE(runUntil([&] { return finished == 1; }));
    EXPECT_FALSE(tip->window()->isVisible());
    EXPECT_FALSE(viewable(*tip->window()));
    EXPECT_FALSE(tip->demo().isAnimating());
}

} // namespace
} // namespace pulsedeck
