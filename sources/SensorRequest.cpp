#include "sources/SensorRequest.h"

#include "platform/foundation/JSON.h"
#include "sources/SensorRecordCoding.h"

namespace pulsedeck {

std::string encode(const SensorRequest& request) {
    nlohmann::json object = {{"schema", request.schema},
                             {"nonce", request.nonce},
                             {"fans", request.fans},
                             {"temperature", request.temperature},
                             {"gpu", request.gpu}};
    return object.dump();
}

std::optional<SensorRequest> decodeSensorRequest(std::string_view data) {
    using namespace sensorcoding;
    auto json = foundation::parseJSON(data, maxDepth);
    if (!json || !json->is_object())
        return std::nullopt;
    SensorRequest request;
    if (!required(integer(*json, "schema"), request.schema) ||
        !required(text(*json, "nonce"), request.nonce) ||
        !required(boolean(*json, "fans"), request.fans) ||
        !required(boolean(*json, "temperature"), request.temperature) ||
        !required(boolean(*json, "gpu"), request.gpu)) {
        return std::nullopt;
    }
    return request;
}

} // namespace pulsedeck
