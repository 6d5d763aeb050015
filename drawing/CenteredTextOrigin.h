#pragma once

#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <string_view>

namespace pulsedeck {

// The y at which a text drawn at a point (the bottom-left of its line box, y up) sits centred
// on the rectangle: the rectangle's mid y minus half the text's height measured with only that
// font. An empty text measures 0 high and gives the mid y.
double centeredTextOriginY(std::string_view text, const gfx::Font& font, const gfx::Rect& rect);

} // namespace pulsedeck
