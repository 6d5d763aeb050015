#include "platform/foundation/ProcessCancellation.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace foundation {

ProcessCancellation::ProcessCancellation() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ProcessCancellation::~ProcessCancellation() {
    if (fd_ >= 0)
        ::close(fd_);
}

void ProcessCancellation::cancel() {
    cancelled_ = true;
    const std::uint64_t one = 1;
    while (fd_ >= 0 && ::write(fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool ProcessCancellation::isCancelled() const {
    return cancelled_;
}

} // namespace foundation
