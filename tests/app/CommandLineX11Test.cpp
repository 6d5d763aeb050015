#include "support/TestPaths.h"

#include <gtest/gtest.h>

// After gtest: the X headers define macros (None, Bool) that gtest's own names would hit.
// clang-format off
#include "PulsedeckProgram.h"
// clang-format on

#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

// The built program's command line as a user meets it: what it prints, where, and its exit status.
namespace {

using namespace std::chrono_literals;
using namespace pulsedecktest;

using CommandLineOfTheProgram = ProgramOnDisplay;

struct Answer {
    int status = -1;
    std::string output;
    std::string errors;
};

TEST_F(CommandLineOfTheProgram, EachStartAnswersOnItsStreamsWithItsStatus) {
    const auto config = config_.path();
    const std::string hint = "Try 'pulsedeck --help' for more information.\n";
    const std::string settings = (config / "pulsedeck/local.dorvettin.Pulsedeck.json").string();
    const std::string entry = (config / "autostart/local.dorvettin.Pulsedeck.desktop").string();
    testsupport::TemporaryDirectory streams;
    auto run = [&](const std::vector<std::string>& arguments, bool withDisplay) {
        auto variables = environmentFor(xvfb_, config, xvfb_.displayName());
        if (!withDisplay)
            std::erase_if(variables, [](const auto& word) { return word.starts_with("DISPLAY="); });
        Program program(variables, {.errors = streams.path() / "err",
                                    .output = streams.path() / "out",
                                    .arguments = arguments});
        const auto status = program.waitForExit(15s);
        return Answer{status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1,
                      fileText(streams.path() / "out"), fileText(streams.path() / "err")};
    };
    const struct {
        std::vector<std::string> arguments;
        bool withDisplay;
        int status;
        // Each must be in the standard output; with none it must be empty.
        std::vector<std::string> output;
        std::string errors;
    } rows[] = {
        {{"--help"},
         false,
         0,
         {"Usage: pulsedeck [OPTION]\n", "--check-updates URL", settings, entry},
         ""},
        {{"--version"},
         false,
         0,
         {"Pulsedeck " PULSEDECK_VERSION " (build " PULSEDECK_BUILD ")\n"},
         ""},
        {{"--bogus"}, false, 2, {}, "pulsedeck: unknown option '--bogus'\n" + hint},
        {{"--check-updates"},
         false,
         2,
         {},
         "pulsedeck: option '--check-updates' needs a URL\n" + hint},
        {{"-h"}, true, 0, {"Usage: pulsedeck [OPTION]\n"}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments.front() + (row.withDisplay ? " with a display" : ""));
        const auto answer = run(row.arguments, row.withDisplay);
        EXPECT_EQ(answer.status, row.status);
        EXPECT_EQ(answer.errors, row.errors);
        for (const auto& part : row.output) {
            EXPECT_NE(answer.output.find(part), std::string::npos) << part << " in\n"
                                                                   << answer.output;
        }
        if (row.output.empty()) {
            EXPECT_EQ(answer.output, "");
        }
        // Nothing of the user's was read into being or written, and no window was shown.
        EXPECT_TRUE(std::filesystem::is_empty(config));
        EXPECT_TRUE(programWindows(display()).empty());
    }

    // A second start beside a running copy: the running one opens its details.
    markLaunchedBefore(config);
    Program running(xvfb_, config);
    ASSERT_TRUE(waitForStatusBar(display(), 15s));
    const auto second = run({}, true);
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.output, "");
    EXPECT_EQ(second.errors,
              "Pulsedeck is already running on this display; it was asked to open its details\n");
    EXPECT_TRUE(waitFor([&] { return windowsBelowTheBar(display()) == 1; }, 10s));
    EXPECT_TRUE(running.isRunning());
}

} // namespace
