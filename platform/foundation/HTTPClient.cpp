#include "platform/foundation/HTTPClient.h"

#include <algorithm>
#include <atomic>
#include <curl/curl.h>
#include <limits>
#include <mutex>
#include <pthread.h>
#include <system_error>
#include <thread>

namespace foundation {

namespace {

// A bound on each wait inside a transfer; libcurl's own timers and a cancellation wake it sooner.
constexpr int pollMilliseconds = 1000;

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

void initialiseLibcurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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

HTTPError transportError(CURLcode code, const char* detail) {
    std::string description = curl_easy_strerror(code);
    if (detail && *detail)
        description += std::string(": ") + detail;
    return {HTTPFailure::transport, static_cast<int>(code), description};
}

} // namespace

struct HTTPClient::Request {
    std::thread thread;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    // The transfer's multi handle while it runs, so a cancellation can wake its wait.
    std::mutex mutex;
    CURLM* running = nullptr;

    void cancel() {
        cancelled = true;
        std::lock_guard lock(mutex);
        if (running)
            curl_multi_wakeup(running);
    }

    HTTPResult perform(const std::string& url, const HTTPRequestOptions& options);
};

HTTPResult HTTPClient::Request::perform(const std::string& url, const HTTPRequestOptions& options) {
    const HTTPError cancellation{HTTPFailure::cancelled, 0, "cancelled"};
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi)
        return transportError(CURLE_OUT_OF_MEMORY, nullptr);

    Receipt receipt;
    receipt.maximumBodySize = options.maximumBodySize;
    char detail[CURL_ERROR_SIZE] = {};
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, std::max(options.maximumRedirects, 0L));
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
    if (options.trustedCertificates)
        curl_easy_setopt(handle, CURLOPT_CAINFO, options.trustedCertificates->c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(options.connectTimeout));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, milliseconds(options.totalTimeout));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME,
                     std::max(1L, milliseconds(options.idleTimeout) / 1000));
    if (options.maximumBodySize < static_cast<std::size_t>(std::numeric_limits<curl_off_t>::max()))
        curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(options.maximumBodySize));
    if (!options.userAgent.empty())
        curl_easy_setopt(handle, CURLOPT_USERAGENT, options.userAgent.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, receiveBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &receipt);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);

    if (curl_multi_add_handle(multi.get(), handle) != CURLM_OK)
        return transportError(CURLE_FAILED_INIT, nullptr);
    {
        std::lock_guard lock(mutex);
        running = multi.get();
    }
    int active = 1;
    CURLMcode state = CURLM_OK;
    while (active && state == CURLM_OK && !cancelled) {
        state = curl_multi_perform(multi.get(), &active);
        if (active && state == CURLM_OK)
            state = curl_multi_poll(multi.get(), nullptr, 0, pollMilliseconds, nullptr);
    }
    {
        std::lock_guard lock(mutex);
        running = nullptr;
    }
    CURLcode outcome = CURLE_OK;
    bool done = false;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued))
        if (message->msg == CURLMSG_DONE) {
            outcome = message->data.result;
            done = true;
        }
    curl_multi_remove_handle(multi.get(), handle);

    if (cancelled && !done)
        return cancellation;
    if (state != CURLM_OK)
        return HTTPError{HTTPFailure::transport, static_cast<int>(CURLE_FAILED_INIT),
                         curl_multi_strerror(state)};
    if (receipt.tooLarge || outcome == CURLE_FILESIZE_EXCEEDED)
        return HTTPError{HTTPFailure::bodyTooLarge, static_cast<int>(outcome),
                         "the body is longer than " + std::to_string(options.maximumBodySize) +
                             " bytes"};
    if (outcome != CURLE_OK)
        return transportError(outcome, detail);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return HTTPResponse{status, std::move(receipt.body)};
}

HTTPClient::HTTPClient() {
    initialiseLibcurlOnce();
}

HTTPClient::~HTTPClient() {
    for (const auto& request : requests_)
        request->cancel();
    for (const auto& request : requests_)
        if (request->thread.joinable())
            request->thread.join();
}

void HTTPClient::joinFinished() {
    std::erase_if(requests_, [](const std::shared_ptr<Request>& request) {
        if (!request->finished)
            return false;
        request->thread.join();
        return true;
    });
}

void HTTPClient::get(std::string url, HTTPRequestOptions options,
                     std::function<void(HTTPResult)> completion) {
    joinFinished();
    auto request = std::make_shared<Request>();
    // Shared, so the completion is still at hand if no thread can be made for it.
    auto finish = std::make_shared<std::function<void(HTTPResult)>>(std::move(completion));
    try {
        request->thread =
            std::thread([request, finish, url = std::move(url), options = std::move(options)] {
                const HTTPResult result =
                    request->cancelled
                        ? HTTPResult(HTTPError{HTTPFailure::cancelled, 0, "cancelled"})
                        : request->perform(url, options);
                (*finish)(result);
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
