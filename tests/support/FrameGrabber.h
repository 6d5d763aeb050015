#pragma once

// Header-only, like X11TestSupport.h: it brings Xlib, so include it after every other header.

#include "support/X11TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// What one frame showed: the fault it holds (empty: none) and one figure the test follows from
// frame to frame (where an edge stands, say).
struct FrameVerdict {
    std::string fault;
    int measure = 0;
};

// Reads one area of the screen as fast as the server answers, with XGetImage on a connection and
// a thread of its own, while the test goes on; judges every frame as it comes and keeps each
// verdict, and the first few frames of each fault to look at. It stops by itself after `limit`.
class FrameGrabber {
public:
    using Judge = std::function<FrameVerdict(const Capture&)>;
    static constexpr int keptFaults = 3;

    FrameGrabber(const std::string& display, PixelArea area, Judge judge,
                 std::chrono::steady_clock::duration limit = std::chrono::seconds(60))
        : judge_(std::move(judge)),
          thread_([this, display, area, limit] { run(display, area, limit); }) {}
    ~FrameGrabber() { stop(); }
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    // Each frame's verdict, in the order grabbed.
    std::vector<FrameVerdict> verdicts() const {
        std::lock_guard lock(mutex_);
        return verdicts_;
    }
    // How many frames showed each fault.
    std::map<std::string, int> faults() const {
        std::map<std::string, int> counts;
        for (const FrameVerdict& verdict : verdicts())
            if (!verdict.fault.empty())
                ++counts[verdict.fault];
        return counts;
    }
    int faulty() const {
        int count = 0;
        for (const auto& [fault, frames] : faults())
            count += frames;
        return count;
    }
    // The first frames of each fault, with their faults.
    std::vector<std::pair<std::string, Capture>> faultyFrames() const {
        std::lock_guard lock(mutex_);
        return kept_;
    }

private:
    void run(const std::string& name, PixelArea area, std::chrono::steady_clock::duration limit) {
        Display* display = XOpenDisplay(name.c_str());
        if (!display)
            return;
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!stopping_ && std::chrono::steady_clock::now() < until) {
            Capture frame = capture(display, DefaultRootWindow(display), area.x, area.y, area.width,
                                    area.height);
            if (frame.pixels.empty())
                continue;
            FrameVerdict verdict = judge_(frame);
            std::lock_guard lock(mutex_);
            if (!verdict.fault.empty() && kept_.size() < 4 * keptFaults &&
                std::count_if(kept_.begin(), kept_.end(), [&](const auto& held) {
                    return held.first == verdict.fault;
                }) < keptFaults)
                kept_.emplace_back(verdict.fault, std::move(frame));
            verdicts_.push_back(std::move(verdict));
        }
        XCloseDisplay(display);
    }

    Judge judge_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<FrameVerdict> verdicts_;
    std::vector<std::pair<std::string, Capture>> kept_;
    std::thread thread_;
};

} // namespace testsupport
