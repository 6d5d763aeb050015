#pragma once

#include "platform/system/SystemRoots.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace sys {

// The system profiler: a separate program that reports the machine's Thunderbolt / USB4
// devices as JSON ({"SPThunderboltDataType": [...]}).
//
// Linux backing: our own pulsedeck-profiler, which builds the report from
// /sys/bus/thunderbolt/devices; its path is SystemRoots::profilerCommand (tests put scripts
// there). Blocks for up to runTimeLimit seconds: never call it on the sampling queue.
class SystemProfiler {
public:
    static constexpr double runTimeLimit = 5.0;
    // How long the output may keep coming after the program has ended.
    static constexpr double drainTimeLimit = 1.0;
    // Reports deeper than this are treated as unparsable.
    static constexpr int nestingLimit = 64;

    // The program's standard output; empty when it cannot be started, runs past the time limit
    // (it is then killed), or its output does not end within the drain limit. The child is
    // always reaped and the pipe closed.
    static std::optional<std::string> run(const SystemRoots& roots);

    // A report's JSON value; empty when it does not parse or nests too deep.
    static std::optional<nlohmann::json> parseReport(std::string_view text);

    // The path of pulsedeck-profiler beside the running executable.
    static std::filesystem::path besideExecutable();
};

} // namespace sys
