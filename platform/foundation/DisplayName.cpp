#include "platform/foundation/DisplayName.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace foundation {
namespace {

bool isLocalHost(std::string_view host, std::string_view thisHostName) {
    constexpr std::array<std::string_view, 5> local = {"", "unix", "localhost", "127.0.0.1", "::1"};
    if (std::find(local.begin(), local.end(), host) != local.end())
        return true;
    auto lower = [](std::string_view text) {
        std::string result(text);
        std::transform(result.begin(), result.end(), result.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return result;
    };
    return !thisHostName.empty() && lower(host) == lower(thisHostName);
}

} // namespace

std::string displayServerKey(std::string_view displayName, std::string_view thisHostName) {
    std::string_view rest = displayName;
    // "unix/", "tcp/", "inet6/": how the server is reached, not which one it is.
    if (auto slash = rest.find('/'); slash != std::string_view::npos && rest.front() != '/')
        rest.remove_prefix(slash + 1);
    auto colon = rest.rfind(':');
    if (colon == std::string_view::npos)
        return std::string(displayName);
    std::string_view host = rest.substr(0, colon);
    // DECnet's "host::N" and IPv6's "[::1]:N".
    if (host.ends_with(':'))
        host.remove_suffix(1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::string_view number = rest.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() ||
        !std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::string(displayName);
    number.remove_prefix(std::min(number.find_first_not_of('0'), number.size() - 1));
    std::string key = isLocalHost(host, thisHostName) ? std::string() : std::string(host);
    return key + ":" + std::string(number);
}

} // namespace foundation
