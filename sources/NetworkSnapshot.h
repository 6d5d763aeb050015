#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// A rate as the network figures show it: "—" for an absent, negative or non-finite rate; else
// B/s, KB/s, MB/s or GB/s in 1000s, one decimal below 10 of a scaled unit, none otherwise (always
// "."). Pure; any thread.
std::string formatRate(std::optional<double> bytesPerSecond);

// One network sample: rates summed over the counted interfaces.
struct NetworkSnapshot {
    // Bytes per second received; empty when no rate could be formed.
    std::optional<double> download;
    // Bytes per second sent; empty when no rate could be formed.
    std::optional<double> upload;
    // The interfaces counted in this sample, sorted by plain string comparison.
    std::vector<std::string> interfaces;

    bool operator==(const NetworkSnapshot&) const = default;
};

} // namespace pulsedeck
