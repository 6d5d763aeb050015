#include "detail/ModuleSectionView.h"

#include "detail/DetailView.h"
#include "platform/animation/Layer.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/RecordingContext.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// A card on its own, its content placed and shown as the owner's layout does.
class ModuleSectionViewTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        card->setFrame({0, 0, 318, 200});
        card->content().setFrame({18, 40, 282, 148});
    }
    // What the owner's layout does for a section's new state.
    void setExpanded(bool expanded, bool animated) {
        card->animateContent(expanded, animated);
        card->content().setHidden(!expanded);
    }
    bool showsInCard(const std::shared_ptr<ui::ImageView>& image) const {
        return image && image->superview() == card.get();
    }

    std::shared_ptr<ModuleSectionView> card =
        std::make_shared<ModuleSectionView>(ModuleKind::memory, nullptr, nullptr);
};

TEST_F(ModuleSectionViewTest, OpeningFadesTheContentInAndOnlyAnimatedChangesLeaveASnapshot) {
    setExpanded(false, false);
    EXPECT_FALSE(card->closingImage());
    setExpanded(true, true);
    ASSERT_TRUE(card->content().layer());
    EXPECT_DOUBLE_EQ(card->content().layer()->presentationValues().opacity, 0);
    loop.advanceAndRunDue(0.13);
    const double midway = card->content().layer()->presentationValues().opacity;
    EXPECT_GT(midway, 0.2);
    EXPECT_LT(midway, 0.8);
    loop.advanceAndRunDue(0.2);
    EXPECT_DOUBLE_EQ(card->content().layer()->presentationValues().opacity, 1);

    setExpanded(false, true);
    const auto snapshot = card->closingImage();
    ASSERT_TRUE(showsInCard(snapshot));
    EXPECT_EQ(snapshot->frame(), card->content().frame());
    EXPECT_EQ(snapshot->hitTest({100, 100}), nullptr) << "clicks pass through";
    EXPECT_DOUBLE_EQ(snapshot->layer()->presentationValues().opacity, 1);
    loop.advanceAndRunDue(0.11);
    EXPECT_NEAR(snapshot->layer()->presentationValues().opacity, 0.5, 0.05);
    // Expanding without animation still takes a snapshot on screen away.
    setExpanded(true, false);
    EXPECT_FALSE(card->closingImage());
    EXPECT_FALSE(showsInCard(snapshot));
}

TEST_F(ModuleSectionViewTest, ContentWithoutAreaClosesWithoutASnapshot) {
    card->content().setFrame({18, 40, 282, 0});
    setExpanded(false, true);
    EXPECT_FALSE(card->closingImage());
}

TEST_F(ModuleSectionViewTest, TheCardGlidesFromWhereItIsOnScreen) {
    card->animateCard(card->frame(), true);
    EXPECT_TRUE(card->layer()->animationKeys().empty()) << "same frame: nothing to animate";

    card->animateCard({0, 100, 318, 200}, true);
    EXPECT_EQ(card->frame(), (gfx::Rect{0, 100, 318, 200}));
    EXPECT_EQ(card->layer()->presentationValues().position, (gfx::Point{0, 0}));
    loop.advanceAndRunDue(0.1);
    const gfx::Point midway = card->layer()->presentationValues().position;
    EXPECT_GT(midway.y, 30);
    EXPECT_LT(midway.y, 100);
    // A new target mid-glide starts from the on-screen place, not from the last target.
    card->animateCard({0, 300, 318, 200}, true);
    EXPECT_NEAR(card->layer()->presentationValues().position.y, midway.y, 0.5);
    loop.advanceAndRunDue(0.4);
    EXPECT_EQ(card->layer()->presentationValues().position, (gfx::Point{0, 300}));

    card->animateCard({0, 400, 318, 240}, true);
    card->animateCard({0, 0, 318, 240}, false);
    EXPECT_TRUE(card->layer()->animationKeys().empty());
    EXPECT_EQ(card->layer()->presentationValues().position, (gfx::Point{0, 0}));
}

class DrawnCard : public ModuleSectionView {
public:
    using ModuleSectionView::drawRect;
    using ModuleSectionView::ModuleSectionView;
};

// The header's title fills the room M between the icon and the switch: a long one ("Arbeits-
// speicher") shrinks to 8 pt, then is cut, and the chevron follows it but never passes M + 45.
TEST_F(ModuleSectionViewTest, ALongTitleShrinksToEightPointsAndTheChevronStopsAtItsRoom) {
    auto owner = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe(*owner).change([](DetailState& s) { s.language = AppLanguage::german; });
    const gfx::Font natural = gfx::Font::system(11, gfx::FontWeight::medium);
    const std::string title = text(Copy::memoryEnabled, owner->state().language);
    const double width = gfx::textSize(title, {.font = natural}).width;
    struct Case {
        const char* name;
        double cardWidth;
        double size;
    };
    // Room M = card width − 107, and never below 50.
    const Case cases[] = {
        {"fits", 318, 11}, {"shrinks", 107 + width * 10 / 11, 10}, {"8 pt and cut", 107 + 50, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto drawn = std::make_shared<DrawnCard>(ModuleKind::memory, nullptr, owner.get());
        drawn->setFrame({0, 0, c.cardWidth, 200});
        drawn->updateDisclosure();
        gfx::RecordingContext context(drawn->bounds().size);
        drawn->drawRect(context, drawn->bounds());
        const gfx::TextRecord* run = context.log().text(title);
        ASSERT_TRUE(run);
        EXPECT_NEAR(run->font.pointSize(), c.size, 0.05);
        const double room = std::max(50.0, c.cardWidth - 107);
        const double chevron = drawn->disclosure()->frame().minX();
        // A title that had to shrink fills its room: the chevron stands at M + 45.
        const double drawnWidth = std::ceil(gfx::textSize(title, {.font = run->font}).width);
        EXPECT_NEAR(chevron, c.size < 11 ? room + 45 : drawnWidth + 45, 1e-9);
        EXPECT_LE(chevron, room + 45);
    }
}

} // namespace
} // namespace pulsedeck
