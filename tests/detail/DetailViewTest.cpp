#include "detail/DetailView.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/headless/HeadlessWindowServer.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

class DetailViewTest : public ::testing::Test {
protected:
    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
};

// Before the controller feeds it, a view speaks the desktop's language, dates its empty memory
// reading now and counts this machine's processors.
TEST(DetailViewDefaults, LanguageTimeAndCoresComeFromTheMachine) {
    testsupport::ScopedEnvironment language("LANGUAGE", "de_DE.UTF-8");
    const auto before = std::chrono::system_clock::now();
    const DetailView view(DetailView::initialFrame);
    const auto after = std::chrono::system_clock::now();
    EXPECT_EQ(view.language, AppLanguage::german);
    EXPECT_GE(view.snapshot.sampledAt, before);
    EXPECT_LE(view.snapshot.sampledAt, after);
    EXPECT_EQ(view.computeSnapshot.cpuCores, foundation::processInfo::processorCount());
    EXPECT_GT(view.computeSnapshot.cpuCores, 0);
}

TEST_F(DetailViewTest, FocusCollapsesTheOthersForNowAndLeavesSorting) {
    view->collapsed = {ModuleKind::network, ModuleKind::fan};
    view->isSorting = true;
    view->prioritize(ModuleKind::network);
    EXPECT_FALSE(view->isSorting);
    EXPECT_EQ(view->priority, ModuleKind::network);
    EXPECT_EQ(view->collapsed, std::set<ModuleKind>{ModuleKind::fan});
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::network));
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::memory));

    view->prioritize(std::nullopt);
    EXPECT_FALSE(view->priority);
    EXPECT_TRUE(view->temporarilyCollapsed.empty());
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::memory));
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::fan)) << "the user's own choice stays";
}

TEST_F(DetailViewTest, SectionsAreExpandedOnlyWhenSwitchedOn) {
    view->memoryEnabled = false;
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::memory));
    view->collapsed = {ModuleKind::fan};
    view->presentation = DetailPresentation::overview;
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::fan));
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::memory));
}

TEST_F(DetailViewTest, ExpandingReportsOnlyAChange) {
    std::vector<std::set<ModuleKind>> reports;
    view->disclosureAction = [&](const std::set<ModuleKind>& set) { reports.push_back(set); };
    view->expandSection(ModuleKind::memory);
    EXPECT_TRUE(reports.empty());
    view->collapsed = {ModuleKind::memory, ModuleKind::devices};
    view->expandSection(ModuleKind::memory);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], std::set<ModuleKind>{ModuleKind::devices});
    // Collapsed only for the focus: reported all the same, with the stored set unchanged.
    view->prioritize(ModuleKind::fan);
    view->expandSection(ModuleKind::compute);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], std::set<ModuleKind>{ModuleKind::devices});
}

TEST_F(DetailViewTest, StatusOrderAndHidingApplyOnlyWhileSorting) {
    std::vector<std::vector<ModuleKind>> orders;
    std::vector<bool> computeSwitches;
    view->orderAction = [&](const std::vector<ModuleKind>& order) { orders.push_back(order); };
    view->computeAction = [&](bool on) { computeSwitches.push_back(on); };
    view->adoptStatusOrder({ModuleKind::devices});
    view->hideModuleWhileSorting(ModuleKind::compute);
    EXPECT_TRUE(orders.empty());
    EXPECT_TRUE(computeSwitches.empty());

    view->isSorting = true;
    view->adoptStatusOrder({ModuleKind::devices, ModuleKind::devices, ModuleKind::fan});
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0], (std::vector<ModuleKind>{ModuleKind::devices, ModuleKind::fan,
                                                  ModuleKind::memory, ModuleKind::network,
                                                  ModuleKind::temperature, ModuleKind::compute}));
    EXPECT_EQ(view->order, orders[0]);
    EXPECT_TRUE(view->lastLayoutRequestedAnimation());
    view->hideModuleWhileSorting(ModuleKind::compute);
    EXPECT_EQ(computeSwitches, std::vector<bool>{false});
    view->computeEnabled = false;
    view->hideModuleWhileSorting(ModuleKind::compute);
    EXPECT_EQ(computeSwitches.size(), 1u);

    // The fan's switch is enabledAction.
    bool fanSwitch = true;
    view->enabledAction = [&](bool on) { fanSwitch = on; };
    view->hideModuleWhileSorting(ModuleKind::fan);
    EXPECT_FALSE(fanSwitch);
}

TEST_F(DetailViewTest, DeviceArrivalsFollowTheListsIds) {
    dispatch::VirtualClock clock{50};
    dispatch::RunLoop loop{clock};
    dispatch::ScopedMainRunLoop main{loop};
    auto device = [](std::string id) {
        ExternalDevice d;
        d.id = std::move(id);
        return d;
    };
    view->setDevicesSnapshot({device("a"), device("b")});
    EXPECT_EQ(view->deviceArrivals(), (std::map<std::string, double>{{"a", 50}, {"b", 50}}));
    clock.advance(2);
    view->setDevicesSnapshot({device("b"), device("c")});
    EXPECT_EQ(view->deviceArrivals(), (std::map<std::string, double>{{"b", 50}, {"c", 52}}));
    clock.advance(1);
    view->setDevicesSnapshot({device("b"), device("c")});
    EXPECT_EQ(view->deviceArrivals().at("c"), 52) << "the same ids add no arrival";
    view->setDevicesSnapshot({});
    EXPECT_TRUE(view->deviceArrivals().empty());
}

TEST_F(DetailViewTest, SectionHeightsFollowThePresentationAndTheDevices) {
    EXPECT_EQ(view->sectionHeight(ModuleKind::memory), 379);
    EXPECT_EQ(view->sectionHeight(ModuleKind::compute), 249);
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 124);
    ExternalDevice disk;
    disk.capacity = 1000;
    view->setDevicesSnapshot({disk, ExternalDevice{}});
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 24 + 76 + 64 + 36);
    view->presentation = DetailPresentation::overview;
    EXPECT_EQ(view->sectionHeight(ModuleKind::memory), 264);
    EXPECT_EQ(view->sectionHeight(ModuleKind::devices), 8 + 64 + 52 + 32);
}

TEST_F(DetailViewTest, SizeWithoutAScreen) {
    // Details: 16 + five expanded cards + devices + 12, capped at 760.
    EXPECT_EQ(view->contentWidth(), 318);
    EXPECT_EQ(view->footerHeight(), 152);
    EXPECT_EQ(view->preferredHeight(), 760);
    view->collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
    EXPECT_EQ(view->contentHeight(), 16 + 6 * 40 + 12);
    EXPECT_EQ(view->preferredHeight(), 268 + 112 + 152);

    view->memoryEnabled = view->fanEnabled = view->networkEnabled = false;
    view->temperatureEnabled = view->computeEnabled = false;
    EXPECT_EQ(view->footerHeight(), 116);
    view->devicesEnabled = false;
    EXPECT_EQ(view->footerHeight(), 80);

    view->fanAvailable = view->temperatureAvailable = false;
    EXPECT_EQ(view->availableModules(),
              (std::vector<ModuleKind>{ModuleKind::memory, ModuleKind::network, ModuleKind::compute,
                                       ModuleKind::devices}));

    // Overview: two columns fit the fallback width.
    view->presentation = DetailPresentation::overview;
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
    view->presentation = DetailPresentation::overview;
    EXPECT_EQ(view->contentWidth(), 8 + 280 + 20);
    server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 500, 400}, 1)});
    EXPECT_EQ(view->preferredHeight(), 360) << "never below 360";
}

} // namespace
} // namespace pulsedeck
