#include "ToolkitFixture.h"
#include "platform/toolkit/ToolTipController.h"
#include "platform/toolkit/Window.h"

#include <string>
#include <thread>
#include <vector>

namespace {

using toolkittest::ToolkitFixture;

struct RecordingDelegate : ui::ApplicationDelegate {
    void applicationDidFinishLaunching() override { calls.push_back("launched"); }
    bool applicationShouldHandleReopen(bool visible) override {
        calls.push_back(visible ? "reopen visible" : "reopen hidden");
        return false;
    }
    void applicationWillTerminate() override { calls.push_back("terminate"); }
    std::vector<std::string> calls;
};

TEST_F(ToolkitFixture, RunLaunchesAndTerminateEndsTheLoopOnce) {
    auto delegate = std::make_shared<RecordingDelegate>();
    app.setDelegate(delegate);
    EXPECT_EQ(&ui::Application::shared(), &app);
    loop.queue().asyncAfter(0.5, [&] {
        app.terminate();
        app.terminate();
    });
    app.run();
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"launched", "terminate"}));
    EXPECT_TRUE(app.isTerminating());
}

TEST_F(ToolkitFixture, ReopenAsksTheDelegateWithTheWindowsVisibility) {
    auto delegate = std::make_shared<RecordingDelegate>();
    app.setDelegate(delegate);
    EXPECT_FALSE(app.reopen());
    auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::titled);
    window->orderFront();
    app.reopen();
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"reopen hidden", "reopen visible"}));
}

TEST_F(ToolkitFixture, ActivationPolicyAndDeactivationHideTheWindowsThatAsk) {
    EXPECT_TRUE(app.setActivationPolicy(ui::ActivationPolicy::accessory));
    EXPECT_EQ(app.activationPolicy(), ui::ActivationPolicy::accessory);
    auto hiding = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::titled);
    hiding->setHidesOnDeactivate(true);
    auto staying = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::titled);
    hiding->orderFront();
    staying->orderFront();
    app.activateIgnoringOtherApps(true);
    EXPECT_TRUE(app.isActive());
    app.deactivate();
    EXPECT_FALSE(hiding->isVisible());
    EXPECT_TRUE(staying->isVisible());
}

TEST_F(ToolkitFixture, WindowsListAndKeyWindowFollowTheirLives) {
    auto panel =
        std::make_shared<ui::Panel>(gfx::Rect{0, 0, 50, 50}, ui::Style::nonactivatingPanel);
    auto titled = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, ui::Style::titled);
    EXPECT_EQ(app.windows().size(), 2u);
    panel->makeKeyAndOrderFront();
    EXPECT_EQ(app.keyWindow(), nullptr);
    titled->makeKeyAndOrderFront();
    EXPECT_EQ(app.keyWindow(), titled.get());
    EXPECT_EQ(server.keyWindow(), titled->windowNumber());
    titled->close();
    EXPECT_EQ(app.keyWindow(), nullptr);
    EXPECT_EQ(app.windows().size(), 1u);
    titled->setReleasedWhenClosed(false);
    titled->orderFront();
    EXPECT_EQ(app.windows().size(), 2u);
    const auto number = *titled->windowNumber();
    titled.reset();
    EXPECT_EQ(server.window(number), nullptr);
    EXPECT_EQ(app.windows().size(), 1u);
}

// The desktop's close (a window manager's close key, a task bar's close entry) closes only
// windows that are closable: the status bar, menus and panels stay. Whoever keeps something
// running for a shown window hears every ordering out, and its views hear both directions.
TEST_F(ToolkitFixture, TheDesktopsCloseReachesOnlyClosableWindows) {
    struct VisibilityView : ui::View {
        using View::View;
        void viewDidChangeWindowVisibility() override {
            seen.push_back(window() && window()->isVisible());
        }
        std::vector<bool> seen;
    };
    for (const ui::StyleMask style :
         {ui::Style::titled | ui::Style::closable, ui::Style::titled, ui::Style::borderless}) {
        SCOPED_TRACE(style);
        auto window = std::make_shared<ui::Window>(gfx::Rect{0, 0, 50, 50}, style);
        window->setReleasedWhenClosed(false);
        auto view = std::make_shared<VisibilityView>(gfx::Rect{0, 0, 10, 10});
        window->contentView()->addSubview(view);
        int orderedOut = 0;
        window->orderedOutAction = [&] { ++orderedOut; };
        window->orderFront();
        server.closeFromDesktop(*window->windowNumber());
        const bool closable = (style & ui::Style::closable) != 0;
        EXPECT_EQ(window->isVisible(), !closable);
        EXPECT_EQ(orderedOut, closable ? 1 : 0);
        window->orderOut();
        window->orderOut();
        EXPECT_EQ(orderedOut, 1) << "once per ordering out";
        EXPECT_EQ(view->seen, (std::vector<bool>{true, false}));
    }
}

TEST_F(ToolkitFixture, WindowAttributesReachTheServer) {
    auto panel =
        std::make_shared<ui::Panel>(gfx::Rect{10, 20, 30, 40}, ui::Style::nonactivatingPanel);
    panel->setLevel(ui::WindowLevel::status);
    panel->setAlphaValue(0.5);
    panel->setIgnoresMouseEvents(true);
    panel->setCollectionBehavior(ui::Collection::transient | ui::Collection::ignoresCycle |
                                 ui::Collection::fullScreenAuxiliary);
    panel->orderFrontRegardless();
    const auto* state = server.window(*panel->windowNumber());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->level, 25);
    EXPECT_EQ(state->alpha, 0.5);
    EXPECT_TRUE(state->ignoresMouseEvents);
    EXPECT_TRUE(state->attributes.nonActivating);
    EXPECT_EQ(state->attributes.role, ui::WindowRole::panel);
    EXPECT_EQ(state->attributes.collectionBehavior, 0x148u);
    panel->setFrameOrigin({100, 200});
    EXPECT_EQ(state->frame, (gfx::Rect{100, 200, 30, 40}));
    EXPECT_EQ(panel->convertRectToScreen({1, 2, 3, 4}), (gfx::Rect{101, 202, 3, 4}));
    EXPECT_EQ(panel->convertPointFromScreen({101, 202}), (gfx::Point{1, 2}));
}

TEST_F(ToolkitFixture, FrameConstraintIsOverridable) {
    struct Free : ui::Window {
        using Window::Window;
        gfx::Rect constrainFrameRect(const gfx::Rect& frame,
                                     const std::optional<ui::Screen>&) const override {
            return frame;
        }
    };
    auto constrained = std::make_shared<ui::Window>(gfx::Rect{0, 800, 100, 100}, ui::Style::titled);
    auto free = std::make_shared<Free>(gfx::Rect{0, 800, 100, 100}, ui::Style::titled);
    constrained->orderFront();
    free->orderFront();
    EXPECT_EQ(constrained->frame().maxY(), 876);
    EXPECT_EQ(free->frame().maxY(), 900);
}

TEST_F(ToolkitFixture, UseOffTheMainThreadStopsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(std::thread([] { ui::Application::assertMainThread(); }).join(),
                 "off the main thread");
    ui::Application::assertMainThread();
}

TEST_F(ToolkitFixture, ToolTipsShowAfterTheDelayAndHideOnLeaving) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 200, 100}, ui::Style::titled);
    auto tipped = std::make_shared<ui::View>(gfx::Rect{0, 0, 100, 100});
    tipped->setToolTip("Pulsedeck. Memory 8.1 GB used.");
    window->contentView()->addSubview(tipped);
    window->orderFront();

    server.movePointer({150, 150});
    loop.advanceAndRunDue(ui::ToolTipController::delay / 2);
    EXPECT_EQ(app.toolTips().window(), nullptr);
    server.movePointer({152, 150});
    loop.advanceAndRunDue(ui::ToolTipController::delay / 2 + 0.01);
    ASSERT_NE(app.toolTips().window(), nullptr);
    EXPECT_EQ(app.toolTips().shownText(), "Pulsedeck. Memory 8.1 GB used.");
    EXPECT_TRUE(app.toolTips().window()->isVisible());
    EXPECT_LT(app.toolTips().window()->frame().maxY(), 150);

    server.movePointer({250, 150});
    EXPECT_EQ(app.toolTips().window(), nullptr);
}

// A long tip wraps at a reading width and stays wholly on the screen of its view, over menus and
// the popover, wherever on that screen the pointer rests.
TEST_F(ToolkitFixture, ALongToolTipWrapsAndStaysOnItsViewsScreenAboveOurWindows) {
    server.setScreens({{{0, 0, 1440, 900}, {0, 0, 1440, 876}, 0, 1, 1},
                       {{1440, 0, 1280, 800}, {1440, 0, 1280, 800}, 0, 2, 1}});
    const std::string tip(400, 'x');
    std::string words;
    for (int i = 0; i < 40; ++i)
        words += "Memory 8.1 GB ";
    struct Case {
        const char* name;
        gfx::Rect view;
        gfx::Point pointer;
        std::string tip;
    };
    const Case cases[] = {
        {"at the right end of the top", {1240, 852, 200, 24}, {1435, 864}, words},
        {"at the bottom left", {0, 0, 200, 24}, {2, 2}, words},
        {"at the left edge of the second screen", {1440, 700, 200, 24}, {1442, 710}, words},
        {"one word wider than the screen", {1240, 852, 200, 24}, {1435, 864}, tip},
    };
    for (const Case& c : cases) {
        auto window = std::make_shared<ui::Window>(c.view, ui::Style::borderless);
        window->contentView()->setToolTip(c.tip);
        window->orderFront();
        server.movePointer(c.pointer);
        loop.advanceAndRunDue(ui::ToolTipController::delay + 0.01);
        ASSERT_NE(app.toolTips().window(), nullptr) << c.name;
        const gfx::Rect frame = app.toolTips().window()->frame();
        const gfx::Rect area = window->screen()->visibleFrame();
        EXPECT_TRUE(area.contains(frame)) << c.name;
        EXPECT_LE(frame.width(), 320) << c.name;
        EXPECT_FALSE(frame.contains(c.pointer)) << c.name << ": clear of the pointer";
        EXPECT_GT(app.toolTips().window()->level(), ui::WindowLevel::popUpMenu) << c.name;
        window->orderOut();
        server.movePointer({700, 400});
    }
}

} // namespace
