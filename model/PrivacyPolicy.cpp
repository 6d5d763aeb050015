#include "model/PrivacyPolicy.h"

#include "model/LinkOpening.h"
#include "model/SafeWebURL.h"

namespace pulsedeck {

bool openPrivacyPolicy(AppLanguage language) {
    auto url = productPageURL("/privacy");
    return url && openLinkTellingOfFailure(*url, language);
}

} // namespace pulsedeck
