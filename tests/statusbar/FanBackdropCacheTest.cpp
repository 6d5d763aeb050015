#include "StripFixture.h"
#include "platform/toolkit/Window.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MenuBarContentView.h"
#include "support/MenuBarContentViewProbe.h"

#include <functional>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using Probe = MenuBarContentViewProbe;

using striptest::StripFixture;

// The backdrops are rebuilt on every status rebuild only when what they show changed. A kept
// image is the same object (its bitmap is shared by copies), so holding a copy and comparing
// bitmaps tells a reused image from a new one without any address being recycled.
class FanBackdropCache : public StripFixture {
protected:
    std::shared_ptr<MenuBarContentView> strip = makeStrip();

    // The fan stands still so no rotor timer outlives the test.
    MenuBarContentView::FanInputs inputs = standingFan();

    // Stores the changed inputs without rendering, as a rebuild does before renderFanImage.
    void change(const std::function<void(MenuBarContentView::FanInputs&)>& apply) {
        apply(inputs);
        fresh = true;
    }

    // Renders the fan, handing over inputs changed since the last render.
    void render() {
        if (fresh)
            strip->setFanInputs(inputs);
        fresh = false;
        strip->renderFanImage();
    }

    bool fresh = true;

    static FanSnapshot turningFan(double rpm) { return {"Test", {{0, rpm, 6000}}, 1}; }

    static MenuBarContentView::FanInputs standingFan() {
        MenuBarContentView::FanInputs fan;
        fan.snapshot = turningFan(3000);
        fan.history = std::vector<std::optional<double>>(30, 0.5);
        fan.animation = FanAnimationMode::off;
        return fan;
    }

    // The picture a rebuild with the strip's current state paints.
    FanPicture currentPicture() const {
        const MenuBarContentView::FanInputs& fan = strip->fanInputs();
        return {fan.snapshot, fan.history,         Probe::drawsDark(*strip), fan.language,
                fan.color,    fan.historyCapacity, strip->chartLength()};
    }

    static bool samePixels(const gfx::Image& a, const gfx::Image& b) {
        const gfx::Bitmap* left = a.bitmap();
        const gfx::Bitmap* right = b.bitmap();
        if (!left || !right || left->pixelsWide() != right->pixelsWide() ||
            left->pixelsHigh() != right->pixelsHigh())
            return false;
        for (int row = 0; row < left->pixelsHigh(); ++row) {
            for (int column = 0; column < left->pixelsWide(); ++column) {
                if (left->pixel(column, row) != right->pixel(column, row))
                    return false;
            }
        }
        return true;
    }

    static bool sameImage(const std::optional<gfx::Image>& shown, const gfx::Image& kept) {
        return shown && shown->bitmap() == kept.bitmap();
    }
};

// Each mode's backdrop is rendered again exactly when a figure it draws changes, and always shows
// what a fresh render of the strip's state shows. The ring draws the load, whether the busiest fan
// reports a speed, the colour and whether there is no fan; the graph the history, the speed as
// text, the language, the capacity, the chart's length and the colour.
TEST_F(FanBackdropCache, EachBackdropIsRenderedOnlyWhenAFigureItDrawsChanges) {
    using Fan = MenuBarContentView::FanInputs;
    const struct {
        const char* what;
        std::function<void(MenuBarContentView&, Fan&)> apply;
        bool ringRedraws;
        bool graphRedraws;
    } steps[] = {
        {"history value", [](auto&, Fan& fan) { fan.history.back() = 0.25; }, false, true},
        {"history length", [](auto&, Fan& fan) { fan.history.push_back(std::nullopt); }, false,
         true},
        {"language", [](auto&, Fan& fan) { fan.language = AppLanguage::german; }, false, true},
        {"chart length", [](MenuBarContentView& view, auto&) { view.setChartLength(120); }, false,
         true},
        {"capacity", [](auto&, Fan& fan) { fan.historyCapacity = 30; }, false, true},
        {"speed", [](auto&, Fan& fan) { fan.snapshot = turningFan(3100); }, true, true},
        {"colour", [](auto&, Fan& fan) { fan.color = PaletteColor::red; }, true, true},
        {"no speed", [](auto&, Fan& fan) { fan.snapshot.fans[0].rpm.reset(); }, true, true},
        // Without a speed or without a fan, the graph's text reads the same.
        {"fanless",
         [](auto&, Fan& fan) {
             fan.snapshot = {"Test", {}, 0};
         },
         true, false},
        {"count unknown", [](auto&, Fan& fan) { fan.snapshot.detectedCount.reset(); }, true, false},
    };
    for (const FanDisplayMode mode : {FanDisplayMode::ring, FanDisplayMode::graph}) {
        const bool graph = mode == FanDisplayMode::graph;
        SCOPED_TRACE(graph ? "graph" : "ring");
        strip = makeStrip();
        inputs = standingFan();
        fresh = true;
        strip->setFanMode(mode);
        render();
        ASSERT_DOUBLE_EQ(Probe::fanGraphProgress(*strip), graph ? 1 : 0);
        const auto shown = [&] {
            return graph ? Probe::fanGraphBackdrop(*strip) : Probe::fanRingBackdrop(*strip);
        };
        const auto rendered = [&] {
            return graph ? fanGraphImage(currentPicture()) : fanRingImage(currentPicture());
        };
        ASSERT_TRUE(shown() && Probe::fanRingBackdrop(*strip));
        const gfx::Image ring = *Probe::fanRingBackdrop(*strip);
        gfx::Image kept = *shown();
        for (const auto& step : steps) {
            SCOPED_TRACE(step.what);
            change([&](Fan& fan) { step.apply(*strip, fan); });
            render();
            ASSERT_TRUE(shown());
            EXPECT_EQ(!sameImage(shown(), kept), graph ? step.graphRedraws : step.ringRedraws);
            EXPECT_TRUE(samePixels(*shown(), rendered()));
            kept = *shown();
            render();
            EXPECT_TRUE(sameImage(shown(), kept)) << "the same figures again";
        }
        // Neither mode draws the other's backdrop while it shows.
        if (graph)
            EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));
        else
            EXPECT_FALSE(Probe::fanGraphBackdrop(*strip));
    }
}

TEST_F(FanBackdropCache, ASwitchOfModeShowsBothEndsWithTheFiguresOfThatRebuild) {
    strip->setFanMode(FanDisplayMode::graph);
    render();
    ASSERT_DOUBLE_EQ(Probe::fanGraphProgress(*strip), 1);

    // New figures and the switch to the ring in one rebuild: the graph shows until the morph's
    // first frame and the ring where it ends, both of the new figures.
    change([](auto& fan) {
        fan.snapshot = turningFan(5000);
        fan.color = PaletteColor::green;
    });
    strip->setFanMode(FanDisplayMode::ring);
    render();
    ASSERT_TRUE(Probe::fanMorphRuns(*strip));
    ASSERT_TRUE(Probe::fanRingBackdrop(*strip) && Probe::fanGraphBackdrop(*strip));
    EXPECT_TRUE(samePixels(*Probe::fanGraphBackdrop(*strip), fanGraphImage(currentPicture())));
    EXPECT_TRUE(samePixels(*Probe::fanRingBackdrop(*strip), fanRingImage(currentPicture())));
    const gfx::Image ring = *Probe::fanRingBackdrop(*strip);
    for (int i = 0; i < 120 && Probe::fanMorphRuns(*strip); ++i)
        loop.advanceAndRunDue(1.0 / 60);
    ASSERT_DOUBLE_EQ(Probe::fanGraphProgress(*strip), 0);

    // Back at the ring and nothing changed: the ring kept is the one drawn.
    render();
    EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));
}

TEST_F(FanBackdropCache, AHiddenFanRendersNoBackdropUntilItShows) {
    strip->setFanMode(FanDisplayMode::hidden);
    render();
    change([](auto& fan) { fan.snapshot = turningFan(4000); });
    render();
    EXPECT_FALSE(Probe::fanRingBackdrop(*strip));
    EXPECT_FALSE(Probe::fanGraphBackdrop(*strip));

    strip->setFanMode(FanDisplayMode::ring);
    render();
    ASSERT_TRUE(Probe::fanRingBackdrop(*strip));
    EXPECT_TRUE(samePixels(*Probe::fanRingBackdrop(*strip), fanRingImage(currentPicture())));
}

TEST_F(FanBackdropCache, AnAppearanceChangeRendersTheShownBackdropAgain) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 300, 24}, ui::Style::borderless);
    window->setContentView(strip);
    app.setAppearance(gfx::Appearance::dark);
    render();
    ASSERT_TRUE(Probe::drawsDark(*strip));
    const gfx::Image dark = *Probe::fanRingBackdrop(*strip);

    app.setAppearance(gfx::Appearance::light);
    ASSERT_FALSE(Probe::drawsDark(*strip));
    ASSERT_TRUE(Probe::fanRingBackdrop(*strip));
    EXPECT_FALSE(sameImage(Probe::fanRingBackdrop(*strip), dark));
    EXPECT_TRUE(samePixels(*Probe::fanRingBackdrop(*strip), fanRingImage(currentPicture())));
    EXPECT_FALSE(samePixels(*Probe::fanRingBackdrop(*strip), dark));
}

} // namespace
} // namespace pulsedeck
