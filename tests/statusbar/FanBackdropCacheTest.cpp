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

TEST_F(FanBackdropCache, TheRingIsRenderedOnlyWhenAFigureItDrawsChanges) {
    render();
    ASSERT_TRUE(Probe::fanRingBackdrop(*strip));
    // The graph is not the shown mode and the progress is at the ring: nothing draws it.
    EXPECT_FALSE(Probe::fanGraphBackdrop(*strip));
    gfx::Image ring = *Probe::fanRingBackdrop(*strip);

    render();
    EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));

    // The ring draws neither the history, the language nor the chart.
    change([](auto& fan) {
        fan.history.push_back(0.9);
        fan.language = AppLanguage::german;
    });
    strip->setChartLength(120);
    render();
    EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));
    EXPECT_FALSE(Probe::fanGraphBackdrop(*strip));

    struct Change {
        const char* what;
        std::function<void(MenuBarContentView::FanInputs&)> apply;
    };
    const std::vector<Change> changes{
        {"load", [](auto& fan) { fan.snapshot = turningFan(4500); }},
        {"colour", [](auto& fan) { fan.color = PaletteColor::red; }},
        {"no speed", [](auto& fan) { fan.snapshot.fans[0].rpm.reset(); }},
        {"fanless",
         [](auto& fan) {
             fan.snapshot = {"Test", {}, 0};
         }},
        {"count unknown", [](auto& fan) { fan.snapshot.detectedCount.reset(); }},
    };
    for (const Change& step : changes) {
        SCOPED_TRACE(step.what);
        this->change(step.apply);
        render();
        ASSERT_TRUE(Probe::fanRingBackdrop(*strip));
        EXPECT_FALSE(sameImage(Probe::fanRingBackdrop(*strip), ring));
        EXPECT_TRUE(samePixels(*Probe::fanRingBackdrop(*strip), fanRingImage(currentPicture())));
        ring = *Probe::fanRingBackdrop(*strip);
        render();
        EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));
    }
}

TEST_F(FanBackdropCache, TheGraphIsRenderedOnlyWhenAFigureItDrawsChanges) {
    strip->setFanMode(FanDisplayMode::graph);
    render();
    ASSERT_TRUE(Probe::fanGraphBackdrop(*strip));
    ASSERT_DOUBLE_EQ(Probe::fanGraphProgress(*strip), 1);
    gfx::Image graph = *Probe::fanGraphBackdrop(*strip);
    const gfx::Image ring = *Probe::fanRingBackdrop(*strip);

    render();
    EXPECT_TRUE(sameImage(Probe::fanGraphBackdrop(*strip), graph));

    struct Change {
        const char* what;
        std::function<void(MenuBarContentView::FanInputs&)> apply;
    };
    const std::vector<Change> changes{
        {"history value", [](auto& fan) { fan.history.back() = 0.25; }},
        {"history length", [](auto& fan) { fan.history.push_back(std::nullopt); }},
        {"speed", [](auto& fan) { fan.snapshot = turningFan(3100); }},
        {"language", [](auto& fan) { fan.language = AppLanguage::german; }},
        {"chart length", [this](auto&) { strip->setChartLength(120); }},
        {"capacity", [](auto& fan) { fan.historyCapacity = 30; }},
        {"colour", [](auto& fan) { fan.color = PaletteColor::red; }},
    };
    for (const Change& step : changes) {
        SCOPED_TRACE(step.what);
        this->change(step.apply);
        render();
        ASSERT_TRUE(Probe::fanGraphBackdrop(*strip));
        EXPECT_FALSE(sameImage(Probe::fanGraphBackdrop(*strip), graph));
        EXPECT_TRUE(samePixels(*Probe::fanGraphBackdrop(*strip), fanGraphImage(currentPicture())));
        graph = *Probe::fanGraphBackdrop(*strip);
        render();
        EXPECT_TRUE(sameImage(Probe::fanGraphBackdrop(*strip), graph));
    }
    // The ring is not drawn while the graph shows, so none of that rendered it again.
    EXPECT_TRUE(sameImage(Probe::fanRingBackdrop(*strip), ring));
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
