#include "sources/ExternalDevicesReader.h"

#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/SerialQueue.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pulsedeck;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t gigabyte = 1'000'000'000;

const std::map<fs::path, std::uint64_t> fixtureFreeSpace = {
    {"/", 100 * gigabyte},
    {"/media/user/KESTREL", 40 * gigabyte},
    {"/media/user/SD CARD", 12'500'000'000},
    {"/media/user/backup", 200 * gigabyte},
    {"/media/user/snapshots", 199'500'000'000},
    {"/media/user/archive", 50 * gigabyte},
    {"/mnt/nas", 1000 * gigabyte},
    {"/media/user/Vault", 300 * gigabyte},
    {"/media/user/Projects", 120 * gigabyte},
    {"/boot/efi", 500'000'000},
};

std::optional<std::uint64_t> fixtureSpace(const fs::path& mountPoint) {
    const auto found = fixtureFreeSpace.find(mountPoint);
    return found == fixtureFreeSpace.end() ? std::nullopt : std::optional(found->second);
}

ExternalDevice device(std::string id, std::string name, std::string connection,
                      std::optional<double> rate, std::optional<std::uint64_t> capacity,
                      ExternalDeviceKind kind, std::optional<std::uint64_t> available,
                      std::optional<std::string> upstream = std::nullopt) {
    ExternalDevice result;
    result.id = std::move(id);
    result.name = std::move(name);
    result.connection = std::move(connection);
    result.bitsPerSecond = rate;
    result.capacity = capacity;
    result.kind = kind;
    result.availableCapacity = available;
    result.upstreamID = std::move(upstream);
    return result;
}

// Every device of the fixture machine once both background reads have been merged, in order.
std::vector<ExternalDevice> fixtureDevices() {
    return {
        device("usb:9515831964947518575", "Acme USB Headset", "USB", 12e6, std::nullopt,
               ExternalDeviceKind::headphones, std::nullopt),
        device("usb:9515833064459146786", "Corvid SD Reader", "USB", 480e6, 31'914'983'424,
               ExternalDeviceKind::card, 12'500'000'000),
        device("usb:12180476362909094510", "Granite Portable", "USB", 5e9, 1'000'204'886'016,
               ExternalDeviceKind::storage, 249'500'000'000),
        device("tb:d3010000-0082-8a18-2397-a1c10a8f3422", "Harbor TS4 Dock", "USB4", 40e9,
               std::nullopt, ExternalDeviceKind::usb, std::nullopt,
               "d3010000-0082-8a18-2397-a1c10a8f3422"),
        device("usb:12180475263397466299", "Kestrel Flash 64", "USB", 5e9, 64'023'257'088,
               ExternalDeviceKind::storage, 40 * gigabyte),
        device("disk:17824369566553668624", "SD/MMC CRW", "USB", std::nullopt, 15'931'539'456,
               ExternalDeviceKind::card, std::nullopt),
    };
}

std::vector<std::string> names(const ExternalDevicesSnapshot& snapshot) {
    std::vector<std::string> result;
    for (const ExternalDevice& device : snapshot.devices) {
        result.push_back(device.name);
    }
    return result;
}

void copyFixtureMachine(const fs::path& to) {
    fs::copy(testsupport::fixturePath("devices"), to,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

void writeScript(const fs::path& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

// The fixture machine with its background reads run by hand: the work queue runs only when
// the test says so, and the main queue is a loop on a virtual clock.
class FixtureMachine : public ::testing::Test {
protected:
    FixtureMachine() : mainLoop(clock), scopedMain(mainLoop) {}

    std::shared_ptr<ExternalDevicesReader> makeReader(const fs::path& root, fs::path profiler = {},
                                                      bool hearsEvents = true) {
        ExternalDevicesEnvironment environment;
        environment.roots = sys::SystemRoots::under(root);
        environment.roots.profilerCommand =
            profiler.empty() ? testsupport::fixturePath("profiler/good.sh") : profiler;
        environment.freeSpace = [this](const fs::path& mountPoint) {
            const std::optional<std::uint64_t> space = fixtureSpace(mountPoint);
            return space ? std::optional(*space - filled) : std::nullopt;
        };
        environment.workQueue = &work;
        environment.hotPlug = [this, hearsEvents](sys::UeventMonitor::Handler handler) {
            int ends[2];
            if (!hearsEvents || ::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends) != 0) {
                return std::unique_ptr<sys::UeventMonitor>();
            }
            kernelSide = ends[1];
            deliver = handler;
            return sys::UeventMonitor::adopt(ends[0], mainLoop, std::move(handler));
        };
        auto reader = ExternalDevicesReader::create({}, environment);
        reader->changedAction = [this] { ++changes; };
        return reader;
    }

    // Runs the background reads, then what they post to the main queue.
    void finishBackgroundReads() {
        work.runPending();
        mainLoop.runUntilIdle();
    }

    void sendUevent(std::string_view datagram) {
        ASSERT_EQ(::send(kernelSide, datagram.data(), datagram.size(), 0),
                  static_cast<ssize_t>(datagram.size()));
    }

    ~FixtureMachine() override {
        if (kernelSide >= 0) {
            ::close(kernelSide);
        }
    }

    dispatch::VirtualClock clock;
    dispatch::RunLoop mainLoop;
    dispatch::ScopedMainRunLoop scopedMain;
    dispatch::SerialQueue work{"devices-test", dispatch::SerialQueue::Execution::manual};
    int kernelSide = -1;
    // The monitor's handler, for what a socket pair cannot carry.
    sys::UeventMonitor::Handler deliver;
    int changes = 0;
    // Bytes written to every volume since the fixture's figures were taken.
    std::uint64_t filled = 0;
};

TEST_F(FixtureMachine, ScanListsEveryExternalDeviceWithExactFields) {
    auto reader = makeReader(testsupport::fixturePath("devices"));

    // The first scan has no background results yet: no free space and no Thunderbolt entry.
    const ExternalDevicesSnapshot first = reader->sample(100);
    EXPECT_EQ(names(first),
              (std::vector<std::string>{"Acme USB Headset", "Corvid SD Reader", "Granite Portable",
                                        "Kestrel Flash 64", "SD/MMC CRW"}));
    for (const ExternalDevice& listed : first.devices) {
        EXPECT_FALSE(listed.availableCapacity) << listed.name;
    }

    finishBackgroundReads();
    EXPECT_EQ(changes, 2) << "each finished background read reports a change";

    const ExternalDevicesSnapshot merged = reader->sample(100.5);
    const std::vector<ExternalDevice> expected = fixtureDevices();
    ASSERT_EQ(merged.devices.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(merged.devices[i], expected[i]) << "device " << i << ": " << expected[i].name;
    }
}

// A laptop whose camera, Bluetooth radio, fingerprint reader and board hub sit on USB ports
// inside the case, with a mouse and a dock plugged in, and no Thunderbolt controller.
TEST_F(FixtureMachine, ALaptopListsWhatIsPluggedInAndNothingBuiltIn) {
    testsupport::TemporaryDirectory scratch;
    const fs::path runs = scratch.path() / "runs";
    const fs::path profiler = scratch.path() / "profiler.sh";
    writeScript(profiler, "echo run >> '" + runs.string() + "'\necho '{}'\n");
    auto reader = makeReader(testsupport::fixturePath("devices-laptop"), profiler);

    const ExternalDevicesSnapshot snapshot = reader->sample(100);
    EXPECT_EQ(names(snapshot), (std::vector<std::string>{"Pointer Optical Mouse",
                                                         "USB3.0 Card Reader", "USB3.1 Hub"}))
        << "the camera on an unused port, the radio, the board hub and what hangs from it are "
           "inside; the dock's own card reader is plugged in with the dock";
    ASSERT_EQ(snapshot.devices.size(), 3u);
    EXPECT_EQ(snapshot.devices[1].kind, ExternalDeviceKind::card);

    EXPECT_EQ(work.runPending(), 0) << "no disk to measure and no Thunderbolt bus to ask";
    reader->noteChange(true);
    reader->sample(140);
    EXPECT_EQ(work.runPending(), 0);
    EXPECT_FALSE(fs::exists(runs)) << "the Thunderbolt helper never started";
}

// The same laptop with an external SSD: one partition encrypted, LVM inside encryption on the
// other; its own drive holds an encrypted LVM root.
TEST_F(FixtureMachine, EncryptedAndLogicalVolumesCountForTheDiskBeneathThem) {
    auto reader = makeReader(testsupport::fixturePath("devices-encrypted"));
    reader->sample(100);
    finishBackgroundReads();
    const ExternalDevicesSnapshot snapshot = reader->sample(100.5);
    const auto ssd = std::find_if(snapshot.devices.begin(), snapshot.devices.end(),
                                  [](const ExternalDevice& d) { return d.name.ends_with("SSD"); });
    ASSERT_NE(ssd, snapshot.devices.end());
    EXPECT_EQ(ssd->kind, ExternalDeviceKind::storage);
    EXPECT_EQ(ssd->capacity, 1'000'204'886'016u);
    EXPECT_EQ(ssd->availableCapacity, 420 * gigabyte) << "both volumes, each once";
    for (const ExternalDevice& listed : snapshot.devices) {
        EXPECT_FALSE(listed.name.find("SN810") != std::string::npos) << "the internal drive";
    }
}

TEST_F(FixtureMachine, ServesTheCacheForFiveSecondsUnlessAnEventArrives) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    auto reader = makeReader(copy.path());
    const ExternalDevicesSnapshot first = reader->sample(100);
    ASSERT_EQ(first.devices.size(), 5u);

    // Unplug the flash drive: its USB device and its disk leave the machine.
    fs::remove(copy.path() / "sys/bus/usb/devices/2-1");
    fs::remove(copy.path() / "sys/class/block/sda");
    EXPECT_EQ(reader->sample(104.9), first) << "inside the window the cached list is served";

    sendUevent("remove@/devices/pci0000:00/0000:00:14.0/usb2/2-1\0ACTION=remove\0"
               "DEVPATH=/devices/pci0000:00/0000:00:14.0/usb2/2-1\0SUBSYSTEM=usb\0"
               "DEVTYPE=usb_device\0"s);
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 1) << "one change reported on the main queue";

    const ExternalDevicesSnapshot after = reader->sample(104.95);
    EXPECT_EQ(names(after), (std::vector<std::string>{"Acme USB Headset", "Corvid SD Reader",
                                                      "Granite Portable", "SD/MMC CRW"}));
    EXPECT_EQ(reader->sample(109.9), after) << "the event opened a new five-second window";
}

TEST_F(FixtureMachine, LaterScansReadAgainWhatMayChangeWithoutAnEventAndTheFlagsAtAnyEvent) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    auto reader = makeReader(copy.path());
    const ExternalDevicesSnapshot first = reader->sample(100);
    ASSERT_EQ(first.devices.back().name, "SD/MMC CRW");
    EXPECT_EQ(first.devices.back().capacity, 15'931'539'456u);

    // A card of another size goes into the reader: its size is read at every scan.
    const fs::path sys = copy.path() / "sys/devices/pci0000:00";
    std::ofstream(sys / "0000:00:14.0/usb1/1-3/1-3:1.0/host2/target2:0:0/2:0:0:0/block/sdd/size")
        << "7812500\n";
    EXPECT_EQ(reader->sample(105).devices.back().capacity, 4'000'000'000u);

    // The virtual disk's PCI slot turns out to face outwards: the kernel sets that flag when it
    // adds the slot, so it is read again after an event, of whatever kind.
    std::ofstream(sys / "0000:00:02.0/removable") << "removable\n";
    EXPECT_EQ(reader->sample(110).devices.size(), 5u);
    sendUevent("change@/devices/pci0000:00/0000:00:02.0\0ACTION=change\0SUBSYSTEM=pci\0"s);
    mainLoop.runUntilIdle();
    const ExternalDevicesSnapshot after = reader->sample(115);
    EXPECT_EQ(names(after),
              (std::vector<std::string>{"Acme USB Headset", "Corvid SD Reader", "Granite Portable",
                                        "Kestrel Flash 64", "SD/MMC CRW", "vda"}));
    EXPECT_EQ(after.devices[4].capacity, 4'000'000'000u);
    EXPECT_EQ(after.devices[5].connection, "Thunderbolt");
    EXPECT_EQ(after.devices[5].capacity, 274'877'906'944u);
    EXPECT_EQ(after.devices[5].kind, ExternalDeviceKind::storage);
}

TEST_F(FixtureMachine, AHotPlugEventForgetsWhatWasKnownOfEachDisk) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    auto reader = makeReader(copy.path());
    ASSERT_EQ(reader->sample(100).devices.size(), 5u);

    // Another disk arrives where the virtual one was: its controller now sits on USB.
    const fs::path controller = copy.path() / "sys/devices/pci0000:00/0000:00:02.0/virtio1";
    fs::remove(controller / "subsystem");
    fs::create_symlink("../../../../bus/usb", controller / "subsystem");
    sendUevent("add@/devices/pci0000:00/0000:00:02.0/virtio1/block/vda\0ACTION=add\0"
               "SUBSYSTEM=block\0DEVTYPE=disk\0"s);
    mainLoop.runUntilIdle();
    const ExternalDevicesSnapshot after = reader->sample(100.5);
    ASSERT_EQ(after.devices.size(), 6u);
    EXPECT_EQ(after.devices.back().name, "vda");
    EXPECT_EQ(after.devices.back().connection, "USB");
}

TEST_F(FixtureMachine, TheDeviceFoldersAreWalkedAgainOnlyAfterAKernelEvent) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    auto reader = makeReader(copy.path());
    const ExternalDevicesSnapshot first = reader->sample(100);
    ASSERT_EQ(first.devices.size(), 5u);

    // The kernel tells of the flash drive's removal before its folders go: the scan at once
    // still finds them, the one a window later does not.
    sendUevent("remove@/devices/pci0000:00/0000:00:14.0/usb2/2-1\0ACTION=remove\0"
               "SUBSYSTEM=usb\0DEVTYPE=usb_device\0"s);
    mainLoop.runUntilIdle();
    ASSERT_EQ(changes, 1);
    EXPECT_EQ(reader->sample(100.5), first);
    fs::remove(copy.path() / "sys/bus/usb/devices/2-1");
    fs::remove(copy.path() / "sys/class/block/sda");
    EXPECT_EQ(names(reader->sample(105.5)),
              (std::vector<std::string>{"Acme USB Headset", "Corvid SD Reader", "Granite Portable",
                                        "SD/MMC CRW"}));

    // A headset that goes without a word stays listed, until any event at all: a sound card's
    // asks for no sample at once, and the next window walks.
    fs::remove(copy.path() / "sys/bus/usb/devices/1-1");
    EXPECT_EQ(reader->sample(110.5).devices.size(), 4u);
    sendUevent("remove@/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/sound/card1\0"
               "ACTION=remove\0SUBSYSTEM=sound\0"s);
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(names(reader->sample(115.5)),
              (std::vector<std::string>{"Corvid SD Reader", "Granite Portable", "SD/MMC CRW"}));
}

TEST_F(FixtureMachine, EveryScanWalksWhenEventsWereLostOrCannotBeHeard) {
    for (const bool hearsEvents : {true, false}) {
        SCOPED_TRACE(hearsEvents ? "events lost" : "no events");
        testsupport::TemporaryDirectory copy;
        copyFixtureMachine(copy.path());
        changes = 0;
        auto reader = makeReader(copy.path(), {}, hearsEvents);
        ASSERT_EQ(reader->sample(100).devices.size(), 5u);
        reader->sample(105);
        fs::remove(copy.path() / "sys/bus/usb/devices/2-1");
        fs::remove(copy.path() / "sys/class/block/sda");
        if (hearsEvents) {
            sys::Uevent lost;
            lost.eventsLost = true;
            deliver(lost);
            EXPECT_EQ(changes, 1) << "what was lost may have been an arrival";
        }
        EXPECT_EQ(reader->sample(110).devices.size(), 4u) << "the flash drive has gone";
    }
}

TEST_F(FixtureMachine, ADeviceWithoutReadablePropertiesIsListedByItsEntryName) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    const fs::path headset = copy.path() / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
    for (const char* attribute :
         {"product", "manufacturer", "speed", "bDeviceClass", "removable"}) {
        fs::remove(headset / attribute);
    }
    fs::remove(headset / "port");
    auto reader = makeReader(copy.path());
    const ExternalDevicesSnapshot snapshot = reader->sample(100);
    ASSERT_EQ(snapshot.devices.size(), 5u);
    const ExternalDevice& unnamed = snapshot.devices.front();
    EXPECT_EQ(unnamed.id, "usb:9515831964947518575");
    EXPECT_EQ(unnamed.name, "1-1");
    EXPECT_FALSE(unnamed.bitsPerSecond);
    EXPECT_EQ(unnamed.kind, ExternalDeviceKind::usb)
        << "no sound card names it, and its classes alone say audio without a telling name";
}

TEST_F(FixtureMachine, EventsOtherThanArrivalsAndRemovalsChangeNothing) {
    auto reader = makeReader(testsupport::fixturePath("devices"));
    reader->sample(100);
    sendUevent("change@/devices/virtual/block/loop0\0ACTION=change\0SUBSYSTEM=block\0"s);
    sendUevent("add@/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0\0"
               "SUBSYSTEM=usb\0DEVTYPE=usb_interface\0"s);
    sendUevent("not a uevent");
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 0);
}

TEST_F(FixtureMachine, WindowStartsAtTheScanAndEndsAtFiveSeconds) {
    int scans = 0;
    auto reader = ExternalDevicesReader::create([&] {
        ++scans;
        return ExternalDevicesSnapshot{{device("usb:1", "One", "USB", std::nullopt, std::nullopt,
                                               ExternalDeviceKind::usb, std::nullopt)}};
    });
    EXPECT_EQ(reader->sample(10).devices.size(), 1u);
    reader->sample(14.999);
    EXPECT_EQ(scans, 1);
    reader->sample(15);
    EXPECT_EQ(scans, 2) << "a call at the end of the window scans again";
    reader->noteChange(false);
    reader->sample(15.1);
    EXPECT_EQ(scans, 3) << "a noted change forces the next call to scan";
    EXPECT_EQ(work.runPending(), 0) << "an override never starts a background read";
}

TEST_F(FixtureMachine, VolumeSpaceIsReadAtMostEveryFiveSeconds) {
    auto reader = makeReader(testsupport::fixturePath("devices"));
    reader->sample(100);
    EXPECT_EQ(work.runPending(), 2) << "one volume-space and one Thunderbolt read";
    mainLoop.runUntilIdle();
    reader->sample(101);
    EXPECT_EQ(work.runPending(), 0) << "neither read is due again yet";
    reader->noteChange(false);
    reader->sample(105);
    EXPECT_EQ(work.runPending(), 1) << "the volume space is due five seconds after the last read";
    reader->noteChange(true);
    reader->sample(105.5);
    EXPECT_EQ(work.runPending(), 1) << "a hot-plug event makes the Thunderbolt read due at once";
}

TEST_F(FixtureMachine, NoVolumeSpaceIsReadWhileNoDiskIsListedAndNoneWasBefore) {
    testsupport::TemporaryDirectory copy;
    copyFixtureMachine(copy.path());
    auto reader = makeReader(copy.path());
    reader->sample(100);
    finishBackgroundReads();
    ASSERT_TRUE(reader->sample(100.5).devices[1].availableCapacity);

    // Every disk leaves: one more read finds their volumes gone, then none is due.
    fs::remove_all(copy.path() / "sys/class/block");
    reader->noteChange(true);
    reader->sample(105);
    EXPECT_EQ(work.runPending(), 2) << "the volume space and the Thunderbolt inventory";
    mainLoop.runUntilIdle();
    for (const ExternalDevice& listed : reader->sample(105.5).devices) {
        EXPECT_FALSE(listed.availableCapacity) << listed.name;
    }
    reader->noteChange(false);
    reader->sample(110);
    EXPECT_EQ(work.runPending(), 0) << "nothing to read and nothing to clear";

    fs::create_directories(copy.path() / "sys/class/block");
    const std::string sda = "../../devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host0/"
                            "target0:0:0/0:0:0:0/block/sda";
    fs::create_symlink(sda, copy.path() / "sys/class/block/sda");
    fs::create_symlink(sda + "/sda1", copy.path() / "sys/class/block/sda1");
    reader->noteChange(false);
    reader->sample(115);
    EXPECT_EQ(work.runPending(), 1) << "a listed disk again";
    mainLoop.runUntilIdle();
    EXPECT_EQ(reader->sample(115.5).devices.back().availableCapacity, 40 * gigabyte);
}

TEST_F(FixtureMachine, BackgroundReadsReportOnlyResultsThatChanged) {
    auto reader = makeReader(testsupport::fixturePath("devices"));
    reader->sample(100);
    finishBackgroundReads();
    ASSERT_EQ(changes, 2);
    const ExternalDevicesSnapshot merged = reader->sample(100.5);

    reader->noteChange(true);
    changes = 0;
    reader->sample(105);
    ASSERT_EQ(work.runPending(), 2) << "both reads ran again";
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 0) << "the same free space and inventory ask for no new sample";
    EXPECT_EQ(reader->sample(105.5), merged) << "and no new scan";

    filled = gigabyte;
    reader->sample(110);
    ASSERT_EQ(work.runPending(), 1) << "only the volume space is due";
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 1) << "a volume that filled up is reported";
    const ExternalDevicesSnapshot after = reader->sample(110.1);
    ASSERT_EQ(after.devices.size(), merged.devices.size());
    for (std::size_t i = 0; i < after.devices.size(); ++i) {
        const std::optional<std::uint64_t> before = merged.devices[i].availableCapacity;
        const std::optional<std::uint64_t> now = after.devices[i].availableCapacity;
        ASSERT_EQ(before.has_value(), now.has_value()) << after.devices[i].name;
        if (before) {
            // A device with several volumes loses a gigabyte on each.
            EXPECT_EQ((*before - *now) % gigabyte, 0u) << after.devices[i].name;
            EXPECT_GE(*before - *now, gigabyte) << after.devices[i].name;
        }
    }
}

TEST_F(FixtureMachine, ReadsDoNotOverlapAndWorkersOutlivingTheReaderDoNothing) {
    auto reader = makeReader(testsupport::fixturePath("devices"));
    reader->sample(100);
    reader->noteChange(true);
    reader->sample(200);
    EXPECT_EQ(work.runPending(), 2) << "reads still in flight are not started a second time";
    changes = 0;
    mainLoop.runUntilIdle();
    EXPECT_EQ(changes, 2);

    reader->noteChange(true);
    reader->sample(300);
    std::weak_ptr<ExternalDevicesReader> weak = reader;
    reader.reset();
    EXPECT_TRUE(weak.expired()) << "queued reads hold the reader weakly";
    changes = 0;
    finishBackgroundReads();
    EXPECT_EQ(changes, 0) << "reads finishing after the reader has gone report nothing";
}

TEST_F(FixtureMachine, HungProfilerEmptiesTheInventoryAndIsDueAgainThirtySecondsAfterItsStart) {
    testsupport::TemporaryDirectory folder;
    const fs::path runs = folder.path() / "runs";
    const fs::path hangFlag = folder.path() / "hang";
    writeScript(folder.path() / "profiler",
                "echo run >> '" + runs.string() + "'\n" + "if [ -e '" + hangFlag.string() +
                    "' ]; then exec '" + testsupport::fixturePath("profiler/hang.sh").string() +
                    "'; fi\nexec '" + testsupport::fixturePath("profiler/good.sh").string() +
                    "'\n");
    auto reader = makeReader(testsupport::fixturePath("devices"), folder.path() / "profiler");
    const auto runCount = [&] {
        std::ifstream in(runs);
        return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
    };

    reader->sample(100);
    finishBackgroundReads();
    ASSERT_EQ(names(reader->sample(100.1)).size(), 6u) << "the dock is listed";

    std::ofstream(hangFlag) << "hang";
    reader->noteChange(true);
    reader->sample(110);
    finishBackgroundReads();
    EXPECT_EQ(runCount(), 2);
    const ExternalDevicesSnapshot afterHang = reader->sample(110.2);
    EXPECT_EQ(afterHang.devices.size(), 5u) << "a hung profiler leaves an empty inventory";
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1) << "no child left, zombie or running";

    reader->noteChange(false);
    reader->sample(139.9);
    work.runPending();
    EXPECT_EQ(runCount(), 2) << "not due before 30 s after the start of the last read";
    reader->noteChange(false);
    reader->sample(140);
    fs::remove(hangFlag);
    finishBackgroundReads();
    EXPECT_EQ(runCount(), 3);
    EXPECT_EQ(reader->sample(140.1).devices.size(), 6u);
}

TEST(ExternalDevicesReaderThreads, BackgroundReadsOnTheGlobalQueueReportOnTheMainQueue) {
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop scopedMain(loop);
    ExternalDevicesEnvironment environment;
    environment.roots = sys::SystemRoots::under(testsupport::fixturePath("devices"));
    environment.roots.profilerCommand = testsupport::fixturePath("profiler/good.sh");
    environment.freeSpace = fixtureSpace;
    environment.hotPlug = [](sys::UeventMonitor::Handler) {
        return std::unique_ptr<sys::UeventMonitor>();
    };
    auto reader = ExternalDevicesReader::create({}, environment);
    int changes = 0;
    bool onMainThread = true;
    reader->changedAction = [&] {
        ++changes;
        onMainThread = onMainThread && dispatch::isMainThread();
    };

    reader->sample(100);
    const double deadline = dispatch::systemUptime() + 20;
    dispatch::mainQueue().asyncAfter(20, [] {});
    loop.runNested(dispatch::RunLoopMode::defaultMode,
                   [&] { return changes < 2 && dispatch::systemUptime() < deadline; });
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(reader->sample(100.5).devices, fixtureDevices());
}

TEST(ThunderboltInventory, ProfilerScriptsGiveTheDockOrNothing) {
    const auto inventory = [](const char* script) {
        sys::SystemRoots roots = sys::SystemRoots::under(testsupport::fixturePath("devices"));
        roots.profilerCommand = testsupport::fixturePath(std::string("profiler/") + script);
        return ExternalDevicesReader::readThunderboltInventory(roots);
    };
    const std::vector<ExternalDevice> good = inventory("good.sh");
    ASSERT_EQ(good.size(), 1u) << "the host router (route 0) is no device";
    EXPECT_EQ(good[0], fixtureDevices()[3]);
    EXPECT_TRUE(inventory("garbage.sh").empty());
    EXPECT_TRUE(inventory("deep.sh").empty()) << "10,000 levels deep is unparsable";
    EXPECT_TRUE(inventory("missing.sh").empty());
}

} // namespace
