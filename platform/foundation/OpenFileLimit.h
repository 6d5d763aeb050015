#pragma once

#include <cstddef>

namespace foundation {

// Makes room for `wanted` open descriptors: raises the soft limit (RLIMIT_NOFILE) to `wanted`
// when it is lower and the hard limit allows, never lowering it. Answers the soft limit now in
// force, which is below `wanted` only when the hard limit is. Spawned programs inherit it.
std::size_t raiseOpenFileLimit(std::size_t wanted);

} // namespace foundation
