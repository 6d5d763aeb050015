#pragma once

#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/NetworkStatusImage.h"
#include "statusbar/StripSettings.h"

#include <optional>
#include <set>
#include <vector>

namespace pulsedeck {

// Everything a strip is drawn from, as MenuBarContentView::setInputs takes it. A module that is
// not shown has no inputs and takes no room.
struct StripInputs {
    double presentationHeight = 24;
    double edgePadding = 1.75;
    bool dark = false;
    bool animationsEnabled = true;
    bool reduceMotion = false;
    std::vector<ModuleKind> order;
    std::set<ModuleKind> editable;
    double chartLength = 85;
    double gap = 8;
    // Its layout is measured by the strip, which keeps it while the figures' texts stay.
    std::optional<MemoryStatusContent> memory;
    std::optional<NetworkStatusContent> network;
    struct Temperature {
        TemperatureSnapshot snapshot;
        std::vector<std::optional<double>> history;
        TemperatureDisplayMode mode = TemperatureDisplayMode::thermometer;
        gfx::Color tint;
    };
    std::optional<Temperature> temperature;
    AppLanguage language = AppLanguage::english;
    std::optional<MenuBarContentView::ComputeInputs> compute;
    ComputeDisplayMode computeMode = ComputeDisplayMode::bars;
    std::optional<std::vector<ExternalDevice>> devices;
    gfx::Color devicesTint;
    // Hidden while the fan is not shown.
    FanDisplayMode fanMode = FanDisplayMode::hidden;
    MenuBarContentView::FanInputs fan;
    // Nothing is shown, or only a devices module without a device: the application mark stands
    // alone in the memory module's place.
    bool appMark = false;
};

// The one way a strip's inputs are made, for the status strip and the floating strip alike: a
// shown fan keeps a hidden style as the ring, the GPU takes only its own colour, and the app
// mark stands alone when nothing (or only an empty devices module) is shown.
StripInputs stripInputs(const StripSettings& settings, const StripReadings& readings,
                        const StripEnvironment& environment);

} // namespace pulsedeck
