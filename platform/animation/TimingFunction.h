#pragma once

namespace anim {

// A cubic Bézier timing curve from (0, 0) to (1, 1) through two control points: value(t) is the
// progress at time fraction t.
class TimingFunction {
public:
    constexpr TimingFunction(double x1, double y1, double x2, double y2)
        : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}

    static constexpr TimingFunction linear() { return {0, 0, 1, 1}; }
    static constexpr TimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static constexpr TimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static constexpr TimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
    // The default curve for view animations.
    static constexpr TimingFunction defaultTiming() { return {0.25, 0.1, 0.25, 1}; }

    // 0 at or before the start (and for a t that is not a number), 1 at or after the end.
    double value(double t) const;

    friend bool operator==(const TimingFunction&, const TimingFunction&) = default;

private:
    double x1_, y1_, x2_, y2_;
};

} // namespace anim
