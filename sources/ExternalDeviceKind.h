#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// What an external device is, as far as the devices module can tell. Stored in one byte.
enum class ExternalDeviceKind : std::uint8_t {
    usb,
    storage,
    card,
    microphone,
    headphones,
    speaker,
    tablet,
    phone,
    portableTablet
};

// The symbol image that stands for the kind.
std::string_view symbolName(ExternalDeviceKind kind);

// One audio device seen during a scan: its name and identifier in one text, and whether it has
// input and output streams.
struct AudioEndpoint {
    std::string identity;
    bool input = false;
    bool output = false;

    bool operator==(const AudioEndpoint&) const = default;
};

// The kind of a USB device from its name, its USB class codes (its own and its interfaces'), the
// audio endpoints of the scan and its vendor's name. The first rule that applies decides.
ExternalDeviceKind classify(std::string_view name, const std::set<int>& classes,
                            const std::vector<AudioEndpoint>& endpoints, std::string_view vendor);

} // namespace pulsedeck
