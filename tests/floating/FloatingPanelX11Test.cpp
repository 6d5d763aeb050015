#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

// Xlib's macros must come after every other header.
// clang-format off
#include "support/DesktopSession.h"
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace pulsedeck {
namespace {

// The floating panel under a real window manager and panel.
class FloatingPanelX11 : public testsupport::X11Fixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(xvfb.isRunning()) << xvfb.failure();
        desktop.emplace(xvfb);
        ASSERT_TRUE(desktop->isReady()) << desktop->failure();
        ASSERT_NO_FATAL_FAILURE(X11Fixture::SetUp());
        panel = std::make_shared<FloatingPanel>(gfx::Rect{300, 400, 240, 29},
                                                ui::Style::nonactivatingPanel);
        panel->setLevel(ui::WindowLevel::floating);
        panel->setCollectionBehavior(ui::Collection::canJoinAllSpaces |
                                     ui::Collection::ignoresCycle |
                                     ui::Collection::fullScreenAuxiliary);
        panel->setContentView(std::make_shared<FloatingSurface>(gfx::Rect{0, 0, 240, 29}));
        panel->orderFrontRegardless();
        ASSERT_TRUE(runUntil([&] { return viewable(*panel); }));
        xid = *xWindow(*panel);
    }

    void TearDown() override {
        panel.reset();
        X11Fixture::TearDown();
    }

    bool hasState(const char* name) const {
        const auto states = testsupport::windowProperty(user, xid, "_NET_WM_STATE", XA_ATOM, 32);
        return std::find(states.begin(), states.end(), long(XInternAtom(user, name, False))) !=
               states.end();
    }

    std::optional<testsupport::DesktopSession> desktop;
    std::shared_ptr<FloatingPanel> panel;
    ::Window xid = 0;
};

TEST_F(FloatingPanelX11, AnUndecoratedPanelOnEveryDesktopThatNeverTakesFocus) {
    EXPECT_TRUE(runUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }));
    EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(hasState("_NET_WM_STATE_SKIP_PAGER"));
    // On every desktop: openbox keeps that in the desktop number rather than a sticky state.
    const auto desktops = testsupport::windowProperty(user, xid, "_NET_WM_DESKTOP", XA_CARDINAL, 1);
    ASSERT_EQ(desktops.size(), 1u);
    EXPECT_EQ(static_cast<unsigned long>(desktops.front()) & 0xffffffffUL, 0xffffffffUL);
    const Atom motif = XInternAtom(user, "_MOTIF_WM_HINTS", False);
    const auto decorations = testsupport::windowProperty(user, xid, "_MOTIF_WM_HINTS", motif, 5);
    ASSERT_EQ(decorations.size(), 5u);
    EXPECT_EQ(decorations[2], 0) << "no decoration";
    XWMHints* hints = XGetWMHints(user, xid);
    ASSERT_NE(hints, nullptr);
    EXPECT_FALSE(hints->input);
    XFree(hints);
    // Where it was put: the panel's content sits exactly at its frame, with no frame around it.
    const auto area = testsupport::rootArea(user, xid);
    EXPECT_EQ(area.x, 300);
    EXPECT_EQ(area.width, 240);

    click(area.x + 20, area.y + 10);
    settle(0.3);
    EXPECT_FALSE(panel->isKeyWindow());
    const auto active = testsupport::windowProperty(user, DefaultRootWindow(user),
                                                    "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
    EXPECT_TRUE(active.empty() || active.front() != long(xid));
}

TEST_F(FloatingPanelX11, LeavingTheFloatingLevelDropsTheAboveStateWhileShown) {
    ASSERT_TRUE(runUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }));
    panel->setLevel(ui::WindowLevel::normal);
    server->sync();
    EXPECT_TRUE(runUntil([&] { return !hasState("_NET_WM_STATE_ABOVE"); }));
    panel->setLevel(ui::WindowLevel::floating);
    server->sync();
    EXPECT_TRUE(runUntil([&] { return hasState("_NET_WM_STATE_ABOVE"); }));
}

} // namespace
} // namespace pulsedeck
