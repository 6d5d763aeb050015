#include "sources/NetworkReader.h"

#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <net/if_arp.h>

namespace {

using namespace pulsedeck;

constexpr std::uint32_t up = sys::interfaceFlagUp;
constexpr std::uint32_t upRunning = sys::interfaceFlagUp | sys::interfaceFlagRunning;

// An interface list the test rewrites between samples; nothing means the kernel refused.
class ScriptedDump final : public sys::LinkDumpSource {
public:
    using Script = std::optional<std::vector<sys::InterfaceLink>>;
    explicit ScriptedDump(std::shared_ptr<Script> script) : script_(std::move(script)) {}
    bool dump(std::vector<sys::InterfaceLink>& links) override {
        if (!*script_)
            return false;
        links = **script_;
        return true;
    }

private:
    std::shared_ptr<Script> script_;
};

sys::InterfaceLink link(std::uint32_t index, std::string name, std::uint64_t received,
                        std::uint64_t sent, std::uint32_t flags = upRunning) {
    return {index, std::move(name), flags, ARPHRD_ETHER, received, sent};
}

// A reader over the fixture machine's sysfs (eth0, enp3s0, wlp2s0 have devices; lo, docker0,
// veth12ab do not), a scripted link list and a clock stepped by hand.
struct NetworkMachine {
    NetworkMachine()
        : script(std::make_shared<ScriptedDump::Script>(std::vector<sys::InterfaceLink>{})),
          reader(sys::InterfaceList(sys::SystemRoots::under(testsupport::fixturePath("network")),
                                    std::make_unique<ScriptedDump>(script)),
                 clock) {}
    NetworkSnapshot sampleAfter(double seconds, std::vector<sys::InterfaceLink> links,
                                bool enabled = true) {
        clock.advance(seconds);
        *script = std::move(links);
        return reader.sample(enabled);
    }

    dispatch::VirtualClock clock;
    std::shared_ptr<ScriptedDump::Script> script;
    NetworkReader reader;
};

TEST(NetworkReader, FirstSampleNamesInterfacesSecondGivesRates) {
    NetworkMachine machine;
    auto first = machine.sampleAfter(0, {link(2, "eth0", 1000, 500), link(3, "wlp2s0", 0, 0),
                                         link(1, "lo", 9000, 9000), link(4, "docker0", 7, 7)});
    EXPECT_EQ(first.interfaces, (std::vector<std::string>{"eth0", "wlp2s0"}));
    EXPECT_FALSE(first.download);
    EXPECT_FALSE(first.upload);

    auto second = machine.sampleAfter(1, {link(2, "eth0", 4000, 1500), link(3, "wlp2s0", 1000, 0),
                                          link(1, "lo", 99000, 99000), link(4, "docker0", 70, 70)});
    EXPECT_EQ(second.download, 4000.0);
    EXPECT_EQ(second.upload, 1000.0);

    auto third =
        machine.sampleAfter(0.5, {link(2, "eth0", 5000, 1500), link(3, "wlp2s0", 1000, 0)});
    EXPECT_EQ(third.download, 2000.0) << "rates are per second of the real interval";
}

TEST(NetworkReader, AGapOfMoreThanFiveSecondsSkipsOneRate) {
    NetworkMachine machine;
    machine.sampleAfter(0, {link(2, "eth0", 0, 0)});
    EXPECT_FALSE(machine.sampleAfter(6, {link(2, "eth0", 6000, 600)}).download);
    auto third = machine.sampleAfter(1, {link(2, "eth0", 7000, 700)});
    EXPECT_EQ(third.download, 1000.0);
    EXPECT_EQ(third.upload, 100.0);
    EXPECT_TRUE(machine.sampleAfter(5.0, {link(2, "eth0", 7000, 700)}).download)
        << "exactly five seconds still counts";
    EXPECT_FALSE(machine.sampleAfter(0, {link(2, "eth0", 7000, 700)}).download)
        << "no time has passed";
}

TEST(NetworkReader, NewInterfaceOrBackwardsCounterSuppressesOnlyThatSample) {
    NetworkMachine machine;
    machine.sampleAfter(0, {link(2, "eth0", 100, 100)});
    auto grown = machine.sampleAfter(1, {link(2, "eth0", 200, 200), link(5, "enp3s0", 50, 50)});
    EXPECT_EQ(grown.interfaces, (std::vector<std::string>{"enp3s0", "eth0"}));
    EXPECT_FALSE(grown.download);
    EXPECT_EQ(
        machine.sampleAfter(1, {link(2, "eth0", 300, 200), link(5, "enp3s0", 150, 50)}).download,
        200.0);

    EXPECT_FALSE(
        machine.sampleAfter(1, {link(2, "eth0", 10, 200), link(5, "enp3s0", 150, 50)}).download)
        << "eth0 was reset";
    EXPECT_FALSE(
        machine.sampleAfter(1, {link(2, "eth0", 10, 100), link(5, "enp3s0", 150, 60)}).upload)
        << "a sent counter going back counts too";
    EXPECT_EQ(
        machine.sampleAfter(1, {link(2, "eth0", 20, 100), link(5, "enp3s0", 150, 60)}).download,
        10.0);

    // An interface that went away is simply no longer counted.
    auto shrunk = machine.sampleAfter(1, {link(2, "eth0", 30, 100)});
    EXPECT_EQ(shrunk.interfaces, std::vector<std::string>{"eth0"});
    EXPECT_EQ(shrunk.download, 10.0);
}

TEST(NetworkReader, InterfacesThatAreNotUpAndRunningAreNotCounted) {
    NetworkMachine machine;
    auto first =
        machine.sampleAfter(0, {link(2, "eth0", 100, 100, up), link(3, "wlp2s0", 5, 5, 0)});
    EXPECT_TRUE(first.interfaces.empty());
    EXPECT_FALSE(first.download);
    auto second =
        machine.sampleAfter(1, {link(2, "eth0", 900, 900, up), link(3, "wlp2s0", 9, 9, 0)});
    EXPECT_TRUE(second.interfaces.empty());
    EXPECT_EQ(second.download, 0.0);
    EXPECT_EQ(second.upload, 0.0);
    // Coming up is a new interface for one sample.
    EXPECT_FALSE(machine.sampleAfter(1, {link(2, "eth0", 1000, 1000)}).download);
}

TEST(NetworkReader, DisabledSamplesAndFailedListsClearTheBaseline) {
    NetworkMachine machine;
    machine.sampleAfter(0, {link(2, "eth0", 0, 0)});
    auto off = machine.sampleAfter(1, {link(2, "eth0", 10, 10)}, false);
    EXPECT_EQ(off, NetworkSnapshot{});
    EXPECT_FALSE(machine.sampleAfter(1, {link(2, "eth0", 20, 20)}).download);
    EXPECT_TRUE(machine.sampleAfter(1, {link(2, "eth0", 30, 30)}).download);

    machine.clock.advance(1);
    machine.script->reset();
    EXPECT_EQ(machine.reader.sample(true), NetworkSnapshot{});
    EXPECT_FALSE(machine.sampleAfter(1, {link(2, "eth0", 40, 40)}).download);
    EXPECT_TRUE(machine.sampleAfter(1, {link(2, "eth0", 50, 50)}).download);
}

TEST(NetworkReader, AMachineWithoutAHardwareLinkShowsNoTraffic) {
    NetworkMachine machine;
    EXPECT_EQ(machine.sampleAfter(0, {link(1, "lo", 60, 60), link(4, "docker0", 9, 9)}),
              NetworkSnapshot{});
    auto second = machine.sampleAfter(1, {link(1, "lo", 900, 900), link(4, "docker0", 99, 99)});
    EXPECT_EQ(second.download, 0.0);
    EXPECT_EQ(second.upload, 0.0);
    EXPECT_TRUE(second.interfaces.empty());
    EXPECT_FALSE(machine.sampleAfter(1, {link(2, "eth0", 60, 60)}).download)
        << "a link that comes is new for one sample";
    EXPECT_EQ(machine.sampleAfter(1, {link(2, "eth0", 160, 60)}).download, 100.0);
}

// Builds raw records for the walk.
struct Records {
    Records& add(std::uint16_t index, std::uint32_t flags, std::uint64_t received,
                 std::uint64_t sent) {
        sys::appendInterfaceRecord(bytes, index, flags, received, sent);
        return *this;
    }
    Records& raw(std::size_t length, std::uint8_t type = sys::interfacerecord::typeInterfaceInfo) {
        std::size_t start = bytes.size();
        bytes.resize(start + length, 0);
        if (length >= 2) {
            bytes[start] = static_cast<std::uint8_t>(length);
            bytes[start + 1] = static_cast<std::uint8_t>(length >> 8);
        }
        if (length > 3)
            bytes[start + 3] = type;
        return *this;
    }
    std::vector<std::uint8_t> bytes;
};

InterfaceCounters walk(const Records& records,
                       std::map<std::uint16_t, std::string> names = {{1, "eth0"}, {2, "eth1"}}) {
    return walkInterfaceRecords(records.bytes,
                                [&](std::uint16_t index) -> std::optional<std::string_view> {
                                    auto found = names.find(index);
                                    if (found == names.end())
                                        return std::nullopt;
                                    return std::string_view(found->second);
                                });
}

TEST(InterfaceRecordWalk, SkipsForeignAndShortRecordsAndStopsAtBrokenOnes) {
    auto counters = walk(Records()
                             .raw(200, 17)            // another message type
                             .raw(140)                // too short for interface information
                             .add(9, upRunning, 1, 1) // no such interface
                             .add(1, upRunning, 10, 20)
                             .add(2, upRunning, 30, 40));
    EXPECT_EQ(counters, (InterfaceCounters{{"eth0", {10, 20}}, {"eth1", {30, 40}}}));

    Records zeroLength;
    zeroLength.raw(160);
    zeroLength.bytes.resize(zeroLength.bytes.size() + 160); // a header claiming length 0
    zeroLength.add(1, upRunning, 1, 1);
    EXPECT_TRUE(walk(zeroLength).empty()) << "length 0 ends the walk";
    EXPECT_EQ(walk(Records().add(1, upRunning, 1, 1).raw(300)).size(), 1u)
        << "a record claiming more than is left ends the walk";
    Records tail;
    tail.add(1, upRunning, 1, 1).raw(111);
    tail.bytes.resize(tail.bytes.size() + 111);
    EXPECT_EQ(walk(tail).size(), 1u) << "fewer than 112 bytes left ends the walk";
    EXPECT_TRUE(walk(Records()).empty());
}

TEST(InterfaceRecordWalk, LaterRecordReplacesAndNamesAreTakenAsTheKernelGivesThem) {
    EXPECT_EQ(walk(Records().add(1, upRunning, 1, 1).add(1, upRunning, 5, 6)),
              (InterfaceCounters{{"eth0", {5, 6}}}));
    auto names =
        walk(Records().add(1, upRunning, 1, 1).add(2, upRunning, 2, 2).add(3, upRunning, 3, 3),
             {{1, std::string("wl\xff\xfe", 4)},
              {2, "a-name-longer-than-fifteen"},
              {3, std::string("en\0x", 4)}});
    EXPECT_EQ(names.count("wl\uFFFD\uFFFD"), 1u);
    EXPECT_EQ(names.count("a-name-longer-t"), 1u);
    EXPECT_EQ(names.count("en"), 1u);
}

} // namespace
