#include "app/Sampler.h"

#include "app/SamplingResources.h"
#include "app/SourceCalls.h"

namespace pulsedeck {

Sampler::Sampler(std::shared_ptr<SamplingResources> resources, dispatch::Queue& mainQueue,
                 Hooks hooks, dispatch::SerialQueue::Execution execution)
    : resources_(std::move(resources)), mainQueue_(mainQueue), execution_(execution),
      core_(std::make_shared<Core>(Core{std::move(hooks)})),
      calls_(std::make_shared<SourceCalls>()), samplingQueue_(makeSamplingQueue()) {}

Sampler::~Sampler() {
    stop();
}

std::unique_ptr<dispatch::SerialQueue> Sampler::makeSamplingQueue() const {
    return std::make_unique<dispatch::SerialQueue>("Pulsedeck.sampling", execution_,
                                                   mainQueue_.clock());
}

void Sampler::startTimer() {
    if (core_->stopped)
        return;
    if (timer_)
        timer_->cancel();
    timer_ = std::make_unique<dispatch::TimerSource>(mainQueue_);
    timer_->schedule(mainQueue_.clock().now(), interval, leeway);
    timer_->setHandler([weakCore = std::weak_ptr<Core>(core_), this] {
        // The timer is cancelled before the sampler goes, so `this` is alive while the core is.
        if (auto core = weakCore.lock(); core && !core->stopped)
            requestSample();
    });
    timer_->resume();
}

void Sampler::requestSample() {
    if (core_->stopped)
        return;
    const double now = mainQueue_.clock().now();
    if (core_->inFlight) {
        if (now - core_->requestedAt < answerBound)
            return;
        // A reader holds the worker: the thread is left to it (it ends once the reader answers)
        // and the next job runs on a fresh one.
        samplingQueue_->shutDown(dispatch::PendingWork::discard, 0);
        samplingQueue_ = makeSamplingQueue();
    }
    core_->inFlight = true;
    core_->requestedAt = now;
    const std::uint64_t job = core_->job = calls_->beginJob();
    const SampleFlags flags = core_->hooks.flags ? core_->hooks.flags() : SampleFlags{};
    samplingQueue_->async([weakCore = std::weak_ptr<Core>(core_), resources = resources_,
                           calls = calls_, flags, job, &mainQueue = mainQueue_] {
        // Only looked at, never locked here: the owner is never released on this thread.
        if (weakCore.expired())
            return;
        auto result = runSampleJob(*resources, flags, mainQueue.clock().now(), *calls, job);
        if (!result)
            return;
        // A job left behind never touches the main queue: the program may be gone by then.
        calls->handBack(job, [&] {
            mainQueue.async([weakCore, job, result = std::move(*result)] {
                auto core = weakCore.lock();
                if (!core || core->stopped || core->job != job)
                    return;
                core->inFlight = false;
                if (core->hooks.apply)
                    core->hooks.apply(result);
            });
        });
    });
}

void Sampler::stop() {
    core_->stopped = true;
    if (timer_)
        timer_->cancel();
    calls_->endJobs();
    samplingQueue_->shutDown(dispatch::PendingWork::discard, stopWait);
}

bool Sampler::sampleInFlight() const {
    return core_->inFlight;
}

bool Sampler::isStopped() const {
    return core_->stopped;
}

} // namespace pulsedeck
