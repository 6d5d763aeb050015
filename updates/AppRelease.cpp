#include "updates/AppRelease.h"

#include "model/SafeWebURL.h"
#include "platform/foundation/JSON.h"
#include "platform/foundation/URLComponents.h"
#include "updates/Version.h"

#include <limits>

namespace pulsedeck {

namespace {

// The manifest is flat; room for a few levels of keys a later release may add and we ignore.
constexpr std::size_t manifestNestingLimit = 16;
constexpr std::uint16_t httpsPort = 443;

namespace key {
constexpr const char* version = "version";
constexpr const char* build = "build";
constexpr const char* url = "url";
constexpr const char* minimumMacOS = "minimumMacOS";
constexpr const char* installerURL = "installerURL";
} // namespace key

bool isAbsoluteURL(const std::string& text) {
    const auto components = foundation::URLComponents::parse(text);
    return components && components->scheme;
}

std::string lowercased(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Steps 2 to 8 of the acceptance rule for one address and file extension.
bool namesThisRelease(const AppRelease& release, const std::string& address,
                      std::string_view extension) {
    const auto components = foundation::URLComponents::parse(address);
    if (!components || components->scheme != "https" || components->host != productWebHost)
        return false;
    if (components->user || components->password)
        return false;
    if (components->port && *components->port != httpsPort)
        return false;
    if (components->query || components->fragment)
        return false;
    const std::string expectedPath = "/downloads/Pulsedeck-" + release.version + "-" +
                                     std::to_string(release.build) + std::string(extension);
    return components->path == expectedPath;
}

using Object = nlohmann::json;

// A required string, an optional (absent or null) string, or a wrong type.
std::optional<std::string> stringValue(const Object& object, const char* name, bool required,
                                       std::string& problem) {
    const auto found = object.find(name);
    if (found == object.end() || found->is_null()) {
        if (required)
            problem = std::string("no \"") + name + "\"";
        return std::nullopt;
    }
    if (!found->is_string()) {
        problem = std::string("\"") + name + "\" is not a string";
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::optional<std::int64_t> buildValue(const Object& object, std::string& problem) {
    const auto found = object.find(key::build);
    if (found == object.end()) {
        problem = "no \"build\"";
        return std::nullopt;
    }
    // A fraction or an exponent ("57.0", "5.7e1") reads as a real, and so does an integer beyond
    // 64 bits: neither is a build number.
    if (found->is_number_integer() && !found->is_number_unsigned())
        return found->get<std::int64_t>();
    if (found->is_number_unsigned()) {
        const auto value = found->get<std::uint64_t>();
        if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(value);
    }
    problem = "\"build\" is not a 64-bit integer";
    return std::nullopt;
}

} // namespace

DecodedRelease AppRelease::decode(std::string_view json) {
    if (json.size() > maximumManifestSize)
        return ManifestDecodingError{"larger than " + std::to_string(maximumManifestSize) +
                                     " bytes"};
    const auto parsed = foundation::parseJSON(json, manifestNestingLimit);
    if (!parsed)
        return ManifestDecodingError{"not strict JSON"};
    if (!parsed->is_object())
        return ManifestDecodingError{"not a JSON object"};

    std::string problem;
    AppRelease release;
    const auto version = stringValue(*parsed, key::version, true, problem);
    if (!version)
        return ManifestDecodingError{problem};
    release.version = *version;
    const auto build = buildValue(*parsed, problem);
    if (!build)
        return ManifestDecodingError{problem};
    release.build = *build;
    const auto url = stringValue(*parsed, key::url, true, problem);
    if (!url)
        return ManifestDecodingError{problem};
    if (!isAbsoluteURL(*url))
        return ManifestDecodingError{"\"url\" is not an absolute URL"};
    release.url = *url;
    release.minimumMacOS = stringValue(*parsed, key::minimumMacOS, false, problem);
    if (!problem.empty())
        return ManifestDecodingError{problem};
    release.installerURL = stringValue(*parsed, key::installerURL, false, problem);
    if (!problem.empty())
        return ManifestDecodingError{problem};
    if (release.installerURL && !isAbsoluteURL(*release.installerURL))
        return ManifestDecodingError{"\"installerURL\" is not an absolute URL"};
    return release;
}

std::string AppRelease::encode() const {
    nlohmann::ordered_json object;
    object[key::version] = version;
    object[key::build] = build;
    object[key::url] = url;
    if (minimumMacOS)
        object[key::minimumMacOS] = *minimumMacOS;
    if (installerURL)
        object[key::installerURL] = *installerURL;
    // A record built in code may hold bytes that are not UTF-8; they never make encoding throw.
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool AppRelease::isWellFormed() const {
    if (!isValidVersion(version) || build < 0)
        return false;
    const auto components = foundation::URLComponents::parse(url);
    if (!components || !components->scheme || lowercased(*components->scheme) != "https")
        return false;
    if (!components->host || components->host->empty())
        return false;
    return !minimumMacOS || isValidVersion(*minimumMacOS);
}

bool AppRelease::isAcceptable() const {
    return isWellFormed() && build >= 1 && namesThisRelease(*this, url, ".zip");
}

const std::string& AppRelease::downloadURL() const {
    if (installerURL && namesThisRelease(*this, *installerURL, ".dmg"))
        return *installerURL;
    return url;
}

} // namespace pulsedeck
