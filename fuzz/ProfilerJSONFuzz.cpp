// The system profiler's report is another program's output: any bytes must give a list or an
// empty list, never a crash, a hang or runaway recursion.

#include "sources/ExternalDevicesReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view report(reinterpret_cast<const char*>(data), size);
    for (const pulsedeck::ExternalDevice& device :
         pulsedeck::ExternalDevicesReader::parseThunderboltReport(report)) {
        if (!device.id.starts_with("tb:")) {
            __builtin_trap();
        }
    }
    return 0;
}
