#pragma once

#include "platform/system/SystemRoots.h"

#include <filesystem>
#include <optional>
#include <string>

namespace sys {

// The system profiler: a separate program that reports the machine's Thunderbolt / USB4
// devices as JSON ({"SPThunderboltDataType": [...]}).
//
// Linux backing: our own pulsedeck-profiler, which builds the report from
// /sys/bus/thunderbolt/devices of the roots' sys tree; its path is SystemRoots::profilerCommand
// (tests put scripts there), or the one that came with the running executable when that is empty.
// Blocks for up to runTimeLimit seconds: never call it on the sampling queue.
class SystemProfiler {
public:
    static constexpr double runTimeLimit = 5.0;

    // The program's standard output; empty when it cannot be started, its output runs past any
    // sensible size, or it is still running at the time limit (it is then killed). The child is
    // always reaped and its pipes closed.
    static std::optional<std::string> run(const SystemRoots& roots);

    // Where pulsedeck-profiler is for the program at `executable`: beside it in a build folder,
    // else in "<prefix>/lib/pulsedeck" for a program installed as "<prefix>/bin/<name>" (a
    // helper no user runs stays off the PATH); the path beside it when neither is a file.
    static std::filesystem::path pathFor(const std::filesystem::path& executable);
};

} // namespace sys
