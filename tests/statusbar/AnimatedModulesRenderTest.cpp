#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/FanModeMorph.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/TemperatureStatusImage.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace pulsedeck {
namespace {

// The moments of a 0.78 s morph the filmstrips show.
constexpr double filmstripTimes[] = {0, 0.2, 0.39, 0.78};
constexpr double columnWidth = 200;
constexpr double rowHeight = 30;

gfx::Rgba8 pixel(const gfx::Image& image, gfx::Point point) {
    EXPECT_NE(image.bitmap(), nullptr);
    return image.bitmap() ? image.bitmap()->pixelAtPoint(point) : gfx::Rgba8{};
}

// Premultiplied pixels: the blue channel dominates a palette-blue stroke.
bool isBlue(gfx::Rgba8 p) {
    return p.alpha > 150 && p.blue > p.red + 60;
}

gfx::Point onCircle(double radius, double degrees) {
    const double angle = degrees * std::numbers::pi / 180;
    return {12 + radius * std::cos(angle), 12 + radius * std::sin(angle)};
}

std::vector<std::optional<double>> wave(double scale) {
    std::vector<std::optional<double>> values;
    for (int i = 0; i < 48; ++i) {
        values.push_back(i == 20 ? std::nullopt
                                 : std::optional((0.5 + 0.4 * std::sin(i / 5.0)) * scale));
    }
    return values;
}

std::vector<ComputeSnapshot> computeHistory() {
    std::vector<ComputeSnapshot> history;
    for (int i = 0; i < 60; ++i) {
        ComputeSnapshot snapshot;
        snapshot.cpu = 45 + 35 * std::sin(i / 6.0);
        snapshot.gpu = 20 + 15 * std::cos(i / 4.0);
        history.push_back(snapshot);
    }
    return history;
}

FanPicture fanPicture(bool dark) {
    FanPicture picture;
    picture.snapshot = {"Test", {{0, 4200, 6000}}, 1};
    picture.history = wave(1);
    picture.dark = dark;
    return picture;
}

TemperaturePicture temperaturePicture(bool dark) {
    TemperaturePicture picture;
    picture.celsius = 68;
    picture.history = wave(100);
    picture.dark = dark;
    return picture;
}

ComputePicture computePicture(bool dark) {
    ComputePicture picture;
    picture.history = computeHistory();
    picture.snapshot = picture.history.back();
    picture.dark = dark;
    return picture;
}

// Rows of frames on a light and a dark menu-bar background, written for people to look at.
class Filmstrip {
public:
    explicit Filmstrip(int rows, int columns = 4)
        : bitmap_(gfx::Bitmap::forPointSize({columnWidth * columns + 10, rowHeight * rows + 6}, 2)),
          context_(bitmap_) {}

    void add(int row, bool dark, const std::vector<gfx::Image>& frames) {
        const double y = bitmap_.size().height - rowHeight * (row + 1);
        context_.setFillColor(dark ? gfx::Color::grey(0.16) : gfx::Color::grey(0.93));
        context_.fillRect({0, y - 3, bitmap_.size().width, rowHeight});
        double x = 6;
        for (const gfx::Image& frame : frames) {
            frame.draw(context_, gfx::Rect{{x, y}, frame.size()});
            x += columnWidth;
        }
    }

    void write(std::string_view name) {
        EXPECT_TRUE(bitmap_.writePng(testsupport::artifactPath(name).string()));
    }

private:
    gfx::Bitmap bitmap_;
    gfx::Context context_;
};

TEST(AnimatedModulesRender, TheFanRingsLoadArcRunsClockwiseFromTheLowerLeft) {
    FanPicture picture = fanPicture(true);
    picture.snapshot = {"Test", {{0, 3000, 6000}}, 1};
    const gfx::Image ring = fanRingImage(picture);
    // Half load: from 225° down the left, over the top to 90°.
    EXPECT_TRUE(isBlue(pixel(ring, onCircle(9.9, 180))));
    EXPECT_TRUE(isBlue(pixel(ring, onCircle(9.9, 100))));
    EXPECT_FALSE(isBlue(pixel(ring, onCircle(9.9, 0))));
    EXPECT_FALSE(isBlue(pixel(ring, onCircle(9.9, 270))));
    // The filmstrip people look at: the ring unrolling into the graph over the morph's time.
    Filmstrip strip(2);
    for (bool dark : {false, true}) {
        const FanPicture picture = fanPicture(dark);
        const FanMorph morph{0, 1, 0, modeMorphDuration, fanMotionProfile(picture)};
        std::vector<gfx::Image> frames;
        for (double t : filmstripTimes) {
            const double g = morph.value(t);
            frames.push_back(g <= 0   ? fanRingImage(picture)
                             : g >= 1 ? fanGraphImage(picture)
                                      : fanTransitionImage(picture, g));
        }
        strip.add(dark ? 1 : 0, dark, frames);
    }
    strip.write("fan-morph-filmstrip.png");
}

TEST(AnimatedModulesRender, TheThermometerBulbRoundsTheBottomOfTheGlyph) {
    CapsuleCache capsules;
    const TemperaturePicture picture = temperaturePicture(true);
    const gfx::Image gauge = temperatureStatusImage(capsules, picture, 0, 1);
    // The liquid fills the bulb's lower half (below its centre at y 14.35): only an arc that
    // runs clockwise from 57° round the bottom to 123° encloses it.
    const gfx::Rgba8 bulb = pixel(gauge, {12, 13.6});
    EXPECT_GT(bulb.alpha, 180);
    EXPECT_GT(bulb.red, 180);
    // Outside the glyph, left of the stem, nothing but the transparent middle of the ring.
    EXPECT_LT(pixel(gauge, {9.6, 17}).alpha, 30);
    // A level of 0 leaves the bulb empty inside its outline.
    const gfx::Image empty = temperatureStatusImage(capsules, picture, 0, 0);
    EXPECT_LT(pixel(empty, {12, 14.2}).alpha, 60);
}

TEST(AnimatedModulesRender, TheThermometerArcFillsClockwiseToTheLevel) {
    CapsuleCache capsules;
    TemperaturePicture picture = temperaturePicture(false);
    picture.celsius = 40;
    picture.tint = gfx::Color::srgb(0, 0, 1);
    const gfx::Image gauge = temperatureStatusImage(capsules, picture, 0, 0.25);
    // A quarter of 270°: from 225° to 157.5°, up the left side.
    EXPECT_TRUE(isBlue(pixel(gauge, onCircle(9.9, 190))));
    EXPECT_FALSE(isBlue(pixel(gauge, onCircle(9.9, 90))));
    EXPECT_FALSE(isBlue(pixel(gauge, onCircle(9.9, -20))));
    // The filmstrip people look at, by progress rather than time, so the frames show the gauge
    // fading out first and the texts fading in after it.
    constexpr double progresses[] = {0, 0.15, 0.5, 0.8, 0.86, 0.92, 1};
    Filmstrip strip(2, 7);
    for (bool dark : {false, true}) {
        const TemperaturePicture picture = temperaturePicture(dark);
        const double level = heatFraction(picture.celsius);
        std::vector<gfx::Image> frames;
        for (double p : progresses) {
            frames.push_back(temperatureStatusImage(capsules, picture, p, level));
        }
        strip.add(dark ? 1 : 0, dark, frames);
    }
    strip.write("temperature-morph-filmstrip.png");
}

TEST(AnimatedModulesRender, LoadBarsFillFromTheBottomToTheirLoad) {
    CapsuleCache capsules;
    ComputePicture picture = computePicture(false);
    picture.history.clear();
    picture.snapshot.cpu = 50;
    picture.snapshot.gpu = 150;
    const gfx::Image bars = computeStatusImage(capsules, picture);
    EXPECT_TRUE(isBlue(pixel(bars, {11, 5})));
    EXPECT_TRUE(isBlue(pixel(bars, {11, 11})));
    EXPECT_FALSE(isBlue(pixel(bars, {11, 16})));
    // A GPU load the text cannot show draws no bar, only the faint frame.
    const gfx::Rgba8 gpu = pixel(bars, {21, 10});
    EXPECT_LT(gpu.alpha, 60);
    // The filmstrip people look at: the bars growing into the chart, and the chart giving way to
    // the compact rows.
    Filmstrip strip(4);
    for (bool dark : {false, true}) {
        ComputePicture picture = computePicture(dark);
        const FanMorph morph{0, 1, 0, modeMorphDuration, std::nullopt};
        std::vector<gfx::Image> chart;
        std::vector<gfx::Image> compact;
        for (double t : filmstripTimes) {
            picture.progress = morph.value(t);
            picture.compactProgress = 0;
            chart.push_back(computeStatusImage(capsules, picture));
            picture.progress = 1 - morph.value(t);
            picture.compactProgress = morph.value(t);
            compact.push_back(computeStatusImage(capsules, picture));
        }
        strip.add(dark ? 2 : 0, dark, chart);
        strip.add(dark ? 3 : 1, dark, compact);
    }
    strip.write("compute-morph-filmstrip.png");
}

} // namespace
} // namespace pulsedeck
