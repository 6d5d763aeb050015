#pragma once

#include "model/Modules.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"

#include <optional>

namespace pulsedeck {

// A card header's module icon in one colour: the module's symbol at 14 pt regular, or for the
// fan an 18 × 18 drawing of the fan glyph at 0.9 of the colour. None when the symbol is unknown.
std::optional<gfx::Image> moduleIcon(ModuleKind kind, const gfx::Color& color);

} // namespace pulsedeck
