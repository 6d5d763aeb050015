#include "platform/dispatch/Queue.h"

#include "platform/dispatch/TimedWork.h"

namespace dispatch {

void Queue::asyncAfter(double seconds, Work work) {
    auto entry = std::make_shared<detail::TimedWork>();
    entry->deadline = clock().now() + seconds;
    entry->work = std::move(work);
    enqueueTimed(std::move(entry));
}

} // namespace dispatch
