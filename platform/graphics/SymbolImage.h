#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Image.h"

#include <optional>
#include <string_view>
#include <vector>

namespace gfx {

struct SymbolConfiguration {
    double pointSize = 13;
    FontWeight weight = FontWeight::regular;
    // Colours for the symbol's layers in order (primary, secondary); a palette shorter than the
    // layers repeats its last colour. An empty palette draws in black and makes the image a
    // template, for the caller to tint.
    std::vector<Color> palette = {};
};

// Our own vector drawings of the named symbol images the program uses, at a point size and
// weight (heavier weights draw thicker lines). The image is a drawing handler, so it stays
// sharp at any scale. An unknown name gives no image.
std::optional<Image> symbolImage(std::string_view name,
                                 const SymbolConfiguration& configuration = {});

// Every name symbolImage knows, in a fixed order.
std::vector<std::string_view> symbolNames();

} // namespace gfx
