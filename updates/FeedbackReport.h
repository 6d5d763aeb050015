#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// Where feedback mail goes.
inline constexpr std::string_view feedbackRecipient = "feedback@pulsedeck.dorvettin.net";
inline constexpr std::string_view feedbackSubject = "Pulsedeck — Feedback";

// The plain-text report: "Pulsedeck <version>" ("—" without one), the system line, an empty line,
// then the message exactly as typed. The system line is the running system's own name and
// version as its release file words them ("Debian GNU/Linux 12 (bookworm)").
std::string feedbackReport(const std::optional<std::string>& shortVersion,
                           std::string_view systemLine, std::string_view message);

// "mailto:<recipient>?subject=…&body=…" with subject and body percent-encoded byte for byte over
// their UTF-8, everything but the unreserved characters included (a space is "%20"), so no "&",
// "=", "#", "+" or "%" in a message can cut the body short or add a header. Pure; any thread.
std::string feedbackMailURL(std::string_view report);

// The product site's support page, through the safe web-link check.
std::optional<std::string> supportPageURL();

} // namespace pulsedeck
