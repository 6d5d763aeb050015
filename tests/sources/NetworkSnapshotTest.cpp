#include "sources/NetworkSnapshot.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

TEST(NetworkSnapshot, RateTextIsADashOrThreeFiguresInThousands) {
    const std::string dash = "\u2014";
    EXPECT_EQ(formatRate(std::nullopt), dash);
    EXPECT_EQ(formatRate(-1), dash);
    EXPECT_EQ(formatRate(std::nan("")), dash);
    EXPECT_EQ(formatRate(std::numeric_limits<double>::infinity()), dash);
    EXPECT_EQ(formatRate(0), "0 B/s");
    EXPECT_EQ(formatRate(999), "999 B/s");
    EXPECT_EQ(formatRate(999.6), "1000 B/s");
    EXPECT_EQ(formatRate(1000), "1.0 KB/s");
    EXPECT_EQ(formatRate(9949), "9.9 KB/s");
    EXPECT_EQ(formatRate(10000), "10 KB/s");
    EXPECT_EQ(formatRate(2.5e6), "2.5 MB/s");
    EXPECT_EQ(formatRate(123e6), "123 MB/s");
    EXPECT_EQ(formatRate(5e12), "5000 GB/s");
}

} // namespace
} // namespace pulsedeck
