#include "platform/foundation/HTTPClient.h"

#include "support/LoopbackHTTPSServer.h"

#include <chrono>
#include <curl/curl.h>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace foundation {
namespace {

constexpr std::size_t cap = 262'144;

// One server for the whole binary: making certificates and starting python takes a moment.
class HTTPClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = testsupport::LoopbackHTTPSServer::start().release(); }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server)
            GTEST_SKIP() << "python3 with ssl and openssl are needed for the HTTPS server";
    }

    // Short limits, so the time-outs show within a test run; the server's certificate trusted.
    static HTTPRequestOptions options() {
        HTTPRequestOptions options;
        options.connectTimeout = 5;
        options.idleTimeout = 2;
        options.totalTimeout = 3;
        options.maximumBodySize = cap;
        options.maximumRedirects = 3;
        options.trustedCertificates = server->trustedCertificate();
        return options;
    }

    // Every request of the map at once, each answer within a bound.
    static std::map<std::string, HTTPResult> fetchAll(const std::vector<std::string>& urls) {
        HTTPClient client;
        std::map<std::string, std::shared_ptr<std::promise<HTTPResult>>> promises;
        std::map<std::string, std::future<HTTPResult>> futures;
        for (const auto& url : urls) {
            auto promise = std::make_shared<std::promise<HTTPResult>>();
            futures.emplace(url, promise->get_future());
            client.get(url, options(),
                       [promise](HTTPResult result) { promise->set_value(std::move(result)); });
        }
        std::map<std::string, HTTPResult> results;
        for (auto& [url, future] : futures) {
            if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
                ADD_FAILURE() << url << " did not finish";
                continue;
            }
            results.emplace(url, future.get());
        }
        return results;
    }

    static inline testsupport::LoopbackHTTPSServer* server = nullptr;
};

const HTTPResponse* response(const std::map<std::string, HTTPResult>& results,
                             const std::string& url) {
    const auto found = results.find(url);
    return found == results.end() ? nullptr : std::get_if<HTTPResponse>(&found->second);
}

const HTTPError* error(const std::map<std::string, HTTPResult>& results, const std::string& url) {
    const auto found = results.find(url);
    return found == results.end() ? nullptr : std::get_if<HTTPError>(&found->second);
}

TEST_F(HTTPClientTest, ResponsesOfEveryStatusArriveWithTheirBodies) {
    server->serve("small.json", R"({"version": "1.0"})");
    const std::vector<std::string> urls = {
        server->url("/files/small.json"), server->url("/status/204"),
        server->url("/status/304"),       server->url("/status/404"),
        server->url("/status/500"),       server->url("/redirect/files/small.json"),
    };
    const auto results = fetchAll(urls);
    const std::vector<std::pair<long, std::string>> expected = {
        {200, R"({"version": "1.0"})"},
        {204, ""},
        {304, ""},
        {404, "status 404"},
        {500, "status 500"},
        {200, R"({"version": "1.0"})"},
    };
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const auto* answer = response(results, urls[i]);
        ASSERT_NE(answer, nullptr) << urls[i];
        EXPECT_EQ(answer->statusCode, expected[i].first) << urls[i];
        EXPECT_EQ(answer->body, expected[i].second) << urls[i];
    }
}

TEST_F(HTTPClientTest, TheBodyCapHoldsWhateverTheServerSends) {
    server->serve("exact", std::string(cap, ' '));
    server->serve("over", std::string(cap + 1, ' '));
    const auto exact = server->url("/files/exact");
    const auto over = server->url("/files/over");
    const auto chunkedExact = server->url("/chunked/262144");
    const auto chunkedOver = server->url("/chunked/262145");
    const auto endless = server->url("/endless");
    // Ten megabytes announced and then nothing: only refusing it up front ends this before the
    // time-out would.
    const auto announced = server->url("/huge-length");
    const auto results = fetchAll({exact, over, chunkedExact, chunkedOver, endless, announced});

    ASSERT_NE(response(results, exact), nullptr);
    EXPECT_EQ(response(results, exact)->body.size(), cap);
    ASSERT_NE(response(results, chunkedExact), nullptr);
    EXPECT_EQ(response(results, chunkedExact)->body.size(), cap);
    for (const auto& url : {over, chunkedOver, endless, announced}) {
        const auto* refused = error(results, url);
        ASSERT_NE(refused, nullptr) << url;
        EXPECT_EQ(refused->failure, HTTPFailure::bodyTooLarge)
            << url << ": " << refused->description;
    }
}

TEST_F(HTTPClientTest, MisbehavingServersEndInTransportErrors) {
    struct Case {
        std::string url;
        CURLcode code;
    };
    const std::vector<Case> cases = {
        {server->url("/short-body"), CURLE_PARTIAL_FILE},
        {server->url("/redirect-to-http"), CURLE_UNSUPPORTED_PROTOCOL},
        {server->url("/loop"), CURLE_TOO_MANY_REDIRECTS},
        {server->url("/drip"), CURLE_OPERATION_TIMEDOUT},
        {server->url("/stall"), CURLE_OPERATION_TIMEDOUT},
        {server->untrustedURL("/files/small.json"), CURLE_PEER_FAILED_VERIFICATION},
        {"http://127.0.0.1:1/files/small.json", CURLE_UNSUPPORTED_PROTOCOL},
    };
    std::vector<std::string> urls;
    for (const auto& c : cases)
        urls.push_back(c.url);
    const auto reset = server->url("/reset");
    urls.push_back(reset);
    const auto lyingShort = server->url("/long-body");
    urls.push_back(lyingShort);
    const auto results = fetchAll(urls);

    for (const auto& c : cases) {
        const auto* failed = error(results, c.url);
        ASSERT_NE(failed, nullptr) << c.url;
        EXPECT_EQ(failed->failure, HTTPFailure::transport) << c.url;
        EXPECT_EQ(failed->code, c.code) << c.url << ": " << failed->description;
    }
    const auto* resetError = error(results, reset);
    ASSERT_NE(resetError, nullptr);
    EXPECT_EQ(resetError->failure, HTTPFailure::transport);
    // A length shorter than what follows: only the announced bytes are read.
    ASSERT_NE(response(results, lyingShort), nullptr);
    EXPECT_EQ(response(results, lyingShort)->body, "{}");
}

TEST_F(HTTPClientTest, DestroyingTheClientCancelsARequestInFlight) {
    std::promise<HTTPResult> promise;
    auto answer = promise.get_future();
    std::mutex mutex;
    int calls = 0;
    {
        HTTPClient client;
        auto longLimits = options();
        longLimits.idleTimeout = 60;
        longLimits.totalTimeout = 60;
        client.get(server->url("/stall"), longLimits, [&](HTTPResult result) {
            std::lock_guard lock(mutex);
            if (++calls == 1)
                promise.set_value(std::move(result));
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    const auto result = answer.get();
    ASSERT_TRUE(std::holds_alternative<HTTPError>(result));
    EXPECT_EQ(std::get<HTTPError>(result).failure, HTTPFailure::cancelled);
    std::lock_guard lock(mutex);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace foundation
