#pragma once

#include <string_view>

namespace gfx {

// The two appearances dynamic colours resolve against.
enum class Appearance { light, dark };

inline std::string_view toString(Appearance appearance) {
    return appearance == Appearance::dark ? "dark" : "light";
}

} // namespace gfx
