#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace pulsedeck {

// The largest release manifest the checker reads; a larger body is refused unread.
inline constexpr std::size_t maximumManifestSize = 262'144;

// Why a manifest did not decode, in words for a log or the debug command.
struct ManifestDecodingError {
    std::string reason;

    bool operator==(const ManifestDecodingError&) const = default;
};

struct AppRelease;
using DecodedRelease = std::variant<AppRelease, ManifestDecodingError>;

// One release as the web site's "/latest.json" describes it:
// {"version": "2.1.0", "build": 57, "url": "https://<host>/downloads/Pulsedeck-2.1.0-57.zip",
//  "minimumMacOS": "12.0", "installerURL": "https://<host>/downloads/Pulsedeck-2.1.0-57.dmg"}
// The last two may be absent or null. Plain value; any thread.
struct AppRelease {
    std::string version;
    std::int64_t build = 0;
    // Absolute URLs, kept exactly as written.
    std::string url;
    std::optional<std::string> minimumMacOS;
    std::optional<std::string> installerURL;

    bool operator==(const AppRelease&) const = default;

    // Strict: one JSON object of at most maximumManifestSize bytes of valid UTF-8, nested at most
    // a few levels, no key twice; "version" and "minimumMacOS" strings, "build" an integer in
    // the signed 64-bit range written without a fraction or exponent, "url" and "installerURL"
    // strings that parse as absolute URLs. Other keys are ignored.
    static DecodedRelease decode(std::string_view json);
    // The same five keys; an empty optional field is left out.
    std::string encode() const;

    // A valid version, a build of 0 or more, an https URL with a host, and a valid minimum
    // system version when there is one.
    bool isWellFormed() const;
    // Whether the application may offer this release at all: well formed, a build of 1 or more,
    // and `url` exactly "https://<product host>[:443]/downloads/Pulsedeck-<version>-<build>.zip"
    // compared as written (no user, query, fragment, escape or case folding).
    bool isAcceptable() const;
    // The installer when it names this release's ".dmg" on the product host by the same rule,
    // else `url`. Meaningful only for an acceptable release.
    const std::string& downloadURL() const;
};

} // namespace pulsedeck
