#pragma once

#include "app/SampleJob.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/SerialQueue.h"
#include "platform/dispatch/TimerSource.h"

#include <functional>
#include <memory>

namespace pulsedeck {

class SamplingResources;

// The heartbeat of the sampling loop: a timer on the main queue that asks for a sample at once
// and then every second, and the serial queue "Pulsedeck.sampling" where one sample job at a
// time runs the readers. A request while a job is in flight is dropped, not queued. The job's
// result comes back on the main queue to `apply`.
//
// Main thread, except the job. stop() ends it all: the timer is cancelled, the worker joined,
// and a result that arrives later is dropped, so nothing reaches the owner after its
// termination and no reader runs while the owner is taken apart.
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
    // Cancels the timer and joins the sampling worker (a running job finishes, a queued one is
    // dropped); a result not yet applied never is. Idempotent.
    void stop();

    bool sampleInFlight() const;
    bool isStopped() const;
    dispatch::SerialQueue& samplingQueue() { return samplingQueue_; }
    // The timer while one was made; it stays, cancelled, after stop().
    const dispatch::TimerSource* timer() const { return timer_.get(); }
    const std::shared_ptr<SamplingResources>& resources() const { return resources_; }

private:
    struct Core {
        Hooks hooks;
        bool inFlight = false;
        bool stopped = false;
    };

    std::shared_ptr<SamplingResources> resources_;
    dispatch::Queue& mainQueue_;
    std::shared_ptr<Core> core_;
    dispatch::SerialQueue samplingQueue_;
    std::unique_ptr<dispatch::TimerSource> timer_;
};

} // namespace pulsedeck
