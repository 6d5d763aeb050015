#include "updates/MenuBarTipWindow.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>

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

TEST(MenuBarTipWindow, OkClosesTheWindowThenFinishes) {
    dispatch::VirtualClock clock;
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    ui::HeadlessWindowServer server({ui::HeadlessWindowServer::makeScreen({0, 0, 1280, 800}, 1)},
                                    clock);
    ui::Application app(server, loop);

    auto tip = std::make_unique<MenuBarTipWindow>(AppLanguage::french);
    tip->finish = [&] { tip.reset(); };
    auto window = tip->window();
    ASSERT_TRUE(window);
    window->makeKeyAndOrderFront();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->frame().maxY() <= 800 - 24) << "below the menu bar";

    auto* ok = findButton(*window->contentView());
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->title(), text(Copy::welcomeOK, AppLanguage::french));
    const auto centre = window->contentView()->convertPointToView(
        {ok->frame().midX(), ok->frame().midY()}, nullptr);
    server.click(window->convertPointToScreen(centre));
    EXPECT_FALSE(window->isVisible());
    loop.runUntilIdle();
    EXPECT_FALSE(tip) << "finish ran and let the tip go";
}

} // namespace
} // namespace pulsedeck
