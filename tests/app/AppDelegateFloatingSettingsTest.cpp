#include "app/ControllerHarness.h"
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
    using K = ModuleKind;
    return {
        {"numbers",
         [](DetailView& v) {
             v.editLook([](StripLook& l) {
                 l.modules.chartLength = 101;
                 l.modules.gap = 12.5;
                 l.opacity = 0.2;
             });
         },
         [](Record& r) {
             r.look.modules.chartLength = 101;
             r.look.modules.gap = 12.5;
             r.look.opacity = 0.2;
         }},
        {"order",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) {
                 l.modules.order = completeOrder({K::network, K::network, K::devices});
             });
         },
         [](Record& r) {
             r.look.modules.order = {K::network, K::devices,     K::memory,
                                     K::fan,     K::temperature, K::compute};
         }},
        {"module off then on",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(K::compute, false); });
             v.editLook([=](StripLook& l) { l.modules.setShown(K::fan, false); });
             v.editLook([=](StripLook& l) { l.modules.setShown(K::compute, true); });
         },
         [](Record& r) { r.look.modules.hidden = {K::fan}; }},
        {"styles",
         [](DetailView& v) {
             v.editLook([](StripLook& l) { l.modules.styles = testsupport::otherStyles; });
         },
         [](Record& r) { r.look.modules.styles = testsupport::otherStyles; }},
        {"hidden in full screen",
         [](DetailView& v) { v.editLook([=](StripLook& l) { l.hideInFullscreen = true; }); },
         [](Record& r) { r.look.hideInFullscreen = true; }},
        {"colour set and removed",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) {
                 l.modules.colors.setColor(PaletteColor::pink, ColorSlot::cpu);
             });
             v.editLook([=](StripLook& l) {
                 l.modules.colors.setColor(PaletteColor::red, ColorSlot::network);
             });
             v.editLook([=](StripLook& l) {
                 l.modules.colors.setColor(std::nullopt, ColorSlot::network);
             });
         },
         [](Record& r) { r.look.modules.colors.setColor(PaletteColor::pink, ColorSlot::cpu); }},
        {"details",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.collapsed = {K::memory, K::network}; });
             v.editLook([=](StripLook& l) { l.presentation = DetailPresentation::overview; });
             v.editLook([=](StripLook& l) { l.appearance = AppearanceMode::dark; });
         },
         [](Record& r) {
             r.look.collapsed = {K::memory, K::network};
             r.look.presentation = DetailPresentation::overview;
             r.look.appearance = AppearanceMode::dark;
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
        EXPECT_EQ(delegate->sampler().sampleInFlight(),
                  expected.look.modules.hidden != Record{}.look.modules.hidden);
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

    delegate->settings().changeFloating([](Record& r) { r.look.modules.gap = 5; });

    const auto stored = storedRecord();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 19u);
    Record expected;
    expected.look.modules.hidden = {ModuleKind::fan};
    expected.look.modules.chartLength = 120;
    expected.look.appearance = AppearanceMode::dark;
    expected.look.opacity = 0.6;
    expected.look.hideInFullscreen = true;
    expected.look.modules.colors.setColor(PaletteColor::purple, ColorSlot::memory);
    expected.look.modules.gap = 5;
    EXPECT_EQ(*delegate->settings().floating(), expected);
    EXPECT_EQ(Record(*stored, Record{}), expected);
}

TEST_F(AppDelegateFloatingSettingsTest, AStoredRecordWinsOverTheMainSettingsAndIsWrittenBack) {
    Record kept;
    kept.look.modules.gap = 20;
    kept.look.presentation = DetailPresentation::overview;
    auto stored = kept.dictionaryRepresentation();
    stored.insert_or_assign("chartLength", foundation::PropertyValue("long"));
    defaults->setObject(std::move(stored), FloatingPreferences::defaultsKey);
    defaults->setDouble(40, PreferenceKey::chartLength);
    launch();

    floatingBar().load();
    Record expected = kept;
    expected.look.modules.chartLength = 40; // the unreadable entry falls back to the main setting
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
    floatingBar().makePopover();
    const Record before = *delegate->settings().floating();
    DetailView& details = *floatingBar().details();

    details.editLook(
        [](StripLook& l) { l.modules.colors.setColor(PaletteColor::purple, ColorSlot::theme); });
    EXPECT_EQ(*delegate->settings().floating(), before);
    EXPECT_EQ(delegate->settings().main().look.modules.colors.explicitColor(ColorSlot::theme),
              PaletteColor::purple);
    EXPECT_TRUE(*reloaded().objectForKey(PreferenceKey::moduleColors) ==
                foundation::PropertyValue(
                    foundation::PropertyDictionary{{"theme", rawValue(PaletteColor::purple)}}));

    details.editLook(
        [](StripLook& l) { l.modules.colors.setColor(PaletteColor::red, ColorSlot::fan); });
    EXPECT_EQ(delegate->settings().floating()->look.modules.colors.explicitColor(ColorSlot::fan),
              PaletteColor::red);
    EXPECT_FALSE(delegate->settings().main().look.modules.colors.explicitColor(ColorSlot::fan));
}

} // namespace
} // namespace pulsedeck
