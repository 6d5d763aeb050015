#include "app/Preferences.h"

#include "app/LegacyMigration.h"
#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestPaths.h"

#include <cmath>
#include <cstdlib>
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
    void SetUp() override {
        const char* previous = std::getenv("XDG_CONFIG_HOME");
        if (previous)
            previousConfigHome_ = previous;
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        defaults_ = open();
    }
    void TearDown() override {
        defaults_.reset();
        if (previousConfigHome_)
            setenv("XDG_CONFIG_HOME", previousConfigHome_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }

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

    Preferences readWith(std::string_view key, PropertyValue value) {
        defaults_->setObject(std::move(value), key);
        return Preferences::read(*defaults_);
    }

    testsupport::TemporaryDirectory config_;
    std::optional<std::string> previousConfigHome_;
    std::unique_ptr<UserDefaults> defaults_;
};

TEST_F(PreferencesTest, EmptyStoreGivesEveryDefault) {
    auto p = Preferences::read(*defaults_);
    EXPECT_TRUE(p.memoryEnabled && p.fanEnabled && p.networkEnabled && p.temperatureEnabled &&
                p.computeEnabled && p.devicesEnabled);
    EXPECT_TRUE(p.memoryShowChart);
    EXPECT_TRUE(p.networkShowChart);
    EXPECT_FALSE(p.networkColored);
    EXPECT_EQ(p.temperatureMode, TemperatureDisplayMode::chart);
    EXPECT_EQ(p.computeMode, ComputeDisplayMode::bars);
    EXPECT_EQ(p.fanMode, FanDisplayMode::ring);
    EXPECT_EQ(p.fanAnimation, FanAnimationMode::smooth);
    EXPECT_EQ(p.chartLength, 85);
    EXPECT_EQ(p.fanGap, 8);
    EXPECT_EQ(p.displayMode, DisplayMode::four);
    EXPECT_EQ(p.detailPresentation, DetailPresentation::details);
    EXPECT_EQ(p.appearanceMode, AppearanceMode::system);
    EXPECT_EQ(p.languageSelection, "system");
    EXPECT_EQ(p.moduleOrder, (std::vector<ModuleKind>{ModuleKind::memory, ModuleKind::fan,
                                                      ModuleKind::network, ModuleKind::temperature,
                                                      ModuleKind::compute, ModuleKind::devices}));
    EXPECT_TRUE(p.moduleColors.values.empty());
    EXPECT_FALSE(p.normalBlue);
    EXPECT_EQ(p.moduleColors.color(ColorSlot::memory, p.normalBlue), PaletteColor::green);
    EXPECT_EQ(p.floatingMode, FloatingMode::none);
    EXPECT_EQ(p.floatingOpacity, 1.0);
    EXPECT_TRUE(p.floatingOnTop);
    EXPECT_TRUE(p.floatingDockAnchors.empty());
    EXPECT_FALSE(p.hideInFullscreen);
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
    auto p = readAfterRestart();
    EXPECT_FALSE(p.memoryEnabled);
    EXPECT_EQ(p.computeMode, ComputeDisplayMode::compact);
    EXPECT_EQ(p.temperatureMode, TemperatureDisplayMode::thermometer);
    EXPECT_EQ(p.chartLength, 120);
    EXPECT_EQ(p.moduleOrder.front(), ModuleKind::devices);
    EXPECT_EQ(p.moduleOrder[1], ModuleKind::memory);
    EXPECT_EQ(p.appearanceMode, AppearanceMode::dark);
    EXPECT_EQ(p.detailPresentation, DetailPresentation::overview);
    EXPECT_EQ(p.languageSelection, "de");
    EXPECT_EQ(p.floatingMode, FloatingMode::detached);
    EXPECT_EQ(p.floatingOpacity, 0.5);
    EXPECT_TRUE(p.hideInFullscreen);
}

TEST_F(PreferencesTest, ChartLengthRoundsHalfAwayAndClamps) {
    EXPECT_EQ(readWith(PreferenceKey::chartLength, 15.4).chartLength, 16);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, 100.5).chartLength, 101);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, 1000.0).chartLength, 160);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, infinity).chartLength, 85);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, -infinity).chartLength, 85);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, nan).chartLength, 85);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, 40).chartLength, 40);
    EXPECT_EQ(readWith(PreferenceKey::chartLength, "long").chartLength, 85);
    // Non-finite values survive the file and still read as the default.
    defaults_->setDouble(nan, PreferenceKey::chartLength);
    EXPECT_EQ(readAfterRestart().chartLength, 85);
}

TEST_F(PreferencesTest, FanGapClampsToItsRange) {
    EXPECT_EQ(readWith(PreferenceKey::fanGap, -3.0).fanGap, 0);
    EXPECT_EQ(readWith(PreferenceKey::fanGap, 40.0).fanGap, 32);
    EXPECT_EQ(readWith(PreferenceKey::fanGap, nan).fanGap, 0);
    EXPECT_EQ(readWith(PreferenceKey::fanGap, infinity).fanGap, 32);
    EXPECT_EQ(readWith(PreferenceKey::fanGap, 12.5).fanGap, 12.5);
}

TEST_F(PreferencesTest, FloatingOpacityClampsAndANonFiniteValueReadsAsOpaque) {
    EXPECT_EQ(readWith(PreferenceKey::floatingOpacity, 0.05).floatingOpacity, 0.2);
    EXPECT_EQ(readWith(PreferenceKey::floatingOpacity, 3.0).floatingOpacity, 1.0);
    EXPECT_EQ(readWith(PreferenceKey::floatingOpacity, nan).floatingOpacity, 1.0);
    EXPECT_EQ(readWith(PreferenceKey::floatingOpacity, -infinity).floatingOpacity, 1.0);
    EXPECT_EQ(clampedFloatingOpacity(nan), 1.0);
}

TEST_F(PreferencesTest, DisplayStylesOutsideTheirRangesFallBack) {
    EXPECT_EQ(readWith(PreferenceKey::computeDisplay, 7).computeMode, ComputeDisplayMode::bars);
    EXPECT_EQ(readWith(PreferenceKey::computeDisplay, 1).computeMode, ComputeDisplayMode::chart);
    EXPECT_EQ(readWith(PreferenceKey::temperatureDisplay, 2).temperatureMode,
              TemperatureDisplayMode::chart);
    EXPECT_EQ(readWith(PreferenceKey::fanAnimation, -1).fanAnimation, FanAnimationMode::smooth);
    EXPECT_EQ(readWith(PreferenceKey::fanAnimation, 0).fanAnimation, FanAnimationMode::off);
    EXPECT_EQ(readWith(PreferenceKey::fanAnimation, std::int64_t{1} << 40).fanAnimation,
              FanAnimationMode::smooth);
    EXPECT_EQ(readWith(PreferenceKey::fanDisplayMode, 3).fanMode, FanDisplayMode::ring);
    EXPECT_EQ(readWith(PreferenceKey::fanDisplayMode, 2).fanMode, FanDisplayMode::graph);
    EXPECT_EQ(readWith(PreferenceKey::displayMode, 2).displayMode, DisplayMode::pair);
    EXPECT_EQ(readWith(PreferenceKey::appAppearance, "sepia").appearanceMode,
              AppearanceMode::system);
    EXPECT_EQ(readWith(PreferenceKey::detailPresentation, "grid").detailPresentation,
              DetailPresentation::details);
    EXPECT_EQ(readWith(PreferenceKey::floatingMode, "Copy").floatingMode, FloatingMode::none);
    // A value of another type reads as absent.
    EXPECT_EQ(readWith(PreferenceKey::computeDisplay, "2").computeMode, ComputeDisplayMode::bars);
    EXPECT_TRUE(readWith(PreferenceKey::memoryEnabled, "no").memoryEnabled);
}

TEST_F(PreferencesTest, ModuleColorsRejectTheWholeMapForOneNonInteger) {
    defaults_->setObject(PropertyDictionary{{"memory", 3}, {"cpu", 12}, {"junk", 1}},
                         PreferenceKey::moduleColors);
    auto p = readAfterRestart();
    EXPECT_EQ(p.moduleColors.values, (decltype(p.moduleColors.values){{"memory", 3}}));

    defaults_->setObject(PropertyDictionary{{"memory", 3}, {"fan", "x"}},
                         PreferenceKey::moduleColors);
    EXPECT_TRUE(Preferences::read(*defaults_).moduleColors.values.empty());

    defaults_->setObject(PropertyDictionary{{"theme", 4.0}, {"gpu", -1}},
                         PreferenceKey::moduleColors);
    EXPECT_EQ(Preferences::read(*defaults_).moduleColors.values,
              (decltype(p.moduleColors.values){{"theme", 4}}));

    defaults_->setObject(PropertyArray{1, 2}, PreferenceKey::moduleColors);
    EXPECT_TRUE(Preferences::read(*defaults_).moduleColors.values.empty());
}

TEST_F(PreferencesTest, OrderKeepsFirstOccurrencesThenAddsTheMissing) {
    defaults_->setObject(PropertyArray{"network", "network", "junk"}, PreferenceKey::moduleOrder);
    EXPECT_EQ(Preferences::read(*defaults_).moduleOrder,
              (std::vector<ModuleKind>{ModuleKind::network, ModuleKind::memory, ModuleKind::fan,
                                       ModuleKind::temperature, ModuleKind::compute,
                                       ModuleKind::devices}));
    // One element that is not a text makes the whole list unreadable.
    defaults_->setObject(PropertyArray{"devices", 3}, PreferenceKey::moduleOrder);
    EXPECT_EQ(Preferences::read(*defaults_).moduleOrder.front(), ModuleKind::memory);
}

TEST_F(PreferencesTest, FanSwitchFallsBackOnTheLegacyHiddenStyle) {
    defaults_->setInteger(0, PreferenceKey::fanDisplayMode);
    auto p = Preferences::read(*defaults_);
    EXPECT_FALSE(p.fanEnabled);
    EXPECT_EQ(p.fanMode, FanDisplayMode::hidden);

    defaults_->setInteger(2, PreferenceKey::fanDisplayMode);
    EXPECT_TRUE(Preferences::read(*defaults_).fanEnabled);

    defaults_->setInteger(0, PreferenceKey::fanDisplayMode);
    defaults_->setBool(true, PreferenceKey::fanEnabled);
    EXPECT_TRUE(Preferences::read(*defaults_).fanEnabled);
}

TEST_F(PreferencesTest, DisplayModeFallsBackOnTheLegacySwapOnlyFlag) {
    defaults_->setBool(true, PreferenceKey::swapOnly);
    EXPECT_EQ(Preferences::read(*defaults_).displayMode, DisplayMode::automatic);
    EXPECT_EQ(readWith(PreferenceKey::displayMode, 9).displayMode, DisplayMode::automatic);
    EXPECT_EQ(readWith(PreferenceKey::displayMode, 2).displayMode, DisplayMode::pair);
    defaults_->removeObjectForKey(PreferenceKey::displayMode);
    defaults_->setBool(false, PreferenceKey::swapOnly);
    EXPECT_EQ(Preferences::read(*defaults_).displayMode, DisplayMode::four);
}

TEST_F(PreferencesTest, BlueDefaultFallsBackOnTheLegacyKey) {
    defaults_->setBool(true, PreferenceKey::normalBlue);
    EXPECT_TRUE(Preferences::read(*defaults_).normalBlue);
    EXPECT_FALSE(readWith(PreferenceKey::themeBlue, false).normalBlue);
}

TEST_F(PreferencesTest, DockAnchorsNeedEveryValueToBeText) {
    auto p = readWith(PreferenceKey::floatingDockAnchors, PropertyDictionary{{"1", "right"}});
    EXPECT_EQ(p.floatingDockAnchors.at("1"), "right");
    p = readWith(PreferenceKey::floatingDockAnchors, PropertyDictionary{{"1", "right"}, {"2", 4}});
    EXPECT_TRUE(p.floatingDockAnchors.empty());
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
        EXPECT_GE(p.chartLength, 16) << entry.path();
        EXPECT_LE(p.chartLength, 160) << entry.path();
        EXPECT_GE(p.fanGap, 0) << entry.path();
        EXPECT_LE(p.fanGap, 32) << entry.path();
        EXPECT_GE(p.floatingOpacity, 0.2) << entry.path();
        EXPECT_LE(p.floatingOpacity, 1.0) << entry.path();
        EXPECT_EQ(std::set<ModuleKind>(p.moduleOrder.begin(), p.moduleOrder.end()).size(), 6u);
        for (const auto& [slot, number] : p.moduleColors.values) {
            EXPECT_TRUE(parseColorSlot(slot)) << slot;
            EXPECT_TRUE(number >= 0 && number <= 8) << slot;
        }
    }
    // The damaged one in particular falls back everywhere.
    auto damaged = foundation::decodePropertyList(
        R"({"chartLength": {"$real": "nan"}, "floatingOpacity": {"$real": "nan"}})");
    ASSERT_TRUE(damaged);
    defaults_->setPersistentDomain(*damaged, applicationIdentifier);
    EXPECT_EQ(Preferences::read(*defaults_).chartLength, 85);
    EXPECT_EQ(Preferences::read(*defaults_).floatingOpacity, 1.0);
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
    EXPECT_EQ(p.chartLength, 120);
    EXPECT_EQ(p.displayMode, DisplayMode::automatic);
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
    EXPECT_FALSE(p.memoryEnabled);
    EXPECT_FALSE(p.fanEnabled);
}

} // namespace
} // namespace pulsedeck
