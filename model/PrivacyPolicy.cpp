#include "model/PrivacyPolicy.h"

#include "model/SafeWebURL.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

bool openPrivacyPolicy() {
    auto url = productPageURL("/privacy");
    return url && ui::Workspace::shared().openURL(*url);
}

} // namespace pulsedeck
