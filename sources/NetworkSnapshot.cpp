#include "sources/NetworkSnapshot.h"

#include "platform/foundation/NumberFormatting.h"

#include <array>
#include <cmath>

namespace pulsedeck {

std::string formatRate(std::optional<double> bytesPerSecond) {
    if (!bytesPerSecond || *bytesPerSecond < 0 || !std::isfinite(*bytesPerSecond))
        return "\u2014";
    static constexpr std::array<const char*, 4> units = {"B/s", "KB/s", "MB/s", "GB/s"};
    double value = *bytesPerSecond;
    std::size_t divisions = 0;
    while (value >= 1000 && divisions < 3) {
        value /= 1000;
        ++divisions;
    }
    const int fractionDigits = divisions > 0 && value < 10 ? 1 : 0;
    return foundation::formatFixed(value, fractionDigits) + " " + units[divisions];
}

} // namespace pulsedeck
