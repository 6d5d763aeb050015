#pragma once

namespace pulsedeck {

// Opens the product site's privacy page in the user's browser when its address passes the safe
// web-link check. True when the browser was asked to open it. Main thread only.
bool openPrivacyPolicy();

} // namespace pulsedeck
