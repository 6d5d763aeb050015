#include "platform/system/UeventMonitor.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::string_literals;
using sys::Uevent;

TEST(Uevent, ParsesHeaderAndFields) {
    const auto event = sys::parseUevent(
        "add@/devices/pci0000:00/0000:00:14.0/usb2/2-1\0ACTION=add\0"
        "DEVPATH=/devices/pci0000:00/0000:00:14.0/usb2/2-1\0SUBSYSTEM=usb\0DEVTYPE=usb_device\0"
        "SEQNUM=4242\0"s);
    ASSERT_TRUE(event);
    EXPECT_EQ(*event,
              (Uevent{"add", "/devices/pci0000:00/0000:00:14.0/usb2/2-1", "usb", "usb_device"}));
    EXPECT_TRUE(event->isDeviceArrivalOrRemoval());
}

TEST(Uevent, OnlyDeviceArrivalsAndRemovalsCount) {
    const auto counts = [](std::string action, std::string subsystem, std::string type) {
        return Uevent{std::move(action), "/devices/x", std::move(subsystem), std::move(type)}
            .isDeviceArrivalOrRemoval();
    };
    EXPECT_TRUE(counts("remove", "usb", "usb_device"));
    EXPECT_TRUE(counts("add", "block", "disk"));
    EXPECT_TRUE(counts("remove", "block", "partition"));
    EXPECT_TRUE(counts("add", "thunderbolt", "thunderbolt_device"));
    EXPECT_FALSE(counts("add", "usb", "usb_interface"));
    EXPECT_FALSE(counts("change", "block", "disk"));
    const auto card = sys::parseUevent(
        "change@/devices/x/block/sdb\0ACTION=change\0SUBSYSTEM=block\0DEVTYPE=disk\0"
        "DISK_MEDIA_CHANGE=1\0"s);
    ASSERT_TRUE(card);
    EXPECT_TRUE(card->mediaChange);
    EXPECT_TRUE(card->isDeviceArrivalOrRemoval()) << "a card put into a reader";
    EXPECT_FALSE(counts("bind", "usb", "usb_device"));
    EXPECT_FALSE(counts("add", "net", ""));
}

TEST(Uevent, AnythingElseIsNoEvent) {
    EXPECT_FALSE(sys::parseUevent(""));
    EXPECT_FALSE(sys::parseUevent("@"));
    EXPECT_FALSE(sys::parseUevent("add@"));
    EXPECT_FALSE(sys::parseUevent("@/devices/x"));
    EXPECT_FALSE(sys::parseUevent("libudev\0\xfe\xed\xca\xfe"s)) << "udev's re-broadcast";
    const auto bare = sys::parseUevent("remove@/devices/x");
    ASSERT_TRUE(bare) << "a header without fields";
    EXPECT_EQ(bare->subsystem, "");
    const auto odd = sys::parseUevent("add@/x\0\0=\0SUBSYSTEM\0SUBSYSTEM=block"s);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->subsystem, "block");
}

TEST(UeventMonitor, DeliversEachDatagramOnTheLoopUntilItEnds) {
    dispatch::VirtualClock clock;
    dispatch::RunLoop loop(clock);
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, ends), 0);
    std::vector<Uevent> seen;
    auto monitor = sys::UeventMonitor::adopt(ends[0], loop,
                                             [&](const Uevent& event) { seen.push_back(event); });
    ASSERT_TRUE(monitor);

    for (const std::string& datagram :
         {"add@/devices/a\0SUBSYSTEM=usb\0"s, "junk"s, "remove@/devices/b\0SUBSYSTEM=block\0"s}) {
        ASSERT_EQ(::send(ends[1], datagram.data(), datagram.size(), 0),
                  static_cast<ssize_t>(datagram.size()));
    }
    loop.runUntilIdle();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].devicePath, "/devices/a");
    EXPECT_EQ(seen[1].action, "remove");

    monitor.reset();
    EXPECT_EQ(::send(ends[1], "x", 1, 0), -1) << "the monitor closed its end";
    loop.runUntilIdle();
    EXPECT_EQ(seen.size(), 2u);
    ::close(ends[1]);
    EXPECT_FALSE(sys::UeventMonitor::adopt(-1, loop, {}));
}

TEST(UeventMonitor, ANetworkOfAnotherUserNamespaceHearsNoDeviceEvents) {
    if (!sys::kernelDeviceEventsReachUs()) {
        GTEST_SKIP() << "this process already runs where no device event arrives";
    }
    constexpr int unshareRefused = 2;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // What a rootless container with a network of its own does.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            ::_exit(unshareRefused);
        }
        ::_exit(sys::kernelDeviceEventsReachUs() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == unshareRefused) {
        GTEST_SKIP() << "this machine allows no user namespaces";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
