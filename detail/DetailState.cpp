#include "detail/DetailState.h"

#include <algorithm>

namespace pulsedeck {

namespace {

// The devices card grows by a row per device and by a bar per device with a capacity.
bool sameDeviceRows(const std::vector<ExternalDevice>& before,
                    const std::vector<ExternalDevice>& after) {
    return std::equal(before.begin(), before.end(), after.begin(), after.end(),
                      [](const ExternalDevice& a, const ExternalDevice& b) {
                          return a.capacity.has_value() == b.capacity.has_value();
                      });
}

} // namespace

DetailChanges DetailChanges::all() {
    DetailChanges changes{.layout = true,
                          .language = true,
                          .switches = true,
                          .styles = true,
                          .colors = true,
                          .sliders = true,
                          .cardLook = true};
    changes.readings.values.fill(true);
    return changes;
}

DetailChanges detailChanges(const DetailState& before, const DetailState& after) {
    const DetailReadings& was = before.readings;
    const DetailReadings& is = after.readings;
    DetailChanges changes;
    changes.language = before.language != after.language;
    changes.switches = before.modules != after.modules;
    changes.styles = before.styles != after.styles;
    changes.colors =
        before.moduleColors != after.moduleColors || before.normalBlue != after.normalBlue;
    changes.sliders = before.stripOpacity != after.stripOpacity ||
                      before.chartLength != after.chartLength || before.fanGap != after.fanGap;
    changes.layout = changes.language || changes.switches ||
                     before.presentation != after.presentation || before.order != after.order ||
                     before.collapsed != after.collapsed ||
                     !sameDeviceRows(was.devices, is.devices);
    changes.cardLook = changes.layout || changes.styles || changes.colors ||
                       before.historyCapacity != after.historyCapacity;
    changes.readings[ModuleKind::memory] =
        was.memory != is.memory || was.memoryHistory != is.memoryHistory;
    changes.readings[ModuleKind::fan] = was.fan != is.fan || was.fanHistory != is.fanHistory;
    changes.readings[ModuleKind::network] =
        was.network != is.network || was.networkHistory != is.networkHistory;
    changes.readings[ModuleKind::temperature] =
        was.temperature != is.temperature || was.temperatureHistory != is.temperatureHistory;
    changes.readings[ModuleKind::compute] =
        was.compute != is.compute || was.computeHistory != is.computeHistory;
    changes.readings[ModuleKind::devices] = was.devices != is.devices;
    return changes;
}

} // namespace pulsedeck
