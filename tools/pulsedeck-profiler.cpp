// Prints the machine's Thunderbolt / USB4 inventory as the system profiler's JSON report.
//
//   pulsedeck-profiler SPThunderboltDataType -json [-timeout <s>] [--sys-root <dir>]
//
// Other data types give an empty report, as the profiler does for a type it does not know.

#include "platform/system/ThunderboltInventory.h"

#include <cstdio>
#include <string_view>

int main(int argc, char** argv) {
    sys::SystemRoots roots = sys::SystemRoots::live();
    bool thunderbolt = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "SPThunderboltDataType") {
            thunderbolt = true;
        } else if ((argument == "--sys-root" || argument == "-timeout") && i + 1 < argc) {
            if (argument == "--sys-root") {
                roots.sys = argv[i + 1];
            }
            ++i;
        }
    }
    const std::string report = thunderbolt ? sys::thunderboltReport(roots) : std::string("{}\n");
    return std::fwrite(report.data(), 1, report.size(), stdout) == report.size() ? 0 : 1;
}
