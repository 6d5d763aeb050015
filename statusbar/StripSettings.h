#pragma once

#include "model/Localization.h"
#include "model/StripLook.h"
#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <optional>
#include <set>
#include <span>
#include <vector>

namespace pulsedeck {

// What one preference set says about a strip, handed on whole: the menu bar's look for the
// status strip, the bar's own for the floating strip.
struct StripSettings {
    StripLook look;
    // A slot without a colour of its own, nor a theme, is blue rather than green; also the
    // blue rather than green normal level of the memory and network pictures.
    bool normalBlue = false;
    // Without fans the fan is never shown, whatever the look says.
    bool fanAvailable = true;

    bool shows(ModuleKind kind) const {
        return look.modules.shows(kind) && (kind != ModuleKind::fan || fanAvailable);
    }
    std::set<ModuleKind> shown() const {
        std::set<ModuleKind> modules;
        for (ModuleKind kind : allModuleKinds)
            if (shows(kind))
                modules.insert(kind);
        return modules;
    }
};

// The latest readings and their histories, oldest first. The histories are views into the
// sampler's storage: they must outlive the inputs built from them until those are applied.
struct StripReadings {
    MemorySnapshot memory;
    std::span<const PressurePoint> memoryHistory;
    FanSnapshot fan;
    std::span<const std::optional<double>> fanHistory;
    NetworkSnapshot network;
    std::span<const NetworkSnapshot> networkHistory;
    TemperatureSnapshot temperature;
    std::span<const std::optional<double>> temperatureHistory;
    ComputeSnapshot compute;
    std::span<const ComputeSnapshot> computeHistory;
    std::vector<ExternalDevice> devices;
};

// Where the strip is shown and what the desktop says about it.
struct StripEnvironment {
    double height = 24;
    // The room left and right of the modules.
    double edgePadding = 1.75;
    bool systemDark = false;
    bool reduceMotion = false;
    AppLanguage language = AppLanguage::english;
    int historyCapacity = 60;
};

} // namespace pulsedeck
