#pragma once

#include "model/Localization.h"
#include "sources/SensorConnectionState.h"

#include <cstddef>
#include <vector>

namespace pulsedeck {

// The buttons the companion alert can show.
enum class SensorAlertButton { get, retry, open, okay };

// What pressing a button asks for.
enum class SensorAlertAction {
    // Open the "/sensors" page of the product's web site.
    openSensorsPage,
    // SensorClient::retryFromAlert().
    retry,
    // Locate the companion again and launch it when found.
    launchCompanion,
    nothing,
};

// The companion alert's contents, apart from its window: the message, the explanation for the
// link's state and the buttons in order.
struct SensorHelperAlert {
    Copy message = Copy::sensorCompanion;
    Copy informative = Copy::sensorNeeded;
    std::vector<SensorAlertButton> buttons;

    // `companionFound`: SensorClient::locateHelper() found a valid companion.
    static SensorHelperAlert make(SensorConnectionState state, bool companionFound);

    // The action of the button at `index` (0 is the first). Acts on the button itself, not its
    // position: with no companion the third button is "OK" and launches nothing, even if a
    // companion was installed while the alert was open.
    SensorAlertAction action(std::size_t index) const;
};

Copy title(SensorAlertButton button);

} // namespace pulsedeck
