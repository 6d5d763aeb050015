#pragma once

#include <cstdint>

namespace dispatch {

// The modes a run loop can run in. A nested run in eventTracking (a menu being tracked) or
// modalPanel (an alert) serves only what is registered for that mode, so a default-only timer
// waits until the nested run ends.
enum class RunLoopMode : std::uint8_t {
    defaultMode = 1,
    eventTracking = 2,
    modalPanel = 4,
};

// A set of run-loop modes. commonModes holds all three.
class RunLoopModes {
public:
    constexpr RunLoopModes() = default;
    constexpr RunLoopModes(RunLoopMode mode) : bits_(static_cast<std::uint8_t>(mode)) {}

    constexpr bool contains(RunLoopMode mode) const {
        return (bits_ & static_cast<std::uint8_t>(mode)) != 0;
    }
    constexpr bool empty() const { return bits_ == 0; }
    constexpr RunLoopModes operator|(RunLoopModes other) const {
        return fromBits(static_cast<std::uint8_t>(bits_ | other.bits_));
    }
    constexpr bool operator==(const RunLoopModes&) const = default;

private:
    static constexpr RunLoopModes fromBits(std::uint8_t bits) {
        RunLoopModes modes;
        modes.bits_ = bits;
        return modes;
    }

    std::uint8_t bits_ = 0;
};

constexpr RunLoopModes operator|(RunLoopMode a, RunLoopMode b) {
    return RunLoopModes(a) | RunLoopModes(b);
}

inline constexpr RunLoopModes commonModes =
    RunLoopMode::defaultMode | RunLoopMode::eventTracking | RunLoopMode::modalPanel;

} // namespace dispatch
