#pragma once

namespace pulsedeck {

// The liquid pull-out of the strip into the floating bar. Until the pull-out exists the
// animator only ever rests: it has no timer, overlay or panel of its own.
class FloatingLiquidAnimator {
public:
    FloatingLiquidAnimator() = default;
    FloatingLiquidAnimator(const FloatingLiquidAnimator&) = delete;
    FloatingLiquidAnimator& operator=(const FloatingLiquidAnimator&) = delete;

    bool isIdle() const { return true; }
    // Returns to rest; called at termination. Resting already, there is nothing to undo.
    void stop() {}
};

} // namespace pulsedeck
