#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// The product's web site; every page the application opens or fetches lives under it.
inline constexpr std::string_view productWebsite = "https://pulsedeck.dorvettin.net";

// The address when it is a well-formed public HTTPS address, else nothing: scheme exactly
// "https"; a host name of letters, digits, "-" and "." with a "." and a letter, that is not a
// ".local" name and does not end in a number (which browsers read as an IPv4 address); no user or
// password; no port other than 443. Pure; any thread.
std::optional<std::string> safeWebURL(std::string_view text);

// A page of the product's web site ("/privacy"), through the same check.
std::optional<std::string> productPageURL(std::string_view path);

} // namespace pulsedeck
