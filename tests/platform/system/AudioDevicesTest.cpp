#include "platform/system/AudioDevices.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

using sys::AudioCardLine;
using sys::AudioDevice;

TEST(AudioDevices, CardsFromTheirTwoLineEntries) {
    const auto cards =
        sys::parseAudioCards(" 0 [PCH            ]: HDA-Intel - HDA Intel PCH\n"
                             "                      HDA Intel PCH at 0xf7f10000 irq 32\n"
                             "12 [Dock           ]: USB-Audio - Harbor Dock - Audio\n"
                             "                      Harbor Dock at usb-0000:00:14.0-4, high speed\n"
                             " 3 [Last           ]: Dummy - Last Card\n");
    EXPECT_EQ(cards,
              (std::vector<AudioCardLine>{
                  {0, "HDA Intel PCH", "HDA Intel PCH at 0xf7f10000 irq 32"},
                  {12, "Harbor Dock - Audio", "Harbor Dock at usb-0000:00:14.0-4, high speed"},
                  {3, "Last Card", ""}}));
}

TEST(AudioDevices, MalformedEntriesAreSkipped) {
    EXPECT_TRUE(sys::parseAudioCards("").empty());
    EXPECT_TRUE(sys::parseAudioCards("--- no soundcards ---\n").empty());
    EXPECT_TRUE(sys::parseAudioCards(" x [A ]: Driver - Name\n").empty());
    EXPECT_TRUE(sys::parseAudioCards(" -1 [A ]: Driver - Name\n").empty());
    EXPECT_TRUE(sys::parseAudioCards(" 99999999999999999999 [A ]: Driver - Name\n").empty());
    EXPECT_TRUE(sys::parseAudioCards(" 1 [A ]: no dash here\n").empty());
    EXPECT_TRUE(sys::parseAudioCards(" 1 ]: Driver - Name [\n").empty());
}

TEST(AudioDevices, StreamsFromTheCardFolders) {
    const auto devices =
        sys::audioDevices(sys::SystemRoots::under(testsupport::fixturePath("devices")));
    EXPECT_EQ(devices,
              (std::vector<AudioDevice>{
                  {"HDA Intel PCH", "HDA Intel PCH at 0xf7f10000 irq 32", true, true},
                  {"Acme USB Headset", "Acme Acme USB Headset at usb-0000:00:14.0-1, full speed",
                   true, true}}));
    EXPECT_TRUE(sys::audioDevices(sys::SystemRoots::under("/nonexistent")).empty());
}
