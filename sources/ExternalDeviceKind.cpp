#include "sources/ExternalDeviceKind.h"

#include <algorithm>
#include <cctype>

namespace pulsedeck {

namespace {

constexpr int stillImageClass = 6;
constexpr int massStorageClass = 8;
constexpr int audioClass = 1;
constexpr int humanInterfaceClass = 3;

std::string lowercased(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool containsAny(std::string_view text, std::initializer_list<std::string_view> words) {
    return std::any_of(words.begin(), words.end(), [text](std::string_view word) {
        return text.find(word) != std::string_view::npos;
    });
}

// Whether `text` contains `word` ignoring case; an empty word is contained nowhere.
bool containsIgnoringCase(std::string_view text, std::string_view word) {
    if (word.empty()) {
        return false;
    }
    return lowercased(text).find(lowercased(word)) != std::string::npos;
}

} // namespace

std::string_view symbolName(ExternalDeviceKind kind) {
    switch (kind) {
    case ExternalDeviceKind::usb:
        return "cable.connector";
    case ExternalDeviceKind::storage:
        return "externaldrive";
    case ExternalDeviceKind::card:
        return "sdcard";
    case ExternalDeviceKind::microphone:
        return "mic";
    case ExternalDeviceKind::headphones:
        return "headphones";
    case ExternalDeviceKind::speaker:
        return "hifispeaker";
    case ExternalDeviceKind::tablet:
        return "pencil.and.outline";
    case ExternalDeviceKind::phone:
        return "iphone";
    case ExternalDeviceKind::portableTablet:
        return "ipad";
    }
    return "cable.connector";
}

ExternalDeviceKind classify(std::string_view name, const std::set<int>& classes,
                            const std::vector<AudioEndpoint>& endpoints, std::string_view vendor) {
    const std::string lower = lowercased(name);
    if (containsAny(lower, {"iphone", "android", "smartphone", "galaxy", "pixel"})) {
        return ExternalDeviceKind::phone;
    }
    if (containsAny(lower, {"ipad"})) {
        return ExternalDeviceKind::portableTablet;
    }
    if (classes.contains(stillImageClass) &&
        containsAny(lowercased(vendor),
                    {"google", "motorola", "oneplus", "xiaomi", "oppo", "vivo", "huawei"})) {
        return ExternalDeviceKind::phone;
    }
    if (classes.contains(massStorageClass)) {
        return containsAny(lower, {"card", "sd reader", "cfexpress"}) ? ExternalDeviceKind::card
                                                                      : ExternalDeviceKind::storage;
    }
    const auto endpoint =
        std::find_if(endpoints.begin(), endpoints.end(), [name](const AudioEndpoint& candidate) {
            return containsIgnoringCase(candidate.identity, name);
        });
    if (endpoint != endpoints.end()) {
        if (endpoint->input && endpoint->output) {
            return ExternalDeviceKind::headphones;
        }
        if (endpoint->input) {
            return ExternalDeviceKind::microphone;
        }
        if (endpoint->output) {
            return containsAny(lower, {"headphone", "headset"}) ? ExternalDeviceKind::headphones
                                                                : ExternalDeviceKind::speaker;
        }
    }
    if (classes.contains(audioClass) && containsAny(lower, {"microphone", "mic "})) {
        return ExternalDeviceKind::microphone;
    }
    if (classes.contains(audioClass) && containsAny(lower, {"headphone", "headset"})) {
        return ExternalDeviceKind::headphones;
    }
    if (classes.contains(humanInterfaceClass) && containsAny(lower, {"tablet"})) {
        return ExternalDeviceKind::tablet;
    }
    return ExternalDeviceKind::usb;
}

} // namespace pulsedeck
