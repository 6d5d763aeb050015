// Feeds arbitrary bytes to the kernel answers the kernel readers parse: both halves of the
// interface list (the rtnetlink message parsers that read the kernel's link dump and its
// statistics answers, and the record walk of the network reader) and the DRM clients' fdinfo
// text behind the GPU load. None may read out of bounds; every name the walk produces must be
// well-formed UTF-8 of at most 15 bytes' worth of characters; a parsed client always has a driver
// and an id, and its load against itself is a percentage.
#include "platform/system/AcceleratorRegistry.h"
#include "platform/system/DrmFdinfo.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/LinkDump.h"
#include "sources/NetworkReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool isWellFormedUTF8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80 && (lead < 0xC2 || lead > 0xF4))
            return false;
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);

    // Names come out of the input too, so the repair of invalid UTF-8 sees every kind of byte.
    auto nameOf = [bytes](std::uint16_t index) -> std::optional<std::string_view> {
        if (bytes.empty() || index % 5 == 0)
            return std::nullopt;
        std::size_t start = index % bytes.size();
        std::size_t length = std::min<std::size_t>(24, bytes.size() - start);
        return std::string_view(reinterpret_cast<const char*>(bytes.data() + start), length);
    };
    for (const auto& [name, counters] : pulsedeck::walkInterfaceRecords(bytes, nameOf)) {
        // U+FFFD is three bytes: fifteen repaired bytes make at most 45.
        if (name.size() > 45 || !isWellFormedUTF8(name))
            std::abort();
    }

    std::uint32_t sequence = 0;
    // The first message's own sequence number, so the parser takes the input as its dump.
    if (size >= 12)
        std::memcpy(&sequence, data + 8, sizeof sequence);
    std::vector<sys::InterfaceLink> links;
    sys::parseLinkMessages(bytes, sequence, links);

    // Whatever the parser accepted lays out as records the walk reads back exactly.
    std::vector<std::uint8_t> records;
    for (const auto& link : links) {
        sys::appendInterfaceRecord(records, static_cast<std::uint16_t>(link.index),
                                   sys::interfaceFlagUp | sys::interfaceFlagRunning, link.received,
                                   link.sent);
    }
    if (records.size() != links.size() * sys::interfacerecord::length)
        std::abort();
    pulsedeck::walkInterfaceRecords(records, nameOf);

    // Statistics answers only ever name links the dump listed, and count every answer.
    std::vector<sys::InterfaceLink> counted;
    std::size_t replies = 0;
    sys::parseStatsMessages(bytes, sequence, links, counted, replies);
    if (counted.size() > replies)
        std::abort();
    for (const auto& link : counted) {
        if (std::none_of(links.begin(), links.end(),
                         [&](const auto& known) { return known.index == link.index; }))
            std::abort();
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto client = sys::parseDrmFdinfo(text)) {
        if (client->driver.empty() || client->clientID.empty())
            std::abort();
        // The same client read twice, and read against a second client parsed from the tail.
        auto later = sys::parseDrmFdinfo(text.substr(size / 2));
        std::vector<sys::DrmClientUsage> before{*client};
        std::vector<sys::DrmClientUsage> after{*client};
        if (later)
            after.push_back(*later);
        auto load = sys::engineTimeLoad(before, after, 1.0);
        if (!load || !(*load >= 0 && *load <= 100))
            std::abort();
    }
    return 0;
}
