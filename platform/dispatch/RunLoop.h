#pragma once

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoopMode.h"

#include <functional>
#include <memory>

namespace dispatch {

class RunLoop;

// The main queue of a run loop: FIFO, callable from any thread, serviced in every mode of the
// loop, nested runs included.
class MainQueue final : public Queue {
public:
    void async(Work work) override;
    const Clock& clock() const override;
    std::string_view label() const override { return "main"; }

protected:
    void enqueueTimed(std::shared_ptr<detail::TimedWork> entry) override;

private:
    friend class RunLoop;
    explicit MainQueue(RunLoop& loop) : loop_(loop) {}
    RunLoop& loop_;
};

// The loop of one thread: a single poll() over file-descriptor sources, an eventfd that
// cross-thread posts write, and the nearest timer deadline as its timeout. An idle loop sleeps
// until something happens; there is no polling interval.
//
// Everything except stop() and the main queue's methods belongs to the thread running the loop.
// On a VirtualClock the loop never sleeps for time: where it would wait for a deadline it sets
// the clock to that deadline instead, so tests run deterministically and at once.
class RunLoop {
    struct State;

public:
    explicit RunLoop(const Clock& clock = uptimeClock());
    explicit RunLoop(VirtualClock& clock);
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The main thread's loop: the one installed by a ScopedMainRunLoop, else one on the uptime
    // clock made on first use.
    static RunLoop& main();

    MainQueue& queue() { return queue_; }
    const Clock& clock() const { return clock_; }

    // Runs in defaultMode until stop().
    void run();
    // Runs in `mode` while keepRunning() holds (checked before each pass) and no stop() came.
    // Menus tracking the pointer and modal alerts run here.
    void runNested(RunLoopMode mode, const std::function<bool()>& keepRunning);
    // Makes the outermost run() return, ending nested runs on the way out. Any thread. A stop()
    // before run() makes that run() return at once.
    void stop();
    // The mode of the innermost run, or defaultMode when the loop is not running.
    RunLoopMode currentMode() const;

    // Runs, without advancing the clock, everything ready in `mode`: main-queue work, due
    // timers and ready sources, until nothing is left that is ready now.
    void runUntilIdle(RunLoopMode mode = RunLoopMode::defaultMode);
    // VirtualClock only: steps the clock through each wake-up the live loop would make within
    // `seconds`, running what is due at each, and ends with the clock `seconds` on.
    void advanceAndRunDue(double seconds, RunLoopMode mode = RunLoopMode::defaultMode);
    // When the loop would next wake for time in `mode` (infinity when nothing is timed).
    double nextWakeTime(RunLoopMode mode = RunLoopMode::defaultMode) const;

    // A registration that ends when the handle is destroyed or reset. Safe to drop after the
    // loop is gone, and from inside its own callback.
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept;
        Registration& operator=(Registration&& other) noexcept;
        ~Registration();
        void reset();
        explicit operator bool() const { return id_ != 0; }

    private:
        friend class RunLoop;
        Registration(std::weak_ptr<State> loop, unsigned long id) : loop_(loop), id_(id) {}
        std::weak_ptr<State> loop_;
        unsigned long id_ = 0;
    };

    // Calls callback(revents) on the loop thread when poll() reports `events` (POLLIN, ...) on
    // fd in one of `modes`. The fd stays the caller's to close, after the registration ends.
    // POLLHUP and POLLERR repeat on every pass until the callback ends the registration; a
    // POLLNVAL (fd closed too early) is reported once and ends the source.
    [[nodiscard]] Registration addSource(int fd, short events, std::function<void(short)> callback,
                                         RunLoopModes modes = commonModes);
    // Calls callback each time the loop is about to sleep in `modes` (a window-system
    // connection flushes its output and drains events it has buffered here). Work it posts is
    // seen before the loop sleeps.
    [[nodiscard]] Registration addBeforeWaitingObserver(std::function<void()> callback,
                                                        RunLoopModes modes = commonModes);

private:
    friend class MainQueue;
    friend class Timer;
    void addTimed(std::shared_ptr<detail::TimedWork> entry);
    int runPass(RunLoopMode mode, bool mayWait);

    const Clock& clock_;
    VirtualClock* virtualClock_ = nullptr;
    MainQueue queue_{*this};
    std::shared_ptr<State> state_;
};

// Installs a loop as RunLoop::main() (and so as mainQueue()) for the guard's lifetime; tests use
// it to put code that posts to the main queue on a loop with a virtual clock.
class ScopedMainRunLoop {
public:
    explicit ScopedMainRunLoop(RunLoop& loop);
    ~ScopedMainRunLoop();
    ScopedMainRunLoop(const ScopedMainRunLoop&) = delete;
    ScopedMainRunLoop& operator=(const ScopedMainRunLoop&) = delete;

private:
    RunLoop* previous_;
};

// The main run loop's queue.
MainQueue& mainQueue();

} // namespace dispatch
