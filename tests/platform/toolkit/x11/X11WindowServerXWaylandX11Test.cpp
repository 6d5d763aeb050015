// The X11 window server on XWayland, inside weston: the user's pointer is the test's X server's,
// and weston passes it on to XWayland over the windows it shows of XWayland's.

#include "platform/graphics/Context.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/x11/X11WindowServer.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include "support/DesktopSession.h"
#include <X11/extensions/XInput2.h>
// clang-format on

namespace {

using testsupport::Rgb;

constexpr Rgb yellow{242, 217, 51};

// A yellow item that records the presses and releases it is given.
class PressedView : public ui::View {
public:
    using View::View;
    std::vector<ui::EventType> events;

    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color(0.95, 0.85, 0.2));
        context.fillRect(bounds());
    }
    void mouseDown(const ui::Event& event) override { events.push_back(event.type()); }
    void mouseUp(const ui::Event& event) override { events.push_back(event.type()); }
    void rightMouseDown(const ui::Event& event) override { events.push_back(event.type()); }
    void rightMouseUp(const ui::Event& event) override { events.push_back(event.type()); }
};

class UnderXWayland : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        session = std::make_unique<testsupport::DesktopSession>(
            xvfb, testsupport::Desktop::westonXWayland);
        ASSERT_TRUE(session->isReady()) << session->failure();
        ui::x11::X11WindowServer::Options options;
        options.displayName = session->displayName();
        options.usePortal = false;
        server = ui::x11::X11WindowServer::open(loop, options);
        ASSERT_TRUE(server);
        app = std::make_unique<ui::Application>(*server, loop);
        // The user's hand and eyes are on the test's own server, where weston shows its output.
        user = XOpenDisplay(xvfb.displayName().c_str());
        ASSERT_NE(user, nullptr);
    }

    // What weston shows at a root pixel of the test's server.
    Rgb shownAt(int x, int y) const {
        return testsupport::pixelAt(user, DefaultRootWindow(user), x, y);
    }

    // Whether XWayland sends the program every pointer move over its windows, as it does while
    // the global monitors watch a drag.
    bool watchesEveryMove() const { return testsupport::selectsRawMotion(server->display()); }

    std::unique_ptr<testsupport::DesktopSession> session;
};

// Clicks on the status bar, left and right: the bar gets each press and release, and once they
// are over the program no longer hears of every pointer move (a raw release XWayland never sent
// left it watching for a drag that had ended).
TEST_F(UnderXWayland, AfterClicksOnTheBarThePointersMovesNoLongerReachTheProgram) {
    auto view = std::make_shared<PressedView>(gfx::Rect{0, 0, 60, 24});
    app->statusBar().statusItem(60)->setView(view);
    // weston shows the bar at the top right, and passes the pointer on to it once it does.
    ASSERT_TRUE(runUntil([&] { return near(shownAt(1250, 12), yellow, 3); })) << shownAt(1250, 12);
    EXPECT_FALSE(watchesEveryMove());

    const auto clickBar = [&](unsigned number) {
        const std::size_t before = view->events.size();
        click(1250, 12, number);
        return runUntil([&] { return view->events.size() >= before + 2; });
    };
    ASSERT_TRUE(clickBar(1));
    ASSERT_TRUE(clickBar(3));
    EXPECT_EQ(view->events, (std::vector<ui::EventType>{
                                ui::EventType::leftMouseDown, ui::EventType::leftMouseUp,
                                ui::EventType::rightMouseDown, ui::EventType::rightMouseUp}));
    EXPECT_TRUE(runUntil([&] { return !watchesEveryMove(); }));
}

} // namespace
