#include "platform/system/DeviceRegistry.h"

#include "platform/system/DiskDescription.h"
#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using sys::DeviceRegistry;
using sys::RegistryEntry;

namespace {

DeviceRegistry fixtureRegistry() {
    return DeviceRegistry(sys::SystemRoots::under(testsupport::fixturePath("devices")));
}

std::vector<std::string> names(const std::vector<RegistryEntry>& entries) {
    std::vector<std::string> result;
    for (const RegistryEntry& entry : entries) {
        result.push_back(entry.name);
    }
    return result;
}

RegistryEntry media(const DeviceRegistry& registry, std::string_view name) {
    auto entry = registry.mediaNamed(name);
    EXPECT_TRUE(entry) << name;
    return entry.value_or(RegistryEntry{});
}

} // namespace

TEST(DeviceRegistry, ListsAttachedUSBDevicesAndEveryBlockDevice) {
    const DeviceRegistry registry = fixtureRegistry();
    EXPECT_EQ(names(registry.usbDevices()),
              (std::vector<std::string>{"1-1", "1-2", "1-3", "2-1", "2-2"}))
        << "root hubs and interfaces are not devices";
    EXPECT_EQ(names(registry.media()),
              (std::vector<std::string>{"loop0", "sda", "sda1", "sdb", "sdb1", "sdc", "sdc1",
                                        "sdc2", "sdd", "vda", "vda1", "zram0"}));
}

TEST(DeviceRegistry, IdsAreAStableHashOfTheDevicePath) {
    const DeviceRegistry registry = fixtureRegistry();
    const RegistryEntry drive = registry.usbDevices()[3];
    EXPECT_EQ(drive.id, 12180475263397466299u);
    EXPECT_EQ(drive.id, sys::stableHash("devices/pci0000:00/0000:00:14.0/usb2/2-1"));
    EXPECT_EQ(sys::stableHash(""), 0xcbf29ce484222325u);
    // The same device reached through another link is the same entry.
    const auto again = registry.entryAt(registry.roots().sys / "bus/usb/devices/2-1");
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, drive);
    EXPECT_FALSE(registry.entryAt(registry.roots().sys / "bus/usb/devices/9-9"));
    EXPECT_FALSE(registry.entryAt(registry.roots().sys / "devices"));
}

TEST(DeviceRegistry, USBPropertiesComeFromTheDeviceAttributes) {
    const DeviceRegistry registry = fixtureRegistry();
    const auto devices = registry.usbDevices();
    const sys::DeviceProperties headset = registry.properties(devices[0]);
    EXPECT_EQ(sys::stringProperty(headset, "USB Product Name"), "Acme USB Headset");
    EXPECT_EQ(sys::stringProperty(headset, "USB Vendor Name"), "Acme");
    EXPECT_EQ(sys::numberProperty(headset, "UsbLinkSpeed"), 12e6);
    EXPECT_EQ(sys::integerProperty(headset, "bDeviceClass"), 0);
    EXPECT_EQ(sys::integerProperty(headset, "USBPortType"), 0);
    EXPECT_EQ(sys::numberProperty(headset, "Built-In"), 0.0);

    const sys::DeviceProperties internal = registry.properties(devices[2]);
    EXPECT_EQ(sys::integerProperty(internal, "USBPortType"), 2) << "a hard-wired port";
    EXPECT_EQ(sys::integerProperty(internal, "Built-In"), 1);
    EXPECT_FALSE(sys::stringProperty(internal, "Built-In")) << "typed reads never convert";

    std::vector<std::int64_t> interfaceClasses;
    for (const RegistryEntry& below : registry.descendants(devices[0])) {
        if (auto found = sys::integerProperty(registry.properties(below), "bInterfaceClass")) {
            interfaceClasses.push_back(*found);
        }
    }
    EXPECT_EQ(interfaceClasses.size(), 4u);
    EXPECT_EQ(std::count(interfaceClasses.begin(), interfaceClasses.end(), 3), 1);

    const RegistryEntry flashDrive = devices[3];
    EXPECT_EQ(
        names(registry.descendants(flashDrive)),
        (std::vector<std::string>{"2-1:1.0", "host0", "target0:0:0", "0:0:0:0", "sda", "sda1"}));
    EXPECT_EQ(names(registry.descendants(flashDrive, "usb")), (std::vector<std::string>{"2-1:1.0"}))
        << "the walk stays within USB devices";
}

TEST(DeviceRegistry, BlockPropertiesAndTheWalkUpToTheBus) {
    const DeviceRegistry registry = fixtureRegistry();
    const RegistryEntry sda = media(registry, "sda");
    const sys::DeviceProperties disk = registry.properties(sda);
    EXPECT_EQ(sys::numberProperty(disk, "Whole"), 1.0);
    EXPECT_EQ(sys::integerProperty(disk, "Size"), 125045424 * 512LL);
    EXPECT_EQ(sys::numberProperty(registry.properties(media(registry, "sda1")), "Whole"), 0.0);

    const std::vector<RegistryEntry> chain = registry.ancestors(sda, 32);
    EXPECT_EQ(names(chain), (std::vector<std::string>{"0:0:0:0", "target0:0:0", "host0", "2-1:1.0",
                                                      "2-1", "usb2", "0000:00:14.0", "pci0000:00"}))
        << "folders without a uevent (block/) are no devices";
    EXPECT_EQ(registry.ancestors(sda, 3).size(), 3u);
    EXPECT_EQ(registry.subsystem(chain[4]), "usb");
    EXPECT_EQ(registry.deviceType(chain[4]), "usb_device");
}

TEST(DeviceRegistry, MediaFoldersAreTheClassLinksResolvedAsTheSystemWould) {
    const DeviceRegistry registry = fixtureRegistry();
    const std::vector<fs::path> folders = registry.mediaFolders();
    const std::vector<RegistryEntry> media = registry.media();
    ASSERT_EQ(folders.size(), media.size());
    std::vector<std::string> virtualOnes;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const fs::path link = registry.roots().sys / "class/block" / media[i].name;
        EXPECT_EQ(folders[i], fs::canonical(link)) << link;
        EXPECT_EQ(registry.entryAtFolder(folders[i]), registry.entryAt(link)) << link;
        if (registry.isVirtualFolder(folders[i])) {
            virtualOnes.push_back(media[i].name);
        }
    }
    EXPECT_EQ(virtualOnes, (std::vector<std::string>{"loop0", "zram0"}));

    const fs::path devices = registry.devicesFolder();
    EXPECT_FALSE(registry.entryAtFolder(devices)) << "the devices folder itself";
    EXPECT_FALSE(registry.entryAtFolder(devices / "pci0000:00/0000:00:02.0/virtio1/block"))
        << "no uevent";
    EXPECT_FALSE(registry.entryAtFolder(devices.parent_path() / "class/block")) << "outside";
    EXPECT_FALSE(registry.entryAtFolder(devices / "pci0000:00/absent"));

    EXPECT_TRUE(registry.isPartition(media[2]));
    EXPECT_FALSE(registry.isPartition(media[1]));
    EXPECT_EQ(registry.mediaSize(media[1]), 125045424 * 512LL);
}

TEST(DeviceRegistry, ClassLinksMayBeAbsoluteAndOnlyDeviceFoldersAreMedia) {
    testsupport::TemporaryDirectory root;
    const fs::path sys = root.path() / "sys";
    const fs::path disk = sys / "devices/platform/card/block/mmcblk0";
    fs::create_directories(disk);
    std::ofstream(disk / "uevent") << "DEVTYPE=disk\n";
    std::ofstream(disk / "size") << "not a number\n";
    fs::create_directories(sys / "class/block/stray");
    std::ofstream(sys / "class/block/stray/uevent") << "DEVTYPE=disk\n";
    fs::create_symlink(disk, sys / "class/block/mmcblk0");
    fs::create_symlink("../../devices/platform/gone", sys / "class/block/gone");
    fs::create_symlink("../../devices/platform/card/block/mmcblk0/", sys / "class/block/slash");

    const DeviceRegistry registry(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(names(registry.media()), (std::vector<std::string>{"mmcblk0", "mmcblk0"}))
        << "a folder in the class folder lies outside the devices; a dangling link is nothing";
    const auto entry = registry.entryAt(sys / "class/block/slash");
    ASSERT_TRUE(entry);
    EXPECT_EQ(registry.media()[1], *entry);
    EXPECT_FALSE(registry.mediaSize(*entry));
}

TEST(DeviceRegistry, DeviceNodesResolveThroughTheirLinks) {
    testsupport::TemporaryDirectory root;
    fs::copy(testsupport::fixturePath("devices/sys"), root.path() / "sys",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::create_directories(root.path() / "dev/mapper");
    fs::create_symlink("../sdc2", root.path() / "dev/mapper/vault");
    const DeviceRegistry registry(sys::SystemRoots::under(root.path()));
    const auto mapped = registry.mediaNamed("mapper/vault");
    ASSERT_TRUE(mapped);
    EXPECT_EQ(mapped->name, "sdc2");
    EXPECT_FALSE(registry.mediaNamed(""));
    EXPECT_FALSE(registry.mediaNamed("sdz"));
    EXPECT_FALSE(registry.mediaNamed(".."));
}

TEST(DeviceRegistry, MappedVolumesLeadToTheMediaBeneathThemAndLoopsEnd) {
    testsupport::TemporaryDirectory root;
    fs::copy(testsupport::fixturePath("devices-encrypted"), root.path(),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const DeviceRegistry registry(sys::SystemRoots::under(root.path()));
    const auto logical = registry.mediaNamed("mapper/projects-data");
    ASSERT_TRUE(logical);
    EXPECT_EQ(names(registry.underlyingMedia(*logical)), (std::vector<std::string>{"dm-3", "sda2"}))
        << "LVM inside LUKS inside a partition";
    EXPECT_TRUE(registry.underlyingMedia(*registry.mediaNamed("sda2")).empty());

    fs::create_directory_symlink("../../dm-4",
                                 root.path() / "sys/devices/virtual/block/dm-3/slaves/dm-4");
    EXPECT_EQ(names(registry.underlyingMedia(*logical)),
              (std::vector<std::string>{"dm-3", "sda2"}));
}

TEST(DeviceRegistry, WalksEndOnLoopsAndMissingTrees) {
    testsupport::TemporaryDirectory root;
    const fs::path device = root.path() / "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
    fs::create_directories(device / "1-1:1.0");
    std::ofstream(device / "uevent") << "DEVTYPE=usb_device\n";
    std::ofstream(device / "1-1:1.0/uevent") << "DEVTYPE=usb_interface\n";
    fs::create_directory_symlink("..", device / "1-1:1.0/loop");
    const DeviceRegistry registry(sys::SystemRoots::under(root.path()));
    const auto entry = registry.entryAt(device);
    ASSERT_TRUE(entry);
    EXPECT_EQ(names(registry.descendants(*entry)), (std::vector<std::string>{"1-1:1.0"}));
    EXPECT_TRUE(registry.ancestors(*entry, 32).empty());
    EXPECT_TRUE(registry.properties(*entry).empty()) << "no subsystem link, no properties";

    const DeviceRegistry nothing(sys::SystemRoots::under(root.path() / "absent"));
    EXPECT_TRUE(nothing.usbDevices().empty());
    EXPECT_TRUE(nothing.media().empty());
}

TEST(DiskDescription, EachFixtureDiskSaysWhatItIs) {
    const DeviceRegistry registry = fixtureRegistry();
    const auto describe = [&](std::string_view name) {
        return sys::describeDisk(registry, media(registry, name)).value_or(sys::DiskDescription{});
    };
    EXPECT_EQ(describe("sda"), (sys::DiskDescription{false, true, "USB", "Flash 64"}));
    EXPECT_EQ(describe("sdc"), (sys::DiskDescription{false, false, "USB", "Portable"}));
    EXPECT_EQ(describe("sdd"), (sys::DiskDescription{false, true, "USB", "SD/MMC CRW"}))
        << "a card in a hard-wired reader is still removable media";
    EXPECT_EQ(describe("vda"), (sys::DiskDescription{true, false, "Virtual Interface", {}}));
    EXPECT_EQ(describe("loop0"), (sys::DiskDescription{false, false, "Disk Image", {}}));
    EXPECT_EQ(describe("zram0"), (sys::DiskDescription{false, false, "Virtual Interface", {}}));
    EXPECT_FALSE(sys::describeDisk(registry, registry.usbDevices()[0])) << "not a block device";
}

TEST(DiskDescription, APlacementKeptBetweenDescriptionsStillReadsWhatMayChange) {
    testsupport::TemporaryDirectory root;
    fs::copy(testsupport::fixturePath("devices/sys"), root.path() / "sys",
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    const DeviceRegistry registry(sys::SystemRoots::under(root.path()));
    for (const RegistryEntry& disk : registry.media()) {
        EXPECT_EQ(sys::describePlacedDisk(sys::diskPlacement(registry, disk), disk, true),
                  sys::describeDisk(registry, disk))
            << disk.name;
    }

    const RegistryEntry vda = media(registry, "vda");
    const sys::DiskPlacement placement = sys::diskPlacement(registry, vda);
    EXPECT_EQ(names({placement.ancestors[0].entry, placement.ancestors[1].entry}),
              (std::vector<std::string>{"virtio1", "0000:00:02.0"}));
    EXPECT_EQ(placement.ancestors[1].bus, "pci");
    const fs::path slot = root.path() / "sys/devices/pci0000:00/0000:00:02.0";
    std::ofstream(slot / "removable") << "removable\n";
    std::ofstream(vda.path / "removable") << "1\n";
    EXPECT_EQ(sys::describePlacedDisk(placement, vda, false),
              (sys::DiskDescription{false, true, "Thunderbolt", {}}))
        << "the slot's flag and the disk's own are read at each description";

    const RegistryEntry sda = media(registry, "sda");
    const sys::DiskPlacement usb = sys::diskPlacement(registry, sda);
    std::ofstream(root.path() / "sys/devices/pci0000:00/0000:00:14.0/removable") << "removable\n";
    EXPECT_EQ(sys::describePlacedDisk(usb, sda, false).deviceProtocol, "USB")
        << "USB above the disk outweighs an outward-facing port";
}
