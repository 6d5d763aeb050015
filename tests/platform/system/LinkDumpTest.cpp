#include "platform/system/LinkDump.h"

#include <cstring>
#include <gtest/gtest.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <net/if_arp.h>

namespace {

// Builds netlink messages as the kernel lays them out.
class Messages {
public:
    void link(std::uint32_t sequence, int index, const char* name, std::uint32_t flags,
              std::optional<std::pair<std::uint64_t, std::uint64_t>> bytes) {
        std::vector<std::uint8_t> body(sizeof(ifinfomsg));
        ifinfomsg info{};
        info.ifi_index = index;
        info.ifi_flags = flags;
        info.ifi_type = ARPHRD_ETHER;
        std::memcpy(body.data(), &info, sizeof info);
        if (name)
            attribute(body, IFLA_IFNAME, name, std::strlen(name) + 1);
        if (bytes) {
            rtnl_link_stats64 stats{};
            stats.rx_bytes = bytes->first;
            stats.tx_bytes = bytes->second;
            attribute(body, IFLA_STATS64, &stats, sizeof stats);
        }
        message(sequence, RTM_NEWLINK, body);
    }
    void stats(std::uint32_t sequence, std::uint32_t index,
               std::optional<std::pair<std::uint64_t, std::uint64_t>> bytes) {
        std::vector<std::uint8_t> body(sizeof(if_stats_msg));
        if_stats_msg header{};
        header.ifindex = index;
        header.filter_mask = IFLA_STATS_FILTER_BIT(IFLA_STATS_LINK_64);
        std::memcpy(body.data(), &header, sizeof header);
        if (bytes) {
            rtnl_link_stats64 counters{};
            counters.rx_bytes = bytes->first;
            counters.tx_bytes = bytes->second;
            attribute(body, IFLA_STATS_LINK_64, &counters, sizeof counters);
        }
        message(sequence, RTM_NEWSTATS, body);
    }
    void message(std::uint32_t sequence, std::uint16_t type,
                 const std::vector<std::uint8_t>& body = {}) {
        nlmsghdr header{};
        header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(body.size()));
        header.nlmsg_type = type;
        header.nlmsg_seq = sequence;
        std::size_t start = bytes.size();
        bytes.resize(start + NLMSG_ALIGN(header.nlmsg_len), 0);
        std::memcpy(bytes.data() + start, &header, sizeof header);
        std::memcpy(bytes.data() + start + NLMSG_HDRLEN, body.data(), body.size());
    }
    std::vector<std::uint8_t> bytes;

private:
    static void attribute(std::vector<std::uint8_t>& body, std::uint16_t type, const void* data,
                          std::size_t size) {
        rtattr header{};
        header.rta_len = static_cast<std::uint16_t>(RTA_LENGTH(size));
        header.rta_type = type;
        std::size_t start = body.size();
        body.resize(start + RTA_ALIGN(header.rta_len), 0);
        std::memcpy(body.data() + start, &header, sizeof header);
        std::memcpy(body.data() + start + RTA_LENGTH(0), data, size);
    }
};

TEST(LinkDump, ParsesLinksUntilDone) {
    Messages messages;
    messages.link(7, 1, "lo", IFF_UP | IFF_RUNNING | IFF_LOOPBACK, {{100, 100}});
    messages.link(7, 2, "eth0", IFF_UP | IFF_RUNNING, {{1ull << 40, 5}});
    messages.message(7, NLMSG_DONE, std::vector<std::uint8_t>(4));
    std::vector<sys::InterfaceLink> links;
    EXPECT_EQ(sys::parseLinkMessages(messages.bytes, 7, links), sys::LinkDumpProgress::done);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1],
              (sys::InterfaceLink{2, "eth0", IFF_UP | IFF_RUNNING, ARPHRD_ETHER, 1ull << 40, 5}));
}

TEST(LinkDump, ChunksContinueOtherSequencesAreIgnoredAndErrorsFail) {
    std::vector<sys::InterfaceLink> links;
    Messages first;
    first.link(6, 9, "stale0", IFF_UP, {{1, 1}});
    first.message(6, NLMSG_DONE, std::vector<std::uint8_t>(4));
    first.link(7, 2, "eth0", IFF_UP, {{1, 2}});
    EXPECT_EQ(sys::parseLinkMessages(first.bytes, 7, links), sys::LinkDumpProgress::more);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].name, "eth0");

    Messages error;
    error.message(7, NLMSG_ERROR, std::vector<std::uint8_t>(sizeof(nlmsgerr)));
    EXPECT_EQ(sys::parseLinkMessages(error.bytes, 7, links), sys::LinkDumpProgress::failed);
}

TEST(LinkDump, StatisticsAnswersCarryTheKnownLinksWithFreshCounters) {
    const std::vector<sys::InterfaceLink> known = {
        {2, "eth0", IFF_UP | IFF_RUNNING, ARPHRD_ETHER, 1, 2},
        {5, "wlan0", IFF_UP, ARPHRD_ETHER, 3, 4},
    };
    Messages answers;
    answers.stats(4, 5, {{1ull << 40, 9}});
    answers.stats(4, 2, std::nullopt);
    answers.stats(4, 7, {{1, 1}});
    answers.stats(3, 2, {{8, 8}});
    answers.link(4, 2, "eth0", IFF_UP, {{6, 6}});
    answers.message(4, RTM_NEWSTATS, std::vector<std::uint8_t>(4));
    std::vector<sys::InterfaceLink> links;
    std::size_t replies = 0;
    EXPECT_EQ(sys::parseStatsMessages(answers.bytes, 4, known, links, replies),
              sys::LinkDumpProgress::more);
    EXPECT_EQ(replies, 4u) << "answers without counters or for unknown links count, others not";
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0], (sys::InterfaceLink{5, "wlan0", IFF_UP, ARPHRD_ETHER, 1ull << 40, 9}));

    Messages gone;
    gone.message(4, NLMSG_ERROR, std::vector<std::uint8_t>(sizeof(nlmsgerr)));
    EXPECT_EQ(sys::parseStatsMessages(gone.bytes, 4, known, links, replies),
              sys::LinkDumpProgress::failed);
    Messages cut;
    cut.stats(4, 2, {{1, 2}});
    EXPECT_EQ(sys::parseStatsMessages(std::span<const std::uint8_t>(cut.bytes).first(20), 4, known,
                                      links, replies),
              sys::LinkDumpProgress::failed);
    EXPECT_EQ(links.size(), 1u);
}

TEST(LinkDump, MalformedMessagesFailOrAreLeftOut) {
    std::vector<sys::InterfaceLink> links;
    Messages partial;
    partial.link(1, 3, nullptr, IFF_UP, {{1, 2}});                 // no name
    partial.link(1, 4, "wlan0", IFF_UP, std::nullopt);             // no statistics
    partial.message(1, RTM_NEWLINK, std::vector<std::uint8_t>(4)); // body shorter than ifinfomsg
    EXPECT_EQ(sys::parseLinkMessages(partial.bytes, 1, links), sys::LinkDumpProgress::more);
    EXPECT_TRUE(links.empty());

    Messages overrun;
    overrun.link(1, 2, "eth0", IFF_UP, {{1, 2}});
    auto cut = std::span<const std::uint8_t>(overrun.bytes).first(overrun.bytes.size() - 8);
    EXPECT_EQ(sys::parseLinkMessages(cut, 1, links), sys::LinkDumpProgress::failed);

    std::vector<std::uint8_t> tooShortLength(sizeof(nlmsghdr), 0);
    tooShortLength[0] = 4;
    EXPECT_EQ(sys::parseLinkMessages(tooShortLength, 1, links), sys::LinkDumpProgress::failed);
    EXPECT_EQ(sys::parseLinkMessages({}, 1, links), sys::LinkDumpProgress::more);
}

} // namespace
