#include "sources/SensorPayload.h"

#include "sources/SensorRequest.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using pulsedeck::decodeSensorPayload;
using pulsedeck::decodeSensorRequest;
using pulsedeck::SensorFan;
using pulsedeck::SensorPayload;
using pulsedeck::SensorRequest;

SensorPayload fullPayload() {
    return SensorPayload{.schema = 1,
                         .nonce = "a1b2",
                         .version = "1.4.0",
                         .sampledUptime = 1234.5,
                         .fanCount = 2,
                         .fans = {{0, 1800.5, 5200.0}, {1, std::nullopt, std::nullopt}},
                         .cpuCelsius = 61.25,
                         .cpuSensorCount = 4,
                         .gpuPercent = 12.0};
}

nlohmann::json minimalJson() {
    return {{"schema", 1},
            {"nonce", "n"},
            {"version", "1"},
            {"sampledUptime", 10},
            {"fans", nlohmann::json::array()},
            {"cpuSensorCount", 0}};
}

TEST(SensorRecords, RoundTrip) {
    EXPECT_EQ(decodeSensorPayload(encode(fullPayload())), fullPayload());
    SensorPayload sparse = fullPayload();
    sparse.fanCount.reset();
    sparse.cpuCelsius.reset();
    sparse.gpuPercent.reset();
    EXPECT_EQ(decodeSensorPayload(encode(sparse)), sparse);

    SensorRequest request{
        .schema = 1, .nonce = "x", .fans = true, .temperature = false, .gpu = true};
    EXPECT_EQ(decodeSensorRequest(encode(request)), request);
}

TEST(SensorRecords, EmptyOptionalsAreLeftOut) {
    SensorPayload sparse = fullPayload();
    sparse.fanCount.reset();
    sparse.cpuCelsius.reset();
    sparse.gpuPercent.reset();
    auto json = nlohmann::json::parse(encode(sparse));
    EXPECT_FALSE(json.contains("fanCount"));
    EXPECT_FALSE(json.contains("cpuCelsius"));
    EXPECT_FALSE(json.contains("gpuPercent"));
    EXPECT_FALSE(json["fans"][1].contains("rpm"));
    EXPECT_FALSE(json["fans"][1].contains("maximum"));
    EXPECT_EQ(json["fans"][1]["id"], 1);
}

TEST(SensorRecords, OptionalsMayBeMissingOrNull) {
    auto json = minimalJson();
    auto payload = decodeSensorPayload(json.dump());
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->sampledUptime, 10.0);
    EXPECT_EQ(payload->cpuCelsius, std::nullopt);

    json["cpuCelsius"] = nullptr;
    json["fans"] = {{{"id", 0}, {"rpm", nullptr}}};
    payload = decodeSensorPayload(json.dump());
    ASSERT_TRUE(payload);
    EXPECT_EQ(payload->fans, (std::vector<SensorFan>{{0, std::nullopt, std::nullopt}}));

    json["unknownKey"] = {1, 2, 3};
    EXPECT_TRUE(decodeSensorPayload(json.dump()));
}

TEST(SensorRecords, EveryRequiredFieldIsRequired) {
    for (const char* key :
         {"schema", "nonce", "version", "sampledUptime", "fans", "cpuSensorCount"}) {
        auto json = minimalJson();
        json.erase(key);
        EXPECT_FALSE(decodeSensorPayload(json.dump())) << key;
    }
    auto fanWithoutId = minimalJson();
    fanWithoutId["fans"] = {{{"rpm", 100}}};
    EXPECT_FALSE(decodeSensorPayload(fanWithoutId.dump()));

    for (const char* key : {"schema", "nonce", "fans", "temperature", "gpu"}) {
        auto json = nlohmann::json::parse(encode(SensorRequest{}));
        json.erase(key);
        EXPECT_FALSE(decodeSensorRequest(json.dump())) << key;
    }
}

TEST(SensorRecords, WrongTypesAreRejected) {
    auto with = [](const char* key, nlohmann::json value) {
        auto json = minimalJson();
        json[key] = std::move(value);
        return decodeSensorPayload(json.dump());
    };
    EXPECT_FALSE(with("schema", "1"));
    EXPECT_FALSE(with("schema", 1.5));
    EXPECT_FALSE(with("schema", 18446744073709551615u));
    EXPECT_FALSE(with("nonce", 5));
    EXPECT_FALSE(with("sampledUptime", true));
    EXPECT_FALSE(with("fans", nlohmann::json::object()));
    EXPECT_FALSE(with("fans", {1, 2}));
    EXPECT_FALSE(with("fanCount", 2.5));
    EXPECT_FALSE(with("gpuPercent", "12"));
    EXPECT_TRUE(with("cpuCelsius", 60));
    EXPECT_FALSE(
        decodeSensorRequest(R"({"schema":1,"nonce":"n","fans":1,"temperature":true,"gpu":false})"));
}

TEST(SensorRecords, NonFiniteNumbersAreRejected) {
    const std::string base =
        R"({"schema":1,"nonce":"n","version":"1","fans":[],"cpuSensorCount":0,)";
    EXPECT_TRUE(decodeSensorPayload(base + R"("sampledUptime":1e300})"));
    EXPECT_FALSE(decodeSensorPayload(base + R"("sampledUptime":1e400})"));
    EXPECT_FALSE(decodeSensorPayload(base + R"("sampledUptime":-1e400})"));
    EXPECT_FALSE(decodeSensorPayload(base + R"("sampledUptime":NaN})"));
    EXPECT_FALSE(decodeSensorPayload(base + R"("sampledUptime":1,"cpuCelsius":1e999})"));
    EXPECT_FALSE(
        decodeSensorPayload(base + R"("sampledUptime":1,"fans":[{"id":0,"maximum":-1e999}]})"));
}

TEST(SensorRecords, MalformedOrDeepInputIsRejected) {
    EXPECT_FALSE(decodeSensorPayload(""));
    EXPECT_FALSE(decodeSensorPayload("[]"));
    EXPECT_FALSE(decodeSensorPayload("null"));
    EXPECT_FALSE(decodeSensorPayload(minimalJson().dump() + "x"));
    EXPECT_FALSE(decodeSensorPayload(minimalJson().dump().substr(0, 20)));
    EXPECT_FALSE(decodeSensorPayload(std::string("{\"nonce\":\"\xFF\"}")));
    EXPECT_FALSE(decodeSensorPayload(R"({"schema":1,"schema":2})"));

    auto deep = minimalJson();
    deep["extra"] = nlohmann::json::array();
    nlohmann::json* level = &deep["extra"];
    for (int i = 0; i < 10; ++i) {
        level->push_back(nlohmann::json::array());
        level = &(*level)[0];
    }
    EXPECT_FALSE(decodeSensorPayload(deep.dump()));
    EXPECT_FALSE(decodeSensorPayload(std::string(100000, '[') + std::string(100000, ']')));
}

} // namespace
