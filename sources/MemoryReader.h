#pragma once

#include "platform/system/SystemRoots.h"
#include "platform/system/VMStatistics.h"
#include "sources/MemorySnapshot.h"

#include <memory>

namespace pulsedeck {

// Turns the kernel's memory counters into one MemorySnapshot per sample. Runs on the sampling
// queue only, one sample at a time; keeps nothing between samples but its source.
class SystemMemoryReader {
public:
    explicit SystemMemoryReader(const sys::SystemRoots& roots = sys::SystemRoots::live());
    explicit SystemMemoryReader(std::unique_ptr<sys::VMStatisticsSource> source);

    // Never fails: whatever cannot be read or computed stays "—" or empty.
    MemorySnapshot sample();

private:
    std::unique_ptr<sys::VMStatisticsSource> source_;
};

} // namespace pulsedeck
