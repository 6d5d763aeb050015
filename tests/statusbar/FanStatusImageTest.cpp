#include "statusbar/FanStatusImage.h"

#include "platform/graphics/RecordingContext.h"
#include "sources/FanReading.h"
#include "support/NonFinite.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numbers>

namespace pulsedeck {
namespace {

using testsupport::inf;
using testsupport::nan;

FanSnapshot oneFan(std::optional<double> rpm, std::optional<double> maximum,
                   std::optional<int> count = 1) {
    return {"Test", {{0, rpm, maximum}}, count};
}

std::vector<std::optional<double>> halfHistory() {
    return std::vector<std::optional<double>>(30, 0.5);
}

TEST(FanStatusImage, GraphWidthAddsNinetySixToTheDrawnChartLength) {
    EXPECT_DOUBLE_EQ(fanGraphWidth(10), 112);
    EXPECT_DOUBLE_EQ(fanGraphWidth(200), 256);
    EXPECT_DOUBLE_EQ(fanGraphWidth(inf), 181);
    EXPECT_DOUBLE_EQ(fanGraphWidth(85), 181);
}

TEST(FanStatusImage, OutlineAtProgressZeroLiesOnTheRingsValueArc) {
    FanOutlineInput input;
    const std::vector<gfx::Point> points = fanOutlinePoints(input, 0, 0.5);
    ASSERT_EQ(points.size(), 97u);
    for (const gfx::Point& point : points) {
        EXPECT_NEAR(std::hypot(point.x - 12, point.y - 12), 9.9, 1e-9);
    }
    // From the arc's end at the top (90°) back round to 225°.
    EXPECT_NEAR(points.front().x, 12, 1e-9);
    EXPECT_NEAR(points.front().y, 21.9, 1e-9);
    EXPECT_NEAR(points.back().x, 12 + 9.9 * std::cos(225 * std::numbers::pi / 180), 1e-9);
    EXPECT_NEAR(points.back().y, 12 + 9.9 * std::sin(225 * std::numbers::pi / 180), 1e-9);
    // Through the left side, not the right.
    EXPECT_LT(points[48].x, 12);
}

TEST(FanStatusImage, OutlineAtProgressOneIsTheGraphLine) {
    const std::vector<std::optional<double>> history = halfHistory();
    FanOutlineInput input{history, 0.5, 60, std::nullopt, 85, fanChartX};
    const std::vector<gfx::Point> points = fanOutlinePoints(input, 1, 0.5);
    ASSERT_EQ(points.size(), 97u);
    // 30 of 60 samples: the line starts 29/59 into the chart and ends at its end.
    EXPECT_NEAR(points.front().x, 26 + 85.0 * 29 / 59, 1e-6);
    EXPECT_NEAR(points.back().x, 26 + 85, 1e-6);
    for (const gfx::Point& point : points) {
        EXPECT_NEAR(point.y, 3 + 0.5 * 18, 1e-9);
    }
}

TEST(FanStatusImage, OutlineStaysInsideThePictureThroughoutTheMorph) {
    const std::vector<std::optional<double>> history = {0.0, 1.0, std::nullopt, 0.2, 1.0, 0.7};
    for (double value : {0.0, 0.3, 1.0}) {
        FanOutlineInput input{history, value, 60, std::nullopt, 85, fanChartX};
        for (int step = 0; step <= 50; ++step) {
            const double p = step / 50.0;
            const double width = 24 + p * (181 - 24);
            for (const gfx::Point& point : fanOutlinePoints(input, p, value)) {
                ASSERT_TRUE(std::isfinite(point.x) && std::isfinite(point.y));
                EXPECT_GE(point.x, 2.1 - 1e-9) << p;
                EXPECT_LE(point.x, width - 2.1 + 1e-9) << p;
                EXPECT_GE(point.y, 2.1 - 1e-9) << p;
                EXPECT_LE(point.y, 21.9 + 1e-9) << p;
            }
        }
    }
}

TEST(FanStatusImage, ACapacityBelowTwoCountsAsTwo) {
    const std::vector<std::optional<double>> history = {0.4, 0.6};
    for (int capacity : {-3, 0, 1}) {
        FanOutlineInput input{history, 0.6, capacity, std::nullopt, 85, fanChartX};
        FanOutlineInput two{history, 0.6, 2, std::nullopt, 85, fanChartX};
        for (double p : {0.0, 0.5, 0.9, 1.0}) {
            const auto points = fanOutlinePoints(input, p, 0.6);
            const auto reference = fanOutlinePoints(two, p, 0.6);
            ASSERT_EQ(points.size(), reference.size());
            for (std::size_t i = 0; i < points.size(); ++i) {
                ASSERT_TRUE(std::isfinite(points[i].x) && std::isfinite(points[i].y));
                EXPECT_DOUBLE_EQ(points[i].x, reference[i].x);
            }
        }
        FanPicture picture;
        picture.snapshot = oneFan(3000, 6000);
        picture.history = history;
        picture.capacity = capacity;
        gfx::RecordingContext context({181, 24});
        drawFanGraph(context, picture, {0, 0, 181, 24});
        for (const gfx::StrokeRecord& stroke : context.log().strokes()) {
            EXPECT_TRUE(std::isfinite(stroke.bounds.minX()));
        }
    }
}

TEST(FanStatusImage, GeometryUnrollsTheArcInStages) {
    const double valueArc = 9.9 * 270 * 0.5 * std::numbers::pi / 180;
    FanOutlineGeometry start = fanOutlineGeometry(0, 0.5, 60);
    EXPECT_DOUBLE_EQ(start.straight, 0);
    EXPECT_NEAR(start.arc, valueArc, 1e-12);
    EXPECT_NEAR(start.rotation, std::numbers::pi, 1e-12);
    // Horizontal from 0.25, straight from 0.75, the chart's length from 0.88.
    EXPECT_DOUBLE_EQ(fanOutlineGeometry(0.25, 0.5, 60).rotation, 0);
    EXPECT_NEAR(fanOutlineGeometry(0.75, 0.5, 60).arc, 0, 1e-12);
    EXPECT_NEAR(fanOutlineGeometry(0.88, 0.5, 60).straight, 60, 1e-12);
    EXPECT_NEAR(fanOutlineGeometry(1, 0.5, 60).straight, 60, 1e-12);
}

TEST(FanStatusImage, RingShowsItsMarkerOnlyWithoutASpeed) {
    auto markersOf = [](const FanSnapshot& snapshot) {
        FanPicture picture;
        picture.snapshot = snapshot;
        gfx::RecordingContext context({24, 24});
        drawFanRing(context, picture, {0, 0, 24, 24});
        std::vector<std::string> texts;
        for (const gfx::TextRecord& text : context.log().texts()) {
            texts.push_back(text.text);
            EXPECT_NEAR(text.origin.x, 18, 1e-9);
            EXPECT_NEAR(text.origin.y, 0, 1e-9);
        }
        return std::pair{texts, context.log().strokes().size()};
    };
    // Fanless: the track and a minus sign.
    auto [fanless, fanlessStrokes] = markersOf({"Test", {}, 0});
    EXPECT_EQ(fanless, std::vector<std::string>{"\u2212"});
    EXPECT_EQ(fanlessStrokes, 1u);
    // A count but no speed, or no count at all: a question mark.
    EXPECT_EQ(markersOf(oneFan(std::nullopt, 5000)).first, std::vector<std::string>{"?"});
    EXPECT_EQ(markersOf({"Test", {}, std::nullopt}).first, std::vector<std::string>{"?"});
    // A full fan: no marker, the track and a full 270° load arc.
    auto [full, fullStrokes] = markersOf(oneFan(5000, 5000));
    EXPECT_TRUE(full.empty());
    EXPECT_EQ(fullStrokes, 2u);
}

TEST(FanStatusImage, GraphShowsHalfAHistoryInTheRightHalfAndTheSpeed) {
    FanPicture picture;
    picture.snapshot = oneFan(2345.4, 6000);
    picture.history = halfHistory();
    gfx::RecordingContext context({181, 24});
    drawFanGraph(context, picture, {0, 0, 181, 24});
    const gfx::DrawingRecorder& log = context.log();
    const auto strokes = log.strokes();
    ASSERT_FALSE(strokes.empty());
    EXPECT_NEAR(strokes.front().bounds.minX(), 26 + 85.0 * 29 / 59, 1e-6);
    EXPECT_NEAR(strokes.back().bounds.maxX(), 111, 1e-6);
    ASSERT_NE(log.text("2345 RPM"), nullptr);
    EXPECT_NEAR(log.text("2345 RPM")->bounds.maxX(), 173, 1e-6);
    EXPECT_NEAR(log.text("2345 RPM")->origin.y, 2, 1e-9);

    picture.snapshot = {"Test", {}, 0};
    gfx::RecordingContext fanless({181, 24});
    drawFanGraph(fanless, picture, {0, 0, 181, 24});
    EXPECT_NE(fanless.log().text("\u2014 RPM"), nullptr);
}

TEST(FanStatusImage, RotorLoadKeySpeedAndRate) {
    const auto full = oneFan(5000, 5000).fans;
    EXPECT_EQ(rotorLoad(full), (RotorLoad{true, true}));
    EXPECT_EQ(rotorFramesKey(true, rotorLoad(full)), "true-true-true");
    EXPECT_EQ(rotorFramesKey(false, rotorLoad(full)), "false-true-true");
    EXPECT_DOUBLE_EQ(rotorSpeed(FanDisplayMode::ring, FanAnimationMode::smooth, true, full), 2.75);
    EXPECT_DOUBLE_EQ(rotorSpeed(FanDisplayMode::graph, FanAnimationMode::efficient, true,
                                oneFan(2000, 6000).fans),
                     1.1);
    EXPECT_EQ(rotorLoad(oneFan(4500, 5000).fans), (RotorLoad{true, false}));
    EXPECT_EQ(rotorLoad(oneFan(4200, 5000).fans), (RotorLoad{false, false}));
    EXPECT_EQ(rotorLoad(oneFan(std::nullopt, 5000).fans), (RotorLoad{false, false}));

    EXPECT_EQ(rotorSpeed(FanDisplayMode::hidden, FanAnimationMode::smooth, true, full), 0);
    EXPECT_EQ(rotorSpeed(FanDisplayMode::ring, FanAnimationMode::off, true, full), 0);
    EXPECT_EQ(rotorSpeed(FanDisplayMode::ring, FanAnimationMode::smooth, false, full), 0);
    EXPECT_EQ(
        rotorSpeed(FanDisplayMode::ring, FanAnimationMode::smooth, true, oneFan(nan, 5000).fans),
        0);

    EXPECT_EQ(rotorFrameRate(FanAnimationMode::off), 0);
    EXPECT_EQ(rotorFrameRate(FanAnimationMode::efficient), 12);
    EXPECT_EQ(rotorFrameRate(FanAnimationMode::smooth), 30);
    EXPECT_DOUBLE_EQ(rotorTimerInterval(0), 1);
    EXPECT_DOUBLE_EQ(rotorTimerInterval(12), 1.0 / 12);
}

TEST(FanStatusImage, RebasingKeepsTheAngleAndFoldsItIntoTheBladeSymmetry) {
    FanPhaseClock phase{1.0, 100, 10};
    // Half a second at one turn a second: 100 + 180 = 280°, folded to 40°.
    rebasePhase(phase, 10.5, 2.0);
    EXPECT_DOUBLE_EQ(phase.phase, 40);
    EXPECT_DOUBLE_EQ(phase.lastTime, 10.5);
    EXPECT_DOUBLE_EQ(phase.speed, 2.0);
    // A clock stepping back adds nothing.
    rebasePhase(phase, 9, 0);
    EXPECT_DOUBLE_EQ(phase.phase, 40);
}

TEST(FanStatusImage, ImagesHaveTheirPointSizesAtScaleTwo) {
    FanPicture picture;
    picture.snapshot = oneFan(3000, 6000);
    picture.chartLength = 200;
    EXPECT_EQ(fanRingImage(picture).size(), (gfx::Size{24, 24}));
    const gfx::Image graph = fanGraphImage(picture);
    EXPECT_EQ(graph.size(), (gfx::Size{256, 24}));
    ASSERT_NE(graph.bitmap(), nullptr);
    EXPECT_EQ(graph.bitmap()->pixelsWide(), 512);
    EXPECT_EQ(fanTransitionImage(picture, 0.5).size(), (gfx::Size{24 + 0.5 * 232, 24}));
}

} // namespace
} // namespace pulsedeck
