#include "floating/FloatingReadings.h"

namespace pulsedeck {

FloatingReadings FloatingReadings::placeholder() {
    FloatingReadings readings;
    readings.memory = memoryPlaceholder();
    readings.compute = computePlaceholder();
    return readings;
}

} // namespace pulsedeck
