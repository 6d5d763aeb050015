#include "statusbar/FigureText.h"

#include "platform/graphics/AttributedString.h"
#include "statusbar/StatusText.h"

#include <algorithm>

namespace pulsedeck {

gfx::Rect inkArea(const FigureText& figure) {
    constexpr double overhang = 1.5;
    const gfx::Size box = gfx::textSize(figure.text, {.font = figure.font});
    const double x = figure.endsAtX ? figure.x - box.width : figure.x;
    return gfx::Rect{x, figure.y, box.width, box.height}.insetBy(-overhang, -overhang);
}

void drawFigureText(gfx::Context& context, const FigureText& figure) {
    if (figure.endsAtX) {
        drawTextEndingAt(context, figure.text, figure.font, figure.color, figure.x, figure.y);
    } else {
        drawTextAt(context, figure.text, figure.font, figure.color, figure.x, figure.y);
    }
}

void addChangedFigureAreas(std::vector<gfx::Rect>& areas, std::span<const FigureText> now,
                           std::span<const FigureText> before) {
    for (std::size_t index = 0; index < std::max(now.size(), before.size()); ++index) {
        const bool differs =
            index >= now.size() || index >= before.size() || now[index] != before[index];
        if (differs && index < now.size()) {
            areas.push_back(inkArea(now[index]));
        }
        if (differs && index < before.size()) {
            areas.push_back(inkArea(before[index]));
        }
    }
}

} // namespace pulsedeck
