#include "platform/system/SystemProfiler.h"

#include "platform/foundation/ProcessRunner.h"

#include <system_error>

namespace sys {

namespace {

// A report is a few kilobytes; anything near this is not one.
constexpr std::size_t outputLimit = 16 << 20;

} // namespace

std::filesystem::path SystemProfiler::besideExecutable() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path() / "pulsedeck-profiler";
}

std::optional<std::string> SystemProfiler::run(const SystemRoots& roots) {
    const std::filesystem::path command =
        roots.profilerCommand.empty() ? besideExecutable() : roots.profilerCommand;
    if (command.empty()) {
        return std::nullopt;
    }
    foundation::ProcessOptions options;
    options.timeLimit = std::chrono::milliseconds(static_cast<long>(runTimeLimit * 1000));
    options.outputLimit = outputLimit;
    foundation::ProcessResult result =
        foundation::runProcess({command.string(), "SPThunderboltDataType", "-json", "-timeout", "3",
                                "--sys-root", roots.sys.string()},
                               options);
    if (result.launchError || result.timedOut || result.outputTruncated) {
        return std::nullopt;
    }
    return std::move(result.standardOutput);
}

} // namespace sys
