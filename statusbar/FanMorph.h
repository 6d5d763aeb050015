#pragma once

#include <optional>
#include <vector>

namespace pulsedeck {

// u²(3 − 2u): the ease in and out of fades and transitions.
double smoothstep(double u);
// 1 − (1 − t)³: the ease out of glides.
double easeOutCubic(double t);

// How far a changing picture has travelled at evenly spaced steps of progress: distances rise
// from 0 to 1. A transition eases the distance rather than the progress, so the picture moves
// at an even pace where progress alone would bunch up.
struct FanMotionProfile {
    std::vector<double> distances;

    // Whether the profile has at least two samples and some total travel; one that does not
    // maps distance and progress linearly (each is the other).
    bool measuresTravel() const;
    // The distance at progress x (clamped to 0…1), interpolated between the samples.
    double distance(double progress) const;
    // The progress at which the distance v is reached (0 below 0, 1 from 1 on); a segment that
    // travels nothing answers its start.
    double progress(double distance) const;

    bool operator==(const FanMotionProfile&) const = default;
};

// One running transition of a value, in uptime seconds.
struct FanMorph {
    double from = 0;
    double to = 0;
    double started = 0;
    double duration = 0;
    std::optional<FanMotionProfile> motion;

    // The value at time t: from before the start (or for a time that is not a number), to from
    // the end on, else smoothstep in time — applied to the distance when there is a profile.
    double value(double time) const;
    bool isFinished(double time) const { return started + duration <= time; }

    bool operator==(const FanMorph&) const = default;
};

} // namespace pulsedeck
