#pragma once

// Header-only: the support library links nothing but GTest, and every test that waits on a run
// loop already links the dispatch library through the library it tests.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <functional>

namespace testsupport {

// How long a wait for a condition may take by default: enough for a loaded two-core machine.
// A wait ends as soon as its condition holds, so a passing test never pays it.
inline constexpr double patience = 20;

// Runs the loop until done() holds or the time is up; answers done().
inline bool runUntil(dispatch::RunLoop& loop, const std::function<bool()>& done,
                     double seconds = patience) {
    const double deadline = dispatch::systemUptime() + seconds;
    loop.runNested(dispatch::RunLoopMode::defaultMode, [&] {
        if (done() || dispatch::systemUptime() > deadline)
            return false;
        // A pass of the loop may sleep until its next source fires; this wakes it to look again.
        loop.queue().asyncAfter(0.01, [] {});
        return true;
    });
    return done();
}

// Runs the loop for a while, so that what the server and the timers owe has arrived.
inline void settle(dispatch::RunLoop& loop, double seconds) {
    const double until = dispatch::systemUptime() + seconds;
    runUntil(
        loop, [&] { return dispatch::systemUptime() >= until; }, seconds + 1);
}

} // namespace testsupport
