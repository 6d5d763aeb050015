#pragma once

#include "drawing/RenderedBitmapImage.h"
#include "platform/dispatch/Clock.h"
#include "sources/ExternalDeviceKind.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/DevicesStatusImage.h"
#include "statusbar/FanStatusImage.h"
#include "statusbar/MemoryStatusImage.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/MetricStatusDrawing.h"
#include "statusbar/NetworkStatusImage.h"
#include "support/MenuBarContentViewProbe.h"

#include <cmath>
#include <vector>

namespace striptest {

// Histories and readings that make every module show something, kept alive for the images'
// lazy parts.
struct SampleReadings {
    std::vector<pulsedeck::PressurePoint> memoryHistory;
    std::vector<pulsedeck::NetworkSnapshot> networkHistory;
    std::vector<std::optional<double>> temperatureHistory;
    std::vector<pulsedeck::ComputeSnapshot> computeHistory;
    std::vector<std::optional<double>> fanHistory;

    SampleReadings() {
        for (int i = 0; i < 60; ++i) {
            const double wave = 0.5 + 0.3 * std::sin(i / 6.0);
            memoryHistory.push_back({wave, i > 48 ? 2 : 1});
            networkHistory.push_back(
                {40000 + 900000 * wave * wave, 12000 + 80000 * (1 - wave), {"eth0"}});
            temperatureHistory.push_back(52 + 20 * wave);
            computeHistory.push_back({100 * wave * 0.8, 40 * (1 - wave), 8, 32, "GPU"});
            fanHistory.push_back(0.4 + 0.3 * wave);
        }
    }
};

// The temperature chart segment as a module image: the capsule around the chart and its value.
// A stand-in drawn with the shared chart routine until the temperature image is in the tree.
inline gfx::Image temperatureChartImage(const SampleReadings& readings, bool dark) {
    const double width = 5 + 85 + 7 + 34 + 8;
    gfx::Image drawn = gfx::Image::withDrawingHandler(
        {width, 24}, false, [&readings, dark](gfx::Context& context, const gfx::Rect& rect) {
            return pulsedeck::drawCapsule(
                context, dark, rect, [&](const gfx::Color& foreground, const gfx::Rect& inner) {
                    pulsedeck::drawGraphWithValue(context, foreground, inner, {5, 3, 85, 18},
                                                  readings.temperatureHistory, std::nullopt,
                                                  pulsedeck::AppLanguage::english, 67.0);
                });
        });
    return pulsedeck::renderedBitmapImage(drawn, 2, dark);
}

// Fills a strip with all six modules: memory (pair with chart), the fan as a ring with its
// rotor, network with its graph, the temperature chart, compute bars and two devices. The fan is
// drawn for the strip's own appearance.
inline void fillSampleStrip(pulsedeck::MenuBarContentView& strip, const SampleReadings& readings,
                            bool dark, dispatch::VirtualClock* clock = nullptr) {
    using namespace pulsedeck;
    CapsuleCache capsules;
    MemoryStatusContent memory;
    memory.dark = dark;
    memory.history = readings.memoryHistory;
    memory.snapshot.physical = "32.00 GB";
    memory.snapshot.used = "18.42 GB";
    memory.snapshot.cached = "9.10 GB";
    memory.snapshot.swap = "0.50 GB";
    memory.snapshot.pressure = 1;
    memory.snapshot.height = 0.58;
    memory.snapshot.usedFraction = 0.58;
    memory.mode = DisplayMode::pair;
    strip.setModuleImage(ModuleKind::memory, memoryStatusImage(capsules, memory));

    NetworkStatusContent network;
    network.dark = dark;
    network.history = readings.networkHistory;
    network.download = 1.2e6;
    network.upload = 86000;
    strip.setModuleImage(ModuleKind::network, networkStatusImage(capsules, network));

    strip.setModuleImage(ModuleKind::temperature, temperatureChartImage(readings, dark));

    ComputePicture compute;
    compute.snapshot = {43.0, 12.0, 8, 32, "GPU"};
    compute.history = readings.computeHistory;
    compute.dark = dark;
    strip.setModuleImage(ModuleKind::compute, computeStatusImage(capsules, compute));

    std::vector<ExternalDevice> devices(2);
    devices[0].id = "usb:1";
    devices[0].name = "Keyboard";
    devices[1].id = "disk:2";
    devices[1].name = "Backup";
    devices[1].kind = ExternalDeviceKind::storage;
    strip.setModuleImage(ModuleKind::devices,
                         devicesStatusImage(capsules, devices, dark, std::nullopt));

    MenuBarContentView::FanInputs fan;
    fan.snapshot.model = "Desktop";
    fan.snapshot.fans = {{0, 2600.0, 5000.0}};
    fan.snapshot.detectedCount = 1;
    fan.history = readings.fanHistory;
    fan.animation = FanAnimationMode::off;
    strip.setFanMode(FanDisplayMode::ring);
    // The rotor stands still so pictures hold; on a virtual clock it first turns to 17°.
    if (clock) {
        fan.animation = FanAnimationMode::smooth;
        strip.setFanInputs(fan);
        clock->advance(17.0 / 360 / pulsedeck::MenuBarContentViewProbe::rotorPhase(strip).speed);
        fan.animation = FanAnimationMode::off;
    }
    strip.setFanInputs(fan);
    strip.relayout();
}

} // namespace striptest
