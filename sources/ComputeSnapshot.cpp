#include "sources/ComputeSnapshot.h"

#include "platform/foundation/ProcessInfo.h"

namespace pulsedeck {

ComputeSnapshot computePlaceholder() {
    ComputeSnapshot placeholder;
    placeholder.cpuCores = foundation::processInfo::processorCount();
    return placeholder;
}

} // namespace pulsedeck
