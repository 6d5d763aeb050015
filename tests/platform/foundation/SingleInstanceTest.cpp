#include "platform/foundation/SingleInstance.h"

#include "support/RunUntil.h"
#include "support/ScopedEnvironment.h"

#include <csignal>
#include <cstddef>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using foundation::SingleInstance;
using Outcome = SingleInstance::Outcome;
using Answer = SingleInstance::ReopenAnswer;
using testsupport::ScopedEnvironment;

// Names of the tests' own, so a copy of the program running on this machine is never met.
const std::string identifier = "test.SingleInstance-" + std::to_string(getpid());

// The address of the abstract name `name`, and its length.
std::pair<sockaddr_un, socklen_t> abstractAddress(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return {address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())};
}

TEST(SingleInstance, OneCopyPerUserAndServerWhateverTheEnvironment) {
    {
        const auto first = SingleInstance::claim(identifier, ":0");
        ASSERT_EQ(first.outcome(), Outcome::acquired);
        EXPECT_EQ(first.name(), identifier + "-" + std::to_string(getuid()) + "-_0");

        // Every name of the same server is the same session, whatever folders a start was given.
        ScopedEnvironment runtime("XDG_RUNTIME_DIR", "/nonexistent/runtime");
        ScopedEnvironment home("HOME", std::nullopt);
        ScopedEnvironment cache("XDG_CACHE_HOME", std::nullopt);
        for (const char* sameServer : {":0", ":0.0", "unix:0", "localhost:0.0"})
            EXPECT_EQ(SingleInstance::claim(identifier, sameServer).outcome(),
                      Outcome::heldElsewhere)
                << sameServer;
        // Another server is another session.
        EXPECT_EQ(SingleInstance::claim(identifier, "localhost:10.0").outcome(), Outcome::acquired);
    }
    // Released with its holder.
    EXPECT_EQ(SingleInstance::claim(identifier, ":0").outcome(), Outcome::acquired);

    // A remote server whose name would not fit a socket address still has one name of its own.
    const std::string longHost(120, 'h');
    const auto hashed = SingleInstance::nameFor(identifier, longHost + ":3");
    EXPECT_LE(hashed.size(), sizeof(sockaddr_un::sun_path) - 1);
    EXPECT_EQ(hashed, SingleInstance::nameFor(identifier, longHost + ":3.1"));
    EXPECT_NE(hashed, SingleInstance::nameFor(identifier, longHost + ":4"));
    auto remote = SingleInstance::claim(identifier, longHost + ":3");
    EXPECT_EQ(remote.outcome(), Outcome::acquired);
    EXPECT_EQ(SingleInstance::claim(identifier, longHost + ":3").outcome(), Outcome::heldElsewhere);
    // A name that just fits is kept whole.
    const std::string uid = std::to_string(getuid());
    const std::string fits(sizeof(sockaddr_un::sun_path) - 1 - uid.size() - 4, 'i');
    EXPECT_EQ(SingleInstance::nameFor(fits, ":0"), fits + "-" + uid + "-_0");
    EXPECT_NE(SingleInstance::nameFor(fits + "i", ":0"), fits + "i-" + uid + "-_0");
}

TEST(SingleInstance, AKilledOrReleasedHolderFreesTheNameAtOnce) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto held = SingleInstance::claim(identifier, ":1");
        const char byte = held.outcome() == Outcome::acquired ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(SingleInstance::claim(identifier, ":1").outcome(), Outcome::heldElsewhere);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(SingleInstance::claim(identifier, ":1").outcome(), Outcome::acquired);
    close(ready[0]);
    close(ready[1]);

    auto quitting = SingleInstance::claim(identifier, ":1");
    ASSERT_EQ(quitting.outcome(), Outcome::acquired);
    quitting.release();
    EXPECT_EQ(SingleInstance::claim(identifier, ":1").outcome(), Outcome::acquired);
}

TEST(SingleInstance, EachRequestReopensTheRunningCopyOnItsLoop) {
    dispatch::RunLoop loop;
    auto running = SingleInstance::claim(identifier, ":2");
    ASSERT_EQ(running.outcome(), Outcome::acquired);
    const auto second = SingleInstance::claim(identifier, ":2");
    ASSERT_EQ(second.outcome(), Outcome::heldElsewhere);

    // A copy still starting has not served yet: the request waits within its bound.
    auto early = std::async(std::launch::async, [&] { return second.requestReopen(3s); });
    std::this_thread::sleep_for(100ms);
    int reopened = 0;
    running.serveReopenRequests(loop, [&] { ++reopened; });
    EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == 1; }));
    EXPECT_EQ(early.get(), Answer::answered);

    auto later = std::async(std::launch::async, [&] { return second.requestReopen(3s); });
    EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == 2; }));
    EXPECT_EQ(later.get(), Answer::answered);

    // A holder that never serves (a copy that hangs) ends the request at its bound.
    const auto frozen = SingleInstance::claim(identifier, ":5");
    const auto asking = SingleInstance::claim(identifier, ":5");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(asking.requestReopen(300ms), Answer::noAnswer);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);

    // A holder that answers anything but the answer has not taken the request.
    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    const auto [address, length] = abstractAddress(SingleInstance::nameFor(identifier, ":8"));
    ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    auto wrong = std::async(std::launch::async, [] {
        return SingleInstance::claim(identifier, ":8").requestReopen(3s);
    });
    const int peer = accept(listener, nullptr, nullptr);
    (void)!write(peer, "?", 1);
    EXPECT_EQ(wrong.get(), Answer::noAnswer);
    close(peer);
    close(listener);
}

TEST(SingleInstance, AnotherUsersNameIsNoCopyAndTheirRequestReopensNothing) {
    if (getuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    const auto name = SingleInstance::nameFor(identifier, ":6");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A squatter: another user binds our name before we start, and answers every request.
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const auto [address, length] = abstractAddress(name);
        const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
                           listen(fd, 4) == 0;
        const char byte = bound ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        while (true) {
            const int peer = accept(fd, nullptr, nullptr);
            (void)!write(peer, "!", 1);
            close(peer);
        }
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');
    const auto starting = SingleInstance::claim(identifier, ":6");
    EXPECT_EQ(starting.outcome(), Outcome::heldElsewhere);
    EXPECT_EQ(starting.requestReopen(1s), Answer::heldByAnotherUser);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    // Another user asks our running copy to reopen: the connection closes unanswered.
    dispatch::RunLoop loop;
    auto running = SingleInstance::claim(identifier, ":7");
    int reopened = 0;
    running.serveReopenRequests(loop, [&] { ++reopened; });
    const pid_t asker = fork();
    ASSERT_GE(asker, 0);
    if (asker == 0) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const auto [address, length] = abstractAddress(running.name());
        pollfd answer{fd, POLLIN, 0};
        char byte = 0;
        const bool refused =
            setuid(65534) == 0 &&
            connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0 &&
            poll(&answer, 1, 20000) == 1 && recv(fd, &byte, 1, 0) == 0;
        _exit(refused ? 0 : 1);
    }
    int status = -1;
    EXPECT_TRUE(testsupport::runUntil(loop, [&] { return waitpid(asker, &status, WNOHANG) != 0; }));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(reopened, 0);
}

} // namespace
