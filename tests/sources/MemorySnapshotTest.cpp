#include "sources/MemorySnapshot.h"

#include <gtest/gtest.h>

namespace {

using namespace pulsedeck;

TEST(MemoryBytes, UnitBoundaries) {
    EXPECT_EQ(formatMemoryBytes(0), "0 bytes");
    EXPECT_EQ(formatMemoryBytes(1), "1 byte");
    EXPECT_EQ(formatMemoryBytes(1023), "1,023 bytes");
    EXPECT_EQ(formatMemoryBytes(1024), "1 KB");
    EXPECT_EQ(formatMemoryBytes(1'048'575), "1,024 KB");
    EXPECT_EQ(formatMemoryBytes(1'048'576), "1.0 MB");
    EXPECT_EQ(formatMemoryBytes(1'073'741'823), "1024.0 MB");
    EXPECT_EQ(formatMemoryBytes(1'073'741'824), "1.00 GB");
    EXPECT_EQ(formatMemoryBytes(5ull << 30), "5.00 GB");
    EXPECT_EQ(formatMemoryBytes(~0ull), "17179869184.00 GB");
}

TEST(MemoryBytes, ZeroAmountTest) {
    EXPECT_TRUE(isZeroAmountText("0 bytes"));
    EXPECT_TRUE(isZeroAmountText("0.00 GB"));
    EXPECT_TRUE(isZeroAmountText("0,0 MB"));
    EXPECT_TRUE(isZeroAmountText("0\u00A0KB"));
    EXPECT_TRUE(isZeroAmountText("\u202F0,00\u00A0Go"));
    EXPECT_TRUE(isZeroAmountText("0"));
    EXPECT_FALSE(isZeroAmountText("0.01 GB"));
    EXPECT_FALSE(isZeroAmountText("10 bytes"));
    EXPECT_FALSE(isZeroAmountText("Zero KB"));
    EXPECT_FALSE(isZeroAmountText("\u2014"));
    EXPECT_FALSE(isZeroAmountText(". , "));
    EXPECT_FALSE(isZeroAmountText(""));
    // Only the leading run counts: a non-zero digit after the unit does not matter.
    EXPECT_TRUE(isZeroAmountText("0 GB of 16"));
    // A lone lead byte of a no-break space is not a separator.
    EXPECT_FALSE(isZeroAmountText("\xC2"));
}

TEST(MemorySnapshot, PressureLabel) {
    MemorySnapshot snapshot;
    const auto language = AppLanguage::english;
    EXPECT_EQ(snapshot.pressureText(language), text(Copy::unknown, language));
    snapshot.pressure = 1;
    EXPECT_EQ(snapshot.pressureText(language), text(Copy::normal, language));
    snapshot.pressure = 2;
    EXPECT_EQ(snapshot.pressureText(language), text(Copy::elevated, language));
    snapshot.pressure = 4;
    EXPECT_EQ(snapshot.pressureText(AppLanguage::german), text(Copy::high, AppLanguage::german));
    snapshot.pressure = 3;
    EXPECT_EQ(snapshot.pressureText(language), text(Copy::unknown, language));
}

TEST(MemorySnapshot, SummaryHidesZeroSwapAndSecondLabelFollowsIt) {
    const auto language = AppLanguage::french;
    auto t = [&](Copy key) { return text(key, language); };
    MemorySnapshot snapshot;
    snapshot.pressure = 2;
    snapshot.physical = "16.00 GB";
    snapshot.used = "9.50 GB";
    snapshot.cached = "4.20 GB";
    snapshot.swap = "0 bytes";
    snapshot.explanation = Copy::independent;
    EXPECT_EQ(snapshot.summaryText(language),
              t(Copy::pressure) + ": " + t(Copy::elevated) + ". " + t(Copy::physical) +
                  ": 16.00 GB. " + t(Copy::used) + ": 9.50 GB. " + t(Copy::cached) + ": 4.20 GB. " +
                  t(Copy::swap) + ": \u2014. " + t(Copy::independent));
    EXPECT_EQ(snapshot.secondaryLabel(language), t(Copy::shortUsed));

    snapshot.swap = "512.0 MB";
    EXPECT_NE(snapshot.summaryText(language).find(t(Copy::swap) + ": 512.0 MB. "),
              std::string::npos);
    EXPECT_EQ(snapshot.secondaryLabel(language), t(Copy::shortSwap));

    // An unknown swap figure is no zero amount.
    snapshot.swap = "\u2014";
    EXPECT_EQ(snapshot.secondaryLabel(language), t(Copy::shortSwap));
}

} // namespace
