#include "platform/system/InterfaceList.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <net/if_arp.h>

namespace {

namespace fs = std::filesystem;

class ScriptedDump final : public sys::LinkDumpSource {
public:
    explicit ScriptedDump(std::shared_ptr<std::optional<std::vector<sys::InterfaceLink>>> next)
        : next_(std::move(next)) {}
    bool dump(std::vector<sys::InterfaceLink>& links) override {
        if (!*next_)
            return false;
        links = **next_;
        return true;
    }

private:
    std::shared_ptr<std::optional<std::vector<sys::InterfaceLink>>> next_;
};

// A source that answers refreshes from its list while told nothing changed, and records what it
// was asked.
class RefreshingDump final : public sys::LinkDumpSource {
public:
    bool dump(std::vector<sys::InterfaceLink>& links) override {
        ++dumps;
        links = current;
        return true;
    }
    bool refresh(std::span<const std::uint32_t> indexes,
                 std::vector<sys::InterfaceLink>& links) override {
        asked.emplace_back(indexes.begin(), indexes.end());
        links.clear();
        if (changed)
            return false;
        for (std::uint32_t index : indexes) {
            for (const sys::InterfaceLink& link : current) {
                if (link.index == index)
                    links.push_back(link);
            }
        }
        return true;
    }

    std::vector<sys::InterfaceLink> current;
    bool changed = false;
    int dumps = 0;
    std::vector<std::vector<std::uint32_t>> asked;
};

constexpr std::uint32_t upRunning = sys::interfaceFlagUp | sys::interfaceFlagRunning;

sys::InterfaceLink ether(std::uint32_t index, std::string name, std::uint32_t flags = upRunning,
                         std::uint64_t received = 0, std::uint64_t sent = 0) {
    return {index, std::move(name), flags, ARPHRD_ETHER, received, sent};
}

template <typename T> T loadLittleEndian(const std::uint8_t* at) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(at[i]) << (8 * i);
    return value;
}

struct ListFixture {
    explicit ListFixture(sys::SystemRoots roots)
        : next(std::make_shared<std::optional<std::vector<sys::InterfaceLink>>>()),
          list(std::move(roots), std::make_unique<ScriptedDump>(next)) {}
    std::shared_ptr<std::optional<std::vector<sys::InterfaceLink>>> next;
    sys::InterfaceList list;
};

TEST(InterfaceList, ListsOnlyEthernetInterfacesBackedByADevice) {
    ListFixture fixture(sys::SystemRoots::under(testsupport::fixturePath("network")));
    sys::InterfaceLink loopback = ether(1, "lo");
    loopback.linkType = ARPHRD_LOOPBACK;
    sys::InterfaceLink tunnel = ether(7, "tun0");
    tunnel.linkType = ARPHRD_NONE;
    *fixture.next = std::vector{loopback,
                                ether(2, "eth0", upRunning, 1000, 2000),
                                ether(3, "docker0"),
                                ether(4, "veth12ab"),
                                ether(5, "wlp2s0", sys::interfaceFlagUp, 7, 8),
                                ether(6, "br0"),
                                tunnel,
                                ether(8, "enx001122334455")};
    auto records = fixture.list.read();
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 3 * sys::interfacerecord::length);

    using namespace sys::interfacerecord;
    const std::uint8_t* first = records->data();
    EXPECT_EQ(loadLittleEndian<std::uint16_t>(first + lengthOffset), length);
    EXPECT_EQ(first[typeOffset], typeInterfaceInfo);
    EXPECT_EQ(loadLittleEndian<std::uint32_t>(first + flagsOffset), upRunning);
    EXPECT_EQ(loadLittleEndian<std::uint16_t>(first + indexOffset), 2);
    EXPECT_EQ(loadLittleEndian<std::uint64_t>(first + receivedOffset), 1000u);
    EXPECT_EQ(loadLittleEndian<std::uint64_t>(first + sentOffset), 2000u);
    const std::uint8_t* second = first + length;
    EXPECT_EQ(loadLittleEndian<std::uint32_t>(second + flagsOffset), sys::interfaceFlagUp)
        << "flags are passed on as the kernel gave them";

    EXPECT_EQ(fixture.list.name(2), "eth0");
    EXPECT_EQ(fixture.list.name(5), "wlp2s0");
    EXPECT_EQ(fixture.list.name(8), "enx001122334455");
    EXPECT_FALSE(fixture.list.name(1)) << "unlisted interfaces have no name here";
}

sys::InterfaceLink ofType(std::uint32_t index, std::string name, std::uint16_t linkType) {
    sys::InterfaceLink link = ether(index, std::move(name));
    link.linkType = linkType;
    return link;
}

std::vector<std::string> listedNames(const ListFixture& fixture,
                                     const std::vector<sys::InterfaceLink>& links) {
    std::vector<std::string> names;
    for (const auto& link : links) {
        if (auto name = fixture.list.name(static_cast<std::uint16_t>(link.index)))
            names.emplace_back(*name);
    }
    return names;
}

// A laptop on Wi-Fi with a cellular modem in raw-IP mode, a dial-up link, containers, a VPN and
// a virtual machine's bridge.
std::vector<sys::InterfaceLink> laptopLinks() {
    constexpr std::uint16_t rawIP = 519;
    return {ofType(1, "lo", ARPHRD_LOOPBACK),
            ether(3, "wlp0s20f3"),
            ofType(4, "wwan0", ARPHRD_NONE),
            ofType(5, "ppp0", ARPHRD_PPP),
            ether(6, "docker0"),
            ether(7, "br-5f3a9c2e1d07"),
            ether(8, "veth3c1a2b4"),
            ofType(9, "tun0", ARPHRD_NONE),
            ofType(10, "wg0", ARPHRD_NONE),
            ether(11, "virbr0"),
            ofType(12, "wwan1", rawIP)};
}

TEST(InterfaceList, CountsWifiCellularAndDialUpLinksButNoVirtualOnes) {
    ListFixture fixture(sys::SystemRoots::under(testsupport::fixturePath("network-laptop")));
    *fixture.next = laptopLinks();
    auto records = fixture.list.read();
    ASSERT_TRUE(records);
    EXPECT_EQ(listedNames(fixture, laptopLinks()),
              (std::vector<std::string>{"wlp0s20f3", "wwan0", "ppp0"}))
        << "wwan1 has no device behind it";
    EXPECT_EQ(records->size(), 3 * sys::interfacerecord::length);
}

TEST(InterfaceList, APppoeLinkIsNotCountedBesideTheEthernetItRidesOn) {
    testsupport::TemporaryDirectory dir;
    fs::copy(testsupport::fixturePath("network-laptop"), dir.path(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    std::ofstream(dir.path() / "proc/net/pppoe", std::ios::app)
        << "00001234 a0:36:bc:11:22:33 enp2s0\n";
    ListFixture fixture(sys::SystemRoots::under(dir.path()));
    *fixture.next = laptopLinks();
    ASSERT_TRUE(fixture.list.read());
    EXPECT_EQ(listedNames(fixture, laptopLinks()),
              (std::vector<std::string>{"wlp0s20f3", "wwan0"}));
}

TEST(InterfaceList, DeviceCheckIsCachedPerIndexAndForgottenWhenTheInterfaceGoes) {
    testsupport::TemporaryDirectory dir;
    fs::create_directories(dir.path() / "sys/class/net/eth1/device");
    ListFixture fixture(sys::SystemRoots::under(dir.path()));
    *fixture.next = std::vector{ether(3, "eth1")};
    EXPECT_EQ(fixture.list.read()->size(), sys::interfacerecord::length);

    // The answer for index 3 is kept: no sysfs lookup once an interface is known.
    fs::remove_all(dir.path() / "sys/class/net/eth1");
    EXPECT_EQ(fixture.list.read()->size(), sys::interfacerecord::length);

    // Once the interface has left the list, a new one at that index is checked afresh.
    *fixture.next = std::vector<sys::InterfaceLink>{};
    EXPECT_TRUE(fixture.list.read()->empty());
    *fixture.next = std::vector{ether(3, "eth1")};
    EXPECT_TRUE(fixture.list.read()->empty());
}

TEST(InterfaceList, FailedDumpIsNoListAndNamesThatCannotBeSysfsFoldersAreRefused) {
    ListFixture fixture(sys::SystemRoots::under(testsupport::fixturePath("network")));
    EXPECT_FALSE(fixture.list.read());
    *fixture.next = std::vector{ether(2, "eth0"), ether(3, "../net/eth0"), ether(4, ""),
                                ether(5, "eth0/device"), ether(6, "a-name-that-is-too-long")};
    auto records = fixture.list.read();
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), sys::interfacerecord::length);
    fixture.next->reset();
    EXPECT_FALSE(fixture.list.read());
    EXPECT_FALSE(fixture.list.name(2)) << "a failed read leaves no stale names";
}

TEST(InterfaceList, AfterAFullListOnlyTheHardwareInterfacesAreAskedForUntilTheSetChanges) {
    auto owned = std::make_unique<RefreshingDump>();
    RefreshingDump& source = *owned;
    sys::InterfaceList list(sys::SystemRoots::under(testsupport::fixturePath("network")),
                            std::move(owned));
    source.current = {ether(1, "lo"), ether(2, "eth0", upRunning, 10, 20), ether(3, "docker0"),
                      ether(5, "wlp2s0", upRunning, 1, 2)};
    ASSERT_EQ(list.read()->size(), 2 * sys::interfacerecord::length);
    EXPECT_EQ(source.dumps, 1);
    EXPECT_TRUE(source.asked.empty()) << "nothing to refresh before a first list";

    source.current[1].received = 15;
    source.current[3].flags = sys::interfaceFlagUp;
    auto records = list.read();
    ASSERT_TRUE(records);
    EXPECT_EQ(source.dumps, 1);
    ASSERT_EQ(source.asked.size(), 1u);
    EXPECT_EQ(source.asked[0], (std::vector<std::uint32_t>{2, 5}));
    ASSERT_EQ(records->size(), 2 * sys::interfacerecord::length);
    using namespace sys::interfacerecord;
    EXPECT_EQ(loadLittleEndian<std::uint64_t>(records->data() + receivedOffset), 15u);
    EXPECT_EQ(loadLittleEndian<std::uint32_t>(records->data() + length + flagsOffset),
              sys::interfaceFlagUp);
    EXPECT_EQ(list.name(5), "wlp2s0");

    // A new interface: the source says the set changed, and the list is read whole again.
    source.current.push_back(ether(8, "enx001122334455"));
    source.changed = true;
    EXPECT_EQ(list.read()->size(), 3 * sys::interfacerecord::length);
    EXPECT_EQ(source.dumps, 2);
    source.changed = false;
    list.read();
    EXPECT_EQ(source.asked.back(), (std::vector<std::uint32_t>{2, 5, 8}));
    EXPECT_EQ(source.dumps, 2);
}

TEST(InterfaceList, AMachineWithoutHardwareInterfacesAsksForNoneAndSourcesThatOnlyDumpStillWork) {
    auto owned = std::make_unique<RefreshingDump>();
    RefreshingDump& source = *owned;
    sys::InterfaceList list(sys::SystemRoots::under(testsupport::fixturePath("network")),
                            std::move(owned));
    source.current = {ether(1, "lo"), ether(3, "docker0")};
    EXPECT_TRUE(list.read()->empty());
    EXPECT_TRUE(list.read()->empty());
    EXPECT_EQ(source.dumps, 1);
    ASSERT_EQ(source.asked.size(), 1u);
    EXPECT_TRUE(source.asked[0].empty());

    ListFixture dumping(sys::SystemRoots::under(testsupport::fixturePath("network")));
    *dumping.next = std::vector{ether(2, "eth0", upRunning, 1, 2)};
    EXPECT_EQ(dumping.list.read()->size(), sys::interfacerecord::length);
    *dumping.next = std::vector{ether(2, "eth0", upRunning, 3, 4)};
    auto records = dumping.list.read();
    ASSERT_TRUE(records);
    EXPECT_EQ(loadLittleEndian<std::uint64_t>(records->data() + sys::interfacerecord::sentOffset),
              4u)
        << "a source that cannot refresh is dumped every time";
}

} // namespace
