#include "platform/system/HwmonSmcEmulator.h"

#include "platform/foundation/TextFile.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <utility>

namespace sys {

namespace {

constexpr std::string_view keyDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr std::size_t maxKeysPerFamily = keyDigits.size() * keyDigits.size();
constexpr std::size_t maxFans = 10;

std::uint32_t codeOf(std::string_view name) {
    std::uint32_t code = 0;
    for (char c : name)
        code = (code << 8) | static_cast<std::uint8_t>(c);
    return code;
}

std::string indexedName(std::string_view prefix, std::size_t index) {
    std::string name(prefix);
    name += keyDigits[index / keyDigits.size()];
    name += keyDigits[index % keyDigits.size()];
    return name;
}

std::size_t byteCount(std::string_view type) {
    if (type == "ui8 ")
        return 1;
    return 4;
}

std::optional<double> parseReading(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    long long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data())
        return std::nullopt;
    return static_cast<double>(value);
}

void encode(std::string_view type, double value, SmcBlock& block) {
    std::uint8_t* data = block.data() + smc::dataOffset;
    if (type == "flt ") {
        auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(value));
        std::memcpy(data, &bits, sizeof bits);
    } else if (type == "ui8 ") {
        data[0] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
    } else {
        auto raw = static_cast<std::uint32_t>(std::clamp(value, 0.0, 4294967295.0));
        data[0] = static_cast<std::uint8_t>(raw >> 24);
        data[1] = static_cast<std::uint8_t>(raw >> 16);
        data[2] = static_cast<std::uint8_t>(raw >> 8);
        data[3] = static_cast<std::uint8_t>(raw);
    }
}

// A sensor file slower than this to read is holding up the sampling queue (firmware behind it).
constexpr double slowRead = 0.004;
// After this many slow reads in a row the sensor is read only every few seconds, and its last
// value serves in between.
constexpr int slowReadsBeforeBackoff = 3;
constexpr double backoffInterval = 5.0;

class EmulatedConnection final : public SmcConnection {
public:
    EmulatedConnection(std::shared_ptr<const std::vector<HwmonSmcEmulator::Key>> keys,
                       const dispatch::Clock& clock)
        : keys_(std::move(keys)), clock_(clock), sensors_(keys_->size()) {
        for (std::size_t i = 0; i < keys_->size(); ++i)
            byCode_[codeOf((*keys_)[i].name)] = i;
    }

    int callStructMethod(std::uint32_t selector, const SmcBlock& input, SmcBlock& output,
                         std::size_t& outputSize) override {
        output.fill(0);
        outputSize = 0;
        if (selector != smc::structSelector)
            return smc::statusBadArgument;
        outputSize = smcBlockSize;
        std::uint8_t& result = output[smc::resultOffset];
        switch (input[smc::commandOffset]) {
        case smc::readKeyInfo: {
            auto key = find(input);
            if (!key) {
                result = smc::resultKeyNotFound;
                break;
            }
            const auto& entry = (*keys_)[*key];
            smc::storeU32(output, smc::keyOffset, codeOf(entry.name));
            smc::storeU32(output, smc::dataSizeOffset,
                          static_cast<std::uint32_t>(byteCount(entry.type)));
            smc::storeU32(output, smc::dataTypeOffset, codeOf(entry.type));
            break;
        }
        case smc::readBytes: {
            auto key = find(input);
            if (!key) {
                result = smc::resultKeyNotFound;
                break;
            }
            const auto& entry = (*keys_)[*key];
            auto value = read(*key);
            if (smc::loadU32(input, smc::dataSizeOffset) != byteCount(entry.type) || !value) {
                result = smc::resultError;
                break;
            }
            smc::storeU32(output, smc::keyOffset, codeOf(entry.name));
            encode(entry.type, *value, output);
            break;
        }
        case smc::keyAtIndex: {
            std::uint32_t index = smc::loadU32(input, smc::indexOffset);
            if (index >= keys_->size()) {
                result = smc::resultKeyNotFound;
                break;
            }
            smc::storeU32(output, smc::keyOffset, codeOf((*keys_)[index].name));
            break;
        }
        default:
            result = smc::resultError;
        }
        return smc::statusSuccess;
    }

private:
    std::optional<std::size_t> find(const SmcBlock& input) const {
        auto it = byCode_.find(smc::loadU32(input, smc::keyOffset));
        if (it == byCode_.end())
            return std::nullopt;
        return it->second;
    }

    std::optional<double> read(std::size_t index) {
        const auto& entry = (*keys_)[index];
        if (entry.path.empty())
            return entry.constant;
        Sensor& sensor = sensors_[index];
        const double started = clock_.now();
        if (started < sensor.quietUntil)
            return sensor.last;
        if (!sensor.file)
            sensor.file = std::make_unique<foundation::KeptFile>(entry.path, 64);
        std::optional<double> value;
        if (auto text = sensor.file->read()) {
            if (auto raw = parseReading(*text))
                value = *raw / entry.divisor;
        }
        const double finished = clock_.now();
        sensor.slowStreak = finished - started > slowRead ? sensor.slowStreak + 1 : 0;
        if (sensor.slowStreak >= slowReadsBeforeBackoff)
            sensor.quietUntil = finished + backoffInterval;
        sensor.last = value;
        return value;
    }

    struct Sensor {
        std::unique_ptr<foundation::KeptFile> file;
        int slowStreak = 0;
        double quietUntil = 0;
        std::optional<double> last;
    };

    std::shared_ptr<const std::vector<HwmonSmcEmulator::Key>> keys_;
    const dispatch::Clock& clock_;
    std::vector<Sensor> sensors_;
    std::unordered_map<std::uint32_t, std::size_t> byCode_;
};

} // namespace

std::vector<HwmonSmcEmulator::Key> emulatedKeys(const HwmonCatalog& catalog) {
    using Key = HwmonSmcEmulator::Key;
    std::vector<Key> keys;
    // Fan keys are named in decimal, so the controller offers the first ten fans and counts only
    // those; a count above ten would be refused by its clients and blank every fan.
    const std::size_t fanCount = std::min(catalog.fans.size(), maxFans);
    keys.push_back({.name = "#KEY", .type = "ui32"});
    keys.push_back({.name = "FNum", .type = "ui8 ", .constant = static_cast<double>(fanCount)});

    for (std::size_t i = 0; i < fanCount; ++i) {
        const auto& fan = catalog.fans[i];
        std::string stem = "F" + std::to_string(i);
        keys.push_back({.name = stem + "Ac",
                        .type = "flt ",
                        .path = fan.input,
                        .driver = fan.driver,
                        .label = fan.label});
        if (fan.maximum) {
            keys.push_back({.name = stem + "Mx",
                            .type = "flt ",
                            .path = *fan.maximum,
                            .driver = fan.driver,
                            .label = fan.label});
        }
    }

    auto addTemperatures = [&keys](std::string_view prefix, const auto& channels) {
        for (std::size_t i = 0; i < channels.size() && i < maxKeysPerFamily; ++i) {
            keys.push_back({.name = indexedName(prefix, i),
                            .type = "flt ",
                            .path = channels[i].input,
                            .divisor = 1000,
                            .driver = channels[i].driver,
                            .label = channels[i].label});
        }
    };
    addTemperatures("Tp", catalog.packageTemperatures);
    addTemperatures("TC", catalog.processorTemperatures);

    keys.front().constant = static_cast<double>(keys.size());
    return keys;
}

HwmonSmcEmulator::HwmonSmcEmulator(SystemRoots roots, const dispatch::Clock& clock)
    : roots_(std::move(roots)), clock_(clock) {}

std::shared_ptr<const std::vector<HwmonSmcEmulator::Key>> HwmonSmcEmulator::keys() {
    std::lock_guard lock(mutex_);
    if (!keys_) {
        keys_ =
            std::make_shared<const std::vector<Key>>(emulatedKeys(HwmonCatalog::discover(roots_)));
    }
    return keys_;
}

std::unique_ptr<SmcConnection> HwmonSmcEmulator::open() {
    return std::make_unique<EmulatedConnection>(keys(), clock_);
}

} // namespace sys
