#pragma once

#include <optional>

namespace pulsedeck {

// The pointer arithmetic of the theme slider, whose knob centre runs from 7 to W − 7 points.

// Where the knob's centre is drawn for a value: 7 + (W − 14) × the value's fraction of the range
// (0 for an empty range). A press is measured against this drawn centre.
double sliderKnobCentre(double value, double minimum, double maximum, double width);

// How far from the knob's centre a press grabs it: the offset when within 11 points (the knob
// then stays under the pointer where it was grabbed), else 0 (the centre jumps to the pointer).
double sliderGrabOffset(double x, double knobCentre);

// The value for a pointer at x with a grab offset, clamped to the range; none when the slider is
// 20 points wide or narrower or the range is empty (tracking then changes nothing).
std::optional<double> sliderValueForPointer(double x, double grab, double minimum, double maximum,
                                            double width);

} // namespace pulsedeck
