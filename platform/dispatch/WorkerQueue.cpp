#include "platform/dispatch/WorkerQueue.h"

#include <chrono>
#include <limits>
#include <pthread.h>

namespace dispatch::detail {

std::string threadNameForLabel(std::string_view label) {
    // Linux keeps 15 bytes of a thread's name; the label's last part says the job.
    constexpr std::size_t longest = 15;
    const std::size_t dot = label.rfind('.');
    const std::string_view job = dot == std::string_view::npos ? label : label.substr(dot + 1);
    return std::string(job.empty() ? label.substr(0, longest) : job.substr(0, longest));
}

WorkerQueue::WorkerQueue(std::string label, int threads, const Clock& clock)
    : state_(std::make_shared<State>(std::move(label), clock)) {
    state_->runningWorkers = threads;
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) {
        threads_.emplace_back([state = state_] { state->workerLoop(); });
        // Named after the queue's job, so a profiler or top shows which queue does what.
        pthread_setname_np(threads_.back().native_handle(),
                           threadNameForLabel(state_->label).c_str());
    }
}

WorkerQueue::~WorkerQueue() {
    shutDown(PendingWork::discard);
}

void WorkerQueue::async(Work work) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->accepting) {
            return;
        }
        state_->posted.push_back(std::move(work));
    }
    state_->changed.notify_one();
}

void WorkerQueue::enqueueTimed(std::shared_ptr<TimedWork> entry) {
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->accepting) {
            return;
        }
        state_->timed.add(std::move(entry));
    }
    // A sleeping worker may be waiting for a later deadline than this one.
    state_->changed.notify_all();
}

void WorkerQueue::State::moveDueLocked() {
    for (auto& entry : timed.takeDue(clock.now(), RunLoopMode::defaultMode)) {
        posted.push_back([entry] {
            if (!entry->cancelled.load()) {
                entry->work();
            }
        });
    }
}

void WorkerQueue::State::workerLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        if (!stopping) {
            moveDueLocked();
        }
        if (!posted.empty() && (!stopping || draining)) {
            Work work = std::move(posted.front());
            posted.pop_front();
            lock.unlock();
            work();
            // Whatever the work captured is released before the lock is taken again.
            work = nullptr;
            lock.lock();
            continue;
        }
        if (stopping) {
            --runningWorkers;
            workerEnded.notify_all();
            return;
        }
        double wake = timed.wakeTime(RunLoopMode::defaultMode);
        if (wake == std::numeric_limits<double>::infinity()) {
            changed.wait(lock);
        } else {
            changed.wait_for(lock, std::chrono::duration<double>(wake - clock.now()));
        }
    }
}

int WorkerQueue::runPending() {
    int ran = 0;
    std::unique_lock lock(state_->mutex);
    for (;;) {
        state_->moveDueLocked();
        if (state_->posted.empty()) {
            return ran;
        }
        Work work = std::move(state_->posted.front());
        state_->posted.pop_front();
        lock.unlock();
        work();
        work = nullptr;
        ++ran;
        lock.lock();
    }
}

void WorkerQueue::shutDown(PendingWork pending, double longestWait) {
    std::deque<Work> dropped;
    TimedWorkList droppedTimed;
    {
        std::lock_guard lock(state_->mutex);
        state_->accepting = false;
        state_->stopping = true;
        state_->draining = state_->draining || pending == PendingWork::drain;
        if (state_->draining) {
            state_->moveDueLocked();
        } else {
            dropped.swap(state_->posted);
        }
        std::swap(droppedTimed, state_->timed);
    }
    state_->changed.notify_all();
    // Dropped work lets go of what it captured now, not after the running piece ends.
    dropped.clear();
    droppedTimed.clear();
    if (threads_.empty() && pending == PendingWork::drain) {
        runPending();
    }
    bool ended = true;
    if (!threads_.empty() && longestWait < std::numeric_limits<double>::infinity()) {
        // Real time: the workers run in it whatever clock the queue's timed work follows.
        std::unique_lock lock(state_->mutex);
        ended = state_->workerEnded.wait_for(lock, std::chrono::duration<double>(longestWait),
                                             [this] { return state_->runningWorkers == 0; });
    }
    for (auto& thread : threads_) {
        // A thread blocked in a piece cannot be joined; it holds the state it needs and ends
        // by itself once the piece returns.
        if (ended) {
            thread.join();
        } else {
            thread.detach();
        }
    }
    threads_.clear();
}

} // namespace dispatch::detail
