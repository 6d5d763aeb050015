#include "platform/foundation/HTTPProcessClient.h"

#include "platform/foundation/HTTPHelper.h"
#include "platform/foundation/ProcessCancellation.h"
#include "platform/foundation/ProcessRunner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>

namespace foundation {

namespace {

// For the child to start and load libcurl before its own time-outs begin.
constexpr double startAllowance = 10;
// The reply's header line and the longest error description, beyond the body.
constexpr std::size_t replyOverhead = 128 + maximumHTTPErrorDescription;

ProcessOptions processOptions(const HTTPRequestOptions& request,
                              const ProcessCancellation& cancellation) {
    ProcessOptions options;
    const double limit = std::clamp(request.totalTimeout, 0.0, 86400.0) + startAllowance;
    options.timeLimit = std::chrono::milliseconds(static_cast<std::int64_t>(limit * 1000));
    options.outputLimit = request.maximumBodySize > SIZE_MAX - replyOverhead
                              ? SIZE_MAX
                              : request.maximumBodySize + replyOverhead;
    options.cancellation = &cancellation;
    return options;
}

} // namespace

struct HTTPProcessClient::Request {
    ProcessCancellation cancellation;

    void cancel() { cancellation.cancel(); }
};

HTTPProcessClient::HTTPProcessClient(std::vector<std::string> helper)
    : helper_(std::move(helper)) {}

HTTPProcessClient::~HTTPProcessClient() = default;

std::vector<std::string> HTTPProcessClient::thisProgram() {
    return {"/proc/self/exe"};
}

void HTTPProcessClient::get(std::string url, HTTPRequestOptions options,
                            std::function<void(HTTPResult)> completion) {
    auto request = std::make_shared<Request>();
    std::vector<std::string> arguments = helper_;
    arguments.emplace_back(httpHelperMode);
    arguments.push_back(std::to_string(::getpid()));
    for (auto& argument : httpHelperArguments({std::move(url), options}))
        arguments.push_back(std::move(argument));
    // Shared, so the completion is still at hand if no thread can be made for it.
    auto finish = std::make_shared<std::function<void(HTTPResult)>>(std::move(completion));
    const auto failure = requests_.start(
        request, [request, finish, arguments = std::move(arguments), options = std::move(options)] {
            const auto process =
                runProcess(arguments, processOptions(options, request->cancellation));
            (*finish)(httpResultOfHelper(process, options.maximumBodySize));
        });
    if (failure)
        (*finish)(HTTPError{HTTPFailure::transport, 0, "no thread for the request: " + *failure});
}

} // namespace foundation
