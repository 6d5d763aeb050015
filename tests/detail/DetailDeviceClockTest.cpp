#include "detail/DetailView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

ExternalDevice disk(std::string id) {
    ExternalDevice listed;
    listed.id = std::move(id);
    listed.name = "Disk";
    return listed;
}

// The device cards' entrance clock of a detail view shown in a window.
class DetailDeviceClockTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->setContentView(view);
        window->makeKeyAndOrderFront();
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window;
    DetailViewProbe probe{*view};

    void show(std::vector<ExternalDevice> devices) {
        probe.change([&](DetailState& s) { s.readings.devices = std::move(devices); });
    }
};

TEST_F(DetailDeviceClockTest, AnArrivalRunsTheClockUntilItIsOlderThanItsEntrance) {
    show({disk("a")});
    ASSERT_TRUE(probe.deviceCardClockRunning());
    EXPECT_EQ(probe.deviceArrivals().at("a"), 1000);
    loop.advanceAndRunDue(0.5);
    EXPECT_TRUE(probe.deviceCardClockRunning());
    EXPECT_NEAR(probe.deviceCardNow(), 1000.5, 1.0 / 30);
    show({disk("a"), disk("b")});
    EXPECT_EQ(probe.deviceArrivals().at("b"), 1000.5) << "a known device keeps its arrival";
    loop.advanceAndRunDue(0.4);
    EXPECT_FALSE(probe.deviceArrivals().contains("a")) << "dropped once 0.72 s old";
    EXPECT_TRUE(probe.deviceCardClockRunning());
    loop.advanceAndRunDue(0.4);
    EXPECT_TRUE(probe.deviceArrivals().empty());
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "stopped on the tick that drops the last";
}

TEST_F(DetailDeviceClockTest, NoClockWithoutSomethingToShow) {
    app.workspace().setReduceMotion(true);
    show({disk("a")});
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "Reduce Motion";
    app.workspace().setReduceMotion(false);

    probe.change([](DetailState& s) { s.look.collapsed = {ModuleKind::devices}; });
    show({disk("b")});
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "collapsed";
    probe.change([](DetailState& s) {
        s.look.collapsed.clear();
        s.look.modules.setShown(ModuleKind::devices, false);
    });
    show({disk("c")});
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "switched off";
    window->setContentView(nullptr);
    probe.change([](DetailState& s) { s.look.modules.setShown(ModuleKind::devices, true); });
    show({disk("d")});
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "in no window";
    EXPECT_EQ(probe.deviceArrivals().size(), 1u) << "the arrival is still noted";

    // Shown again with an arrival pending: the clock starts from now, not from a stale frame.
    window->setContentView(view);
    EXPECT_TRUE(probe.deviceCardClockRunning());
    EXPECT_EQ(probe.deviceCardNow(), 1000);
    window->setContentView(nullptr);
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "leaving the window stops it";
}

// The gear's menu shows under the gear of a view in a window; from a view in none, nothing shows.
TEST_F(DetailDeviceClockTest, SettingsOpenOnlyFromAViewInAWindow) {
    auto alone = std::make_shared<DetailView>(DetailView::initialFrame);
    for (const auto& asking : {view, alone}) {
        const bool inWindow = asking == view;
        SCOPED_TRACE(inWindow);
        std::optional<gfx::Rect> menuFrame;
        loop.queue().asyncAfter(0.1, [&] {
            for (const auto& shown : app.windows())
                if (shown->level() == ui::WindowLevel::popUpMenu && shown->isVisible())
                    menuFrame = shown->frame();
            server.key(ui::KeyCode::escape, "\x1b");
        });
        DetailViewProbe(*asking).settingsButton().sendAction();
        loop.advanceAndRunDue(0.2);
        EXPECT_EQ(menuFrame.has_value(), inWindow);
        if (menuFrame) {
            EXPECT_TRUE(menuFrame->intersects(window->frame())) << "over the view's window";
        }
        EXPECT_EQ(app.trackingSession(), nullptr);
    }
}

TEST_F(DetailDeviceClockTest, OpeningOrFocusingTheDevicesCardStartsAPendingEntrance) {
    probe.change([](DetailState& s) { s.look.collapsed = {ModuleKind::devices}; });
    show({disk("a")});
    ASSERT_FALSE(probe.deviceCardClockRunning());
    view->toggleSection(ModuleKind::devices);
    EXPECT_TRUE(probe.deviceCardClockRunning()) << "opened with the arrival still young";
    view->toggleSection(ModuleKind::devices);
    loop.advanceAndRunDue(0.05);
    EXPECT_FALSE(probe.deviceCardClockRunning()) << "closed: the next tick stops it";

    view->prioritize(ModuleKind::devices);
    EXPECT_TRUE(probe.deviceCardClockRunning()) << "focused on the devices";
    view->prioritize(ModuleKind::memory);
    loop.advanceAndRunDue(0.05);
    EXPECT_FALSE(probe.deviceCardClockRunning());
    loop.advanceAndRunDue(1);
    view->prioritize(std::nullopt);
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::devices)) << "focusing took it from collapsed";
    loop.advanceAndRunDue(0.05);
    EXPECT_TRUE(probe.deviceArrivals().empty()) << "the arrival is old by now";
    EXPECT_FALSE(probe.deviceCardClockRunning());
}

} // namespace
} // namespace pulsedeck
