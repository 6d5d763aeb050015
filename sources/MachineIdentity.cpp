#include "sources/MachineIdentity.h"

#include "platform/system/MachineDescription.h"

#include <algorithm>
#include <cctype>

namespace pulsedeck {

namespace {

// Keeps valid UTF-8 and replaces every invalid sequence with U+FFFD.
std::string repairedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        bool valid = length > 0 && i + length <= bytes.size();
        std::uint32_t point = length == 1 ? byte : length == 2 ? byte & 0x1F : byte & 0x0F;
        if (length == 4)
            point = byte & 0x07;
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        // Reject overlong forms, surrogates and values past U+10FFFF.
        if (valid && ((length == 2 && point < 0x80) || (length == 3 && point < 0x800) ||
                      (length == 4 && (point < 0x10000 || point > 0x10FFFF)) ||
                      (point >= 0xD800 && point <= 0xDFFF))) {
            valid = false;
        }
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string trimmedControls(std::string text) {
    auto isControl = [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    };
    while (!text.empty() && isControl(text.back()))
        text.pop_back();
    auto first = std::find_if_not(text.begin(), text.end(), isControl);
    text.erase(text.begin(), first);
    return text;
}

} // namespace

bool MachineIdentity::isFanless() const {
    if (std::find(fanlessModelIdentifiers.begin(), fanlessModelIdentifiers.end(), identifier) !=
        fanlessModelIdentifiers.end()) {
        return true;
    }
    if (isAppleSilicon) {
        std::string folded;
        for (char c : productDescription) {
            if (c != ' ')
                folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (folded.find("macbookair") != std::string::npos)
            return true;
    }
    return !hasFanInputs;
}

std::string MachineIdentity::model() const {
    return productDescription.empty() ? identifier : productDescription;
}

MachineIdentity MachineIdentity::read(const sys::SystemRoots& roots) {
    auto machine = sys::MachineDescription::read(roots);
    MachineIdentity identity;
    std::string_view raw = machine.modelIdentifier;
    identity.identifier = repairedUtf8(raw.substr(0, raw.find('\0')));
    identity.productDescription = trimmedControls(repairedUtf8(machine.productDescription));
    identity.isAppleSilicon = machine.isArm64;
    identity.hasFanInputs = machine.hasFanInputs;
    return identity;
}

const MachineIdentity& MachineIdentity::current() {
    static const MachineIdentity identity = read(sys::SystemRoots::live());
    return identity;
}

} // namespace pulsedeck
