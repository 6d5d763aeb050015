#include "controls/ThemeSlider.h"

#include "controls/SliderTracking.h"
#include "model/AccentColor.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double trackHeight = 5;
constexpr double trackRadius = 2.5;

} // namespace

void ThemeSlider::drawBar(gfx::Context& context, const gfx::Rect& bar) {
    const gfx::Rect track{bar.minX(), bar.midY() - trackHeight / 2, bar.width(), trackHeight};
    context.setFillColor(gfx::Color::label().withAlpha(0.15));
    context.fill(gfx::Path::roundedRect(track, trackRadius, trackRadius));
    const gfx::Rect filled{track.minX(), track.minY(), fraction() * track.width(), trackHeight};
    context.setFillColor(accentColor());
    context.fill(gfx::Path::roundedRect(filled, trackRadius, trackRadius));
}

void ThemeSlider::mouseDown(const ui::Event& event) {
    if (!isEnabled() || !window())
        return;
    const double x = pointerX(event);
    grab_ = sliderGrabOffset(x - bounds().minX(), sliderKnobCentre(doubleValue(), minValue(),
                                                                   maxValue(), bounds().width()));
    dragging_ = true;
    apply(x);
}

void ThemeSlider::mouseDragged(const ui::Event& event) {
    if (dragging_)
        apply(pointerX(event));
}

void ThemeSlider::mouseUp(const ui::Event& event) {
    if (!dragging_)
        return;
    apply(pointerX(event));
    dragging_ = false;
}

void ThemeSlider::apply(double x) {
    const auto value =
        sliderValueForPointer(x - bounds().minX(), grab_, minValue(), maxValue(), bounds().width());
    if (!value)
        return;
    setDoubleValue(*value);
    setNeedsDisplay(true);
    sendAction();
}

} // namespace pulsedeck
