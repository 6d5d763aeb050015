#include "platform/foundation/TextFile.h"
#include "platform/system/InterfaceList.h"
#include "platform/system/LinkDump.h"
#include "platform/system/VMStatistics.h"
#include "sources/ComputeReader.h"
#include "sources/MemoryReader.h"
#include "sources/NetworkReader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace pulsedeck;

const auto live = sys::SystemRoots::live();

void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

std::optional<std::string> eth0Unavailable() {
    auto state = foundation::readTextFile(live.sys / "class/net/eth0/operstate");
    if (!state)
        return "this machine has no eth0";
    if (*state != "up\n")
        return "eth0 is not up here";
    return std::nullopt;
}

struct MeminfoUse {
    double usedBytes = 0;
    double totalBytes = 0;
};

MeminfoUse meminfoUse() {
    auto fields = sys::parseMeminfo(*foundation::readTextFile("/proc/meminfo"));
    EXPECT_TRUE(fields.memTotal && fields.memAvailable);
    if (!fields.memTotal || !fields.memAvailable)
        return {};
    return {static_cast<double>(*fields.memTotal - *fields.memAvailable) * 1024,
            static_cast<double>(*fields.memTotal) * 1024};
}

TEST(KernelReadersLive, MemoryFiguresAreFilledAndUsedIsTotalMinusAvailable) {
    // Other programs allocate while this runs, so the figures are held to the span that a look
    // at /proc/meminfo before and after them saw, with a margin of 1 % of memory.
    const auto before = meminfoUse();
    SystemMemoryReader reader(live);
    auto snapshot = reader.sample();
    const std::string dash = "\u2014";
    EXPECT_NE(snapshot.physical, dash);
    EXPECT_NE(snapshot.used, dash);
    EXPECT_NE(snapshot.cached, dash);
    EXPECT_NE(snapshot.swap, dash);
    EXPECT_EQ(snapshot.explanation, Copy::independent);
    ASSERT_TRUE(snapshot.usedFraction);
    ASSERT_TRUE(snapshot.height);
    if (std::filesystem::exists("/proc/pressure/memory")) {
        EXPECT_TRUE(snapshot.pressure) << "the kernel has PSI";
    }

    // The stand-in's page arithmetic against a fresh look at /proc/meminfo.
    sys::VMStatistics statistics(live);
    auto counters = statistics.read();
    ASSERT_TRUE(counters.pages);
    const auto after = meminfoUse();
    ASSERT_GT(before.totalBytes, 0);
    const auto& pages = *counters.pages;
    std::uint64_t total = counters.machine.physicalMemory / counters.machine.pageSize;
    double usedBytes = static_cast<double>(
        (total - (pages.freeCount - pages.speculativeCount) - pages.externalPageCount) *
        counters.machine.pageSize);
    const double margin = before.totalBytes * 0.01;
    const double low = std::min(before.usedBytes, after.usedBytes) - margin;
    const double high = std::max(before.usedBytes, after.usedBytes) + margin;
    EXPECT_GE(usedBytes, low);
    EXPECT_LE(usedBytes, high);
    EXPECT_GE(*snapshot.usedFraction * before.totalBytes, low);
    EXPECT_LE(*snapshot.usedFraction * before.totalBytes, high);
    EXPECT_EQ(static_cast<double>(counters.machine.physicalMemory), before.totalBytes)
        << "physical memory is what the kernel calls MemTotal";
}

TEST(KernelReadersLive, SecondComputeSampleHasALoadBetween0And100) {
    ComputeReader reader(live);
    auto first = reader.sample(true);
    EXPECT_FALSE(first.cpu);
    EXPECT_GE(first.cpuCores, 1);
    pause();
    auto second = reader.sample(true);
    ASSERT_TRUE(second.cpu);
    EXPECT_GE(*second.cpu, 0.0);
    EXPECT_LE(*second.cpu, 100.0);
    if (!std::filesystem::exists("/sys/class/drm")) {
        EXPECT_FALSE(second.gpu);
    }
}

TEST(KernelReadersLive, NetlinkDumpListsEveryInterfaceAndTheListKeepsHardwareOnly) {
    sys::NetlinkLinkDump dump;
    std::vector<sys::InterfaceLink> links;
    ASSERT_TRUE(dump.dump(links));
    auto loopback = std::find_if(links.begin(), links.end(),
                                 [](const auto& link) { return link.name == "lo"; });
    ASSERT_NE(loopback, links.end());
    EXPECT_EQ(loopback->linkType, ARPHRD_LOOPBACK);
    EXPECT_TRUE(loopback->flags & sys::interfaceFlagUp);
    // The socket stays usable for the next sample.
    std::vector<sys::InterfaceLink> again;
    ASSERT_TRUE(dump.dump(again));
    EXPECT_EQ(again.size(), links.size());

    sys::InterfaceList list(live);
    auto records = list.read();
    ASSERT_TRUE(records);
    EXPECT_FALSE(list.name(static_cast<std::uint16_t>(loopback->index)));
    if (auto reason = eth0Unavailable())
        GTEST_SKIP() << *reason;
    auto eth0 = std::find_if(links.begin(), links.end(),
                             [](const auto& link) { return link.name == "eth0"; });
    ASSERT_NE(eth0, links.end());
    EXPECT_EQ(list.name(static_cast<std::uint16_t>(eth0->index)), "eth0");
    auto sysfsReceived = foundation::readTextFile("/sys/class/net/eth0/statistics/rx_bytes");
    ASSERT_TRUE(sysfsReceived);
    EXPECT_LE(eth0->received, std::stoull(*sysfsReceived)) << "counters only grow";
    EXPECT_TRUE(eth0->flags & sys::interfaceFlagRunning);
}

// Runs `body` on a thread of its own in a new network namespace (only lo, down), where the test
// may change links without touching the machine's. Empty when such a namespace is not allowed.
std::optional<std::string> inPrivateNetwork(const std::function<void()>& body) {
    std::optional<std::string> refused;
    std::thread([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            refused = std::string("no private network namespace here: ") + std::strerror(errno);
            return;
        }
        body();
    }).join();
    return refused;
}

bool setLoopbackUp() {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    bool done = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    done = done && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return done;
}

// One UDP datagram of `size` bytes to the loopback address.
bool sendToLoopback(std::size_t size) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(9);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<char> payload(size, 'x');
    bool sent =
        ::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                 sizeof address) == static_cast<ssize_t>(size);
    ::close(fd);
    return sent;
}

TEST(KernelReadersLive, NetlinkRefreshAsksForNamedLinksUntilTheKernelAnnouncesAChange) {
    auto refused = inPrivateNetwork([] {
        sys::NetlinkLinkDump dump;
        std::vector<sys::InterfaceLink> links;
        const std::uint32_t loopback[] = {1};
        EXPECT_FALSE(dump.refresh(loopback, links)) << "no refresh before a dump";
        ASSERT_TRUE(dump.dump(links));
        ASSERT_EQ(links.size(), 1u);
        EXPECT_EQ(links[0].name, "lo");
        EXPECT_FALSE(links[0].flags & sys::interfaceFlagUp);

        std::vector<sys::InterfaceLink> refreshed;
        ASSERT_TRUE(dump.refresh(loopback, refreshed));
        EXPECT_EQ(refreshed, links);
        EXPECT_TRUE(dump.refresh({}, refreshed));
        EXPECT_TRUE(refreshed.empty());

        ASSERT_TRUE(setLoopbackUp());
        EXPECT_FALSE(dump.refresh(loopback, refreshed)) << "the kernel announced lo going up";
        ASSERT_TRUE(dump.dump(links));
        EXPECT_TRUE(links[0].flags & sys::interfaceFlagUp);
        ASSERT_TRUE(dump.refresh(loopback, refreshed));
        EXPECT_EQ(refreshed, links);

        ASSERT_TRUE(sendToLoopback(100));
        ASSERT_TRUE(dump.refresh(loopback, refreshed));
        ASSERT_EQ(refreshed.size(), 1u);
        EXPECT_GE(refreshed[0].received, links[0].received + 100) << "fresh counters";
        EXPECT_GE(refreshed[0].sent, links[0].sent + 100);
        EXPECT_EQ(refreshed[0].flags, links[0].flags);
        EXPECT_EQ(refreshed[0].name, "lo");

        const std::uint32_t missing[] = {1, 4242};
        EXPECT_FALSE(dump.refresh(missing, refreshed)) << "an interface that is not there";
        EXPECT_TRUE(refreshed.empty());
        EXPECT_FALSE(dump.refresh(loopback, refreshed)) << "a failed refresh needs a dump";
        ASSERT_TRUE(dump.dump(links));
        EXPECT_TRUE(dump.refresh(loopback, refreshed));
    });
    if (refused)
        GTEST_SKIP() << *refused;
}

// Holds on any machine: one with no network link at all shows rates of 0.
TEST(KernelReadersLive, NetworkReaderCountsTheMachinesLinksAndReportsRatesFromTheSecondSample) {
    NetworkReader reader(live);
    auto first = reader.sample(true);
    EXPECT_EQ(std::find(first.interfaces.begin(), first.interfaces.end(), "lo"),
              first.interfaces.end());
    for (const std::string& name : first.interfaces)
        EXPECT_TRUE(std::filesystem::exists(live.sys / "class/net" / name)) << name;
    EXPECT_FALSE(first.download);
    pause();
    auto second = reader.sample(true);
    ASSERT_TRUE(second.download);
    ASSERT_TRUE(second.upload);
    EXPECT_GE(*second.download, 0.0);
    EXPECT_GE(*second.upload, 0.0);
    EXPECT_TRUE(std::isfinite(*second.download));
}

} // namespace
