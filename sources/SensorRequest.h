#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// What the monitor asks the sensor companion for. Coded as a JSON object whose keys are the field
// names.
struct SensorRequest {
    std::int64_t schema = 0;
    // Chosen for this request; the reply must echo it.
    std::string nonce;
    bool fans = false;
    bool temperature = false;
    bool gpu = false;

    bool operator==(const SensorRequest&) const = default;
};

std::string encode(const SensorRequest& request);

// Nothing unless every field is present with its type.
std::optional<SensorRequest> decodeSensorRequest(std::string_view data);

} // namespace pulsedeck
