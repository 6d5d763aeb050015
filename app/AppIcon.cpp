#include "app/AppIcon.h"

#include "platform/foundation/URLComponents.h"
#include "platform/graphics/Path.h"

namespace pulsedeck {

namespace {

// Proportions of the tile's side.
constexpr double tileInset = 0.06;
constexpr double cornerRadius = 0.2;
constexpr double barWidth = 0.15;
constexpr double barGap = 0.07;
constexpr double barBase = 0.2;
constexpr double barHeights[3] = {0.26, 0.44, 0.34};
constexpr double pulseWidth = 0.05;

constexpr gfx::Color barColors[3] = {gfx::Color::srgb(0.16, 0.58, 1.0),
                                     gfx::Color::srgb(0.19, 0.78, 0.76),
                                     gfx::Color::srgb(0.2, 0.78, 0.35)};

} // namespace

void drawAppIcon(gfx::Context& context, const gfx::Rect& rect, bool dark) {
    const double side = std::min(rect.width(), rect.height());
    const gfx::Rect tile{rect.midX() - side / 2 + side * tileInset,
                         rect.midY() - side / 2 + side * tileInset, side * (1 - 2 * tileInset),
                         side * (1 - 2 * tileInset)};
    const double unit = tile.width();
    const gfx::Color tileColor =
        dark ? gfx::Color::srgb(0.11, 0.12, 0.14) : gfx::Color::srgb(0.97, 0.97, 0.98);
    const gfx::Color rimColor =
        dark ? gfx::Color::white().withAlpha(0.12) : gfx::Color::black().withAlpha(0.1);
    const gfx::Color pulseColor =
        dark ? gfx::Color::srgb(0.96, 0.97, 1.0) : gfx::Color::srgb(0.13, 0.15, 0.2);

    context.setFillColor(tileColor);
    context.fill(gfx::Path::roundedRect(tile, unit * cornerRadius, unit * cornerRadius));
    context.setStrokeColor(rimColor);
    context.setLineWidth(std::max(1.0, unit * 0.008));
    context.stroke(gfx::Path::roundedRect(tile.insetBy(unit * 0.004, unit * 0.004),
                                          unit * cornerRadius, unit * cornerRadius));

    const double barsWidth = 3 * barWidth + 2 * barGap;
    double x = tile.x() + (1 - barsWidth) / 2 * unit;
    for (int i = 0; i < 3; ++i) {
        const gfx::Rect bar{x, tile.y() + barBase * unit, barWidth * unit, barHeights[i] * unit};
        context.setFillColor(barColors[i]);
        context.fill(gfx::Path::roundedRect(bar, unit * barWidth / 2, unit * barWidth / 2));
        x += (barWidth + barGap) * unit;
    }

    // A heartbeat across the top of the bars: flat, a dip, a peak, flat.
    auto at = [&](double px, double py) {
        return gfx::Point{tile.x() + px * unit, tile.y() + py * unit};
    };
    gfx::Path pulse;
    pulse.moveTo(at(0.16, 0.78));
    pulse.lineTo(at(0.38, 0.78));
    pulse.lineTo(at(0.46, 0.7));
    pulse.lineTo(at(0.56, 0.9));
    pulse.lineTo(at(0.64, 0.78));
    pulse.lineTo(at(0.84, 0.78));
    context.setStrokeColor(pulseColor);
    context.setLineWidth(pulseWidth * unit);
    context.setLineCap(gfx::LineCap::round);
    context.setLineJoin(gfx::LineJoin::round);
    context.stroke(pulse);
}

gfx::Image appIconImage(bool dark, double size) {
    return gfx::Image::withDrawingHandler({size, size}, false,
                                          [dark](gfx::Context& context, const gfx::Rect& rect) {
                                              drawAppIcon(context, rect, dark);
                                              return true;
                                          });
}

std::optional<gfx::Image> loadAppIcon(const foundation::Bundle& bundle, bool dark) {
    const auto path = bundle.urlForResource(dark ? "AppIconDark" : "AppIcon", "png");
    if (!path)
        return std::nullopt;
    return gfx::Image::fromPngFile(path->string());
}

std::string appIconURI(const foundation::Bundle& bundle) {
    const auto path = bundle.urlForResource("AppIcon", "png");
    if (!path)
        return {};
    std::string uri = "file://";
    for (const auto& segment : path->relative_path())
        uri += "/" + foundation::percentEncodeAllButUnreserved(segment.string());
    return uri;
}

} // namespace pulsedeck
