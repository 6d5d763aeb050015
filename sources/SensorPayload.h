#pragma once

#include "sources/SensorFan.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// The sensor companion's reply. Coded as a JSON object whose keys are the field names; optional
// fields are left out when empty.
struct SensorPayload {
    std::int64_t schema = 0;
    std::string nonce;
    std::string version;
    // System uptime, seconds, when the companion took the readings.
    double sampledUptime = 0;
    std::optional<std::int64_t> fanCount;
    std::vector<SensorFan> fans;
    std::optional<double> cpuCelsius;
    std::int64_t cpuSensorCount = 0;
    std::optional<double> gpuPercent;

    bool operator==(const SensorPayload&) const = default;
};

std::string encode(const SensorPayload& payload);

// The companion's reply is outside input: nothing unless it is one JSON object (at most a few
// levels deep) with every required field of its type and every number finite. Any thread.
std::optional<SensorPayload> decodeSensorPayload(std::string_view data);

} // namespace pulsedeck
