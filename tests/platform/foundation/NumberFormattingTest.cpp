#include "platform/foundation/NumberFormatting.h"

#include "platform/foundation/ByteCountFormatter.h"

#include <clocale>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace {

using foundation::ByteCountFormatter;
using Style = foundation::ByteCountFormatter::CountStyle;

TEST(NumberFormatting, FixedDigitsLikePrintfInTheCLocale) {
    EXPECT_EQ(foundation::formatFixed(9.949, 1), "9.9");
    EXPECT_EQ(foundation::formatFixed(1023.99, 1), "1024.0");
    EXPECT_EQ(foundation::formatFixed(0.5, 0), "0");
    EXPECT_EQ(foundation::formatFixed(1.5, 0), "2");
    EXPECT_EQ(foundation::formatFixed(-0.4, 0), "-0");
    EXPECT_EQ(foundation::formatFixed(1e300, 0).size(), 301u);
    EXPECT_EQ(foundation::formatFixed(std::numeric_limits<double>::infinity(), 2), "inf");
    EXPECT_EQ(foundation::formatFixed(-std::numeric_limits<double>::infinity(), 2), "-inf");
    EXPECT_EQ(foundation::formatFixed(std::numeric_limits<double>::quiet_NaN(), 2), "nan");
    // Ties of the binary value go to the even digit; what only looks like a tie does not.
    const double exactLimit = 0x1p53;
    for (double value :
         {0.0, -0.0, 0.05, 2.675, 1e-7, 123456.789, 1e15 + 0.3, 0.125, 0.375, -2.5, 0.0625, 1.0005,
          0.015, 4.9e-324, -1e-300, exactLimit - 1, exactLimit - 0.5, exactLimit, 1e19 + 0.5}) {
        for (int digits : {0, 1, 2, 3, 4}) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%.*f", digits, value);
            EXPECT_EQ(foundation::formatFixed(value, digits), expected) << value << " " << digits;
        }
    }
    // The largest values with fractions long enough to outgrow any fixed buffer.
    const double largest = std::numeric_limits<double>::max();
    for (double value : {-largest, largest, 0.1, -1e-300}) {
        for (int digits : {0, 1, 40, 41, 42, 43, 60, 400}) {
            char expected[800];
            std::snprintf(expected, sizeof expected, "%.*f", digits, value);
            EXPECT_EQ(foundation::formatFixed(value, digits), expected) << value << " " << digits;
        }
    }
}

TEST(NumberFormatting, Grouping) {
    EXPECT_EQ(foundation::formatGrouped(0), "0");
    EXPECT_EQ(foundation::formatGrouped(999), "999");
    EXPECT_EQ(foundation::formatGrouped(1000), "1,000");
    EXPECT_EQ(foundation::formatGrouped(-1234567), "-1,234,567");
    EXPECT_EQ(foundation::formatGrouped(std::numeric_limits<std::int64_t>::min()),
              "-9,223,372,036,854,775,808");
}

// The texts must not follow a comma locale, even when the process has switched to one.
TEST(NumberFormatting, CommaLocaleStillPrintsPoint) {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 is not installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5") << "the locale did not take effect";

    EXPECT_EQ(foundation::formatFixed(1.5, 1), "1.5");
    EXPECT_EQ(foundation::formatGrouped(1234567), "1,234,567");
    EXPECT_EQ(ByteCountFormatter::string(12345678987, Style::file), "12.35 GB");
    EXPECT_EQ(ByteCountFormatter::string(1536000, Style::memory), "1.5 MB");
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(ByteCountFormatter, MemoryStyleCountsIn1024s) {
    EXPECT_EQ(ByteCountFormatter::string(1, Style::memory), "1 byte");
    EXPECT_EQ(ByteCountFormatter::string(2, Style::memory), "2 bytes");
    EXPECT_EQ(ByteCountFormatter::string(999, Style::memory), "999 bytes");
    EXPECT_EQ(ByteCountFormatter::string(1000, Style::memory), "1,000 bytes");
    EXPECT_EQ(ByteCountFormatter::string(1023, Style::memory), "1,023 bytes");
    EXPECT_EQ(ByteCountFormatter::string(1024, Style::memory), "1 KB");
    EXPECT_EQ(ByteCountFormatter::string(11999, Style::memory), "12 KB");
    EXPECT_EQ(ByteCountFormatter::string(900000, Style::memory), "879 KB");
    // The largest count the memory text hands to the formatter stays in KB.
    EXPECT_EQ(ByteCountFormatter::string(1048575, Style::memory), "1,024 KB");
    EXPECT_EQ(ByteCountFormatter::string(1048576, Style::memory), "1 MB");
    EXPECT_EQ(ByteCountFormatter::string(12345678, Style::memory), "11.8 MB");
    EXPECT_EQ(ByteCountFormatter::string(1234567898, Style::memory), "1.15 GB");
    EXPECT_EQ(ByteCountFormatter::string(12345678987, Style::memory), "11.5 GB");
    EXPECT_EQ(ByteCountFormatter::string(0, Style::memory), "Zero KB");
    EXPECT_EQ(ByteCountFormatter::string(1023, Style::binary), "1,023 bytes");
}

TEST(ByteCountFormatter, FileStyleCountsIn1000s) {
    EXPECT_EQ(ByteCountFormatter::string(999, Style::file), "999 bytes");
    EXPECT_EQ(ByteCountFormatter::string(1000, Style::file), "1 KB");
    EXPECT_EQ(ByteCountFormatter::string(1024, Style::file), "1 KB");
    EXPECT_EQ(ByteCountFormatter::string(900000, Style::file), "900 KB");
    EXPECT_EQ(ByteCountFormatter::string(12345678, Style::file), "12.3 MB");
    EXPECT_EQ(ByteCountFormatter::string(123456789, Style::file), "123.5 MB");
    EXPECT_EQ(ByteCountFormatter::string(999900000, Style::file), "999.9 MB");
    EXPECT_EQ(ByteCountFormatter::string(1234567898, Style::file), "1.23 GB");
    EXPECT_EQ(ByteCountFormatter::string(16000000000, Style::file), "16 GB");
    EXPECT_EQ(ByteCountFormatter::string(15931539456, Style::file), "15.93 GB");
    EXPECT_EQ(ByteCountFormatter::string(500107862016, Style::file), "500.11 GB");
    EXPECT_EQ(ByteCountFormatter::string(2000398934016, Style::file), "2 TB");
    EXPECT_EQ(ByteCountFormatter::string(5500000000000000, Style::file), "5.5 PB");
    EXPECT_EQ(ByteCountFormatter::string(std::numeric_limits<std::int64_t>::max(), Style::file),
              "9.22 EB");
    EXPECT_EQ(ByteCountFormatter::string(0, Style::file), "Zero KB");
    EXPECT_EQ(ByteCountFormatter::string(1500, Style::decimal), "2 KB");
}

TEST(ByteCountFormatter, NegativeCounts) {
    EXPECT_EQ(ByteCountFormatter::string(-1, Style::file), "-1 byte");
    EXPECT_EQ(ByteCountFormatter::string(-1023, Style::file), "-1 KB");
    EXPECT_EQ(ByteCountFormatter::string(-12345678987, Style::file), "-12.35 GB");
    EXPECT_EQ(ByteCountFormatter::string(-1023, Style::memory), "-1,023 bytes");
    EXPECT_EQ(ByteCountFormatter::string(std::numeric_limits<std::int64_t>::min(), Style::file),
              "-9.22 EB");
}

} // namespace
