#include "sources/FanReader.h"

#include "platform/system/FakeSmcTransport.h"
#include "platform/system/HwmonSmcEmulator.h"
#include "support/TestPaths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using pulsedeck::FanReader;
using pulsedeck::FanReading;
using pulsedeck::fourCharCode;
using pulsedeck::MachineIdentity;
using sys::FakeSmcTransport;
namespace smc = sys::smc;

MachineIdentity withFans(std::string identifier = "Studio Tower 7") {
    return MachineIdentity{.identifier = std::move(identifier),
                           .productDescription = "",
                           .isAppleSilicon = false,
                           .hasFanInputs = true};
}

std::optional<double> decode(std::string_view type, std::vector<std::uint8_t> bytes) {
    return FanReader::decode(fourCharCode(type), bytes);
}

struct FanReaderTest : testing::Test {
    std::shared_ptr<FakeSmcTransport> controller = std::make_shared<FakeSmcTransport>();
    FanReader reader{controller, withFans()};
};

TEST(FourCharCode, FoldsFromTheFirstByte) {
    EXPECT_EQ(fourCharCode("FNum"), 0x464E756Du);
    EXPECT_EQ(fourCharCode("flt "), 0x666C7420u);
}

TEST(FanReaderDecode, FloatIsLittleEndianSinglePrecision) {
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x16, 0x45}), 2400.0);
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x16}), std::nullopt);
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x16, 0x45, 0x00}), std::nullopt);
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x80, 0xBF}), std::nullopt); // -1
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x80, 0x7F}), std::nullopt); // +inf
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0xC0, 0x7F}), std::nullopt); // NaN
    EXPECT_EQ(decode("flt ", {0x00, 0x50, 0xC3, 0x47}), 100000.0);     // the top of the range
    EXPECT_EQ(decode("flt ", {0x80, 0x50, 0xC3, 0x47}), std::nullopt); // just above it
    EXPECT_EQ(decode("flt ", {0x00, 0x00, 0x00, 0x00}), 0.0);
}

TEST(FanReaderDecode, Sp78IsSignedFixedPoint) {
    EXPECT_EQ(decode("sp78", {0x2D, 0x80}), 45.5);
    EXPECT_EQ(decode("sp78", {0xFF, 0x00}), std::nullopt);
    EXPECT_EQ(decode("sp78", {0x2D}), std::nullopt);
    EXPECT_EQ(decode("sp78", {0x2D, 0x80, 0x00}), std::nullopt);
    EXPECT_EQ(decode("sp78", {0x7F, 0xFF}), 32767 / 256.0);
}

TEST(FanReaderDecode, Fpe2IsUnsignedQuarters) {
    EXPECT_EQ(decode("fpe2", {0x1F, 0x40}), 2000.0);
    EXPECT_EQ(decode("fpe2", {0xFF, 0xFF}), 16383.75);
    EXPECT_EQ(decode("fpe2", {0x1F}), std::nullopt);
    EXPECT_EQ(decode("fpe2", {0x1F, 0x40, 0x00, 0x00}), std::nullopt);
}

TEST(FanReaderDecode, UnsignedIntegersAreBigEndian) {
    EXPECT_EQ(decode("ui8 ", {0xFE}), 254.0);
    EXPECT_EQ(decode("ui8 ", {0x01, 0x02}), std::nullopt);
    EXPECT_EQ(decode("ui8 ", {}), std::nullopt);
    EXPECT_EQ(decode("ui16", {0x01, 0x02}), 258.0);
    EXPECT_EQ(decode("ui16", {0x01}), std::nullopt);
    EXPECT_EQ(decode("ui16", {0x01, 0x02, 0x03}), std::nullopt);
    EXPECT_EQ(decode("ui32", {0x00, 0x01, 0x86, 0xA0}), 100000.0);
    EXPECT_EQ(decode("ui32", {0x00, 0x01, 0x86, 0xA1}), std::nullopt);
    EXPECT_EQ(decode("ui32", {0x00, 0x01, 0x86}), std::nullopt);
    EXPECT_EQ(decode("ui32", {0x00, 0x00, 0x00, 0x01, 0x00}), std::nullopt);
}

TEST(FanReaderDecode, UnknownTypesGiveNothing) {
    EXPECT_EQ(decode("si16", {0x00, 0x10}), std::nullopt);
    EXPECT_EQ(decode("flag", {0x01}), std::nullopt);
    EXPECT_EQ(decode("FLT ", {0x00, 0x00, 0x16, 0x45}), std::nullopt);
}

TEST_F(FanReaderTest, ReadsAKeyWithTwoCallsThenOneFromTheCache) {
    controller->set("TC0P", "sp78", {0x2D, 0x80});
    EXPECT_EQ(reader.readKey("TC0P"), 45.5);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 1);
    EXPECT_EQ(controller->calls(smc::readBytes), 1);

    EXPECT_EQ(reader.readKey("TC0P"), 45.5);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 1);
    EXPECT_EQ(controller->calls(smc::readBytes), 2);
    EXPECT_EQ(controller->opens(), 1);
}

TEST_F(FanReaderTest, NamesMustBeFourBytes) {
    controller->setFloat("F0Ac", 1000);
    EXPECT_EQ(reader.readKey("F0A"), std::nullopt);
    EXPECT_EQ(reader.readKey("F0Acc"), std::nullopt);
    EXPECT_EQ(reader.readKey("F0A\xC3\xA9"), std::nullopt); // "F0Aé": four characters, five bytes
    EXPECT_EQ(controller->calls(), 0);
}

TEST_F(FanReaderTest, KeyInformationOutsideOneTo32IsNotCached) {
    controller->set("TC0P", "sp78", {0x2D, 0x80}).reportedSize = 0;
    EXPECT_EQ(reader.readKey("TC0P"), std::nullopt);
    EXPECT_EQ(reader.readKey("TC0P"), std::nullopt);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 2);
    EXPECT_EQ(controller->calls(smc::readBytes), 0);

    controller->entry("TC0P")->reportedSize = 33;
    EXPECT_EQ(reader.readKey("TC0P"), std::nullopt);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 3);
    EXPECT_EQ(controller->calls(smc::readBytes), 0);

    controller->entry("TC0P")->reportedSize = 32;
    EXPECT_EQ(reader.readKey("TC0P"), std::nullopt); // 32 bytes do not fit sp78
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 4);
    EXPECT_EQ(controller->calls(smc::readBytes), 1);
    EXPECT_EQ(reader.readKey("TC0P"), std::nullopt);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 4); // but the information was kept
    EXPECT_EQ(controller->calls(smc::readBytes), 2);
}

TEST_F(FanReaderTest, RefusedReadEvictsTheKeyAndKeepsTheConnection) {
    controller->setFloat("F0Ac", 1500).refuseRead = true;
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    controller->entry("F0Ac")->refuseRead = false;
    EXPECT_EQ(reader.readKey("F0Ac"), 1500.0);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 2);
    EXPECT_EQ(controller->opens(), 1);
    EXPECT_EQ(controller->closes(), 0);
}

TEST_F(FanReaderTest, RefusedKeyInformationFailsOnlyThatRead) {
    controller->setFloat("F0Ac", 1500).refuseInfo = true;
    controller->setFloat("F1Ac", 900);
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    EXPECT_EQ(reader.readKey("F1Ac"), 900.0);
    EXPECT_EQ(controller->opens(), 1);
}

TEST_F(FanReaderTest, ShortOrLongRepliesFailTheCallButKeepTheConnection) {
    controller->setFloat("F0Ac", 1500);
    controller->setReplySize(79);
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    controller->setReplySize(81);
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    controller->setReplySize(std::nullopt);
    EXPECT_EQ(reader.readKey("F0Ac"), 1500.0);
    EXPECT_EQ(controller->opens(), 1);
}

TEST_F(FanReaderTest, TransportFailureClosesAndTheNextReadReopensAndRefetches) {
    controller->setFloat("F0Ac", 1500);
    EXPECT_EQ(reader.readKey("F0Ac"), 1500.0);
    controller->failNextCalls(1);
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    EXPECT_EQ(controller->closes(), 1);
    EXPECT_EQ(controller->openConnections(), 0);

    EXPECT_EQ(reader.readKey("F0Ac"), 1500.0);
    EXPECT_EQ(controller->opens(), 2);
    EXPECT_EQ(controller->calls(smc::readKeyInfo), 2);
}

TEST_F(FanReaderTest, NoControllerReadsNothingAndTriesAgain) {
    controller->setAvailable(false);
    controller->setFloat("F0Ac", 1500);
    EXPECT_EQ(reader.readKey("F0Ac"), std::nullopt);
    EXPECT_TRUE(reader.listTemperatureKeys().empty());
    controller->setAvailable(true);
    EXPECT_EQ(reader.readKey("F0Ac"), 1500.0);
}

TEST_F(FanReaderTest, ConnectionClosesWithTheReader) {
    {
        FanReader local(controller, withFans());
        controller->setFloat("F0Ac", 1);
        local.readKey("F0Ac");
        EXPECT_EQ(controller->openConnections(), 1);
    }
    EXPECT_EQ(controller->openConnections(), 0);
}

TEST_F(FanReaderTest, ListsTemperatureKeysInIndexOrder) {
    controller->set("#KEY", "ui32", {0, 0, 0, 7});
    controller->set("TC0P", "sp78", {0x2D, 0x80});
    controller->set("FNum", "ui8 ", {2});
    controller->set("Tp09", "flt ", {0, 0, 0x40, 0x42});
    controller->set("Ta0P", "sp78", {0x20, 0});
    controller->set("tp01", "sp78", {0x20, 0});
    controller->set("Tp\xC0x", "sp78", {0x20, 0});
    EXPECT_EQ(reader.listTemperatureKeys(), (std::vector<std::string>{"TC0P", "Tp09"}));
    EXPECT_EQ(controller->calls(smc::keyAtIndex), 7);
}

TEST_F(FanReaderTest, ListingNeedsAKeyCountInRange) {
    controller->set("TC0P", "sp78", {0x2D, 0x80});
    EXPECT_TRUE(reader.listTemperatureKeys().empty()); // no #KEY
    controller->set("#KEY", "ui32", {0, 0, 0, 0});
    EXPECT_TRUE(reader.listTemperatureKeys().empty());
    controller->set("#KEY", "ui32", {0, 0, 0x4E, 0x21}); // 20,001
    EXPECT_TRUE(reader.listTemperatureKeys().empty());
    EXPECT_EQ(controller->calls(smc::keyAtIndex), 0);

    // A count past the end just finds nothing at the missing indices.
    controller->set("#KEY", "ui32", {0, 0, 0, 5});
    EXPECT_EQ(reader.listTemperatureKeys(), (std::vector<std::string>{"TC0P"}));
}

TEST_F(FanReaderTest, ListingSkipsFailedIndicesWithoutClosing) {
    controller->set("#KEY", "ui32", {0, 0, 0, 3});
    controller->set("TC0P", "sp78", {0x2D, 0x80});
    controller->set("TC1P", "sp78", {0x2D, 0x80});
    controller->failNextCalls(2, smc::keyAtIndex);
    EXPECT_EQ(reader.listTemperatureKeys(), (std::vector<std::string>{"TC1P"}));
    EXPECT_EQ(controller->closes(), 0);
    EXPECT_EQ(controller->openConnections(), 1);
}

TEST_F(FanReaderTest, SampleReadsEachFan) {
    controller->set("FNum", "ui8 ", {2});
    controller->setFloat("F0Ac", 1200);
    controller->setFloat("F0Mx", 5000);
    controller->set("F1Ac", "fpe2", {0x00, 0x00});
    controller->set("F1Mx", "fpe2", {0x1F, 0x40});
    auto snapshot = reader.sample();
    EXPECT_EQ(snapshot.model, "Studio Tower 7");
    EXPECT_EQ(snapshot.detectedCount, 2);
    EXPECT_EQ(snapshot.fans, (std::vector<FanReading>{{0, 1200.0, 5000.0}, {1, 0.0, 2000.0}}));
}

TEST_F(FanReaderTest, MissingSpeedOrZeroMaximumReadAsNothing) {
    controller->set("FNum", "ui8 ", {1});
    controller->setFloat("F0Mx", 0);
    auto snapshot = reader.sample();
    EXPECT_EQ(snapshot.fans, (std::vector<FanReading>{{0, std::nullopt, std::nullopt}}));
    EXPECT_EQ(snapshot.detectedCount, 1);
}

TEST_F(FanReaderTest, FanCountEdgeCases) {
    EXPECT_EQ(reader.sample().detectedCount, std::nullopt); // absent

    controller->setFloat("FNum", 0);
    auto none = reader.sample();
    EXPECT_EQ(none.detectedCount, 0);
    EXPECT_TRUE(none.fans.empty());

    for (float unusable : {11.0f, -1.0f, 2.5f}) {
        controller->setFloat("FNum", unusable);
        controller->setFloat("F0Ac", 1000);
        auto snapshot = reader.sample();
        EXPECT_EQ(snapshot.detectedCount, std::nullopt) << unusable;
        EXPECT_TRUE(snapshot.fans.empty()) << unusable;
    }

    // A fresh reader: a key's type never changes under a connection that has cached it.
    controller->set("FNum", "ui8 ", {10});
    FanReader fresh(controller, withFans());
    EXPECT_EQ(fresh.sample().detectedCount, 10);
}

TEST(FanReaderFanless, MakesNoControllerCall) {
    auto controller = std::make_shared<FakeSmcTransport>();
    controller->set("FNum", "ui8 ", {2});
    for (auto identity : {withFans("Mac14,2"), withFans("MacBookAir10,1"),
                          MachineIdentity{.identifier = "Mac14,7",
                          .productDescription = "MacBook Air (M2, 2022)",
                          .isAppleSilicon = true,
                          .hasFanInputs = true}}) {
        FanReader reader(controller, identity);
        auto snapshot = reader.sample();
        EXPECT_EQ(snapshot.detectedCount, 0);
        EXPECT_TRUE(snapshot.fans.empty());
    }
    EXPECT_EQ(controller->opens(), 0);
    EXPECT_EQ(controller->calls(), 0);
}

TEST(FanReaderHwmon, FixtureTreeGivesBothFansWithMaxima) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-desktop"));
    auto emulator = std::make_shared<sys::HwmonSmcEmulator>(roots);
    FanReader reader(emulator, MachineIdentity::read(roots));
    auto snapshot = reader.sample();
    EXPECT_EQ(snapshot.model, "Studio Tower 7");
    EXPECT_EQ(snapshot.detectedCount, 2);
    EXPECT_EQ(snapshot.fans, (std::vector<FanReading>{{0, 2400.0, 4900.0}, {1, 1200.0, 3500.0}}));
    EXPECT_EQ(pulsedeck::fanLoadFraction(snapshot.fans), 2400.0 / 4900.0);
}

// A Ryzen desktop: the graphics card's fan, seven Super I/O headers (one of them failing to read)
// and an eight-channel fan hub — sixteen fans where the controller can name ten.
TEST(FanReaderHwmon, ManyFansShowTheFirstTenAndAnUnreadableOneIsPassedOver) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-ryzen-desktop"));
    FanReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots), MachineIdentity::read(roots));
    auto snapshot = reader.sample();
    EXPECT_EQ(snapshot.detectedCount, 10);
    EXPECT_EQ(snapshot.fans, (std::vector<FanReading>{{0, 0.0, 3300.0},
                                                      {1, 1187.0, std::nullopt},
                                                      {2, 0.0, std::nullopt},
                                                      {3, 1034.0, std::nullopt},
                                                      {4, 812.0, std::nullopt},
                                                      {5, std::nullopt, std::nullopt},
                                                      {6, 1450.0, std::nullopt},
                                                      {7, 2011.0, std::nullopt},
                                                      {8, 905.0, std::nullopt},
                                                      {9, 910.0, std::nullopt}}))
        << "amdgpu, then nct6798 fan1…fan7, then the hub's first two";
    ASSERT_TRUE(pulsedeck::busiestFan(snapshot.fans));
    EXPECT_EQ(pulsedeck::busiestFan(snapshot.fans)->id, 7);
}

TEST(FanReaderHwmon, MachineWithoutFanInputsIsFanless) {
    auto roots = sys::SystemRoots::under(testsupport::fixturePath("hwmon-drives-only"));
    FanReader reader(std::make_shared<sys::HwmonSmcEmulator>(roots), MachineIdentity::read(roots));
    auto snapshot = reader.sample();
    EXPECT_EQ(snapshot.detectedCount, 0);
    EXPECT_TRUE(snapshot.fans.empty());
}

} // namespace
