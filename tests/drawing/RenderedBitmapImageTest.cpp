#include "drawing/RenderedBitmapImage.h"

#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

gfx::Image filled(gfx::Size size, gfx::Color color) {
    return gfx::Image::withDrawingHandler(size, false,
                                          [color](gfx::Context& context, const gfx::Rect& rect) {
                                              context.setFillColor(color);
                                              context.fillRect(rect);
                                              return true;
                                          });
}

TEST(RenderedBitmapImage, PixelSizeRoundsUpAndPointSizeStays) {
    struct Case {
        gfx::Size points;
        int wide, high;
    };
    for (Case c : {Case{{181, 24}, 362, 48}, Case{{10.3, 24}, 21, 48}, Case{{33.25, 24}, 67, 48},
                   Case{{0.2, 0.2}, 1, 1}}) {
        gfx::Image source = filled(c.points, gfx::Color::srgb(1, 0, 0));
        source.setTemplate(true);
        gfx::Image rendered = renderedBitmapImage(source, 2, false);
        ASSERT_TRUE(rendered.bitmap());
        EXPECT_EQ(rendered.bitmap()->pixelsWide(), c.wide) << c.points.width;
        EXPECT_EQ(rendered.bitmap()->pixelsHigh(), c.high);
        EXPECT_EQ(rendered.size(), c.points);
        EXPECT_EQ(rendered.bitmap()->size(), c.points);
        EXPECT_FALSE(rendered.isTemplate());
    }
}

TEST(RenderedBitmapImage, DrawsOnceIntoTheBitmap) {
    int calls = 0;
    gfx::Image counting = gfx::Image::withDrawingHandler(
        {4, 4}, false, [&calls](gfx::Context& context, const gfx::Rect& rect) {
            ++calls;
            context.setFillColor(gfx::Color::srgb(0, 0, 1));
            context.fillRect({rect.x(), rect.y(), rect.width(), rect.height() / 2});
            return true;
        });
    gfx::Image rendered = renderedBitmapImage(counting, 2, false);
    EXPECT_EQ(calls, 1);
    // Drawn y up: the bottom half is blue, the top half clear.
    EXPECT_EQ(rendered.bitmap()->pixelAtPoint({2, 1}), (gfx::Rgba8{0, 0, 255, 255}));
    EXPECT_EQ(rendered.bitmap()->pixelAtPoint({2, 3}).alpha, 0);
}

TEST(RenderedBitmapImage, DynamicColoursFollowTheDarkFlag) {
    gfx::Color dynamic = gfx::Color::dynamic(gfx::Color::srgb(1, 0, 0), gfx::Color::srgb(0, 1, 0));
    EXPECT_EQ(renderedBitmapImage(filled({4, 4}, dynamic), 2, false).bitmap()->pixel(1, 1),
              (gfx::Rgba8{255, 0, 0, 255}));
    EXPECT_EQ(renderedBitmapImage(filled({4, 4}, dynamic), 2, true).bitmap()->pixel(1, 1),
              (gfx::Rgba8{0, 255, 0, 255}));
}

TEST(RenderedBitmapImage, UnusableSizesGiveAnEmptyBitmap) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    for (gfx::Size size : {gfx::Size{infinity, 24}, gfx::Size{24, notANumber}, gfx::Size{-10, 24},
                           gfx::Size{0, 24}, gfx::Size{1e9, 24}, gfx::Size{24, 20000}}) {
        gfx::Image rendered = renderedBitmapImage(filled(size, gfx::Color::black()), 2, false);
        ASSERT_TRUE(rendered.bitmap());
        EXPECT_TRUE(rendered.bitmap()->isEmpty()) << size.width << " × " << size.height;
    }
    EXPECT_TRUE(renderedBitmapImage(filled({24, 24}, gfx::Color::black()), notANumber, false)
                    .bitmap()
                    ->isEmpty());
    EXPECT_TRUE(
        renderedBitmapImage(filled({24, 24}, gfx::Color::black()), -2, false).bitmap()->isEmpty());
}

} // namespace
} // namespace pulsedeck
