#include "platform/foundation/JSON.h"

#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/TextFile.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace {

using foundation::parseJSON;

TEST(JSON, ParsesOneStrictValue) {
    auto value = parseJSON(R"({"version": "2.1.0", "build": 57, "list": [1, 2.5, "x"]})");
    ASSERT_TRUE(value);
    EXPECT_EQ((*value)["build"], 57);
    EXPECT_TRUE((*value)["build"].is_number_integer());
    EXPECT_TRUE(parseJSON(" [] \n"));
    EXPECT_TRUE(parseJSON("\"\xe2\x80\x94\""));
}

TEST(JSON, RejectsWhatIsNotStrictJSON) {
    const char* rejected[] = {
        "",
        "{",
        "{} {}",                // trailing data
        "{\"a\": 1,}",          // trailing comma
        "{\"a\": 1, \"a\": 2}", // the same key twice
        "{\"o\": {\"k\": 1, \"k\": 1}}",
        "// comment\n{}",
        "\"\xff\"",         // not UTF-8
        "\"\xed\xa0\x80\"", // an encoded surrogate
        "NaN",
        "[01]",
        "{'a': 1}",
    };
    for (const char* text : rejected)
        EXPECT_FALSE(parseJSON(text)) << text;
    // The same key in two different objects is fine.
    EXPECT_TRUE(parseJSON(R"({"a": {"k": 1}, "b": {"k": 2}})"));
}

TEST(JSON, NestingDepthIsLimited) {
    auto nested = [](std::size_t depth) {
        return std::string(depth, '[') + std::string(depth, ']');
    };
    EXPECT_TRUE(parseJSON(nested(64), 64));
    EXPECT_FALSE(parseJSON(nested(65), 64));
    EXPECT_FALSE(parseJSON(std::string(256 * 1024, '['), 64));
    // Brackets inside texts do not count.
    EXPECT_TRUE(parseJSON("[\"" + std::string(1000, '[') + "\\\"[\"]", 1));
    EXPECT_EQ(foundation::jsonNestingDepth(R"({"a": [{}], "b": "]]]{{{"})", 10), 3u);
    EXPECT_EQ(foundation::jsonNestingDepth(nested(100), 10), 11u);
}

TEST(PropertyListCoding, Base64) {
    using foundation::decodeBase64;
    using foundation::encodeBase64;
    EXPECT_EQ(encodeBase64({}), "");
    EXPECT_EQ(encodeBase64({'f'}), "Zg==");
    EXPECT_EQ(encodeBase64({'f', 'o'}), "Zm8=");
    EXPECT_EQ(encodeBase64({'f', 'o', 'o'}), "Zm9v");
    EXPECT_EQ(decodeBase64("Zm9vYg=="), (foundation::Data{'f', 'o', 'o', 'b'}));
    for (const char* bad : {"Zg=", "Z===", "Zg=a", "Zm9v\n", "Zg==Zg==", "****"})
        EXPECT_FALSE(decodeBase64(bad)) << bad;
}

TEST(PropertyListCoding, WrittenFormIsReadableJSON) {
    auto text = foundation::encodePropertyList(
        {{"real", 3.0}, {"integer", 3}, {"inf", -INFINITY}, {"$key", true}});
    auto json = parseJSON(text);
    ASSERT_TRUE(json);
    EXPECT_TRUE((*json)["real"].is_number_float());
    EXPECT_TRUE((*json)["integer"].is_number_integer());
    EXPECT_EQ((*json)["inf"], nlohmann::json({{"$real", "-inf"}}));
    EXPECT_EQ((*json)["$$key"], true);
}

TEST(PropertyListCoding, HandWrittenValues) {
    auto decoded = foundation::decodePropertyList(
        R"({"big": 18446744073709551615, "when": {"$date": 0}, "$$d": 1, "e": {"$real": "nan", "x": 1}})");
    // A two-member object is never a tag, and an unescaped "$" key makes it invalid.
    EXPECT_FALSE(decoded);
    decoded = foundation::decodePropertyList(
        R"({"big": 18446744073709551615, "when": {"$date": 0}, "$$d": 1})");
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->at("big").isReal());
    EXPECT_EQ(decoded->at("when"), foundation::PropertyValue(foundation::Date{0}));
    EXPECT_EQ(decoded->at("$d"), foundation::PropertyValue(1));
}

// The preference-file fuzz seeds: every one that decodes is written back unchanged in meaning,
// indented exactly while that fits; within a bound of bytes or values the one line does not
// fit, only the largest entry goes, and no more than it.
TEST(PropertyListCoding, FuzzSeedsSurviveASaveAndLoad) {
    using foundation::encodePropertyList;
    using foundation::PropertyDictionary;
    const auto all = [](std::string_view) { return true; };
    // Every entry on one line: the bound lies between that and the indented form.
    const auto oneLine = [&](const PropertyDictionary& values) {
        return encodePropertyList(values, encodePropertyList(values).size() - 1, SIZE_MAX, all)
            .text;
    };
    int decoded = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(testsupport::fixturePath("fuzz/UserDefaultsFuzz"))) {
        auto values =
            foundation::decodePropertyList(foundation::readTextFile(entry.path()).value());
        if (!values)
            continue;
        auto written = encodePropertyList(*values);
        auto again = foundation::decodePropertyList(written);
        ASSERT_TRUE(again) << entry.path();
        EXPECT_EQ(encodePropertyList(*again), written);
        EXPECT_EQ(encodePropertyList(*values, written.size(), SIZE_MAX, all).text, written)
            << entry.path();
        const auto line = oneLine(*values);
        ASSERT_LT(line.size(), written.size()) << entry.path();
        EXPECT_EQ(encodePropertyList(foundation::decodePropertyList(line).value()), written)
            << entry.path();
        // The line without its largest entry.
        auto shortest = line;
        for (const auto& [key, value] : *values) {
            auto rest = *values;
            rest.erase(key);
            if (auto text = oneLine(rest); text.size() < shortest.size())
                shortest = std::move(text);
        }
        const std::pair<std::size_t, std::size_t> bounds[] = {
            {line.size() - 1, SIZE_MAX},
            {shortest.size(), SIZE_MAX},
            {SIZE_MAX, foundation::jsonValueCount(line) - 1},
            {SIZE_MAX, foundation::jsonValueCount(shortest)},
        };
        for (const auto& [bytes, count] : bounds) {
            const auto bounded = encodePropertyList(*values, bytes, count, all);
            ASSERT_EQ(bounded.leftOut.size(), 1u) << entry.path() << " " << bytes << " " << count;
            auto rest = *values;
            rest.erase(bounded.leftOut.front());
            EXPECT_EQ(bounded.text, oneLine(rest)) << entry.path();
            EXPECT_TRUE(count != SIZE_MAX || bounded.text.size() == shortest.size())
                << entry.path();
        }
        ++decoded;
    }
    EXPECT_GE(decoded, 3);
}

} // namespace
