#pragma once

#include "platform/dispatch/Timer.h"
#include "platform/toolkit/Button.h"

#include <memory>

namespace pulsedeck {

// The detail view's small on/off switch: a switch-type button drawn as a rounded track with a
// round knob that slides over 0.18 s (smoothstep) whenever the state changes, by a click or by
// the owner. The frame is 40 × 18 points and the bounds 54 × 24 units, so the drawing is scaled
// onto whatever frame an owner gives it. Only the on state counts as on; mixed draws as off.
//
// The slide is a 1/60 s timer in the common modes (it goes on during event tracking), on the
// main run loop's clock; without a window, or with Reduce Motion, the knob jumps. Clicks, the
// action and Space are the button's own. Main thread only.
class CompactSwitch : public ui::Button {
public:
    static constexpr gfx::Size frameSize{40, 18};
    static constexpr gfx::Size boundsSize{54, 24};

    explicit CompactSwitch(gfx::Point origin);
    ~CompactSwitch() override;

    // Draws the on state in neutral white or black instead of the accent colour.
    bool secondary() const { return secondary_; }
    void setSecondary(bool secondary);

    void setState(ui::ControlState state) override;
    // Brings the knob's destination in line with the state: starts, restarts or skips the slide.
    void syncToState();

    // The knob's place (0 off end, 1 on end), where it is heading, and whether it is sliding.
    double position() const { return position_; }
    double destination() const { return destination_; }
    bool isAnimating() const { return timer_ != nullptr; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    double now() const;
    void tick();
    void stopTimer();

    bool secondary_ = false;
    double position_ = 0;
    double from_ = 0;
    double destination_ = 0;
    double started_ = 0;
    std::unique_ptr<dispatch::Timer> timer_;
};

} // namespace pulsedeck
