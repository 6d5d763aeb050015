#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

// One name=value pair of a query, percent-decoded. A pair written without "=" has no value.
struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;

    bool operator==(const URLQueryItem&) const = default;
};

// The parts of a URL reference (RFC 3986), split strictly: a text with a space, a control
// character, a non-ASCII byte, a character outside the URL grammar, a malformed percent escape,
// a port that is not 1 to 5 plain digits up to 65535 (no sign, no leading zero) or an empty port
// does not parse.
//
// Every part is kept exactly as written (still percent-encoded), so callers compare hosts and
// paths as text and a look-alike such as "example%2Ecom" never equals "example.com". Absent and
// empty differ: "https://h/?" has an empty query, "https://h/" none. A parsed value composes back
// to exactly the text it came from.
//
// Plain value; any thread.
struct URLComponents {
    std::optional<std::string> scheme;
    std::optional<std::string> user;
    std::optional<std::string> password;
    // Present whenever the text has an authority ("//"); may be empty ("file:///x"). An IP
    // literal keeps its brackets ("[::1]").
    std::optional<std::string> host;
    std::optional<std::uint16_t> port;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;

    static std::optional<URLComponents> parse(std::string_view text);

    // The URL text of these parts; empty when they do not form a valid URL reference (a
    // character the grammar does not allow, a path without a leading "/" behind a host, a path
    // starting "//" without one, a user or port without a host).
    std::optional<std::string> string() const;

    // The query split at "&" and "=", each piece percent-decoded; empty when there is no query
    // or a piece does not decode.
    std::optional<std::vector<URLQueryItem>> queryItems() const;

    // Percent-encodes each name and value ("&", "=", "+" and "#" included, so any text comes
    // back unchanged through queryItems()); an empty list removes the query.
    void setQueryItems(const std::vector<URLQueryItem>& items);

    // Percent-encodes a decoded path (an e-mail address, "/downloads/a b.zip"); "/" stays a
    // separator.
    void setDecodedPath(std::string_view decoded);

    bool operator==(const URLComponents&) const = default;
};

// "%41%e2%80%94" → "A—". Empty for a "%" not followed by two hex digits.
std::optional<std::string> percentDecode(std::string_view text);

// Every byte but the unreserved letters, digits, "-", ".", "_" and "~" as "%XX" (a space is
// "%20", never "+"), so the text is inert in any part of any URL. percentDecode gives it back.
std::string percentEncodeAllButUnreserved(std::string_view text);

} // namespace foundation
