#pragma once

#include "model/Localization.h"

#include <functional>
#include <string>

namespace pulsedeck {

// Hands the address to the desktop; when nothing there opens it (no xdg-utils, no browser), an
// alert tells the user so and gives the address to open by hand. Whether it was handed on (a
// missing helper is told of all the same). Main thread only.
bool openLinkTellingOfFailure(const std::string& url, std::function<std::string(Copy)> texts);
// The same with the texts of a language.
bool openLinkTellingOfFailure(const std::string& url, AppLanguage language);

} // namespace pulsedeck
