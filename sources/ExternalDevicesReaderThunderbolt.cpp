#include "platform/foundation/JSON.h"
#include "platform/system/SystemProfiler.h"
#include "sources/ExternalDevicesReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <nlohmann/json.hpp>

namespace pulsedeck {

namespace {

using Json = nlohmann::json;

constexpr std::string_view receptaclePrefix = "receptacle_";
// Real reports nest a dozen levels; a deeper one is unparsable rather than walked.
constexpr std::size_t reportNestingLimit = 64;

std::string lowercased(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

const std::string* stringMember(const Json& object, std::string_view key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return nullptr;
    }
    return found->get_ptr<const std::string*>();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The first "<number> <unit>" in a speed text, the unit one of Gb/s, Gbps, Mb/s, Mbps in any
// case: a number, an optional fraction, optional blanks, then the unit. Gives the number and
// whether the unit is gigabits.
std::optional<std::pair<double, bool>> firstSpeed(std::string_view text) {
    for (std::size_t start = 0; start < text.size(); ++start) {
        if (!isDigit(text[start])) {
            continue;
        }
        std::size_t end = start;
        while (end < text.size() && isDigit(text[end])) {
            ++end;
        }
        if (end + 1 < text.size() && text[end] == '.' && isDigit(text[end + 1])) {
            end += 1;
            while (end < text.size() && isDigit(text[end])) {
                ++end;
            }
        }
        std::size_t unit = end;
        while (unit < text.size() && isBlank(text[unit])) {
            ++unit;
        }
        const std::string rest = lowercased(text.substr(unit, 4));
        const bool matches = rest == "gb/s" || rest == "gbps" || rest == "mb/s" || rest == "mbps";
        if (!matches) {
            continue;
        }
        double value = 0;
        const auto [parsedEnd, error] =
            std::from_chars(text.data() + start, text.data() + end, value);
        if (error != std::errc() || parsedEnd != text.data() + end) {
            return std::nullopt;
        }
        return std::pair(value, rest.front() == 'g');
    }
    return std::nullopt;
}

struct LinkRate {
    double bitsPerSecond = 0;
    bool isMaximum = false;
};

std::optional<LinkRate> receptacleRate(const Json& object) {
    // The report's objects keep their keys in ascending order, which is the order to try them.
    for (const auto& [key, value] : object.items()) {
        if (!std::string_view(key).starts_with(receptaclePrefix) || !value.is_object()) {
            continue;
        }
        const std::string* speed = stringMember(value, "current_speed_key");
        const std::string* status = stringMember(value, "receptacle_status_key");
        if (!speed || !status || *status != "receptacle_connected") {
            continue;
        }
        const auto found = firstSpeed(*speed);
        if (!found || !(found->first > 0)) {
            continue;
        }
        LinkRate rate;
        rate.bitsPerSecond = found->first * (found->second ? 1e9 : 1e6);
        rate.isMaximum = lowercased(*speed).find("up to") != std::string::npos;
        return rate;
    }
    return std::nullopt;
}

} // namespace

void ExternalDevicesReader::collectThunderbolt(const Json& object,
                                               std::vector<ExternalDevice>& list) {
    const std::string* route = stringMember(object, "route_string_key");
    const std::string* name = stringMember(object, "device_name_key");
    if (route && name && *route != "0") {
        const std::string* switchID = stringMember(object, "switch_uid_key");
        const std::string identifier = switchID ? *switchID : *route;

        ExternalDevice device;
        device.id = "tb:" + identifier;
        device.name = *name;
        const std::string* mode = stringMember(object, "mode_key");
        device.connection = mode && *mode == "usb_four" ? "USB4" : "Thunderbolt / USB4";
        if (const std::string* version = stringMember(object, "thunderbolt_version_key");
            version && (*version == "3" || *version == "4" || *version == "5")) {
            device.connection = "Thunderbolt " + *version;
        }
        if (const auto rate = receptacleRate(object)) {
            device.bitsPerSecond = rate->bitsPerSecond;
            device.rateIsMaximum = rate->isMaximum;
        }
        device.kind = lowercased(*name).find("card reader") != std::string::npos
                          ? ExternalDeviceKind::card
                          : ExternalDeviceKind::usb;
        device.upstreamID = normalizedSwitchID(identifier);
        list.push_back(std::move(device));
    }
    for (const auto& [key, value] : object.items()) {
        if (value.is_object()) {
            collectThunderbolt(value, list);
        } else if (value.is_array()) {
            for (const Json& element : value) {
                if (element.is_object()) {
                    collectThunderbolt(element, list);
                }
            }
        }
    }
}

std::vector<ExternalDevice> ExternalDevicesReader::parseThunderboltReport(std::string_view json) {
    const std::optional<Json> report = foundation::parseJSON(json, reportNestingLimit);
    if (!report || !report->is_object()) {
        return {};
    }
    const auto items = report->find("SPThunderboltDataType");
    if (items == report->end() || !items->is_array() ||
        !std::all_of(items->begin(), items->end(),
                     [](const Json& item) { return item.is_object(); })) {
        return {};
    }
    std::vector<ExternalDevice> list;
    for (const Json& item : *items) {
        collectThunderbolt(item, list);
    }
    return deduplicated(list);
}

std::vector<ExternalDevice>
ExternalDevicesReader::readThunderboltInventory(const sys::SystemRoots& roots) {
    const std::optional<std::string> output = sys::SystemProfiler::run(roots);
    return output ? parseThunderboltReport(*output) : std::vector<ExternalDevice>();
}

} // namespace pulsedeck
