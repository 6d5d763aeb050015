#include "detail/DetailView.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/DetailViewProbe.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

ExternalDevice namedDevice(std::string id, std::string name = "",
                           std::optional<std::uint64_t> capacity = std::nullopt) {
    ExternalDevice listed;
    listed.id = std::move(id);
    listed.name = std::move(name);
    listed.capacity = capacity;
    return listed;
}

class DetailViewTest : public ::testing::Test {
protected:
    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe probe{*view};

    void switchOff(std::initializer_list<ModuleKind> kinds) {
        probe.change([&](DetailState& s) {
            for (ModuleKind kind : kinds)
                s.look.modules.setShown(kind, false);
        });
    }
};

// Before the controller feeds it, a view speaks the desktop's language, dates its empty memory
// reading now and counts this machine's processors.
TEST(DetailViewDefaults, LanguageTimeAndCoresComeFromTheMachine) {
    testsupport::ScopedEnvironment language("LANGUAGE", "de_DE.UTF-8");
    const auto before = std::chrono::system_clock::now();
    const DetailView view(DetailView::initialFrame);
    const auto after = std::chrono::system_clock::now();
    EXPECT_EQ(view.state().language, AppLanguage::german);
    EXPECT_GE(view.state().readings.memory.sampledAt, before);
    EXPECT_LE(view.state().readings.memory.sampledAt, after);
    EXPECT_EQ(view.state().readings.compute.cpuCores, foundation::processInfo::processorCount());
    EXPECT_GT(view.state().readings.compute.cpuCores, 0);
}

TEST_F(DetailViewTest, SectionsAreExpandedOnlyWhenSwitchedOn) {
    switchOff({ModuleKind::memory});
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::memory));
    probe.change([](DetailState& s) {
        s.look.collapsed = {ModuleKind::fan};
        s.look.presentation = DetailPresentation::overview;
    });
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::fan));
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::memory));
}

// The view reports the collapsed set as shown: the stored one less what a focus opened.
TEST_F(DetailViewTest, ExpandingReportsOnlyAChange) {
    std::vector<StripLook> reports;
    recordLooks(*view, reports);
    view->expandSection(ModuleKind::memory);
    EXPECT_TRUE(reports.empty());
    probe.change([](DetailState& s) {
        s.look.collapsed = {ModuleKind::memory, ModuleKind::devices, ModuleKind::network};
    });
    view->expandSection(ModuleKind::memory);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].collapsed,
              (std::set<ModuleKind>{ModuleKind::devices, ModuleKind::network}));
    view->prioritize(ModuleKind::network);
    view->expandSection(ModuleKind::compute);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].collapsed, std::set<ModuleKind>{ModuleKind::devices});
    EXPECT_EQ(view->state().look.collapsed, reports[1].collapsed);
}

TEST_F(DetailViewTest, StatusOrderAndHidingApplyOnlyWhileSorting) {
    std::vector<StripLook> looks;
    recordLooks(*view, looks);
    view->adoptStatusOrder({ModuleKind::devices});
    view->hideModuleWhileSorting(ModuleKind::compute);
    EXPECT_TRUE(looks.empty());

    view->setSorting(true);
    view->adoptStatusOrder({ModuleKind::devices, ModuleKind::devices, ModuleKind::fan});
    ASSERT_EQ(looks.size(), 1u);
    EXPECT_EQ(looks[0].modules.order,
              (std::vector<ModuleKind>{ModuleKind::devices, ModuleKind::fan, ModuleKind::memory,
                                       ModuleKind::network, ModuleKind::temperature,
                                       ModuleKind::compute}));
    EXPECT_EQ(view->state().look.modules.order, looks[0].modules.order);
    EXPECT_TRUE(probe.lastLayoutRequestedAnimation());
    view->hideModuleWhileSorting(ModuleKind::fan);
    ASSERT_EQ(looks.size(), 2u);
    EXPECT_EQ(looks[1].modules.hidden, std::set<ModuleKind>{ModuleKind::fan});
    switchOff({ModuleKind::compute});
    view->hideModuleWhileSorting(ModuleKind::compute);
    EXPECT_EQ(looks.size(), 2u) << "a module already off is not hidden again";
}

TEST_F(DetailViewTest, DeviceArrivalsFollowTheListsIds) {
    dispatch::VirtualClock clock{50};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    auto show = [&](std::vector<std::string> ids) {
        probe.change([&](DetailState& s) {
            s.readings.devices.clear();
            for (auto& id : ids)
                s.readings.devices.push_back(namedDevice(id));
        });
    };
    show({"a", "b"});
    EXPECT_EQ(probe.deviceArrivals(), (std::map<std::string, double>{{"a", 50}, {"b", 50}}));
    clock.advance(2);
    show({"b", "c"});
    EXPECT_EQ(probe.deviceArrivals(), (std::map<std::string, double>{{"b", 50}, {"c", 52}}));
    clock.advance(1);
    show({"b", "c"});
    EXPECT_EQ(probe.deviceArrivals().at("c"), 52) << "the same ids add no arrival";
    show({});
    EXPECT_TRUE(probe.deviceArrivals().empty());
}

TEST_F(DetailViewTest, SectionHeightsFollowThePresentationAndTheDevices) {
    EXPECT_EQ(view->sectionHeight(ModuleKind::memory), 379);
    EXPECT_EQ(view->sectionHeight(ModuleKind::compute), 249);
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 124);
    probe.change([](DetailState& s) {
        s.readings.devices = {namedDevice("disk", "", 1000), ExternalDevice{}};
    });
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 24 + 76 + 64 + 36);
    probe.change([](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    EXPECT_EQ(view->sectionHeight(ModuleKind::memory), 264);
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 8 + 64 + 52 + 32);
}

TEST_F(DetailViewTest, SizeWithoutAScreen) {
    // Details: 16 + five expanded cards + devices + 12, capped at 760.
    EXPECT_EQ(view->contentWidth(), 318);
    EXPECT_EQ(probe.footerHeight(), 152);
    EXPECT_EQ(view->preferredHeight(), 760);
    probe.change([](DetailState& s) {
        s.look.collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
    });
    EXPECT_EQ(probe.contentHeight(), 16 + 6 * 40 + 12);
    EXPECT_EQ(view->preferredHeight(), 268 + 112 + 152);

    switchOff({ModuleKind::memory, ModuleKind::fan, ModuleKind::network, ModuleKind::temperature,
               ModuleKind::compute});
    EXPECT_EQ(probe.footerHeight(), 116);
    switchOff({ModuleKind::devices});
    EXPECT_EQ(probe.footerHeight(), 80);

    probe.change([](DetailState& s) { s.fanAvailable = false; });
    EXPECT_EQ(
        probe.availableModules(),
        (std::vector<ModuleKind>{ModuleKind::memory, ModuleKind::network, ModuleKind::temperature,
                                 ModuleKind::compute, ModuleKind::devices}));

    // Overview: two columns fit the fallback width.
    probe.change([](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    EXPECT_EQ(view->contentWidth(), 8 + 2 * 280 + 8 + 20);
    EXPECT_LE(view->preferredHeight(), 820);
}

TEST_F(DetailViewTest, SizeFollowsTheScreen) {
    dispatch::VirtualClock clock;
    dispatch::RunLoop loop{clock};
    ui::HeadlessWindowServer server({ui::HeadlessWindowServer::makeScreen({0, 0, 500, 600}, 1)},
                                    clock);
    ui::Application app(server, loop);
    // 576 visible: 496 tall at most; only one column fits 432 points.
    EXPECT_EQ(view->preferredHeight(), 496);
    probe.change([](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    EXPECT_EQ(view->contentWidth(), 8 + 280 + 20);
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 500, 400}, 1)});
    EXPECT_EQ(view->preferredHeight(), 360) << "never below 360";
}

} // namespace
} // namespace pulsedeck
