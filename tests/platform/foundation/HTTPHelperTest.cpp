#include "platform/foundation/HTTPHelper.h"

#include <csignal>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace foundation {
namespace {

TEST(HTTPHelper, EveryResultComesBackAsItWent) {
    const std::vector<HTTPResult> results = {
        HTTPResponse{200, R"({"version": "1.2.0"})"},
        HTTPResponse{204, ""},
        HTTPResponse{404, std::string("a\nb\0c response 1 1\n", 19)},
        HTTPError{HTTPFailure::transport, 60, "SSL peer certificate was not OK"},
        HTTPError{HTTPFailure::bodyTooLarge, 63, "the body is longer than 10 bytes"},
        HTTPError{HTTPFailure::cancelled, 0, ""},
        HTTPError{HTTPFailure::unsupported, 2, "libcurl could not be loaded"},
    };
    for (const auto& result : results) {
        const auto reply = encodeHTTPReply(result);
        const auto decoded = decodeHTTPReply(reply, 64);
        ASSERT_TRUE(decoded) << reply;
        EXPECT_TRUE(*decoded == result) << reply;
    }
    const HTTPError wordy{HTTPFailure::transport, 7, std::string(10'000, 'x')};
    const auto cut = decodeHTTPReply(encodeHTTPReply(wordy), 0);
    ASSERT_TRUE(cut);
    EXPECT_EQ(std::get<HTTPError>(*cut).description.size(), maximumHTTPErrorDescription);
}

// The reply comes from another process: anything but one exact reply within the cap is refused.
TEST(HTTPHelper, RepliesOfAnyOtherShapeAreRefused) {
    const std::vector<std::string> replies = {
        "",
        "response 200 5",
        "response 200 5\nhell",
        "response 200 5\nhello!",
        "response 200 11\nhello world",
        "response 200 05\nhello",
        "response 200 +5\nhello",
        "response 200 -5\nhello",
        "response  200 5\nhello",
        "response 200 5 \nhello",
        "response 1000 5\nhello",
        "response 200 99999999999999999999999\nhello",
        "response 200\nhello",
        "Response 200 5\nhello",
        "error transport 7 3\nabcd",
        "error lost 7 3\nabc",
        "error transport 2147483648 3\nabc",
        "error transport 7 4097\n" + std::string(4097, 'x'),
        "error transport 7\nabc",
        "response 200 5" + std::string(100, ' ') + "\nhello",
        "\x89PNG\r\n\x1a\n",
    };
    for (const auto& reply : replies)
        EXPECT_FALSE(decodeHTTPReply(reply, 10)) << reply;
    EXPECT_TRUE(decodeHTTPReply("response 200 10\n0123456789", 10));
}

TEST(HTTPHelper, AChildThatDidNotAnswerWellIsAFailureNeverAResponse) {
    const auto process = [](auto&& change) {
        ProcessResult result;
        result.processIdentifier = 42;
        result.exitStatus = 0;
        result.standardOutput = "response 200 2\nok";
        change(result);
        return result;
    };
    struct Case {
        const char* what;
        ProcessResult process;
        HTTPFailure failure;
    };
    const std::vector<Case> cases = {
        {"cancelled", process([](auto& p) {
             p.cancelled = true;
             p.exitStatus.reset();
         }),
         HTTPFailure::cancelled},
        {"no program", process([](auto& p) {
             p.launchError = ENOENT;
             p.exitStatus.reset();
         }),
         HTTPFailure::transport},
        {"hung", process([](auto& p) {
             p.timedOut = true;
             p.terminationSignal = SIGKILL;
         }),
         HTTPFailure::transport},
        {"crashed", process([](auto& p) {
             p.terminationSignal = SIGSEGV;
             p.exitStatus.reset();
         }),
         HTTPFailure::transport},
        {"failed", process([](auto& p) { p.exitStatus = 2; }), HTTPFailure::transport},
        {"endless", process([](auto& p) { p.outputTruncated = true; }), HTTPFailure::transport},
        {"garbage", process([](auto& p) { p.standardOutput = "<html>"; }), HTTPFailure::transport},
        {"over the cap", process([](auto& p) { p.standardOutput = "response 200 3\nabc"; }),
         HTTPFailure::transport},
    };
    for (const auto& c : cases) {
        const auto result = httpResultOfHelper(c.process, 2);
        const auto* error = std::get_if<HTTPError>(&result);
        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->failure, c.failure) << c.what;
        EXPECT_FALSE(error->description.empty()) << c.what;
    }
    const auto answered = httpResultOfHelper(process([](auto&) {}), 2);
    ASSERT_TRUE(std::holds_alternative<HTTPResponse>(answered));
    EXPECT_EQ(std::get<HTTPResponse>(answered).body, "ok");
}

TEST(HTTPHelper, TheRequestTravelsWholeInTheArguments) {
    HTTPHelperRequest request{"https://example.org/latest.json", {}};
    request.options.connectTimeout = 2.5;
    request.options.idleTimeout = 0.125;
    request.options.totalTimeout = 30;
    request.options.maximumBodySize = 262'144;
    request.options.maximumRedirects = 3;
    request.options.userAgent = "Pulsedeck/1.0 (a b)";
    request.options.trustedCertificates = "/tmp/with space/ca.pem";
    const auto arguments = httpHelperArguments(request);
    std::vector<const char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(argument.c_str());
    const auto parsed = parseHTTPHelperArguments(argv);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->url, request.url);
    EXPECT_EQ(parsed->options.connectTimeout, 2.5);
    EXPECT_EQ(parsed->options.idleTimeout, 0.125);
    EXPECT_EQ(parsed->options.totalTimeout, 30);
    EXPECT_EQ(parsed->options.maximumBodySize, 262'144u);
    EXPECT_EQ(parsed->options.maximumRedirects, 3);
    EXPECT_EQ(parsed->options.userAgent, request.options.userAgent);
    EXPECT_EQ(parsed->options.trustedCertificates, request.options.trustedCertificates);

    request.options.trustedCertificates.reset();
    const auto system = httpHelperArguments(request);
    std::vector<const char*> systemArgv;
    for (const auto& argument : system)
        systemArgv.push_back(argument.c_str());
    ASSERT_TRUE(parseHTTPHelperArguments(systemArgv));
    EXPECT_FALSE(parseHTTPHelperArguments(systemArgv)->options.trustedCertificates);

    for (const auto& [index, bad] :
         std::vector<std::pair<std::size_t, const char*>>{{0, ""},
                                                          {1, "-1"},
                                                          {2, "nan"},
                                                          {3, "inf"},
                                                          {3, "5s"},
                                                          {4, "-5"},
                                                          {4, "0x10"},
                                                          {5, "3.5"},
                                                          {5, "99999999999999999999"}}) {
        auto changed = argv;
        changed[index] = bad;
        EXPECT_FALSE(parseHTTPHelperArguments(changed)) << index << " " << bad;
    }
    argv.pop_back();
    EXPECT_FALSE(parseHTTPHelperArguments(argv));
}

} // namespace
} // namespace foundation
