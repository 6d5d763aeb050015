#include "detail/DetailView.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>
#include <utility>

namespace pulsedeck {
namespace {

std::uint64_t treeMutations(const ui::View& view) {
    std::uint64_t count = view.mutationCount();
    for (const auto& subview : view.subviews())
        count += treeMutations(*subview);
    return count;
}

// The detail view in a window on a 1440 × 900 screen, as the popover shows it.
class DetailViewLayoutTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->setContentView(view);
    }
    void showAtPreferredSize() {
        view->setFrameSize({view->contentWidth(), view->preferredHeight()});
    }
    gfx::Rect cardFrame(ModuleKind kind) { return probe.card(kind).frame(); }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe probe{*view};
    std::shared_ptr<ui::Window> window;
};

TEST_F(DetailViewLayoutTest, SixExpandedModulesMakeA1786PointDocument) {
    EXPECT_EQ(probe.body().frame().height(), 1786);
    EXPECT_EQ(probe.body().frame().width(), 310);
    // Cards stack from y 8 in the flipped body, each 40 + section + 12.
    EXPECT_EQ(cardFrame(ModuleKind::memory), (gfx::Rect{0, 8, 318, 40 + 379 + 12}));
    EXPECT_EQ(cardFrame(ModuleKind::fan).y(), 8 + 431);
    EXPECT_EQ(cardFrame(ModuleKind::devices).maxY(), 1786 - 12 - 8);
    EXPECT_EQ(probe.body().subviews().size(), 6u);
    // Bands: 112 on top, the footer of two slider rows below.
    EXPECT_EQ(probe.scroll().frame(), (gfx::Rect{0, 152, 318, 667 - 152 - 112}));
    EXPECT_FALSE(probe.slimScroller().isHidden());
}

TEST_F(DetailViewLayoutTest, AnOffModuleKeepsItsHeaderCardInBothPresentations) {
    probe.change([](DetailState& s) { s.look.modules.setShown(ModuleKind::network, false); });
    EXPECT_EQ(cardFrame(ModuleKind::network).height(), 40);
    EXPECT_TRUE(probe.card(ModuleKind::network).content().isHidden());
    EXPECT_TRUE(probe.networkColorChoice().isHidden());
    EXPECT_EQ(probe.body().frame().height(), 1786 - 267 - 12);

    probe.change([](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    showAtPreferredSize();
    EXPECT_EQ(cardFrame(ModuleKind::network).height(), 40);
    EXPECT_EQ(cardFrame(ModuleKind::memory).height(), 40 + 264 + 12);
}

TEST_F(DetailViewLayoutTest, OverviewDealsCardsToColumnsInTurnAndSharesTheSliderRow) {
    probe.change([](DetailState& s) {
        s.look.presentation = DetailPresentation::overview;
        s.fanAvailable = false;
        s.look.modules.order = {ModuleKind::memory,  ModuleKind::network, ModuleKind::compute,
                                ModuleKind::devices, ModuleKind::fan,     ModuleKind::temperature};
    });
    showAtPreferredSize();
    ASSERT_EQ(view->contentWidth(), 8 + 2 * 280 + 8 + 20);
    EXPECT_EQ(cardFrame(ModuleKind::memory).x(), 10);
    EXPECT_EQ(cardFrame(ModuleKind::network).x(), 298);
    EXPECT_EQ(cardFrame(ModuleKind::compute).x(), 10) << "the third card goes back to column 0";
    EXPECT_EQ(cardFrame(ModuleKind::compute).y(), cardFrame(ModuleKind::memory).maxY() + 8);
    EXPECT_EQ(cardFrame(ModuleKind::temperature).x(), 10) << "the fifth card too";
    EXPECT_EQ(probe.card(ModuleKind::memory).content().frame().width(), 244);
    EXPECT_TRUE(probe.card(ModuleKind::fan).isHidden());
    EXPECT_EQ(probe.body().subviews().size(), 5u) << "an unavailable card leaves the body";
    // Width 596 ≥ 480: both strip sliders in one row, one footer row.
    EXPECT_EQ(probe.footerHeight(), 116);
    EXPECT_EQ(probe.chartLengthSlider().frame().y(), probe.gapSlider().frame().y());
    EXPECT_GT(probe.gapSlider().frame().x(), probe.chartLengthSlider().frame().maxX());
}

TEST_F(DetailViewLayoutTest, TheScrollOffsetIsClampedAndTheScrollerHidesWhenEverythingFits) {
    probe.scroll().scrollTo({0, 1200});
    ASSERT_EQ(probe.scroll().contentView().bounds().y(), 1200);
    probe.change([](DetailState& s) {
        s.look.collapsed = {ModuleKind::memory, ModuleKind::fan, ModuleKind::network};
    });
    const double clip = probe.scroll().contentView().bounds().height();
    EXPECT_EQ(probe.scroll().contentView().bounds().y(), probe.body().frame().height() - clip);

    probe.change([](DetailState& s) {
        s.look.collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
    });
    EXPECT_EQ(probe.scroll().contentView().bounds().y(), 0);
    EXPECT_TRUE(probe.slimScroller().isHidden());
    EXPECT_FALSE(probe.scroll().hasVerticalScroller());
    EXPECT_EQ(probe.scroll().contentView().frame().width(), 318) << "no room kept for a scroller";
}

TEST_F(DetailViewLayoutTest, ASteadyRelayoutChangesNoView) {
    showAtPreferredSize();
    const std::uint64_t before = treeMutations(*view);
    probe.layoutSections();
    probe.change([](DetailState& s) { s.readings.memory.used = "1 GB"; });
    EXPECT_EQ(treeMutations(*view), before);

    // A change does move views, so the count does see it.
    probe.change([](DetailState& s) { s.look.modules.setShown(ModuleKind::fan, false); });
    EXPECT_GT(treeMutations(*view), before);
}

TEST_F(DetailViewLayoutTest, TransientImagesOverTheCardsOutliveARelayout) {
    auto fading = std::make_shared<ui::ImageView>(gfx::Rect{0, 0, 318, 100});
    probe.body().addSubview(fading);
    probe.dragGhost() = std::make_shared<ui::ImageView>(gfx::Rect{0, 0, 318, 40});
    probe.layoutSections();
    ASSERT_EQ(probe.body().subviews().size(), 8u);
    EXPECT_EQ(probe.body().subviews()[6], fading);
    EXPECT_EQ(probe.body().subviews()[7], probe.dragGhost()) << "the ghost stays on top";
    const auto ghost = std::exchange(probe.dragGhost(), nullptr);
    probe.layoutSections();
    EXPECT_EQ(probe.body().subviews().size(), 8u);
    EXPECT_EQ(probe.body().subviews().back(), ghost) << "a ghost in its drop animation stays";
    ghost->removeFromSuperview();
    probe.layoutSections();
    EXPECT_EQ(probe.body().subviews().size(), 7u);
}

TEST_F(DetailViewLayoutTest, ControlsSitInTheirRegions) {
    const auto& memory = probe.regions(ModuleKind::memory);
    EXPECT_EQ(probe.displayChoice().frame(), memory.at("display"));
    EXPECT_EQ(probe.displayChoice().width(0), 282 / 3.0);
    const auto& fan = probe.regions(ModuleKind::fan);
    EXPECT_EQ(probe.fanChoice().frame(), (gfx::Rect{282 - 174, fan.at("fanTitle").y(), 174, 27}));
    EXPECT_EQ(probe.fanChoice().width(1), 87);
    EXPECT_EQ(probe.networkChartSwitch().frame().maxX(), 282);
    EXPECT_EQ(probe.colorChoice().frame(), (gfx::Rect{318 - 180, 667 - 105, 162, 26}));
    EXPECT_EQ(probe.colorChoice().superview(), view.get());
    EXPECT_TRUE(probe.sortDone().isHidden());
    EXPECT_EQ(probe.presentationChoice().frame(), (gfx::Rect{18, 667 - 72, 282, 25}));
}

} // namespace
} // namespace pulsedeck
