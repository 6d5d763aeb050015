#include "StripFixture.h"
#include "platform/toolkit/Window.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MenuBarContentView.h"

#include <functional>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using striptest::StripFixture;

// The backdrops are rebuilt on every status rebuild only when what they show changed. A kept
// image is the same object (its bitmap is shared by copies), so holding a copy and comparing
// bitmaps tells a reused image from a new one without any address being recycled.
class FanBackdropCache : public StripFixture {
protected:
    std::shared_ptr<MenuBarContentView> strip = makeStrip();

    void SetUp() override {
        strip->fanSnapshot = turningFan(3000);
        strip->fanHistory = std::vector<std::optional<double>>(30, 0.5);
    }

    void TearDown() override {
        strip->animationTimer.reset();
        strip->morphTimer.reset();
    }

    static FanSnapshot turningFan(double rpm) { return {"Test", {{0, rpm, 6000}}, 1}; }

    // The picture a rebuild with the strip's current state paints.
    FanPicture currentPicture() const {
        return {strip->fanSnapshot,  strip->fanHistory, strip->darkAppearance.value_or(true),
                strip->language,     strip->fanColor,   strip->historyCapacity,
                strip->chartLength()};
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
    strip->renderFanImage();
    ASSERT_TRUE(strip->ringBackdrop);
    // The graph is not the shown mode and the progress is at the ring: nothing draws it.
    EXPECT_FALSE(strip->graphBackdrop);
    gfx::Image ring = *strip->ringBackdrop;

    strip->renderFanImage();
    EXPECT_TRUE(sameImage(strip->ringBackdrop, ring));

    // The ring draws neither the history, the language nor the chart.
    strip->fanHistory.push_back(0.9);
    strip->language = AppLanguage::german;
    strip->setChartLength(120);
    strip->renderFanImage();
    EXPECT_TRUE(sameImage(strip->ringBackdrop, ring));
    EXPECT_FALSE(strip->graphBackdrop);

    struct Change {
        const char* what;
        std::function<void(MenuBarContentView&)> apply;
    };
    const std::vector<Change> changes{
        {"load", [](MenuBarContentView& s) { s.fanSnapshot = turningFan(4500); }},
        {"colour", [](MenuBarContentView& s) { s.fanColor = PaletteColor::red; }},
        {"no speed", [](MenuBarContentView& s) { s.fanSnapshot.fans[0].rpm.reset(); }},
        {"fanless",
         [](MenuBarContentView& s) {
             s.fanSnapshot = {"Test", {}, 0};
         }},
        {"count unknown", [](MenuBarContentView& s) { s.fanSnapshot.detectedCount.reset(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.apply(*strip);
        strip->renderFanImage();
        ASSERT_TRUE(strip->ringBackdrop);
        EXPECT_FALSE(sameImage(strip->ringBackdrop, ring));
        EXPECT_TRUE(samePixels(*strip->ringBackdrop, fanRingImage(currentPicture())));
        ring = *strip->ringBackdrop;
        strip->renderFanImage();
        EXPECT_TRUE(sameImage(strip->ringBackdrop, ring));
    }
}

TEST_F(FanBackdropCache, TheGraphIsRenderedOnlyWhenAFigureItDrawsChanges) {
    strip->setFanMode(FanDisplayMode::graph);
    strip->renderFanImage();
    ASSERT_TRUE(strip->graphBackdrop);
    ASSERT_DOUBLE_EQ(strip->graphProgress, 1);
    gfx::Image graph = *strip->graphBackdrop;
    const gfx::Image ring = *strip->ringBackdrop;

    strip->renderFanImage();
    EXPECT_TRUE(sameImage(strip->graphBackdrop, graph));

    struct Change {
        const char* what;
        std::function<void(MenuBarContentView&)> apply;
    };
    const std::vector<Change> changes{
        {"history value", [](MenuBarContentView& s) { s.fanHistory.back() = 0.25; }},
        {"history length", [](MenuBarContentView& s) { s.fanHistory.push_back(std::nullopt); }},
        {"speed", [](MenuBarContentView& s) { s.fanSnapshot = turningFan(3100); }},
        {"language", [](MenuBarContentView& s) { s.language = AppLanguage::german; }},
        {"chart length", [](MenuBarContentView& s) { s.setChartLength(120); }},
        {"capacity", [](MenuBarContentView& s) { s.historyCapacity = 30; }},
        {"colour", [](MenuBarContentView& s) { s.fanColor = PaletteColor::red; }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        change.apply(*strip);
        strip->renderFanImage();
        ASSERT_TRUE(strip->graphBackdrop);
        EXPECT_FALSE(sameImage(strip->graphBackdrop, graph));
        EXPECT_TRUE(samePixels(*strip->graphBackdrop, fanGraphImage(currentPicture())));
        graph = *strip->graphBackdrop;
        strip->renderFanImage();
        EXPECT_TRUE(sameImage(strip->graphBackdrop, graph));
    }
    // The ring is not drawn while the graph shows, so none of that rendered it again.
    EXPECT_TRUE(sameImage(strip->ringBackdrop, ring));
}

TEST_F(FanBackdropCache, ASwitchOfModeShowsBothEndsWithTheFiguresOfThatRebuild) {
    strip->setFanMode(FanDisplayMode::graph);
    strip->renderFanImage();
    ASSERT_DOUBLE_EQ(strip->graphProgress, 1);

    // New figures and the switch to the ring in one rebuild: the graph shows until the morph's
    // first frame and the ring where it ends, both of the new figures.
    strip->fanSnapshot = turningFan(5000);
    strip->fanColor = PaletteColor::green;
    strip->setFanMode(FanDisplayMode::ring);
    strip->renderFanImage();
    ASSERT_NE(strip->morphTimer, nullptr);
    ASSERT_TRUE(strip->ringBackdrop && strip->graphBackdrop);
    EXPECT_TRUE(samePixels(*strip->graphBackdrop, fanGraphImage(currentPicture())));
    EXPECT_TRUE(samePixels(*strip->ringBackdrop, fanRingImage(currentPicture())));
    const gfx::Image ring = *strip->ringBackdrop;
    for (int i = 0; i < 120 && strip->morphTimer; ++i)
        loop.advanceAndRunDue(1.0 / 60);
    ASSERT_DOUBLE_EQ(strip->graphProgress, 0);

    // Back at the ring and nothing changed: the ring kept is the one drawn.
    strip->renderFanImage();
    EXPECT_TRUE(sameImage(strip->ringBackdrop, ring));
}

TEST_F(FanBackdropCache, AHiddenFanRendersNoBackdropUntilItShows) {
    strip->setFanMode(FanDisplayMode::hidden);
    strip->renderFanImage();
    strip->fanSnapshot = turningFan(4000);
    strip->renderFanImage();
    EXPECT_FALSE(strip->ringBackdrop);
    EXPECT_FALSE(strip->graphBackdrop);

    strip->setFanMode(FanDisplayMode::ring);
    strip->renderFanImage();
    ASSERT_TRUE(strip->ringBackdrop);
    EXPECT_TRUE(samePixels(*strip->ringBackdrop, fanRingImage(currentPicture())));
}

TEST_F(FanBackdropCache, AnAppearanceChangeRendersTheShownBackdropAgain) {
    auto window = std::make_shared<ui::Window>(gfx::Rect{100, 100, 300, 24}, ui::Style::borderless);
    window->setContentView(strip);
    app.setAppearance(gfx::Appearance::dark);
    strip->renderFanImage();
    ASSERT_EQ(strip->darkAppearance, true);
    const gfx::Image dark = *strip->ringBackdrop;

    app.setAppearance(gfx::Appearance::light);
    ASSERT_EQ(strip->darkAppearance, false);
    ASSERT_TRUE(strip->ringBackdrop);
    EXPECT_FALSE(sameImage(strip->ringBackdrop, dark));
    EXPECT_TRUE(samePixels(*strip->ringBackdrop, fanRingImage(currentPicture())));
    EXPECT_FALSE(samePixels(*strip->ringBackdrop, dark));
}

} // namespace
} // namespace pulsedeck
