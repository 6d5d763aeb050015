#pragma once

#include "model/Localization.h"

#include <functional>
#include <string>

namespace pulsedeck {

// Hands the address to the desktop; when nothing there opens it (no xdg-utils, no browser), an
// alert tells the user so and gives the address to open by hand. Main thread only.
void openLinkTellingOfFailure(const std::string& url, std::function<std::string(Copy)> texts);

} // namespace pulsedeck
