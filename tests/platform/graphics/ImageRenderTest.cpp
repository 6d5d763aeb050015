#include "platform/graphics/Image.h"
#include "platform/graphics/RecordingContext.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace gfx {
namespace {

Image redSquare(Size size) {
    return Image::withDrawingHandler(size, false, [](Context& context, const Rect& rect) {
        context.setFillColor(Color::srgb(1, 0, 0));
        context.fillRect(rect);
        return true;
    });
}

// An image whose bottom half is red and top half blue, in y-up space.
Image twoBands(bool flipped) {
    return Image::withDrawingHandler({10, 10}, flipped, [](Context& context, const Rect&) {
        context.setFillColor(Color::srgb(1, 0, 0));
        context.fillRect({0, 0, 10, 5});
        context.setFillColor(Color::srgb(0, 0, 1));
        context.fillRect({0, 5, 10, 5});
        return true;
    });
}

TEST(ImageRender, RenderedBitmapPixelSizesRoundUpAtScaleTwo) {
    struct Case {
        Size points;
        int wide, high;
    };
    for (Case c : {Case{{200, 24}, 400, 48}, Case{{24, 24}, 48, 48}, Case{{10.3, 24}, 21, 48},
                   Case{{33.25, 24}, 67, 48}, Case{{0, 24}, 0, 48}}) {
        Image rendered = renderedBitmapImage(redSquare(c.points), 2);
        ASSERT_NE(rendered.bitmap(), nullptr);
        EXPECT_EQ(rendered.bitmap()->pixelsWide(), c.wide) << c.points.width;
        EXPECT_EQ(rendered.bitmap()->pixelsHigh(), c.high);
        EXPECT_EQ(rendered.bitmap()->size(), c.points);
        EXPECT_EQ(rendered.size(), c.points);
        EXPECT_FALSE(rendered.isTemplate());
    }
}

TEST(ImageRender, EmptyImageRendersWithoutPixels) {
    Image rendered = renderedBitmapImage(redSquare({0.2, 0}), 2);
    EXPECT_TRUE(rendered.bitmap()->isEmpty());
    Bitmap target = Bitmap::forPointSize({10, 10}, 1);
    Context context(target);
    rendered.draw(context, Rect{0, 0, 10, 10});
    EXPECT_EQ(target.pixel(5, 5).alpha, 0);
}

TEST(ImageRender, FractionHalvesAlpha) {
    Image rendered = renderedBitmapImage(redSquare({10, 10}), 2);
    Bitmap target = Bitmap::forPointSize({10, 10}, 2);
    Context context(target);
    rendered.draw(context, Rect{0, 0, 10, 10}, {.fraction = 0.5});
    Rgba8 pixel = target.pixelAtPoint({5, 5});
    EXPECT_NEAR(pixel.alpha, 128, 1);
    EXPECT_NEAR(pixel.red, 128, 1);
    EXPECT_EQ(pixel.blue, 0);
}

TEST(ImageRender, DrawingHandlerKeepsYUpAndFlippedImagesTurnOver) {
    for (bool flipped : {false, true}) {
        Image rendered = renderedBitmapImage(twoBands(flipped), 2);
        const Bitmap& bitmap = *rendered.bitmap();
        Rgba8 low = bitmap.pixelAtPoint({5, 2});
        Rgba8 high = bitmap.pixelAtPoint({5, 8});
        EXPECT_EQ(low.red, flipped ? 0 : 255);
        EXPECT_EQ(high.blue, flipped ? 0 : 255);
    }
}

TEST(ImageRender, SourceRectAndNonUniformStretch) {
    Image bands = renderedBitmapImage(twoBands(false), 2);
    Bitmap target = Bitmap::forPointSize({40, 10}, 1);
    Context context(target);
    // Only the upper (blue) half, stretched 4× wide and 2× high.
    bands.draw(context, Rect{0, 0, 40, 10}, {.source = Rect{0, 5, 10, 5}});
    EXPECT_EQ(target.pixelAtPoint({2, 1}), (Rgba8{0, 0, 255, 255}));
    EXPECT_EQ(target.pixelAtPoint({38, 9}), (Rgba8{0, 0, 255, 255}));
}

TEST(ImageRender, OperationAppliesToTheWholeImage) {
    Bitmap target = Bitmap::forPointSize({10, 10}, 1);
    Context context(target);
    context.setFillColor(Color::srgb(0, 1, 0));
    context.fillRect({0, 0, 10, 10});
    Image half = Image::withDrawingHandler({10, 10}, false, [](Context& c, const Rect&) {
        c.setFillColor(Color::srgb(1, 0, 0, 0.5));
        c.fillRect({0, 0, 5, 10});
        return true;
    });
    half.draw(context, Rect{0, 0, 10, 10}, {.operation = CompositingOperation::copy});
    EXPECT_EQ(target.pixelAtPoint({2, 5}).alpha, 128);
    EXPECT_EQ(target.pixelAtPoint({8, 5}).alpha, 0) << "copy replaces with the image's clear part";
}

TEST(ImageRender, FilteredScalingBlendsEdges) {
    Image bands = renderedBitmapImage(twoBands(false), 2);
    Bitmap target = Bitmap::forPointSize({10, 30}, 2);
    Context context(target);
    bands.draw(context, Rect{0, 0, 10, 30});
    // Where red meets blue the scaled image blends the two.
    Rgba8 seam = target.pixelAtPoint({5, 15});
    EXPECT_GT(seam.red, 20);
    EXPECT_GT(seam.blue, 20);
}

TEST(ImageRender, ShrinkingAveragesInsteadOfPickingPixels) {
    // A one-pixel checkerboard of black and clear: any filtered shrink shows even grey.
    Bitmap checks(60, 60, {60, 60});
    {
        Context context(checks);
        for (int row = 0; row < 60; ++row) {
            for (int column = (row % 2); column < 60; column += 2) {
                context.fillRect({double(column), double(row), 1, 1});
            }
        }
    }
    Image image = Image::withBitmap(std::move(checks));
    for (double size : {30.0, 35.0, 40.0, 18.0}) {
        Bitmap target = Bitmap::forPointSize({size, size}, 1);
        Context context(target);
        image.draw(context, Rect{0, 0, size, size});
        int lowest = 255, highest = 0;
        for (int row = 1; row + 1 < target.pixelsHigh(); ++row) {
            for (int column = 1; column + 1 < target.pixelsWide(); ++column) {
                lowest = std::min<int>(lowest, target.pixel(column, row).alpha);
                highest = std::max<int>(highest, target.pixel(column, row).alpha);
            }
        }
        EXPECT_GE(lowest, 118) << size;
        EXPECT_LE(highest, 138) << size;
    }
}

TEST(ImageRender, PngRoundTrip) {
    testsupport::TemporaryDirectory folder;
    std::string path = (folder.path() / "bands.png").string();
    ASSERT_TRUE(twoBands(false).writePng(path));
    std::optional<Image> loaded = Image::fromPngFile(path, Size{10, 10});
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->bitmap()->pixelsWide(), 20);
    EXPECT_EQ(loaded->size(), (Size{10, 10}));
    EXPECT_EQ(loaded->bitmap()->pixelAtPoint({5, 2}), (Rgba8{255, 0, 0, 255}));
    EXPECT_FALSE(Image::fromPngFile((folder.path() / "missing.png").string()));
    EXPECT_FALSE(Image::fromPngFile(path + ".not"));
}

TEST(ImageRender, HandlerDrawingIsRecordedThroughTheImage) {
    RecordingContext context({50, 50});
    context.translate(5, 5);
    Image image = redSquare({10, 10});
    image.draw(context, Rect{10, 10, 20, 20});
    ASSERT_EQ(context.log().images().size(), 1u);
    EXPECT_EQ(context.log().images()[0].destination, Rect(15, 15, 20, 20));
    ASSERT_EQ(context.log().fills().size(), 1u);
    EXPECT_EQ(context.log().fills()[0].bounds, Rect(15, 15, 20, 20));
}

TEST(ImageRender, RespectFlippedKeepsTheImageUpright) {
    Image bands = twoBands(false);
    for (bool respect : {false, true}) {
        Bitmap target = Bitmap::forPointSize({10, 10}, 2);
        Context context(target);
        context.translate(0, 10);
        context.scale(1, -1);
        EXPECT_TRUE(context.isFlipped());
        bands.draw(context, Rect{0, 0, 10, 10}, {.respectFlipped = respect});
        // Seen from the base (y up): upright puts red at the bottom.
        EXPECT_EQ(target.pixelAtPoint({5, 2}).red, respect ? 255 : 0);
        EXPECT_EQ(target.pixelAtPoint({5, 8}).red, respect ? 0 : 255);
    }
}

TEST(ImageRender, HandlerOperationsStayInsideTheImage) {
    Bitmap target = Bitmap::forPointSize({20, 10}, 1);
    Context context(target);
    context.setFillColor(Color::srgb(0, 1, 0));
    context.fillRect({0, 0, 20, 10});
    // A tinted symbol the way menus tint one: fill over its own bounds with source-atop.
    Image tinted = Image::withDrawingHandler({20, 10}, false, [](Context& c, const Rect& rect) {
        c.setFillColor(Color::black());
        c.fillRect({0, 0, 10, 10});
        c.setFillColor(Color::srgb(0, 0, 1));
        c.fillRect(rect, CompositingOperation::sourceAtop);
        return true;
    });
    tinted.draw(context, Rect{0, 0, 20, 10});
    EXPECT_EQ(target.pixelAtPoint({5, 5}), (Rgba8{0, 0, 255, 255}));
    EXPECT_EQ(target.pixelAtPoint({15, 5}), (Rgba8{0, 255, 0, 255})) << "the background stays";
}

TEST(ImageRender, WithSizeRescalesTheContent) {
    Image small = renderedBitmapImage(redSquare({10, 10}), 2);
    Image large = small.withSize({20, 20});
    EXPECT_EQ(large.size(), (Size{20, 20}));
    EXPECT_EQ(small.size(), (Size{10, 10}));
    Bitmap target = Bitmap::forPointSize({30, 30}, 1);
    Context context(target);
    large.draw(context, Point{5, 5});
    EXPECT_EQ(target.pixelAtPoint({24, 24}).red, 255);
    EXPECT_EQ(target.pixelAtPoint({26, 26}).alpha, 0);
}

TEST(ImageRender, TemplateFlagBelongsToTheCopy) {
    Image image = redSquare({4, 4});
    Image tinted = image;
    tinted.setTemplate(true);
    EXPECT_TRUE(tinted.isTemplate());
    EXPECT_FALSE(image.isTemplate());
}

} // namespace
} // namespace gfx
