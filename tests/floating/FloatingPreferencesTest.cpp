#include "floating/FloatingPreferences.h"

#include "support/OtherStyles.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace pulsedeck {
namespace {

using foundation::PropertyArray;
using foundation::PropertyDictionary;
using foundation::PropertyValue;

const double nan = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();

// A fallback unlike the standard look in every field, so a field that fell back shows it.
StripLook customLook() {
    StripLook look;
    look.modules.order = {ModuleKind::devices, ModuleKind::compute, ModuleKind::temperature,
                          ModuleKind::network, ModuleKind::fan,     ModuleKind::memory};
    look.modules.hidden = {ModuleKind::compute};
    look.appearance = AppearanceMode::dark;
    look.opacity = 0.5;
    look.modules.styles = testsupport::otherStyles;
    look.modules.chartLength = 40;
    look.modules.gap = 12;
    look.modules.colors.values = {{"memory", 4}};
    look.presentation = DetailPresentation::overview;
    look.hideInFullscreen = true;
    return look;
}

FloatingPreferences customFallback() {
    return FloatingPreferences(customLook());
}

struct ReadCase {
    const char* name;
    PropertyDictionary stored;
    // The fallback's look with the fields the stored entries set changed.
    LookEdit expected;
};

PropertyDictionary schemaOne(PropertyDictionary entries) {
    entries.emplace("schema", PropertyValue(1));
    return entries;
}

PropertyArray names(std::initializer_list<const char*> list) {
    PropertyArray array;
    for (auto name : list)
        array.emplace_back(name);
    return array;
}

std::vector<ReadCase> readCases() {
    using P = StripLook;
    return {
        {"order normalised", schemaOne({{"order", names({"fan", "cpu", "fan", "memory"})}}),
         [](P& p) {
             p.modules.order = {ModuleKind::fan,         ModuleKind::memory,  ModuleKind::network,
                                ModuleKind::temperature, ModuleKind::compute, ModuleKind::devices};
         }},
        {"order not all texts", schemaOne({{"order", PropertyArray{"fan", 3}}}), [](P&) {}},
        {"opacity below", schemaOne({{"opacity", 0.05}}), [](P& p) { p.opacity = 0.2; }},
        {"opacity integer above", schemaOne({{"opacity", 3}}), [](P& p) { p.opacity = 1.0; }},
        {"opacity Boolean", schemaOne({{"opacity", true}}), [](P&) {}},
        {"opacity NaN", schemaOne({{"opacity", nan}}), [](P&) {}},
        {"chartLength half up", schemaOne({{"chartLength", 16.5}}),
         [](P& p) { p.modules.chartLength = 17; }},
        {"chartLength raised", schemaOne({{"chartLength", 15.4}}),
         [](P& p) { p.modules.chartLength = 16; }},
        {"chartLength lowered", schemaOne({{"chartLength", 400}}),
         [](P& p) { p.modules.chartLength = 160; }},
        {"chartLength infinite", schemaOne({{"chartLength", -infinity}}),
         [](P& p) { p.modules.chartLength = 85; }},
        {"chartLength NaN", schemaOne({{"chartLength", nan}}),
         [](P& p) { p.modules.chartLength = 85; }},
        {"chartLength text", schemaOne({{"chartLength", "long"}}), [](P&) {}},
        {"gap negative", schemaOne({{"gap", -4}}), [](P& p) { p.modules.gap = 0; }},
        {"gap above", schemaOne({{"gap", 50.0}}), [](P& p) { p.modules.gap = 32; }},
        {"temperature outside", schemaOne({{"temperature", 2}}), [](P&) {}},
        {"fan negative", schemaOne({{"fan", -1}}), [](P&) {}},
        {"display Boolean", schemaOne({{"display", true}}), [](P&) {}},
        {"display integral real", schemaOne({{"display", 1.0}}),
         [](P& p) { p.modules.styles.memoryMode = DisplayMode::automatic; }},
        {"compute fraction", schemaOne({{"compute", 1.5}}), [](P&) {}},
        {"modes in range", schemaOne({{"fan", 0}, {"fanAnimation", 1}, {"compute", 1}}),
         [](P& p) {
             p.modules.styles.fanMode = FanDisplayMode::hidden;
             p.modules.styles.fanAnimation = FanAnimationMode::efficient;
             p.modules.styles.computeMode = ComputeDisplayMode::chart;
         }},
        {"Booleans", schemaOne({{"memoryChart", true}, {"networkColored", false}}),
         [](P& p) {
             p.modules.styles.memoryShowChart = true;
             p.modules.styles.networkColored = false;
         }},
        {"Boolean as number", schemaOne({{"networkChart", 1}, {"hideInFullscreen", 0}}), [](P&) {}},
        {"colors filtered",
         schemaOne({{"colors",
                     PropertyDictionary{
                         {"theme", 3}, {"memory", 9}, {"fan", 2}, {"cpu", -1}, {"wallpaper", 1}}}}),
         [](P& p) {
             p.modules.colors.values = {{"fan", 2}};
         }},
        {"colors with a Boolean", schemaOne({{"colors", PropertyDictionary{{"fan", true}}}}),
         [](P&) {}},
        {"hidden drops unknown names", schemaOne({{"hidden", names({"network", "cpu", "fan"})}}),
         [](P& p) {
             p.modules.hidden = {ModuleKind::network, ModuleKind::fan};
         }},
        {"hidden mistyped", schemaOne({{"hidden", "network"}}), [](P&) {}},
        {"collapsed read", schemaOne({{"collapsed", names({"devices"})}}),
         [](P& p) { p.collapsed = {ModuleKind::devices}; }},
        {"collapsed mistyped", schemaOne({{"collapsed", PropertyArray{1}}}),
         [](P& p) { p.collapsed.clear(); }},
        {"words", schemaOne({{"appearance", "light"}, {"presentation", "details"}}),
         [](P& p) {
             p.appearance = AppearanceMode::light;
             p.presentation = DetailPresentation::details;
         }},
        {"words outside", schemaOne({{"appearance", "Dark"}, {"presentation", 1}}), [](P&) {}},
        {"schema as integral real", {{"schema", 1.0}, {"gap", 3}}, [](P& p) { p.modules.gap = 3; }},
    };
}

TEST(FloatingPreferences, ReadsEachEntryOverTheFallback) {
    auto fallback = customFallback();
    fallback.look.collapsed = {ModuleKind::memory};
    for (const auto& c : readCases()) {
        auto expected = customLook();
        c.expected(expected);
        EXPECT_EQ(FloatingPreferences(c.stored, fallback).look, expected) << c.name;
    }
}

TEST(FloatingPreferences, AnotherSchemaGivesTheFallbackUnbounded) {
    auto fallback = customFallback();
    fallback.look.opacity = 7;
    fallback.look.modules.colors.values = {{"theme", 3}};
    const std::vector<PropertyDictionary> others = {
        {},
        {{"gap", 3}},
        {{"schema", 2}, {"gap", 3}},
        {{"schema", "1"}, {"gap", 3}},
        {{"schema", true}, {"gap", 3}},
        {{"schema", 1.5}, {"gap", 3}},
    };
    for (const auto& stored : others)
        EXPECT_EQ(FloatingPreferences(stored, fallback), fallback);
}

// A damaged fallback's numbers, non-finite ones included, must not reach the panel or be written
// back: they are brought into the look's bounds as stored ones are.
TEST(FloatingPreferences, FallbackValuesAreBoundedToo) {
    const struct {
        double opacity, chartLength, gap;
        double readOpacity, readChartLength, readGap;
    } cases[] = {{0.1, 15.4, 40, 0.2, 16, 32}, {nan, infinity, nan, 1.0, 85, 0}};
    for (const auto& c : cases) {
        auto fallback = customFallback();
        fallback.look.opacity = c.opacity;
        fallback.look.modules.chartLength = c.chartLength;
        fallback.look.modules.gap = c.gap;
        fallback.look.modules.colors.values = {{"theme", 3}, {"gpu", 12}, {"fan", 6}};
        const StripLook read = FloatingPreferences(schemaOne({{"opacity", nan}}), fallback).look;
        EXPECT_EQ(read.opacity, c.readOpacity);
        EXPECT_EQ(read.modules.chartLength, c.readChartLength);
        EXPECT_EQ(read.modules.gap, c.readGap);
        EXPECT_EQ(read.modules.colors.values,
                  (std::map<std::string, std::int64_t, std::less<>>{{"fan", 6}}));
    }
}

TEST(FloatingPreferences, WritesNineteenEntriesThatReadBackAsTheRecord) {
    EXPECT_EQ(FloatingPreferences().dictionaryRepresentation().size(), 19u);

    auto record = customFallback();
    record.look.modules.hidden = {ModuleKind::network, ModuleKind::fan};
    record.look.collapsed = {ModuleKind::temperature, ModuleKind::compute};
    record.look.modules.colors.values = {{"theme", 2}, {"gpu", 7}};
    const auto written = record.dictionaryRepresentation();
    EXPECT_EQ(written.at("hidden"), PropertyValue(names({"fan", "network"})));
    EXPECT_EQ(written.at("collapsed"), PropertyValue(names({"compute", "temperature"})));
    EXPECT_EQ(written.at("colors"), PropertyValue(PropertyDictionary{{"gpu", 7}}));
    EXPECT_EQ(written.at("presentation"), PropertyValue("overview"));
    EXPECT_TRUE(written.at("opacity").isReal());
    EXPECT_TRUE(written.at("chartLength").isReal());
    EXPECT_TRUE(written.at("display").isInteger());

    const FloatingPreferences read(written, FloatingPreferences());
    record.look.modules.colors.values.erase("theme");
    EXPECT_EQ(read, record);
    EXPECT_EQ(FloatingPreferences(read.dictionaryRepresentation(), customFallback()), read);
}

} // namespace
} // namespace pulsedeck
