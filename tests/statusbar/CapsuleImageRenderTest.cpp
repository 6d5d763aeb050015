#include "drawing/RenderedBitmapImage.h"
#include "platform/graphics/AttributedString.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/MetricStatusDrawing.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <vector>

namespace pulsedeck {
namespace {

// How many pixels of two bitmaps of one size differ.
int differingPixels(const gfx::Bitmap& a, const gfx::Bitmap& b) {
    EXPECT_EQ(a.pixelsWide(), b.pixelsWide());
    EXPECT_EQ(a.pixelsHigh(), b.pixelsHigh());
    int differing = 0;
    for (int row = 0; row < a.pixelsHigh(); ++row) {
        for (int column = 0; column < a.pixelsWide(); ++column) {
            differing += a.pixel(column, row) != b.pixel(column, row);
        }
    }
    return differing;
}

// The content drawn in the capsule: a bar across its rounded end, so that the clip shows, and a
// figure.
CapsuleContent content(gfx::Context& context) {
    return [&context](const gfx::Color& foreground, const gfx::Rect&) {
        context.setFillColor(paletteBlue.withAlpha(0.6));
        context.fillRect({0, 6, 20, 12});
        gfx::drawText(context, "12.5 GB", {24, 6},
                      {.font = statusFigureFont(), .color = foreground});
    };
}

// What the image was before the capsule was kept: the capsule filled into a fresh bitmap.
gfx::Image drawnWhole(gfx::Size size, bool dark) {
    return renderedBitmapImage(gfx::Image::withDrawingHandler(
                                   size, false,
                                   [dark](gfx::Context& context, const gfx::Rect& rect) {
                                       return drawCapsule(context, dark, rect, content(context));
                                   }),
                               2, dark);
}

TEST(CapsuleImageRender, TheKeptCapsuleGivesThePixelsOfFillingItAgain) {
    CapsuleCache capsules;
    for (bool dark : {false, true}) {
        for (double width : {60.0, 61.3, 140.0, 60.0}) {
            gfx::Size size{width, 24};
            gfx::Image kept = renderedCapsuleImage(
                capsules, size, dark, [dark](gfx::Context& context, const gfx::Rect& rect) {
                    return drawInCapsule(context, dark, rect, content(context));
                });
            gfx::Image whole = drawnWhole(size, dark);
            ASSERT_TRUE(kept.bitmap() && whole.bitmap());
            EXPECT_EQ(kept.size(), size);
            EXPECT_EQ(kept.bitmap()->pixelsWide(), whole.bitmap()->pixelsWide());
            EXPECT_EQ(differingPixels(*kept.bitmap(), *whole.bitmap()), 0) << dark << " " << width;
            // The capsule is there, and the content on it.
            EXPECT_GT(kept.bitmap()->pixelAtPoint({width / 2 + 20, 2}).alpha, 0);
            EXPECT_EQ(kept.bitmap()->pixelAtPoint({0.25, 0.25}).alpha, 0);
            // The bar stops at the capsule: nothing left of it, nor outside its round end.
            EXPECT_GT(kept.bitmap()->pixelAtPoint({8, 12}).blue, 100);
            EXPECT_EQ(kept.bitmap()->pixelAtPoint({0.25, 12}).alpha, 0);
            EXPECT_EQ(kept.bitmap()->pixelAtPoint({1.25, 6.5}).alpha, 0);
        }
    }
}

TEST(CapsuleImageRender, EachImageStartsFromACleanCapsule) {
    CapsuleCache capsules;
    // What one image drew over the capsule does not show in the next of the same size.
    gfx::Size size{80, 24};
    gfx::Image inked =
        renderedCapsuleImage(capsules, size, false, [](gfx::Context& context, const gfx::Rect&) {
            context.setFillColor(gfx::Color::black());
            context.fillRect({10, 4, 30, 16});
            return true;
        });
    gfx::Image bare = renderedCapsuleImage(capsules, size, false,
                                           [](gfx::Context&, const gfx::Rect&) { return true; });
    ASSERT_TRUE(inked.bitmap() && bare.bitmap());
    EXPECT_EQ(inked.bitmap()->pixelAtPoint({20, 12}).alpha, 255);
    EXPECT_EQ(bare.bitmap()->pixelAtPoint({20, 12}).alpha, std::lround(0.06 * 255));
}

TEST(CapsuleImageRender, AnImageTooSmallForAPixelIsEmpty) {
    CapsuleCache capsules;
    gfx::Image image = renderedCapsuleImage(capsules, {0, 24}, false,
                                            [](gfx::Context&, const gfx::Rect&) { return true; });
    ASSERT_TRUE(image.bitmap());
    EXPECT_TRUE(image.bitmap()->isEmpty());
}

} // namespace
} // namespace pulsedeck
