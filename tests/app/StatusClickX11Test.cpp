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

extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace pulsedeck {
namespace {

// The controller with the live readers on a private X server, driven by the real clock.
class StatusClickX11 : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        defaults =
            std::make_unique<foundation::UserDefaults>(config.path(), "local.dorvettin.Pulsedeck");
        defaults->setBool(true, PreferenceKey::hasLaunched);
        defaults->setBool(true, PreferenceKey::menuBarTipShown);
        AppDelegate::Environment environment;
        environment.defaults = defaults.get();
        environment.loop = &loop;
        environment.preferredLanguages = [] { return std::vector<std::string>{"en"}; };
        environment.windowList = std::make_shared<ui::x11::X11WindowList>(*server);
        delegate = AppDelegate::create(environment);
        app->setDelegate(delegate);
        app->finishLaunching();
    }

    void TearDown() override {
        if (delegate) {
            delegate->applicationWillTerminate();
            delegate.reset();
        }
        X11Fixture::TearDown();
    }

    // A screen point as root pixels (the primary screen's bottom-left is the origin, y up).
    std::pair<int, int> pixel(gfx::Point point) const {
        const auto rect = server->geometry().pixelsFromRect({point.x, point.y, 1, 1});
        return {rect.x, rect.y};
    }

    testsupport::TemporaryDirectory config;
    std::unique_ptr<foundation::UserDefaults> defaults;
    std::shared_ptr<AppDelegate> delegate;
};

TEST_F(StatusClickX11, LiveFiguresAndAClickOpensThePopoverBelowTheModule) {
    // Two samples give the network and compute modules rates to show.
    ASSERT_TRUE(runUntil([&] { return delegate->history.size() >= 2; }, 5));
    settle(0.4);
    const std::string tip = delegate->statusView->toolTip();
    EXPECT_NE(tip.find(" CPU: "), std::string::npos) << tip;
    EXPECT_NE(tip.find("%"), std::string::npos) << tip;
    ASSERT_TRUE(delegate->statusView->moduleImage(ModuleKind::memory));
    ASSERT_TRUE(delegate->statusView->moduleImage(ModuleKind::network));
    const auto strip = delegate->statusView->statusItemScreenFrame();
    ASSERT_TRUE(strip);

    const gfx::Rect network = delegate->statusView->rect(ModuleKind::network);
    const gfx::Point target{strip->x() + network.midX(), strip->y() + network.midY()};
    const auto [x, y] = pixel(target);
    click(x, y);
    ASSERT_TRUE(runUntil([&] { return delegate->popover->isShown(); }, 3));
    settle(0.5);

    EXPECT_EQ(delegate->details->priority, ModuleKind::network);
    const auto& window = delegate->popover->window();
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
