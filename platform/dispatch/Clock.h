#pragma once

#include <atomic>

namespace dispatch {

// Seconds on one monotonic time line. The live clock is CLOCK_BOOTTIME, so a suspend shows up as
// a long gap rather than as time that never passed. Tests substitute a VirtualClock and step it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

class UptimeClock final : public Clock {
public:
    double now() const override;
};

// A clock that moves only when told to. Reading it from other threads is safe (work posted from
// a worker reads the time); step it from one thread.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double start = 1000.0) : time_(start) {}
    double now() const override { return time_.load(std::memory_order_acquire); }
    void set(double time) { time_.store(time, std::memory_order_release); }
    void advance(double seconds) { set(now() + seconds); }

private:
    std::atomic<double> time_;
};

// The live uptime clock shared by everything that is not handed another one.
const Clock& uptimeClock();

// Shorthand for uptimeClock().now(): the system's uptime in seconds, suspends included.
double systemUptime();

} // namespace dispatch
