#include "updates/Version.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

TEST(Version, ValidityTakesOneToFourPiecesOfPlainDigits) {
    const std::string twentyNines(20, '9');
    struct Case {
        std::string text;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"1", true},
        {"1.2", true},
        {"1.2.3", true},
        {"1.2.3.4", true},
        {"0007.010", true},
        {"9223372036854775807", true},
        {"1.2.3.4.5", false},
        {"", false},
        {".1", false},
        {"1.", false},
        {"1..2", false},
        {"1.2a", false},
        {"r1.2", false},
        {"+1", false},
        {"-1", false},
        {" 1", false},
        {"1 ", false},
        {"9223372036854775808", false},
        {"1." + twentyNines, false},
        {"\xd9\xa1.2", false},     // an Arabic-Indic digit one
        {"\xef\xbc\x91.2", false}, // a full-width digit one
        {std::string("1\0", 2), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(isValidVersion(c.text), c.valid) << '"' << c.text << '"';
}

TEST(Version, ComparisonIsNumericPieceByPiece) {
    struct Case {
        std::string a, b;
        int result;
    };
    const std::vector<Case> cases = {
        {"1.2", "1.2.0", 0},
        {"1.2.1", "1.2", 1},
        {"1.9", "1.10", -1},
        {"2", "10", -1},
        {"1.x.3", "1.3", 0},
        {"", "0.0", 0},
        {"1..2", "1.2", 0},
        {"+2", "2", 0},
        {"-1", "0", -1},
        {"+-1", "0", 0},
        {"1.99999999999999999999", "1", 0},
        {"9223372036854775807", "-9223372036854775808", 1},
        {"007", "7", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareVersions(c.a, c.b), c.result) << c.a << " vs " << c.b;
        EXPECT_EQ(compareVersions(c.b, c.a), -c.result) << c.b << " vs " << c.a;
        EXPECT_EQ(compareVersions(c.a, c.a), 0) << c.a;
    }
}

} // namespace
} // namespace pulsedeck
