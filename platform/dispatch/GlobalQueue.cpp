#include "platform/dispatch/GlobalQueue.h"

#include "platform/dispatch/WorkerQueue.h"

#include <algorithm>
#include <thread>

namespace dispatch {

namespace {

// A few threads are plenty for the short reads sent here; more would only cost memory.
int poolSize() {
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 2u, 4u));
}

class GlobalPool final : public Queue {
public:
    GlobalPool() : worker_("global.pool", poolSize(), uptimeClock()) {}

    void async(Work work) override { worker_.async(std::move(work)); }
    const Clock& clock() const override { return worker_.clock(); }
    std::string_view label() const override { return worker_.label(); }

protected:
    void enqueueTimed(std::shared_ptr<detail::TimedWork> entry) override {
        worker_.enqueueTimed(std::move(entry));
    }

private:
    detail::WorkerQueue worker_;
};

} // namespace

Queue& globalQueue() {
    static GlobalPool pool;
    return pool;
}

} // namespace dispatch
