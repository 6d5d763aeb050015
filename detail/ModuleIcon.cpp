#include "detail/ModuleIcon.h"

#include "drawing/FanBladeGlyph.h"
#include "platform/graphics/SymbolImage.h"

#include <string_view>

namespace pulsedeck {

namespace {

std::string_view symbolFor(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return "chart.xyaxis.line";
    case ModuleKind::network:
        return "arrow.up.arrow.down";
    case ModuleKind::temperature:
        return "thermometer.medium";
    case ModuleKind::compute:
        return "cpu";
    case ModuleKind::devices:
    case ModuleKind::fan:
        return "externaldrive";
    }
    return "externaldrive";
}

} // namespace

std::optional<gfx::Image> moduleIcon(ModuleKind kind, const gfx::Color& color) {
    if (kind == ModuleKind::fan) {
        return gfx::Image::withDrawingHandler({18, 18}, false,
                                              [color](gfx::Context& context, const gfx::Rect&) {
                                                  drawFanBlades(context, color, 0, 0.9, {9, 9}, 8);
                                                  return true;
                                              });
    }
    return gfx::symbolImage(symbolFor(kind), {.pointSize = 14, .palette = {color}});
}

} // namespace pulsedeck
