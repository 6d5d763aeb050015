#include "sources/FanReader.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace pulsedeck {

namespace {

namespace smc = sys::smc;

constexpr double maximumValue = 100'000;
constexpr int maximumFans = 10;
constexpr double maximumKeyCount = 20'000;
constexpr std::uint32_t maximumDataSize = 32;

std::uint16_t bigEndian16(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8) | bytes[1]);
}

std::string fanKey(int index, std::string_view suffix) {
    return "F" + std::to_string(index) + std::string(suffix);
}

} // namespace

std::uint32_t fourCharCode(std::string_view name) {
    std::uint32_t code = 0;
    for (char c : name)
        code = (code << 8) | static_cast<std::uint8_t>(c);
    return code;
}

FanReader::FanReader(std::shared_ptr<sys::SmcTransport> transport, MachineIdentity identity)
    : transport_(std::move(transport)), identity_(std::move(identity)), model_(identity_.model()) {}

bool FanReader::openIfNeeded() {
    if (!connection_ && transport_)
        connection_ = transport_->open();
    return connection_ != nullptr;
}

std::optional<sys::SmcBlock> FanReader::call(const sys::SmcBlock& request) {
    sys::SmcBlock reply{};
    std::size_t replySize = 0;
    int status = connection_->callStructMethod(smc::structSelector, request, reply, replySize);
    if (status != smc::statusSuccess) {
        connection_.reset();
        metadata_.clear();
        return std::nullopt;
    }
    if (replySize != sys::smcBlockSize || reply[smc::resultOffset] != smc::resultSuccess) {
        return std::nullopt;
    }
    return reply;
}

std::optional<sys::SmcBlock> FanReader::send(std::uint8_t command, sys::SmcBlock block) {
    if (!connection_)
        return std::nullopt;
    block[smc::commandOffset] = command;
    return call(block);
}

std::optional<double> FanReader::readKey(std::string_view name) {
    if (!openIfNeeded())
        return std::nullopt;
    if (name.size() != 4)
        return std::nullopt;
    std::uint32_t code = fourCharCode(name);

    sys::SmcBlock request{};
    smc::storeU32(request, smc::keyOffset, code);

    KeyInfo info{};
    if (auto cached = metadata_.find(code); cached != metadata_.end()) {
        info = cached->second;
    } else {
        auto reply = send(smc::readKeyInfo, request);
        if (!reply)
            return std::nullopt;
        info = {smc::loadU32(*reply, smc::dataSizeOffset),
                smc::loadU32(*reply, smc::dataTypeOffset)};
        if (info.size == 0 || info.size > maximumDataSize)
            return std::nullopt;
        metadata_[code] = info;
    }

    smc::storeU32(request, smc::dataSizeOffset, info.size);
    auto reply = send(smc::readBytes, request);
    if (!reply) {
        metadata_.erase(code);
        return std::nullopt;
    }
    return decode(info.type,
                  std::span<const std::uint8_t>(reply->data() + smc::dataOffset, info.size));
}

std::optional<double> FanReader::decode(std::uint32_t type, std::span<const std::uint8_t> bytes) {
    std::optional<double> value;
    if (type == fourCharCode("flt ") && bytes.size() == 4) {
        std::uint32_t bits;
        std::memcpy(&bits, bytes.data(), sizeof bits);
        value = std::bit_cast<float>(bits);
    } else if (type == fourCharCode("sp78") && bytes.size() == 2) {
        value = static_cast<std::int16_t>(bigEndian16(bytes)) / 256.0;
    } else if (type == fourCharCode("fpe2") && bytes.size() == 2) {
        value = bigEndian16(bytes) / 4.0;
    } else if (type == fourCharCode("ui8 ") && bytes.size() == 1) {
        value = bytes[0];
    } else if (type == fourCharCode("ui16") && bytes.size() == 2) {
        value = bigEndian16(bytes);
    } else if (type == fourCharCode("ui32") && bytes.size() == 4) {
        value =
            static_cast<double>((std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                (std::uint32_t{bytes[2]} << 8) | bytes[3]);
    }
    if (!value || !std::isfinite(*value) || *value < 0 || *value > maximumValue) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> FanReader::listTemperatureKeys() {
    if (!openIfNeeded())
        return {};
    auto count = readKey("#KEY");
    if (!count || *count < 1 || *count > maximumKeyCount)
        return {};

    std::vector<std::string> keys;
    const auto total = static_cast<std::uint32_t>(*count);
    for (std::uint32_t index = 0; index < total; ++index) {
        sys::SmcBlock request{};
        request[smc::commandOffset] = smc::keyAtIndex;
        smc::storeU32(request, smc::indexOffset, index);
        sys::SmcBlock reply{};
        std::size_t replySize = 0;
        // The listing skips what fails and never closes the connection.
        if (connection_->callStructMethod(smc::structSelector, request, reply, replySize) !=
                smc::statusSuccess ||
            replySize != sys::smcBlockSize || reply[smc::resultOffset] != smc::resultSuccess) {
            continue;
        }
        std::uint32_t code = smc::loadU32(reply, smc::keyOffset);
        std::string name(4, '\0');
        bool ascii = true;
        for (int i = 0; i < 4; ++i) {
            auto byte = static_cast<std::uint8_t>(code >> (24 - 8 * i));
            ascii = ascii && byte < 0x80;
            name[static_cast<std::size_t>(i)] = static_cast<char>(byte);
        }
        if (ascii && (name.starts_with("Tp") || name.starts_with("TC"))) {
            keys.push_back(std::move(name));
        }
    }
    return keys;
}

FanSnapshot FanReader::sample() {
    FanSnapshot snapshot;
    snapshot.model = model_;
    if (identity_.isFanless()) {
        snapshot.detectedCount = 0;
        return snapshot;
    }
    auto count = readKey("FNum");
    if (!count || *count > maximumFans || *count < 0 || std::floor(*count) != *count) {
        return snapshot;
    }
    const int fans = static_cast<int>(*count);
    for (int i = 0; i < fans; ++i) {
        FanReading reading{.id = i, .rpm = readKey(fanKey(i, "Ac")), .maximum = std::nullopt};
        if (auto maximum = readKey(fanKey(i, "Mx")); maximum && *maximum > 0) {
            reading.maximum = maximum;
        }
        snapshot.fans.push_back(reading);
    }
    snapshot.detectedCount = fans;
    return snapshot;
}

} // namespace pulsedeck
