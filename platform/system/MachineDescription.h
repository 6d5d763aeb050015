#pragma once

#include "platform/system/SystemRoots.h"

#include <string>

namespace sys {

// What the machine says about itself, raw:
//   modelIdentifier     DMI product_name, else the first entry of the device tree's `compatible`
//   productDescription  the device tree's `model` bytes as stored (often NUL-terminated); empty on
//                       DMI machines, whose product name already is the human name
//   isArm64             the kernel's architecture is aarch64
//   hasFanInputs        hwmon lists at least one fanN_input
struct MachineDescription {
    std::string modelIdentifier;
    std::string productDescription;
    bool isArm64 = false;
    bool hasFanInputs = false;

    static MachineDescription read(const SystemRoots& roots);
};

} // namespace sys
