#include "updates/FeedbackReport.h"

#include "model/SafeWebURL.h"
#include "platform/foundation/URLComponents.h"

namespace pulsedeck {

std::string feedbackReport(const std::optional<std::string>& shortVersion,
                           std::string_view systemLine, std::string_view message) {
    std::string report = "Pulsedeck ";
    report += shortVersion ? *shortVersion : "—";
    report += '\n';
    report += systemLine;
    report += "\n\n";
    report += message;
    return report;
}

std::string feedbackMailURL(std::string_view report) {
    std::string url = "mailto:";
    // A fixed address of unreserved characters and "@", which mail handlers expect unencoded.
    url += feedbackRecipient;
    url += "?subject=";
    url += foundation::percentEncodeAllButUnreserved(feedbackSubject);
    url += "&body=";
    url += foundation::percentEncodeAllButUnreserved(report);
    return url;
}

std::optional<std::string> supportPageURL() {
    return productPageURL("/support");
}

} // namespace pulsedeck
