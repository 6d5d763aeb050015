#pragma once

#include "platform/toolkit/Slider.h"

namespace pulsedeck {

// The slider of the detail view and the floating bar: a thin rounded track filled up to the value
// in the accent colour, under the standard knob, with its own tracking. A press on the knob (within
// 11 points of its drawn centre) keeps the knob under the pointer where it was grabbed; a press
// elsewhere brings the knob's centre to the pointer. The action is sent on the press, on every drag
// and on the release, each time with the new, unrounded value. A disabled slider, or one outside a
// window, ignores presses; one 20 points wide or narrower, or with an empty range, never changes
// value.
class ThemeSlider : public ui::Slider {
public:
    using Slider::Slider;

    // True while a press is being tracked.
    bool isDragging() const { return dragging_; }

protected:
    void drawBar(gfx::Context& context, const gfx::Rect& barRect) override;
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;

private:
    void apply(double x);

    bool dragging_ = false;
    double grab_ = 0;
};

} // namespace pulsedeck
