// The details under real window managers, which move the keyboard focus on presses of their own
// accord: only a press away from the strip closes them, a short delay after it, and the focus
// moving elsewhere without a press leaves them open.

#include "app/AppIcon.h"
#include "support/ProgramX11Fixture.h"
#include "updates/MenuBarTipWindow.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>

// clang-format off
#include "support/DesktopSession.h"
// clang-format on

namespace pulsedeck {
namespace {

using testsupport::Desktop;

struct DesktopCase {
    const char* name;
    Desktop desktop;
    // How long the manager is held still as the program starts (a loaded machine): the strip
    // shows only once it goes on, and the program learns where a moment later.
    double managerLate = 0;
};

class OutsidePresses : public testing::ProgramX11Fixture,
                       public ::testing::WithParamInterface<DesktopCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb, GetParam().desktop);
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        if (GetParam().managerLate > 0)
            desktop->pauseWindowManager(true);
        ASSERT_NO_FATAL_FAILURE(ProgramX11Fixture::SetUp());
        if (GetParam().managerLate > 0)
            loop.queue().asyncAfter(GetParam().managerLate,
                                    [this] { desktop->pauseWindowManager(false); });
        app->addGlobalMonitor(ui::EventMasks::leftMouseDown,
                              [this](const ui::Event&) { pressedAt = loop.clock().now(); });
        app->addLocalMonitor(ui::EventMasks::leftMouseDown, [this](const ui::Event& event) {
            pressedAt = loop.clock().now();
            return std::optional(event);
        });
    }

    bool shown() const { return delegate->details().popover()->isShown(); }
    gfx::Rect strip() const { return *delegate->statusStrip().view()->statusItemScreenFrame(); }

    // A press outside our windows, once the program has seen it and the manager has had time to
    // move the focus for it.
    void pressOutside(gfx::Point point) {
        if (const auto& window = delegate->details().popover()->window(); window && shown()) {
            ASSERT_FALSE(window->frame().contains(point));
        }
        pressedAt.reset();
        clickScreen(point);
        ASSERT_TRUE(runUntil([&] { return pressedAt.has_value(); })) << "the press was seen";
    }

    // How long after the press the details closed; none when they stayed open.
    std::optional<double> closedAfterPress() {
        if (!runUntil([&] { return !shown(); }, 1))
            return std::nullopt;
        return loop.clock().now() - *pressedAt;
    }

    std::optional<testsupport::DesktopSession> desktop;
    std::optional<double> pressedAt;
};

TEST_P(OutsidePresses, OnlyAPressAwayFromTheStripClosesTheDetailsAfterTheDelay) {
    // The details hang from the strip's right end; its left end has nothing of ours below it.
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    ASSERT_NO_FATAL_FAILURE(pressOutside({strip().minX() + 4, strip().minY() - 1}));
    EXPECT_FALSE(closedAfterPress()) << "a press 1 px under the strip is left to the strip";

    const auto screen = ui::Screen::mainScreen()->frame();
    ASSERT_NO_FATAL_FAILURE(pressOutside({screen.minX() + 40, screen.minY() + 40}));
    const auto onDesktop = closedAfterPress();
    ASSERT_TRUE(onDesktop) << "a press on the desktop closes the details";
    EXPECT_GE(*onDesktop, 0.06) << "only after the delay that lets the strip see its own click";

    // Another program's window (tiled over the whole desktop under i3).
    const ::Window other =
        XCreateSimpleWindow(user, DefaultRootWindow(user), 40, 420, 400, 300, 0, 0, 0x336699);
    XMapWindow(user, other);
    XSync(user, False);
    ASSERT_TRUE(runUntil([&] {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(user, other, &attributes) && attributes.map_state == IsViewable;
    }));
    settle(0.3);
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    ASSERT_NO_FATAL_FAILURE(pressOutside({screen.minX() + 60, screen.minY() + 100}));
    EXPECT_TRUE(closedAfterPress()) << "a click on another program's window closes the details";

    // Another window of ours: the first-run tip.
    MenuBarTipWindow tip(AppLanguage::english, appIconImage(false));
    tip.window()->makeKeyAndOrderFront();
    ASSERT_TRUE(runUntil([&] { return viewable(*tip.window()); }));
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    const gfx::Rect onTip = tip.window()->frame();
    ASSERT_NO_FATAL_FAILURE(pressOutside({onTip.minX() + 30, onTip.maxY() - 60}));
    EXPECT_TRUE(closedAfterPress()) << "a press on the tip closes the details";
    EXPECT_TRUE(tip.window()->isVisible());
    tip.done();

    // The focus going to the other program without a press leaves the details open.
    ASSERT_NO_FATAL_FAILURE(openDetailsFrom(ModuleKind::compute));
    XSetInputFocus(user, other, RevertToPointerRoot, CurrentTime);
    XSync(user, False);
    ASSERT_TRUE(runUntil([&] {
        ::Window focused = 0;
        int revert = 0;
        XGetInputFocus(user, &focused, &revert);
        return focused == other;
    }));
    settle(0.3);
    EXPECT_TRUE(shown());
}

INSTANTIATE_TEST_SUITE_P(Desktops, OutsidePresses,
                         ::testing::Values(DesktopCase{"i3", Desktop::i3WithBar},
                                           DesktopCase{"i3Late", Desktop::i3WithBar, 1.5},
                                           DesktopCase{"openbox", Desktop::openbox},
                                           DesktopCase{"xfwm4Composited",
                                                       Desktop::xfwm4WithCompositor}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace pulsedeck
