#include "platform/system/ProcessorTicks.h"

#include <charconv>
namespace sys {

namespace {

// The aggregate line comes first and is at most ten 20-digit numbers long; the per-processor and
// interrupt lines after it can run to many kilobytes, so only the head of the file is read.
constexpr std::size_t statReadLimit = 1024;

enum StatField { user, nice, system, idle, iowait, irq, softirq, fieldCount };

} // namespace

std::optional<ProcessorLoadTicks> parseProcessorTicks(std::string_view procStat) {
    constexpr std::string_view prefix = "cpu ";
    if (procStat.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    std::size_t newline = procStat.find('\n');
    if (newline == std::string_view::npos)
        return std::nullopt;
    std::string_view line = procStat.substr(prefix.size(), newline - prefix.size());

    std::array<std::uint64_t, fieldCount> fields{};
    int parsed = 0;
    const char* cursor = line.data();
    const char* end = line.data() + line.size();
    while (parsed < fieldCount) {
        while (cursor < end && *cursor == ' ')
            ++cursor;
        if (cursor == end)
            break;
        auto [next, error] = std::from_chars(cursor, end, fields[parsed]);
        if (error != std::errc() || (next < end && *next != ' '))
            return std::nullopt;
        cursor = next;
        ++parsed;
    }
    if (parsed <= idle)
        return std::nullopt;

    // The sums may pass 2^32; truncating keeps them consistent with the counters' own wrap.
    auto wrap = [](std::uint64_t value) { return static_cast<std::uint32_t>(value); };
    ProcessorLoadTicks ticks{};
    ticks[tickUser] = wrap(fields[user]);
    ticks[tickSystem] = wrap(fields[system] + fields[irq] + fields[softirq]);
    ticks[tickIdle] = wrap(fields[idle] + fields[iowait]);
    ticks[tickNice] = wrap(fields[nice]);
    return ticks;
}

ProcessorTicks::ProcessorTicks(const SystemRoots& roots, int processorCount)
    : stat_(roots.proc / "stat", statReadLimit), processorCount_(processorCount) {}

std::optional<ProcessorLoadTicks> ProcessorTicks::loadTicks() {
    auto text = stat_.read();
    if (!text)
        return std::nullopt;
    return parseProcessorTicks(*text);
}

} // namespace sys
