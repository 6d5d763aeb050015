#pragma once

#include "platform/graphics/Geometry.h"

#include <optional>
#include <string>
#include <string_view>

namespace gfx {

// The stored text form of a rectangle, "{{x, y}, {w, h}}": each number in its shortest form
// that reads back as the same value, with "." whatever the locale.
std::string stringFromRect(const Rect& rect);

// The rectangle of such a text. Spaces may sit anywhere between the tokens; nothing for any
// other text, and nothing when a number is not finite (an infinite or NaN origin would survive
// every later clamp).
std::optional<Rect> rectFromString(std::string_view text);

} // namespace gfx
