#include "statusbar/KeptLayer.h"

#include "platform/graphics/Path.h"
#include "platform/graphics/RecordingContext.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <utility>

namespace pulsedeck {
namespace {

// The strip's kind of background: a translucent rounded capsule with a thin outline, placed at
// a fractional offset as a view inside a window would be.
struct Capsule {
    gfx::Rect bounds{3.25, 1.5, 180.5, 24};
    int paints = 0;

    void paint(gfx::Context& context) {
        ++paints;
        const gfx::Path shape = gfx::Path::roundedRect(bounds.insetBy(0.5, 0.5), 12, 12);
        gfx::Context::SavedState saved(context);
        context.setFillColor(gfx::Color::grey(0.95, 0.8));
        context.fill(shape);
        context.setStrokeColor(gfx::Color::black().withAlpha(0.12));
        context.setLineWidth(0.5);
        context.stroke(shape);
    }
};

constexpr gfx::Size canvas{200, 30};

// The largest difference of any sample of the pixels in columns [from, to).
int largestDifference(const gfx::Bitmap& a, const gfx::Bitmap& b, int from = 0,
                      int to = std::numeric_limits<int>::max()) {
    int largest = 0;
    for (int row = 0; row < a.pixelsHigh(); ++row) {
        for (int column = std::max(from, 0); column < std::min(to, a.pixelsWide()); ++column) {
            const gfx::Rgba8 p = a.pixel(column, row);
            const gfx::Rgba8 q = b.pixel(column, row);
            for (auto [x, y] : {std::pair{p.red, q.red},
                                {p.green, q.green},
                                {p.blue, q.blue},
                                {p.alpha, q.alpha}})
                largest = std::max(largest, std::abs(int(x) - int(y)));
        }
    }
    return largest;
}

enum class Clip { none, pixelAligned, fractional };

TEST(KeptLayerTest, KeptPixelsEqualDirectDrawingAtEveryScaleAndUnderAClip) {
    for (double scale : {1.0, 2.0}) {
        for (Clip clip : {Clip::none, Clip::pixelAligned, Clip::fractional}) {
            Capsule capsule;
            gfx::Bitmap direct = gfx::Bitmap::forPointSize(canvas, scale);
            gfx::Bitmap kept = gfx::Bitmap::forPointSize(canvas, scale);
            KeptLayer layer;
            for (gfx::Bitmap* target : {&direct, &kept}) {
                gfx::Context context(*target);
                // A window's dirty rects are whole points; the view inside it need not be.
                if (clip == Clip::pixelAligned)
                    context.clipToRect({40, 0, 30, 30});
                if (clip == Clip::fractional)
                    context.clipToRect({40.2, 0, 30.3, 30});
                context.translate(0.3, 0.7);
                if (target == &direct)
                    capsule.paint(context);
                else
                    ASSERT_TRUE(layer.draw(context, capsule.bounds, false,
                                           [&](gfx::Context& c) { capsule.paint(c); }));
            }
            if (clip == Clip::fractional) {
                // In the two columns a clip edge cuts, the clip's coverage meets the shape's
                // after rounding instead of before: a few units; every other pixel is exact.
                const int left = int(40.2 * scale);
                const int right = int(70.5 * scale);
                EXPECT_LE(largestDifference(direct, kept, left, left + 1), 3) << scale;
                EXPECT_LE(largestDifference(direct, kept, right, right + 1), 3) << scale;
                EXPECT_EQ(largestDifference(direct, kept, left + 1, right), 0) << scale;
            } else {
                EXPECT_EQ(largestDifference(direct, kept), 0)
                    << "scale " << scale << ", clip " << int(clip);
            }
            EXPECT_NE(kept.pixelAtPoint({50, 12}).alpha, 0) << "something was drawn";
            if (clip != Clip::none) {
                EXPECT_EQ(kept.pixelAtPoint({20, 12}).alpha, 0) << "nothing outside the clip";
            }
        }
    }
}

TEST(KeptLayerTest, PaintsAgainOnlyWhenTheContentOrThePlacementChanged) {
    Capsule capsule;
    KeptLayer layer;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(canvas, 2);
    const auto draw = [&](bool changed, double dx) {
        gfx::Context context(bitmap);
        context.translate(dx, 0);
        return layer.draw(context, capsule.bounds, changed,
                          [&](gfx::Context& c) { capsule.paint(c); });
    };
    ASSERT_TRUE(draw(false, 0));
    ASSERT_TRUE(draw(false, 0));
    EXPECT_EQ(capsule.paints, 1) << "the second draw copies the kept pixels";
    draw(true, 0);
    EXPECT_EQ(capsule.paints, 2) << "a new look is painted anew";
    draw(false, 0.25);
    EXPECT_EQ(capsule.paints, 3) << "so is a moved one";
    EXPECT_TRUE(layer.holdsPixels());
}

TEST(KeptLayerTest, DeclinesWhereACopyWouldNotBeExact) {
    Capsule capsule;
    KeptLayer layer;
    const auto paint = [&](gfx::Context& c) { capsule.paint(c); };

    gfx::RecordingContext recording(canvas, 2);
    EXPECT_FALSE(layer.draw(recording, capsule.bounds, false, paint))
        << "the recorder must see the shapes themselves";

    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize(canvas, 2);
    {
        gfx::Context rotated(bitmap);
        rotated.rotateDegrees(10);
        EXPECT_FALSE(layer.draw(rotated, capsule.bounds, false, paint));
    }
    {
        gfx::Context faded(bitmap);
        faded.setAlpha(0.5);
        EXPECT_FALSE(layer.draw(faded, capsule.bounds, false, paint));
    }
    {
        gfx::Context shadowed(bitmap);
        shadowed.setShadow(gfx::Shadow{gfx::Color::black(), 4, {}});
        EXPECT_FALSE(layer.draw(shadowed, capsule.bounds, false, paint));
    }
    {
        gfx::Context huge(bitmap);
        EXPECT_FALSE(layer.draw(huge, {0, 0, 1e7, 20}, false, paint));
    }
    EXPECT_EQ(capsule.paints, 0);
    EXPECT_EQ(bitmap.pixelAtPoint({50, 12}).alpha, 0) << "a declined draw draws nothing";
    EXPECT_FALSE(layer.holdsPixels());

    // A look that changed while the copy was declined is not served from stale pixels later.
    gfx::Context plain(bitmap);
    ASSERT_TRUE(layer.draw(plain, capsule.bounds, false, paint));
    EXPECT_FALSE(layer.draw(recording, capsule.bounds, true, paint));
    EXPECT_FALSE(layer.holdsPixels());
}

} // namespace
} // namespace pulsedeck
