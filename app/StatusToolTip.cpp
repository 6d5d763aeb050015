#include "app/StatusToolTip.h"

#include "platform/foundation/NumberFormatting.h"
#include "sources/NetworkSnapshot.h"
#include "statusbar/ComputeStatusImage.h"

#include <cmath>

namespace pulsedeck {

namespace {

constexpr const char* emDash = "\u2014";

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

std::string rpmText(std::optional<double> speed) {
    return speed ? foundation::formatFixed(*speed, 0) + " RPM" : std::string(emDash) + " RPM";
}

} // namespace

std::string fanReadingText(const FanReading& fan, AppLanguage language) {
    return text(Copy::fanShort, language) + " " + std::to_string(fan.id + 1) + ": " +
           rpmText(fan.rpm) + ", " + text(Copy::fanMaximum, language) + ": " +
           (fan.maximum ? foundation::formatFixed(*fan.maximum, 0) + " RPM" : emDash);
}

std::string deviceToolTipText(const ExternalDevice& device, AppLanguage language) {
    std::string rate;
    const auto bits = device.bitsPerSecond;
    if (!bits || !std::isfinite(*bits) || *bits <= 0) {
        rate = text(Copy::deviceRateUnknown, language);
    } else {
        const bool giga = *bits >= 1e9;
        const double value = giga ? *bits / 1e9 : *bits / 1e6;
        rate = foundation::formatFixed(value, value == std::trunc(value) ? 0 : 1) +
               (giga ? " Gbps" : " Mbps");
    }
    return device.name + ": " + device.connection + ", " + rate;
}

std::string statusToolTip(const StatusToolTipContent& content) {
    const AppLanguage language = content.language;
    std::string tip = "Pulsedeck. ";
    if (content.memory)
        tip += content.memory->summaryText(language);
    if (content.fan) {
        std::vector<std::string> fans;
        for (const auto& fan : content.fan->fans)
            fans.push_back(fanReadingText(fan, language));
        tip += " " + content.fan->model + ". " + joined(fans, "; ");
    }
    if (content.network)
        tip += " " + text(Copy::download, language) + ": " + formatRate(content.network->download) +
               ", " + text(Copy::upload, language) + ": " + formatRate(content.network->upload) +
               ".";
    if (content.temperature) {
        const auto celsius = content.temperature->celsius;
        tip += " " + text(Copy::cpuTemperature, language) + ": " +
               (celsius ? foundation::formatFixed(*celsius, 0) : std::string(emDash)) + " \u00b0C.";
    }
    if (content.devices) {
        std::vector<std::string> devices;
        for (const auto& device : *content.devices)
            devices.push_back(deviceToolTipText(device, language));
        tip += " " + joined(devices, "; ");
    }
    if (content.compute)
        tip += " CPU: " + percentText(content.compute->cpu) +
               ", GPU: " + percentText(content.compute->gpu) + ".";
    return tip;
}

} // namespace pulsedeck
