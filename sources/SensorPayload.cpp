#include "sources/SensorPayload.h"

#include "platform/foundation/JSON.h"
#include "sources/SensorRecordCoding.h"

namespace pulsedeck {

std::string encode(const SensorPayload& payload) {
    nlohmann::json fans = nlohmann::json::array();
    for (const SensorFan& fan : payload.fans) {
        nlohmann::json entry = {{"id", fan.id}};
        if (fan.rpm)
            entry["rpm"] = *fan.rpm;
        if (fan.maximum)
            entry["maximum"] = *fan.maximum;
        fans.push_back(std::move(entry));
    }
    nlohmann::json object = {
        {"schema", payload.schema},   {"nonce", payload.nonce},
        {"version", payload.version}, {"sampledUptime", payload.sampledUptime},
        {"fans", std::move(fans)},    {"cpuSensorCount", payload.cpuSensorCount}};
    if (payload.fanCount)
        object["fanCount"] = *payload.fanCount;
    if (payload.cpuCelsius)
        object["cpuCelsius"] = *payload.cpuCelsius;
    if (payload.gpuPercent)
        object["gpuPercent"] = *payload.gpuPercent;
    return object.dump();
}

std::optional<SensorPayload> decodeSensorPayload(std::string_view data) {
    using namespace sensorcoding;
    auto json = foundation::parseJSON(data, maxDepth);
    if (!json || !json->is_object())
        return std::nullopt;

    SensorPayload payload;
    if (!required(integer(*json, "schema"), payload.schema) ||
        !required(text(*json, "nonce"), payload.nonce) ||
        !required(text(*json, "version"), payload.version) ||
        !required(real(*json, "sampledUptime"), payload.sampledUptime) ||
        !optional(integer(*json, "fanCount"), payload.fanCount) ||
        !optional(real(*json, "cpuCelsius"), payload.cpuCelsius) ||
        !required(integer(*json, "cpuSensorCount"), payload.cpuSensorCount) ||
        !optional(real(*json, "gpuPercent"), payload.gpuPercent)) {
        return std::nullopt;
    }

    const nlohmann::json* fans = member(*json, "fans");
    if (!fans || !fans->is_array())
        return std::nullopt;
    for (const nlohmann::json& entry : *fans) {
        if (!entry.is_object())
            return std::nullopt;
        SensorFan fan;
        if (!required(integer(entry, "id"), fan.id) || !optional(real(entry, "rpm"), fan.rpm) ||
            !optional(real(entry, "maximum"), fan.maximum)) {
            return std::nullopt;
        }
        payload.fans.push_back(fan);
    }
    return payload;
}

} // namespace pulsedeck
