#pragma once

#include <cstdint>
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
};

enum class LinkDumpProgress { more, done, failed };

// Appends the links of one received chunk of an RTM_GETLINK dump with the given sequence number.
// Messages of other sequences (left over from an earlier, abandoned dump) are passed over; a
// link without a name or 64-bit statistics is left out. `done` at NLMSG_DONE, `failed` at an
// error message or a message that does not fit the chunk.
LinkDumpProgress parseLinkMessages(std::span<const std::uint8_t> chunk, std::uint32_t sequence,
                                   std::vector<InterfaceLink>& links);

// The live list: one rtnetlink RTM_GETLINK dump per call over a socket kept open between calls.
// A failure closes the socket, so the next call starts clean.
class NetlinkLinkDump final : public LinkDumpSource {
public:
    NetlinkLinkDump();
    ~NetlinkLinkDump() override;
    NetlinkLinkDump(const NetlinkLinkDump&) = delete;
    NetlinkLinkDump& operator=(const NetlinkLinkDump&) = delete;

    bool dump(std::vector<InterfaceLink>& links) override;

private:
    bool open();
    void close();

    int fd_ = -1;
    std::uint32_t sequence_ = 0;
    std::vector<std::uint8_t> buffer_;
};

} // namespace sys
