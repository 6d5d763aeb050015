#include "platform/foundation/HTTPProcessClient.h"

#include "platform/foundation/HTTPHelper.h"
#include "platform/foundation/ProcessCancellation.h"
#include "platform/foundation/ProcessRunner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <pthread.h>
#include <system_error>
#include <thread>

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
    std::thread thread;
    ProcessCancellation cancellation;
    std::atomic<bool> finished{false};
};

HTTPProcessClient::HTTPProcessClient(std::vector<std::string> helper)
    : helper_(std::move(helper)) {}

HTTPProcessClient::~HTTPProcessClient() {
    for (const auto& request : requests_)
        request->cancellation.cancel();
    for (const auto& request : requests_)
        if (request->thread.joinable())
            request->thread.join();
}

std::vector<std::string> HTTPProcessClient::thisProgram() {
    return {"/proc/self/exe"};
}

void HTTPProcessClient::joinFinished() {
    std::erase_if(requests_, [](const std::shared_ptr<Request>& request) {
        if (!request->finished)
            return false;
        request->thread.join();
        return true;
    });
}

void HTTPProcessClient::get(std::string url, HTTPRequestOptions options,
                            std::function<void(HTTPResult)> completion) {
    joinFinished();
    auto request = std::make_shared<Request>();
    std::vector<std::string> arguments = helper_;
    arguments.emplace_back(httpHelperMode);
    for (auto& argument : httpHelperArguments({std::move(url), options}))
        arguments.push_back(std::move(argument));
    // Shared, so the completion is still at hand if no thread can be made for it.
    auto finish = std::make_shared<std::function<void(HTTPResult)>>(std::move(completion));
    try {
        request->thread = std::thread(
            [request, finish, arguments = std::move(arguments), options = std::move(options)] {
                const auto process =
                    runProcess(arguments, processOptions(options, request->cancellation));
                (*finish)(httpResultOfHelper(process, options.maximumBodySize));
                request->finished = true;
            });
        pthread_setname_np(request->thread.native_handle(), "http");
    } catch (const std::system_error& error) {
        (*finish)(HTTPError{HTTPFailure::transport, 0,
                            std::string("no thread for the request: ") + error.what()});
        return;
    }
    requests_.push_back(std::move(request));
}

} // namespace foundation
