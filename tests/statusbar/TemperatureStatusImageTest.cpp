#include "statusbar/TemperatureStatusImage.h"

#include "model/Localization.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/RecordingContext.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/StatusFonts.h"
#include "statusbar/StatusText.h"
#include "statusbar/ThermometerLiquid.h"
#include "support/NonFinite.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using testsupport::inf;
using testsupport::nan;

TEST(TemperatureStatusImage, HeatFractionFillsAThirdAt55AndAllFrom95) {
    EXPECT_DOUBLE_EQ(heatFraction(0.0), 0);
    EXPECT_DOUBLE_EQ(heatFraction(-12.0), 0);
    EXPECT_NEAR(heatFraction(27.5), 1.0 / 6, 1e-12);
    EXPECT_NEAR(heatFraction(55.0), 1.0 / 3, 1e-12);
    EXPECT_NEAR(heatFraction(75.0), 2.0 / 3, 1e-12);
    EXPECT_DOUBLE_EQ(heatFraction(95.0), 1);
    EXPECT_DOUBLE_EQ(heatFraction(140.0), 1);
    EXPECT_DOUBLE_EQ(heatFraction(std::nullopt), 0);
    EXPECT_DOUBLE_EQ(heatFraction(inf), 0);
    EXPECT_DOUBLE_EQ(heatFraction(nan), 0);
}

// The texts a thermometer draws, with their fonts' sizes.
std::vector<gfx::TextRecord> thermometerTexts(std::optional<double> celsius, double level,
                                              std::size_t* strokes = nullptr) {
    gfx::RecordingContext context({24, 24});
    drawThermometer(context, true, celsius, std::nullopt, {0, 0, 24, 24}, level);
    if (strokes) {
        *strokes = context.log().strokes().size();
    }
    return context.log().texts();
}

std::string joined(const std::vector<gfx::TextRecord>& texts) {
    std::string all;
    for (const gfx::TextRecord& text : texts) {
        all += text.text;
    }
    return all;
}

TEST(TemperatureStatusImage, AMissingReadingShowsTheTrackAnEmptyGlyphAndAnEnDash) {
    std::size_t strokes = 0;
    const auto texts = thermometerTexts(std::nullopt, 0.7, &strokes);
    EXPECT_EQ(joined(texts), "\u2013");
    // The track and the glyph's outline; no value arc even with a level.
    EXPECT_EQ(strokes, 2u);
}

TEST(TemperatureStatusImage, ShortReadingsGetADegreeSignAndLongOnesASmallerFont) {
    std::size_t strokes = 0;
    const auto warm = thermometerTexts(64.4, heatFraction(64.4), &strokes);
    EXPECT_EQ(joined(warm), "64\u00B0");
    EXPECT_EQ(strokes, 3u);
    ASSERT_FALSE(warm.empty());
    EXPECT_DOUBLE_EQ(warm.front().font.pointSize(), 8.6);

    const auto hot = thermometerTexts(99.6, 1);
    EXPECT_EQ(joined(hot), "100");
    EXPECT_DOUBLE_EQ(hot.front().font.pointSize(), 6.9);

    // The number alone is centred on x 12.
    const gfx::TextRecord& number = warm.front();
    const double numberWidth = number.bounds.width();
    EXPECT_NEAR(number.origin.x + numberWidth / 2, 12, 0.3);
}

TEST(TemperatureStatusImage, TheGlyphFillsToTheLevel) {
    auto fillHeight = [](double level) {
        gfx::RecordingContext context({24, 24});
        drawThermometer(context, false, 50.0, std::nullopt, {0, 0, 24, 24}, level);
        for (const gfx::FillRecord& fill : context.log().fills()) {
            if (std::abs(fill.bounds.minX() - 10) < 1e-9 &&
                std::abs(fill.bounds.minY() - 13) < 1e-9)
                return fill.bounds.height();
        }
        return 0.0;
    };
    EXPECT_NEAR(fillHeight(0.5), 3.3, 1e-9);
    EXPECT_NEAR(fillHeight(2), 6.6, 1e-9);
    EXPECT_NEAR(fillHeight(-1), 0, 1e-9);
}

TEST(TemperatureStatusImage, ChartWidthDoesNotFollowAValueNoWiderThanItsTemplate) {
    TemperaturePicture picture;
    picture.chartLength = 60;
    picture.celsius = 7;
    const double width = temperatureChartWidth(picture);
    const double texts =
        std::max(textWidth("0 \u00B0C", statusValueFont()),
                 textWidth(text(Copy::shortTemperature, AppLanguage::english), statusTitleFont()));
    EXPECT_DOUBLE_EQ(width, 5 + 60 + 7 + std::ceil(texts) + 8);
    picture.celsius = 3;
    EXPECT_DOUBLE_EQ(temperatureChartWidth(picture), width);
    // A wider value widens the image.
    picture.celsius = 42;
    EXPECT_GE(temperatureChartWidth(picture), width);
    picture.celsius = 3;
    picture.chartLength = inf;
    EXPECT_DOUBLE_EQ(temperatureChartWidth(picture), width + 25);
}

TEST(TemperatureStatusImage, ImageWidthMovesFromTheGaugeToTheChart) {
    CapsuleCache capsules;
    TemperaturePicture picture;
    picture.celsius = 61;
    picture.history = {40.0, 50.0, std::nullopt, 61.0};
    const double chart = temperatureChartWidth(picture);
    EXPECT_DOUBLE_EQ(temperatureStatusImage(capsules, picture, 0, 0.4).size().width, 24);
    EXPECT_DOUBLE_EQ(temperatureStatusImage(capsules, picture, -1, 0.4).size().width, 24);
    EXPECT_DOUBLE_EQ(temperatureStatusImage(capsules, picture, 1, 0.4).size().width, chart);
    EXPECT_DOUBLE_EQ(temperatureStatusImage(capsules, picture, 0.25, 0.4).size().width,
                     24 + 0.25 * (chart - 24));
}

// Pixels, not recorded colours: the thermometer before the morph draws its figure and degree sign
// at two alphas, and the texts that follow must still show at their own.
TEST(TemperatureStatusImage, TheMorphFadesTheGaugeOutAndTheTextsIn) {
    CapsuleCache capsules;
    TemperaturePicture picture;
    picture.celsius = 70;
    picture.dark = false;
    const double chart = temperatureChartWidth(picture);
    const double level = heatFraction(70.0);
    auto placement = [&](double p) {
        auto context = std::make_unique<gfx::RecordingContext>(gfx::Size{chart, 24});
        drawTemperatureMorph(*context, picture, chart, {0, 0, 24 + p * (chart - 24), 24}, p, level);
        return context;
    };
    // The strongest ink over the value text, above the capsule's own alpha just left of it.
    auto valueInk = [&](double p) {
        const gfx::Image frame = temperatureStatusImage(capsules, picture, p, level);
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(frame.size(), 2);
        gfx::Context context(bitmap);
        frame.draw(context, gfx::Point{0, 0});
        auto recorded = placement(p);
        const gfx::TextRecord* value = recorded->log().text("70 \u00B0C");
        EXPECT_NE(value, nullptr);
        if (!value)
            return 0;
        const gfx::Rect box = value->bounds;
        const int capsule = bitmap.pixelAtPoint({box.minX() - 3, box.midY()}).alpha;
        int strongest = 0;
        for (double y = box.minY() + 0.25; y < box.maxY(); y += 0.5) {
            for (double x = box.minX() + 0.25; x < box.maxX(); x += 0.5) {
                strongest = std::max(strongest, int(bitmap.pixelAtPoint({x, y}).alpha) - capsule);
            }
        }
        return strongest;
    };
    ASSERT_TRUE(temperatureStatusImage(capsules, picture, 0, level).bitmap());
    EXPECT_LE(valueInk(0.35), 2);
    EXPECT_LE(valueInk(0.6), 2);
    EXPECT_GT(valueInk(0.999), 150);

    auto early = placement(0.1);
    ASSERT_EQ(early->log().images().size(), 1u);
    EXPECT_GT(early->log().images()[0].fraction, 0.5);
    auto late = placement(0.999);
    EXPECT_TRUE(late->log().images().empty());
    const gfx::TextRecord* lateValue = late->log().text("70 \u00B0C");
    ASSERT_NE(lateValue, nullptr);
    EXPECT_NEAR(lateValue->bounds.maxX(), 24 + 0.999 * (chart - 24) - 8, 1e-6);
}

TEST(TemperatureStatusImage, TheProfileRisesFromZeroToOne) {
    TemperaturePicture picture;
    picture.celsius = 50;
    picture.history = {30.0, 45.0, 50.0};
    const FanMotionProfile profile = temperatureMotionProfile(picture, heatFraction(50.0));
    ASSERT_EQ(profile.distances.size(), 181u);
    EXPECT_DOUBLE_EQ(profile.distances.front(), 0);
    EXPECT_DOUBLE_EQ(profile.distances.back(), 1);
    for (std::size_t k = 1; k < profile.distances.size(); ++k) {
        EXPECT_GT(profile.distances[k], profile.distances[k - 1]) << k;
    }
}

TEST(TemperatureStatusImage, LiquidEasesFromTheShownLevelToTheTargetIn042Seconds) {
    const ThermometerLiquid liquid{0.2, 0.8, 10};
    EXPECT_DOUBLE_EQ(liquid.level(10), 0.2);
    EXPECT_NEAR(liquid.level(10.21), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(liquid.level(10.42), 0.8);
    EXPECT_DOUBLE_EQ(liquid.level(11), 0.8);
    EXPECT_FALSE(liquid.isFinished(10.41));
    EXPECT_TRUE(liquid.isFinished(10.43));
}

} // namespace
} // namespace pulsedeck
