#pragma once

#include "model/Localization.h"
#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <optional>
#include <string>
#include <vector>

namespace pulsedeck {

// What the status item's tooltip (and its accessibility label) tells: a part for each visible
// module, none for a hidden one.
struct StatusToolTipContent {
    AppLanguage language = AppLanguage::english;
    std::optional<MemorySnapshot> memory;
    std::optional<FanSnapshot> fan;
    std::optional<NetworkSnapshot> network;
    std::optional<TemperatureSnapshot> temperature;
    std::optional<std::vector<ExternalDevice>> devices;
    std::optional<ComputeSnapshot> compute;

    bool operator==(const StatusToolTipContent&) const = default;
};

// "Pulsedeck. " then, in this order whatever the strip's: the memory summary, the fan model and
// fans, the network rates, the processor temperature, the devices and the compute loads.
std::string statusToolTip(const StatusToolTipContent& content);

// "Fan 1: 2400 RPM, Maximum: 6000 RPM" in the language; "— RPM" and "—" for what is absent.
std::string fanReadingText(const FanReading& fan, AppLanguage language);

// "Stick: USB, 480 Mbps"; the unknown-rate word for an absent, non-finite or non-positive rate.
std::string deviceToolTipText(const ExternalDevice& device, AppLanguage language);

} // namespace pulsedeck
