#include "controls/SliderTracking.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double knobHalf = 7;
constexpr double grabReach = 11;
constexpr double narrowestTrackable = 20;

} // namespace

double sliderKnobCentre(double value, double minimum, double maximum, double width) {
    const double range = maximum - minimum;
    const double fraction = range > 0 ? std::clamp((value - minimum) / range, 0.0, 1.0) : 0;
    return knobHalf + (width - 2 * knobHalf) * fraction;
}

double sliderGrabOffset(double x, double knobCentre) {
    const double offset = x - knobCentre;
    return std::abs(offset) <= grabReach ? offset : 0;
}

std::optional<double> sliderValueForPointer(double x, double grab, double minimum, double maximum,
                                            double width) {
    if (!(width > narrowestTrackable) || !(minimum < maximum))
        return std::nullopt;
    const double fraction = std::clamp((x - grab - knobHalf) / (width - 2 * knobHalf), 0.0, 1.0);
    return minimum + (maximum - minimum) * fraction;
}

} // namespace pulsedeck
