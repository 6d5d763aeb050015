#include "drawing/DeviceDrawing.h"

#include "drawing/CenteredTextOrigin.h"
#include "model/AccentColor.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double trackAlpha = 0.1;
constexpr double usedAlpha = 0.8;
constexpr double hatchAlpha = 0.16;
constexpr double hatchLineWidth = 0.7;
constexpr double hatchSpacing = 6;
// A bar is a couple of hundred points wide; a rect far wider (or not finite) draws no hatch
// rather than stroking without end.
constexpr double hatchStrokeLimit = 10'000;

constexpr double revealDuration = 0.72;
constexpr double revealFadeShare = 0.45;

constexpr gfx::Rect symbolBox{4, 3, 21, 18};
constexpr double symbolPointSize = 16;
constexpr double badgeRightEdge = 30;
constexpr double badgeBottom = 11;
constexpr double badgeHeight = 10;
constexpr double badgeRadius = 5;
constexpr gfx::Color badgeFillDark = gfx::Color::srgb(0.25, 0.25, 0.27);
constexpr gfx::Color badgeFillLight = gfx::Color::srgb(0.88, 0.88, 0.9);
constexpr double badgeStrokeAlpha = 0.16;
constexpr double badgeStrokeWidth = 0.5;

} // namespace

void drawCapacityBar(gfx::Context& context, const ExternalDevice& device, const gfx::Color& fill,
                     const gfx::Rect& rect) {
    const double radius = rect.height() / 2;
    const gfx::Path track = gfx::Path::roundedRect(rect, radius, radius);
    context.setFillColor(gfx::Color::label().withAlpha(trackAlpha));
    context.fill(track);

    const gfx::Context::SavedState saved(context);
    if (device.capacity && *device.capacity != 0 && device.availableCapacity) {
        const std::uint64_t capacity = *device.capacity;
        const std::uint64_t used = capacity - std::min(*device.availableCapacity, capacity);
        const double share = static_cast<double>(used) / static_cast<double>(capacity);
        if (!(share > 0)) {
            return;
        }
        context.clip(track);
        context.setFillColor(fill.withAlpha(usedAlpha));
        context.fill(gfx::Path::roundedRect(
            gfx::Rect(rect.minX(), rect.minY(), share * rect.width(), rect.height()), radius,
            radius));
        return;
    }

    context.clip(track);
    const double start = rect.minX() - rect.height();
    const double strokes = std::ceil((rect.maxX() - start) / hatchSpacing);
    if (!std::isfinite(strokes) || strokes > hatchStrokeLimit) {
        return;
    }
    gfx::Path hatch;
    for (int k = 0; start + hatchSpacing * k < rect.maxX(); ++k) {
        const double x = start + hatchSpacing * k;
        hatch.moveTo({x, rect.minY()});
        hatch.lineTo({x + rect.height(), rect.maxY()});
    }
    hatch.setLineWidth(hatchLineWidth);
    context.setStrokeColor(gfx::Color::label().withAlpha(hatchAlpha));
    hatch.stroke(context);
}

RevealState revealCurve(bool reduceMotion, double elapsed) {
    if (reduceMotion || elapsed >= revealDuration) {
        return {};
    }
    const double x = std::max(elapsed, 0.0) / revealDuration;
    const double spring = 1 - std::exp(-8 * x) * (std::cos(10 * x) + 0.8 * std::sin(10 * x));
    const double u = std::min(x / revealFadeShare, 1.0);
    return {
        .scale = 0.94 + 0.06 * spring,
        .opacity = 0.45 + 0.55 * u * u * (3 - 2 * u),
        .offset = -3 * (1 - spring),
    };
}

DeviceCountBadge deviceCountBadge(std::size_t count) {
    DeviceCountBadge badge;
    badge.text = count <= 99 ? std::to_string(count) : std::string("99+");
    const double width = badge.text.size() == 1 ? 11 : 15;
    badge.rect = gfx::Rect(badgeRightEdge - width, badgeBottom, width, badgeHeight);
    badge.fontSize = badge.text.size() <= 2 ? 7.2 : 5.8;
    return badge;
}

void drawDevicesIcon(gfx::Context& context, const gfx::Color& foreground,
                     std::optional<gfx::Color> symbolColor,
                     const std::vector<ExternalDevice>& devices, bool dark) {
    const auto symbol =
        gfx::symbolImage("externaldrive", {.pointSize = symbolPointSize,
                                           .weight = gfx::FontWeight::regular,
                                           .palette = {symbolColor.value_or(accentColor())}});
    if (symbol && symbol->size().width > 0 && symbol->size().height > 0) {
        const gfx::Size size = symbol->size();
        const double scale =
            std::min(symbolBox.width() / size.width, symbolBox.height() / size.height);
        const double width = size.width * scale;
        const double height = size.height * scale;
        symbol->draw(context, gfx::Rect(symbolBox.midX() - width / 2, symbolBox.midY() - height / 2,
                                        width, height));
    }

    const DeviceCountBadge badge = deviceCountBadge(devices.size());
    const gfx::Path outline = gfx::Path::roundedRect(badge.rect, badgeRadius, badgeRadius);
    context.setFillColor(dark ? badgeFillDark : badgeFillLight);
    context.fill(outline);
    gfx::Path border = outline;
    border.setLineWidth(badgeStrokeWidth);
    context.setStrokeColor(foreground.withAlpha(badgeStrokeAlpha));
    border.stroke(context);

    const gfx::Font font =
        gfx::Font::monospacedDigitSystem(badge.fontSize, gfx::FontWeight::semibold);
    const gfx::TextAttributes attributes{.font = font, .color = foreground};
    const double width = gfx::textSize(badge.text, attributes).width;
    gfx::drawText(context, badge.text,
                  gfx::Point{badge.rect.midX() - width / 2,
                             centeredTextOriginY(badge.text, font, badge.rect)},
                  attributes);
}

void drawUSBSymbol(gfx::Context& context, const gfx::Color& color) {
    context.setColor(color);
    gfx::Path trident;
    trident.setLineWidth(1.0);
    trident.setLineCap(gfx::LineCap::round);
    trident.setLineJoin(gfx::LineJoin::round);
    trident.moveTo({7, 2});
    trident.lineTo({7, 12});
    trident.moveTo({7, 4});
    trident.curveTo({3, 8}, {3, 4}, {3, 5});
    trident.lineTo({3, 10});
    trident.moveTo({7, 6});
    trident.curveTo({11, 9}, {11, 6}, {11, 7});
    trident.stroke(context);

    gfx::Path arrow;
    arrow.appendPolygon({{5, 11}, {7, 14}, {9, 11}});
    context.fill(arrow);
    context.fillEllipse(gfx::Rect(1.5, 9, 3, 3));
    context.fillRect(gfx::Rect(9.5, 8.5, 3, 3), context.compositingOperation());
    context.fillEllipse(gfx::Rect(5, 0, 4, 4));
}

} // namespace pulsedeck
