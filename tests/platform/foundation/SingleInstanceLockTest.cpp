#include "platform/foundation/SingleInstanceLock.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using foundation::SingleInstanceLock;
using Outcome = foundation::SingleInstanceLock::Outcome;

constexpr const char* identifier = "local.dorvettin.Pulsedeck";

TEST(SingleInstanceLock, OnlyOneCopyPerUserAndDisplay) {
    testsupport::TemporaryDirectory dir;
    auto first = SingleInstanceLock::acquire(dir.path(), identifier, ":0");
    EXPECT_EQ(first.outcome(), Outcome::acquired);
    EXPECT_EQ(first.path().filename(),
              "local.dorvettin.Pulsedeck-" + std::to_string(getuid()) + "-_0.lock");

    // Every name of the same server is the same session.
    for (const char* sameServer : {":0", ":0.0", "unix:0", "localhost:0.0"})
        EXPECT_EQ(SingleInstanceLock::acquire(dir.path(), identifier, sameServer).outcome(),
                  Outcome::heldElsewhere)
            << sameServer;
    // Another server is another session.
    auto other = SingleInstanceLock::acquire(dir.path(), identifier, "localhost:10.0");
    EXPECT_EQ(other.outcome(), Outcome::acquired);
    EXPECT_EQ(other.path().filename(),
              "local.dorvettin.Pulsedeck-" + std::to_string(getuid()) + "-_10.lock");
    EXPECT_EQ(other.channelPath().filename(),
              "local.dorvettin.Pulsedeck-" + std::to_string(getuid()) + "-_10.socket");

    // Moving keeps the lock; destroying releases it.
    SingleInstanceLock moved = std::move(first);
    EXPECT_EQ(SingleInstanceLock::acquire(dir.path(), identifier, ":0").outcome(),
              Outcome::heldElsewhere);
    { SingleInstanceLock released = std::move(moved); }
    EXPECT_EQ(SingleInstanceLock::acquire(dir.path(), identifier, ":0").outcome(),
              Outcome::acquired);
}

TEST(SingleInstanceLock, AnotherProcessHoldingItWinsUntilItEnds) {
    testsupport::TemporaryDirectory dir;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto lock = SingleInstanceLock::acquire(dir.path(), identifier, ":1");
        char byte = lock.outcome() == Outcome::acquired ? 'y' : 'n';
        (void)!write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'y');
    EXPECT_EQ(SingleInstanceLock::acquire(dir.path(), identifier, ":1").outcome(),
              Outcome::heldElsewhere);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(SingleInstanceLock::acquire(dir.path(), identifier, ":1").outcome(),
              Outcome::acquired);
    close(ready[0]);
    close(ready[1]);
}

TEST(SingleInstanceLock, MissingFolderIsMadeAndAnUnusableOneIsReported) {
    testsupport::TemporaryDirectory dir;
    EXPECT_EQ(SingleInstanceLock::acquire(dir.path() / "a" / "b", identifier, ":0").outcome(),
              Outcome::acquired);
    auto file = dir.path() / "file";
    { std::ofstream(file.string()) << "x"; }
    EXPECT_EQ(SingleInstanceLock::acquire(file, identifier, ":0").outcome(), Outcome::unavailable);
}

TEST(SingleInstanceLock, DefaultDirectoryPrefersTheRuntimeDir) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string previous = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(SingleInstanceLock::defaultDirectory(), std::filesystem::path("/run/user/1234"));
    unsetenv("XDG_RUNTIME_DIR");
    setenv("XDG_CACHE_HOME", "/somewhere/cache", 1);
    EXPECT_EQ(SingleInstanceLock::defaultDirectory(),
              std::filesystem::path("/somewhere/cache/pulsedeck"));
    unsetenv("XDG_CACHE_HOME");
    if (saved)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
}

} // namespace
