#pragma once

#include "model/FanDisplayMode.h"
#include "platform/graphics/Geometry.h"
#include "statusbar/FanMorph.h"
#include "statusbar/FanStatusImage.h"

#include <functional>
#include <optional>
#include <vector>

// The change of a module picture between two styles (the fan's ring and graph, the temperature
// thermometer and chart): how long it takes, how its pace is measured, and when it runs at all.
namespace pulsedeck {

inline constexpr double modeMorphDuration = 0.78;
// Progress samples of a motion profile after the first: 181 entries in all.
inline constexpr int motionProfileSteps = 180;

// The profile of a picture whose outline at progress t is points(t) and whose width is width(t):
// at each of 180 even steps of progress the distance grows by the root of the mean squared
// movement of the points (over the pairs both steps have) plus a quarter of the width's change,
// squared; the distances are then scaled to end at 1. A picture that does not move at all gets
// the even profile.
FanMotionProfile measuredMotionProfile(const std::function<std::vector<gfx::Point>(double)>& points,
                                       const std::function<double(double)>& width);

// The fan's profile: its value line unrolling (for the current load, 0 without one) while the
// module grows from the 24-pt ring by the chart length plus 72.
FanMotionProfile fanMotionProfile(const FanPicture& picture);

// What a fan mode store does to the picture.
struct FanMorphDecision {
    enum class Action {
        // The same mode with animations on: a running morph goes on.
        keep,
        // Jump to the target (and report the width).
        snap,
        // Morph from the current progress to the target.
        animate,
    };
    Action action = Action::keep;
    // The graph progress the mode asks for: 1 for the graph, else 0.
    double target = 0;

    bool operator==(const FanMorphDecision&) const = default;
};

// Only ring ↔ graph animates, and only with animations on; the first mode, hidden on either side
// or animations off jump. The same mode again changes nothing unless animations are off.
FanMorphDecision decideFanMorph(std::optional<FanDisplayMode> previous, FanDisplayMode mode,
                                bool animationsEnabled);

} // namespace pulsedeck
