#include "platform/toolkit/StatusBar.h"

#include "ToolkitFixture.h"
#include "platform/toolkit/Screen.h"

namespace {

using toolkittest::ToolkitFixture;

gfx::Rect onScreen(const ui::View& view) {
    return view.window()->convertRectToScreen(view.convertRectToView(view.bounds(), nullptr));
}

TEST_F(ToolkitFixture, StatusItemsSitAtTheRightOfTheTopEdgeFirstMadeRightmost) {
    ui::StatusBar& bar = ui::StatusBar::system();
    EXPECT_EQ(bar.thickness(), 24);
    auto first = bar.statusItem(100);
    auto strip = std::make_shared<ui::View>(gfx::Rect{0, 0, 300, 24});
    first->setView(strip);
    auto second = bar.statusItem(ui::StatusItemLength::square);

    EXPECT_EQ(onScreen(*strip), (gfx::Rect{1340, 876, 300, 24}));
    EXPECT_EQ(onScreen(*first->slot()), (gfx::Rect{1340, 876, 100, 24}));
    EXPECT_EQ(onScreen(*second->slot()), (gfx::Rect{1316, 876, 24, 24}));
    EXPECT_EQ(bar.window()->level(), ui::WindowLevel::status);
    EXPECT_TRUE(server.window(*bar.window()->windowNumber())->visible);

    first->setLength(120);
    EXPECT_EQ(onScreen(*strip).origin, (gfx::Point{1320, 876}));
    EXPECT_EQ(onScreen(*second->slot()).x(), 1296);

    second->setVisible(false);
    EXPECT_EQ(bar.window()->frame(), (gfx::Rect{1320, 876, 120, 24}));
    bar.removeStatusItem(first);
    EXPECT_FALSE(bar.window()->isVisible());
}

TEST_F(ToolkitFixture, AViewBasedItemKeepsAButtonWithACell) {
    auto item = ui::StatusBar::system().statusItem(40);
    ASSERT_NE(item->button(), nullptr);
    ASSERT_NE(item->button()->cell(), nullptr);
    item->button()->cell()->setHighlightsBy(0);
    item->button()->setBordered(false);
    EXPECT_EQ(item->button()->cell()->highlightsBy(), 0);
    EXPECT_FALSE(item->button()->isBordered());
    auto view = std::make_shared<ui::View>(gfx::Rect{0, 0, 40, 24});
    item->setView(view);
    EXPECT_TRUE(item->button()->isHidden());
    EXPECT_EQ(view->window(), ui::StatusBar::system().window().get());
}

TEST_F(ToolkitFixture, WithoutScreensTheBarStaysHidden) {
    server.setScreens({});
    auto item = ui::StatusBar::system().statusItem(40);
    EXPECT_FALSE(ui::StatusBar::system().window()->isVisible());
    EXPECT_TRUE(ui::Screen::screens().empty());
    EXPECT_FALSE(ui::Screen::mainScreen().has_value());
}

TEST_F(ToolkitFixture, ScreensShareOneSpaceFromThePrimarysBottomLeft) {
    auto primary = ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1);
    auto secondary = ui::HeadlessWindowServer::makeScreen({1440, -200, 1920, 1080}, 2, 24, 2);
    secondary.safeAreaTop = 32;
    server.setScreens({primary, secondary});
    const auto screens = ui::Screen::screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(screens[1].frame(), (gfx::Rect{1440, -200, 1920, 1080}));
    EXPECT_EQ(screens[1].visibleFrame().maxY(), 856);
    EXPECT_EQ(screens[1].safeAreaTop(), 32);
    EXPECT_EQ(screens[1].displayNumber(), 2);
    EXPECT_EQ(ui::Screen::mainScreen()->displayNumber(), 1);

    auto window = std::make_shared<ui::Window>(gfx::Rect{2000, 100, 400, 300}, ui::Style::titled);
    window->makeKeyAndOrderFront();
    EXPECT_EQ(window->screen()->displayNumber(), 2);
    EXPECT_EQ(window->backingScaleFactor(), 2);
    EXPECT_EQ(ui::Screen::mainScreen()->displayNumber(), 2);
    EXPECT_EQ(window->backing()->pixelsWide(), 800);

    auto item = ui::StatusBar::system().statusItem(30);
    EXPECT_EQ(ui::StatusBar::system().window()->frame(), (gfx::Rect{1410, 876, 30, 24}));
}

} // namespace
