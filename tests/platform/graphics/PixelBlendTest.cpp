#include "platform/graphics/PixelBlend.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

namespace gfx {
namespace {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

// Random coverage with runs of empty and full pixels, as a line of text has.
Surface randomMask(std::mt19937& random, int width, int height) {
    Surface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
    cairo_surface_flush(mask.get());
    unsigned char* data = cairo_image_surface_get_data(mask.get());
    std::uniform_int_distribution<int> kind(0, 3), level(1, 254);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            int k = kind(random);
            data[row * cairo_image_surface_get_stride(mask.get()) + column] =
                std::uint8_t(k == 0   ? 0
                             : k == 1 ? 255
                                      : level(random));
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
}

// A premultiplied background: clear, opaque and translucent pixels.
Surface randomTarget(std::mt19937& random, int width, int height) {
    Surface target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_surface_flush(target.get());
    std::uniform_int_distribution<int> byte(0, 255);
    for (int row = 0; row < height; ++row) {
        auto* pixels =
            reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(target.get()) +
                                             row * cairo_image_surface_get_stride(target.get()));
        for (int column = 0; column < width; ++column) {
            int alpha = column % 3 == 0 ? 0 : column % 3 == 1 ? 255 : byte(random);
            auto part = [&] { return std::uint32_t(alpha == 0 ? 0 : byte(random) * alpha / 255); };
            pixels[column] = std::uint32_t(alpha) << 24 | part() << 16 | part() << 8 | part();
        }
    }
    cairo_surface_mark_dirty(target.get());
    return target;
}

std::vector<std::uint8_t> bytesOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    std::size_t size = std::size_t(cairo_image_surface_get_stride(surface)) *
                       std::size_t(cairo_image_surface_get_height(surface));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    return {data, data + size};
}

TEST(PixelBlend, GivesThePixelsOfCairosOwnMaskWithASolidSource) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> place(-6, 30);
    for (int trial = 0; trial < 60; ++trial) {
        Surface mask = randomMask(random, 17, 9);
        Surface ours = randomTarget(random, 32, 20);
        Surface cairos(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 20));
        std::memcpy(cairo_image_surface_get_data(cairos.get()),
                    cairo_image_surface_get_data(ours.get()), bytesOf(ours.get()).size());
        cairo_surface_mark_dirty(cairos.get());
        double red = unit(random), green = unit(random), blue = unit(random);
        double alpha = trial % 4 == 0 ? 1 : unit(random);
        int x = place(random), y = place(random) - 10;
        for (cairo_surface_t* target : {ours.get(), cairos.get()}) {
            cairo_t* cr = cairo_create(target);
            cairo_set_source_rgba(cr, red, green, blue, alpha);
            if (target == ours.get()) {
                EXPECT_TRUE(blendMaskOver(cr, mask.get(), x, y));
            } else {
                cairo_mask_surface(cr, mask.get(), x, y);
            }
            cairo_destroy(cr);
        }
        ASSERT_EQ(bytesOf(ours.get()), bytesOf(cairos.get())) << trial;
    }
}

TEST(PixelBlend, BlendsIntoAGroupAtItsPlace) {
    std::mt19937 random(3);
    Surface mask = randomMask(random, 12, 6);
    Surface background = randomTarget(random, 40, 20);
    std::vector<std::vector<std::uint8_t>> results;
    for (bool direct : {true, false}) {
        Surface target(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 20));
        std::vector<std::uint8_t> pixels = bytesOf(background.get());
        std::memcpy(cairo_image_surface_get_data(target.get()), pixels.data(), pixels.size());
        cairo_surface_mark_dirty(target.get());
        cairo_t* cr = cairo_create(target.get());
        cairo_rectangle(cr, 10, 5, 20, 10);
        cairo_clip(cr);
        cairo_push_group(cr);
        cairo_set_source_rgba(cr, 0.2, 0.7, 0.4, 0.8);
        cairo_reset_clip(cr);
        if (direct) {
            EXPECT_TRUE(blendMaskOver(cr, mask.get(), 14, 7));
        } else {
            cairo_mask_surface(cr, mask.get(), 14, 7);
        }
        cairo_pop_group_to_source(cr);
        cairo_paint(cr);
        cairo_destroy(cr);
        results.push_back(bytesOf(target.get()));
    }
    EXPECT_EQ(results[0], results[1]);
}

TEST(PixelBlend, LeavesToCairoWhatIsNotASolidColourOverAnImage) {
    std::mt19937 random(5);
    Surface mask = randomMask(random, 8, 8);
    Surface target = randomTarget(random, 16, 16);
    std::vector<std::uint8_t> before = bytesOf(target.get());
    cairo_t* cr = cairo_create(target.get());

    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    EXPECT_FALSE(blendMaskOver(cr, mask.get(), 2, 2));
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);

    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 16, 0);
    cairo_set_source(cr, gradient);
    EXPECT_FALSE(blendMaskOver(cr, mask.get(), 2, 2));
    cairo_pattern_destroy(gradient);

    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    Surface colourMask(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4));
    EXPECT_FALSE(blendMaskOver(cr, colourMask.get(), 2, 2));
    cairo_destroy(cr);

    cairo_surface_set_device_scale(target.get(), 2, 2);
    cr = cairo_create(target.get());
    EXPECT_FALSE(blendMaskOver(cr, mask.get(), 2, 2));
    cairo_destroy(cr);
    EXPECT_EQ(bytesOf(target.get()), before);

    Surface alphaOnly(cairo_image_surface_create(CAIRO_FORMAT_A8, 16, 16));
    cr = cairo_create(alphaOnly.get());
    EXPECT_FALSE(blendMaskOver(cr, mask.get(), 2, 2));
    cairo_destroy(cr);
}

TEST(PixelBlend, AMaskWhollyOutsideOrAClearColourChangesNothing) {
    std::mt19937 random(9);
    Surface mask = randomMask(random, 8, 8);
    Surface target = randomTarget(random, 16, 16);
    std::vector<std::uint8_t> before = bytesOf(target.get());
    cairo_t* cr = cairo_create(target.get());
    cairo_set_source_rgba(cr, 1, 0, 0, 1);
    EXPECT_TRUE(blendMaskOver(cr, mask.get(), 16, 0));
    EXPECT_TRUE(blendMaskOver(cr, mask.get(), -8, -8));
    cairo_set_source_rgba(cr, 1, 0, 0, 0);
    EXPECT_TRUE(blendMaskOver(cr, mask.get(), 4, 4));
    cairo_destroy(cr);
    EXPECT_EQ(bytesOf(target.get()), before);
}

} // namespace
} // namespace gfx
