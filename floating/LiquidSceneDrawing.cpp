#include "floating/LiquidScene.h"
#include "model/StripLook.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/TransparencyLayer.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pulsedeck {
namespace {

constexpr double shadowBlur = 9;
constexpr double shadowDrop = 3;
constexpr double rimAlpha = 0.12;
constexpr double ringStartLife = 0.7;
// How far beyond the body the blurred, dropped shadow can reach: the blur's three box passes
// spread at most about 1.5 times its radius plus a pixel or two of rounding. A layer no larger
// than that keeps the per-frame clearing and compositing to what the shadow touches.
constexpr double shadowReach = 1.5 * shadowBlur + shadowDrop + 3;

// The pop ring's radius once the bubble is past ringStartLife of its life: it grows as it fades.
double ringRadius(const LiquidBubble& bubble) {
    const double p = (bubble.life - ringStartLife) / (1 - ringStartLife);
    return bubble.radius * 1.35 * (1 + 1.4 * p);
}

gfx::Path pill(const gfx::Rect& rect, double radius) {
    return gfx::Path::roundedRect(rect, radius, radius);
}

// A soft shadow around the body, with the body's own area erased so a translucent tint over it
// does not darken.
void drawShadow(gfx::Context& context, const gfx::Rect& body, bool dark) {
    const double h = body.height();
    context.setShadow(gfx::Shadow{
        gfx::Color::black().withAlpha(dark ? 0.42 : 0.2), shadowBlur, {0, -shadowDrop}});
    context.setFillColor(gfx::Color::black());
    context.fill(pill(body.insetBy(1, 1), h / 2 - 1));
    context.setCompositingOperation(gfx::CompositingOperation::clear);
    context.setShadow(std::nullopt);
    context.fill(pill(body.insetBy(0.5, 0.5), h / 2));
}

// A hairline around the shape, kept only outside it and away from the anchor, so the shape
// flows out of the menu bar without a seam.
void drawRim(gfx::Context& context, const std::vector<gfx::Path>& paths, const gfx::Rect& anchor,
             bool dark) {
    context.setStrokeColor(dark ? gfx::Color::white() : gfx::Color::black());
    context.setLineWidth(1);
    for (const gfx::Path& path : paths)
        context.stroke(path);
    context.setCompositingOperation(gfx::CompositingOperation::clear);
    for (const gfx::Path& path : paths)
        context.fill(path);
    context.fill(pill(anchor.insetBy(-0.5, -0.5), anchor.height() / 2));
}

} // namespace

gfx::Rect LiquidScene::drawnBounds() const {
    gfx::Rect drawn;
    for (const gfx::Path& path : outline())
        drawn = drawn.unionWith(path.bounds());
    // The rim's stroke reaches half its width beyond the shapes.
    drawn = drawn.isEmpty() ? drawn : drawn.insetBy(-1, -1);
    if (showsShadow)
        drawn = drawn.unionWith(body().insetBy(-shadowReach, -shadowReach));
    if (bubble && bubble->life >= ringStartLife && bubble->life < 1) {
        const double reach = ringRadius(*bubble) + 1;
        drawn = drawn.unionWith(
            {bubble->center.x - reach, bubble->center.y - reach, 2 * reach, 2 * reach});
    }
    return drawn;
}

void LiquidScene::draw(gfx::Context& context, const gfx::Image* image, bool dark, double opacity,
                       bool reduceTransparency) const {
    const std::vector<gfx::Path> paths = outline();
    const gfx::Rect shape = body();
    gfx::Rect extent;
    for (const gfx::Path& path : paths)
        extent = extent.unionWith(path.bounds());
    // Room for the rim's stroke and the anchor it is erased along.
    const gfx::Rect inked = extent.unionWith(anchor).insetBy(-2, -2);

    if (showsShadow) {
        gfx::TransparencyLayer layer(context, 1, shape.insetBy(-shadowReach, -shadowReach));
        drawShadow(context, shape, dark);
    }

    const double level = dark ? 0.1 : 0.94;
    const double tintAlpha = reduceTransparency ? 1 : std::pow(clampedOpacity(opacity), 3);
    {
        // Opaque, the overlapping fills look the same without setting the layer aside.
        std::optional<gfx::TransparencyLayer> layer;
        if (tintAlpha < 1)
            layer.emplace(context, tintAlpha, inked);
        gfx::Context::SavedState saved(context);
        context.setFillColor(gfx::Color::srgb(level, level, level, 1));
        for (const gfx::Path& path : paths)
            context.fill(path);
    }

    {
        gfx::TransparencyLayer layer(context, rimAlpha, inked);
        drawRim(context, paths, anchor, dark);
    }

    if (image) {
        gfx::ImageDrawOptions options;
        options.interpolation = gfx::ImageInterpolation::high;
        image->draw(context, shape, options);
    }

    if (bubble && bubble->life >= ringStartLife && bubble->life < 1) {
        const double p = (bubble->life - ringStartLife) / (1 - ringStartLife);
        const double r = ringRadius(*bubble);
        gfx::Context::SavedState saved(context);
        context.setStrokeColor(
            (dark ? gfx::Color::white() : gfx::Color::black()).withAlpha((1 - p) * 0.28));
        context.setLineWidth(0.8 * (1 - 0.5 * p));
        context.stroke(gfx::Path::oval({bubble->center.x - r, bubble->center.y - r, 2 * r, 2 * r}));
    }
}

} // namespace pulsedeck
