#include "app/Preferences.h"

#include "app/LegacyMigration.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ScopedEnvironment.h"
#include "support/TestPaths.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <limits>
#include <memory>

namespace pulsedeck {
namespace {

using foundation::PropertyArray;
using foundation::PropertyDictionary;
using foundation::PropertyValue;
using foundation::UserDefaults;

constexpr double infinity = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Preferences kept under a temporary XDG_CONFIG_HOME, as the program finds them.
class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { defaults_ = open(); }

    static std::unique_ptr<UserDefaults> open() {
        return std::make_unique<UserDefaults>(UserDefaults::defaultDirectory().value(),
                                              std::string(applicationIdentifier));
    }

    // Writes the files and reads them back in a new store, as the next start would.
    Preferences readAfterRestart() {
        EXPECT_TRUE(defaults_->synchronize());
        defaults_ = open();
        return Preferences::read(*defaults_);
    }

    testsupport::TemporaryDirectory config_;
    const testsupport::ScopedEnvironment configHome_{"XDG_CONFIG_HOME", config_.path().string()};
    std::unique_ptr<UserDefaults> defaults_;
};

TEST_F(PreferencesTest, EmptyStoreGivesEveryDefault) {
    auto p = Preferences::read(*defaults_);
    EXPECT_TRUE(p.look.modules.shows(ModuleKind::memory) && p.look.modules.shows(ModuleKind::fan) &&
                p.look.modules.shows(ModuleKind::network) &&
                p.look.modules.shows(ModuleKind::temperature) &&
                p.look.modules.shows(ModuleKind::compute) &&
                p.look.modules.shows(ModuleKind::devices));
    EXPECT_TRUE(p.look.modules.styles.memoryShowChart);
    EXPECT_TRUE(p.look.modules.styles.networkShowChart);
    EXPECT_FALSE(p.look.modules.styles.networkColored);
    EXPECT_EQ(p.look.modules.styles.temperatureMode, TemperatureDisplayMode::chart);
    EXPECT_EQ(p.look.modules.styles.computeMode, ComputeDisplayMode::bars);
    EXPECT_EQ(p.look.modules.styles.fanMode, FanDisplayMode::ring);
    EXPECT_EQ(p.look.modules.styles.fanAnimation, FanAnimationMode::smooth);
    EXPECT_EQ(p.look.modules.chartLength, 85);
    EXPECT_EQ(p.look.modules.gap, 8);
    EXPECT_EQ(p.look.modules.styles.memoryMode, DisplayMode::four);
    EXPECT_EQ(p.look.presentation, DetailPresentation::details);
    EXPECT_EQ(p.look.appearance, AppearanceMode::system);
    EXPECT_EQ(p.languageSelection, "system");
    EXPECT_EQ(p.look.modules.order,
              (std::vector<ModuleKind>{ModuleKind::memory, ModuleKind::fan, ModuleKind::network,
                                       ModuleKind::temperature, ModuleKind::compute,
                                       ModuleKind::devices}));
    EXPECT_TRUE(p.look.modules.colors.values.empty());
    EXPECT_FALSE(p.normalBlue);
    EXPECT_EQ(p.look.modules.colors.color(ColorSlot::memory, p.normalBlue), PaletteColor::green);
    EXPECT_EQ(p.floatingMode, FloatingMode::none);
    EXPECT_EQ(p.look.opacity, 1.0);
    EXPECT_TRUE(p.floatingOnTop);
    EXPECT_TRUE(p.floatingDockAnchors.empty());
    EXPECT_FALSE(p.look.hideInFullscreen);
    EXPECT_EQ(p, Preferences{});
}

TEST_F(PreferencesTest, StoredValuesSurviveARestart) {
    defaults_->setBool(false, PreferenceKey::memoryEnabled);
    defaults_->setInteger(2, PreferenceKey::computeDisplay);
    defaults_->setInteger(1, PreferenceKey::temperatureDisplay);
    defaults_->setDouble(120, PreferenceKey::chartLength);
    defaults_->setObject(PropertyArray{"devices", "memory"}, PreferenceKey::moduleOrder);
    defaults_->setObject("dark", PreferenceKey::appAppearance);
    defaults_->setObject("overview", PreferenceKey::detailPresentation);
    defaults_->setObject("de", PreferenceKey::language);
    defaults_->setObject("detached", PreferenceKey::floatingMode);
    defaults_->setDouble(0.5, PreferenceKey::floatingOpacity);
    defaults_->setBool(true, PreferenceKey::hideInFullscreen);
    // A non-finite value survives the file and reads within its range.
    defaults_->setDouble(nan, PreferenceKey::fanGap);
    auto p = readAfterRestart();
    EXPECT_FALSE(p.look.modules.shows(ModuleKind::memory));
    EXPECT_EQ(p.look.modules.styles.computeMode, ComputeDisplayMode::compact);
    EXPECT_EQ(p.look.modules.styles.temperatureMode, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(p.look.modules.chartLength, 120);
    EXPECT_EQ(p.look.modules.order.front(), ModuleKind::devices);
    EXPECT_EQ(p.look.modules.order[1], ModuleKind::memory);
    EXPECT_EQ(p.look.appearance, AppearanceMode::dark);
    EXPECT_EQ(p.look.presentation, DetailPresentation::overview);
    EXPECT_EQ(p.languageSelection, "de");
    EXPECT_EQ(p.floatingMode, FloatingMode::detached);
    EXPECT_EQ(p.look.opacity, 0.5);
    EXPECT_TRUE(p.look.hideInFullscreen);
    EXPECT_EQ(p.look.modules.gap, 0);
}

// A file the program wrote before both preference sets held their look whole, with every
// setting away from its default, loads into the same settings and is written back unchanged.
TEST_F(PreferencesTest, FilesWrittenBeforeTheLookWasOneValueKeepLoading) {
    const auto fixture = testsupport::fixturePath("settings");
    const UserDefaults stored(fixture, std::string(applicationIdentifier));
    const Preferences p = Preferences::read(stored);
    using K = ModuleKind;
    const ModuleLook& modules = p.look.modules;
    EXPECT_EQ(modules.hidden, (std::set{K::temperature, K::devices}));
    EXPECT_EQ(modules.order,
              (std::vector{K::network, K::memory, K::compute, K::fan, K::devices, K::temperature}));
    EXPECT_EQ(modules.styles, (ModuleStyles{.memoryMode = DisplayMode::pair,
                                            .memoryShowChart = false,
                                            .fanMode = FanDisplayMode::graph,
                                            .fanAnimation = FanAnimationMode::off,
                                            .networkShowChart = false,
                                            .networkColored = true,
                                            .temperatureMode = TemperatureDisplayMode::thermometer,
                                            .computeMode = ComputeDisplayMode::chart}));
    EXPECT_EQ(modules.colors.values,
              (std::map<std::string, std::int64_t, std::less<>>{{"theme", 3}, {"memory", 5}}));
    EXPECT_EQ(modules.chartLength, 120);
    EXPECT_EQ(modules.gap, 3);
    EXPECT_EQ(p.look.appearance, AppearanceMode::dark);
    EXPECT_EQ(p.look.opacity, 0.55);
    EXPECT_EQ(p.look.presentation, DetailPresentation::overview);
    EXPECT_EQ(p.look.collapsed, (std::set{K::fan, K::network}));
    EXPECT_TRUE(p.look.hideInFullscreen);
    EXPECT_TRUE(p.normalBlue);
    EXPECT_EQ(p.languageSelection, "de");
    EXPECT_EQ(p.floatingMode, FloatingMode::copy);
    EXPECT_FALSE(p.floatingOnTop);

    const auto record = stored.dictionaryForKey(FloatingPreferences::defaultsKey);
    ASSERT_TRUE(record);
    const StripLook bar = FloatingPreferences(*record, FloatingPreferences()).look;
    EXPECT_EQ(bar.modules.hidden, (std::set{K::fan, K::devices}));
    EXPECT_EQ(bar.modules.order.front(), K::compute);
    EXPECT_EQ(bar.modules.styles.memoryMode, DisplayMode::automatic);
    EXPECT_EQ(bar.modules.styles.fanAnimation, FanAnimationMode::efficient);
    EXPECT_EQ(bar.modules.colors.values,
              (std::map<std::string, std::int64_t, std::less<>>{{"memory", 5}, {"network", 1}}));
    EXPECT_EQ(bar.modules.chartLength, 64);
    EXPECT_EQ(bar.modules.gap, 12);
    EXPECT_EQ(bar.appearance, AppearanceMode::light);
    EXPECT_EQ(bar.opacity, 0.4);
    EXPECT_EQ(bar.collapsed, std::set{K::memory});

    // Written back under the same keys, in the same form (the file holds what was changed).
    const foundation::PropertyDictionary written = p.storedForm();
    const auto file = stored.persistentDomainForName(applicationIdentifier);
    ASSERT_TRUE(file);
    for (const auto& [key, value] : *file) {
        if (key == FloatingPreferences::defaultsKey)
            continue;
        ASSERT_TRUE(written.contains(key)) << key;
        EXPECT_TRUE(written.at(key) == value) << key;
    }
    EXPECT_TRUE(FloatingPreferences(bar).dictionaryRepresentation() == *record);
}

// What one stored domain reads as: every field not named keeps its default.
TEST_F(PreferencesTest, EachStoredValueReadsInItsRangeOrFallsBack) {
    using P = Preferences;
    using K = ModuleKind;
    const struct {
        const char* name;
        PropertyDictionary stored;
        std::function<void(Preferences&)> expected;
    } rows[] = {
        {"chart length rounds half away",
         {{"chartLength", 15.4}},
         [](P& p) { p.look.modules.chartLength = 16; }},
        {"chart length at a half",
         {{"chartLength", 100.5}},
         [](P& p) { p.look.modules.chartLength = 101; }},
        {"chart length too long",
         {{"chartLength", 1000.0}},
         [](P& p) { p.look.modules.chartLength = 160; }},
        {"chart length whole",
         {{"chartLength", 40}},
         [](P& p) { p.look.modules.chartLength = 40; }},
        {"chart length infinite", {{"chartLength", infinity}}, [](P&) {}},
        {"chart length below infinity", {{"chartLength", -infinity}}, [](P&) {}},
        {"chart length nan", {{"chartLength", nan}}, [](P&) {}},
        {"chart length a word", {{"chartLength", "long"}}, [](P&) {}},
        {"gap below", {{"fanGap", -3.0}}, [](P& p) { p.look.modules.gap = 0; }},
        {"gap above", {{"fanGap", 40.0}}, [](P& p) { p.look.modules.gap = 32; }},
        {"gap nan", {{"fanGap", nan}}, [](P& p) { p.look.modules.gap = 0; }},
        {"gap infinite", {{"fanGap", infinity}}, [](P& p) { p.look.modules.gap = 32; }},
        {"gap in range", {{"fanGap", 12.5}}, [](P& p) { p.look.modules.gap = 12.5; }},
        {"opacity below", {{"floatingOpacity", 0.05}}, [](P& p) { p.look.opacity = 0.2; }},
        {"opacity above", {{"floatingOpacity", 3.0}}, [](P&) {}},
        {"opacity nan", {{"floatingOpacity", nan}}, [](P&) {}},
        {"opacity below infinity", {{"floatingOpacity", -infinity}}, [](P&) {}},
        {"compute style unknown", {{"computeDisplay", 7}}, [](P&) {}},
        {"compute style a word", {{"computeDisplay", "2"}}, [](P&) {}},
        {"compute chart",
         {{"computeDisplay", 1}},
         [](P& p) { p.look.modules.styles.computeMode = ComputeDisplayMode::chart; }},
        {"temperature style unknown", {{"temperatureDisplay", 2}}, [](P&) {}},
        {"animation negative", {{"fanAnimation", -1}}, [](P&) {}},
        {"animation huge", {{"fanAnimation", std::int64_t{1} << 40}}, [](P&) {}},
        {"animation off",
         {{"fanAnimation", 0}},
         [](P& p) { p.look.modules.styles.fanAnimation = FanAnimationMode::off; }},
        {"fan style unknown", {{"fanDisplayMode", 3}}, [](P&) {}},
        {"fan graph",
         {{"fanDisplayMode", 2}},
         [](P& p) { p.look.modules.styles.fanMode = FanDisplayMode::graph; }},
        {"display pair",
         {{"displayMode", 2}},
         [](P& p) { p.look.modules.styles.memoryMode = DisplayMode::pair; }},
        {"appearance unknown", {{"appAppearance", "sepia"}}, [](P&) {}},
        {"presentation unknown", {{"detailPresentation", "grid"}}, [](P&) {}},
        {"floating mode in the wrong case", {{"floatingMode", "Copy"}}, [](P&) {}},
        {"switch a word", {{"memoryEnabled", "no"}}, [](P&) {}},
        // Earlier versions turned the fan off with style 0; a switch stored since wins.
        {"fan hidden by its legacy style",
         {{"fanDisplayMode", 0}},
         [](P& p) {
             p.look.modules.setShown(ModuleKind::fan, false);
             p.look.modules.styles.fanMode = FanDisplayMode::hidden;
         }},
        {"fan switched on over the legacy style",
         {{"fanDisplayMode", 0}, {"fanEnabled", true}},
         [](P& p) { p.look.modules.styles.fanMode = FanDisplayMode::hidden; }},
        {"legacy swap only",
         {{"swapOnly", true}},
         [](P& p) { p.look.modules.styles.memoryMode = DisplayMode::automatic; }},
        {"legacy swap only under an unknown style",
         {{"swapOnly", true}, {"displayMode", 9}},
         [](P& p) { p.look.modules.styles.memoryMode = DisplayMode::automatic; }},
        {"a style over legacy swap only",
         {{"swapOnly", true}, {"displayMode", 2}},
         [](P& p) { p.look.modules.styles.memoryMode = DisplayMode::pair; }},
        {"legacy swap only off", {{"swapOnly", false}}, [](P&) {}},
        {"blue by the current key", {{"themeBlue", true}}, [](P& p) { p.normalBlue = true; }},
        {"blue by the legacy key", {{"normalBlue", true}}, [](P& p) { p.normalBlue = true; }},
        {"the current blue key wins", {{"normalBlue", true}, {"themeBlue", false}}, [](P&) {}},
        {"colours drop unknown slots and numbers",
         {{"moduleColors", PropertyDictionary{{"memory", 3}, {"cpu", 12}, {"junk", 1}}}},
         [](P& p) {
             p.look.modules.colors.values = {{"memory", 3}};
         }},
        {"colours take a whole real",
         {{"moduleColors", PropertyDictionary{{"theme", 4.0}, {"gpu", -1}}}},
         [](P& p) {
             p.look.modules.colors.values = {{"theme", 4}};
         }},
        {"colours with a word",
         {{"moduleColors", PropertyDictionary{{"memory", 3}, {"fan", "x"}}}},
         [](P&) {}},
        {"colours as a list", {{"moduleColors", PropertyArray{1, 2}}}, [](P&) {}},
        {"order keeps first occurrences then adds the missing",
         {{"moduleOrder", PropertyArray{"network", "network", "junk"}}},
         [](P& p) {
             p.look.modules.order = {K::network,     K::memory,  K::fan,
                                     K::temperature, K::compute, K::devices};
         }},
        {"order with a number", {{"moduleOrder", PropertyArray{"devices", 3}}}, [](P&) {}},
        {"dock anchors",
         {{"floatingDockAnchors", PropertyDictionary{{"1", "right"}}}},
         [](P& p) {
             p.floatingDockAnchors = {{"1", "right"}};
         }},
        {"dock anchors with a number",
         {{"floatingDockAnchors", PropertyDictionary{{"1", "right"}, {"2", 4}}}},
         [](P&) {}},
    };
    for (const auto& row : rows) {
        defaults_->setPersistentDomain(row.stored, applicationIdentifier);
        Preferences expected;
        row.expected(expected);
        EXPECT_TRUE(Preferences::read(*defaults_) == expected) << row.name;
    }
}

TEST_F(PreferencesTest, CollapsedSectionsDropUnknownNames) {
    defaults_->setObject(PropertyArray{"compute", "junk", "memory"},
                         PreferenceKey::collapsedSections);
    EXPECT_EQ(storedCollapsedSections(*defaults_),
              (std::set<ModuleKind>{ModuleKind::compute, ModuleKind::memory}));
    EXPECT_EQ(rawNames({ModuleKind::compute, ModuleKind::memory}),
              (std::vector<std::string>{"memory", "compute"}));
}

TEST_F(PreferencesTest, DamagedFilesReadWithinEveryBound) {
    for (const auto& entry :
         std::filesystem::directory_iterator(testsupport::fixturePath("fuzz/PreferencesFuzz"))) {
        std::ifstream file(entry.path());
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        // As the store reads a file: entry by entry.
        auto domain = foundation::decodePropertyListEntries(text);
        ASSERT_TRUE(domain) << entry.path();
        defaults_->setPersistentDomain(domain->values, applicationIdentifier);
        const auto p = Preferences::read(*defaults_);
        EXPECT_GE(p.look.modules.chartLength, 16) << entry.path();
        EXPECT_LE(p.look.modules.chartLength, 160) << entry.path();
        EXPECT_GE(p.look.modules.gap, 0) << entry.path();
        EXPECT_LE(p.look.modules.gap, 32) << entry.path();
        EXPECT_GE(p.look.opacity, 0.2) << entry.path();
        EXPECT_LE(p.look.opacity, 1.0) << entry.path();
        EXPECT_EQ(
            std::set<ModuleKind>(p.look.modules.order.begin(), p.look.modules.order.end()).size(),
            6u);
        for (const auto& [slot, number] : p.look.modules.colors.values) {
            EXPECT_TRUE(parseColorSlot(slot)) << slot;
            EXPECT_TRUE(number >= 0 && number <= 8) << slot;
        }
    }
    // The damaged one in particular falls back everywhere.
    auto damaged = foundation::decodePropertyList(
        R"({"chartLength": {"$real": "nan"}, "floatingOpacity": {"$real": "nan"}})");
    ASSERT_TRUE(damaged);
    defaults_->setPersistentDomain(*damaged, applicationIdentifier);
    EXPECT_EQ(Preferences::read(*defaults_).look.modules.chartLength, 85);
    EXPECT_EQ(Preferences::read(*defaults_).look.opacity, 1.0);
}

// The legacy migration.

void writeLegacyDomain(UserDefaults& defaults, PropertyDictionary values) {
    defaults.setPersistentDomain(std::move(values), legacyDomainName);
}

TEST_F(PreferencesTest, MigrationMergesOnceWithTheCurrentDomainWinning) {
    PropertyDictionary legacy{{"chartLength", 40.0}, {"swapOnly", true}};
    writeLegacyDomain(*defaults_, legacy);
    defaults_->setDouble(120, PreferenceKey::chartLength);
    migrateLegacyPreferences(*defaults_, applicationIdentifier);

    EXPECT_EQ(defaults_->doubleForKey(PreferenceKey::chartLength), 120);
    EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::swapOnly));
    EXPECT_TRUE(defaults_->boolForKey(PreferenceKey::didMigrateLegacyPreferences));
    EXPECT_EQ(defaults_->persistentDomainForName(legacyDomainName), legacy);

    auto p = readAfterRestart();
    EXPECT_EQ(p.look.modules.chartLength, 120);
    EXPECT_EQ(p.look.modules.styles.memoryMode, DisplayMode::automatic);
    EXPECT_EQ(defaults_->persistentDomainForName(legacyDomainName), legacy);

    // A second run changes nothing, even when the legacy domain changed since.
    writeLegacyDomain(*defaults_, {{"fanGap", 3.0}});
    migrateLegacyPreferences(*defaults_, applicationIdentifier);
    EXPECT_FALSE(defaults_->objectForKey(PreferenceKey::fanGap));
}

TEST_F(PreferencesTest, MigrationRunsOnlyForTheApplicationsIdentifier) {
    writeLegacyDomain(*defaults_, {{"fanGap", 3.0}});
    migrateLegacyPreferences(*defaults_, "");
    migrateLegacyPreferences(*defaults_, "local.pulsedeck");
    migrateLegacyPreferences(*defaults_, "local.dorvettin.pulsedeck");
    EXPECT_FALSE(defaults_->objectForKey(PreferenceKey::fanGap));
    EXPECT_FALSE(defaults_->boolForKey(PreferenceKey::didMigrateLegacyPreferences));
}

TEST_F(PreferencesTest, MigrationWithoutALegacyDomainLeavesTheFlagUnset) {
    defaults_->setDouble(120, PreferenceKey::chartLength);
    migrateLegacyPreferences(*defaults_, applicationIdentifier);
    EXPECT_FALSE(defaults_->boolForKey(PreferenceKey::didMigrateLegacyPreferences));
    EXPECT_EQ(defaults_->doubleForKey(PreferenceKey::chartLength), 120);

    // It looks again at the next start and finds the domain then.
    writeLegacyDomain(*defaults_, {{"fanGap", 3.0}});
    EXPECT_TRUE(defaults_->synchronize());
    defaults_ = open();
    migrateLegacyPreferences(*defaults_, applicationIdentifier);
    EXPECT_EQ(defaults_->doubleForKey(PreferenceKey::fanGap), 3.0);
    EXPECT_EQ(defaults_->doubleForKey(PreferenceKey::chartLength), 120);
}

TEST_F(PreferencesTest, MigrationIntoAnEmptyDomainTakesTheLegacyValues) {
    writeLegacyDomain(*defaults_, {{"memoryEnabled", false}, {"fanDisplayMode", 0}});
    migrateLegacyPreferences(*defaults_, applicationIdentifier);
    auto p = readAfterRestart();
    EXPECT_FALSE(p.look.modules.shows(ModuleKind::memory));
    EXPECT_FALSE(p.look.modules.shows(ModuleKind::fan));
}

} // namespace
} // namespace pulsedeck
