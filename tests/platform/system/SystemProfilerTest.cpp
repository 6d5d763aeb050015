#include "platform/system/SystemProfiler.h"

#include "platform/dispatch/Clock.h"
#include "platform/system/ThunderboltInventory.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

using sys::SystemProfiler;
namespace fs = std::filesystem;

namespace {

sys::SystemRoots rootsRunning(const fs::path& command) {
    sys::SystemRoots roots = sys::SystemRoots::under(testsupport::fixturePath("devices"));
    roots.profilerCommand = command;
    return roots;
}

std::size_t openDescriptors() {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

bool hasChildren() {
    int status = 0;
    return !(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
}

} // namespace

TEST(SystemProfiler, GivesTheProgramsOutputAndItsArguments) {
    testsupport::TemporaryDirectory folder;
    const fs::path script = folder.path() / "echo-arguments";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|' \"$@\"\n";
    fs::permissions(script, fs::perms::owner_all);
    const sys::SystemRoots roots = rootsRunning(script);
    EXPECT_EQ(SystemProfiler::run(roots),
              "SPThunderboltDataType|-json|-timeout|3|--sys-root|" + roots.sys.string() + "|");
}

TEST(SystemProfiler, GoodGarbageAndDeepOutputAreAllHandedOver) {
    const auto good =
        SystemProfiler::run(rootsRunning(testsupport::fixturePath("profiler/good.sh")));
    ASSERT_TRUE(good);
    EXPECT_EQ(nlohmann::json::parse(*good),
              nlohmann::json::parse(sys::thunderboltReport(rootsRunning({}))))
        << "the script prints what the profiler makes of the fixture machine";
    EXPECT_TRUE(SystemProfiler::run(rootsRunning(testsupport::fixturePath("profiler/garbage.sh"))));
    const auto deep =
        SystemProfiler::run(rootsRunning(testsupport::fixturePath("profiler/deep.sh")));
    ASSERT_TRUE(deep);
    EXPECT_GT(deep->size(), 20'000u);
}

TEST(SystemProfiler, AMissingProgramGivesNothing) {
    EXPECT_FALSE(SystemProfiler::run(rootsRunning("/nonexistent/pulsedeck-profiler")));
    EXPECT_FALSE(SystemProfiler::run(rootsRunning(testsupport::fixturePath("devices"))))
        << "a folder is no program";
}

// A build folder keeps the helper beside the program; an installed program finds it under
// <prefix>/lib/pulsedeck; the first wins where both are.
TEST(SystemProfiler, TheHelperIsFoundBesideABuiltProgramAndUnderAnInstalledOnesPrefix) {
    testsupport::TemporaryDirectory root;
    const auto place = [&](const fs::path& relative) {
        fs::create_directories((root.path() / relative).parent_path());
        std::ofstream(root.path() / relative) << "#!/bin/sh\n";
        return root.path() / relative;
    };
    const fs::path program = root.path() / "usr/bin/pulsedeck";
    EXPECT_EQ(SystemProfiler::pathFor(program), root.path() / "usr/bin/pulsedeck-profiler")
        << "neither: the path beside it, which then fails to start";
    const auto installed = place("usr/lib/pulsedeck/pulsedeck-profiler");
    EXPECT_EQ(SystemProfiler::pathFor(program), installed);
    const auto beside = place("usr/bin/pulsedeck-profiler");
    EXPECT_EQ(SystemProfiler::pathFor(program), beside);
    fs::remove(beside);
    fs::create_directories(beside);
    EXPECT_EQ(SystemProfiler::pathFor(program), installed) << "a folder there is no program";
}

TEST(SystemProfiler, AHangingProgramIsKilledAtTheLimitAndReaped) {
    const std::size_t descriptorsBefore = openDescriptors();
    const double start = dispatch::systemUptime();
    EXPECT_FALSE(SystemProfiler::run(rootsRunning(testsupport::fixturePath("profiler/hang.sh"))))
        << "partial output of a killed program is not handed over";
    const double took = dispatch::systemUptime() - start;
    EXPECT_GE(took, SystemProfiler::runTimeLimit);
    EXPECT_LT(took, 30.0) << "the script would sleep a minute";
    EXPECT_FALSE(hasChildren()) << "no zombie and no running child";
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << "the pipes are closed";
}
