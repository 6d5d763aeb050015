#include "detail/SlimScroller.h"

#include "platform/graphics/Path.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double slotInset = 2;
constexpr double shortestKnob = 12;
constexpr double everythingFits = 0.9999;
constexpr double barWidth = 2;
constexpr double barFromRight = 3;

} // namespace

gfx::Rect slimScrollerKnobRect(const gfx::Rect& bounds, double proportion, double value,
                               bool flipped) {
    const gfx::Rect slot = bounds.insetBy(0, slotInset);
    const double height = slot.height();
    const double length =
        std::min(std::max(height * std::clamp(proportion, 0.0, 1.0), shortestKnob), height);
    const double v = std::clamp(value, 0.0, 1.0);
    const double y = slot.minY() + (height - length) * (flipped ? v : 1 - v);
    return {slot.minX(), y, slot.width(), length};
}

gfx::Rect SlimScroller::rectForPart(ui::ScrollerPart part) const {
    if (part == ui::ScrollerPart::knobSlot)
        return bounds().insetBy(0, slotInset);
    if (part == ui::ScrollerPart::knob)
        return slimScrollerKnobRect(bounds(), knobProportion(), doubleValue(), isFlipped());
    return Scroller::rectForPart(part);
}

void SlimScroller::drawKnobSlot(gfx::Context&, const gfx::Rect&, bool) {}

void SlimScroller::drawKnob(gfx::Context& context) {
    if (isHidden() || knobProportion() >= everythingFits)
        return;
    const gfx::Rect knob = rectForPart(ui::ScrollerPart::knob);
    context.setFillColor(gfx::Color::label().withAlpha(isHovered() ? 0.4 : 0.2));
    context.fill(gfx::Path::roundedRect(
        {bounds().maxX() - barFromRight, knob.minY(), barWidth, knob.height()}, 1, 1));
}

void SlimScroller::drawRect(gfx::Context& context, const gfx::Rect&) {
    drawKnob(context);
}

} // namespace pulsedeck
