#include "platform/system/LinkDump.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <optional>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace sys {

namespace {

// Large enough for the biggest chunk the kernel sends a dump reader (32 KiB); a chunk that still
// does not fit grows the buffer, up to the limit, for the next dump.
constexpr std::size_t receiveBufferSize = 32 * 1024;
constexpr std::size_t receiveBufferLimit = 1024 * 1024;
// Announcements read per call at most; a storm of them keeps the dumps going until it passes.
constexpr std::size_t announcementReadLimit = 64;

template <typename T> T load(std::span<const std::uint8_t> bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// One RTM_NEWLINK message body (after the netlink header).
std::optional<InterfaceLink> parseLink(std::span<const std::uint8_t> body) {
    if (body.size() < sizeof(ifinfomsg))
        return std::nullopt;
    auto info = load<ifinfomsg>(body, 0);
    InterfaceLink link;
    link.index = static_cast<std::uint32_t>(info.ifi_index);
    link.flags = info.ifi_flags;
    link.linkType = info.ifi_type;
    bool named = false;
    bool counted = false;

    std::size_t offset = NLMSG_ALIGN(sizeof(ifinfomsg));
    while (offset + sizeof(rtattr) <= body.size()) {
        auto attribute = load<rtattr>(body, offset);
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > body.size() - offset)
            break;
        auto payload = body.subspan(offset + RTA_LENGTH(0), attribute.rta_len - RTA_LENGTH(0));
        switch (attribute.rta_type & NLA_TYPE_MASK) {
        case IFLA_IFNAME: {
            auto* text = reinterpret_cast<const char*>(payload.data());
            link.name.assign(text, ::strnlen(text, payload.size()));
            named = !link.name.empty();
            break;
        }
        case IFLA_STATS64:
            if (payload.size() >= offsetof(rtnl_link_stats64, tx_bytes) + sizeof(__u64)) {
                link.received = load<__u64>(payload, offsetof(rtnl_link_stats64, rx_bytes));
                link.sent = load<__u64>(payload, offsetof(rtnl_link_stats64, tx_bytes));
                counted = true;
            }
            break;
        default:
            break;
        }
        offset += RTA_ALIGN(attribute.rta_len);
    }
    if (!named || !counted)
        return std::nullopt;
    return link;
}

// One RTM_NEWSTATS message body: the known link of its index with the body's byte counters.
std::optional<InterfaceLink> parseStats(std::span<const std::uint8_t> body,
                                        std::span<const InterfaceLink> known) {
    if (body.size() < sizeof(if_stats_msg))
        return std::nullopt;
    auto header = load<if_stats_msg>(body, 0);
    auto link = std::find_if(known.begin(), known.end(), [&](const InterfaceLink& candidate) {
        return candidate.index == header.ifindex;
    });
    if (link == known.end())
        return std::nullopt;
    std::size_t offset = NLMSG_ALIGN(sizeof(if_stats_msg));
    while (offset + sizeof(nlattr) <= body.size()) {
        auto attribute = load<nlattr>(body, offset);
        if (attribute.nla_len < sizeof(nlattr) || attribute.nla_len > body.size() - offset)
            break;
        auto payload = body.subspan(offset + NLA_HDRLEN, attribute.nla_len - NLA_HDRLEN);
        if ((attribute.nla_type & NLA_TYPE_MASK) == IFLA_STATS_LINK_64 &&
            payload.size() >= offsetof(rtnl_link_stats64, tx_bytes) + sizeof(__u64)) {
            InterfaceLink counted = *link;
            counted.received = load<__u64>(payload, offsetof(rtnl_link_stats64, rx_bytes));
            counted.sent = load<__u64>(payload, offsetof(rtnl_link_stats64, tx_bytes));
            return counted;
        }
        offset += NLA_ALIGN(attribute.nla_len);
    }
    return std::nullopt;
}

// One request message: the netlink header, then the family's own header.
template <typename Body>
void appendRequest(std::vector<std::uint8_t>& request, std::uint16_t type, std::uint16_t flags,
                   std::uint32_t sequence, const Body& body) {
    struct {
        nlmsghdr header;
        Body body;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = type;
    message.header.nlmsg_flags = flags;
    message.header.nlmsg_seq = sequence;
    message.body = body;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&message);
    request.insert(request.end(), bytes, bytes + sizeof message);
}

void appendStatsRequest(std::vector<std::uint8_t>& request, std::uint32_t sequence, int index) {
    if_stats_msg stats{};
    stats.family = AF_UNSPEC;
    stats.ifindex = static_cast<std::uint32_t>(index);
    stats.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
    appendRequest(request, RTM_GETSTATS, NLM_F_REQUEST, sequence, stats);
}

void appendLinkRequest(std::vector<std::uint8_t>& request, std::uint32_t sequence,
                       std::uint16_t flags, int index) {
    ifinfomsg info{};
    info.ifi_family = AF_UNSPEC;
    info.ifi_index = index;
    appendRequest(request, RTM_GETLINK, flags, sequence, info);
}

} // namespace

LinkDumpProgress parseLinkMessages(std::span<const std::uint8_t> chunk, std::uint32_t sequence,
                                   std::vector<InterfaceLink>& links) {
    std::size_t offset = 0;
    while (offset + sizeof(nlmsghdr) <= chunk.size()) {
        auto header = load<nlmsghdr>(chunk, offset);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > chunk.size() - offset)
            return LinkDumpProgress::failed;
        if (header.nlmsg_seq == sequence) {
            if (header.nlmsg_type == NLMSG_DONE)
                return LinkDumpProgress::done;
            if (header.nlmsg_type == NLMSG_ERROR)
                return LinkDumpProgress::failed;
            if (header.nlmsg_type == RTM_NEWLINK) {
                auto body = chunk.subspan(offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
                if (auto link = parseLink(body))
                    links.push_back(std::move(*link));
            }
        }
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return LinkDumpProgress::more;
}

LinkDumpProgress parseStatsMessages(std::span<const std::uint8_t> chunk, std::uint32_t sequence,
                                    std::span<const InterfaceLink> known,
                                    std::vector<InterfaceLink>& links, std::size_t& replies) {
    std::size_t offset = 0;
    while (offset + sizeof(nlmsghdr) <= chunk.size()) {
        auto header = load<nlmsghdr>(chunk, offset);
        if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > chunk.size() - offset)
            return LinkDumpProgress::failed;
        if (header.nlmsg_seq == sequence) {
            if (header.nlmsg_type == NLMSG_ERROR || header.nlmsg_type == NLMSG_DONE)
                return LinkDumpProgress::failed;
            if (header.nlmsg_type == RTM_NEWSTATS) {
                ++replies;
                auto body = chunk.subspan(offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
                if (auto link = parseStats(body, known))
                    links.push_back(std::move(*link));
            }
        }
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return LinkDumpProgress::more;
}

NetlinkLinkDump::NetlinkLinkDump() : buffer_(receiveBufferSize) {}

NetlinkLinkDump::~NetlinkLinkDump() {
    close();
    if (monitor_ >= 0)
        ::close(monitor_);
}

bool NetlinkLinkDump::open() {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0)
        return false;
    // A reply that never comes must not hold the sampling queue for more than a moment.
    timeval timeout{1, 0};
    if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
        close();
        return false;
    }
    return true;
}

void NetlinkLinkDump::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    dumped_ = false;
}

bool NetlinkLinkDump::linksChanged() {
    if (monitor_ < 0) {
        monitor_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
        if (monitor_ < 0)
            return true;
        sockaddr_nl address{};
        address.nl_family = AF_NETLINK;
        address.nl_groups = RTMGRP_LINK;
        if (::bind(monitor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(monitor_);
            monitor_ = -1;
        }
        // Whatever happened before it listened is unknown.
        return true;
    }
    bool changed = false;
    for (std::size_t read = 0; read < announcementReadLimit; ++read) {
        ssize_t got = ::recv(monitor_, buffer_.data(), buffer_.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return changed;
        // An announcement, or ENOBUFS: announcements were lost.
        changed = true;
    }
    // Still more waiting: the next call reads on.
    return true;
}

bool NetlinkLinkDump::send(std::span<const std::uint8_t> request) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&kernel),
                 sizeof kernel) != static_cast<ssize_t>(request.size())) {
        close();
        return false;
    }
    return true;
}

std::optional<std::span<const std::uint8_t>> NetlinkLinkDump::receive() {
    for (;;) {
        ssize_t got = ::recv(fd_, buffer_.data(), buffer_.size(), MSG_TRUNC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || static_cast<std::size_t>(got) > buffer_.size()) {
            if (got > 0)
                buffer_.resize(std::min(static_cast<std::size_t>(got), receiveBufferLimit));
            close();
            return std::nullopt;
        }
        return std::span<const std::uint8_t>(buffer_.data(), static_cast<std::size_t>(got));
    }
}

bool NetlinkLinkDump::dump(std::vector<InterfaceLink>& links) {
    links.clear();
    // The announcements so far are answered by this dump; the monitor joins before the first
    // one, so no change after a dump goes unseen.
    linksChanged();
    if (fd_ < 0 && !open())
        return false;
    request_.clear();
    appendLinkRequest(request_, ++sequence_, NLM_F_REQUEST | NLM_F_DUMP, 0);
    if (!send(request_))
        return false;
    for (;;) {
        auto chunk = receive();
        if (!chunk) {
            links.clear();
            return false;
        }
        switch (parseLinkMessages(*chunk, sequence_, links)) {
        case LinkDumpProgress::done:
            dumped_ = monitor_ >= 0;
            known_ = links;
            return true;
        case LinkDumpProgress::failed:
            close();
            links.clear();
            return false;
        case LinkDumpProgress::more:
            break;
        }
    }
}

bool NetlinkLinkDump::refresh(std::span<const std::uint32_t> indexes,
                              std::vector<InterfaceLink>& links) {
    links.clear();
    if (!dumped_ || linksChanged())
        return false;
    if (indexes.empty())
        return true;
    request_.clear();
    ++sequence_;
    for (std::uint32_t index : indexes)
        appendStatsRequest(request_, sequence_, static_cast<int>(index));
    if (!send(request_))
        return false;
    std::size_t replies = 0;
    while (replies < indexes.size()) {
        auto chunk = receive();
        // An error answers a link that has gone; the answers still to come would be stale.
        if (!chunk || parseStatsMessages(*chunk, sequence_, known_, links, replies) !=
                          LinkDumpProgress::more) {
            close();
            links.clear();
            return false;
        }
    }
    if (!std::equal(
            indexes.begin(), indexes.end(), links.begin(), links.end(),
            [](std::uint32_t index, const InterfaceLink& link) { return link.index == index; })) {
        links.clear();
        return false;
    }
    return true;
}

} // namespace sys
