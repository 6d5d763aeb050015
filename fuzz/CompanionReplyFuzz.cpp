#include "sources/SensorPayload.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Whatever the companion sends, decoding gives a payload or nothing. A payload has only finite
// numbers and survives its own encoding unchanged.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto payload = pulsedeck::decodeSensorPayload(input);
    if (!payload)
        return 0;

    bool finite = std::isfinite(payload->sampledUptime) &&
                  (!payload->cpuCelsius || std::isfinite(*payload->cpuCelsius)) &&
                  (!payload->gpuPercent || std::isfinite(*payload->gpuPercent));
    for (const auto& fan : payload->fans) {
        finite = finite && (!fan.rpm || std::isfinite(*fan.rpm)) &&
                 (!fan.maximum || std::isfinite(*fan.maximum));
    }
    if (!finite)
        std::abort();

    if (pulsedeck::decodeSensorPayload(pulsedeck::encode(*payload)) != payload)
        std::abort();
    return 0;
}
