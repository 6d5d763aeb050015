#include "platform/animation/TimingFunction.h"

namespace anim {

namespace {

double cubic(double a, double b, double s) {
    const double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
}

} // namespace

double TimingFunction::value(double t) const {
    if (!(t > 0))
        return 0;
    if (t >= 1)
        return 1;
    // x(s) is monotonic for control x in [0, 1], so bisection finds the parameter whose x is t.
    double low = 0, high = 1, s = t;
    for (int i = 0; i < 60; ++i) {
        s = (low + high) / 2;
        if (cubic(x1_, x2_, s) < t)
            low = s;
        else
            high = s;
    }
    return cubic(y1_, y2_, s);
}

} // namespace anim
