#include "platform/graphics/ShapeMaskCache.h"

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/CoverageMask.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/PathFlattening.h"

#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace gfx {
namespace {

FlatPath capsuleAt(double x, double width = 100) {
    return FlatPath(Path::roundedRect({x, 1.25, width, 24}, 12, 12),
                    AffineTransform::scaling(2, 2));
}

std::vector<std::uint8_t> pixelsOf(const ShapeMask& mask) {
    cairo_surface_t* surface = mask.surface.get();
    int width = cairo_image_surface_get_width(surface);
    int height = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    std::vector<std::uint8_t> pixels(std::size_t(width) * height);
    for (int row = 0; row < height; ++row) {
        std::memcpy(pixels.data() + std::size_t(row) * width,
                    cairo_image_surface_get_data(surface) + std::size_t(row) * stride, width);
    }
    return pixels;
}

TEST(ShapeMask, IsTheShapesCoverageOverTheWholePixelsItTouches) {
    FlatPath shape = capsuleAt(1.25);
    std::optional<ShapeMask> mask = ShapeMask::of(shape);
    ASSERT_TRUE(mask);
    CoverageMask::Box box = CoverageMask::Box::around(shape.bounds());
    EXPECT_EQ(mask->x, box.x);
    EXPECT_EQ(mask->y, box.y);
    ASSERT_EQ(cairo_image_surface_get_width(mask->surface.get()), box.width);
    ASSERT_EQ(cairo_image_surface_get_height(mask->surface.get()), box.height);
    CoverageMask coverage(box);
    for (const FlatPath::Subpath& subpath : shape.subpaths()) {
        coverage.addPolygon(shape.points(subpath));
    }
    EXPECT_EQ(pixelsOf(*mask), coverage.resolved());
    // A pixel inside whole, one under the straight top edge at 2.5 pixels half covered.
    EXPECT_EQ(pixelsOf(*mask)[std::size_t(24) * box.width + 100], 255);
    EXPECT_NEAR(pixelsOf(*mask)[100], 128, 1);
}

TEST(ShapeMaskCache, KeepsEachShapeOnceAndDropsTheLeastRecentlyUsedBeyondTheBudget) {
    ShapeMaskCache kept;
    const ShapeMask* first = kept.mask(capsuleAt(1.25));
    ASSERT_TRUE(first);
    EXPECT_EQ(pixelsOf(*first), pixelsOf(*ShapeMask::of(capsuleAt(1.25))));
    EXPECT_EQ(kept.mask(capsuleAt(1.25)), first);
    EXPECT_EQ(kept.renderCount(), 1u);
    // Moved by a twentieth of a point, it is another shape.
    ASSERT_TRUE(kept.mask(capsuleAt(1.3)));
    EXPECT_EQ(kept.renderCount(), 2u);
    EXPECT_EQ(kept.entryCount(), 2u);

    // Room for two capsules of about 200 × 49 pixels and their keys, not three.
    ShapeMaskCache cache(2 * 210 * 48 + 8000);
    ASSERT_TRUE(cache.mask(capsuleAt(1)));
    ASSERT_TRUE(cache.mask(capsuleAt(2)));
    ASSERT_TRUE(cache.mask(capsuleAt(1)));
    ASSERT_TRUE(cache.mask(capsuleAt(3)));
    EXPECT_EQ(cache.entryCount(), 2u);
    EXPECT_LE(cache.byteSize(), 2 * 210 * 48 + 8000u);
    std::size_t renders = cache.renderCount();
    ASSERT_TRUE(cache.mask(capsuleAt(1)));
    EXPECT_EQ(cache.renderCount(), renders);
    ASSERT_TRUE(cache.mask(capsuleAt(2)));
    EXPECT_EQ(cache.renderCount(), renders + 1);

    // A shape larger than the budget is still handed out, alone.
    ShapeMaskCache tiny(100);
    const ShapeMask* mask = tiny.mask(capsuleAt(1));
    ASSERT_TRUE(mask);
    EXPECT_EQ(cairo_image_surface_get_width(mask->surface.get()),
              CoverageMask::Box::around(capsuleAt(1).bounds()).width);
    EXPECT_EQ(tiny.entryCount(), 1u);
}

TEST(ShapeMask, TheSolidCoreIsWhollyCoveredAndAsLargeAsTheShapeAllows) {
    FlatPath capsule = capsuleAt(1.25);
    std::optional<ShapeMask> mask = ShapeMask::of(capsule);
    ASSERT_TRUE(mask);
    const CoverageMask::Box& solid = mask->solid;
    int width = cairo_image_surface_get_width(mask->surface.get());
    std::vector<std::uint8_t> pixels = pixelsOf(*mask);
    ASSERT_FALSE(solid.isEmpty());
    for (int row = solid.y; row < solid.y + solid.height; ++row) {
        for (int column = solid.x; column < solid.x + solid.width; ++column) {
            ASSERT_EQ(pixels[std::size_t(row - mask->y) * width + std::size_t(column - mask->x)],
                      255)
                << column << ", " << row;
        }
    }
    // At least the straight part between the round ends, short of the half-covered top and
    // bottom rows (the capsule spans 2.5…202.5 × 2.5…50.5 pixels, its ends 24 pixels deep).
    CoverageMask::Box straight{27, 4, 151, 44};
    EXPECT_EQ(solid.intersection(straight), straight);

    // A rect on whole pixels is solid throughout; one thinner than a pixel nowhere.
    std::optional<ShapeMask> whole =
        ShapeMask::of(FlatPath(Path::rect({2, 3, 10, 5}), AffineTransform{}));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->solid, (CoverageMask::Box{2, 3, 10, 5}));
    std::optional<ShapeMask> sliver =
        ShapeMask::of(FlatPath(Path::rect({2, 3.25, 10, 0.5}), AffineTransform{}));
    ASSERT_TRUE(sliver);
    EXPECT_TRUE(sliver->solid.isEmpty());
}

TEST(ShapeMask, NothingForShapesWithoutAreaTooLargeOrNotFinite) {
    auto triangleTo = [](double x) {
        Path path;
        path.moveTo({0, 0});
        path.lineTo({x, 4});
        path.lineTo({4, 4});
        return path;
    };
    ShapeMaskCache cache;
    for (const Path& path : {Path(), Path::rect({5, 5, 0, 0}), Path::rect({0, 0, 300, 300}),
                             triangleTo(std::numeric_limits<double>::quiet_NaN()),
                             triangleTo(std::numeric_limits<double>::infinity())}) {
        EXPECT_FALSE(ShapeMask::of(FlatPath(path, AffineTransform{})));
        EXPECT_FALSE(cache.mask(FlatPath(path, AffineTransform{})));
    }
    // Just within the largest area, there is one.
    EXPECT_TRUE(ShapeMask::of(FlatPath(Path::rect({0, 0, 256, 256}), AffineTransform{})));
    EXPECT_EQ(cache.entryCount(), 0u);
}

} // namespace
} // namespace gfx
