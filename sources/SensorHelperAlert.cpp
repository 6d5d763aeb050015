#include "sources/SensorHelperAlert.h"

namespace pulsedeck {

SensorHelperAlert SensorHelperAlert::make(SensorConnectionState state, bool companionFound) {
    SensorHelperAlert alert;
    switch (state) {
    case SensorConnectionState::ready:
        alert.informative = Copy::sensorReady;
        break;
    case SensorConnectionState::invalidData:
        alert.informative = Copy::sensorInvalid;
        break;
    case SensorConnectionState::disconnected:
    case SensorConnectionState::connecting:
        alert.informative = Copy::sensorNeeded;
        break;
    }
    alert.buttons = {SensorAlertButton::get, SensorAlertButton::retry};
    if (companionFound)
        alert.buttons.push_back(SensorAlertButton::open);
    alert.buttons.push_back(SensorAlertButton::okay);
    return alert;
}

SensorAlertAction SensorHelperAlert::action(std::size_t index) const {
    if (index >= buttons.size())
        return SensorAlertAction::nothing;
    switch (buttons[index]) {
    case SensorAlertButton::get:
        return SensorAlertAction::openSensorsPage;
    case SensorAlertButton::retry:
        return SensorAlertAction::retry;
    case SensorAlertButton::open:
        return SensorAlertAction::launchCompanion;
    case SensorAlertButton::okay:
        return SensorAlertAction::nothing;
    }
    return SensorAlertAction::nothing;
}

Copy title(SensorAlertButton button) {
    switch (button) {
    case SensorAlertButton::get:
        return Copy::sensorGet;
    case SensorAlertButton::retry:
        return Copy::sensorRetry;
    case SensorAlertButton::open:
        return Copy::sensorOpen;
    case SensorAlertButton::okay:
        return Copy::okay;
    }
    return Copy::okay;
}

} // namespace pulsedeck
