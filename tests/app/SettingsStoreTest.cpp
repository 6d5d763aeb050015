#include "app/SettingsStore.h"

#include "platform/foundation/PropertyListCoding.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

using foundation::PropertyArray;
using foundation::PropertyDictionary;
using foundation::PropertyValue;
using Keys = std::set<std::string, std::less<>>;

constexpr std::string_view domain = "local.dorvettin.Pulsedeck";

// One change through the store: what is stored before it, the keys (and the bar's entries) the
// observers hear of, and the whole stored domain after it.
struct StoreCase {
    const char* name;
    PropertyDictionary storedBefore;
    std::function<void(SettingsStore&)> change;
    Keys keys;
    Keys floatingEntries;
    PropertyDictionary storedAfter;
};

std::vector<StoreCase> storeCases() {
    using K = ModuleKind;
    const FloatingPreferences barWithGap = [] {
        FloatingPreferences record;
        record.look.modules.gap = 5;
        return record;
    }();
    const auto anchors = [] {
        DockAnchorTexts texts{{"Optional(1)", "{{1040, 876}, {400, 24}}"}};
        return encodeDockAnchors(texts);
    }();
    return {
        {"a switch",
         {},
         [](SettingsStore& s) {
             s.change([](Preferences& p) { p.look.modules.setShown(ModuleKind::memory, false); });
         },
         {"memoryEnabled"},
         {},
         {{"memoryEnabled", false}}},
        {"the value it already has",
         {},
         [](SettingsStore& s) {
             s.change([](Preferences& p) { p.look.modules.styles.memoryShowChart = true; });
         },
         {},
         {},
         {}},
        {"numbers and styles in one change",
         {},
         [](SettingsStore& s) {
             s.change([](Preferences& p) {
                 p.look.modules.chartLength = 120;
                 p.look.modules.gap = 3;
                 p.look.opacity = 0.5;
                 p.look.modules.styles.memoryMode = DisplayMode::pair;
                 p.look.modules.styles.temperatureMode = TemperatureDisplayMode::thermometer;
                 p.look.modules.styles.computeMode = ComputeDisplayMode::chart;
                 p.look.modules.styles.fanAnimation = FanAnimationMode::off;
             });
         },
         {"chartLength", "fanGap", "floatingOpacity", "displayMode", "temperatureDisplay",
          "computeDisplay", "fanAnimation"},
         {},
         {{"chartLength", 120.0},
          {"fanGap", 3.0},
          {"floatingOpacity", 0.5},
          {"displayMode", rawValue(DisplayMode::pair)},
          {"temperatureDisplay", 1},
          {"computeDisplay", rawValue(ComputeDisplayMode::chart)},
          {"fanAnimation", rawValue(FanAnimationMode::off)}}},
        {"words, lists and maps",
         {},
         [](SettingsStore& s) {
             s.change([](Preferences& p) {
                 p.look.presentation = DetailPresentation::overview;
                 p.look.appearance = AppearanceMode::dark;
                 p.languageSelection = "de";
                 p.floatingMode = FloatingMode::copy;
                 p.look.modules.order = completeOrder({K::devices});
                 p.look.modules.colors.setColor(PaletteColor::red, ColorSlot::gpu);
                 p.look.collapsed = {K::network, K::devices};
             });
         },
         {"detailPresentation", "appAppearance", "language", "floatingMode", "moduleOrder",
          "moduleColors", "collapsedSections"},
         {},
         {{"detailPresentation", "overview"},
          {"appAppearance", "dark"},
          {"language", "de"},
          {"floatingMode", "copy"},
          {"moduleOrder",
           PropertyArray{"devices", "memory", "fan", "network", "temperature", "compute"}},
          {"moduleColors", PropertyDictionary{{"gpu", rawValue(PaletteColor::red)}}},
          {"collapsedSections", PropertyArray{"devices", "network"}}}},
        {"a dock anchor",
         {},
         [](SettingsStore& s) {
             s.change([](Preferences& p) {
                 p.floatingDockAnchors["Optional(1)"] = "{{1040, 876}, {400, 24}}";
             });
         },
         {"floatingDockAnchors"},
         {},
         {{"floatingDockAnchors", anchors}}},
        // Earlier versions turned the fan off with style 0: a new style must not turn it on.
        {"a fan style over a switch never stored",
         {{"fanDisplayMode", 0}},
         [](SettingsStore& s) {
             s.change(
                 [](Preferences& p) { p.look.modules.styles.fanMode = FanDisplayMode::graph; });
         },
         {"fanDisplayMode"},
         {},
         {{"fanDisplayMode", 2}, {"fanEnabled", false}}},
        {"the bar's gap",
         {},
         [](SettingsStore& s) {
             s.changeFloating([](FloatingPreferences& p) { p.look.modules.gap = 5; });
         },
         {},
         {"gap"},
         {{"floatingPreferences", barWithGap.dictionaryRepresentation()}}},
        {"the bar unchanged",
         {},
         [](SettingsStore& s) {
             s.changeFloating([](FloatingPreferences& p) { p.look.modules.gap = 8; });
         },
         {},
         {},
         {{"floatingPreferences", FloatingPreferences().dictionaryRepresentation()}}},
    };
}

TEST(SettingsStore, EachChangeTellsItsKeysAndWritesWhatReadsBackTheSame) {
    int run = 0;
    for (const auto& row : storeCases()) {
        SCOPED_TRACE(row.name);
        testsupport::TemporaryDirectory folder;
        const auto directory = folder.path() / std::to_string(++run);
        PropertyDictionary expected = row.storedBefore;
        {
            foundation::UserDefaults defaults(directory, std::string(domain));
            for (const auto& [key, value] : row.storedBefore)
                defaults.setObject(value, key);
            SettingsStore store(defaults);
            std::vector<SettingsChange> heard;
            store.observe([&](const SettingsChange& change) { heard.push_back(change); });

            row.change(store);

            const bool quiet = row.keys.empty() && row.floatingEntries.empty();
            ASSERT_EQ(heard.size(), quiet ? 0u : 1u);
            if (!quiet) {
                EXPECT_EQ(heard[0].keys, row.keys);
                EXPECT_EQ(heard[0].floatingEntries, row.floatingEntries);
            }
            ASSERT_TRUE(defaults.synchronize());

            // A restart reads what this run holds.
            foundation::UserDefaults reloaded(directory, std::string(domain));
            EXPECT_EQ(Preferences::read(reloaded), store.main());
            SettingsStore again(reloaded);
            if (store.floating()) {
                EXPECT_EQ(again.loadFloating(), *store.floating());
            }
        }
        foundation::UserDefaults after(directory, std::string(domain));
        for (const auto& [key, value] : row.storedAfter)
            expected.insert_or_assign(key, value);
        const auto stored = after.persistentDomainForName(domain).value_or(PropertyDictionary{});
        EXPECT_EQ(foundation::encodePropertyList(stored), foundation::encodePropertyList(expected));
    }
}

} // namespace
} // namespace pulsedeck
