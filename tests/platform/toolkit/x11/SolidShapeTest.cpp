#include "platform/toolkit/x11/SolidShape.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace {

using namespace ui::x11;

std::uint32_t& pixel(cairo_surface_t* surface, int x, int y) {
    auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(row)[x];
}

class SolidShape : public ::testing::Test {
protected:
    void SetUp() override {
        cairo_t* cr = cairo_create(source);
        cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(source);
    }
    void TearDown() override {
        cairo_surface_destroy(source);
        cairo_surface_destroy(solid);
    }
    cairo_surface_t* source = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 4);
    cairo_surface_t* solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 8, 4);
};

TEST_F(SolidShape, ClearPixelsAreCutAndCoveredOnesKeepTheirFullColour) {
    // Row 1: an opaque red pixel, a half-covered blue (premultiplied), a faint shadow.
    pixel(source, 2, 1) = 0xffff0000u;
    pixel(source, 3, 1) = 0x80000080u;
    pixel(source, 4, 1) = 0x10000000u;
    cairo_surface_mark_dirty(source);
    const auto spans = solidifyTranslucentPixels(source, 0, 0, 8, 4, solid);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0], (PixelSpan{2, 1, 2}));
    EXPECT_EQ(pixel(solid, 2, 1) & 0xffffffu, 0xff0000u);
    EXPECT_EQ(pixel(solid, 3, 1) & 0xffffffu, 0x0000ffu);
}

TEST_F(SolidShape, SpansAreRelativeToTheAreaAndStayInsideBothSurfaces) {
    for (int x = 0; x < 8; ++x)
        pixel(source, x, 3) = 0xff00ff00u;
    cairo_surface_mark_dirty(source);
    const auto spans = solidifyTranslucentPixels(source, 5, 2, 10, 10, solid);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0], (PixelSpan{0, 1, 3}));
    EXPECT_TRUE(solidifyTranslucentPixels(source, 9, 9, 4, 4, solid).empty());
    EXPECT_TRUE(solidifyTranslucentPixels(nullptr, 0, 0, 4, 4, solid).empty());
}

} // namespace
