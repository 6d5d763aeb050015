#include "controls/ThemeSlider.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleColorButton.h"
#include "detail/ModuleSectionView.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"

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
        view->refreshControls();
    }
    void showAtPreferredSize() {
        view->setFrameSize({view->contentWidth(), view->preferredHeight()});
        view->refreshControls();
    }
    gfx::Rect cardFrame(ModuleKind kind) const { return view->cards.at(kind)->frame(); }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window;
};

TEST_F(DetailViewLayoutTest, SixExpandedModulesMakeA1786PointDocument) {
    EXPECT_EQ(view->body->frame().height(), 1786);
    EXPECT_EQ(view->body->frame().width(), 310);
    // Cards stack from y 8 in the flipped body, each 40 + section + 12.
    EXPECT_EQ(cardFrame(ModuleKind::memory), (gfx::Rect{0, 8, 318, 40 + 379 + 12}));
    EXPECT_EQ(cardFrame(ModuleKind::fan).y(), 8 + 431);
    EXPECT_EQ(cardFrame(ModuleKind::devices).maxY(), 1786 - 12 - 8);
    EXPECT_EQ(view->body->subviews().size(), 6u);
    // Bands: 112 on top, the footer of two slider rows below.
    EXPECT_EQ(view->scroll->frame(), (gfx::Rect{0, 152, 318, 667 - 152 - 112}));
    EXPECT_FALSE(view->slimScroller->isHidden());
}

TEST_F(DetailViewLayoutTest, AnOffModuleKeepsItsHeaderCardInBothPresentations) {
    view->networkEnabled = false;
    view->refreshControls();
    EXPECT_EQ(cardFrame(ModuleKind::network).height(), 40);
    EXPECT_TRUE(view->cards.at(ModuleKind::network)->content().isHidden());
    EXPECT_TRUE(view->networkColorChoice->isHidden());
    EXPECT_EQ(view->body->frame().height(), 1786 - 267 - 12);

    view->presentation = DetailPresentation::overview;
    showAtPreferredSize();
    EXPECT_EQ(cardFrame(ModuleKind::network).height(), 40);
    EXPECT_EQ(cardFrame(ModuleKind::memory).height(), 40 + 264 + 12);
}

TEST_F(DetailViewLayoutTest, OverviewDealsCardsToColumnsInTurnAndSharesTheSliderRow) {
    view->presentation = DetailPresentation::overview;
    view->fanAvailable = false;
    view->temperatureAvailable = false;
    view->order = {ModuleKind::memory,  ModuleKind::network, ModuleKind::compute,
                   ModuleKind::devices, ModuleKind::fan,     ModuleKind::temperature};
    showAtPreferredSize();
    ASSERT_EQ(view->contentWidth(), 8 + 2 * 280 + 8 + 20);
    EXPECT_EQ(cardFrame(ModuleKind::memory).x(), 10);
    EXPECT_EQ(cardFrame(ModuleKind::network).x(), 298);
    EXPECT_EQ(cardFrame(ModuleKind::compute).x(), 10) << "the third card goes back to column 0";
    EXPECT_EQ(cardFrame(ModuleKind::compute).y(), cardFrame(ModuleKind::memory).maxY() + 8);
    EXPECT_EQ(view->cards.at(ModuleKind::memory)->content().frame().width(), 244);
    EXPECT_TRUE(view->cards.at(ModuleKind::fan)->isHidden());
    EXPECT_EQ(view->body->subviews().size(), 4u) << "unavailable cards leave the body";
    // Width 596 ≥ 480: both strip sliders in one row, one footer row.
    EXPECT_EQ(view->footerHeight(), 116);
    EXPECT_EQ(view->chartLengthSlider->frame().y(), view->gapSlider->frame().y());
    EXPECT_GT(view->gapSlider->frame().x(), view->chartLengthSlider->frame().maxX());
}

TEST_F(DetailViewLayoutTest, TheScrollOffsetIsClampedAndTheScrollerHidesWhenEverythingFits) {
    view->scroll->scrollTo({0, 1200});
    ASSERT_EQ(view->scroll->contentView().bounds().y(), 1200);
    view->collapsed = {ModuleKind::memory, ModuleKind::fan, ModuleKind::network};
    view->refreshControls();
    const double clip = view->scroll->contentView().bounds().height();
    EXPECT_EQ(view->scroll->contentView().bounds().y(), view->body->frame().height() - clip);

    view->collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
    view->refreshControls();
    EXPECT_EQ(view->scroll->contentView().bounds().y(), 0);
    EXPECT_TRUE(view->slimScroller->isHidden());
    EXPECT_FALSE(view->scroll->hasVerticalScroller());
    EXPECT_EQ(view->scroll->contentView().frame().width(), 318) << "no room kept for a scroller";
}

TEST_F(DetailViewLayoutTest, ASteadyRelayoutChangesNoView) {
    showAtPreferredSize();
    const std::uint64_t before = treeMutations(*view);
    view->layoutSections();
    view->refreshControls();
    EXPECT_EQ(treeMutations(*view), before);

    // A change does move views, so the count does see it.
    view->fanEnabled = false;
    view->refreshControls();
    EXPECT_GT(treeMutations(*view), before);
}

TEST_F(DetailViewLayoutTest, TransientImagesOverTheCardsOutliveARelayout) {
    auto fading = std::make_shared<ui::ImageView>(gfx::Rect{0, 0, 318, 100});
    view->body->addSubview(fading);
    view->dragGhost = std::make_shared<ui::ImageView>(gfx::Rect{0, 0, 318, 40});
    view->layoutSections();
    ASSERT_EQ(view->body->subviews().size(), 8u);
    EXPECT_EQ(view->body->subviews()[6], fading);
    EXPECT_EQ(view->body->subviews()[7], view->dragGhost) << "the ghost stays on top";
    const auto ghost = std::exchange(view->dragGhost, nullptr);
    view->layoutSections();
    EXPECT_EQ(view->body->subviews().size(), 8u);
    EXPECT_EQ(view->body->subviews().back(), ghost) << "a ghost in its drop animation stays";
    ghost->removeFromSuperview();
    view->layoutSections();
    EXPECT_EQ(view->body->subviews().size(), 7u);
}

TEST_F(DetailViewLayoutTest, ControlsSitInTheirRegions) {
    const auto& memory = view->sectionRegions.at(ModuleKind::memory);
    EXPECT_EQ(view->displayChoice->frame(), memory.at("display"));
    EXPECT_EQ(view->displayChoice->width(0), 282 / 3.0);
    const auto& fan = view->sectionRegions.at(ModuleKind::fan);
    EXPECT_EQ(view->fanChoice->frame(), (gfx::Rect{282 - 174, fan.at("fanTitle").y(), 174, 27}));
    EXPECT_EQ(view->fanChoice->width(1), 87);
    EXPECT_EQ(view->networkChartSwitch->frame().maxX(), 282);
    EXPECT_EQ(view->colorChoice->frame(), (gfx::Rect{318 - 180, 667 - 105, 162, 26}));
    EXPECT_EQ(view->colorChoice->superview(), view.get());
    EXPECT_TRUE(view->sortDone->isHidden());
    EXPECT_EQ(view->presentationChoice->frame(), (gfx::Rect{18, 667 - 72, 282, 25}));
}

} // namespace
} // namespace pulsedeck
