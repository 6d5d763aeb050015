#include "platform/toolkit/Slider.h"

#include "platform/foundation/NumberFormatting.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace ui {

namespace {

constexpr double barInset = 2;
constexpr double barThickness = 4;
// The share of the range an arrow key moves the value.
constexpr double keyStep = 0.05;

} // namespace

Slider::Slider(const gfx::Rect& frame) : Control(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::slider);
    setContinuous(true);
    updateAccessibilityValue();
}

void Slider::setMinValue(double value) {
    minValue_ = value;
    setDoubleValue(value_);
    setNeedsDisplay(true);
}

void Slider::setMaxValue(double value) {
    maxValue_ = value;
    setDoubleValue(value_);
    setNeedsDisplay(true);
}

void Slider::setDoubleValue(double value) {
    if (minValue_ <= maxValue_)
        value = std::clamp(value, minValue_, maxValue_);
    if (value_ == value)
        return;
    value_ = value;
    updateAccessibilityValue();
    setNeedsDisplay(true);
}

void Slider::updateAccessibilityValue() {
    setAccessibilityValue(foundation::formatFixed(value_, 2));
}

double Slider::fraction() const {
    if (!(minValue_ < maxValue_))
        return 0;
    return std::clamp((value_ - minValue_) / (maxValue_ - minValue_), 0.0, 1.0);
}

gfx::Rect Slider::barRect() const {
    const gfx::Rect b = bounds();
    return {b.minX() + barInset, b.midY() - barThickness / 2,
            std::max(0.0, b.width() - 2 * barInset), barThickness};
}

gfx::Rect Slider::knobRect() const {
    const gfx::Rect b = bounds();
    const double centre = b.minX() + knobWidth / 2 + (b.width() - knobWidth) * fraction();
    return {centre - knobWidth / 2, b.midY() - knobWidth / 2, knobWidth, knobWidth};
}

void Slider::drawRect(gfx::Context& context, const gfx::Rect&) {
    drawBar(context, barRect());
    drawKnob(context, knobRect());
}

void Slider::drawBar(gfx::Context& context, const gfx::Rect& bar) {
    const double radius = bar.height() / 2;
    context.setFillColor(gfx::Color::label().withAlpha(0.15));
    context.fill(gfx::Path::roundedRect(bar, radius, radius));
    const gfx::Rect filled{bar.minX(), bar.minY(), bar.width() * fraction(), bar.height()};
    context.setFillColor(controlAccentColor.withAlpha(isEnabled() ? 1 : 0.5));
    context.fill(gfx::Path::roundedRect(filled, radius, radius));
}

void Slider::drawKnob(gfx::Context& context, const gfx::Rect& knob) {
    const bool dark = effectiveAppearance() == gfx::Appearance::dark;
    const gfx::Rect disc = knob.insetBy(0.5, 0.5);
    {
        gfx::Context::SavedState saved(context);
        context.setShadow(gfx::Shadow{gfx::Color::black().withAlpha(0.3), 1, {0, -0.5}});
        context.setFillColor(gfx::Color::grey(dark ? (isHighlighted() ? 0.75 : 0.85)
                                                   : (isHighlighted() ? 0.92 : 1)));
        context.fillEllipse(disc);
    }
    context.setStrokeColor(gfx::Color::black().withAlpha(0.15));
    context.setLineWidth(0.5);
    context.stroke(gfx::Path::oval(disc));
}

double Slider::pointerX(const Event& event) const {
    return convertPointFromView(event.locationInWindow(), nullptr).x;
}

void Slider::trackTo(double x, bool released) {
    const double travel = bounds().width() - knobWidth;
    if (travel > 0 && minValue_ < maxValue_) {
        const double f = std::clamp((x - bounds().minX() - knobWidth / 2) / travel, 0.0, 1.0);
        setDoubleValue(minValue_ + (maxValue_ - minValue_) * f);
    }
    if (isContinuous() || released)
        sendAction();
}

void Slider::mouseDown(const Event& event) {
    if (!isEnabled())
        return;
    tracking_ = true;
    setHighlighted(true);
    trackTo(pointerX(event), false);
}

void Slider::mouseDragged(const Event& event) {
    if (tracking_)
        trackTo(pointerX(event), false);
}

void Slider::mouseUp(const Event& event) {
    if (!tracking_)
        return;
    tracking_ = false;
    setHighlighted(false);
    trackTo(pointerX(event), true);
}

void Slider::keyDown(const Event& event) {
    const int code = event.keyCode();
    if (!isEnabled() || (code != KeyCode::leftArrow && code != KeyCode::rightArrow)) {
        Control::keyDown(event);
        return;
    }
    const double step = (maxValue_ - minValue_) * keyStep;
    setDoubleValue(value_ + (code == KeyCode::rightArrow ? step : -step));
    sendAction();
}

} // namespace ui
