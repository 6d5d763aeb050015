#pragma once

#include "platform/toolkit/Control.h"

namespace ui {

enum class ScrollerPart { noPart, knob, knobSlot };

// A vertical scroller: a knob in a slot, its value 0 at the top and 1 at the bottom (the scroller
// is flipped) and its knob proportion the visible share of the document. Dragging the knob moves
// the value with it; a press in the slot off the knob brings the knob's centre to the pointer
// and goes on dragging; each step sends the action. A scroll view replaces its scroller with a
// subclass that overrides scrollerWidth (what the scroll view sets aside for it), rectForPart and
// the drawing.
class Scroller : public Control {
public:
    explicit Scroller(const gfx::Rect& frame = {});

    // The width a scroll view gives the scroller, whatever its size and style.
    virtual double scrollerWidth() const { return 15; }

    double knobProportion() const { return knobProportion_; }
    virtual void setKnobProportion(double proportion);
    double doubleValue() const { return value_; }
    virtual void setDoubleValue(double value);

    bool isFlipped() const override { return true; }
    // The slot is the bounds less 2 points at either end; the knob is at least 20 points long.
    virtual gfx::Rect rectForPart(ScrollerPart part) const;
    // The part under a point of bounds space.
    ScrollerPart testPart(gfx::Point point) const;

protected:
    virtual void drawKnobSlot(gfx::Context& context, const gfx::Rect& slot, bool highlight);
    virtual void drawKnob(gfx::Context& context);

    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;

private:
    double pointerY(const Event& event) const;
    void dragKnobTo(double knobTop);

    double knobProportion_ = 0;
    double value_ = 0;
    bool tracking_ = false;
    // The pointer's distance below the knob's top edge when the drag began.
    double grab_ = 0;
};

} // namespace ui
