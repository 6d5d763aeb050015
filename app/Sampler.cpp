#include "app/Sampler.h"

#include "app/SamplingResources.h"

namespace pulsedeck {

Sampler::Sampler(std::shared_ptr<SamplingResources> resources, dispatch::Queue& mainQueue,
                 Hooks hooks, dispatch::SerialQueue::Execution execution)
    : resources_(std::move(resources)), mainQueue_(mainQueue),
      core_(std::make_shared<Core>(Core{std::move(hooks)})),
      samplingQueue_("Pulsedeck.sampling", execution, mainQueue.clock()) {}

Sampler::~Sampler() {
    stop();
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
    if (core_->stopped || core_->inFlight)
        return;
    core_->inFlight = true;
    const SampleFlags flags = core_->hooks.flags ? core_->hooks.flags() : SampleFlags{};
    samplingQueue_.async([weakCore = std::weak_ptr<Core>(core_), resources = resources_, flags,
                          &mainQueue = mainQueue_] {
        // Only looked at, never locked here: the owner is never released on this thread.
        if (weakCore.expired())
            return;
        auto result = runSampleJob(*resources, flags, mainQueue.clock().now());
        mainQueue.async([weakCore, result = std::move(result)] {
            auto core = weakCore.lock();
            if (!core || core->stopped)
                return;
            core->inFlight = false;
            if (core->hooks.apply)
                core->hooks.apply(result);
        });
    });
}

void Sampler::stop() {
    core_->stopped = true;
    if (timer_)
        timer_->cancel();
    samplingQueue_.shutDown(dispatch::PendingWork::discard);
}

bool Sampler::sampleInFlight() const {
    return core_->inFlight;
}

bool Sampler::isStopped() const {
    return core_->stopped;
}

} // namespace pulsedeck
