#pragma once

#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

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
