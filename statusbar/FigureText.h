#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/Geometry.h"

#include <span>
#include <string>
#include <vector>

namespace pulsedeck {

// One text of a module image's figures: its line box starting at x, or ending there, bottom at y.
// An image that lists its texts this way can tell which of them read differently from the second
// before, and redraw only those.
struct FigureText {
    std::string text;
    gfx::Font font;
    gfx::Color color;
    double x = 0;
    double y = 0;
    bool endsAtX = false;
    friend bool operator==(const FigureText&, const FigureText&) = default;
};

// Where a figure's pixels may fall: its line box, with room for glyphs that reach past it.
gfx::Rect inkArea(const FigureText& figure);

void drawFigureText(gfx::Context& context, const FigureText& figure);

// The areas of the texts that read differently between two lists of one layout, as they were
// and as they are, appended to `areas`; a text only one list has counts as changed.
void addChangedFigureAreas(std::vector<gfx::Rect>& areas, std::span<const FigureText> now,
                           std::span<const FigureText> before);

} // namespace pulsedeck
