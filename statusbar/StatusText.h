#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"

#include <string_view>

namespace pulsedeck {

// Width of a text measured with only its font, in points.
double textWidth(std::string_view text, const gfx::Font& font);

// Draws a text with its line box's bottom-left corner at (x, y).
void drawTextAt(gfx::Context& context, std::string_view text, const gfx::Font& font,
                const gfx::Color& color, double x, double y);

// Draws a text so that its line box ends at rightX, bottom at y.
void drawTextEndingAt(gfx::Context& context, std::string_view text, const gfx::Font& font,
                      const gfx::Color& color, double rightX, double y);

} // namespace pulsedeck
