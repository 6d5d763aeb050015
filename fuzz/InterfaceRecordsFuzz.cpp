// Feeds arbitrary bytes to the kernel answers the kernel readers parse: both halves of the
// interface list (the rtnetlink message parsers that read the kernel's link dump and its
// statistics answers, and the record walk of the network reader) and the DRM clients' fdinfo
// text behind the GPU load. None may read out of bounds; every name the walk produces must be
// well-formed UTF-8 of at most 15 bytes' worth of characters; a parsed client always has a driver
// and an id, and its load against itself is a percentage. Then the readers' own use of them: two
// successive snapshots of links through the interface list's choice of hardware links and the
// network reader's rates, and two successive reads of a device's clients through the engine-time
// load. A rate is never negative nor more than the bytes counted allow, the interfaces it counts
// are hardware links that are up and running, and a load over a positive interval is a percentage.
#include "platform/dispatch/Clock.h"
#include "platform/system/AcceleratorRegistry.h"
#include "platform/system/DrmFdinfo.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/LinkDump.h"
#include "sources/NetworkReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <net/if_arp.h>
#include <set>
#include <stdlib.h>

namespace {

constexpr std::uint32_t upRunning = sys::interfaceFlagUp | sys::interfaceFlagRunning;
constexpr std::uint16_t linkTypeRawIP = 519;

// A machine whose sysfs gives eth0, wlan0 and wwan0 a device and nothing else one, laid out once
// per run in a temporary folder and removed at exit.
class FakeMachine {
public:
    FakeMachine() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pulsedeck-fuzz-XXXXXX");
        if (!mkdtemp(pattern.data()))
            std::abort();
        root_ = pattern;
        for (const char* name : {"eth0", "wlan0", "wwan0"})
            std::filesystem::create_directories(root_ / "sys/class/net" / name / "device");
        std::filesystem::create_directories(root_ / "proc/net");
        std::ofstream(root_ / "proc/net/pppoe") << "Id       Address              Device\n";
    }
    ~FakeMachine() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    FakeMachine(const FakeMachine&) = delete;
    FakeMachine& operator=(const FakeMachine&) = delete;

    sys::SystemRoots roots() const { return sys::SystemRoots::under(root_); }
    static bool hasDevice(std::string_view name) {
        return name == "eth0" || name == "wlan0" || name == "wwan0";
    }

private:
    std::filesystem::path root_;
};

// Links as a kernel might list them, twelve bytes each: a desktop's link or one of a name the
// bytes spell, flags and counters. A name keeps its index and its type, as a kernel's do.
std::vector<sys::InterfaceLink> linksFrom(std::span<const std::uint8_t> bytes) {
    struct Known {
        const char* name;
        std::uint16_t type;
    };
    static constexpr std::array<Known, 6> known = {{{"eth0", ARPHRD_ETHER},
                                                    {"wlan0", ARPHRD_ETHER},
                                                    {"wwan0", linkTypeRawIP},
                                                    {"ppp0", ARPHRD_PPP},
                                                    {"lo", ARPHRD_LOOPBACK},
                                                    {"docker0", ARPHRD_ETHER}}};
    std::vector<sys::InterfaceLink> links;
    for (std::size_t at = 0; at + 12 <= bytes.size(); at += 12) {
        const auto* record = bytes.data() + at;
        sys::InterfaceLink link;
        if (record[0] < 224) {
            const std::size_t which = record[0] % known.size();
            link.index = std::uint32_t(1 + which);
            link.name = known[which].name;
            link.linkType = known[which].type;
        } else {
            link.index = 100;
            for (std::size_t i = 0; i < 3; ++i) {
                link.name.push_back(char('a' + record[2 + i] % 26));
                link.index = link.index * 26 + record[2 + i] % 26;
            }
            link.linkType = record[0] & 1 ? ARPHRD_PPP : ARPHRD_ETHER;
        }
        link.flags = record[1] & 0x10 ? sys::interfaceFlagUp : upRunning;
        std::uint32_t received = 0, sent = 0;
        std::memcpy(&received, record + 4, sizeof received);
        std::memcpy(&sent, record + 8, sizeof sent);
        // Counters near the top of their range too, so that sums and wraps are reached.
        const std::uint64_t base = record[1] & 1 ? 0 : std::uint64_t(1) << 63;
        link.received = base + received;
        link.sent = base + sent;
        links.push_back(std::move(link));
    }
    return links;
}

// Hands out one snapshot per dump, and answers a refresh from the next one when it lists every
// asked interface.
class SnapshotDump final : public sys::LinkDumpSource {
public:
    explicit SnapshotDump(std::vector<std::vector<sys::InterfaceLink>> snapshots, bool refreshes)
        : snapshots_(std::move(snapshots)), refreshes_(refreshes) {}
    bool dump(std::vector<sys::InterfaceLink>& links) override {
        if (next_ >= snapshots_.size())
            return false;
        links = snapshots_[next_++];
        return true;
    }
    bool refresh(std::span<const std::uint32_t> indexes,
                 std::vector<sys::InterfaceLink>& links) override {
        links.clear();
        if (!refreshes_ || next_ >= snapshots_.size())
            return false;
        for (std::uint32_t index : indexes) {
            const auto& snapshot = snapshots_[next_];
            auto found = std::find_if(snapshot.begin(), snapshot.end(),
                                      [&](const auto& link) { return link.index == index; });
            if (found == snapshot.end())
                return false;
            links.push_back(*found);
        }
        ++next_;
        return true;
    }

private:
    std::vector<std::vector<sys::InterfaceLink>> snapshots_;
    bool refreshes_;
    std::size_t next_ = 0;
};

// `desktop` for links of linksFrom, whose names keep their index and type, so that which links
// count is known.
void checkRates(const pulsedeck::NetworkSnapshot& snapshot, double interval,
                const std::vector<sys::InterfaceLink>& links, bool desktop) {
    if (!std::is_sorted(snapshot.interfaces.begin(), snapshot.interfaces.end()) ||
        std::adjacent_find(snapshot.interfaces.begin(), snapshot.interfaces.end()) !=
            snapshot.interfaces.end())
        std::abort();
    for (const auto& name : snapshot.interfaces) {
        const bool listed = std::any_of(links.begin(), links.end(), [&](const auto& link) {
            return link.name == name && (link.flags & upRunning) == upRunning;
        });
        if (!listed || (desktop && (name == "lo" || name == "docker0")))
            std::abort();
    }
    // Never more than every counter of the snapshot over the interval.
    double counted = 0;
    for (const auto& link : links)
        counted += double(std::max(link.received, link.sent));
    for (const auto& rate : {snapshot.download, snapshot.upload}) {
        if (!rate)
            continue;
        if (!std::isfinite(*rate) || *rate < 0 || interval <= 0 || interval > 5 ||
            *rate * interval > counted * (1 + 1e-9))
            std::abort();
        if (pulsedeck::formatRate(rate) == "\u2014")
            std::abort();
    }
}

// Two reads of the network reader over the snapshots, the second after `interval` seconds.
void sampleTwice(std::vector<sys::InterfaceLink> first, std::vector<sys::InterfaceLink> second,
                 double interval, bool refreshes, bool desktop) {
    static const FakeMachine machine;
    dispatch::VirtualClock clock;
    pulsedeck::NetworkReader reader(
        sys::InterfaceList(
            machine.roots(),
            std::make_unique<SnapshotDump>(
                std::vector<std::vector<sys::InterfaceLink>>{first, second}, refreshes)),
        clock);
    const auto before = reader.sample(true);
    if (before.download || before.upload)
        std::abort();
    checkRates(before, 1, first, desktop);
    for (const auto& name : desktop ? before.interfaces : std::vector<std::string>{}) {
        auto link = std::find_if(first.begin(), first.end(),
                                 [&](const auto& candidate) { return candidate.name == name; });
        if (link->linkType != ARPHRD_PPP && !FakeMachine::hasDevice(name))
            std::abort();
    }
    clock.advance(interval);
    checkRates(reader.sample(true), interval, second, desktop);
    if (reader.sample(false) != pulsedeck::NetworkSnapshot{})
        std::abort();
}

// The fdinfo texts of one read of a device's clients: one per paragraph.
std::vector<sys::DrmClientUsage> clientsIn(std::string_view text) {
    std::vector<sys::DrmClientUsage> clients;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find("\n\n"), text.size());
        if (auto client = sys::parseDrmFdinfo(text.substr(0, end)))
            clients.push_back(std::move(*client));
        text.remove_prefix(std::min(end + 2, text.size()));
    }
    return clients;
}

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

    // Two reads of a device's clients: the first half's, then all of them a moment later.
    const double seconds = (size % 9) * 0.25;
    const auto load =
        sys::engineTimeLoad(clientsIn(text.substr(0, size / 2)), clientsIn(text), seconds);
    if (seconds > 0 ? !load || !(*load >= 0 && *load <= 100) : load.has_value())
        std::abort();

    // Two snapshots of links a moment apart: the kernel's dump, then its statistics answers; and
    // a desktop's links from each half.
    const double interval = size ? (data[size - 1] % 64) / 8.0 : 1;
    const bool refreshes = size && data[0] & 1;
    sampleTwice(links, counted, interval, refreshes, false);
    auto half = bytes.subspan(0, size / 2);
    sampleTwice(linksFrom(half), linksFrom(bytes.subspan(size / 2)), interval, refreshes, true);

    // The same rates from the records the walk reads, as the reader forms them.
    pulsedeck::NetworkRateState state;
    auto walkedLinks = [&](std::span<const std::uint8_t> part) {
        std::vector<std::uint8_t> laidOut;
        for (const auto& link : linksFrom(part))
            sys::appendInterfaceRecord(laidOut, static_cast<std::uint16_t>(link.index), link.flags,
                                       link.received, link.sent);
        return pulsedeck::walkInterfaceRecords(laidOut, nameOf);
    };
    if (pulsedeck::formNetworkRates(state, walkedLinks(half), 10).download)
        std::abort();
    const auto later =
        pulsedeck::formNetworkRates(state, walkedLinks(bytes.subspan(size / 2)), 10 + interval);
    for (const auto& rate : {later.download, later.upload}) {
        if (rate && (!std::isfinite(*rate) || *rate < 0))
            std::abort();
    }
    return 0;
}
