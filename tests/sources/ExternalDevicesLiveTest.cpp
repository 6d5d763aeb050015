#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainThread.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/system/DeviceAttributes.h"
#include "platform/system/DiskDescription.h"
#include "sources/ExternalDevicesReader.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace pulsedeck;
using Verdict = ExternalDevicesReader::DiskVerdict;
namespace fs = std::filesystem;

// These run on whatever machine builds the project: a virtual machine with nothing attached, or a
// laptop with a USB stick and a dock. They check what the machine itself says, never a list of
// device names, and run the same checks over fixture machines that have things attached.

namespace {

std::vector<sys::SystemRoots> machines() {
    return {sys::SystemRoots::live(), sys::SystemRoots::under(testsupport::fixturePath("devices")),
            sys::SystemRoots::under(testsupport::fixturePath("devices-laptop")),
            sys::SystemRoots::under(testsupport::fixturePath("devices-encrypted"))};
}

// Why each whole disk of this machine is listed or not.
std::map<std::string, std::pair<Verdict, fs::path>>
wholeDiskVerdicts(const sys::SystemRoots& live) {
    const sys::DeviceRegistry registry(live);
    std::map<std::string, std::pair<Verdict, fs::path>> verdicts;
    for (const sys::RegistryEntry& media : registry.media()) {
        if (sys::numberProperty(registry.properties(media), "Whole") != 1.0) {
            continue;
        }
        const auto description = sys::describeDisk(registry, media);
        EXPECT_TRUE(description) << media.name << " is a block device with a description";
        if (description) {
            verdicts.emplace(
                media.name,
                std::pair(ExternalDevicesReader::storageVerdict(*description), media.path));
        }
    }
    return verdicts;
}

bool hasEntries(const fs::path& folder) {
    std::error_code error;
    return fs::directory_iterator(folder, error) != fs::directory_iterator();
}

// The registry ids of the USB devices sysfs lists (root hubs and interfaces left out), computed
// here from the paths rather than through the registry.
std::set<std::string> usbDeviceIDs(const sys::SystemRoots& live) {
    std::set<std::string> ids;
    const fs::path sysRoot = fs::canonical(live.sys);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(live.sys / "bus/usb/devices", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find(':') != std::string::npos || name.starts_with("usb")) {
            continue;
        }
        const fs::path folder = fs::canonical(entry.path(), error);
        if (!error) {
            ids.insert("usb:" + std::to_string(sys::stableHash(
                                    folder.lexically_relative(sysRoot).generic_string())));
        }
    }
    return ids;
}

} // namespace

TEST(ExternalDevicesLive, EveryWholeDiskGetsTheVerdictItsKindCallsFor) {
    for (const sys::SystemRoots& live : machines()) {
        SCOPED_TRACE(live.sys);
        const auto verdicts = wholeDiskVerdicts(live);
        if (hasEntries(live.sys / "class/block")) {
            EXPECT_FALSE(verdicts.empty()) << "a reader that reads nothing finds no disk";
        }
        for (const auto& [name, found] : verdicts) {
            const auto& [verdict, folder] = found;
            SCOPED_TRACE(name);
            const bool isVirtual =
                folder.generic_string().find("/devices/virtual/") != std::string::npos;
            if (name.starts_with("loop")) {
                EXPECT_EQ(verdict, Verdict::diskImage);
            } else if (isVirtual) {
                EXPECT_EQ(verdict, Verdict::virtualInterface) << "zram, device-mapper, RAID";
            } else if (verdict == Verdict::listed) {
                const bool onUSB = folder.generic_string().find("/usb") != std::string::npos;
                const bool removable = sys::deviceInteger(folder / "removable") == 1;
                const bool onThunderbolt =
                    folder.generic_string().find("/domain") != std::string::npos;
                EXPECT_TRUE(onUSB || removable || onThunderbolt)
                    << "only a disk that can be carried off is listed";
            }
        }
    }
}

TEST(ExternalDevicesLive, TheReaderListsOnlyWhatThisMachineHasAttached) {
    dispatch::RunLoop loop;
    dispatch::ScopedMainRunLoop main(loop);
    for (const sys::SystemRoots& live : machines()) {
        SCOPED_TRACE(live.sys);
        ExternalDevicesEnvironment environment;
        environment.roots = live;
        environment.hotPlug = [](sys::UeventMonitor::Handler) {
            return std::unique_ptr<sys::UeventMonitor>();
        };
        auto reader = ExternalDevicesReader::create({}, environment);
        const ExternalDevicesSnapshot snapshot = reader->sample(dispatch::systemUptime());
        const std::set<std::string> usbIDs = usbDeviceIDs(live);
        const auto verdicts = wholeDiskVerdicts(live);
        for (const ExternalDevice& device : snapshot.devices) {
            SCOPED_TRACE(device.id + " " + device.name);
            EXPECT_FALSE(device.name.empty());
            if (device.id.starts_with("usb:")) {
                EXPECT_TRUE(usbIDs.contains(device.id)) << "a USB device sysfs lists";
            } else if (device.id.starts_with("disk:")) {
                EXPECT_TRUE(std::any_of(verdicts.begin(), verdicts.end(), [](const auto& entry) {
                    return entry.second.first == Verdict::listed;
                })) << "a disk listed for itself";
            } else if (device.id.starts_with("tb:")) {
                EXPECT_TRUE(hasEntries(live.sys / "bus/thunderbolt/devices"));
            } else {
                ADD_FAILURE() << "an id of no known kind";
            }
        }
    }
}

TEST(ExternalDevicesLive, TheKernelsHotPlugEventsCanBeHeard) {
    if (!sys::kernelDeviceEventsReachUs()) {
        GTEST_SKIP() << "the kernel sends this network namespace no device events";
    }
    dispatch::RunLoop loop;
    EXPECT_TRUE(sys::UeventMonitor::openKernel(loop, [](const sys::Uevent&) {}));
}
