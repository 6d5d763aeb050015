#include "platform/system/InterfaceList.h"

#include "platform/foundation/TextFile.h"

#include <algorithm>
#include <net/if_arp.h>
#include <sys/stat.h>

namespace sys {

namespace {

template <typename T> void storeLittleEndian(std::uint8_t* at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The kernel's own rule for interface names; anything else cannot name a sysfs folder.
bool isValidInterfaceName(std::string_view name) {
    constexpr std::size_t maxNameLength = 15;
    if (name.empty() || name.size() > maxNameLength || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string_view("/:\0", 3)) == std::string_view::npos;
}

// ARPHRD_RAWIP: a cellular modem's raw-IP link (not in every C library's header).
constexpr std::uint16_t linkTypeRawIP = 519;

} // namespace

void appendInterfaceRecord(std::vector<std::uint8_t>& records, std::uint16_t index,
                           std::uint32_t flags, std::uint64_t received, std::uint64_t sent) {
    using namespace interfacerecord;
    std::size_t start = records.size();
    records.resize(start + length, 0);
    std::uint8_t* record = records.data() + start;
    storeLittleEndian<std::uint16_t>(record + lengthOffset, length);
    record[typeOffset] = typeInterfaceInfo;
    storeLittleEndian(record + flagsOffset, flags);
    storeLittleEndian(record + indexOffset, index);
    storeLittleEndian(record + receivedOffset, received);
    storeLittleEndian(record + sentOffset, sent);
}

InterfaceList::InterfaceList(SystemRoots roots, std::unique_ptr<LinkDumpSource> source)
    : roots_(std::move(roots)), source_(std::move(source)) {}

std::optional<std::span<const std::uint8_t>> InterfaceList::read() {
    records_.clear();
    names_.clear();
    if (!listed_ || !source_->refresh(hardware_, links_)) {
        listed_ = false;
        hardware_.clear();
        if (!source_->dump(links_)) {
            links_.clear();
            return std::nullopt;
        }
        std::erase_if(counted_, [&](const auto& entry) {
            return std::none_of(links_.begin(), links_.end(), [&](const InterfaceLink& link) {
                return link.index == entry.first;
            });
        });
    }
    hardware_.clear();
    for (const InterfaceLink& link : links_) {
        if (!isHardware(link))
            continue;
        auto index = static_cast<std::uint16_t>(link.index);
        appendInterfaceRecord(records_, index, link.flags, link.received, link.sent);
        names_.emplace_back(index, link.name);
        hardware_.push_back(link.index);
    }
    listed_ = true;
    return std::span<const std::uint8_t>(records_);
}

std::optional<std::string_view> InterfaceList::name(std::uint16_t index) const {
    for (const auto& [known, name] : names_) {
        if (known == index)
            return std::string_view(name);
    }
    return std::nullopt;
}

bool InterfaceList::isHardware(const InterfaceLink& link) {
    if (!isValidInterfaceName(link.name))
        return false;
    auto cached = counted_.find(link.index);
    if (cached != counted_.end())
        return cached->second;
    bool counted = false;
    switch (link.linkType) {
    case ARPHRD_ETHER:
    case ARPHRD_NONE:
    case linkTypeRawIP:
        counted = hasDevice(link.name);
        break;
    case ARPHRD_PPP:
        counted = !hasPppoeSession();
        break;
    default:
        break;
    }
    counted_.emplace(link.index, counted);
    return counted;
}

bool InterfaceList::hasDevice(const std::string& name) const {
    struct stat status {};
    auto device = roots_.sys / "class/net" / name / "device";
    return ::lstat(device.c_str(), &status) == 0;
}

// /proc/net/pppoe holds a header line, then one line per session.
bool InterfaceList::hasPppoeSession() const {
    constexpr std::size_t sessionTableLimit = 64 * 1024;
    auto table = foundation::readTextFile(roots_.proc / "net/pppoe", sessionTableLimit);
    if (!table)
        return false;
    std::string_view text = *table;
    std::size_t headerEnd = text.find('\n');
    if (headerEnd == std::string_view::npos)
        return false;
    return text.find_first_not_of(" \t\n", headerEnd) != std::string_view::npos;
}

} // namespace sys
