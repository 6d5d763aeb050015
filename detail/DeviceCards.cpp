#include "detail/DeviceCards.h"

#include "drawing/DeviceDrawing.h"
#include "model/MenuBarGeometry.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"

#include <algorithm>
#include <string_view>

namespace pulsedeck {

namespace {

constexpr double cornerRadius = 10;
constexpr double inset = 10;
constexpr double widestConnection = 102;
constexpr double widestRate = 135;
constexpr double usbGlyphSide = 14;
// How far the lower text row moves up to make room for a capacity bar.
constexpr double capacityRowShift = 12;
// The age at which an entrance is over.
constexpr double restingAge = 0.72;

// The USB trident, scaled into the box it is fitted to.
void drawUSBGlyph(gfx::Context& context, const gfx::Rect& box, const gfx::Color& color) {
    const gfx::Rect fitted = aspectFitRect({usbGlyphSide, usbGlyphSide}, box);
    gfx::Context::SavedState saved(context);
    context.translate(fitted.minX(), fitted.minY());
    context.scale(fitted.width() / usbGlyphSide, fitted.height() / usbGlyphSide);
    drawUSBSymbol(context, color);
}

void drawSymbol(gfx::Context& context, std::string_view name, const gfx::Rect& box,
                const gfx::Color& color) {
    const std::optional<gfx::Image> image =
        gfx::symbolImage(name, {.pointSize = 12, .palette = {color}});
    if (image)
        image->draw(context, aspectFitRect(image->size(), box));
}

void drawDeviceCard(gfx::Context& context, const ExternalDevice& device, const gfx::Rect& r,
                    const SectionContent& content, const SectionColors& colors) {
    gfx::Context::SavedState saved(context);
    const auto arrival = content.deviceArrivals.find(device.id);
    const double age = arrival == content.deviceArrivals.end()
                           ? restingAge
                           : std::max(0.0, content.deviceCardNow - arrival->second);
    const RevealState pose = revealCurve(content.reduceMotion, age);
    context.translate(r.midX(), r.midY() + pose.offset);
    context.scale(pose.scale, pose.scale);
    context.translate(-r.midX(), -r.midY());
    context.setAlpha(context.alpha() * pose.opacity);
    context.translate(r.minX(), 0);

    const double w = r.width();
    context.setFillColor(colors.cardFill);
    context.fill(gfx::Path::roundedRect({0, r.minY(), w, r.height()}, cornerRadius, cornerRadius));

    const gfx::Font connectionFont = gfx::Font::system(9, gfx::FontWeight::medium);
    const double connectionWidth = std::min(
        gfx::textSize(device.connection, {.font = connectionFont}).width, widestConnection);

    const gfx::Rect iconBox{inset, r.maxY() - 25, 14, 16};
    if (device.kind == ExternalDeviceKind::usb)
        drawUSBGlyph(context, iconBox, colors.muted);
    else
        drawSymbol(context, symbolName(device.kind), iconBox, colors.muted);

    const gfx::Rect nameRect{31, r.maxY() - 28, std::max(w - inset - connectionWidth - 39, 30.0),
                             22};
    drawLabel(context, device.name, nameRect,
              fittedSystemFont(device.name, nameRect.width(), 11, gfx::FontWeight::semibold),
              colors.primary);
    const gfx::Rect connectionRect{w - inset - connectionWidth, r.maxY() - 25, connectionWidth, 18};
    drawLabel(
        context, device.connection, connectionRect,
        fittedSystemFont(device.connection, connectionRect.width(), 9, gfx::FontWeight::medium),
        colors.muted);

    const double shift = device.capacity ? capacityRowShift : 0;
    const std::string rate = device.rateText(content.language);
    const gfx::TextAttributes rateAttributes{
        .font = gfx::Font::monospacedDigitSystem(10, gfx::FontWeight::medium),
        .color = colors.primary};
    const double rateWidth = gfx::textSize(rate, rateAttributes).width;
    const double rateRoom = std::min(rateWidth, widestRate);
    const gfx::Rect linkBox{w - inset - rateRoom - 17, r.minY() + shift + 9, 12, 12};
    if (device.connection.starts_with("Thunderbolt"))
        drawSymbol(context, "bolt.fill", linkBox, colors.muted);
    else if (device.connection.starts_with("USB"))
        drawUSBGlyph(context, linkBox, colors.muted);
    gfx::drawText(context, rate, gfx::Point{w - inset - rateWidth, r.minY() + shift + 8},
                  rateAttributes);

    const std::string capacity = device.capacityText(content.language).value_or("");
    const gfx::Rect capacityRect{inset, r.minY() + shift + 6,
                                 std::max(w - inset - rateRoom - 32, 20.0), 18};
    drawLabel(context, capacity, capacityRect,
              fittedSystemFont(capacity, capacityRect.width(), 9, gfx::FontWeight::regular),
              colors.muted);
    if (device.capacity) {
        drawCapacityBar(context, device,
                        toColor(content.moduleColors.color(ColorSlot::devices, content.normalBlue)),
                        {inset, r.minY() + 8, w - 2 * inset, 4.5});
    }
}

} // namespace

void drawDeviceCards(gfx::Context& context, const SectionContent& content,
                     const SectionColors& colors) {
    if (content.devices.empty()) {
        if (const gfx::Rect* r = findRegion(content.regions, "device0")) {
            const std::string message = text(Copy::noDevices, content.language);
            drawLabel(context, message, *r,
                      fittedSystemFont(message, r->width(), 11, gfx::FontWeight::regular),
                      colors.muted);
        }
        return;
    }
    for (std::size_t i = 0; i < content.devices.size(); ++i) {
        if (const gfx::Rect* r = findRegion(content.regions, "device" + std::to_string(i)))
            drawDeviceCard(context, content.devices[i], *r, content, colors);
    }
}

} // namespace pulsedeck
