#pragma once

#include "app/SampleJob.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/TimerSource.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace pulsedeck {

class SamplingResources;
class SourceCalls;

// The heartbeat of the sampling loop: a timer on the main queue that asks for a sample at once
// and then every second, and the serial queue "Pulsedeck.sampling" where one sample job at a
// time runs the readers. A request while a job is in flight is dropped, not queued. The job's
// result comes back on the main queue to `apply`.
//
// A reader that does not answer (a sensor a driver holds, a file that never ends its read) costs
// only its own module. A request that finds the job out for `answerBound` leaves that job to the
// reader holding its thread and starts the next on a fresh worker; until the reader answers, no
// job calls it again and its module gets its placeholder, so at most one thread waits on each
// reader, and the others are read every second.
//
// Main thread, except the job. stop() ends it all: the timer is cancelled, the worker joined
// (or, when a reader holds it past `stopWait`, left to that reader, holding only what the job
// captured), and a result that arrives later is dropped, so nothing reaches the owner after its
// termination.
class Sampler {
public:
    struct Hooks {
        // The modules the next sample reads, asked when it is requested.
        std::function<SampleFlags()> flags;
        // The sample, on the main queue, once the job has run.
        std::function<void(const SampleResult&)> apply;
    };

    static constexpr double interval = 1.0;
    static constexpr double leeway = 0.05;
    // A job is given up on once it has been out this long when the next sample is due.
    static constexpr double answerBound = 0.5;
    // The longest stop() waits for a job that is running, in real time: quitting stays prompt.
    static constexpr double stopWait = 0.1;

    // `mainQueue` is where the timer fires and results are applied; its clock is the uptime the
    // devices reader is given. Manual execution leaves the sampling queue to runPending() (tests).
    Sampler(std::shared_ptr<SamplingResources> resources, dispatch::Queue& mainQueue, Hooks hooks,
            dispatch::SerialQueue::Execution execution =
                dispatch::SerialQueue::Execution::workerThread);
    ~Sampler();
    Sampler(const Sampler&) = delete;
    Sampler& operator=(const Sampler&) = delete;

    // (Re)creates the timer: the first request at once, then one a second with 50 ms leeway;
    // fires missed while the main thread was busy coalesce into one.
    void startTimer();
    void requestSample();
    // Cancels the timer and joins the sampling worker (a running job finishes, or is left to
    // its reader after stopWait; a queued one is dropped); a result not yet applied never is.
    // Idempotent.
    void stop();

    bool sampleInFlight() const;
    bool isStopped() const;
    // The queue of the current worker; a fresh one replaces it when a job is given up on.
    dispatch::SerialQueue& samplingQueue() { return *samplingQueue_; }
    // The timer while one was made; it stays, cancelled, after stop().
    const dispatch::TimerSource* timer() const { return timer_.get(); }
    const std::shared_ptr<SamplingResources>& resources() const { return resources_; }

private:
    struct Core {
        Hooks hooks;
        bool inFlight = false;
        bool stopped = false;
        // The job in flight, and when it was asked for (uptime).
        std::uint64_t job = 0;
        double requestedAt = 0;
    };

    std::unique_ptr<dispatch::SerialQueue> makeSamplingQueue() const;

    std::shared_ptr<SamplingResources> resources_;
    dispatch::Queue& mainQueue_;
    dispatch::SerialQueue::Execution execution_;
    std::shared_ptr<Core> core_;
    std::shared_ptr<SourceCalls> calls_;
    std::unique_ptr<dispatch::SerialQueue> samplingQueue_;
    std::unique_ptr<dispatch::TimerSource> timer_;
};

} // namespace pulsedeck
