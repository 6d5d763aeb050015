#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "model/Localization.h"
#include "platform/animation/Layer.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>
#include <vector>

namespace pulsedeck {
namespace {

// The detail view in a window, its reports recorded.
class DetailViewSectionsTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->setContentView(view);
        view->lookAction = [this](const LookEdit& edit) {
            StripLook look = view->state().look;
            edit(look);
            reports.push_back(look.collapsed);
        };
    }
    ModuleSectionView& card(ModuleKind kind) const { return probe.card(kind); }
    double scrollOffset() const { return probe.scroll().contentView().bounds().minY(); }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
    std::shared_ptr<ui::Window> window;
    std::vector<std::set<ModuleKind>> reports;
};

TEST_F(DetailViewSectionsTest, AQuickCollapseExpandCollapseKeepsOneSnapshotUntilItsOwnRemoval) {
    const auto network = ModuleKind::network;
    card(network).disclosure()->performClick();
    EXPECT_EQ(card(network).frame().height(), 40);
    const auto first = card(network).closingImage();
    ASSERT_TRUE(first);
    loop.advanceAndRunDue(0.1);
    card(network).disclosure()->performClick();
    EXPECT_FALSE(card(network).closingImage()) << "reopening takes the fading snapshot away";
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_FALSE(card(network).content().isHidden());
    loop.advanceAndRunDue(0.1);
    card(network).disclosure()->performClick();
    const auto second = card(network).closingImage();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    // The first snapshot's removal falls due now; it must leave the second one alone.
    loop.advanceAndRunDue(0.15);
    EXPECT_EQ(card(network).closingImage(), second);
    EXPECT_EQ(second->superview(), &card(network));
    loop.advanceAndRunDue(0.2);
    EXPECT_FALSE(card(network).closingImage());
    EXPECT_EQ(second->superview(), nullptr);
    EXPECT_EQ(reports, (std::vector<std::set<ModuleKind>>{{network}, {}, {network}}));
    EXPECT_TRUE(probe.lastLayoutRequestedAnimation());
}

TEST_F(DetailViewSectionsTest, TheChevronFollowsTheSectionAndIgnoresOffModulesAndTheOverview) {
    ModuleSectionView& memory = card(ModuleKind::memory);
    const std::string title = text(Copy::memoryEnabled, view->state().language);
    EXPECT_EQ(memory.disclosure()->accessibility().label,
              text(Copy::collapseDetails, view->state().language) + " " + title);
    const auto openImage = memory.disclosure()->image();
    ASSERT_TRUE(openImage);
    EXPECT_GT(openImage->size().width, openImage->size().height) << "pointing down";
    // After the title, never into the switch's column.
    EXPECT_GT(memory.disclosure()->frame().minX(), 45);
    EXPECT_LE(memory.disclosure()->frame().maxX(), 318 - 58);
    EXPECT_EQ(memory.disclosure()->frame().y(), 8);

    view->toggleSection(ModuleKind::memory);
    EXPECT_EQ(memory.disclosure()->accessibility().label,
              text(Copy::expandDetails, view->state().language) + " " + title);
    EXPECT_LT(memory.disclosure()->image()->size().width,
              memory.disclosure()->image()->size().height)
        << "pointing right";

    probe.change([&](DetailState& s) { s.look.modules.setShown(ModuleKind::fan, false); });
    EXPECT_FALSE(card(ModuleKind::fan).disclosure()->isEnabled());
    view->toggleSection(ModuleKind::fan);
    EXPECT_FALSE(view->state().look.collapsed.contains(ModuleKind::fan));

    probe.change([&](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    EXPECT_TRUE(memory.disclosure()->isHidden());
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::memory)) << "the overview shows every card";
    view->toggleSection(ModuleKind::network);
    EXPECT_EQ(view->state().look.collapsed, (std::set<ModuleKind>{ModuleKind::memory}));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(DetailViewSectionsTest, PrioritizeFocusesOneCardWithoutTouchingTheUsersChoices) {
    probe.change([&](DetailState& s) {
        s.look.collapsed = {ModuleKind::temperature, ModuleKind::fan};
    });
    view->setSorting(true);
    view->prioritize(ModuleKind::temperature);
    EXPECT_FALSE(view->isSorting());
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::temperature));
    EXPECT_TRUE(reports.empty()) << "focusing reports nothing";
    for (auto kind : allModuleKinds)
        EXPECT_EQ(view->isSectionExpanded(kind), kind == ModuleKind::temperature);
    // The focused card's top at the top of the visible area, as far as the document allows.
    const double expected =
        std::min(card(ModuleKind::temperature).frame().minY(),
                 probe.contentHeight() - probe.scroll().contentView().bounds().height());
    EXPECT_GT(expected, 0);
    EXPECT_DOUBLE_EQ(scrollOffset(), expected);
    EXPECT_FALSE(probe.lastLayoutRequestedAnimation());

    // Opening a temporarily collapsed card reports the stored set unchanged.
    view->toggleSection(ModuleKind::memory);
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::memory));
    EXPECT_EQ(reports, (std::vector<std::set<ModuleKind>>{{ModuleKind::fan}}));

    view->prioritize(std::nullopt);
    EXPECT_TRUE(probe.temporarilyCollapsed().empty());
    EXPECT_FALSE(view->isSectionExpanded(ModuleKind::fan));
    EXPECT_TRUE(view->isSectionExpanded(ModuleKind::compute));
    EXPECT_DOUBLE_EQ(scrollOffset(), 0);

    // The last card can only come as far up as the document's end allows.
    view->prioritize(ModuleKind::devices);
    EXPECT_DOUBLE_EQ(
        scrollOffset(),
        std::max(0.0, probe.contentHeight() - probe.scroll().contentView().bounds().height()));
}

TEST_F(DetailViewSectionsTest, ReduceMotionGivesTheEndStateAtOnce) {
    app.workspace().setReduceMotion(true);
    view->toggleSection(ModuleKind::memory);
    ModuleSectionView& memory = card(ModuleKind::memory);
    EXPECT_FALSE(memory.closingImage());
    EXPECT_TRUE(memory.content().isHidden());
    EXPECT_EQ(memory.frame().height(), 40);
    EXPECT_TRUE(memory.layer()->animationKeys().empty());
    EXPECT_TRUE(card(ModuleKind::fan).layer()->animationKeys().empty());
    view->toggleSection(ModuleKind::memory);
    EXPECT_FALSE(memory.content().isHidden());
    EXPECT_TRUE(!memory.content().layer() || memory.content().layer()->animationKeys().empty());
}

} // namespace
} // namespace pulsedeck
