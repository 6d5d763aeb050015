#include "platform/foundation/HTTPHelper.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <curl/curl.h>
#include <future>
#include <sys/prctl.h>
#include <system_error>
#include <unistd.h>

namespace foundation {

namespace {

constexpr std::size_t requestArgumentCount = 8;
// "error bodyTooLarge <int> <length>" with room to spare; a longer first line is no header.
constexpr std::size_t maximumHeaderLength = 64;

constexpr std::array<std::pair<HTTPFailure, std::string_view>, 4> failureNames = {{
    {HTTPFailure::transport, "transport"},
    {HTTPFailure::bodyTooLarge, "bodyTooLarge"},
    {HTTPFailure::cancelled, "cancelled"},
    {HTTPFailure::unsupported, "unsupported"},
}};

std::string_view nameOf(HTTPFailure failure) {
    for (const auto& [value, name] : failureNames)
        if (value == failure)
            return name;
    return failureNames[0].second;
}

std::optional<HTTPFailure> failureNamed(std::string_view name) {
    for (const auto& [value, spelled] : failureNames)
        if (spelled == name)
            return value;
    return std::nullopt;
}

std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty() || (text.size() > 1 && text[0] == '0') ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> seconds(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::string spelled(double value) {
    std::array<char, 32> buffer;
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return error == std::errc() ? std::string(buffer.data(), end) : "0";
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto space = line.find(' ', start);
        parts.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos)
            return parts;
        start = space + 1;
    }
}

HTTPError helperFailure(std::string description) {
    return {HTTPFailure::transport, static_cast<int>(CURLE_FAILED_INIT), std::move(description)};
}

} // namespace

std::vector<std::string> httpHelperArguments(const HTTPHelperRequest& request) {
    const auto& options = request.options;
    return {request.url,
            spelled(options.connectTimeout),
            spelled(options.idleTimeout),
            spelled(options.totalTimeout),
            std::to_string(options.maximumBodySize),
            std::to_string(std::max(options.maximumRedirects, 0L)),
            options.userAgent,
            options.trustedCertificates ? options.trustedCertificates->string() : std::string()};
}

std::optional<HTTPHelperRequest> parseHTTPHelperArguments(std::span<const char* const> arguments) {
    if (arguments.size() != requestArgumentCount ||
        std::any_of(arguments.begin(), arguments.end(), [](const char* a) { return !a; }))
        return std::nullopt;
    HTTPHelperRequest request;
    request.url = arguments[0];
    const auto connect = seconds(arguments[1]);
    const auto idle = seconds(arguments[2]);
    const auto total = seconds(arguments[3]);
    const auto body = decimal(arguments[4]);
    const auto redirects = decimal(arguments[5]);
    if (request.url.empty() || !connect || !idle || !total || !body || !redirects ||
        *body > SIZE_MAX || *redirects > LONG_MAX)
        return std::nullopt;
    request.options.connectTimeout = *connect;
    request.options.idleTimeout = *idle;
    request.options.totalTimeout = *total;
    request.options.maximumBodySize = static_cast<std::size_t>(*body);
    request.options.maximumRedirects = static_cast<long>(*redirects);
    request.options.userAgent = arguments[6];
    if (*arguments[7])
        request.options.trustedCertificates = std::filesystem::path(arguments[7]);
    return request;
}

std::string encodeHTTPReply(const HTTPResult& result) {
    if (const auto* response = std::get_if<HTTPResponse>(&result))
        return "response " + std::to_string(std::clamp(response->statusCode, 0L, 999L)) + " " +
               std::to_string(response->body.size()) + "\n" + response->body;
    const auto& error = std::get<HTTPError>(result);
    const std::string description = error.description.substr(0, maximumHTTPErrorDescription);
    return "error " + std::string(nameOf(error.failure)) + " " +
           std::to_string(std::max(error.code, 0)) + " " + std::to_string(description.size()) +
           "\n" + description;
}

std::optional<HTTPResult> decodeHTTPReply(std::string_view reply, std::size_t maximumBodySize) {
    const auto newline = reply.substr(0, maximumHeaderLength + 1).find('\n');
    if (newline == std::string_view::npos)
        return std::nullopt;
    const auto header = fields(reply.substr(0, newline));
    const auto rest = reply.substr(newline + 1);
    if (header.size() == 3 && header[0] == "response") {
        const auto status = decimal(header[1]);
        const auto length = decimal(header[2]);
        if (!status || *status > 999 || !length || *length > maximumBodySize ||
            *length != rest.size())
            return std::nullopt;
        return HTTPResponse{static_cast<long>(*status), std::string(rest)};
    }
    if (header.size() == 4 && header[0] == "error") {
        const auto failure = failureNamed(header[1]);
        const auto code = decimal(header[2]);
        const auto length = decimal(header[3]);
        if (!failure || !code || *code > INT_MAX || !length ||
            *length > maximumHTTPErrorDescription || *length != rest.size())
            return std::nullopt;
        return HTTPError{*failure, static_cast<int>(*code), std::string(rest)};
    }
    return std::nullopt;
}

HTTPResult httpResultOfHelper(const ProcessResult& process, std::size_t maximumBodySize) {
    if (process.cancelled)
        return HTTPError{HTTPFailure::cancelled, 0, "cancelled"};
    if (process.launchError)
        return helperFailure("the request's helper process could not start: " +
                             std::generic_category().message(*process.launchError));
    if (process.timedOut)
        return helperFailure("the request's helper process did not finish in time");
    if (process.terminationSignal)
        return helperFailure("the request's helper process ended by signal " +
                             std::to_string(*process.terminationSignal));
    if (process.exitStatus != 0)
        return helperFailure("the request's helper process failed (exit status " +
                             std::to_string(process.exitStatus.value_or(-1)) + ")");
    if (process.outputTruncated)
        return helperFailure("the request's helper process answered too much");
    auto reply = decodeHTTPReply(process.standardOutput, maximumBodySize);
    if (!reply)
        return helperFailure("the request's helper process answered something unreadable");
    return std::move(*reply);
}

int runHTTPHelper(std::span<const char* const> arguments, std::FILE* out) {
    const auto parent = arguments.empty() ? std::nullopt : decimal(arguments[0]);
    const auto request = parent ? parseHTTPHelperArguments(arguments.subspan(1))
                                : std::optional<HTTPHelperRequest>();
    if (!request) {
        std::fputs("usage: --http-get PARENT URL CONNECT IDLE TOTAL MAX-BODY MAX-REDIRECTS "
                   "USER-AGENT CA-FILE\n",
                   stderr);
        return 2;
    }
    // A download nobody waits for any more must not run on to its own time limit. The parent
    // may have gone before the signal was asked for: it is then no longer our parent.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != static_cast<pid_t>(*parent))
        return 1;
    std::promise<HTTPResult> finished;
    auto answer = finished.get_future();
    HTTPClient client;
    client.get(request->url, request->options,
               [&finished](HTTPResult result) { finished.set_value(std::move(result)); });
    const std::string reply = encodeHTTPReply(answer.get());
    const bool written = std::fwrite(reply.data(), 1, reply.size(), out) == reply.size();
    return written && std::fflush(out) == 0 ? 0 : 1;
}

} // namespace foundation
