#pragma once

#include "platform/dispatch/Clock.h"

#include <functional>
#include <memory>
#include <string_view>

namespace dispatch {

using Work = std::function<void()>;

namespace detail {
struct TimedWork;
}

// Somewhere work can be sent: the main queue, a serial queue or the global pool.
// async and asyncAfter may be called from any thread.
class Queue {
public:
    virtual ~Queue() = default;

    virtual void async(Work work) = 0;
    // Runs work once `seconds` have passed on the queue's clock. A negative or NaN delay means at
    // once; an infinite one never comes, so the work is dropped.
    void asyncAfter(double seconds, Work work);

    virtual const Clock& clock() const = 0;
    virtual std::string_view label() const = 0;

protected:
    friend class TimerSource;
    // Runs the entry's work once its deadline has passed (and by deadline + leeway while the
    // queue is serviced), unless it is cancelled first.
    virtual void enqueueTimed(std::shared_ptr<detail::TimedWork> entry) = 0;
};

} // namespace dispatch
