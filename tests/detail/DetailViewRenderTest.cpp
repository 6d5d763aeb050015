#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

// What the popover's window paints behind its content, so the pictures read as on screen.
class PopoverBackdrop : public ui::View {
public:
    using View::View;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setColor(gfx::Color::dynamic(gfx::Color::grey(0.94), gfx::Color::grey(0.17)));
        context.fillRect(bounds());
    }
};

// The whole detail view drawn tall enough for every card, in each presentation and appearance.
class DetailViewRenderTest : public toolkittest::ToolkitFixture {
protected:
    std::optional<gfx::Image> render(DetailPresentation presentation, gfx::Appearance appearance) {
        view->presentation = presentation;
        backdrop->setAppearance(appearance);
        view->refreshControls();
        view->setFrameSize(
            {view->contentWidth(), view->contentHeight() + 112 + view->footerHeight()});
        backdrop->setFrameSize(view->frame().size);
        view->refreshControls();
        // The switches slide to their states first.
        loop.advanceAndRunDue(0.3);
        return ui::snapshotImage(*backdrop, 1);
    }
    // The pixel under a point of a view, in an image of the detail view (rows from the top).
    gfx::Rgba8 pixelAt(const gfx::Image& image, const ui::View& of, gfx::Point point) const {
        const gfx::Point at = of.convertPointToView(point, view.get());
        return image.bitmap()->pixel(int(at.x), int(view->bounds().height() - at.y));
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    std::shared_ptr<PopoverBackdrop> backdrop =
        std::make_shared<PopoverBackdrop>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window =
        std::make_shared<ui::Window>(gfx::Rect{0, 0, 318, 667}, ui::Style::borderless);
};

TEST_F(DetailViewRenderTest, BothPresentationsInLightAndDark) {
    backdrop->addSubview(view);
    window->setContentView(backdrop);
    view->networkEnabled = false;
    const struct {
        DetailPresentation presentation;
        gfx::Appearance appearance;
        const char* name;
    } cases[] = {
        {DetailPresentation::details, gfx::Appearance::light, "DetailView-details-light.png"},
        {DetailPresentation::details, gfx::Appearance::dark, "DetailView-details-dark.png"},
        {DetailPresentation::overview, gfx::Appearance::light, "DetailView-overview-light.png"},
        {DetailPresentation::overview, gfx::Appearance::dark, "DetailView-overview-dark.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto rendered = render(c.presentation, c.appearance);
        ASSERT_TRUE(rendered && rendered->bitmap());
        const gfx::Image& image = *rendered;
        EXPECT_TRUE(image.writePng(testsupport::artifactPath(c.name), 1));
        // The scroller has nothing to do when the whole document shows.
        EXPECT_FALSE(view->scroll->hasVerticalScroller());
        // A switch that is on fills its track with the theme's green; one that is off does not.
        const auto& on = *view->memorySwitch;
        const auto& off = *view->networkSwitch;
        const gfx::Point trackLeft{on.bounds().minX() + 8, on.bounds().midY()};
        const gfx::Rgba8 lit = pixelAt(image, on, trackLeft);
        EXPECT_GT(lit.green, lit.red + 60);
        const gfx::Rgba8 unlit = pixelAt(image, off, trackLeft);
        EXPECT_LT(unlit.green, unlit.red + 30);
    }
}

} // namespace
} // namespace pulsedeck
