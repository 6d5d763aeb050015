#include "sources/NetworkReader.h"

namespace pulsedeck {

namespace {

constexpr std::size_t minimumRemaining = 112;
constexpr std::size_t nameBufferLength = 16;
constexpr double maximumInterval = 5.0;

template <typename T> T loadLittleEndian(const std::uint8_t* at) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(at[i]) << (8 * i);
    return value;
}

bool isContinuation(std::uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The number of bytes of the well-formed UTF-8 sequence at the start of `bytes`, or 0 when there
// is none; `consumed` is then the length of the ill-formed part to replace.
std::size_t sequenceLength(std::string_view bytes, std::size_t& consumed) {
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    std::uint8_t lead = byte(0);
    consumed = 1;
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF; // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= bytes.size())
            return 0;
        std::uint8_t next = byte(i);
        bool fits = i == 1 ? next >= low && next <= high : isContinuation(next);
        if (!fits)
            return 0;
        consumed = i + 1;
    }
    return length;
}

// The text with every ill-formed UTF-8 part replaced by U+FFFD.
std::string repairedUTF8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        std::size_t consumed = 0;
        std::size_t length = sequenceLength(bytes, consumed);
        if (length > 0) {
            text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        } else {
            text.append("\uFFFD");
            bytes.remove_prefix(consumed);
        }
    }
    return text;
}

// The name as the 16-byte buffer of if_indextoname holds it.
std::string interfaceName(std::string_view name) {
    name = name.substr(0, nameBufferLength - 1);
    name = name.substr(0, name.find('\0'));
    return repairedUTF8(name);
}

} // namespace

InterfaceCounters walkInterfaceRecords(std::span<const std::uint8_t> records,
                                       const InterfaceNameLookup& nameOf) {
    using namespace sys::interfacerecord;
    InterfaceCounters counters;
    const std::size_t end = records.size();
    std::size_t offset = 0;
    while (offset + minimumRemaining <= end) {
        const std::uint8_t* record = records.data() + offset;
        std::size_t recordLength = loadLittleEndian<std::uint16_t>(record + lengthOffset);
        if (recordLength == 0)
            break;
        std::size_t next = offset + recordLength;
        if (next > end)
            break;
        offset = next;
        if (recordLength < length || record[typeOffset] != typeInterfaceInfo)
            continue;
        auto name = nameOf(loadLittleEndian<std::uint16_t>(record + indexOffset));
        if (!name)
            continue;
        auto flags = loadLittleEndian<std::uint32_t>(record + flagsOffset);
        constexpr std::uint32_t upAndRunning = sys::interfaceFlagUp | sys::interfaceFlagRunning;
        if ((flags & upAndRunning) != upAndRunning)
            continue;
        counters.insert_or_assign(
            interfaceName(*name),
            NetworkCounters{loadLittleEndian<std::uint64_t>(record + receivedOffset),
                            loadLittleEndian<std::uint64_t>(record + sentOffset)});
    }
    return counters;
}

NetworkSnapshot formNetworkRates(NetworkRateState& state, InterfaceCounters current, double now) {
    NetworkSnapshot snapshot;
    snapshot.interfaces.reserve(current.size());
    for (const auto& [name, counters] : current)
        snapshot.interfaces.push_back(name);

    bool hasRates = state.previous && state.timestamp && *state.timestamp < now &&
                    now - *state.timestamp <= maximumInterval;
    double received = 0;
    double sent = 0;
    if (hasRates) {
        for (const auto& [name, counters] : current) {
            auto before = state.previous->find(name);
            if (before == state.previous->end() || counters.received < before->second.received ||
                counters.sent < before->second.sent) {
                hasRates = false;
                break;
            }
            received += static_cast<double>(counters.received - before->second.received);
            sent += static_cast<double>(counters.sent - before->second.sent);
        }
    }
    if (hasRates) {
        double interval = now - *state.timestamp;
        snapshot.download = received / interval;
        snapshot.upload = sent / interval;
    }
    state.previous = std::move(current);
    state.timestamp = now;
    return snapshot;
}

NetworkReader::NetworkReader(const sys::SystemRoots& roots, const dispatch::Clock& clock)
    : NetworkReader(sys::InterfaceList(roots), clock) {}

NetworkReader::NetworkReader(sys::InterfaceList list, const dispatch::Clock& clock)
    : list_(std::move(list)), clock_(clock) {}

NetworkSnapshot NetworkReader::sample(bool enabled) {
    if (enabled) {
        // A list without a single link is still a list: no traffic, which is 0, not unknown.
        auto records = list_.read();
        if (records) {
            auto counters = walkInterfaceRecords(
                *records, [this](std::uint16_t index) { return list_.name(index); });
            return formNetworkRates(state_, std::move(counters), clock_.now());
        }
    }
    state_ = {};
    return {};
}

} // namespace pulsedeck
