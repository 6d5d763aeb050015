#include "platform/foundation/URLComponents.h"
#include "updates/FeedbackReport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Whatever the user types, the mail link carries it whole: decoding the link's query gives back
// exactly the subject and the report, and nothing in the message becomes a header of its own.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view message(reinterpret_cast<const char*>(data), size);
    const std::string report = pulsedeck::feedbackReport("2.1.0", "Debian GNU/Linux 12", message);
    const std::string link = pulsedeck::feedbackMailURL(report);
    const auto components = foundation::URLComponents::parse(link);
    if (!components || components->scheme != "mailto" ||
        components->path != pulsedeck::feedbackRecipient)
        __builtin_trap();
    const auto items = components->queryItems();
    if (!items || items->size() != 2 || (*items)[0].name != "subject" ||
        (*items)[0].value != pulsedeck::feedbackSubject || (*items)[1].name != "body" ||
        (*items)[1].value != report)
        __builtin_trap();
    return 0;
}
