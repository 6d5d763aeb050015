#include "platform/system/AudioDevices.h"

#include "platform/foundation/TextFile.h"
#include "platform/system/DeviceAttributes.h"

#include <system_error>

namespace sys {

namespace fs = std::filesystem;

std::vector<AudioCardLine> parseAudioCards(std::string_view text) {
    // " 1 [Headset        ]: USB-Audio - Acme USB Headset"
    // "                      Acme Corp Acme USB Headset at usb-0000:00:14.0-3, full speed"
    std::vector<AudioCardLine> cards;
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = trimmedDeviceText(lines[i]);
        const auto open = line.find(" [");
        const auto close = line.find("]: ");
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
            continue;
        }
        auto index = parseDeviceInteger(line.substr(0, open), 10);
        if (!index || *index < 0 || *index > 1024) {
            continue;
        }
        const std::string_view description = line.substr(close + 3);
        const auto dash = description.find(" - ");
        if (dash == std::string_view::npos) {
            continue;
        }
        AudioCardLine card;
        card.index = static_cast<int>(*index);
        card.name = std::string(trimmedDeviceText(description.substr(dash + 3)));
        if (i + 1 < lines.size() && lines[i + 1].starts_with(" ") &&
            lines[i + 1].find("]: ") == std::string_view::npos) {
            card.uid = std::string(trimmedDeviceText(lines[i + 1]));
            ++i;
        }
        cards.push_back(std::move(card));
    }
    return cards;
}

std::vector<AudioDevice> audioDevices(const SystemRoots& roots) {
    const fs::path asound = roots.proc / "asound";
    auto text = foundation::readTextFile(asound / "cards", 1 << 16);
    if (!text) {
        return {};
    }
    std::vector<AudioDevice> devices;
    for (AudioCardLine& card : parseAudioCards(*text)) {
        AudioDevice device;
        device.name = std::move(card.name);
        device.uid = std::move(card.uid);
        std::error_code error;
        const fs::path folder = asound / ("card" + std::to_string(card.index));
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string stream = it->path().filename().string();
            if (!stream.starts_with("pcm") || stream.size() < 5) {
                continue;
            }
            if (stream.back() == 'c') {
                device.input = true;
            } else if (stream.back() == 'p') {
                device.output = true;
            }
        }
        devices.push_back(std::move(device));
    }
    return devices;
}

} // namespace sys
