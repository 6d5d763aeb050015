#include "model/SafeWebURL.h"

#include "platform/foundation/URLComponents.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr std::uint16_t httpsPort = 443;

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string lowercased(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lowered;
}

// Percent escapes, brackets and the other characters a URL allows in a host never appear in a
// public DNS name, and each is a way to smuggle a local or numeric host past a text test.
bool isPlainHostName(std::string_view host) {
    return std::all_of(host.begin(), host.end(),
                       [](char c) { return isLetter(c) || isDigit(c) || c == '-' || c == '.'; });
}

// Browsers read a host whose last label is a number ("10.0.0.1", "0x7f.1") as an IPv4 address.
bool endsInNumber(std::string_view host) {
    auto dot = host.rfind('.');
    auto last = dot == std::string_view::npos ? host : host.substr(dot + 1);
    if (last.empty()) {
        return false;
    }
    if (std::all_of(last.begin(), last.end(), isDigit)) {
        return true;
    }
    return (last.starts_with("0x") || last.starts_with("0X")) &&
           std::all_of(last.begin() + 2, last.end(), isHexDigit);
}

} // namespace

std::optional<std::string> safeWebURL(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    auto components = foundation::URLComponents::parse(text);
    if (!components || components->scheme != "https" || !components->host) {
        return std::nullopt;
    }
    // A fully qualified name ("x.local.") is the same host as without its final dots.
    std::string_view host = *components->host;
    while (host.ends_with('.')) {
        host.remove_suffix(1);
    }
    if (host.find('.') == std::string_view::npos ||
        std::none_of(host.begin(), host.end(), isLetter)) {
        return std::nullopt;
    }
    if (!isPlainHostName(host) || endsInNumber(host) || lowercased(host).ends_with(".local")) {
        return std::nullopt;
    }
    if (components->user || components->password) {
        return std::nullopt;
    }
    if (components->port && *components->port != httpsPort) {
        return std::nullopt;
    }
    return components->string();
}

std::optional<std::string> productPageURL(std::string_view path) {
    return safeWebURL(std::string(productWebsite) + std::string(path));
}

} // namespace pulsedeck
