#include "../statusbar/SampleStrip.h"
#include "../statusbar/StripFixture.h"
#include "floating/FloatingLiquidAnimator.h"
#include "floating/FloatingLiquidView.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/RectText.h"
#include "support/TestPaths.h"

namespace pulsedeck {
namespace {

constexpr gfx::Color wallpaper = gfx::Color::srgb(0.18, 0.42, 0.58);

// The desktop behind the overlay: a flat wallpaper under a menu bar 24 pt high.
class Desktop : public ui::View {
public:
    Desktop(const gfx::Rect& frame, bool dark) : ui::View(frame), dark_(dark) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(wallpaper);
        context.fillRect(bounds());
        context.setFillColor(gfx::Color::grey(dark_ ? 0.2 : 0.9));
        context.fillRect({0, bounds().maxY() - 24, bounds().width(), 24});
    }

private:
    bool dark_;
};

// A pull-out of the full sample strip from the menu bar of a 1440 × 900 screen at scale 2,
// composed over the desktop as the user would see it.
class LiquidSceneRender : public striptest::StripFixture {
protected:
    const striptest::SampleReadings readings;
    std::shared_ptr<MenuBarContentView> strip = makeStrip();
    std::shared_ptr<FloatingPanel> panel;
    std::shared_ptr<ui::Window> desktop;
    FloatingLiquidAnimator animator;
    gfx::Rect anchor;

    void present(bool dark) {
        server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1, 24, 2)});
        const gfx::Appearance appearance = dark ? gfx::Appearance::dark : gfx::Appearance::light;
        strip->setAppearance(appearance);
        striptest::fillSampleStrip(*strip, readings, dark, &clock);
        const double width = strip->requiredWidth();
        strip->setFrameSize({width, 24});
        anchor = {1400 - width, 876, width, 24};

        desktop = std::make_shared<ui::Window>(gfx::Rect{0, 0, 1440, 900}, ui::Style::borderless);
        desktop->setContentView(std::make_shared<Desktop>(gfx::Rect{0, 0, 1440, 900}, dark));
        desktop->orderFront();

        panel = std::make_shared<FloatingPanel>(anchor, ui::Style::nonactivatingPanel);
        auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, anchor.size});
        surface->setOwner(strip);
        surface->setAppearance(appearance);
        panel->setContentView(surface);
        panel->orderFront();
    }

    void pullTo(double dx, double dy) {
        panel->setFrame(anchor.offsetBy(dx, dy), false);
        animator.update(panel, anchor, 0.3, true);
    }
    void frames(double seconds) {
        for (double t = 0; t < seconds; t += 1.0 / 60) {
            clock.advance(1.0 / 60);
            animator.tick();
        }
    }

    // The screen, in screen points; the part around the anchor is written as a PNG.
    gfx::Bitmap capture(const std::string& name) {
        loop.runUntilIdle();
        gfx::Bitmap screen = server.composeScreen(0);
        const gfx::Rect region =
            gfx::Rect{anchor.minX() - 280, 560, anchor.width() + 320, 340}.integral();
        gfx::Bitmap part = gfx::Bitmap::forPointSize(region.size, 2);
        gfx::Context context(part);
        gfx::ImageDrawOptions options;
        options.source = region;
        gfx::Image::withBitmap(screen.copy()).draw(context, {{}, region.size}, options);
        EXPECT_TRUE(part.writePng(testsupport::artifactPath(name).string()));
        return screen;
    }
};

bool isWallpaper(gfx::Rgba8 pixel) {
    const auto near = [](int value, double expected) {
        return std::abs(value - expected * 255) < 4;
    };
    return near(pixel.red, wallpaper.red()) && near(pixel.green, wallpaper.green()) &&
           near(pixel.blue, wallpaper.blue());
}

// Dark liquid is near black, light liquid near white.
void expectLiquid(gfx::Rgba8 pixel, bool dark) {
    if (dark)
        EXPECT_LT(pixel.red, 70);
    else
        EXPECT_GT(pixel.red, 200);
    EXPECT_FALSE(isWallpaper(pixel));
}

TEST_F(LiquidSceneRender, StretchedTornAndDockingInLightAndDark) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        present(dark);
        const std::string suffix = dark ? "-dark.png" : "-light.png";

        // Stretched: the strip hangs on a thinning neck below its place in the bar.
        pullTo(-30, -90);
        frames(0.3);
        ASSERT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::attached);
        const gfx::Bitmap stretched = capture("liquid-stretched" + suffix);
        const LiquidScene hanging = animator.scene(clock.now());
        const gfx::Point waist{(hanging.anchorAttachment().x + hanging.stripAttachmentX()) / 2,
                               (hanging.anchorAttachment().y + hanging.stripAttachmentY()) / 2};
        expectLiquid(stretched.pixelAtPoint(waist), dark);
        EXPECT_TRUE(isWallpaper(stretched.pixelAtPoint(waist.offsetBy(-40, 0))));
        EXPECT_TRUE(isWallpaper(stretched.pixelAtPoint(waist.offsetBy(40, 0))));
        // The real panel is hidden; the overlay stands in for it above the bar.
        EXPECT_EQ(panel->alphaValue(), 0);
        EXPECT_GT(animator.overlay()->level(), ui::WindowLevel::status);

        // Torn: no neck any more, a bubble left between bar and strip.
        pullTo(-60, -220);
        frames(0.1);
        ASSERT_EQ(animator.phase(), FloatingLiquidAnimator::Phase::breaking);
        const gfx::Bitmap torn = capture("liquid-torn" + suffix);
        const LiquidScene broken = animator.scene(clock.now());
        ASSERT_TRUE(broken.bubble);
        expectLiquid(torn.pixelAtPoint(broken.bubble->center), dark);
        const double gapY = (broken.anchor.minY() + broken.body().maxY()) / 2;
        EXPECT_TRUE(isWallpaper(torn.pixelAtPoint({broken.bubble->center.x + 30, gapY})));
        expectLiquid(torn.pixelAtPoint(broken.body().center().offsetBy(0, 10.5)), dark);
        EXPECT_TRUE(animator.cancel());

        // Docking: halfway through the flight into the anchor.
        ASSERT_TRUE(animator.begin(panel));
        const double started = clock.now();
        animator.startDocking(anchor.offsetBy(-200, -160), anchor, [] {});
        clock.set(started + 0.4);
        animator.tick();
        const gfx::Bitmap docking = capture("liquid-docking" + suffix);
        const LiquidScene flying = animator.scene(clock.now());
        expectLiquid(docking.pixelAtPoint(flying.body().center().offsetBy(0, 10)), dark);
        EXPECT_TRUE(isWallpaper(docking.pixelAtPoint(flying.body().center().offsetBy(0, -60))));
        animator.stop();
        EXPECT_EQ(panel->alphaValue(), 1);
    }
}

// A bare pill 100 × 20 below its anchor, no shadow, neck, bumps or snapshot, drawn at scale 2.
gfx::Bitmap bareScene(double jelly, double opacity, bool reduceTransparency) {
    LiquidScene scene;
    scene.anchor = {20, 60, 100, 20};
    scene.strip = {20, 10, 100, 20};
    scene.jelly = jelly;
    scene.showsShadow = false;
    gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({140, 100}, 2);
    gfx::Context context(bitmap);
    scene.draw(context, nullptr, false, opacity, reduceTransparency);
    return bitmap;
}

TEST(LiquidSceneDraw, TheTintFollowsOpacityCubedUnlessTransparencyIsReduced) {
    const gfx::Point inside{70, 20};
    EXPECT_NEAR(bareScene(0, 0.5, false).pixelAtPoint(inside).alpha, 0.125 * 255, 1.5);
    EXPECT_EQ(bareScene(0, 0.5, true).pixelAtPoint(inside).alpha, 255);
    // Below the 0.2 floor the tint stays at 0.2 cubed.
    EXPECT_NEAR(bareScene(0, 0.05, false).pixelAtPoint(inside).alpha, 0.008 * 255, 1.5);
}

TEST(LiquidSceneDraw, TheRimIsAFaintLineOutsideTheShapeOnly) {
    const gfx::Bitmap bitmap = bareScene(0, 1, false);
    // The pill's edge is at 29.5; the stroke's inner half is erased and the tint covers it.
    const gfx::Rgba8 rim = bitmap.pixelAtPoint({70, 29.75});
    EXPECT_NEAR(rim.alpha, 0.12 * 255, 4);
    EXPECT_LT(rim.red, 3);
    const gfx::Rgba8 tint = bitmap.pixelAtPoint({70, 29.25});
    EXPECT_EQ(tint.alpha, 255);
    EXPECT_GT(tint.red, 230);
    EXPECT_EQ(bitmap.pixelAtPoint({70, 31}).alpha, 0);
}

TEST(LiquidSceneDraw, JellyBeyondItsClampDrawsAsTheClamp) {
    for (const double jelly : {0.5, -0.5}) {
        const gfx::Bitmap beyond = bareScene(jelly, 0.7, false);
        const gfx::Bitmap clamped = bareScene(jelly > 0 ? 0.2 : -0.2, 0.7, false);
        const gfx::Bitmap plain = bareScene(0, 0.7, false);
        int differences = 0;
        int changed = 0;
        for (int row = 0; row < beyond.pixelsHigh(); ++row) {
            for (int column = 0; column < beyond.pixelsWide(); ++column) {
                differences += beyond.pixel(column, row) != clamped.pixel(column, row);
                changed += beyond.pixel(column, row) != plain.pixel(column, row);
            }
        }
        EXPECT_EQ(differences, 0);
        EXPECT_GT(changed, 100);
    }
}

// The overlay is framed to what a scene paints: every painted pixel lies inside its drawn
// bounds, and those reach past the outermost one by no more than the shadow's blur, whatever the
// scene holds (a neck up to the anchor, the tear's bumps and bubble ring, a shadow or none).
TEST(LiquidSceneDraw, DrawnBoundsHoldEveryPaintedPixelAndLittleMore) {
    LiquidScene hanging;
    hanging.anchor = {300, 400, 200, 24};
    hanging.strip = {220, 300, 200, 24};
    hanging.neck = 0.6;
    hanging.jelly = 0.05;
    LiquidScene torn = hanging;
    torn.neck = 0;
    torn.anchorBump = 0.8;
    torn.stripBump = 0.7;
    torn.bubble = LiquidBubble{{330, 360}, 4, 0.85};
    LiquidScene bare = torn;
    bare.anchorBump = 0;
    bare.stripBump = 0;
    bare.bubble.reset();
    bare.showsShadow = false;
    for (const LiquidScene& scene : {hanging, torn, bare}) {
        constexpr double scale = 2;
        gfx::Bitmap bitmap = gfx::Bitmap::forPointSize({700, 600}, scale);
        {
            gfx::Context context(bitmap);
            scene.draw(context, nullptr, false, 1, false);
        }
        int left = bitmap.pixelsWide(), right = -1, top = bitmap.pixelsHigh(), bottom = -1;
        for (int row = 0; row < bitmap.pixelsHigh(); ++row)
            for (int column = 0; column < bitmap.pixelsWide(); ++column)
                if (bitmap.pixel(column, row).alpha > 0) {
                    left = std::min(left, column);
                    right = std::max(right, column);
                    top = std::min(top, row);
                    bottom = std::max(bottom, row);
                }
        ASSERT_GE(right, 0);
        const gfx::Rect painted{left / scale, 600 - (bottom + 1) / scale,
                                (right + 1 - left) / scale, (bottom + 1 - top) / scale};
        const gfx::Rect drawn = scene.drawnBounds();
        EXPECT_TRUE(drawn.contains(painted))
            << gfx::stringFromRect(drawn) << " " << gfx::stringFromRect(painted);
        EXPECT_TRUE(painted.insetBy(-12, -12).contains(drawn))
            << gfx::stringFromRect(drawn) << " " << gfx::stringFromRect(painted);
    }
}

} // namespace
} // namespace pulsedeck
