#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/RecordingContext.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace gfx {
namespace {

constexpr double kScale = 2;

bool painted(const Bitmap& bitmap, Point p) {
    return bitmap.pixelAtPoint(p).alpha > 200;
}
bool blank(const Bitmap& bitmap, Point p) {
    return bitmap.pixelAtPoint(p).alpha == 0;
}

Point onCircle(Point center, double radius, double degrees) {
    double a = degrees * std::numbers::pi / 180;
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
}

void strokeArc(Context& context, double start, double end, bool clockwise) {
    Path arc;
    arc.appendArc({20, 20}, 15, start, end, clockwise);
    arc.setLineWidth(3);
    arc.stroke(context);
}

TEST(ContextRender, YUpPutsHighPointsNearTheTopRow) {
    Bitmap bitmap = Bitmap::forPointSize({40, 40}, kScale);
    Context context(bitmap);
    context.fillRect({0, 30, 40, 10});
    // Top 10 pt are the first 20 pixel rows.
    EXPECT_EQ(bitmap.pixel(5, 0).alpha, 255);
    EXPECT_EQ(bitmap.pixel(5, 19).alpha, 255);
    EXPECT_EQ(bitmap.pixel(5, 20).alpha, 0);
    EXPECT_EQ(bitmap.pixel(5, 79).alpha, 0);
}

TEST(ContextRender, ClockwiseQuarterArcFromTopEndsAtRight) {
    Bitmap bitmap = Bitmap::forPointSize({40, 40}, kScale);
    Context context(bitmap);
    strokeArc(context, 90, 0, true);
    EXPECT_TRUE(painted(bitmap, onCircle({20, 20}, 15, 90)));
    EXPECT_TRUE(painted(bitmap, onCircle({20, 20}, 15, 45)));
    EXPECT_TRUE(painted(bitmap, onCircle({20, 20}, 15, 5)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, 135)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, 180)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, 270)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, -30)));
}

TEST(ContextRender, AnticlockwiseArcFromTopGoesThroughTheLeft) {
    Bitmap bitmap = Bitmap::forPointSize({40, 40}, kScale);
    Context context(bitmap);
    strokeArc(context, 90, 180, false);
    EXPECT_TRUE(painted(bitmap, onCircle({20, 20}, 15, 135)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, 45)));
    EXPECT_TRUE(blank(bitmap, onCircle({20, 20}, 15, 270)));
}

TEST(ContextRender, FullTurnSweepDrawsTheWholeRing) {
    for (bool clockwise : {false, true}) {
        Bitmap bitmap = Bitmap::forPointSize({40, 40}, kScale);
        Context context(bitmap);
        strokeArc(context, 90, clockwise ? 90 - 360 : 90 + 360, clockwise);
        for (double degrees = 0; degrees < 360; degrees += 15) {
            EXPECT_TRUE(painted(bitmap, onCircle({20, 20}, 15, degrees)))
                << degrees << "° clockwise " << clockwise;
        }
        EXPECT_TRUE(blank(bitmap, {20, 20}));
    }
}

TEST(ContextRender, RoundedRectRadiiClampToHalfTheSide) {
    Bitmap bitmap = Bitmap::forPointSize({40, 10}, kScale);
    Context context(bitmap);
    // Radii of 30 on a 10-pt-high rect give a capsule with round ends of radius 5.
    Path::roundedRect({0, 0, 40, 10}, 30, 30).fill(context);
    EXPECT_TRUE(painted(bitmap, {20, 5}));
    EXPECT_TRUE(painted(bitmap, {1, 5}));
    EXPECT_TRUE(painted(bitmap, {39, 5}));
    EXPECT_TRUE(blank(bitmap, {0.3, 0.3}));
    EXPECT_TRUE(blank(bitmap, {39.7, 9.7}));
    // A clamped x radius of 20 would leave the middle of the top edge filled.
    EXPECT_TRUE(painted(bitmap, {20, 9.7}));
}

TEST(ContextRender, NestedClipsIntersectAndRestore) {
    Bitmap bitmap = Bitmap::forPointSize({40, 40}, kScale);
    Context context(bitmap);
    context.save();
    context.clipToRect({0, 0, 25, 25});
    Path::oval({10, 10, 30, 30}).addClip(context);
    context.setFillColor(Color::srgb(1, 0, 0));
    context.fillRect({0, 0, 40, 40});
    context.restore();
    EXPECT_TRUE(painted(bitmap, {22, 22}));
    EXPECT_TRUE(blank(bitmap, {5, 5}));   // inside the rect, outside the oval
    EXPECT_TRUE(blank(bitmap, {30, 30})); // inside the oval, outside the rect
    EXPECT_TRUE(blank(bitmap, {11, 11})); // inside both boxes, outside the oval's curve

    context.setFillColor(Color::srgb(0, 0, 1));
    context.fillRect({0, 0, 5, 5});
    EXPECT_TRUE(painted(bitmap, {2, 2})) << "restore removes the clip";
}

TEST(ContextRender, ShadowReachesAboutItsBlurRadiusBeyondTheShape) {
    Bitmap bitmap = Bitmap::forPointSize({60, 60}, kScale);
    Context context(bitmap);
    context.setShadow(Shadow{Color::black(), 6, {0, 0}});
    context.setFillColor(Color::white());
    context.fillRect({20, 20, 20, 20});
    EXPECT_EQ(bitmap.pixelAtPoint({30, 30}), (Rgba8{255, 255, 255, 255}));
    // Halfway out along the blur the shadow is clearly there, on every side.
    for (Point p : {Point{17, 30}, Point{43, 30}, Point{30, 17}, Point{30, 43}}) {
        EXPECT_GT(bitmap.pixelAtPoint(p).alpha, 20) << p.x << "," << p.y;
    }
    // Twice the blur radius out there is none.
    for (Point p : {Point{8, 30}, Point{52, 30}, Point{30, 8}, Point{30, 52}, Point{5, 5}}) {
        EXPECT_EQ(bitmap.pixelAtPoint(p).alpha, 0) << p.x << "," << p.y;
    }
    // It fades outwards.
    EXPECT_GT(bitmap.pixelAtPoint({18.5, 30}).alpha, bitmap.pixelAtPoint({15, 30}).alpha);
    EXPECT_GT(bitmap.pixelAtPoint({15, 30}).alpha, bitmap.pixelAtPoint({12, 30}).alpha);
    bitmap.writePng(testsupport::artifactPath("shadow-blur-6.png").string());
}

TEST(ContextRender, ShadowOffsetIsInYUpPoints) {
    Bitmap bitmap = Bitmap::forPointSize({60, 60}, kScale);
    Context context(bitmap);
    context.setShadow(Shadow{Color::black(), 2, {0, -8}});
    context.fillRect({20, 20, 20, 20});
    EXPECT_GT(bitmap.pixelAtPoint({30, 15}).alpha, 200);
    EXPECT_EQ(bitmap.pixelAtPoint({30, 45}).alpha, 0);
}

TEST(ContextRender, StateStackRestoresColoursAlphaShadowAndTransform) {
    Bitmap bitmap = Bitmap::forPointSize({20, 20}, 1);
    Context context(bitmap);
    context.setFillColor(Color::srgb(1, 0, 0));
    context.save();
    context.setFillColor(Color::srgb(0, 1, 0));
    context.setAlpha(0.5);
    context.setShadow(Shadow{Color::black(), 3, {}});
    context.setLineWidth(4);
    context.translate(10, 10);
    context.restore();
    EXPECT_EQ(context.fillColor(), Color::srgb(1, 0, 0));
    EXPECT_EQ(context.alpha(), 1);
    EXPECT_FALSE(context.shadow());
    EXPECT_EQ(context.lineWidth(), 1);
    EXPECT_TRUE(context.currentTransform().isIdentity());
    context.restore(); // an unbalanced restore is ignored
    context.fillRect({0, 0, 1, 1});
    EXPECT_EQ(bitmap.pixel(0, 19), (Rgba8{255, 0, 0, 255}));
}

TEST(ContextRender, GlobalAlphaMultipliesFills) {
    Bitmap bitmap = Bitmap::forPointSize({10, 10}, 1);
    Context context(bitmap);
    context.setAlpha(0.5);
    context.setFillColor(Color::black().withAlpha(0.5));
    context.fillRect({0, 0, 10, 10});
    EXPECT_NEAR(bitmap.pixel(5, 5).alpha, 64, 1);
}

TEST(ContextRender, CompositingOperations) {
    Bitmap bitmap = Bitmap::forPointSize({30, 10}, 1);
    Context context(bitmap);
    context.setFillColor(Color::srgb(1, 0, 0));
    context.fillRect({0, 0, 20, 10});
    // Copy replaces, alpha included.
    context.setFillColor(Color::srgb(0, 0, 1, 0.5));
    context.fillRect({0, 0, 5, 10}, CompositingOperation::copy);
    EXPECT_EQ(bitmap.pixelAtPoint({2, 5}).alpha, 128);
    EXPECT_EQ(bitmap.pixelAtPoint({2, 5}).red, 0);
    // Source-atop paints only where something is.
    context.setFillColor(Color::srgb(0, 1, 0));
    context.setCompositingOperation(CompositingOperation::sourceAtop);
    context.fillRect({10, 0, 20, 10});
    context.setCompositingOperation(CompositingOperation::sourceOver);
    EXPECT_EQ(bitmap.pixelAtPoint({15, 5}), (Rgba8{0, 255, 0, 255}));
    EXPECT_EQ(bitmap.pixelAtPoint({25, 5}).alpha, 0);
    // Clear empties whatever the fill colour.
    context.clearRect({5, 0, 5, 10});
    EXPECT_EQ(bitmap.pixelAtPoint({7, 5}).alpha, 0);
    context.fillRect({0, 0, 30, 10}, CompositingOperation::clear);
    EXPECT_EQ(bitmap.pixelAtPoint({15, 5}).alpha, 0);
}

TEST(ContextRender, RecordingContextLogsFillsInBaseSpace) {
    RecordingContext context({100, 24}, 2);
    context.translate(10, 2);
    context.setFillColor(Color::srgb(0.2, 0.4, 0.6, 0.5));
    Path::roundedRect({0, 0, 30, 20}, 4, 4).fill(context);
    context.setStrokeColor(Color::black());
    context.setLineWidth(2);
    context.stroke(Path::oval({0, 0, 10, 10}));
    ASSERT_EQ(context.log().fills().size(), 1u);
    FillRecord fill = context.log().fills()[0];
    EXPECT_EQ(fill.color, Color::srgb(0.2, 0.4, 0.6, 0.5));
    EXPECT_NEAR(fill.bounds.minX(), 10, 1e-9);
    EXPECT_NEAR(fill.bounds.minY(), 2, 1e-9);
    EXPECT_NEAR(fill.bounds.width(), 30, 1e-9);
    EXPECT_NEAR(fill.bounds.height(), 20, 1e-9);
    ASSERT_EQ(context.log().strokes().size(), 1u);
    EXPECT_EQ(context.log().strokes()[0].lineWidth, 2);
    // It draws as well.
    EXPECT_GT(context.bitmap().pixelAtPoint({25, 12}).alpha, 100);
}

TEST(ContextRender, DynamicColoursResolveAgainstTheContextAppearance) {
    RecordingContext light({10, 10}, 1, Appearance::light);
    RecordingContext dark({10, 10}, 1, Appearance::dark);
    light.setFillColor(Color::label());
    dark.setFillColor(Color::label());
    light.fillRect({0, 0, 10, 10});
    dark.fillRect({0, 0, 10, 10});
    EXPECT_EQ(light.log().fills()[0].color, Color::label().resolved(Appearance::light));
    EXPECT_EQ(dark.log().fills()[0].color, Color::label().resolved(Appearance::dark));
    EXPECT_LT(light.bitmap().pixel(5, 5).red, 10);
    EXPECT_GT(dark.bitmap().pixel(5, 5).red, 200);
}

TEST(ContextRender, BadNumbersDrawNothingAndLeaveTheContextWorking) {
    double nan = std::nan("");
    Bitmap bitmap = Bitmap::forPointSize({20, 20}, 2);
    Context context(bitmap);
    Path broken;
    broken.moveTo({0, 0});
    broken.lineTo({nan, 10});
    broken.lineTo({10, 10});
    context.fill(broken);
    context.stroke(broken);
    Path arc;
    arc.appendArc({10, 10}, 5, nan, 90, true);
    EXPECT_TRUE(arc.isEmpty());
    context.fillRect({nan, 0, 5, 5});
    context.save();
    context.scale(0, 1);
    EXPECT_TRUE(context.drawsNothing());
    context.fillRect({0, 0, 20, 20});
    context.restore();
    context.save();
    context.translate(nan, 0);
    context.fillRect({0, 0, 20, 20});
    context.restore();
    EXPECT_EQ(bitmap.pixel(20, 20).alpha, 0) << "nothing was drawn so far";

    context.setFillColor(Color::srgb(1, 0, 0));
    context.fillRect({0, 0, 20, 20});
    EXPECT_EQ(bitmap.pixel(20, 20), (Rgba8{255, 0, 0, 255})) << "the context still draws";
    EXPECT_EQ(cairo_status(context.cairo()), CAIRO_STATUS_SUCCESS);
}

TEST(ContextRender, ImpossibleBitmapsAreEmpty) {
    EXPECT_TRUE(Bitmap::forPointSize({1e12, 10}, 2).pixelsWide() == 32767);
    Bitmap tooLarge(100000, 10, {1, 1});
    EXPECT_TRUE(tooLarge.isEmpty());
    EXPECT_EQ(tooLarge.pixel(0, 0).alpha, 0);
    EXPECT_TRUE(Bitmap::forPointSize({std::nan(""), 10}, 2).isEmpty());
}

TEST(ContextRender, ContextOverForeignCairoFlipsOnce) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 20);
    cairo_t* cr = cairo_create(surface);
    cairo_matrix_t before;
    cairo_get_matrix(cr, &before);
    {
        Context context(cr, {10, 10}, 2);
        context.fillRect({0, 0, 5, 5});
        context.save();
        context.translate(3, 3);
        context.clipToRect({0, 0, 1, 1});
    }
    cairo_matrix_t after;
    cairo_get_matrix(cr, &after);
    EXPECT_EQ(after.xx, before.xx);
    EXPECT_EQ(after.yy, before.yy);
    EXPECT_EQ(after.y0, before.y0) << "the borrowed cairo_t is left as it was";
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    EXPECT_EQ(data[19 * stride + 3], 255); // bottom-left pixel, alpha byte
    EXPECT_EQ(data[0 * stride + 3], 0);    // top-left stays clear
    cairo_surface_destroy(surface);
}

} // namespace
} // namespace gfx
