#include "platform/dispatch/MainThread.h"

#include <unistd.h>

namespace dispatch {

// On Linux the main thread's task id is the process id.
bool isMainThread() {
    return gettid() == getpid();
}

} // namespace dispatch
