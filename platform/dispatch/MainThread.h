#pragma once

namespace dispatch {

// Whether the caller runs on the process's main thread (the one the program started on).
bool isMainThread();

} // namespace dispatch
