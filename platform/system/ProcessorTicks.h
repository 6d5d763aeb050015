#pragma once

#include "platform/foundation/ProcessInfo.h"
#include "platform/foundation/TextFile.h"
#include "platform/system/SystemRoots.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace sys {

// Machine-wide processor time in ticks since boot, in the kernel's order user, system, idle,
// nice. Each counter is 32 bits wide and wraps.
using ProcessorLoadTicks = std::array<std::uint32_t, 4>;

inline constexpr std::size_t tickUser = 0;
inline constexpr std::size_t tickSystem = 1;
inline constexpr std::size_t tickIdle = 2;
inline constexpr std::size_t tickNice = 3;

// The aggregate "cpu" line of /proc/stat mapped onto the four counters: user and nice as they
// stand (guest time is already inside them), system + irq + softirq, idle + iowait; steal is left
// out of all four. Empty unless the line is whole (ends in a newline) and has at least the user,
// nice, system and idle fields.
std::optional<ProcessorLoadTicks> parseProcessorTicks(std::string_view procStat);

// Where the compute reader gets its processor figures; tests substitute their own.
class ProcessorTicksSource {
public:
    virtual ~ProcessorTicksSource() = default;
    // Empty when the counters cannot be read. Called from one thread at a time.
    virtual std::optional<ProcessorLoadTicks> loadTicks() = 0;
    virtual int processorCount() const = 0;
};

// The live source: /proc/stat under the given roots, read with one pread of a kept descriptor;
// the processor count is taken once: the online count is read once per process.
class ProcessorTicks final : public ProcessorTicksSource {
public:
    explicit ProcessorTicks(const SystemRoots& roots,
                            int processorCount = foundation::processInfo::processorCount());

    std::optional<ProcessorLoadTicks> loadTicks() override;
    int processorCount() const override { return processorCount_; }

private:
    foundation::KeptFile stat_;
    int processorCount_;
};

} // namespace sys
