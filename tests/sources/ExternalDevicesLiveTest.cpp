#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/system/DiskDescription.h"
#include "sources/ExternalDevicesReader.h"

#include <gtest/gtest.h>
#include <map>

using namespace pulsedeck;
using Verdict = ExternalDevicesReader::DiskVerdict;

namespace {

// Why each whole disk of this machine stays off the list.
std::map<std::string, Verdict> wholeDiskVerdicts() {
    const sys::DeviceRegistry registry(sys::SystemRoots::live());
    std::map<std::string, Verdict> verdicts;
    for (const sys::RegistryEntry& media : registry.media()) {
        if (sys::numberProperty(registry.properties(media), "Whole") != 1.0) {
            continue;
        }
        const auto description = sys::describeDisk(registry, media);
        EXPECT_TRUE(description) << media.name << " is a block device with a description";
        if (description) {
            verdicts.emplace(media.name, ExternalDevicesReader::storageVerdict(*description));
        }
    }
    return verdicts;
}

} // namespace

TEST(ExternalDevicesLive, FindsThisMachinesDisksAndExcludesEachForItsOwnReason) {
    const std::map<std::string, Verdict> verdicts = wholeDiskVerdicts();
    ASSERT_FALSE(verdicts.empty()) << "a reader that reads nothing finds no disk";
    for (const auto& [name, verdict] : verdicts) {
        SCOPED_TRACE(name);
        if (name.starts_with("vd")) {
            EXPECT_EQ(verdict, Verdict::internal) << "the virtual machine's own disk";
        } else if (name.starts_with("loop")) {
            EXPECT_EQ(verdict, Verdict::diskImage);
        } else if (name.starts_with("zram") || name.starts_with("ram") || name.starts_with("dm-")) {
            EXPECT_EQ(verdict, Verdict::virtualInterface);
        }
        EXPECT_NE(verdict, Verdict::listed) << "this machine has no external disk";
    }
    EXPECT_TRUE(verdicts.contains("vda"));
    EXPECT_TRUE(verdicts.contains("loop0"));
    EXPECT_TRUE(verdicts.contains("zram0"));
}

TEST(ExternalDevicesLive, TheReaderListsNothingHere) {
    auto reader = ExternalDevicesReader::create();
    const ExternalDevicesSnapshot snapshot = reader->sample(dispatch::systemUptime());
    for (const ExternalDevice& device : snapshot.devices) {
        ADD_FAILURE() << device.id << " " << device.name;
    }
}

TEST(ExternalDevicesLive, TheKernelsHotPlugEventsCanBeHeard) {
    dispatch::RunLoop loop;
    EXPECT_TRUE(sys::UeventMonitor::openKernel(loop, [](const sys::Uevent&) {}));
}
