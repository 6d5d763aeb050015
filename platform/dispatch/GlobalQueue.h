#pragma once

#include "platform/dispatch/Queue.h"

namespace dispatch {

// The process's shared pool of a few worker threads for concurrent background work. Work may
// run in any order and at the same time as other work. Started on first use; at process exit
// work not yet started is discarded and the threads are joined.
Queue& globalQueue();

} // namespace dispatch
