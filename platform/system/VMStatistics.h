#pragma once

#include "platform/foundation/TextFile.h"
#include "platform/system/SystemRoots.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace sys {

// The kernel's page counts in the shape the memory arithmetic expects. On Linux they are derived
// from /proc/meminfo so that total − (free − speculative) − external is MemTotal − MemAvailable
// (what `free` calls used) and purgeable + external is the buffer and page cache:
//   free = MemFree, speculative = max(0, MemFree − MemAvailable),
//   external = max(0, MemAvailable − MemFree),
//   purgeable = max(0, Buffers + Cached + SReclaimable − external).
struct VMPageCounts {
    std::uint64_t freeCount = 0;
    std::uint64_t purgeableCount = 0;
    std::uint64_t speculativeCount = 0;
    std::uint64_t externalPageCount = 0;

    bool operator==(const VMPageCounts&) const = default;
};

// Swap space in bytes.
struct SwapUsage {
    std::uint64_t total = 0;
    std::uint64_t used = 0;

    bool operator==(const SwapUsage&) const = default;
};

// The kernel's memory-pressure grades.
inline constexpr std::int32_t pressureLevelNormal = 1;
inline constexpr std::int32_t pressureLevelElevated = 2;
inline constexpr std::int32_t pressureLevelHigh = 4;

// The machine's physical memory and page size, fixed for the life of the process.
struct MachineMemory {
    std::uint64_t physicalMemory = 0; // bytes
    std::uint64_t pageSize = 0;       // bytes

    // _SC_PHYS_PAGES × _SC_PAGESIZE, so always a whole number of pages.
    static MachineMemory live();
};

// One look at the kernel's memory counters. Whatever could not be read is empty.
struct VMStatisticsSample {
    MachineMemory machine;
    std::optional<VMPageCounts> pages;
    std::optional<SwapUsage> swap;
    // 1, 2 or 4 from the kernel's pressure stall average; empty where the kernel has no PSI.
    std::optional<std::int32_t> pressureLevel;
    // Percent of memory still available (MemAvailable × 100 / MemTotal). Garbage input can make
    // it exceed 100; the caller decides what to make of that.
    std::optional<std::uint32_t> memoryStatusLevel;
};

// Where the memory reader gets its counters; tests substitute their own.
class VMStatisticsSource {
public:
    virtual ~VMStatisticsSource() = default;
    // Never fails as a whole. Called from one thread at a time.
    virtual VMStatisticsSample read() = 0;
};

// The fields of /proc/meminfo the mapping uses, in kB; a field that is missing or malformed
// (including a line cut short before its "kB") is empty.
struct MeminfoFields {
    std::optional<std::uint64_t> memTotal;
    std::optional<std::uint64_t> memFree;
    std::optional<std::uint64_t> memAvailable;
    std::optional<std::uint64_t> buffers;
    std::optional<std::uint64_t> cached;
    std::optional<std::uint64_t> sReclaimable;
    std::optional<std::uint64_t> swapTotal;
    std::optional<std::uint64_t> swapFree;
};

MeminfoFields parseMeminfo(std::string_view text);

// Empty unless every field the mapping needs is present (a kernel without MemAvailable gives
// none) and the page size is not 0.
std::optional<VMPageCounts> pageCountsFromMeminfo(const MeminfoFields& fields,
                                                  std::uint64_t pageSize);
std::optional<std::uint32_t> memoryStatusLevelFromMeminfo(const MeminfoFields& fields);
std::optional<SwapUsage> swapUsageFromMeminfo(const MeminfoFields& fields);

// The "some avg10" figure of /proc/pressure/memory (percent of time stalled); empty when the
// line is missing, malformed or not a finite non-negative number.
std::optional<double> parsePressureSomeAverage(std::string_view text);

// Below 10 % normal, below 40 % elevated, else high.
std::int32_t pressureLevelForStallAverage(double someAverage10);

// The live source: /proc/meminfo and /proc/pressure/memory under the given roots, each read with
// one pread of a kept descriptor per sample.
class VMStatistics final : public VMStatisticsSource {
public:
    explicit VMStatistics(const SystemRoots& roots, MachineMemory machine = MachineMemory::live());

    VMStatisticsSample read() override;

private:
    MachineMemory machine_;
    foundation::KeptFile meminfo_;
    foundation::KeptFile pressure_;
};

} // namespace sys
