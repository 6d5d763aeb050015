#pragma once

#include "platform/toolkit/Control.h"

namespace ui {

// A horizontal slider over [minValue, maxValue]. Its knob is knobWidth wide, so the knob's centre
// runs from knobWidth / 2 to width − knobWidth / 2 as the value goes from the minimum to the
// maximum; the bar spans the width less 2 points at each end.
//
// The standard tracking puts the knob's centre under the pointer on the press and follows the
// drag, sending the action at every step when continuous, else once at the release. Subclasses
// replace the tracking by overriding the mouse handlers, and the look by overriding drawBar and
// drawKnob.
class Slider : public Control {
public:
    static constexpr double knobWidth = 14;

    explicit Slider(const gfx::Rect& frame = {});

    double minValue() const { return minValue_; }
    void setMinValue(double value);
    double maxValue() const { return maxValue_; }
    void setMaxValue(double value);
    double doubleValue() const { return value_; }
    // Kept inside the range while the range is not empty.
    void setDoubleValue(double value);

    // How far the value lies from the minimum to the maximum, 0…1; 0 for an empty range.
    double fraction() const;
    // The track's extent and the knob's square, in bounds space.
    gfx::Rect barRect() const;
    gfx::Rect knobRect() const;

protected:
    virtual void drawBar(gfx::Context& context, const gfx::Rect& barRect);
    virtual void drawKnob(gfx::Context& context, const gfx::Rect& knobRect);

    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void keyDown(const Event& event) override;

    // The pointer's x in bounds space.
    double pointerX(const Event& event) const;

private:
    void trackTo(double x, bool released);
    void updateAccessibilityValue();

    double minValue_ = 0;
    double maxValue_ = 1;
    double value_ = 0;
    bool tracking_ = false;
};

} // namespace ui
