#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/DetailViewProbe.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>

namespace pulsedeck {
namespace {

// Pictures of a card drag and of the presentation fade, drawn from the window's content as the
// screen would show them, with every section closed so all the headers are in view.
class DetailViewDragRenderTest : public toolkittest::ToolkitFixture {
protected:
    void SetUp() override {
        window->setContentView(view);
        probe.change([&](DetailState& s) {
            s.look.collapsed = {allModuleKinds.begin(), allModuleKinds.end()};
        });
        loop.advanceAndRunDue(0.3);
    }
    gfx::Image frame(const std::string& name) {
        std::optional<gfx::Image> image = ui::snapshotImage(*view, 1);
        EXPECT_TRUE(image && image->bitmap());
        EXPECT_TRUE(image->writePng(testsupport::artifactPath(name), 1));
        return *image;
    }
    // How dark a pixel is over a white page, 0 to 255.
    static int ink(const gfx::Image& image, int x, int y) {
        const gfx::Rgba8 pixel = image.bitmap()->pixel(x, y);
        const int darkest = std::min({pixel.red, pixel.green, pixel.blue});
        return 255 - (darkest * pixel.alpha + 255 * (255 - pixel.alpha)) / 255;
    }
    // The ink under a point of the body.
    int inkAt(const gfx::Image& image, gfx::Point inBody) const {
        const gfx::Point at = probe.body().convertPointToView(inBody, view.get());
        return ink(image, int(at.x), int(view->bounds().height() - at.y));
    }
    // All the ink over the cards' area.
    long cardsInk(const gfx::Image& image) const {
        const gfx::Rect area = probe.scroll().frame();
        long total = 0;
        for (int y = int(view->bounds().height() - area.maxY());
             y < int(view->bounds().height() - area.minY()); ++y)
            for (int x = int(area.minX()); x < int(area.maxX()); ++x)
                total += ink(image, x, y);
        return total;
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
    std::shared_ptr<ui::Window> window =
        std::make_shared<ui::Window>(gfx::Rect{0, 0, 318, 667}, ui::Style::borderless);
};

TEST_F(DetailViewDragRenderTest, ADraggedCardIsFaintWhileItsShadowedPictureFollowsThePointer) {
    const gfx::Point icon{27, 8 + 20};
    const gfx::Image before = frame("CardDrag-0-before.png");
    const int restingInk = inkAt(before, icon);
    ASSERT_TRUE(probe.beginCardDrag(ModuleKind::memory, icon));
    // Half way over the fan's header: nothing has moved yet.
    probe.moveCardDrag({icon.x + 6, icon.y + 20});
    const gfx::Image halfway = frame("CardDrag-1-halfway.png");
    // Over the fan: the cards trade places while the picture stays under the pointer.
    probe.moveCardDrag({icon.x + 6, icon.y + 45});
    loop.advanceAndRunDue(0.16);
    frame("CardDrag-2-crossing.png");
    loop.advanceAndRunDue(0.2);
    const gfx::Image crossed = frame("CardDrag-3-crossed.png");
    const gfx::Rect slot = probe.card(ModuleKind::memory).frame();
    const gfx::Rect ghost = probe.dragGhost()->frame();
    EXPECT_EQ(slot.minY(), 48);
    // The card in its new slot is faint, the picture over it strong.
    EXPECT_LT(inkAt(crossed, {27, slot.minY() + 20}) * 2, restingInk)
        << "a dimmed card shows its icon faintly";
    EXPECT_GT(inkAt(halfway, {ghost.minX() + 27, 8 + 40}), restingInk / 2)
        << "the picture shows the icon at the pointer";
    // The picture's switch casts a soft shadow below itself.
    const gfx::Rect switchFrame = probe.card(ModuleKind::memory).toggle()->frame();
    const gfx::Point underSwitch{ghost.minX() + switchFrame.midX(),
                                 ghost.minY() + switchFrame.maxY() + 3};
    EXPECT_GT(inkAt(crossed, underSwitch), inkAt(before, underSwitch) + 8);
    probe.endCardDrag();
    loop.advanceAndRunDue(0.1);
    frame("CardDrag-5-dropping.png");
    loop.advanceAndRunDue(0.2);
    EXPECT_EQ(inkAt(frame("CardDrag-6-dropped.png"), {27, slot.minY() + 20}), restingInk);
}

TEST_F(DetailViewDragRenderTest, TheOldPresentationFadesOverTheNew) {
    probe.change([](DetailState& s) { s.look.collapsed.clear(); });
    frame("PresentationFade-0-details.png");
    view->fadeFromSnapshot();
    probe.change([&](DetailState& s) { s.look.presentation = DetailPresentation::overview; });
    view->prioritize(std::nullopt);
    const gfx::Image start = frame("PresentationFade-1-start.png");
    loop.advanceAndRunDue(0.12);
    const gfx::Image halfway = frame("PresentationFade-2-halfway.png");
    loop.advanceAndRunDue(0.2);
    const gfx::Image end = frame("PresentationFade-3-overview.png");
    // The old cards lie over the new ones and thin out to nothing.
    EXPECT_GT(cardsInk(start), cardsInk(halfway));
    EXPECT_GT(cardsInk(halfway), cardsInk(end));
}

} // namespace
} // namespace pulsedeck
