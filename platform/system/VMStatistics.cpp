#include "platform/system/VMStatistics.h"

#include "platform/foundation/ProcessInfo.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <unistd.h>

namespace sys {

namespace {

constexpr std::uint64_t maxKilobytes = std::numeric_limits<std::uint64_t>::max() / 1024;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// "   24682404 kB" → 24682404. Anything else, a cut-off line included, is empty.
std::optional<std::uint64_t> parseKilobytes(std::string_view value) {
    value = trimLeft(value);
    std::uint64_t number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end == value.data())
        return std::nullopt;
    std::string_view rest = trimLeft(value.substr(static_cast<std::size_t>(end - value.data())));
    if (rest.substr(0, 2) != "kB")
        return std::nullopt;
    rest = trimLeft(rest.substr(2));
    if (!rest.empty() || number > maxKilobytes)
        return std::nullopt;
    return number;
}

std::uint64_t kilobytesToPages(std::uint64_t kilobytes, std::uint64_t pageSize) {
    unsigned __int128 pages = static_cast<unsigned __int128>(kilobytes) * 1024u / pageSize;
    return pages > std::numeric_limits<std::uint64_t>::max()
               ? std::numeric_limits<std::uint64_t>::max()
               : static_cast<std::uint64_t>(pages);
}

std::uint64_t saturatingSubtract(std::uint64_t a, std::uint64_t b) {
    return a > b ? a - b : 0;
}

} // namespace

MachineMemory MachineMemory::live() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return {};
    return {static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize),
            static_cast<std::uint64_t>(pageSize)};
}

MeminfoFields parseMeminfo(std::string_view text) {
    MeminfoFields fields;
    // The fields sought come in the first half of the file; the rest is passed over once all
    // eight have a value.
    constexpr int fieldsSought = 8;
    int found = 0;
    auto assign = [&found](std::optional<std::uint64_t>& field, std::string_view value) {
        if (!field) {
            field = parseKilobytes(value);
            found += field ? 1 : 0;
        }
    };
    while (!text.empty() && found < fieldsSought) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        if (key == "MemTotal")
            assign(fields.memTotal, value);
        else if (key == "MemFree")
            assign(fields.memFree, value);
        else if (key == "MemAvailable")
            assign(fields.memAvailable, value);
        else if (key == "Buffers")
            assign(fields.buffers, value);
        else if (key == "Cached")
            assign(fields.cached, value);
        else if (key == "SReclaimable")
            assign(fields.sReclaimable, value);
        else if (key == "SwapTotal")
            assign(fields.swapTotal, value);
        else if (key == "SwapFree")
            assign(fields.swapFree, value);
    }
    return fields;
}

std::optional<VMPageCounts> pageCountsFromMeminfo(const MeminfoFields& fields,
                                                  std::uint64_t pageSize) {
    if (pageSize == 0 || !fields.memFree || !fields.memAvailable || !fields.buffers ||
        !fields.cached || !fields.sReclaimable)
        return std::nullopt;
    std::uint64_t memFree = *fields.memFree;
    std::uint64_t available = *fields.memAvailable;
    std::uint64_t speculative = saturatingSubtract(memFree, available);
    std::uint64_t external = saturatingSubtract(available, memFree);
    // Each field is below 2^54, so the sum of three cannot overflow.
    std::uint64_t cache = *fields.buffers + *fields.cached + *fields.sReclaimable;
    std::uint64_t purgeable = saturatingSubtract(cache, external);
    return VMPageCounts{kilobytesToPages(memFree, pageSize), kilobytesToPages(purgeable, pageSize),
                        kilobytesToPages(speculative, pageSize),
                        kilobytesToPages(external, pageSize)};
}

std::optional<std::uint32_t> memoryStatusLevelFromMeminfo(const MeminfoFields& fields) {
    if (!fields.memTotal || !fields.memAvailable || *fields.memTotal == 0)
        return std::nullopt;
    std::uint64_t level = *fields.memAvailable * 100 / *fields.memTotal;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(level, std::numeric_limits<std::uint32_t>::max()));
}

std::optional<SwapUsage> swapUsageFromMeminfo(const MeminfoFields& fields) {
    if (!fields.swapTotal || !fields.swapFree)
        return std::nullopt;
    return SwapUsage{*fields.swapTotal * 1024,
                     saturatingSubtract(*fields.swapTotal, *fields.swapFree) * 1024};
}

std::optional<double> parsePressureSomeAverage(std::string_view text) {
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.substr(0, 5) != "some ")
            continue;
        constexpr std::string_view field = "avg10=";
        std::size_t at = line.find(field);
        if (at == std::string_view::npos)
            return std::nullopt;
        std::string_view value = line.substr(at + field.size());
        double average = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), average);
        if (error != std::errc() || end == value.data())
            return std::nullopt;
        if (end != value.data() + value.size() && !isBlank(*end))
            return std::nullopt;
        if (!std::isfinite(average) || average < 0)
            return std::nullopt;
        return average;
    }
    return std::nullopt;
}

std::int32_t pressureLevelForStallAverage(double someAverage10) {
    if (someAverage10 < 10)
        return pressureLevelNormal;
    if (someAverage10 < 40)
        return pressureLevelElevated;
    return pressureLevelHigh;
}

VMStatistics::VMStatistics(const SystemRoots& roots, MachineMemory machine)
    : machine_(machine), meminfo_(roots.proc / "meminfo"),
      pressure_(roots.proc / "pressure/memory") {}

VMStatisticsSample VMStatistics::read() {
    VMStatisticsSample sample;
    sample.machine = machine_;
    if (auto text = meminfo_.read()) {
        MeminfoFields fields = parseMeminfo(*text);
        sample.pages = pageCountsFromMeminfo(fields, machine_.pageSize);
        sample.swap = swapUsageFromMeminfo(fields);
        sample.memoryStatusLevel = memoryStatusLevelFromMeminfo(fields);
    }
    if (auto text = pressure_.read()) {
        if (auto average = parsePressureSomeAverage(*text))
            sample.pressureLevel = pressureLevelForStallAverage(*average);
    }
    return sample;
}

} // namespace sys
