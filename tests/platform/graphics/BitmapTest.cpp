#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using gfx::Bitmap;
using gfx::Rgba8;

// Writes one stored (premultiplied) pixel, row counted from the top.
void put(Bitmap& bitmap, int column, int row, Rgba8 pixel) {
    cairo_surface_flush(bitmap.surface());
    unsigned char* data = cairo_image_surface_get_data(bitmap.surface());
    auto* word = reinterpret_cast<std::uint32_t*>(
        data + row * cairo_image_surface_get_stride(bitmap.surface()) + column * 4);
    *word = std::uint32_t(pixel.alpha) << 24 | std::uint32_t(pixel.red) << 16 |
            std::uint32_t(pixel.green) << 8 | pixel.blue;
    cairo_surface_mark_dirty(bitmap.surface());
}

TEST(Bitmap, ACopyHasThePixelsAndSizesAndLivesApart) {
    Bitmap original(5, 3, {2.5, 1.5});
    put(original, 0, 0, {10, 20, 30, 40});
    put(original, 4, 2, {1, 2, 3, 255});
    Bitmap copy = original.copy();
    ASSERT_EQ(copy.pixelsWide(), 5);
    ASSERT_EQ(copy.pixelsHigh(), 3);
    EXPECT_EQ(copy.size(), (gfx::Size{2.5, 1.5}));
    EXPECT_EQ(copy.pixel(0, 0), (Rgba8{10, 20, 30, 40}));
    EXPECT_EQ(copy.pixel(4, 2), (Rgba8{1, 2, 3, 255}));
    EXPECT_EQ(copy.pixel(2, 1), Rgba8{});

    // Drawn into, moved and outliving the original, it keeps its own pixels.
    put(copy, 0, 0, {0, 0, 0, 255});
    EXPECT_EQ(original.pixel(0, 0), (Rgba8{10, 20, 30, 40}));
    cairo_t* cr = cairo_create(copy.surface());
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    cairo_rectangle(cr, 1, 1, 1, 1);
    cairo_fill(cr);
    cairo_destroy(cr);
    Bitmap moved = std::move(copy);
    original = Bitmap(1, 1, {1, 1});
    EXPECT_EQ(moved.pixel(1, 1), (Rgba8{255, 0, 0, 255}));
    EXPECT_EQ(moved.copy().pixel(1, 1), (Rgba8{255, 0, 0, 255}));

    // Nothing to copy gives nothing.
    EXPECT_TRUE(Bitmap(0, 0, {1, 1}).copy().isEmpty());
}

TEST(Bitmap, HalvingAveragesEachChannelOfTwoByTwoBlocksRoundingHalvesUp) {
    Bitmap bitmap(2, 2, {1, 1});
    put(bitmap, 0, 0, {255, 0, 1, 255});
    put(bitmap, 1, 0, {255, 255, 1, 255});
    put(bitmap, 0, 1, {254, 0, 0, 255});
    put(bitmap, 1, 1, {254, 1, 0, 254});
    Bitmap half = bitmap.halved();
    ASSERT_EQ(half.pixelsWide(), 1);
    ASSERT_EQ(half.pixelsHigh(), 1);
    // (1018 + 2) / 4, (256 + 2) / 4, (2 + 2) / 4, (1019 + 2) / 4: no channel spills into the next.
    EXPECT_EQ(half.pixel(0, 0), (Rgba8{255, 64, 1, 255}));
    EXPECT_EQ(half.size(), (gfx::Size{1, 1}));
}

TEST(Bitmap, HalvingAnOddSizeLetsTheLastRowAndColumnStandInForTheirPartners) {
    Bitmap bitmap(3, 3, {3, 3});
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            put(bitmap, column, row, {0, 0, 0, std::uint8_t(column == 2 || row == 2 ? 200 : 40)});
    Bitmap half = bitmap.halved();
    ASSERT_EQ(half.pixelsWide(), 2);
    ASSERT_EQ(half.pixelsHigh(), 2);
    EXPECT_EQ(half.pixel(0, 0).alpha, 40);
    EXPECT_EQ(half.pixel(1, 0).alpha, 200);
    EXPECT_EQ(half.pixel(0, 1).alpha, 200);
    EXPECT_EQ(half.pixel(1, 1).alpha, 200);
}

TEST(Bitmap, HalvingOnePixelOrNothing) {
    Bitmap single(1, 1, {1, 1});
    put(single, 0, 0, {10, 20, 30, 40});
    EXPECT_EQ(single.halved().pixel(0, 0), (Rgba8{10, 20, 30, 40}));
    EXPECT_TRUE(Bitmap(0, 4, {0, 2}).halved().isEmpty());
}

// Every width from one pixel to past several four-pixel steps, odd and even heights, pixels
// from a fixed scramble that hits 0 and 255 in every channel: each halved pixel is the plain
// rounded average of its block, with an odd edge standing in for its partner.
TEST(Bitmap, HalvingMatchesAPlainAverageAtEveryWidthAndEdge) {
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        const std::uint8_t value = std::uint8_t(seed >> 16);
        // A quarter of the samples at the extremes.
        return (seed >> 30) == 0 ? std::uint8_t(value & 1 ? 255 : 0) : value;
    };
    for (int wide = 1; wide <= 21; ++wide) {
        for (int high = 1; high <= 5; ++high) {
            Bitmap bitmap(wide, high, {double(wide), double(high)});
            for (int row = 0; row < high; ++row)
                for (int column = 0; column < wide; ++column)
                    put(bitmap, column, row, {next(), next(), next(), next()});
            const Bitmap half = bitmap.halved();
            ASSERT_EQ(half.pixelsWide(), (wide + 1) / 2);
            ASSERT_EQ(half.pixelsHigh(), (high + 1) / 2);
            for (int row = 0; row < half.pixelsHigh(); ++row) {
                for (int column = 0; column < half.pixelsWide(); ++column) {
                    const int left = 2 * column, right = std::min(2 * column + 1, wide - 1);
                    const int top = 2 * row, bottom = std::min(2 * row + 1, high - 1);
                    const Rgba8 a = bitmap.pixel(left, top), b = bitmap.pixel(right, top);
                    const Rgba8 c = bitmap.pixel(left, bottom), d = bitmap.pixel(right, bottom);
                    auto mean = [](int p, int q, int r, int s) {
                        return std::uint8_t((p + q + r + s + 2) / 4);
                    };
                    const Rgba8 expected{mean(a.red, b.red, c.red, d.red),
                                         mean(a.green, b.green, c.green, d.green),
                                         mean(a.blue, b.blue, c.blue, d.blue),
                                         mean(a.alpha, b.alpha, c.alpha, d.alpha)};
                    ASSERT_EQ(half.pixel(column, row), expected)
                        << wide << " x " << high << " at " << column << ", " << row;
                }
            }
        }
    }
}

} // namespace
