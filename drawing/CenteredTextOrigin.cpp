#include "drawing/CenteredTextOrigin.h"

#include "platform/graphics/AttributedString.h"

namespace pulsedeck {

double centeredTextOriginY(std::string_view text, const gfx::Font& font, const gfx::Rect& rect) {
    return rect.midY() - gfx::textSize(text, {.font = font}).height / 2;
}

} // namespace pulsedeck
