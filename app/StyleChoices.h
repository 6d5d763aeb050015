#pragma once

#include "detail/DetailView.h"
#include "model/ModuleStyles.h"

namespace pulsedeck {

// Points the details' eight style controls at the styles of one preference set. `choice` turns
// an edit of that set into the closure a control calls (mainChoice or floatingChoice); both sets
// keep their styles as `styles`.
template <typename Choice> void installStyleChoices(DetailView& view, Choice choice) {
    const auto style = [&choice](auto edit) {
        return choice([edit](auto& preferences, auto value) { edit(preferences.styles, value); });
    };
    view.displayAction = style([](ModuleStyles& s, DisplayMode mode) { s.memoryMode = mode; });
    view.memoryChartAction = style([](ModuleStyles& s, bool on) { s.memoryShowChart = on; });
    view.fanAction = style([](ModuleStyles& s, FanDisplayMode mode) { s.fanMode = mode; });
    view.fanAnimationAction =
        style([](ModuleStyles& s, FanAnimationMode mode) { s.fanAnimation = mode; });
    view.networkChartAction = style([](ModuleStyles& s, bool on) { s.networkShowChart = on; });
    view.networkColorAction = style([](ModuleStyles& s, bool on) { s.networkColored = on; });
    view.temperatureDisplayAction =
        style([](ModuleStyles& s, TemperatureDisplayMode mode) { s.temperatureMode = mode; });
    view.computeDisplayAction =
        style([](ModuleStyles& s, ComputeDisplayMode mode) { s.computeMode = mode; });
}

} // namespace pulsedeck
