#include "platform/dispatch/Queue.h"

#include "platform/dispatch/TimedWork.h"

#include <limits>

namespace dispatch {

void Queue::asyncAfter(double seconds, Work work) {
    if (seconds == std::numeric_limits<double>::infinity()) {
        return; // it would never run, and would be kept forever
    }
    if (!(seconds > 0.0)) {
        seconds = 0.0; // negative or NaN: as soon as possible
    }
    auto entry = std::make_shared<detail::TimedWork>();
    entry->deadline = clock().now() + seconds;
    entry->work = std::move(work);
    enqueueTimed(std::move(entry));
}

} // namespace dispatch
