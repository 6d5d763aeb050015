#include "model/StatusPressSession.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

class ScreenLocation : public ::testing::Test {
protected:
    dispatch::VirtualClock clock{100.0};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop scopedLoop{loop};
    // A primary screen 900 pt tall with a taller one to its right.
    ui::HeadlessWindowServer server{
        {ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1),
         ui::HeadlessWindowServer::makeScreen({1440, 0, 1920, 1080}, 2)},
        clock};
    ui::Application app{server, loop};
};

TEST_F(ScreenLocation, TopLeftLocationFlipsAgainstThePrimaryScreen) {
    ui::Event::Fields fields;
    fields.type = ui::EventType::leftMouseDown;
    fields.topLeftLocation = gfx::Point{1500, 10};
    fields.screenLocation = {1, 1};
    EXPECT_EQ(StatusPressSession::screenLocation(ui::Event(fields)), (gfx::Point{1500, 890}));
}

TEST_F(ScreenLocation, WithoutTopLeftLocationTheWindowConverts) {
    auto window = std::make_shared<ui::Window>(gfx::Rect(200, 300, 100, 50), ui::Style::borderless);
    ui::Event::Fields fields;
    fields.type = ui::EventType::leftMouseDown;
    fields.screenLocation = {230, 310};
    ui::Event event(fields, window);
    EXPECT_EQ(StatusPressSession::screenLocation(event),
              window->convertPointToScreen(event.locationInWindow()));
    EXPECT_EQ(StatusPressSession::screenLocation(event), (gfx::Point{230, 310}));
}

TEST_F(ScreenLocation, WithNeitherThePointerLocationServes) {
    server.movePointer({640, 480});
    ui::Event::Fields fields;
    fields.type = ui::EventType::leftMouseDown;
    fields.screenLocation = {1, 1};
    EXPECT_EQ(StatusPressSession::screenLocation(ui::Event(fields)), (gfx::Point{640, 480}));
}

TEST(ScreenLocationWithoutScreens, TopLeftLocationNeedsAScreen) {
    ui::Event::Fields fields;
    fields.type = ui::EventType::leftMouseDown;
    fields.topLeftLocation = gfx::Point{10, 10};
    fields.screenLocation = {10, 700};
    EXPECT_EQ(StatusPressSession::screenLocation(ui::Event(fields)), (gfx::Point{10, 700}));
}

} // namespace
} // namespace pulsedeck
