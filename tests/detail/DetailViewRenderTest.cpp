#include "detail/CompactSwitch.h"
#include "detail/DetailView.h"
#include "detail/ModuleSectionView.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/DetailReadings.h"
#include "support/DetailViewProbe.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <map>

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
        probe.change([&](DetailState& s) { s.look.presentation = presentation; });
        backdrop->setAppearance(appearance);
        // The overview's column count follows the width, so the width settles before the height.
        view->setFrameSize({view->contentWidth(), view->frame().height()});
        view->setFrameSize(
            {view->contentWidth(), probe.contentHeight() + 112 + probe.footerHeight()});
        backdrop->setFrameSize(view->frame().size);
        // The switches slide to their states first.
        loop.advanceAndRunDue(0.3);
        return ui::snapshotImage(*backdrop, 1);
    }
    // The pixel under a point of a view, in an image of the detail view (rows from the top).
    gfx::Rgba8 pixelAt(const gfx::Image& image, const ui::View& of, gfx::Point point) const {
        const gfx::Point at = of.convertPointToView(point, view.get());
        return image.bitmap()->pixel(int(at.x), int(view->bounds().height() - at.y));
    }
    void show(const detailreadings::Readings& r, std::size_t deviceCount) {
        probe.change([&](DetailState& s) {
            s.readings = r;
            s.readings.devices = detailreadings::deviceFixture(deviceCount);
        });
    }
    // The widest channel spread over the half of a chart region away from its title: a flat
    // card fill spreads by a few steps, a plotted line or area by far more.
    int inkIn(const gfx::Image& image, ModuleKind kind, std::string_view region) const {
        const ui::View& content = probe.card(kind).content();
        const gfx::Rect* r = findRegion(probe.regions(kind), region);
        if (r == nullptr)
            return -1;
        int low = 255;
        int high = 0;
        for (double x = r->minX() + 14; x < r->maxX() - 14; x += 2)
            for (double y = r->minY() + 4; y < r->midY() - 2; y += 2) {
                const gfx::Rgba8 p = pixelAt(image, content, {x, y});
                low = std::min({low, int(p.red), int(p.green), int(p.blue)});
                high = std::max({high, int(p.red), int(p.green), int(p.blue)});
            }
        return high - low;
    }
    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);
    DetailViewProbe probe{*view};
    std::shared_ptr<PopoverBackdrop> backdrop =
        std::make_shared<PopoverBackdrop>(DetailView::initialFrame);
    std::shared_ptr<ui::Window> window =
        std::make_shared<ui::Window>(gfx::Rect{0, 0, 318, 667}, ui::Style::borderless);
};

TEST_F(DetailViewRenderTest, BothPresentationsInLightAndDarkOverEveryReadingsFixture) {
    backdrop->addSubview(view);
    window->setContentView(backdrop);
    const struct {
        const char* name;
        detailreadings::Readings readings;
        std::size_t devices;
        bool network;
    } fixtures[] = {
        {"live", detailreadings::liveReadings(), 1, true},
        {"devices0", detailreadings::liveReadings(), 0, false},
        {"devices5", detailreadings::liveReadings(), 5, false},
        {"fanless", detailreadings::fanlessReadings(), 1, false},
        {"dashes", detailreadings::dashReadings(), 0, true},
    };
    std::map<std::pair<DetailPresentation, std::size_t>, double> devicesCardHeight;
    for (const auto& f : fixtures) {
        show(f.readings, f.devices);
        probe.change(
            [&](DetailState& s) { s.look.modules.setShown(ModuleKind::network, f.network); });
        for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview})
            for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
                const std::string name =
                    "DetailView-" + std::string(f.name) + "-" +
                    std::string(toString(presentation)) +
                    (appearance == gfx::Appearance::dark ? "-dark" : "-light") + ".png";
                SCOPED_TRACE(name);
                const auto rendered = render(presentation, appearance);
                ASSERT_TRUE(rendered && rendered->bitmap());
                const gfx::Image& image = *rendered;
                EXPECT_TRUE(image.writePng(testsupport::artifactPath(name), 1));
                // The scroller has nothing to do when the whole document shows.
                EXPECT_FALSE(probe.scroll().hasVerticalScroller());
                // A switch that is on fills its track with the theme's green; one that is off
                // does not.
                const auto& on = probe.moduleSwitch(ModuleKind::memory);
                const auto& off = probe.moduleSwitch(ModuleKind::network);
                const gfx::Point trackLeft{on.bounds().minX() + 8, on.bounds().midY()};
                const gfx::Rgba8 lit = pixelAt(image, on, trackLeft);
                EXPECT_GT(lit.green, lit.red + 60);
                const gfx::Rgba8 unlit = pixelAt(image, off, trackLeft);
                if (f.network)
                    EXPECT_GT(unlit.green, unlit.red + 60);
                else
                    EXPECT_LT(unlit.green, unlit.red + 30);
                devicesCardHeight[{presentation, f.devices}] =
                    probe.card(ModuleKind::devices).frame().height();
                // Without readings the charts stay bare; with them they carry ink.
                const int ink = inkIn(image, ModuleKind::compute, "computeChart");
                if (f.readings.computeHistory.empty())
                    EXPECT_LT(ink, 12);
                else
                    EXPECT_GT(ink, 60);
            }
    }
    for (const auto presentation : {DetailPresentation::details, DetailPresentation::overview}) {
        EXPECT_GT((devicesCardHeight[{presentation, 5}]), (devicesCardHeight[{presentation, 1}]));
    }
}

} // namespace
} // namespace pulsedeck
