#include "platform/system/InterfaceList.h"

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
        std::erase_if(hasDevice_, [&](const auto& entry) {
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
    if (link.linkType != ARPHRD_ETHER || !isValidInterfaceName(link.name))
        return false;
    auto cached = hasDevice_.find(link.index);
    if (cached != hasDevice_.end())
        return cached->second;
    struct stat status {};
    auto device = roots_.sys / "class/net" / link.name / "device";
    bool hasDevice = ::lstat(device.c_str(), &status) == 0;
    hasDevice_.emplace(link.index, hasDevice);
    return hasDevice;
}

} // namespace sys
