#pragma once

#include "model/Localization.h"

namespace pulsedeck {

// Opens the product site's privacy page in the user's browser when its address passes the safe
// web-link check; where nothing opens it, says so in the language and gives the address. True
// when the browser was asked to open it. Main thread only.
bool openPrivacyPolicy(AppLanguage language);

} // namespace pulsedeck
