#pragma once

#include "platform/system/SystemRoots.h"

#include <string>
#include <string_view>
#include <vector>

namespace sys {

// One sound card as the audio system lists it: its name, a text that identifies it for good,
// and whether it has capture (input) and playback (output) streams.
//
// Linux backing: /proc/asound/cards gives the card's short name (the USB product name for USB
// audio) and its long name (maker, product and bus position), used as the identifier; the
// card's pcmNc and pcmNp folders give its capture and playback streams.
struct AudioDevice {
    std::string name;
    std::string uid;
    bool input = false;
    bool output = false;

    bool operator==(const AudioDevice&) const = default;
};

struct AudioCardLine {
    int index = 0;
    std::string name;
    std::string uid;

    bool operator==(const AudioCardLine&) const = default;
};

// The cards of a /proc/asound/cards text; malformed entries are skipped.
std::vector<AudioCardLine> parseAudioCards(std::string_view text);

// Every card with its streams; empty when the machine has no sound system.
std::vector<AudioDevice> audioDevices(const SystemRoots& roots);

} // namespace sys
