#include "platform/system/MountedVolumes.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using sys::MountedVolume;

TEST(MountedVolumes, ReadsSourceAndMountPointPastOptionalFields) {
    const auto volumes = sys::parseMountInfo(
        "36 35 98:0 /mnt1 /mnt/parent\\040dir rw,noatime master:1 shared:4 - ext3 /dev/root "
        "rw,errors=continue\n"
        "27 1 254:1 / / rw,relatime - ext4 /dev/vda1 rw\n"
        "44 27 0:50 / /mnt/tab\\011and\\134back rw - cifs //nas/share\\040one rw\n");
    EXPECT_EQ(volumes, (std::vector<MountedVolume>{{"/dev/root", "/mnt/parent dir"},
                                                   {"/dev/vda1", "/"},
                                                   {"//nas/share one", "/mnt/tab\tand\\back"}}));
}

TEST(MountedVolumes, SkipsMalformedLines) {
    EXPECT_TRUE(sys::parseMountInfo("").empty());
    EXPECT_TRUE(sys::parseMountInfo("\n\n   \n").empty());
    EXPECT_TRUE(sys::parseMountInfo("1 2 3:4 / /mnt rw - ext4\n").empty()) << "no source";
    EXPECT_TRUE(sys::parseMountInfo("1 2 3:4 / /mnt rw ext4 /dev/sda1 rw\n").empty())
        << "no separator";
    EXPECT_TRUE(sys::parseMountInfo("1 2 - a b\n").empty()) << "separator too early";
    const auto kept = sys::parseMountInfo("garbage\n1 2 3:4 / /ok rw - ext4 /dev/sdz9 rw\n"
                                          "1 2 3:4 / /bad\\9 rw - ext4 /dev/x\\7 rw\n");
    EXPECT_EQ(kept, (std::vector<MountedVolume>{{"/dev/sdz9", "/ok"}, {"/dev/x\\7", "/bad\\9"}}))
        << "incomplete escapes stay as written";
}

TEST(MountedVolumes, ReadsTheRootsMountTable) {
    const auto volumes =
        sys::mountedVolumes(sys::SystemRoots::under(testsupport::fixturePath("devices")));
    ASSERT_EQ(volumes.size(), 9u);
    EXPECT_EQ(volumes[3], (MountedVolume{"/dev/sdb1", "/media/user/SD CARD"}));
    EXPECT_TRUE(sys::mountedVolumes(sys::SystemRoots::under("/nonexistent")).empty());
}

TEST(MountedVolumes, FreeSpaceOfARealFileSystem) {
    testsupport::TemporaryDirectory folder;
    const auto before = std::filesystem::space(folder.path());
    const auto free = sys::availableBytes(folder.path());
    const auto after = std::filesystem::space(folder.path());
    ASSERT_TRUE(free);
    // Other programs write to this file system between the reads, so the figure is held to the
    // span the two reads around it saw, with room for a burst of writes; the reserved blocks
    // that tell "available" from "free" on ext4 are far larger than that room.
    constexpr std::uintmax_t room = 64u << 20;
    EXPECT_GE(*free + room, std::min(before.available, after.available));
    EXPECT_LE(*free, std::max(before.available, after.available) + room);
    EXPECT_LE(*free, before.capacity);
    EXPECT_FALSE(sys::availableBytes("/nonexistent/mount"));
}
