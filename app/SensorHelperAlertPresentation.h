#pragma once

#include "model/Localization.h"

#include <functional>
#include <string>

namespace pulsedeck {

class SensorClient;

// Explains the sensor companion in a modal alert with the texts from `texts` and acts on the
// button pressed: opens the companion's web page, retries the client's link, or launches the
// companion. Main thread.
void presentSensorHelperAlert(SensorClient& client, const std::function<std::string(Copy)>& texts);

// The alert for the shared sensor client, in `language`: what the details' sensor button shows.
void presentSensorHelp(AppLanguage language);

} // namespace pulsedeck
