#include "floating/LiquidScene.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {
namespace {

constexpr double maxJelly = 0.2;
constexpr double presentFactor = 0.001;
// The attachment points sit this far inside the edges, so the shapes overlap without a seam.
constexpr double edgeOverlap = 0.75;

// A bump is a soft tooth on an edge: base at (x0, baseY), tip at (x0, tipY).
gfx::Path bumpPath(gfx::Point base, double halfWidth, double tipY, double direction) {
    const double x0 = base.x;
    const double y0 = base.y;
    const double baseY = y0 - edgeOverlap * direction;
    gfx::Path path;
    path.moveTo({x0 - halfWidth, baseY});
    path.curveTo({x0, tipY}, {x0 - 0.45 * halfWidth, y0}, {x0 - 0.55 * halfWidth, tipY});
    path.curveTo({x0 + halfWidth, baseY}, {x0 + 0.55 * halfWidth, tipY},
                 {x0 + 0.45 * halfWidth, y0});
    path.close();
    return path;
}

} // namespace

gfx::Rect LiquidScene::body() const {
    const double j = std::clamp(jelly, -maxJelly, maxJelly);
    const double width = strip.width() * (1 - 0.18 * j);
    const double height = strip.height() * (1 + j);
    return {strip.midX() - width / 2, strip.midY() - height / 2, width, height};
}

double LiquidScene::stripAttachmentX() const {
    const gfx::Rect b = body();
    return b.minX() + b.width() * grab;
}

double LiquidScene::stripAttachmentY() const {
    const gfx::Rect b = body();
    return hangsBelow() ? b.maxY() - edgeOverlap : b.minY() + edgeOverlap;
}

gfx::Point LiquidScene::anchorAttachment() const {
    return {anchor.minX() + anchor.width() * grab,
            hangsBelow() ? anchor.minY() + edgeOverlap : anchor.maxY() - edgeOverlap};
}

gfx::Rect LiquidScene::bounds() const {
    gfx::Rect result = anchor.unionWith(body());
    if (bubble) {
        const double side = 6 * bubble->radius;
        result = result.unionWith(
            {bubble->center.x - side / 2, bubble->center.y - side / 2, side, side});
    }
    return result;
}

std::optional<gfx::Path> LiquidScene::neckPath() const {
    const gfx::Point a = anchorAttachment();
    const gfx::Point s{stripAttachmentX(), stripAttachmentY()};
    if (std::fabs(a.y - s.y) <= 0.5)
        return std::nullopt;
    const double b = std::clamp(neck, 0.0, 1.0);
    const double h = strip.height();
    const double wa = h * (0.8 + 0.7 * b);
    const double ws = h * (0.7 + 0.6 * b);
    const double wm = std::max(0.36 * h * std::pow(b, 0.85), 0.9);
    const double mx = (a.x + s.x) / 2;
    const double my = (a.y + s.y) / 2;
    const double qa = my + (a.y - my) * 0.62;
    const double qs = my - (my - s.y) * 0.62;

    gfx::Path path;
    path.moveTo({a.x - wa, a.y});
    path.curveTo({mx - wm, my}, {a.x - 0.3 * wa, a.y}, {mx - wm, qa});
    path.curveTo({s.x - ws, s.y}, {mx - wm, qs}, {s.x - 0.3 * ws, s.y});
    path.lineTo({s.x + ws, s.y});
    path.curveTo({mx + wm, my}, {s.x + 0.3 * ws, s.y}, {mx + wm, qs});
    path.curveTo({a.x + wa, a.y}, {mx + wm, qa}, {a.x + 0.3 * wa, a.y});
    path.close();
    return path;
}

std::vector<gfx::Path> LiquidScene::outline() const {
    std::vector<gfx::Path> paths;
    const gfx::Rect b = body();
    const double radius = b.height() / 2 - 0.5;
    paths.push_back(gfx::Path::roundedRect(b.insetBy(0.5, 0.5), radius, radius));

    if (neck > presentFactor)
        if (auto path = neckPath())
            paths.push_back(std::move(*path));

    const double h = strip.height();
    const bool below = hangsBelow();
    if (anchorBump > presentFactor) {
        const double s = below ? -1 : 1;
        const gfx::Point base = anchorAttachment();
        paths.push_back(
            bumpPath(base, 0.55 * h * anchorBump, base.y + 0.3 * h * anchorBump * s, s));
    }
    if (stripBump > presentFactor) {
        const double s = below ? 1 : -1;
        const gfx::Point base{stripAttachmentX(), stripAttachmentY()};
        paths.push_back(bumpPath(base, 0.5 * h * stripBump, base.y + 0.26 * h * stripBump * s, s));
    }

    if (bubble && bubble->life < 1) {
        const double l = bubble->life;
        const double grown = 1 - std::pow(1 - std::min(l / 0.7, 1.0), 3);
        const double growth = 1 + 0.35 * grown;
        const double fade = l < 0.7 ? 1 : std::max(1 - (l - 0.7) / 0.12, 0.0);
        const double r = bubble->radius * growth * fade;
        if (r > 0.2)
            paths.push_back(
                gfx::Path::oval({bubble->center.x - r, bubble->center.y - r, 2 * r, 2 * r}));
    }
    return paths;
}

} // namespace pulsedeck
