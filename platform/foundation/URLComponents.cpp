#include "platform/foundation/URLComponents.h"

#include <arpa/inet.h>
#include <charconv>

namespace foundation {
namespace {

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isUnreserved(char c) {
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}
bool isSubDelim(char c) {
    return std::string_view("!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Every character in `text` is either a well-formed "%XX" escape or passes `allowed`.
template <typename Allowed> bool matches(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return false;
            if (!isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))
                return false;
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

bool isPathChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/';
}
bool isQueryChar(char c) {
    return isPathChar(c) || c == '?';
}
bool isUserInfoChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':';
}
bool isRegNameChar(char c) {
    return isUnreserved(c) || isSubDelim(c);
}
bool isQueryItemChar(char c) {
    return isUnreserved(c) || std::string_view("!$'()*,;:@/?").find(c) != std::string_view::npos;
}
bool isDecodedPathChar(char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@' || c == '/';
}

bool isValidScheme(std::string_view text) {
    if (text.empty() || !isAlpha(text.front()))
        return false;
    for (char c : text)
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return false;
    return true;
}

// Plain decimal digits, no sign, no leading zero, at most 65535.
std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text.front() == '0'))
        return std::nullopt;
    for (char c : text)
        if (!isDigit(c))
            return std::nullopt;
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool isIPv6Literal(std::string_view inside) {
    if (inside.empty() || inside.size() > 45)
        return false;
    std::string copy(inside);
    in6_addr address;
    return inet_pton(AF_INET6, copy.c_str(), &address) == 1;
}

bool parseAuthority(std::string_view authority, URLComponents& out) {
    auto at = authority.find('@');
    if (at != std::string_view::npos) {
        auto userInfo = authority.substr(0, at);
        if (!matches(userInfo, isUserInfoChar))
            return false;
        auto colon = userInfo.find(':');
        out.user = std::string(userInfo.substr(0, colon));
        if (colon != std::string_view::npos)
            out.password = std::string(userInfo.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        auto close = authority.find(']');
        if (close == std::string_view::npos || !isIPv6Literal(authority.substr(1, close - 1)))
            return false;
        auto rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return false;
            hasPort = true;
            portText = rest.substr(1);
        }
        out.host = std::string(authority.substr(0, close + 1));
    } else {
        auto colon = authority.find(':');
        auto host = authority.substr(0, colon);
        if (!matches(host, isRegNameChar))
            return false;
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = authority.substr(colon + 1);
        }
        out.host = std::string(host);
    }
    if (hasPort) {
        out.port = parsePort(portText);
        if (!out.port)
            return false;
    }
    return true;
}

char hexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

template <typename Allowed> std::string percentEncode(std::string_view text, Allowed allowed) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '%' && allowed(c)) {
            out += c;
        } else {
            auto byte = static_cast<unsigned char>(c);
            out += '%';
            out += hexDigit(byte >> 4);
            out += hexDigit(byte);
        }
    }
    return out;
}

} // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        unsigned value = 0;
        auto first = text.data() + i + 1;
        if (!isHexDigit(first[0]) || !isHexDigit(first[1]))
            return std::nullopt;
        std::from_chars(first, first + 2, value, 16);
        out += static_cast<char>(value);
        i += 2;
    }
    return out;
}

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
    URLComponents out;

    auto hash = text.find('#');
    if (hash != std::string_view::npos) {
        auto fragment = text.substr(hash + 1);
        if (!matches(fragment, isQueryChar))
            return std::nullopt;
        out.fragment = std::string(fragment);
        text = text.substr(0, hash);
    }
    auto question = text.find('?');
    if (question != std::string_view::npos) {
        auto query = text.substr(question + 1);
        if (!matches(query, isQueryChar))
            return std::nullopt;
        out.query = std::string(query);
        text = text.substr(0, question);
    }

    // A colon before the first "/" ends the scheme; a relative reference may not have one there.
    auto colon = text.find(':');
    if (colon != std::string_view::npos && colon < text.find('/')) {
        auto scheme = text.substr(0, colon);
        if (!isValidScheme(scheme))
            return std::nullopt;
        out.scheme = std::string(scheme);
        text.remove_prefix(colon + 1);
    }

    if (text.starts_with("//")) {
        text.remove_prefix(2);
        auto slash = text.find('/');
        if (!parseAuthority(text.substr(0, slash), out))
            return std::nullopt;
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
    }
    if (!matches(text, isPathChar))
        return std::nullopt;
    out.path = std::string(text);
    return out;
}

std::optional<std::string> URLComponents::string() const {
    std::string text;
    if (scheme)
        text += *scheme + ":";
    if (host) {
        text += "//";
        if (user || password) {
            text += user.value_or("");
            if (password)
                text += ":" + *password;
            text += "@";
        }
        text += *host;
        if (port)
            text += ":" + std::to_string(*port);
    } else if (user || password || port) {
        return std::nullopt;
    }
    text += path;
    if (query)
        text += "?" + *query;
    if (fragment)
        text += "#" + *fragment;
    // Parsing the composed text back must give these very parts; anything else means a part held
    // a character or shape the grammar does not allow, and the text would mean something else.
    auto reparsed = parse(text);
    if (!reparsed || *reparsed != *this)
        return std::nullopt;
    return text;
}

std::optional<std::vector<URLQueryItem>> URLComponents::queryItems() const {
    if (!query)
        return std::nullopt;
    std::vector<URLQueryItem> items;
    if (query->empty())
        return items;
    std::string_view rest = *query;
    while (true) {
        auto amp = rest.find('&');
        auto piece = rest.substr(0, amp);
        auto equals = piece.find('=');
        URLQueryItem item;
        auto name = percentDecode(piece.substr(0, equals));
        if (!name)
            return std::nullopt;
        item.name = std::move(*name);
        if (equals != std::string_view::npos) {
            item.value = percentDecode(piece.substr(equals + 1));
            if (!item.value)
                return std::nullopt;
        }
        items.push_back(std::move(item));
        if (amp == std::string_view::npos)
            break;
        rest.remove_prefix(amp + 1);
    }
    return items;
}

void URLComponents::setQueryItems(const std::vector<URLQueryItem>& items) {
    if (items.empty()) {
        query.reset();
        return;
    }
    std::string text;
    for (const auto& item : items) {
        if (&item != &items.front())
            text += '&';
        text += percentEncode(item.name, isQueryItemChar);
        if (item.value)
            text += "=" + percentEncode(*item.value, isQueryItemChar);
    }
    query = std::move(text);
}

std::string percentEncodeAllButUnreserved(std::string_view text) {
    return percentEncode(text, isUnreserved);
}

void URLComponents::setDecodedPath(std::string_view decoded) {
    path = percentEncode(decoded, isDecodedPathChar);
}

} // namespace foundation
