#include "platform/foundation/HTTPProcessClient.h"

#include "support/TestPaths.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace foundation {
namespace {

using namespace std::chrono_literals;

// A helper acted out by the shell: the request's arguments arrive as its positional parameters.
std::vector<std::string> shell(const std::string& script) {
    return {"/bin/sh", "-c", script, "helper"};
}

HTTPResult fetch(HTTPProcessClient& client) {
    std::promise<HTTPResult> promise;
    auto answer = promise.get_future();
    HTTPRequestOptions options;
    options.maximumBodySize = 64;
    client.get("https://example.org/x", options,
               [&promise](HTTPResult result) { promise.set_value(result); });
    if (answer.wait_for(20s) != std::future_status::ready) {
        ADD_FAILURE() << "no answer";
        return HTTPError{};
    }
    return answer.get();
}

TEST(HTTPProcessClient, TheChildsReplyIsTheResultAndAnythingElseAFailure) {
    // The mode, this process and the request follow the helper's own arguments.
    HTTPProcessClient echo(
        shell(R"(body="$1 $2 $3 $7"; printf 'response 200 %s\n%s' "${#body}" "$body")"));
    const auto answered = fetch(echo);
    ASSERT_TRUE(std::holds_alternative<HTTPResponse>(answered));
    EXPECT_EQ(std::get<HTTPResponse>(answered).body,
              "--http-get " + std::to_string(getpid()) + " https://example.org/x 64");

    for (const auto& script :
         {"printf 'response 200 5\\nhel'", "printf 'response 200 80\\n%080d' 0", "kill -SEGV $$",
          "printf 'response 200 2\\nok'; exit 3", "head -c 100000 /dev/zero"}) {
        HTTPProcessClient client(shell(script));
        const auto result = fetch(client);
        const auto* error = std::get_if<HTTPError>(&result);
        ASSERT_TRUE(error) << script;
        EXPECT_EQ(error->failure, HTTPFailure::transport) << script;
    }
    HTTPProcessClient missing({"/nonexistent/pulsedeck"});
    EXPECT_TRUE(std::holds_alternative<HTTPError>(fetch(missing)));
}

TEST(HTTPProcessClient, DestroyingTheClientKillsAndReapsTheChild) {
    testsupport::TemporaryDirectory folder;
    const auto pidFile = folder.path() / "pid";
    std::promise<HTTPResult> promise;
    auto answer = promise.get_future();
    pid_t pid = 0;
    {
        HTTPProcessClient client(shell("echo $$ > '" + pidFile.string() + "'; exec sleep 30"));
        client.get("https://example.org/x", {},
                   [&promise](HTTPResult result) { promise.set_value(result); });
        for (int i = 0; i < 500 && pid <= 0; ++i) {
            std::this_thread::sleep_for(10ms);
            std::ifstream(pidFile) >> pid;
        }
    }
    ASSERT_EQ(answer.wait_for(0s), std::future_status::ready);
    const auto result = answer.get();
    ASSERT_TRUE(std::holds_alternative<HTTPError>(result));
    EXPECT_EQ(std::get<HTTPError>(result).failure, HTTPFailure::cancelled);
    ASSERT_GT(pid, 0);
    // Reaped, not a zombie: the process id is free again.
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

} // namespace
} // namespace foundation
