#pragma once

#include "platform/foundation/RequestThreads.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace foundation {

// The limits of one request.
struct HTTPRequestOptions {
    // Seconds to reach the server and finish the TLS handshake.
    double connectTimeout = 20;
    // Seconds the transfer may go on at less than a byte a second.
    double idleTimeout = 20;
    // Seconds for the whole request, redirects included.
    double totalTimeout = 30;
    // A longer body is refused: at once when its Content-Length says so, else at the first byte
    // beyond it, so no more than this is ever held.
    std::size_t maximumBodySize = std::numeric_limits<std::size_t>::max();
    // Redirects followed, each to https only.
    long maximumRedirects = 3;
    // For tests only: the one PEM file of authorities trusted instead of the system's.
    std::optional<std::filesystem::path> trustedCertificates;
    std::string userAgent;
};

struct HTTPResponse {
    long statusCode = 0;
    std::string body;

    bool operator==(const HTTPResponse&) const = default;
};

enum class HTTPFailure {
    // The network, TLS, a redirect that was refused, a time-out: `code` is libcurl's.
    transport,
    // The body was longer than the request allowed.
    bodyTooLarge,
    // The client was destroyed first.
    cancelled,
    // This system has nothing to make requests with (libcurl is not installed): no later request
    // would fare better.
    unsupported,
};

struct HTTPError {
    HTTPFailure failure = HTTPFailure::transport;
    int code = 0;
    std::string description;

    bool operator==(const HTTPError&) const = default;
};

using HTTPResult = std::variant<HTTPResponse, HTTPError>;

// GET requests over libcurl, each on a thread of its own: https only, redirects included (never a
// downgrade), the peer's certificate verified, no cookies, no cache, no content encodings, no
// signals. A response of any status is a response; only what kept one from arriving is an error.
//
// The completion is called exactly once per request, on the request's thread. Destroying the
// client cancels the requests in flight at once (their completions hear `cancelled`) and joins
// their threads. Make and destroy it on one thread; get() may be called from that thread only.
class HTTPClient {
public:
    HTTPClient();
    ~HTTPClient();
    HTTPClient(const HTTPClient&) = delete;
    HTTPClient& operator=(const HTTPClient&) = delete;

    void get(std::string url, HTTPRequestOptions options,
             std::function<void(HTTPResult)> completion);

private:
    struct Request;
    RequestThreads<Request> requests_;
};

} // namespace foundation
