#pragma once

#include "platform/foundation/HTTPClient.h"
#include "platform/foundation/ProcessRunner.h"

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace foundation {

// The exchange between HTTPProcessClient and the child it starts for each request: the parent's
// process id and the request go down as arguments, the result comes back on the child's standard
// output as one reply.
//
// A reply is one header line, then exactly the bytes it announces and nothing after:
//   "response <status> <body length>\n<body>"
//   "error <transport|bodyTooLarge|cancelled> <code> <description length>\n<description>"
// Numbers are decimal without sign or leading zeros, so every result has one spelling.
//
// Pure functions apart from runHTTPHelper(); any thread.

// What follows the program's name in the child's arguments.
inline constexpr std::string_view httpHelperMode = "--http-get";
// The longest description a reply carries; longer ones are cut there when encoded.
inline constexpr std::size_t maximumHTTPErrorDescription = 4096;

struct HTTPHelperRequest {
    std::string url;
    HTTPRequestOptions options;
};

// The arguments after httpHelperMode for one request.
std::vector<std::string> httpHelperArguments(const HTTPHelperRequest& request);
// The request those arguments describe; none unless they are exactly of that shape.
std::optional<HTTPHelperRequest> parseHTTPHelperArguments(std::span<const char* const> arguments);

std::string encodeHTTPReply(const HTTPResult& result);
// None unless `reply` is exactly one reply with a body of at most `maximumBodySize` bytes.
std::optional<HTTPResult> decodeHTTPReply(std::string_view reply, std::size_t maximumBodySize);

// What a finished child amounts to: its reply when it exited with status 0 and wrote one, else a
// transport error saying what went wrong (never a response), or `cancelled`.
HTTPResult httpResultOfHelper(const ProcessResult& process, std::size_t maximumBodySize);

// The child's side: `arguments` (those after httpHelperMode) are the parent's process id, then
// the request. Dies with the parent (SIGKILL when it ends; 1 at once when it has already gone),
// performs the request over HTTPClient and writes its reply to `out`. Answers the exit status:
// 0 when a reply was written, 2 for arguments of another shape (said on standard error). Blocks
// until the request ends, which its own time-outs bound.
int runHTTPHelper(std::span<const char* const> arguments, std::FILE* out);

} // namespace foundation
