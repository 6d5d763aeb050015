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
    const StripLook& look = before.look;
    const StripLook& next = after.look;
    changes.switches =
        look.modules.hidden != next.modules.hidden || before.fanAvailable != after.fanAvailable;
    changes.styles = look.modules.styles != next.modules.styles;
    changes.colors =
        look.modules.colors != next.modules.colors || before.normalBlue != after.normalBlue;
    changes.sliders = look.opacity != next.opacity ||
                      look.modules.chartLength != next.modules.chartLength ||
                      look.modules.gap != next.modules.gap;
    changes.layout = changes.language || changes.switches ||
                     look.presentation != next.presentation ||
                     look.modules.order != next.modules.order || look.collapsed != next.collapsed ||
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
