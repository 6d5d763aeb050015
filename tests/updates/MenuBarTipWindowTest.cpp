#include "updates/MenuBarTipWindow.h"

#include "app/AppIcon.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "updates/MenuBarTipDemo.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

ui::AlertButton* findButton(ui::View& view) {
    if (auto* button = dynamic_cast<ui::AlertButton*>(&view))
        return button;
    for (const auto& child : view.subviews())
        if (auto* button = findButton(*child))
            return button;
    return nullptr;
}

class MenuBarTipWindowTest : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{50};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    ui::HeadlessWindowServer server{{ui::HeadlessWindowServer::makeScreen({0, 0, 1280, 800}, 1)},
                                    clock};
    ui::Application app{server, loop};

    // A shown tip whose `finish` counts its runs and drops the tip, as the controller does.
    std::unique_ptr<MenuBarTipWindow> showTip(int& finished,
                                              AppLanguage language = AppLanguage::english) {
        auto tip = std::make_unique<MenuBarTipWindow>(language, appIconImage(false));
        tip->finish = [&finished] { ++finished; };
        tip->window()->makeKeyAndOrderFront();
        return tip;
    }

    int presents(const ui::Window& window) const {
        return server.window(*window.windowNumber())->presentCount;
    }

    gfx::Point screenCentre(const ui::View& view) const {
        return view.window()->convertPointToScreen(
            view.convertPointToView({view.bounds().midX(), view.bounds().midY()}, nullptr));
    }
};

TEST_F(MenuBarTipWindowTest, StacksIconTitleBodyDemoAndButtonInAFloatingWindow) {
    int finished = 0;
    auto tip = showTip(finished, AppLanguage::german);
    const auto& window = tip->window();
    EXPECT_EQ(window->styleMask(), 32771u);
    EXPECT_EQ(window->level(), ui::WindowLevel::floating);
    EXPECT_FALSE(window->isReleasedWhenClosed());

    const gfx::Rect frame = window->frame();
    EXPECT_EQ(frame.width(), 420);
    EXPECT_NEAR(frame.midX(), 640, 0.5) << "centred on the screen";
    EXPECT_NEAR(frame.midY(), (800 - 24) / 2.0, 0.5);

    // Top down: 28 above the icon, 10 between rows, 16 after the body, 18 after the demo and
    // 22 below the button; every row within the 364-pt column.
    const auto& views = window->contentView()->subviews();
    ASSERT_EQ(views.size(), 6u) << "five rows and the close button";
    const std::vector<std::shared_ptr<ui::View>> rows(views.begin(), views.begin() + 5);
    const gfx::Rect icon = rows[0]->frame();
    EXPECT_EQ(icon, (gfx::Rect{182, frame.height() - 28 - 56, 56, 56}));
    const double gaps[] = {10, 10, 16, 18};
    for (std::size_t i = 0; i + 1 < rows.size(); ++i)
        EXPECT_NEAR(rows[i]->frame().minY() - rows[i + 1]->frame().maxY(), gaps[i], 1e-9) << i;
    for (const auto& row : rows) {
        EXPECT_GE(row->frame().minX(), 28);
        EXPECT_LE(row->frame().maxX(), 392);
    }
    EXPECT_EQ(tip->demo().frame(), (gfx::Rect{28, rows[4]->frame().maxY() + 18, 364, 101.92}));
    EXPECT_NEAR(rows[4]->frame().minY(), 22, 1) << "the height is rounded up below the button";
    EXPECT_EQ(frame.height(), std::ceil(frame.height()));

    auto* ok = findButton(*rows[4]);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->title(), text(Copy::welcomeOK, AppLanguage::german));
    EXPECT_EQ(ok->convertRectToView(ok->bounds(), nullptr).maxX(), 392) << "right-aligned";
    EXPECT_EQ(tip->demo().language, AppLanguage::german);
}

// Every way the tip can go away stops the demo's 60-a-second redraws at once and runs `finish`
// exactly once.
TEST_F(MenuBarTipWindowTest, EveryWayOfClosingStopsTheDemoAndFinishesOnce) {
    struct Route {
        std::string name;
        std::function<void(MenuBarTipWindow&)> close;
    };
    const Route routes[] = {
        {"the button",
         [&](MenuBarTipWindow& tip) {
             server.click(screenCentre(*findButton(*tip.window()->contentView())));
         }},
        {"Return", [&](MenuBarTipWindow&) { server.key(ui::KeyCode::returnKey, "\r"); }},
        {"the window manager's close",
         [&](MenuBarTipWindow& tip) { server.closeFromDesktop(*tip.window()->windowNumber()); }},
        {"the close button",
         [&](MenuBarTipWindow& tip) {
             const auto& views = tip.window()->contentView()->subviews();
             server.click(screenCentre(*views.back()));
         }},
        {"being ordered out", [](MenuBarTipWindow& tip) { tip.window()->orderOut(); }},
        {"a close by the program", [](MenuBarTipWindow& tip) { tip.window()->close(); }},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        int finished = 0;
        auto tip = showTip(finished);
        const auto window = tip->window();
        const int shown = presents(*window);
        loop.advanceAndRunDue(0.5);
        EXPECT_TRUE(tip->demo().isAnimating());
        EXPECT_GE(presents(*window) - shown, 25) << "the demo redraws about 60 times a second";

        route.close(*tip);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(tip->demo().isAnimating());
        const int closed = presents(*window);
        loop.advanceAndRunDue(2);
        EXPECT_EQ(presents(*window), closed) << "no frame after the close";
        EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
        EXPECT_EQ(finished, 1);
        window->close();
        loop.runUntilIdle();
        EXPECT_EQ(finished, 1) << "finish runs once";
    }
}

TEST_F(MenuBarTipWindowTest, FinishMayDropTheTipItWasCalledFor) {
    auto tip = std::make_unique<MenuBarTipWindow>(AppLanguage::french, appIconImage(false));
    tip->finish = [&] { tip.reset(); };
    tip->window()->makeKeyAndOrderFront();
    tip->done();
    loop.runUntilIdle();
    EXPECT_FALSE(tip);
}

TEST_F(MenuBarTipWindowTest, UnderReduceMotionTheDemoRunsNoClock) {
    app.workspace().setReduceMotion(true);
    int finished = 0;
    auto tip = showTip(finished);
    EXPECT_FALSE(tip->demo().isAnimating());
    EXPECT_EQ(loop.nextWakeTime(), std::numeric_limits<double>::infinity());
    const int shown = presents(*tip->window());
    loop.advanceAndRunDue(1);
    EXPECT_EQ(presents(*tip->window()), shown);
}

// The sample strip is built for the appearance the demo draws in, once per switch.
TEST_F(MenuBarTipWindowTest, AnAppearanceSwitchRebuildsTheSampleStripOnce) {
    int finished = 0;
    auto tip = showTip(finished);
    loop.advanceAndRunDue(0.3);
    EXPECT_EQ(tip->demo().stripBuilds(), 1);
    tip->window()->setAppearance(gfx::Appearance::dark);
    loop.advanceAndRunDue(0.3);
    EXPECT_EQ(tip->demo().stripBuilds(), 2);
    tip->window()->setAppearance(gfx::Appearance::light);
    loop.advanceAndRunDue(0.3);
    EXPECT_EQ(tip->demo().stripBuilds(), 3);
}

} // namespace
} // namespace pulsedeck
