#include "app/ControllerHarness.h"
#include "app/FloatingSettingsTransfer.h"
#include "platform/foundation/PropertyListCoding.h"
#include "support/OtherStyles.h"

#include <cmath>
#include <functional>
#include <limits>

namespace pulsedeck {

void PrintTo(const FloatingPreferences& record, std::ostream* out) {
    *out << foundation::encodePropertyList(record.dictionaryRepresentation());
}

namespace {

using Record = FloatingPreferences;

// One choice in the floating details and the record it must leave behind, starting from the
// standard record.
struct ChoiceCase {
    const char* name;
    std::function<void(DetailView&)> choose;
    std::function<void(Record&)> expected;
};

std::vector<ChoiceCase> choiceCases() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    using K = ModuleKind;
    return {
        {"chart length 200", [](DetailView& v) { v.chartLengthAction(200); },
         [](Record& r) { r.chartLength = 160; }},
        {"chart length 15.4", [](DetailView& v) { v.chartLengthAction(15.4); },
         [](Record& r) { r.chartLength = 16; }},
        {"chart length 100.6", [](DetailView& v) { v.chartLengthAction(100.6); },
         [](Record& r) { r.chartLength = 101; }},
        {"chart length NaN", [nan](DetailView& v) { v.chartLengthAction(nan); },
         [](Record& r) { r.chartLength = 85; }},
        {"gap -3", [](DetailView& v) { v.gapAction(-3); }, [](Record& r) { r.gap = 0; }},
        {"gap 40", [](DetailView& v) { v.gapAction(40); }, [](Record& r) { r.gap = 32; }},
        {"gap 12.5", [](DetailView& v) { v.gapAction(12.5); }, [](Record& r) { r.gap = 12.5; }},
        {"opacity 0.1", [](DetailView& v) { v.opacityAction(0.1); },
         [](Record& r) { r.opacity = 0.2; }},
        {"opacity 1.5", [](DetailView& v) { v.opacityAction(1.5); },
         [](Record& r) { r.opacity = 1.0; }},
        {"order",
         [](DetailView& v) {
             v.orderAction({K::network, K::network, K::devices});
         },
         [](Record& r) {
             r.order = {K::network, K::devices, K::memory, K::fan, K::temperature, K::compute};
         }},
        {"module off then on",
         [](DetailView& v) {
             v.switchAction(K::compute, false);
             v.switchAction(K::fan, false);
             v.switchAction(K::compute, true);
         },
         [](Record& r) { r.hidden = {K::fan}; }},
        {"styles",
         [](DetailView& v) {
             v.displayAction(DisplayMode::pair);
             v.fanAction(FanDisplayMode::graph);
             v.fanAnimationAction(FanAnimationMode::off);
             v.computeDisplayAction(ComputeDisplayMode::compact);
             v.temperatureDisplayAction(TemperatureDisplayMode::thermometer);
             v.memoryChartAction(false);
             v.networkChartAction(false);
             v.networkColorAction(true);
         },
         [](Record& r) { r.styles = testsupport::otherStyles; }},
        {"hidden in full screen", [](DetailView& v) { v.hideInFullscreenAction(true); },
         [](Record& r) { r.hideInFullscreen = true; }},
        {"colour set and removed",
         [](DetailView& v) {
             v.moduleColorAction(ColorSlot::cpu, PaletteColor::pink);
             v.moduleColorAction(ColorSlot::network, PaletteColor::red);
             v.moduleColorAction(ColorSlot::network, std::nullopt);
         },
         [](Record& r) { r.colors.setColor(PaletteColor::pink, ColorSlot::cpu); }},
        {"details",
         [](DetailView& v) {
             v.disclosureAction({K::memory, K::network});
             v.presentationAction(DetailPresentation::overview);
             v.appearanceAction(AppearanceMode::dark);
         },
         [](Record& r) {
             r.collapsed = {K::memory, K::network};
             r.presentation = DetailPresentation::overview;
             r.appearance = AppearanceMode::dark;
         }},
    };
}

class AppDelegateFloatingSettingsTest : public testing::ControllerHarness {
protected:
    std::optional<foundation::PropertyDictionary> storedRecord() {
        return reloaded().dictionaryForKey(FloatingPreferences::defaultsKey);
    }
};

// Each choice changes its one field by its rule, writes the whole record and asks the floating
// details to animate, with no bar shown; only a change of the modules shown asks for a sample.
TEST_F(AppDelegateFloatingSettingsTest, EveryChoiceFollowsItsValueRuleAndTheCommonSteps) {
    int run = 0;
    for (const auto& row : choiceCases()) {
        SCOPED_TRACE(row.name);
        freshPreferences("prefs-" + std::to_string(++run));
        launch();
        advance(1);
        ASSERT_FALSE(delegate->sampler().sampleInFlight());
        floatingBar().makePopover();

        row.choose(*floatingBar().details());

        Record expected;
        row.expected(expected);
        ASSERT_TRUE(delegate->settings().floating());
        EXPECT_EQ(*delegate->settings().floating(), expected);
        const auto stored = storedRecord();
        ASSERT_TRUE(stored);
        EXPECT_TRUE(*stored == expected.dictionaryRepresentation());
        // A choice that changes nothing does nothing else either.
        EXPECT_EQ(delegate->sampler().sampleInFlight(), expected.hidden != Record{}.hidden);
        EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
        delegate->applicationWillTerminate();
        delegate.reset();
    }
}

TEST_F(AppDelegateFloatingSettingsTest, TheFirstChangeBuildsTheRecordFromTheMainSettings) {
    defaults->setBool(false, PreferenceKey::fanEnabled);
    defaults->setDouble(120, PreferenceKey::chartLength);
    defaults->setObject(std::string("dark"), PreferenceKey::appAppearance);
    defaults->setDouble(0.6, PreferenceKey::floatingOpacity);
    defaults->setBool(true, PreferenceKey::hideInFullscreen);
    defaults->setObject(foundation::PropertyDictionary{{"theme", 0}, {"memory", 3}},
                        PreferenceKey::moduleColors);
    launch();
    EXPECT_FALSE(delegate->settings().floating()) << "nothing is loaded before it is needed";

    delegate->settings().changeFloating([](Record& r) { r.gap = 5; });

    const auto stored = storedRecord();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 19u);
    Record expected;
    expected.hidden = {ModuleKind::fan};
    expected.chartLength = 120;
    expected.appearance = AppearanceMode::dark;
    expected.opacity = 0.6;
    expected.hideInFullscreen = true;
    expected.colors.setColor(PaletteColor::purple, ColorSlot::memory);
    expected.gap = 5;
    EXPECT_EQ(*delegate->settings().floating(), expected);
    EXPECT_EQ(Record(*stored, Record{}), expected);
}

TEST_F(AppDelegateFloatingSettingsTest, AStoredRecordWinsOverTheMainSettingsAndIsWrittenBack) {
    Record kept;
    kept.gap = 20;
    kept.presentation = DetailPresentation::overview;
    auto stored = kept.dictionaryRepresentation();
    stored.insert_or_assign("chartLength", foundation::PropertyValue("long"));
    defaults->setObject(std::move(stored), FloatingPreferences::defaultsKey);
    defaults->setDouble(40, PreferenceKey::chartLength);
    launch();

    floatingBar().load();
    Record expected = kept;
    expected.chartLength = 40; // the unreadable entry falls back to the main setting
    EXPECT_EQ(*delegate->settings().floating(), expected);
    EXPECT_EQ(Record(*storedRecord(), Record{}), expected);

    // Loaded once: a later stored record is not read again.
    defaults->removeObjectForKey(FloatingPreferences::defaultsKey);
    floatingBar().load();
    EXPECT_FALSE(storedRecord());
}

TEST_F(AppDelegateFloatingSettingsTest, TheThemeColourIsTheMenuBarsAndLeavesTheRecordAlone) {
    launch();
    floatingBar().load();
    const Record before = *delegate->settings().floating();

    floatingBar().chooseColor(ColorSlot::theme, PaletteColor::purple);
    EXPECT_EQ(*delegate->settings().floating(), before);
    EXPECT_EQ(delegate->settings().main().moduleColors.explicitColor(ColorSlot::theme),
              PaletteColor::purple);
    EXPECT_TRUE(*reloaded().objectForKey(PreferenceKey::moduleColors) ==
                foundation::PropertyValue(
                    foundation::PropertyDictionary{{"theme", rawValue(PaletteColor::purple)}}));

    floatingBar().chooseColor(ColorSlot::fan, PaletteColor::red);
    EXPECT_EQ(delegate->settings().floating()->colors.explicitColor(ColorSlot::fan),
              PaletteColor::red);
    EXPECT_FALSE(delegate->settings().main().moduleColors.explicitColor(ColorSlot::fan));
}

// The seed on detaching and the copy back on returning, as pure transfers.
TEST(FloatingSettingsTransfer, SeedKeepsTheBarsOwnAndTheCopyBackKeepsTheStripsTheme) {
    Preferences main;
    main.fanEnabled = false;
    main.moduleOrder = {ModuleKind::devices, ModuleKind::memory,      ModuleKind::fan,
                        ModuleKind::network, ModuleKind::temperature, ModuleKind::compute};
    main.moduleColors.values = {{"theme", 2}, {"memory", 5}};
    main.chartLength = 60;
    main.styles = testsupport::otherStyles;

    Record floating;
    floating.hidden = {ModuleKind::network};
    floating.appearance = AppearanceMode::light;
    floating.opacity = 0.5;
    floating.colors.values = {{"theme", 7}, {"cpu", 1}};
    floating.hideInFullscreen = true;
    seedFloating(floating, main);
    EXPECT_EQ(floating.hidden, std::set<ModuleKind>{ModuleKind::fan});
    EXPECT_EQ(floating.order, main.moduleOrder);
    EXPECT_EQ(floating.chartLength, 60);
    EXPECT_EQ(floating.styles, main.styles);
    EXPECT_EQ(floating.appearance, AppearanceMode::light);
    EXPECT_EQ(floating.opacity, 0.5);
    EXPECT_TRUE(floating.hideInFullscreen);
    EXPECT_EQ(floating.colors.values,
              (std::map<std::string, std::int64_t, std::less<>>{{"theme", 7}, {"memory", 5}}));

    // The fan shown on the bar comes back switched on; the strip keeps its own theme.
    floating.hidden = {ModuleKind::devices};
    floating.gap = 3;
    floating.styles = ModuleStyles{};
    returnFloatingToMain(floating, main);
    EXPECT_TRUE(main.fanEnabled);
    EXPECT_FALSE(main.devicesEnabled);
    EXPECT_EQ(main.styles, ModuleStyles{});
    EXPECT_EQ(main.fanGap, 3);
    EXPECT_EQ(main.moduleColors.values,
              (std::map<std::string, std::int64_t, std::less<>>{{"theme", 2}, {"memory", 5}}));

    // A strip without a theme gets none back from the bar.
    main.moduleColors.values.clear();
    floating.colors.values = {{"theme", 7}};
    returnFloatingToMain(floating, main);
    EXPECT_TRUE(main.moduleColors.values.empty());
}

} // namespace
} // namespace pulsedeck
