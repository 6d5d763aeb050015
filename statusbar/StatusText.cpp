#include "statusbar/StatusText.h"

#include "platform/graphics/AttributedString.h"

namespace pulsedeck {

double textWidth(std::string_view text, const gfx::Font& font) {
    return gfx::textSize(text, {.font = font}).width;
}

void drawTextAt(gfx::Context& context, std::string_view text, const gfx::Font& font,
                const gfx::Color& color, double x, double y) {
    gfx::drawText(context, text, gfx::Point{x, y}, {.font = font, .color = color});
}

void drawTextEndingAt(gfx::Context& context, std::string_view text, const gfx::Font& font,
                      const gfx::Color& color, double rightX, double y) {
    drawTextAt(context, text, font, color, rightX - textWidth(text, font), y);
}

} // namespace pulsedeck
