#pragma once

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopMode.h"
#include "platform/dispatch/Timer.h"

#include <functional>
#include <memory>

namespace anim {

// The refresh rates a link may be asked for, in frames per second.
struct FrameRateRange {
    double minimum = 60;
    double maximum = 60;
    double preferred = 60;
};

// A display link: calls its callback once per frame of the display, on the loop it was added
// to, with the time stamps of that frame. Our window servers report no refresh rate, so a link
// runs at its preferred rate (60 frames per second unless asked otherwise) on a grid of frame
// times that starts when the link is added; a frame the loop serves late keeps its grid time
// stamp and does not shift the grid.
//
// Main thread (the thread of its loop) only. The link costs nothing until it is added and
// nothing after it is invalidated; destroying it invalidates it.
class DisplayLink {
public:
    using Callback = std::function<void(const DisplayLink& link)>;

    explicit DisplayLink(Callback callback);
    ~DisplayLink();
    DisplayLink(const DisplayLink&) = delete;
    DisplayLink& operator=(const DisplayLink&) = delete;

    // Takes effect when the link is added; a rate that is not a positive finite number keeps 60.
    void setPreferredFrameRateRange(FrameRateRange range);
    FrameRateRange preferredFrameRateRange() const { return range_; }
    // Starts delivering frames on the loop in the given modes. A second call does nothing.
    void add(dispatch::RunLoop& loop, dispatch::RunLoopModes modes);
    // Stops delivery for good; safe from inside the callback. Idempotent.
    void invalidate();
    bool isValid() const { return !invalidated_; }

    // The frame being delivered: when the last frame was shown, and when the frame the callback
    // prepares will be shown (one frame interval later), on the loop's clock.
    double timestamp() const { return timestamp_; }
    double targetTimestamp() const { return targetTimestamp_; }
    double frameInterval() const;

private:
    void fire();

    Callback callback_;
    FrameRateRange range_;
    const dispatch::Clock* clock_ = nullptr;
    double gridStart_ = 0;
    double timestamp_ = 0;
    double targetTimestamp_ = 0;
    bool invalidated_ = false;
    std::unique_ptr<dispatch::Timer> timer_;
};

} // namespace anim
