#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sys {

// One network interface as the kernel's link list gives it.
struct InterfaceLink {
    std::uint32_t index = 0;
    std::string name;
    std::uint32_t flags = 0;    // IFF_UP, IFF_RUNNING, … as the kernel reports them
    std::uint16_t linkType = 0; // ARPHRD_*
    std::uint64_t received = 0; // bytes, 64-bit counters
    std::uint64_t sent = 0;

    bool operator==(const InterfaceLink&) const = default;
};

// Where the interface list comes from; tests substitute a list of their own.
class LinkDumpSource {
public:
    virtual ~LinkDumpSource() = default;
    // Replaces `links` with every interface; false when the kernel could not be asked. Called
    // from one thread at a time.
    virtual bool dump(std::vector<InterfaceLink>& links) = 0;
    // Replaces `links` with the interfaces of `indexes` alone, in that order, as long as no
    // interface has come, gone or changed since the last dump. False when one may have, when one
    // of them is missing, or when the source cannot tell, as a source that only dumps never can:
    // the caller then dumps.
    virtual bool refresh(std::span<const std::uint32_t> indexes,
                         std::vector<InterfaceLink>& links) {
        static_cast<void>(indexes);
        links.clear();
        return false;
    }
};

enum class LinkDumpProgress { more, done, failed };

// Appends the links of one received chunk of an RTM_GETLINK dump with the given sequence number.
// Messages of other sequences (left over from an earlier, abandoned dump) are passed over; a
// link without a name or 64-bit statistics is left out. `done` at NLMSG_DONE, `failed` at an
// error message or a message that does not fit the chunk.
LinkDumpProgress parseLinkMessages(std::span<const std::uint8_t> chunk, std::uint32_t sequence,
                                   std::vector<InterfaceLink>& links);

// Appends, for each RTM_NEWSTATS answer of the sequence in one received chunk, the link of `known`
// with the answer's interface index, carrying the answer's 64-bit byte counters. Every answer is
// counted in `replies`; one for an unknown index or without those counters is left out. Messages
// of other sequences are passed over; `failed` at an error message or a message that does not fit
// the chunk, else `more` (single requests end without NLMSG_DONE).
LinkDumpProgress parseStatsMessages(std::span<const std::uint8_t> chunk, std::uint32_t sequence,
                                    std::span<const InterfaceLink> known,
                                    std::vector<InterfaceLink>& links, std::size_t& replies);

// The live list over rtnetlink sockets kept open between calls. A dump is one RTM_GETLINK dump.
// A refresh asks the kernel only for the counters of the named links (RTM_GETSTATS with the
// 64-bit link statistics, by index, all in one send), which spares it filling in every attribute
// of every interface, and takes name, flags and link type from the last dump: any change to
// those is announced (RTNLGRP_LINK, heard on a second socket joined before the first dump), and
// an announcement, a missing link or a failure refuses the refresh until the next dump. A failure
// closes the request socket, so the next call starts clean.
class NetlinkLinkDump final : public LinkDumpSource {
public:
    NetlinkLinkDump();
    ~NetlinkLinkDump() override;
    NetlinkLinkDump(const NetlinkLinkDump&) = delete;
    NetlinkLinkDump& operator=(const NetlinkLinkDump&) = delete;

    bool dump(std::vector<InterfaceLink>& links) override;
    bool refresh(std::span<const std::uint32_t> indexes,
                 std::vector<InterfaceLink>& links) override;

private:
    bool open();
    void close();
    // Whether the kernel announced a link change since the last call; reads every announcement
    // waiting. True when it cannot tell.
    bool linksChanged();
    bool send(std::span<const std::uint8_t> request);
    // The next chunk of answers; empty (and the socket closed) when none came.
    std::optional<std::span<const std::uint8_t>> receive();

    int fd_ = -1;
    int monitor_ = -1;
    // Whether the last dump succeeded with the monitor already listening.
    bool dumped_ = false;
    // The links of that dump.
    std::vector<InterfaceLink> known_;
    std::uint32_t sequence_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint8_t> request_;
};

} // namespace sys
