#pragma once

namespace pulsedeck {

// The link to the sensor companion.
enum class SensorConnectionState { disconnected = 0, connecting = 1, ready = 2, invalidData = 3 };

} // namespace pulsedeck
