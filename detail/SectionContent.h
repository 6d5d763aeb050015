#pragma once

#include "detail/DetailGeometry.h"
#include "model/Localization.h"
#include "model/ModuleColors.h"
#include "model/Modules.h"
#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <map>
#include <optional>
#include <span>

namespace pulsedeck {

// Everything one card's content drawing reads: the card's regions and width, how the view
// presents and colours itself, and the readings. The histories are views of the owner's vectors
// (oldest entry first) and must outlive the drawing call.
struct SectionContent {
    // The card's named regions, y-up in its content view; empty for a card not laid out.
    SectionRegions regions;
    // The content view's width.
    double width = 282;
    DetailPresentation presentation = DetailPresentation::details;
    AppLanguage language = AppLanguage::english;
    ModuleColors moduleColors;
    bool normalBlue = false;

    MemorySnapshot memory;
    std::span<const PressurePoint> memoryHistory;
    int historyCapacity = 60;
    FanSnapshot fan;
    // Fan load fractions, 0…1.
    std::span<const std::optional<double>> fanHistory;
    bool fanEnabled = true;
    NetworkSnapshot network;
    std::span<const NetworkSnapshot> networkHistory;
    bool networkColored = false;
    ComputeSnapshot compute;
    std::span<const ComputeSnapshot> computeHistory;
    TemperatureSnapshot temperature;
    // Degrees Celsius.
    std::span<const std::optional<double>> temperatureHistory;

    std::span<const ExternalDevice> devices;
    // Uptime at which each device came in, by id; a device without an entry is drawn at rest.
    std::map<std::string, double> deviceArrivals;
    // The uptime device ages are measured against: the entrance clock's latest frame, or now
    // when no clock runs.
    double deviceCardNow = 0;
    bool reduceMotion = false;
};

} // namespace pulsedeck
