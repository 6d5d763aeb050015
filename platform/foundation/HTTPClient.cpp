#include "platform/foundation/HTTPClient.h"

#include "platform/foundation/Libcurl.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>

namespace foundation {

namespace {

// A bound on each wait inside a transfer; libcurl's own timers and a cancellation wake it sooner.
constexpr int pollMilliseconds = 1000;

struct EasyDeleter {
    const Libcurl* curl;
    void operator()(CURL* easy) const { curl->easyCleanup(easy); }
};
struct MultiDeleter {
    const Libcurl* curl;
    void operator()(CURLM* multi) const { curl->multiCleanup(multi); }
};

long milliseconds(double seconds) {
    return static_cast<long>(std::clamp(seconds, 0.001, 86400.0) * 1000);
}

// What the transfer has received so far.
struct Receipt {
    std::string body;
    std::size_t maximumBodySize = 0;
    bool tooLarge = false;
};

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto& receipt = *static_cast<Receipt*>(context);
    const std::size_t length = size * count;
    if (length > receipt.maximumBodySize - receipt.body.size()) {
        receipt.tooLarge = true;
        return 0;
    }
    receipt.body.append(data, length);
    return length;
}

HTTPError transportError(const Libcurl& curl, CURLcode code, const char* detail) {
    std::string description = curl.easyStrerror(code);
    if (detail && *detail)
        description += std::string(": ") + detail;
    return {HTTPFailure::transport, static_cast<int>(code), description};
}

} // namespace

struct HTTPClient::Request {
    std::atomic<bool> cancelled{false};
    // The transfer's multi handle while it runs, so a cancellation can wake its wait.
    std::mutex mutex;
    CURLM* running = nullptr;
    const Libcurl* runningCurl = nullptr;

    void cancel() {
        cancelled = true;
        std::lock_guard lock(mutex);
        if (running)
            runningCurl->multiWakeup(running);
    }

    HTTPResult perform(const std::string& url, const HTTPRequestOptions& options);
};

HTTPResult HTTPClient::Request::perform(const std::string& url, const HTTPRequestOptions& options) {
    const HTTPError cancellation{HTTPFailure::cancelled, 0, "cancelled"};
    std::string failure;
    const Libcurl* library = Libcurl::shared(failure);
    if (!library)
        return HTTPError{HTTPFailure::unsupported, static_cast<int>(CURLE_FAILED_INIT), failure};
    const Libcurl& curl = *library;
    std::unique_ptr<CURL, EasyDeleter> easy(curl.easyInit(), EasyDeleter{library});
    std::unique_ptr<CURLM, MultiDeleter> multi(curl.multiInit(), MultiDeleter{library});
    if (!easy || !multi)
        return transportError(curl, CURLE_OUT_OF_MEMORY, nullptr);

    Receipt receipt;
    receipt.maximumBodySize = options.maximumBodySize;
    char detail[CURL_ERROR_SIZE] = {};
    CURL* handle = easy.get();
    curl.easySetopt(handle, CURLOPT_URL, url.c_str());
    curl.easySetopt(handle, CURLOPT_HTTPGET, 1L);
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl.easySetopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easySetopt(handle, CURLOPT_MAXREDIRS, std::max(options.maximumRedirects, 0L));
    curl.easySetopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easySetopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl.easySetopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (options.trustedCertificates)
        curl.easySetopt(handle, CURLOPT_CAINFO, options.trustedCertificates->c_str());
    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(options.connectTimeout));
    curl.easySetopt(handle, CURLOPT_TIMEOUT_MS, milliseconds(options.totalTimeout));
    curl.easySetopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.easySetopt(handle, CURLOPT_LOW_SPEED_TIME,
                    std::max(1L, milliseconds(options.idleTimeout) / 1000));
    if (options.maximumBodySize < static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max()))
        curl.easySetopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                        static_cast<curl_off_t>(options.maximumBodySize));
    if (!options.userAgent.empty())
        curl.easySetopt(handle, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, receiveBody);
    curl.easySetopt(handle, CURLOPT_WRITEDATA, &receipt);
    curl.easySetopt(handle, CURLOPT_ERRORBUFFER, detail);

    if (curl.multiAddHandle(multi.get(), handle) != CURLM_OK)
        return transportError(curl, CURLE_FAILED_INIT, nullptr);
    {
        std::lock_guard lock(mutex);
        runningCurl = library;
        running = multi.get();
    }
    int active = 1;
    CURLMcode state = CURLM_OK;
    while (active && state == CURLM_OK && !cancelled) {
        state = curl.multiPerform(multi.get(), &active);
        if (active && state == CURLM_OK)
            state = curl.multiPoll(multi.get(), nullptr, 0, pollMilliseconds, nullptr);
    }
    {
        std::lock_guard lock(mutex);
        running = nullptr;
    }
    CURLcode outcome = CURLE_OK;
    bool done = false;
    int queued = 0;
    while (CURLMsg* message = curl.multiInfoRead(multi.get(), &queued))
        if (message->msg == CURLMSG_DONE) {
            outcome = message->data.result;
            done = true;
        }
    curl.multiRemoveHandle(multi.get(), handle);

    if (cancelled && !done)
        return cancellation;
    if (state != CURLM_OK)
        return HTTPError{HTTPFailure::transport, static_cast<int>(CURLE_FAILED_INIT),
                         curl.multiStrerror(state)};
    if (receipt.tooLarge || outcome == CURLE_FILESIZE_EXCEEDED)
        return HTTPError{HTTPFailure::bodyTooLarge, static_cast<int>(outcome),
                         "the body is longer than " + std::to_string(options.maximumBodySize) +
                             " bytes"};
    if (outcome != CURLE_OK)
        return transportError(curl, outcome, detail);
    long status = 0;
    curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return HTTPResponse{status, std::move(receipt.body)};
}

HTTPClient::HTTPClient() = default;

HTTPClient::~HTTPClient() = default;

void HTTPClient::get(std::string url, HTTPRequestOptions options,
                     std::function<void(HTTPResult)> completion) {
    auto request = std::make_shared<Request>();
    // Shared, so the completion is still at hand if no thread can be made for it.
    auto finish = std::make_shared<std::function<void(HTTPResult)>>(std::move(completion));
    const auto failure = requests_.start(request, [request, finish, url = std::move(url),
                                                   options = std::move(options)] {
        (*finish)(request->cancelled ? HTTPResult(HTTPError{HTTPFailure::cancelled, 0, "cancelled"})
                                     : request->perform(url, options));
    });
    if (failure)
        (*finish)(HTTPError{HTTPFailure::transport, 0, "no thread for the request: " + *failure});
}

} // namespace foundation
