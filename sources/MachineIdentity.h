#pragma once

#include "platform/system/SystemRoots.h"

#include <array>
#include <string>
#include <string_view>

namespace pulsedeck {

// Models that have no fan at all.
inline constexpr std::array<std::string_view, 9> fanlessModelIdentifiers = {
    "MacBookAir10,1", "Mac14,2",  "Mac14,15", "Mac15,12", "Mac15,13",
    "Mac16,12",       "Mac16,13", "Mac17,3",  "Mac17,4"};

// Which machine this is, read once per process (`current()`) and shared by the fan readers and
// the application's start-up.
struct MachineIdentity {
    // The model identifier; empty when unreadable.
    std::string identifier;
    // The product's own description; empty when absent.
    std::string productDescription;
    bool isAppleSilicon = false;
    // The machine's sensors list a fan at all. A machine whose sensors show none is fanless
    // whatever its model says.
    bool hasFanInputs = true;

    // A listed model; an Apple-silicon machine described as a MacBook Air; or no fan anywhere.
    bool isFanless() const;

    // The name shown for the machine: the description, or the identifier when that is empty.
    std::string model() const;

    // Reads the machine under `roots` (tests use fixture trees).
    static MachineIdentity read(const sys::SystemRoots& roots);

    // The live machine, read on first use under a once-only guard (any thread).
    static const MachineIdentity& current();

    bool operator==(const MachineIdentity&) const = default;
};

} // namespace pulsedeck
