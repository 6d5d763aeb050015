#pragma once

#include "detail/HoverTracking.h"
#include "platform/toolkit/Scroller.h"

namespace pulsedeck {

// The slim scroller's knob in bounds: the slot is the bounds less 2 points at top and bottom;
// the knob is the slot's height × the proportion (clamped to 0…1) but never under 12 points nor
// over the slot, placed by the value (clamped to 0…1) from the top when flipped, else from the
// bottom.
gfx::Rect slimScrollerKnobRect(const gfx::Rect& bounds, double proportion, double value,
                               bool flipped);

// The detail view's vertical scroller: 8 points wide for every size and style, no track, and a
// 2-point bar 1 point from the right edge for the knob, darker while the pointer is over the
// scroller. Nothing shows when everything fits (knob proportion 0.9999 or more). Dragging the
// knob and pressing the slot work as the standard scroller's.
class SlimScroller : public HoverTracking<ui::Scroller> {
public:
    using HoverTracking::HoverTracking;

    double scrollerWidth() const override { return 8; }
    gfx::Rect rectForPart(ui::ScrollerPart part) const override;

protected:
    void drawKnobSlot(gfx::Context& context, const gfx::Rect& slot, bool highlight) override;
    void drawKnob(gfx::Context& context) override;
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
