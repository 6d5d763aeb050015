#include "platform/toolkit/Scroller.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double slotInset = 2;
constexpr double minimumKnobLength = 20;

} // namespace

Scroller::Scroller(const gfx::Rect& frame) : Control(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::scrollBar);
    setContinuous(true);
    setRefusesFirstResponder(true);
}

void Scroller::setKnobProportion(double proportion) {
    knobProportion_ = proportion;
    setNeedsDisplay(true);
}

void Scroller::setDoubleValue(double value) {
    value_ = value;
    setNeedsDisplay(true);
}

gfx::Rect Scroller::rectForPart(ScrollerPart part) const {
    const gfx::Rect slot = bounds().insetBy(0, slotInset);
    if (part == ScrollerPart::knobSlot)
        return slot;
    if (part != ScrollerPart::knob)
        return {};
    const double p = std::clamp(knobProportion_, 0.0, 1.0);
    const double length = std::min(std::max(slot.height() * p, minimumKnobLength), slot.height());
    const double v = std::clamp(value_, 0.0, 1.0);
    return {slot.minX(), slot.minY() + (slot.height() - length) * v, slot.width(), length};
}

ScrollerPart Scroller::testPart(gfx::Point point) const {
    if (rectForPart(ScrollerPart::knob).contains(point))
        return ScrollerPart::knob;
    if (rectForPart(ScrollerPart::knobSlot).contains(point))
        return ScrollerPart::knobSlot;
    return ScrollerPart::noPart;
}

void Scroller::drawRect(gfx::Context& context, const gfx::Rect&) {
    drawKnobSlot(context, rectForPart(ScrollerPart::knobSlot), false);
    drawKnob(context);
}

void Scroller::drawKnobSlot(gfx::Context& context, const gfx::Rect& slot, bool) {
    context.setFillColor(gfx::Color::label().withAlpha(0.04));
    context.fillRect(slot);
}

void Scroller::drawKnob(gfx::Context& context) {
    if (knobProportion_ >= 1)
        return;
    const gfx::Rect knob = rectForPart(ScrollerPart::knob).insetBy(3, 0);
    const double radius = knob.width() / 2;
    context.setFillColor(gfx::Color::label().withAlpha(isHighlighted() ? 0.5 : 0.35));
    context.fill(gfx::Path::roundedRect(knob, radius, radius));
}

double Scroller::pointerY(const Event& event) const {
    return convertPointFromView(event.locationInWindow(), nullptr).y;
}

void Scroller::dragKnobTo(double knobTop) {
    const gfx::Rect slot = rectForPart(ScrollerPart::knobSlot);
    const double travel = slot.height() - rectForPart(ScrollerPart::knob).height();
    if (travel <= 0)
        return;
    setDoubleValue(std::clamp((knobTop - slot.minY()) / travel, 0.0, 1.0));
    sendAction();
}

void Scroller::mouseDown(const Event& event) {
    if (!isEnabled() || knobProportion_ >= 1)
        return;
    const gfx::Point point = convertPointFromView(event.locationInWindow(), nullptr);
    const ScrollerPart part = testPart(point);
    if (part == ScrollerPart::noPart)
        return;
    const gfx::Rect knob = rectForPart(ScrollerPart::knob);
    tracking_ = true;
    setHighlighted(true);
    if (part == ScrollerPart::knob) {
        grab_ = point.y - knob.minY();
        return;
    }
    grab_ = knob.height() / 2;
    dragKnobTo(point.y - grab_);
}

void Scroller::mouseDragged(const Event& event) {
    if (tracking_)
        dragKnobTo(pointerY(event) - grab_);
}

void Scroller::mouseUp(const Event&) {
    tracking_ = false;
    setHighlighted(false);
}

} // namespace ui
