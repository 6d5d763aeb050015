#include "platform/foundation/ReopenChannel.h"

#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <cstring>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using foundation::ReopenListener;
using foundation::requestReopen;

TEST(ReopenChannel, EachRequestReopensTheRunningCopyOnItsLoop) {
    testsupport::TemporaryDirectory dir;
    const auto socket = dir.path() / "app.socket";
    // What a copy that died left behind is replaced.
    std::ofstream(socket) << "stale";
    dispatch::RunLoop loop;
    int reopened = 0;
    auto listener = ReopenListener::listen(socket, loop, [&] { ++reopened; });
    ASSERT_TRUE(listener);

    for (int request = 1; request <= 2; ++request) {
        auto answered = std::async(std::launch::async, [&] { return requestReopen(socket, 3s); });
        EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == request; }));
        EXPECT_TRUE(answered.get());
    }
    listener.reset();
    EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST(ReopenChannel, AStartingCopyIsWaitedForWithinTheBound) {
    testsupport::TemporaryDirectory dir;
    const auto socket = dir.path() / "app.socket";
    dispatch::RunLoop loop;
    int reopened = 0;
    auto answered = std::async(std::launch::async, [&] { return requestReopen(socket, 3s); });
    std::this_thread::sleep_for(200ms);
    auto listener = ReopenListener::listen(socket, loop, [&] { ++reopened; });
    ASSERT_TRUE(listener);
    EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == 1; }));
    EXPECT_TRUE(answered.get());
}

TEST(ReopenChannel, NoAnswerEndsTheRequestAtItsBound) {
    testsupport::TemporaryDirectory dir;
    const auto nobody = dir.path() / "nobody.socket";

    // A peer that takes connections and never answers: a copy that hangs.
    const auto frozen = dir.path() / "frozen.socket";
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, frozen.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);

    const auto tooLong = dir.path() / std::string(200, 'x');
    for (const auto& path : {nobody, frozen, tooLong}) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(requestReopen(path, 300ms)) << path;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << path;
    }
    ::close(fd);
}

} // namespace
