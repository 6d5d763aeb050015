#pragma once

#include <filesystem>

namespace sys {

// Where the readers find the machine. The live value points at the real trees; tests point every
// field at a fixture tree so no reader ever hard-codes a system path.
struct SystemRoots {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sys = "/sys";
    std::filesystem::path dev = "/dev";
    std::filesystem::path mountInfo = "/proc/self/mountinfo";
    // Our own Thunderbolt inventory program; empty until the devices reader knows where it lives.
    std::filesystem::path profilerCommand;

    static SystemRoots live() { return {}; }

    // A fake machine laid out under one folder: <root>/proc, <root>/sys, <root>/dev and
    // <root>/proc/self/mountinfo.
    static SystemRoots under(const std::filesystem::path& root) {
        SystemRoots roots;
        roots.proc = root / "proc";
        roots.sys = root / "sys";
        roots.dev = root / "dev";
        roots.mountInfo = root / "proc/self/mountinfo";
        return roots;
    }

    bool operator==(const SystemRoots&) const = default;
};

} // namespace sys
