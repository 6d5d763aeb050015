#include "platform/foundation/OpenFileLimit.h"

#include <algorithm>
#include <sys/resource.h>

namespace foundation {

std::size_t raiseOpenFileLimit(std::size_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return wanted;
    const auto wantedLimit = static_cast<rlim_t>(wanted);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wantedLimit) {
        rlimit raised = limit;
        raised.rlim_cur =
            limit.rlim_max == RLIM_INFINITY ? wantedLimit : std::min(wantedLimit, limit.rlim_max);
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? wanted : static_cast<std::size_t>(limit.rlim_cur);
}

} // namespace foundation
