#include "platform/dispatch/SerialQueue.h"

#include "platform/dispatch/WorkerQueue.h"

namespace dispatch {

SerialQueue::SerialQueue(std::string label, Execution execution, const Clock& clock)
    : worker_(std::make_unique<detail::WorkerQueue>(
          std::move(label), execution == Execution::workerThread ? 1 : 0, clock)) {}

SerialQueue::~SerialQueue() {
    worker_->shutDown(PendingWork::discard);
}

void SerialQueue::async(Work work) {
    worker_->async(std::move(work));
}

const Clock& SerialQueue::clock() const {
    return worker_->clock();
}

std::string_view SerialQueue::label() const {
    return worker_->label();
}

int SerialQueue::runPending() {
    return worker_->runPending();
}

void SerialQueue::shutDown(PendingWork pending, double longestWait) {
    worker_->shutDown(pending, longestWait);
}

void SerialQueue::enqueueTimed(std::shared_ptr<detail::TimedWork> entry) {
    worker_->enqueueTimed(std::move(entry));
}

} // namespace dispatch
