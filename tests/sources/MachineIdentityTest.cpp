#include "sources/MachineIdentity.h"

#include "support/TestPaths.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

using pulsedeck::MachineIdentity;

MachineIdentity identity(std::string identifier, std::string description, bool appleSilicon) {
    return {.identifier = std::move(identifier),
            .productDescription = std::move(description),
            .isAppleSilicon = appleSilicon,
            .hasFanInputs = true};
}

TEST(MachineIdentity, ListedModelsAreFanless) {
    for (auto model : pulsedeck::fanlessModelIdentifiers) {
        EXPECT_TRUE(identity(std::string(model), "", false).isFanless()) << model;
    }
    EXPECT_FALSE(identity("Mac14,2 ", "", false).isFanless());
    EXPECT_FALSE(identity("Mac14,7", "", true).isFanless());
}

TEST(MachineIdentity, AppleSiliconAirsAreFanlessByDescription) {
    EXPECT_TRUE(identity("Mac99,1", "MacBook Air (M4, 2025)", true).isFanless());
    EXPECT_TRUE(identity("Mac99,1", "Mac Book  AIR", true).isFanless());
    EXPECT_FALSE(identity("Mac99,1", "MacBook Air (M4, 2025)", false).isFanless());
    EXPECT_FALSE(identity("Mac99,1", "MacBook Pro", true).isFanless());
}

TEST(MachineIdentity, NoFanInputsMeansFanless) {
    auto machine = identity("Studio Tower 7", "", false);
    machine.hasFanInputs = false;
    EXPECT_TRUE(machine.isFanless());
}

TEST(MachineIdentity, ModelIsTheDescriptionElseTheIdentifier) {
    EXPECT_EQ(identity("Studio Tower 7", "", false).model(), "Studio Tower 7");
    EXPECT_EQ(identity("apple,j413", "Apple MacBook Air", true).model(), "Apple MacBook Air");
}

TEST(MachineIdentity, ReadsADmiMachine) {
    auto machine =
        MachineIdentity::read(sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop")));
    EXPECT_EQ(machine.identifier, "Studio Tower 7");
    EXPECT_EQ(machine.productDescription, "");
    EXPECT_FALSE(machine.isAppleSilicon);
    EXPECT_TRUE(machine.hasFanInputs);
    EXPECT_FALSE(machine.isFanless());
}

TEST(MachineIdentity, ReadsADeviceTreeMachineAndTrimsItsDescription) {
    auto machine = MachineIdentity::read(
        sys::SystemRoots::under(testsupport::fixturePath("machine-arm-laptop")));
    EXPECT_EQ(machine.identifier, "apple,j413");
    EXPECT_EQ(machine.productDescription, "Apple MacBook Air (13-inch, M2, 2022)");
    EXPECT_TRUE(machine.isAppleSilicon);
    EXPECT_FALSE(machine.hasFanInputs);
    EXPECT_TRUE(machine.isFanless());
}

TEST(MachineIdentity, RepairsInvalidTextAndCutsAtTheFirstZero) {
    testsupport::TemporaryDirectory root;
    auto tree = root.path() / "sys/firmware/devicetree/base";
    std::filesystem::create_directories(tree);
    std::ofstream(tree / "compatible", std::ios::binary) << std::string("vendor,b\xFFoard\0x", 15);
    std::ofstream(tree / "model", std::ios::binary)
        << std::string("\x01\tBoard \xC3\xA9\xC3\n\0", 13);
    auto machine = MachineIdentity::read(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(machine.identifier, "vendor,b\xEF\xBF\xBDoard");
    EXPECT_EQ(machine.productDescription, "Board \xC3\xA9\xEF\xBF\xBD");
    EXPECT_FALSE(machine.isAppleSilicon);
}

TEST(MachineIdentity, AnEmptyMachineHasNoIdentity) {
    testsupport::TemporaryDirectory root;
    auto machine = MachineIdentity::read(sys::SystemRoots::under(root.path()));
    EXPECT_EQ(machine.identifier, "");
    EXPECT_EQ(machine.model(), "");
    EXPECT_TRUE(machine.isFanless());
}

} // namespace
