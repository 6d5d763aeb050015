#include "platform/system/MachineDescription.h"

#include "platform/foundation/TextFile.h"
#include "platform/system/HwmonCatalog.h"

#include <sys/utsname.h>

namespace sys {

namespace {

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find_first_of("\n\0", 0, 2));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r'))
        line.pop_back();
    return line;
}

std::string architecture(const SystemRoots& roots) {
    if (auto arch = foundation::readTextFile(roots.proc / "sys/kernel/arch", 64)) {
        return firstLine(*arch);
    }
    // Kernels before 5.x have no arch file; only the live machine can then answer.
    if (roots.proc != SystemRoots::live().proc)
        return {};
    utsname name{};
    if (::uname(&name) != 0)
        return {};
    return name.machine;
}

} // namespace

MachineDescription MachineDescription::read(const SystemRoots& roots) {
    MachineDescription machine;
    if (auto product = foundation::readTextFile(roots.sys / "class/dmi/id/product_name", 256)) {
        machine.modelIdentifier = firstLine(*product);
    }
    if (machine.modelIdentifier.empty()) {
        const auto deviceTree = roots.sys / "firmware/devicetree/base";
        if (auto compatible = foundation::readTextFile(deviceTree / "compatible", 1024)) {
            machine.modelIdentifier = compatible->substr(0, compatible->find('\0'));
        }
        if (auto model = foundation::readTextFile(deviceTree / "model", 1024)) {
            machine.productDescription = *model;
        }
    }
    machine.isArm64 = architecture(roots) == "aarch64";
    machine.hasFanInputs = !HwmonCatalog::discover(roots).fans.empty();
    return machine;
}

} // namespace sys
