#include "platform/foundation/ProcessInfo.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using foundation::OperatingSystemInfo;
using foundation::OperatingSystemVersion;

TEST(OperatingSystemInfo, ReadsOsRelease) {
    auto info = OperatingSystemInfo::parse("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                           "NAME=\"Debian GNU/Linux\"\n"
                                           "VERSION_ID=\"12\"\n"
                                           "ID=debian\n",
                                           "Linux", "6.1.0-18-amd64");
    EXPECT_EQ(info.name, "Debian GNU/Linux");
    EXPECT_EQ(info.versionString, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(info.version, (OperatingSystemVersion{12, 0, 0}));

    auto ubuntu = OperatingSystemInfo::parse("NAME='Ubuntu'\nVERSION_ID=22.04\n"
                                             "PRETTY_NAME=\"Ubuntu \\\"Jammy\\\" 22.04.3 LTS\"",
                                             "Linux", "6.5.0");
    EXPECT_EQ(ubuntu.name, "Ubuntu");
    EXPECT_EQ(ubuntu.versionString, "Ubuntu \"Jammy\" 22.04.3 LTS");
    EXPECT_EQ(ubuntu.version, (OperatingSystemVersion{22, 4, 0}));
}

TEST(OperatingSystemInfo, FallsBackToTheKernel) {
    auto info = OperatingSystemInfo::parse("ID=custom\nNAMED=x\n", "Linux", "6.18.44-fc-v1300");
    EXPECT_EQ(info.name, "Linux");
    EXPECT_EQ(info.versionString, "Linux 6.18.44-fc-v1300");
    EXPECT_EQ(info.version, (OperatingSystemVersion{6, 18, 44}));

    auto nothing = OperatingSystemInfo::parse("", "", "");
    EXPECT_EQ(nothing.name, "");
    EXPECT_EQ(nothing.version, OperatingSystemVersion{});
}

TEST(OperatingSystemInfo, VersionNumbers) {
    using foundation::parseOperatingSystemVersion;
    EXPECT_EQ(parseOperatingSystemVersion("13.4.1.9"), (OperatingSystemVersion{13, 4, 1}));
    EXPECT_EQ(parseOperatingSystemVersion("rolling"), OperatingSystemVersion{});
    EXPECT_EQ(parseOperatingSystemVersion("3.x.1"), (OperatingSystemVersion{3, 0, 0}));
    EXPECT_EQ(parseOperatingSystemVersion("-1.2"), OperatingSystemVersion{});
    EXPECT_EQ(parseOperatingSystemVersion("99999999999999999999.1"), OperatingSystemVersion{});
}

TEST(OperatingSystemInfo, ReadsFromARoot) {
    testsupport::TemporaryDirectory dir;
    std::filesystem::create_directories(dir.path() / "usr/lib");
    std::ofstream(dir.path() / "usr/lib/os-release") << "NAME=Fixture\nVERSION_ID=3.1\n";
    auto info = OperatingSystemInfo::read(dir.path());
    EXPECT_EQ(info.name, "Fixture");
    EXPECT_EQ(info.version, (OperatingSystemVersion{3, 1, 0}));
}

TEST(ProcessInfo, MachineFacts) {
    EXPECT_EQ(foundation::processInfo::physicalMemory(),
              static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE));
    EXPECT_GT(foundation::processInfo::physicalMemory(), 0u);
    EXPECT_GE(foundation::processInfo::processorCount(), 1);
    EXPECT_GT(foundation::processInfo::systemUptime(), 0.0);
}

} // namespace
