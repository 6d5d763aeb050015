#pragma once

// Header-only: the support library links nothing but GTest, and every test that waits on a run
// loop already links the dispatch library through the library it tests.

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <unistd.h>
#include <vector>

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

// Runs `call` on a thread of its own and answers whether it returned within `seconds`. One that
// has not is then helped along by `release`, again every 10 ms until it returns, so a test of a
// call that must not wait fails rather than hangs.
inline bool returnsWithin(double seconds, const std::function<void()>& call,
                          const std::function<void()>& release) {
    auto done = std::async(std::launch::async, call);
    const bool returned =
        done.wait_for(std::chrono::duration<double>(seconds)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        release();
    done.get();
    return returned;
}

// The release of a call that waits in the open of one of `fifos` for a writer: one comes and goes.
inline std::function<void()> writerComesAndGoes(std::vector<std::filesystem::path> fifos) {
    return [fifos = std::move(fifos)] {
        for (const auto& fifo : fifos)
            if (int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writer >= 0)
                ::close(writer);
    };
}

} // namespace testsupport
