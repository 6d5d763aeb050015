#include "platform/system/SystemProfiler.h"

#include "platform/foundation/ProcessRunner.h"

#include <system_error>

namespace sys {

namespace {

// A report is a few kilobytes; anything near this is not one.
constexpr std::size_t outputLimit = 16 << 20;
constexpr const char* programName = "pulsedeck-profiler";

} // namespace

std::filesystem::path SystemProfiler::pathFor(const std::filesystem::path& executable) {
    const auto folder = executable.parent_path();
    const auto beside = folder / programName;
    std::error_code error;
    if (std::filesystem::is_regular_file(beside, error))
        return beside;
    const auto installed = folder.parent_path() / "lib" / "pulsedeck" / programName;
    return std::filesystem::is_regular_file(installed, error) ? installed : beside;
}

std::optional<std::string> SystemProfiler::run(const SystemRoots& roots) {
    std::filesystem::path command = roots.profilerCommand;
    if (command.empty()) {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error)
            return std::nullopt;
        command = pathFor(executable);
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
