#pragma once

#include "platform/system/LinkDump.h"
#include "platform/system/SystemRoots.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sys {

// The record layout of the interface list: one fixed-size record per interface, little-endian,
// which is what the network reader walks.
namespace interfacerecord {
inline constexpr std::size_t length = 160;
inline constexpr std::uint8_t typeInterfaceInfo = 18;
inline constexpr std::size_t lengthOffset = 0;    // u16
inline constexpr std::size_t typeOffset = 3;      // u8
inline constexpr std::size_t flagsOffset = 8;     // 32-bit interface flags
inline constexpr std::size_t indexOffset = 12;    // u16
inline constexpr std::size_t receivedOffset = 96; // u64 input bytes
inline constexpr std::size_t sentOffset = 104;    // u64 output bytes
} // namespace interfacerecord

inline constexpr std::uint32_t interfaceFlagUp = 0x1;
inline constexpr std::uint32_t interfaceFlagRunning = 0x40;

// Appends one record for the interface to `records`.
void appendInterfaceRecord(std::vector<std::uint8_t>& records, std::uint16_t index,
                           std::uint32_t flags, std::uint64_t received, std::uint64_t sent);

// The machine's links that carry the user's own traffic, as interface records. Listed are links of
// type Ethernet (Wi-Fi included) or a cellular modem's raw-IP type with a `device` link in
// /sys/class/net/<name>, and dial-up (PPP) links unless a PPPoE session runs, whose traffic the
// Ethernet link below it already counts. Each interface index is judged once. So eth0, enp3s0,
// wlp2s0, wwan0 and ppp0 are listed, while lo, bridges, veth, tun, WireGuard and docker interfaces
// are not: their traffic also crosses a listed link, or never leaves the machine.
// After a first full list, each read asks the source for the hardware interfaces of the last
// list alone and lists them afresh, and lists everything again whenever the source says the
// interfaces may have changed.
class InterfaceList {
public:
    explicit InterfaceList(SystemRoots roots, std::unique_ptr<LinkDumpSource> source =
                                                  std::make_unique<NetlinkLinkDump>());

    // The records of the hardware interfaces, valid until the next call; empty when the kernel
    // could not be asked. An empty span is a list with no hardware interface in it.
    std::optional<std::span<const std::uint8_t>> read();

    // The name of an interface of the last list by its record index, as if_indextoname gives it.
    std::optional<std::string_view> name(std::uint16_t index) const;

private:
    bool isHardware(const InterfaceLink& link);
    bool hasDevice(const std::string& name) const;
    bool hasPppoeSession() const;

    SystemRoots roots_;
    std::unique_ptr<LinkDumpSource> source_;
    std::vector<InterfaceLink> links_;
    std::vector<std::uint8_t> records_;
    std::vector<std::pair<std::uint16_t, std::string>> names_;
    // The interface indexes of the last list's records; empty until a list was read.
    std::vector<std::uint32_t> hardware_;
    bool listed_ = false;
    // Whether a link is listed, by interface index; entries of interfaces that left the list are
    // dropped, so churning virtual interfaces cannot grow it.
    std::unordered_map<std::uint32_t, bool> counted_;
};

} // namespace sys
