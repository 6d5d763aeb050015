#include "model/FloatingMode.h"

namespace pulsedeck {

std::string_view toString(FloatingMode mode) {
    switch (mode) {
    case FloatingMode::none:
        return "none";
    case FloatingMode::copy:
        return "copy";
    case FloatingMode::detached:
        return "detached";
    }
    return "none";
}

std::optional<FloatingMode> parseFloatingMode(std::string_view rawName) {
    for (auto mode : {FloatingMode::none, FloatingMode::copy, FloatingMode::detached})
        if (toString(mode) == rawName)
            return mode;
    return std::nullopt;
}

} // namespace pulsedeck
