#include "detail/DetailView.h"
#include "platform/animation/Layer.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "support/DetailViewProbe.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

class DetailViewFadeTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 318, 667}, ui::Style::borderless);
        window->setContentView(view);
    }
    // The picture laid over the scroll view, if any.
    std::shared_ptr<ui::ImageView> fadingPicture() const {
        for (const auto& subview : view->subviews())
            if (auto image = std::dynamic_pointer_cast<ui::ImageView>(subview))
                return image;
        return nullptr;
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
    std::shared_ptr<ui::Window> window;
};

TEST_F(DetailViewFadeTest, TheOldPictureFadesAlongItsCurveOverTheNewPresentationThenGoes) {
    const gfx::Rect oldCards = probe.scroll().frame();
    view->fadeFromSnapshot();
    probe.change([&](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    view->prioritize(std::nullopt);
    const auto picture = fadingPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->frame(), oldCards);
    EXPECT_EQ(picture->hitTest(picture->frame().center()), nullptr);
    const auto& subviews = view->subviews();
    EXPECT_EQ(std::find(subviews.begin(), subviews.end(), picture) - subviews.begin(),
              std::find_if(subviews.begin(), subviews.end(),
                           [&](const auto& each) { return each.get() == &probe.scroll(); }) -
                  subviews.begin() + 1)
        << "just above the cards";
    struct Sample {
        double at, opacity;
    };
    // Ease in and out over 0.24 s: slow at both ends, half way at the middle.
    double elapsed = 0;
    for (Sample sample : {Sample{0, 1}, Sample{0.03, 0.96}, Sample{0.12, 0.5}, Sample{0.21, 0.04},
                          Sample{0.25, 0}}) {
        loop.advanceAndRunDue(sample.at - elapsed);
        elapsed = sample.at;
        EXPECT_NEAR(picture->layer()->presentationValues().opacity, sample.opacity, 0.03)
            << "at " << sample.at;
    }
    EXPECT_EQ(picture->superview(), view.get()) << "kept until 0.3 s";
    loop.advanceAndRunDue(0.06);
    EXPECT_EQ(picture->superview(), nullptr);
}

TEST_F(DetailViewFadeTest, NoFadeUnderReduceMotionOrOutsideAWindow) {
    app.workspace().setReduceMotion(true);
    view->fadeFromSnapshot();
    EXPECT_FALSE(fadingPicture());
    app.workspace().setReduceMotion(false);
    auto loose = std::make_shared<DetailView>(DetailView::initialFrame);
    loose->fadeFromSnapshot();
    EXPECT_EQ(loose->subviews().size(), view->subviews().size());
}

} // namespace
} // namespace pulsedeck
