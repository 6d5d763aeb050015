#pragma once

#include "detail/DetailGeometry.h"
#include "detail/DetailState.h"
#include "detail/SectionContentDrawing.h"
#include "sources/ExternalDevice.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pulsedeck::detailreadings {

// Readings of a busy laptop over the last minute, with the name their sheets carry.
struct Readings : DetailReadings {
    std::string name;

    SectionContent content(ModuleKind kind, DetailPresentation presentation) const {
        SectionContent c;
        c.presentation = presentation;
        c.width = cardContentWidth(presentation, nullptr);
        c.regions = sectionRegions(kind, presentation, c.width,
                                   detailSectionHeight(kind, presentation, {}), {});
        c.memory = memory;
        c.memoryHistory = memoryHistory;
        c.fan = fan;
        c.fanHistory = fanHistory;
        c.network = network;
        c.networkHistory = networkHistory;
        c.compute = compute;
        c.computeHistory = computeHistory;
        c.temperature = temperature;
        c.temperatureHistory = temperatureHistory;
        return c;
    }
};

inline Readings liveReadings() {
    Readings f;
    f.name = "live";
    f.memory.physical = "16.00 GB";
    f.memory.used = "9.42 GB";
    f.memory.cached = "3.10 GB";
    f.memory.swap = "0.0 MB";
    f.fan.fans = {{0, 1850.0, 5900.0}, {1, 1920.0, 5900.0}};
    f.fan.detectedCount = 2;
    for (int i = 0; i < 60; ++i) {
        const double wave = 0.5 + 0.4 * std::sin(i / 7.0);
        f.memoryHistory.push_back({0.35 + 0.3 * wave, i > 40 && i < 50 ? 2 : 1});
        f.fanHistory.push_back(i == 30 ? std::nullopt : std::optional(0.2 + 0.5 * wave));
        NetworkSnapshot rate;
        rate.download = 40'000 + 900'000 * wave * wave;
        rate.upload = 20'000 + 150'000 * (1 - wave);
        f.networkHistory.push_back(rate);
        ComputeSnapshot load;
        load.cpu = 10 + 70 * wave;
        load.gpu = 5 + 30 * (1 - wave);
        f.computeHistory.push_back(load);
        f.temperatureHistory.push_back(45 + 50 * wave);
    }
    f.network = f.networkHistory.back();
    f.compute = f.computeHistory.back();
    f.temperature.celsius = f.temperatureHistory.back();
    f.temperature.sensorCount = 7;
    return f;
}

// A machine whose readers gave nothing yet.
inline Readings dashReadings() {
    Readings f;
    f.name = "dashes";
    return f;
}

inline Readings fanlessReadings() {
    Readings f = liveReadings();
    f.name = "fanless";
    f.fan = {};
    f.fan.detectedCount = 0;
    f.fanHistory.clear();
    return f;
}

inline std::vector<ExternalDevice> deviceFixture(std::size_t count) {
    const struct {
        const char* name;
        const char* connection;
        ExternalDeviceKind kind;
        std::optional<double> bits;
        std::optional<std::uint64_t> capacity;
        std::optional<std::uint64_t> available;
    } rows[] = {
        {"Archive SSD", "Thunderbolt 4", ExternalDeviceKind::storage, 40e9, 2'000'000'000'000,
         1'250'000'000'000},
        {"Studio Microphone", "USB", ExternalDeviceKind::microphone, 480e6, std::nullopt,
         std::nullopt},
        {"Camera Card", "SD Card Reader", ExternalDeviceKind::card, std::nullopt, 64'000'000'000,
         std::nullopt},
        {"Wireless Headphones", "USB 2.0", ExternalDeviceKind::headphones, 12e6, std::nullopt,
         std::nullopt},
        {"Keyboard", "USB", ExternalDeviceKind::usb, 1.5e6, std::nullopt, std::nullopt},
    };
    std::vector<ExternalDevice> devices;
    for (std::size_t i = 0; i < count && i < std::size(rows); ++i) {
        ExternalDevice d;
        d.id = "usb:" + std::to_string(i);
        d.name = rows[i].name;
        d.connection = rows[i].connection;
        d.kind = rows[i].kind;
        d.bitsPerSecond = rows[i].bits;
        d.capacity = rows[i].capacity;
        d.availableCapacity = rows[i].available;
        devices.push_back(d);
    }
    return devices;
}

} // namespace pulsedeck::detailreadings
