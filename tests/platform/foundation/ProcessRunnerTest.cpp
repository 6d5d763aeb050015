#include "platform/foundation/ProcessRunner.h"

#include "platform/foundation/SingleInstance.h"
#include "support/TestPaths.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

namespace {

using foundation::ProcessOptions;
using foundation::runProcess;
using namespace std::chrono_literals;

// True once `pid` is neither running nor a zombie of ours.
bool isGone(pid_t pid) {
    errno = 0;
    bool reaped = ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD;
    return reaped && !std::filesystem::exists("/proc/" + std::to_string(pid));
}

char processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? '\0' : text[close + 2];
}

TEST(ProcessRunner, RunsWithoutAShellAndCollectsBothStreams) {
    auto result = runProcess({"sh", "-c", "echo out; echo err >&2; exit 3"});
    EXPECT_FALSE(result.launchError);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.standardOutput, "out\n");
    EXPECT_EQ(result.standardError, "err\n");
    EXPECT_TRUE(isGone(result.processIdentifier));

    // Arguments reach the program as they are: nothing expands them.
    auto echo = runProcess({"/bin/echo", "$HOME", "a b", "*", ";", "|"});
    EXPECT_TRUE(echo.succeeded());
    EXPECT_EQ(echo.standardOutput, "$HOME a b * ; |\n");
}

TEST(ProcessRunner, StandardInputIsEmpty) {
    auto result = runProcess({"cat"}, {.timeLimit = 5s});
    EXPECT_TRUE(result.succeeded());
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.standardOutput, "");
}

TEST(ProcessRunner, AProgramThatCannotStartIsReported) {
    auto missing = runProcess({"/nonexistent/program"});
    EXPECT_EQ(missing.launchError, ENOENT);
    EXPECT_FALSE(missing.succeeded());
    EXPECT_EQ(runProcess({"no-such-program-anywhere"}).launchError, ENOENT);
    EXPECT_TRUE(runProcess({}).launchError);
}

TEST(ProcessRunner, AHangingChildIsKilledAndReaped) {
    auto start = std::chrono::steady_clock::now();
    auto result =
        runProcess({"sh", "-c", "echo started; sleep 30 & echo $!; wait"}, {.timeLimit = 300ms});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.terminationSignal, SIGKILL);
    EXPECT_FALSE(result.exitStatus);
    EXPECT_TRUE(result.standardOutput.starts_with("started\n"));
    // No zombie of ours is left behind.
    EXPECT_TRUE(isGone(result.processIdentifier));

    // The sleep it started belonged to its process group and was killed too (init reaps it).
    auto grandchild = static_cast<pid_t>(std::stol(result.standardOutput.substr(8)));
    bool ended = false;
    for (int i = 0; i < 200 && !ended; ++i) {
        char state = processState(grandchild);
        ended = state == '\0' || state == 'Z';
        if (!ended)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended);
}

TEST(ProcessRunner, AnEndlessWriterStillStopsAtTheTimeLimit) {
    auto result = runProcess({"yes"}, {.timeLimit = 300ms, .outputLimit = 1 << 20});
    EXPECT_TRUE(result.timedOut);
    EXPECT_TRUE(result.outputTruncated);
    EXPECT_EQ(result.standardOutput.size(), 1u << 20);
    EXPECT_TRUE(isGone(result.processIdentifier));
}

TEST(ProcessRunner, ReadsLargeOutputOnBothStreamsWithoutDeadlock) {
    // Standard error is filled first: a runner that read only standard output would stall here.
    auto result = runProcess({"sh", "-c",
                              "head -c 10485760 /dev/zero >&2; head -c 10485760 /dev/zero; "
                              "echo end"},
                             {.timeLimit = 60s});
    EXPECT_FALSE(result.timedOut);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardError.size(), 10485760u);
    EXPECT_EQ(result.standardOutput.size(), 10485760u + 4);
    EXPECT_TRUE(result.standardOutput.ends_with("end\n"));
    EXPECT_FALSE(result.outputTruncated);
}

TEST(ProcessRunner, OutputBeyondTheLimitIsDroppedNotBlocking) {
    auto result =
        runProcess({"head", "-c", "3000000", "/dev/zero"}, {.timeLimit = 30s, .outputLimit = 1000});
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput.size(), 1000u);
    EXPECT_TRUE(result.outputTruncated);
}

TEST(ProcessRunner, ALauncherWhoseChildKeepsRunningIsNotWaitedFor) {
    auto result = runProcess({"sh", "-c", "sleep 5 & echo launched"},
                             {.timeLimit = 30s, .captureOutput = false});
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput, "");
    // With the pipes captured, the child's exit also ends the wait although the sleep holds them.
    auto start = std::chrono::steady_clock::now();
    auto captured = runProcess({"sh", "-c", "sleep 5 & echo launched"}, {.timeLimit = 30s});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(captured.standardOutput, "launched\n");
}

TEST(ProcessRunner, TheChildInheritsNoDescriptorAndNoBlockedSignal) {
    const auto held = foundation::SingleInstance::claim("test.ProcessRunner", ":0");
    ASSERT_EQ(held.outcome(), foundation::SingleInstance::Outcome::acquired);
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);

    auto result = runProcess({"sh", "-c", "ls /proc/self/fd; grep SigBlk /proc/self/status"});
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ASSERT_TRUE(result.succeeded());
    // ls sees 0, 1, 2 and the folder it lists (3); nothing else.
    EXPECT_TRUE(result.standardOutput.starts_with("0\n1\n2\n3\nSigBlk:")) << result.standardOutput;
    EXPECT_NE(result.standardOutput.find("SigBlk:\t0000000000000000"), std::string::npos)
        << result.standardOutput;
}

} // namespace
