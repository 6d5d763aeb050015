#include "platform/dispatch/RunLoop.h"

#include "platform/dispatch/TimedWork.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <limits>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dispatch {

namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

std::atomic<RunLoop*>& installedMainLoop() {
    static std::atomic<RunLoop*> loop{nullptr};
    return loop;
}

class EventFd {
public:
    EventFd() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (fd_ < 0) {
            std::perror("dispatch: eventfd");
            std::abort();
        }
    }
    ~EventFd() { close(fd_); }
    EventFd(const EventFd&) = delete;
    EventFd& operator=(const EventFd&) = delete;

    int fd() const { return fd_; }
    void signal() const {
        std::uint64_t one = 1;
        // A full counter (never reached in practice) still leaves the fd readable.
        [[maybe_unused]] auto written = write(fd_, &one, sizeof one);
    }
    void drain() const {
        std::uint64_t count = 0;
        [[maybe_unused]] auto got = read(fd_, &count, sizeof count);
    }

private:
    int fd_;
};

timespec toTimespec(double seconds) {
    // Round up to the microsecond so the loop never wakes a hair before its deadline and spins.
    double micros = std::ceil(seconds * 1e6);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(micros / 1e6);
    ts.tv_nsec = static_cast<long>((micros - static_cast<double>(ts.tv_sec) * 1e6) * 1e3);
    return ts;
}

} // namespace

struct RunLoop::State {
    struct Source {
        unsigned long id;
        int fd;
        short events;
        RunLoopModes modes;
        std::function<void(short)> callback;
        bool removed = false;
    };
    struct Observer {
        unsigned long id;
        RunLoopModes modes;
        std::function<void()> callback;
        bool removed = false;
    };

    EventFd wakeFd;

    // Shared with posting threads.
    std::mutex mutex;
    std::deque<Work> posted;
    detail::TimedWorkList timed;
    // While the loop sleeps in poll(): until when, and whether a wake-up is already on its way.
    bool waiting = false;
    double plannedWake = infinity;
    bool wakeSignalled = false;
    std::atomic<bool> stopRequested{false};

    // The loop thread's own.
    std::vector<std::shared_ptr<Source>> sources;
    std::vector<std::shared_ptr<Observer>> observers;
    unsigned long nextId = 1;
    std::vector<RunLoopMode> modeStack;

    // Called with the mutex held; true when the caller must signal the eventfd.
    bool needsWakeLocked(double latest) {
        if (waiting && !wakeSignalled && latest < plannedWake) {
            wakeSignalled = true;
            return true;
        }
        return false;
    }

    void remove(unsigned long id) {
        for (auto& source : sources) {
            if (source->id == id) {
                source->removed = true;
            }
        }
        std::erase_if(sources, [](const auto& source) { return source->removed; });
        for (auto& observer : observers) {
            if (observer->id == id) {
                observer->removed = true;
            }
        }
        std::erase_if(observers, [](const auto& observer) { return observer->removed; });
    }
};

RunLoop::RunLoop(const Clock& clock) : clock_(clock), state_(std::make_shared<State>()) {}

RunLoop::RunLoop(VirtualClock& clock)
    : clock_(clock), virtualClock_(&clock), state_(std::make_shared<State>()) {}

RunLoop::~RunLoop() = default;

RunLoop& RunLoop::main() {
    if (RunLoop* installed = installedMainLoop().load(std::memory_order_acquire)) {
        return *installed;
    }
    // Never destroyed: a worker still finishing during exit may post to it.
    static RunLoop* const loop = new RunLoop();
    return *loop;
}

void RunLoop::addTimed(std::shared_ptr<detail::TimedWork> entry) {
    bool wake = false;
    {
        std::lock_guard lock(state_->mutex);
        wake = state_->needsWakeLocked(entry->latest());
        state_->timed.add(std::move(entry));
    }
    if (wake) {
        state_->wakeFd.signal();
    }
}

void RunLoop::stop() {
    state_->stopRequested.store(true);
    state_->wakeFd.signal();
}

RunLoopMode RunLoop::currentMode() const {
    return state_->modeStack.empty() ? RunLoopMode::defaultMode : state_->modeStack.back();
}

double RunLoop::nextWakeTime(RunLoopMode mode) const {
    std::lock_guard lock(state_->mutex);
    return state_->timed.wakeTime(mode);
}

void RunLoop::run() {
    if (state_->stopRequested.exchange(false)) {
        return;
    }
    state_->modeStack.push_back(RunLoopMode::defaultMode);
    while (!state_->stopRequested.load()) {
        runPass(RunLoopMode::defaultMode, true);
    }
    state_->modeStack.pop_back();
    state_->stopRequested.store(false);
}

void RunLoop::runNested(RunLoopMode mode, const std::function<bool()>& keepRunning) {
    state_->modeStack.push_back(mode);
    while (!state_->stopRequested.load() && keepRunning()) {
        runPass(mode, true);
    }
    state_->modeStack.pop_back();
}

void RunLoop::runUntilIdle(RunLoopMode mode) {
    state_->modeStack.push_back(mode);
    while (runPass(mode, false) > 0) {
    }
    state_->modeStack.pop_back();
}

void RunLoop::advanceAndRunDue(double seconds, RunLoopMode mode) {
    if (virtualClock_ == nullptr) {
        std::fputs("dispatch: advanceAndRunDue needs a loop on a VirtualClock\n", stderr);
        std::abort();
    }
    double target = clock_.now() + seconds;
    runUntilIdle(mode);
    for (double wake = nextWakeTime(mode); wake <= target; wake = nextWakeTime(mode)) {
        virtualClock_->set(std::max(wake, clock_.now()));
        runUntilIdle(mode);
    }
    virtualClock_->set(target);
    runUntilIdle(mode);
}

// One pass: wait (if allowed) until something is ready or a deadline comes, then serve ready
// sources, due timers and the main-queue work posted before this point. Returns how many
// callbacks ran.
int RunLoop::runPass(RunLoopMode mode, bool mayWait) {
    State& state = *state_;
    const Clock& clock = clock_;
    VirtualClock* virtualClock = virtualClock_;
    int ran = 0;
    if (mayWait) {
        auto observers = state.observers;
        for (auto& observer : observers) {
            if (!observer->removed && observer->modes.contains(mode)) {
                observer->callback();
            }
        }
    }

    double timeout = 0.0; // seconds; infinity blocks until a source or a post
    double wakeAt = infinity;
    {
        std::lock_guard lock(state.mutex);
        if (mayWait && state.posted.empty() && !state.stopRequested.load()) {
            wakeAt = state.timed.wakeTime(mode);
            timeout = std::max(0.0, wakeAt - clock.now());
            // A virtual loop never sleeps for time: it first looks whether anything is ready,
            // and otherwise jumps its clock to the deadline.
            if (timeout > 0.0 && (virtualClock == nullptr || wakeAt == infinity)) {
                state.waiting = true;
                state.plannedWake = wakeAt;
                state.wakeSignalled = false;
            }
        }
    }

    std::vector<pollfd> fds;
    std::vector<std::shared_ptr<State::Source>> polled;
    fds.push_back({state.wakeFd.fd(), POLLIN, 0});
    for (auto& source : state.sources) {
        if (source->modes.contains(mode)) {
            fds.push_back({source->fd, source->events, 0});
            polled.push_back(source);
        }
    }

    bool virtualJump = virtualClock != nullptr && timeout > 0.0 && wakeAt != infinity;
    int ready = 0;
    if (timeout == infinity) {
        ready = ppoll(fds.data(), fds.size(), nullptr, nullptr);
    } else {
        timespec ts = virtualJump ? timespec{} : toTimespec(timeout);
        ready = ppoll(fds.data(), fds.size(), &ts, nullptr);
    }
    {
        std::lock_guard lock(state.mutex);
        state.waiting = false;
        state.plannedWake = infinity;
    }
    if (virtualJump && ready == 0) {
        virtualClock->set(std::max(wakeAt, clock.now()));
    }

    if (ready > 0) {
        if (fds[0].revents != 0) {
            state.wakeFd.drain();
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            short revents = fds[i + 1].revents;
            if (revents != 0 && !polled[i]->removed) {
                polled[i]->callback(revents);
                ++ran;
                // A descriptor closed under its registration would report POLLNVAL on every
                // pass and spin the loop: it is told once and then left out.
                if ((revents & POLLNVAL) != 0) {
                    state.remove(polled[i]->id);
                }
            }
        }
    }

    // Timers and posted work are taken one at a time, so a nested run started by one of them
    // serves the rest in order instead of leaving them behind in this pass.
    double now = clock.now();
    for (;;) {
        std::shared_ptr<detail::TimedWork> entry;
        {
            std::lock_guard lock(state.mutex);
            entry = state.timed.takeFirstDue(now, mode);
        }
        if (!entry) {
            break;
        }
        if (!entry->cancelled.load()) {
            entry->work();
            ++ran;
        }
    }

    std::size_t postedBeforeNow = 0;
    {
        std::lock_guard lock(state.mutex);
        postedBeforeNow = state.posted.size();
    }
    for (std::size_t i = 0; i < postedBeforeNow; ++i) {
        Work work;
        {
            std::lock_guard lock(state.mutex);
            if (state.posted.empty()) {
                break;
            }
            work = std::move(state.posted.front());
            state.posted.pop_front();
        }
        work();
        ++ran;
    }
    return ran;
}

RunLoop::Registration RunLoop::addSource(int fd, short events, std::function<void(short)> callback,
                                         RunLoopModes modes) {
    unsigned long id = state_->nextId++;
    state_->sources.push_back(
        std::make_shared<State::Source>(State::Source{id, fd, events, modes, std::move(callback)}));
    return Registration(state_, id);
}

RunLoop::Registration RunLoop::addBeforeWaitingObserver(std::function<void()> callback,
                                                        RunLoopModes modes) {
    unsigned long id = state_->nextId++;
    state_->observers.push_back(
        std::make_shared<State::Observer>(State::Observer{id, modes, std::move(callback)}));
    return Registration(state_, id);
}

RunLoop::Registration::Registration(Registration&& other) noexcept
    : loop_(std::move(other.loop_)), id_(std::exchange(other.id_, 0)) {}

RunLoop::Registration& RunLoop::Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        reset();
        loop_ = std::move(other.loop_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

RunLoop::Registration::~Registration() {
    reset();
}

void RunLoop::Registration::reset() {
    if (id_ == 0) {
        return;
    }
    if (auto loop = loop_.lock()) {
        loop->remove(id_);
    }
    loop_.reset();
    id_ = 0;
}

void MainQueue::async(Work work) {
    auto& state = *loop_.state_;
    bool wake = false;
    {
        std::lock_guard lock(state.mutex);
        state.posted.push_back(std::move(work));
        wake = state.needsWakeLocked(-infinity);
    }
    if (wake) {
        state.wakeFd.signal();
    }
}

const Clock& MainQueue::clock() const {
    return loop_.clock();
}

void MainQueue::enqueueTimed(std::shared_ptr<detail::TimedWork> entry) {
    entry->modes = commonModes;
    loop_.addTimed(std::move(entry));
}

ScopedMainRunLoop::ScopedMainRunLoop(RunLoop& loop)
    : previous_(installedMainLoop().exchange(&loop, std::memory_order_acq_rel)) {}

ScopedMainRunLoop::~ScopedMainRunLoop() {
    installedMainLoop().store(previous_, std::memory_order_release);
}

MainQueue& mainQueue() {
    return RunLoop::main().queue();
}

} // namespace dispatch
