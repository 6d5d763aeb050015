#pragma once

#include "model/FloatingMode.h"
#include "model/Localization.h"
#include "model/LoginItemEntry.h"
#include "model/Modules.h"
#include "model/StripLook.h"
#include "model/UpdateFrequency.h"
#include "sources/ComputeSnapshot.h"
#include "sources/ExternalDevice.h"
#include "sources/FanSnapshot.h"
#include "sources/MemorySnapshot.h"
#include "sources/NetworkSnapshot.h"
#include "sources/TemperatureSnapshot.h"

#include <array>
#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pulsedeck {

// One value per module, looked up by its kind.
template <typename Value> struct ModuleTable {
    std::array<Value, allModuleKinds.size()> values{};

    Value& operator[](ModuleKind kind) { return values[static_cast<std::size_t>(kind)]; }
    const Value& operator[](ModuleKind kind) const {
        return values[static_cast<std::size_t>(kind)];
    }
    bool operator==(const ModuleTable&) const = default;
};

// A module's card: whether this machine can show it and whether the settings switch it on.
struct DetailModule {
    bool available = true;
    bool enabled = true;

    // Shown with its figures and controls: the only answer to "is this module on?".
    bool on() const { return available && enabled; }
    bool operator==(const DetailModule&) const = default;
};

// The latest reading of every module and its history, oldest entry first. A module that is off
// reads as nothing (memory and compute as their placeholders).
struct DetailReadings {
    MemorySnapshot memory;
    std::vector<PressurePoint> memoryHistory;
    FanSnapshot fan;
    std::vector<std::optional<double>> fanHistory;
    NetworkSnapshot network;
    std::vector<NetworkSnapshot> networkHistory;
    TemperatureSnapshot temperature;
    std::vector<std::optional<double>> temperatureHistory;
    ComputeSnapshot compute;
    std::vector<ComputeSnapshot> computeHistory;
    std::vector<ExternalDevice> devices;

    bool operator==(const DetailReadings&) const = default;
};

// Everything the detail view shows: one preference set's look, the app-wide settings and the
// readings. A value: the view compares it with the one it shows and refreshes what differs.
struct DetailState {
    // Whole, as the preference set holds it; the floating bar's shows the menu bar's theme.
    StripLook look;
    bool fanAvailable = true;
    bool normalBlue = false;
    int historyCapacity = 60;
    AppLanguage language = AppLanguage::english;

    // Only the settings menu shows these.
    std::string languageSelection = "system";
    FloatingMode floatingMode = FloatingMode::none;
    UpdateFrequency updateFrequency = UpdateFrequency::weekly;
    LoginItemStatus loginStatus = LoginItemStatus::notRegistered;
    // The latest change of the login item failed.
    bool loginFailed = false;

    DetailReadings readings;

    // A module's card: the fan only on a machine with fans, each switched on by the look.
    DetailModule module(ModuleKind kind) const {
        return {.available = kind != ModuleKind::fan || fanAvailable,
                .enabled = look.modules.shows(kind)};
    }

    bool operator==(const DetailState&) const = default;
};

// What differs between two states, by what each difference makes the view do.
struct DetailChanges {
    // Cards move, open, close or change height.
    bool layout = false;
    // Every text is given anew.
    bool language = false;
    bool switches = false;
    bool styles = false;
    bool colors = false;
    bool sliders = false;
    // Every card's drawing depends on it (presentation, colours, language, history length).
    bool cardLook = false;
    // The cards whose reading changed.
    ModuleTable<bool> readings{};

    // Every part changed: the first showing.
    static DetailChanges all();
    bool operator==(const DetailChanges&) const = default;
};

DetailChanges detailChanges(const DetailState& before, const DetailState& after);

} // namespace pulsedeck
