#pragma once

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

// A clock that moves only when told to. Not thread-safe: step it from the thread that reads it.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double start = 1000.0) : time_(start) {}
    double now() const override { return time_; }
    void set(double time) { time_ = time; }
    void advance(double seconds) { time_ += seconds; }

private:
    double time_;
};

// The live uptime clock shared by everything that is not handed another one.
const Clock& uptimeClock();

// Shorthand for uptimeClock().now(): the platform's system uptime in seconds.
double systemUptime();

} // namespace dispatch
