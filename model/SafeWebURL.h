#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// The product's web host, named here only: the manifest, the downloads and every page the
// application opens live under it.
inline constexpr std::string_view productWebHost = "pulsedeck.dorvettin.net";

namespace detail {
inline constexpr std::string_view httpsPrefix = "https://";
inline constexpr auto productWebsiteText = [] {
    std::array<char, httpsPrefix.size() + productWebHost.size()> text{};
    std::copy(productWebHost.begin(), productWebHost.end(),
              std::copy(httpsPrefix.begin(), httpsPrefix.end(), text.begin()));
    return text;
}();
} // namespace detail

// "https://" and the host.
inline constexpr std::string_view productWebsite{detail::productWebsiteText.data(),
                                                 detail::productWebsiteText.size()};

// The address when it is a well-formed public HTTPS address, else nothing: scheme exactly
// "https"; a host name of letters, digits, "-" and "." with a "." and a letter, that is not a
// ".local" name and does not end in a number (which browsers read as an IPv4 address); no user or
// password; no port other than 443. Pure; any thread.
std::optional<std::string> safeWebURL(std::string_view text);

// A page of the product's web site ("/privacy"), through the same check.
std::optional<std::string> productPageURL(std::string_view path);

} // namespace pulsedeck
