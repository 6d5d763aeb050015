#include "platform/graphics/CoverageMask.h"

#include "platform/graphics/StrokeOutline.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace gfx {
namespace {

using Polygon = std::vector<Point>;

std::vector<std::uint8_t> rasterised(int width, int height, const std::vector<Polygon>& polygons) {
    CoverageMask mask(0, 0, width, height);
    for (const Polygon& polygon : polygons) {
        mask.addPolygon(polygon);
    }
    return mask.resolved();
}

Polygon rectangle(double x0, double y0, double x1, double y1) {
    return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}

// Coverage as cairo's own scan converter draws it into an A8 surface.
std::vector<std::uint8_t> cairoCoverage(int width, int height,
                                        const std::function<void(cairo_t*)>& draw) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height));
    const std::uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int row = 0; row < height; ++row) {
        std::copy_n(data + row * stride, width, pixels.begin() + row * width);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

void addPath(cairo_t* cr, const Polygon& points) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        (i == 0 ? cairo_move_to : cairo_line_to)(cr, points[i].x, points[i].y);
    }
}

struct Difference {
    int largest = 0;
    double mean = 0;
    // The share of pixels that differ by more than a few levels.
    double overFew = 0;
};

Difference difference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    Difference result;
    double total = 0;
    int over = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        int d = std::abs(int(a[i]) - int(b[i]));
        result.largest = std::max(result.largest, d);
        total += d;
        over += d > 4;
    }
    result.mean = total / double(a.size());
    result.overFew = double(over) / double(a.size());
    return result;
}

// A history chart's line as the strip draws it at scale 2: 60 samples across 170 × 36 pixels.
Polygon chartLine(std::mt19937& random, double jump) {
    std::uniform_real_distribution<double> height(1, 35);
    std::uniform_real_distribution<double> step(-jump, jump);
    Polygon line;
    double y = height(random);
    for (int i = 0; i < 60; ++i) {
        line.push_back({1 + i * (168.0 / 59), y});
        y = std::clamp(y + step(random), 1.0, 35.0);
    }
    return line;
}

TEST(CoverageMask, APixelAlignedRectangleCoversWholePixelsOnly) {
    std::vector<std::uint8_t> pixels = rasterised(10, 12, {rectangle(2, 3, 7, 9)});
    for (int row = 0; row < 12; ++row) {
        for (int column = 0; column < 10; ++column) {
            bool inside = column >= 2 && column < 7 && row >= 3 && row < 9;
            EXPECT_EQ(pixels[row * 10 + column], inside ? 255 : 0) << column << "," << row;
        }
    }
}

TEST(CoverageMask, AHalfCoveredPixelIsHalf) {
    std::vector<std::uint8_t> pixels = rasterised(10, 10, {rectangle(2.5, 3.5, 6, 8)});
    EXPECT_EQ(pixels[5 * 10 + 2], 128);
    EXPECT_EQ(pixels[3 * 10 + 4], 128);
    EXPECT_EQ(pixels[3 * 10 + 2], 64);
    EXPECT_EQ(pixels[5 * 10 + 3], 255);
    EXPECT_EQ(pixels[5 * 10 + 6], 0);
    // A diagonal through a pixel's corners halves it too.
    std::vector<std::uint8_t> diagonal = rasterised(4, 4, {{{0, 0}, {4, 4}, {0, 4}}});
    EXPECT_EQ(diagonal[1 * 4 + 1], 128);
    EXPECT_EQ(diagonal[2 * 4 + 0], 255);
    EXPECT_EQ(diagonal[1 * 4 + 2], 0);
}

TEST(CoverageMask, ATrianglesCoverageAddsUpToItsArea) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(0.5, 39.5);
    for (int trial = 0; trial < 50; ++trial) {
        Polygon triangle{{coordinate(random), coordinate(random)},
                         {coordinate(random), coordinate(random)},
                         {coordinate(random), coordinate(random)}};
        double area = std::fabs((triangle[1].x - triangle[0].x) * (triangle[2].y - triangle[0].y) -
                                (triangle[2].x - triangle[0].x) * (triangle[1].y - triangle[0].y)) /
                      2;
        std::vector<std::uint8_t> pixels = rasterised(40, 40, {triangle});
        double covered = 0;
        int touched = 0;
        for (std::uint8_t value : pixels) {
            covered += value / 255.0;
            touched += value > 0;
        }
        // Only the rounding of each pixel to 8 bits may differ.
        EXPECT_NEAR(covered, area, 0.5 / 255 * touched + 1e-6) << trial;
        // Either winding gives the same coverage.
        std::reverse(triangle.begin(), triangle.end());
        EXPECT_EQ(rasterised(40, 40, {triangle}), pixels) << trial;
    }
}

TEST(CoverageMask, OverlappingShapesFollowTheNonZeroRule) {
    Polygon left = rectangle(1, 1, 6, 6);
    Polygon right = rectangle(4, 2, 9, 7);
    std::vector<std::uint8_t> same = rasterised(10, 10, {left, right});
    EXPECT_EQ(same[3 * 10 + 5], 255);
    EXPECT_EQ(same[3 * 10 + 2], 255);
    EXPECT_EQ(same[3 * 10 + 8], 255);
    EXPECT_EQ(same[0 * 10 + 5], 0);

    // Wound against each other the overlap has no winding and stays empty.
    std::reverse(right.begin(), right.end());
    std::vector<std::uint8_t> opposed = rasterised(10, 10, {left, right});
    EXPECT_EQ(opposed[3 * 10 + 5], 0);
    EXPECT_EQ(opposed[3 * 10 + 2], 255);
    EXPECT_EQ(opposed[3 * 10 + 8], 255);

    // Many layers of one winding still cover once.
    std::vector<Polygon> stack(300, rectangle(0, 0, 10, 10));
    std::vector<std::uint8_t> stacked = rasterised(10, 10, stack);
    EXPECT_TRUE(std::all_of(stacked.begin(), stacked.end(), [](int v) { return v == 255; }));
}

TEST(CoverageMask, EdgesBeyondTheBoxCoverWhatLiesInside) {
    // The same shapes seen through a small box and through a box around all of them.
    std::vector<Polygon> shapes{
        {{-20, 5}, {30, -10}, {25, 40}},
        {{3, -30}, {50, 12}, {-8, 25}},
        {{2, 2}, {60, 3}, {61, 9}, {1.5, 8}},
        {{-40, 20.5}, {40, 20.5}, {40, 23.25}, {-40, 23.25}},
    };
    for (const Polygon& shape : shapes) {
        CoverageMask wide(-64, -64, 160, 160);
        wide.addPolygon(shape);
        std::vector<std::uint8_t> all = wide.resolved();
        CoverageMask box(4, 6, 17, 19);
        box.addPolygon(shape);
        std::vector<std::uint8_t> seen = box.resolved();
        for (int row = 0; row < 19; ++row) {
            for (int column = 0; column < 17; ++column) {
                int expected = all[std::size_t(row + 70) * 160 + std::size_t(column + 68)];
                EXPECT_NEAR(seen[std::size_t(row) * 17 + std::size_t(column)], expected, 1)
                    << column << "," << row;
            }
        }
    }
}

TEST(CoverageMask, DegenerateInputIsHarmless) {
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    auto blank = [](const std::vector<std::uint8_t>& pixels) {
        return std::all_of(pixels.begin(), pixels.end(), [](int v) { return v == 0; });
    };
    auto full = [](const std::vector<std::uint8_t>& pixels) {
        return std::all_of(pixels.begin(), pixels.end(), [](int v) { return v == 255; });
    };
    EXPECT_TRUE(blank(rasterised(8, 8, {{}})));
    EXPECT_TRUE(blank(rasterised(8, 8, {{{3, 3}}})));
    EXPECT_TRUE(blank(rasterised(8, 8, {{{1, 1}, {6, 6}}})));
    EXPECT_TRUE(blank(rasterised(8, 8, {{{1, 1}, {7, 1}, {nan, 7}, {1, 7}}})));
    EXPECT_TRUE(blank(rasterised(8, 8, {rectangle(1e300, 1e300, 2e300, 2e300)})));
    EXPECT_TRUE(full(rasterised(8, 8, {rectangle(-1e300, -1e300, 1e300, 1e300)})));
    EXPECT_TRUE(full(rasterised(8, 8, {rectangle(-inf, -inf, inf, inf)})));
    EXPECT_TRUE(full(rasterised(8, 8, {rectangle(-1e308, -1, 1.7e308, 9)})));

    CoverageMask lone(0, 0, 8, 8);
    lone.addEdge({nan, 0}, {4, 8});
    lone.addEdge({4, 4}, {6, 4});
    EXPECT_TRUE(blank(lone.resolved()));

    CoverageMask transformed(0, 0, 8, 8);
    transformed.addPolygon(rectangle(0, 0, 1e200, 4), AffineTransform{1e200, 0, 0, 1, -1e300, 0});
    transformed.addPolygon(rectangle(0, 0, 1, nan), AffineTransform{2, 0, 0, 2, 0, 0});
    EXPECT_EQ(transformed.resolved().size(), 64u);

    for (auto [width, height] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, -3}}) {
        CoverageMask empty(2, 2, width, height);
        EXPECT_TRUE(empty.isEmpty());
        empty.addPolygon(rectangle(0, 0, 10, 10));
        EXPECT_TRUE(empty.resolved().empty());
    }
}

TEST(CoverageMask, TransformedPolygonsLandInDeviceSpace) {
    // Scale 2 with y up over a 10-point-high space, as a context at scale 2 draws.
    AffineTransform toDevice{2, 0, 0, -2, 0, 20};
    CoverageMask mask(0, 0, 20, 20);
    mask.addPolygon(rectangle(1, 1, 3, 2), toDevice);
    std::vector<std::uint8_t> pixels = mask.resolved();
    EXPECT_EQ(pixels[16 * 20 + 2], 255);
    EXPECT_EQ(pixels[17 * 20 + 5], 255);
    EXPECT_EQ(pixels[15 * 20 + 3], 0);
    EXPECT_EQ(pixels[18 * 20 + 3], 0);
    EXPECT_EQ(pixels[16 * 20 + 6], 0);
}

TEST(CoverageMask, CoversTheShapesPixelsWithinTheClip) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 50);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 10, 10, 30, 20);
    cairo_clip(cr);
    // A user-space scale does not change the device box.
    cairo_scale(cr, 2, 2);

    std::optional<CoverageMask> whole = CoverageMask::covering(cr, {0, 0, 100, 100});
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->x(), 10);
    EXPECT_EQ(whole->y(), 10);
    EXPECT_EQ(whole->width(), 30);
    EXPECT_EQ(whole->height(), 20);

    std::optional<CoverageMask> part = CoverageMask::covering(cr, {12.5, 4, 3.2, 9.5});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->x(), 12);
    EXPECT_EQ(part->y(), 10);
    EXPECT_EQ(part->width(), 4);
    EXPECT_EQ(part->height(), 4);

    std::optional<CoverageMask> outside = CoverageMask::covering(cr, {60, 0, 10, 10});
    ASSERT_TRUE(outside);
    EXPECT_TRUE(outside->isEmpty());
    std::optional<CoverageMask> notANumber = CoverageMask::covering(cr, {std::nan(""), 0, 10, 10});
    ASSERT_TRUE(notANumber);
    EXPECT_TRUE(notANumber->isEmpty());
    cairo_destroy(cr);
    cairo_surface_destroy(surface);

    // Without a surface's bounds to hold it, too large a shape is left to the caller.
    cairo_surface_t* unbounded = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    cairo_t* recording = cairo_create(unbounded);
    EXPECT_FALSE(CoverageMask::covering(recording, {0, 0, 1e6, 1e6}));
    std::optional<CoverageMask> small = CoverageMask::covering(recording, {-20.5, 0, 100, 100});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->box(), (CoverageMask::Box{-21, 0, 101, 100}));
    cairo_destroy(recording);
    cairo_surface_destroy(unbounded);
}

TEST(CoverageMask, PaintsTheSourceThroughTheClipAndOperator) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 10);
    cairo_t* cr = cairo_create(surface);
    cairo_rectangle(cr, 0, 0, 10, 10);
    cairo_clip(cr);
    cairo_translate(cr, 50, 50);
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    CoverageMask mask(0, 0, 20, 10);
    mask.addPolygon(rectangle(2, 2, 18, 8));
    mask.addPolygon(rectangle(4, 8, 5, 9));
    mask.paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    CoverageMask hole(4, 4, 2, 2);
    hole.addPolygon(rectangle(0, 0, 100, 100));
    hole.paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    auto pixel = [&](int x, int y) {
        const std::uint8_t* data = cairo_image_surface_get_data(surface);
        return *reinterpret_cast<const std::uint32_t*>(
            data + y * cairo_image_surface_get_stride(surface) + x * 4);
    };
    EXPECT_EQ(pixel(3, 3), 0xffff0000u);
    EXPECT_EQ(pixel(4, 8), 0xffff0000u);
    EXPECT_EQ(pixel(1, 3), 0u);
    EXPECT_EQ(pixel(4, 4), 0u);
    EXPECT_EQ(pixel(5, 5), 0u);
    EXPECT_EQ(pixel(6, 6), 0xffff0000u);
    // Outside the clip nothing is painted.
    EXPECT_EQ(pixel(12, 5), 0u);
    cairo_surface_destroy(surface);
}

// The rasteriser is exact and cairo samples 15 rows to a pixel, so the two differ on the pixels a
// shallow edge crosses, by up to half a sample row; a wrong cover would differ by far more, on
// many more pixels.
TEST(CoverageMask, FillsAsCairoFillsChartOutlines) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 20; ++trial) {
        Polygon outline = chartLine(random, trial % 2 ? 30 : 4);
        outline.push_back({outline.back().x, 1});
        outline.push_back({outline.front().x, 1});
        std::vector<std::uint8_t> ours = rasterised(172, 38, {outline});
        std::vector<std::uint8_t> theirs = cairoCoverage(172, 38, [&](cairo_t* cr) {
            addPath(cr, outline);
            cairo_close_path(cr);
            cairo_fill(cr);
        });
        Difference d = difference(ours, theirs);
        EXPECT_LE(d.largest, 32) << trial;
        EXPECT_LT(d.mean, 0.1) << trial;
        EXPECT_LT(d.overFew, 0.005) << trial;
    }
}

TEST(CoverageMask, BevelStrokesAsCairoStrokes) {
    std::mt19937 random(5);
    for (int trial = 0; trial < 20; ++trial) {
        Polygon line = chartLine(random, trial % 2 ? 30 : 4);
        double width = trial % 3 == 0 ? 1 : 2;
        CoverageMask mask(0, 0, 172, 38);
        bevelStrokeOutline(line, width,
                           [&](std::span<const Point> piece) { mask.addPolygon(piece); });
        std::vector<std::uint8_t> ours = mask.resolved();
        std::vector<std::uint8_t> theirs = cairoCoverage(172, 38, [&](cairo_t* cr) {
            addPath(cr, line);
            cairo_set_line_width(cr, width);
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_BEVEL);
            cairo_stroke(cr);
        });
        Difference d = difference(ours, theirs);
        EXPECT_LE(d.largest, 12) << trial;
        EXPECT_LT(d.mean, 0.2) << trial;
        EXPECT_LT(d.overFew, 0.015) << trial;
    }
}

} // namespace
} // namespace gfx
