#pragma once

#include "model/Localization.h"
#include "updates/UpdateOutcome.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {
class Alert;
}

namespace pulsedeck {

// What the alert for an update outcome says and offers.
struct UpdateAlertContent {
    std::string message;
    std::string informative;
    // In order: the first is the default button, answering 1000.
    std::vector<std::string> buttons;

    bool operator==(const UpdateAlertContent&) const = default;
};

// `available`: `updateAvailable`, the release's and the running version, `updateNow` and
// `remindLater`. Every other outcome: `checkUpdates`, its own text, then "\n" and
// "<currentVersion>: <running version>", and `okay`.
UpdateAlertContent updateAlertContent(const UpdateOutcome& outcome, AppLanguage language,
                                      const std::string& currentVersion);

// The alert for an outcome, built but not run.
std::unique_ptr<ui::Alert> makeUpdateAlert(const UpdateOutcome& outcome, AppLanguage language,
                                           const std::string& currentVersion);

// Whether the answer to an outcome's alert opens a download: the first button of an
// `available` alert for a release that passes the acceptance rule.
bool alertAnswerOpensDownload(const UpdateOutcome& outcome, long response);

} // namespace pulsedeck
