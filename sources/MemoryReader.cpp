#include "sources/MemoryReader.h"

#include <limits>

namespace pulsedeck {

namespace {

constexpr std::uint32_t maxMemoryStatusLevel = 100;

// a × b, or nothing when the product does not fit in 64 bits.
std::optional<std::uint64_t> multiplied(std::uint64_t a, std::uint64_t b) {
    std::uint64_t product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return std::nullopt;
    return product;
}

struct UsedAndCached {
    std::uint64_t usedBytes;
    std::uint64_t cachedBytes;
};

// The page arithmetic; nothing at the first guard that fails.
std::optional<UsedAndCached> usedAndCached(const sys::VMPageCounts& pages,
                                           const sys::MachineMemory& machine) {
    std::uint64_t pageSize = machine.pageSize;
    if (pageSize == 0)
        return std::nullopt;
    std::uint64_t total = machine.physicalMemory / pageSize;
    // No memory at all would make the used fraction 0 / 0.
    if (total == 0 || machine.physicalMemory != total * pageSize)
        return std::nullopt;
    if (pages.freeCount < pages.speculativeCount)
        return std::nullopt;
    std::uint64_t freeProper = pages.freeCount - pages.speculativeCount;
    if (total < freeProper)
        return std::nullopt;
    std::uint64_t notFree = total - freeProper;
    if (notFree < pages.externalPageCount)
        return std::nullopt;
    std::uint64_t usedPages = notFree - pages.externalPageCount;
    if (pages.purgeableCount > total || pages.externalPageCount > total - pages.purgeableCount)
        return std::nullopt;
    auto usedBytes = multiplied(usedPages, pageSize);
    auto cachedBytes = multiplied(pages.purgeableCount + pages.externalPageCount, pageSize);
    if (!usedBytes || !cachedBytes)
        return std::nullopt;
    return UsedAndCached{*usedBytes, *cachedBytes};
}

} // namespace

SystemMemoryReader::SystemMemoryReader(const sys::SystemRoots& roots)
    : SystemMemoryReader(std::make_unique<sys::VMStatistics>(roots)) {}

SystemMemoryReader::SystemMemoryReader(std::unique_ptr<sys::VMStatisticsSource> source)
    : source_(std::move(source)) {}

MemorySnapshot SystemMemoryReader::sample() {
    MemorySnapshot snapshot;
    snapshot.sampledAt = std::chrono::system_clock::now();
    sys::VMStatisticsSample counters = source_->read();

    snapshot.physical = formatMemoryBytes(counters.machine.physicalMemory);
    if (counters.swap)
        snapshot.swap = formatMemoryBytes(counters.swap->used);
    if (auto level = counters.pressureLevel; level == 1 || level == 2 || level == 4)
        snapshot.pressure = level;
    if (auto level = counters.memoryStatusLevel; level && *level <= maxMemoryStatusLevel)
        snapshot.height = static_cast<double>(maxMemoryStatusLevel - *level) / 100.0;

    if (!counters.pages)
        return snapshot;
    auto figures = usedAndCached(*counters.pages, counters.machine);
    if (!figures)
        return snapshot;
    snapshot.used = formatMemoryBytes(figures->usedBytes);
    snapshot.usedFraction = static_cast<double>(figures->usedBytes) /
                            static_cast<double>(counters.machine.physicalMemory);
    snapshot.cached = formatMemoryBytes(figures->cachedBytes);
    snapshot.explanation = Copy::independent;
    return snapshot;
}

} // namespace pulsedeck
