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
    : label_(std::move(label)), clock_(clock) {
    threads_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { workerLoop(); });
        // Named after the queue's job, so a profiler or top shows which queue does what.
        pthread_setname_np(threads_.back().native_handle(), threadNameForLabel(label_).c_str());
    }
}

WorkerQueue::~WorkerQueue() {
    shutDown(PendingWork::discard);
}

void WorkerQueue::async(Work work) {
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) {
            return;
        }
        posted_.push_back(std::move(work));
    }
    changed_.notify_one();
}

void WorkerQueue::enqueueTimed(std::shared_ptr<TimedWork> entry) {
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) {
            return;
        }
        timed_.add(std::move(entry));
    }
    // A sleeping worker may be waiting for a later deadline than this one.
    changed_.notify_all();
}

void WorkerQueue::moveDueLocked() {
    for (auto& entry : timed_.takeDue(clock_.now(), RunLoopMode::defaultMode)) {
        posted_.push_back([entry] {
            if (!entry->cancelled.load()) {
                entry->work();
            }
        });
    }
}

void WorkerQueue::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!stopping_) {
            moveDueLocked();
        }
        if (!posted_.empty() && (!stopping_ || draining_)) {
            Work work = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            work();
            // Whatever the work captured is released before the lock is taken again.
            work = nullptr;
            lock.lock();
            continue;
        }
        if (stopping_) {
            return;
        }
        double wake = timed_.wakeTime(RunLoopMode::defaultMode);
        if (wake == std::numeric_limits<double>::infinity()) {
            changed_.wait(lock);
        } else {
            changed_.wait_for(lock, std::chrono::duration<double>(wake - clock_.now()));
        }
    }
}

int WorkerQueue::runPending() {
    int ran = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        moveDueLocked();
        if (posted_.empty()) {
            return ran;
        }
        Work work = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        work();
        work = nullptr;
        ++ran;
        lock.lock();
    }
}

void WorkerQueue::shutDown(PendingWork pending) {
    std::deque<Work> dropped;
    TimedWorkList droppedTimed;
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
        stopping_ = true;
        draining_ = draining_ || pending == PendingWork::drain;
        if (draining_) {
            moveDueLocked();
        } else {
            dropped.swap(posted_);
        }
        std::swap(droppedTimed, timed_);
    }
    changed_.notify_all();
    // Dropped work lets go of what it captured now, not after the running piece ends.
    dropped.clear();
    droppedTimed.clear();
    if (threads_.empty() && pending == PendingWork::drain) {
        runPending();
    }
    for (auto& thread : threads_) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

} // namespace dispatch::detail
