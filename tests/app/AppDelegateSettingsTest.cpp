#include "app/ControllerHarness.h"
#include "app/ModuleActivity.h"
#include "sources/SensorHelperAlert.h"
#include "support/DetailViewProbe.h"

#include <cmath>
#include <fstream>
#include <functional>
#include <limits>

namespace pulsedeck {
namespace {

// One choice a view reports, and what it must have done.
struct SettingsCase {
    const char* name;
    std::function<void(DetailView&)> choose;
    std::function<bool(const AppDelegate&)> stored;
    const char* key;
    // None: the choice changed nothing, so nothing is written or rebuilt.
    std::optional<foundation::PropertyValue> written;
    // The cards move, with animation.
    bool animated;
    // The history emptied by the choice, when one is.
    std::optional<ModuleKind> clears;
    bool samples;
};

std::vector<SettingsCase> settingsCases() {
    using P = foundation::PropertyValue;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {
        {"presentation", [](DetailView& v) { v.presentationAction(DetailPresentation::overview); },
         [](const AppDelegate& d) {
             return d.settings().main().detailPresentation == DetailPresentation::overview;
         },
         "detailPresentation", P("overview"), false, std::nullopt, false},
        {"presentation unchanged",
         [](DetailView& v) { v.presentationAction(DetailPresentation::details); },
         [](const AppDelegate& d) {
             return d.settings().main().detailPresentation == DetailPresentation::details;
         },
         "detailPresentation", std::nullopt, false, std::nullopt, false},
        {"colour",
         [](DetailView& v) { v.moduleColorAction(ColorSlot::memory, PaletteColor::pink); },
         [](const AppDelegate& d) {
             return d.settings().main().moduleColors.values.at("memory") == 4;
         },
         "moduleColors", P(foundation::PropertyDictionary{{"memory", 4}}), false, std::nullopt,
         false},
        {"opacity", [](DetailView& v) { v.opacityAction(0.05); },
         [](const AppDelegate& d) { return d.settings().main().floatingOpacity == 0.2; },
         "floatingOpacity", P(0.2), false, std::nullopt, false},
        {"opacity NaN", [nan](DetailView& v) { v.opacityAction(nan); },
         [](const AppDelegate& d) { return d.settings().main().floatingOpacity == 1.0; },
         "floatingOpacity", std::nullopt, false, std::nullopt, false},
        {"order",
         [](DetailView& v) {
             v.orderAction({ModuleKind::network, ModuleKind::network, ModuleKind::compute});
         },
         [](const AppDelegate& d) {
             return d.settings().main().moduleOrder ==
                    std::vector<ModuleKind>{ModuleKind::network,     ModuleKind::compute,
                                            ModuleKind::memory,      ModuleKind::fan,
                                            ModuleKind::temperature, ModuleKind::devices};
         },
         "moduleOrder",
         P(foundation::PropertyArray{"network", "compute", "memory", "fan", "temperature",
                                     "devices"}),
         true, std::nullopt, false},
        {"disclosure",
         [](DetailView& v) {
             v.disclosureAction({ModuleKind::memory, ModuleKind::compute});
         },
         [](const AppDelegate&) { return true; }, "collapsedSections",
         P(foundation::PropertyArray{"compute", "memory"}), true, std::nullopt, false},
        {"appearance", [](DetailView& v) { v.appearanceAction(AppearanceMode::dark); },
         [](const AppDelegate& d) {
             return d.settings().main().appearanceMode == AppearanceMode::dark;
         },
         "appAppearance", P("dark"), false, std::nullopt, false},
        {"memory chart", [](DetailView& v) { v.memoryChartAction(false); },
         [](const AppDelegate& d) { return !d.settings().main().styles.memoryShowChart; },
         "memoryShowChart", P(false), false, std::nullopt, false},
        {"network chart", [](DetailView& v) { v.networkChartAction(false); },
         [](const AppDelegate& d) { return !d.settings().main().styles.networkShowChart; },
         "networkShowChart", P(false), false, std::nullopt, false},
        {"network colour", [](DetailView& v) { v.networkColorAction(true); },
         [](const AppDelegate& d) { return d.settings().main().styles.networkColored; },
         "networkColored", P(true), false, std::nullopt, false},
        {"temperature style",
         [](DetailView& v) { v.temperatureDisplayAction(TemperatureDisplayMode::thermometer); },
         [](const AppDelegate& d) {
             return d.settings().main().styles.temperatureMode ==
                    TemperatureDisplayMode::thermometer;
         },
         "temperatureDisplay", P(1), false, std::nullopt, false},
        {"compute style",
         [](DetailView& v) { v.computeDisplayAction(ComputeDisplayMode::compact); },
         [](const AppDelegate& d) {
             return d.settings().main().styles.computeMode == ComputeDisplayMode::compact;
         },
         "computeDisplay", P(2), false, std::nullopt, false},
        {"memory style", [](DetailView& v) { v.displayAction(DisplayMode::pair); },
         [](const AppDelegate& d) {
             return d.settings().main().styles.memoryMode == DisplayMode::pair;
         },
         "displayMode", P(2), false, std::nullopt, false},
        {"fan animation", [](DetailView& v) { v.fanAnimationAction(FanAnimationMode::off); },
         [](const AppDelegate& d) {
             return d.settings().main().styles.fanAnimation == FanAnimationMode::off;
         },
         "fanAnimation", P(0), false, std::nullopt, false},
        {"fan style", [](DetailView& v) { v.fanAction(FanDisplayMode::graph); },
         [](const AppDelegate& d) {
             return d.settings().main().styles.fanMode == FanDisplayMode::graph;
         },
         "fanDisplayMode", P(2), false, std::nullopt, false},
        {"chart length 200", [](DetailView& v) { v.chartLengthAction(200); },
         [](const AppDelegate& d) { return d.settings().main().chartLength == 160; }, "chartLength",
         P(160.0), false, std::nullopt, false},
        {"chart length 15.5", [](DetailView& v) { v.chartLengthAction(15.5); },
         [](const AppDelegate& d) { return d.settings().main().chartLength == 16; }, "chartLength",
         P(16.0), false, std::nullopt, false},
        {"chart length NaN", [nan](DetailView& v) { v.chartLengthAction(nan); },
         [](const AppDelegate& d) { return d.settings().main().chartLength == 85; }, "chartLength",
         std::nullopt, false, std::nullopt, false},
        {"gap NaN", [nan](DetailView& v) { v.gapAction(nan); },
         [](const AppDelegate& d) { return d.settings().main().fanGap == 0; }, "fanGap", P(0.0),
         false, std::nullopt, false},
        {"gap 40", [](DetailView& v) { v.gapAction(40); },
         [](const AppDelegate& d) {
             return d.settings().main().fanGap == 32 && d.statusStrip().view()->fanGap() == 32;
         },
         "fanGap", P(32.0), false, std::nullopt, false},
        {"language", [](DetailView& v) { v.languageAction("de"); },
         [](const AppDelegate& d) { return d.settings().main().languageSelection == "de"; },
         "language", P("de"), false, std::nullopt, false},
        {"hide in full screen", [](DetailView& v) { v.hideInFullscreenAction(true); },
         [](const AppDelegate& d) {
             return d.settings().main().hideInFullscreen &&
                    inside(d).fullscreenMonitor->isEnabled();
         },
         "hideInFullscreen", P(true), false, std::nullopt, false},
        {"memory off", [](DetailView& v) { v.switchAction(ModuleKind::memory, false); },
         [](const AppDelegate& d) {
             return !d.settings().main().memoryEnabled &&
                    !d.details().view()->state().modules[ModuleKind::memory].on();
         },
         "memoryEnabled", P(false), true, ModuleKind::memory, true},
        {"fan off", [](DetailView& v) { v.switchAction(ModuleKind::fan, false); },
         [](const AppDelegate& d) {
             return !d.settings().main().fanEnabled &&
                    !d.details().view()->state().modules[ModuleKind::fan].on();
         },
         "fanEnabled", P(false), true, ModuleKind::fan, false},
        {"network off", [](DetailView& v) { v.switchAction(ModuleKind::network, false); },
         [](const AppDelegate& d) {
             return !d.settings().main().networkEnabled && !d.sampling().networkSnapshot.download &&
                    d.sampling().networkSnapshot.interfaces.empty();
         },
         "networkEnabled", P(false), true, ModuleKind::network, true},
        {"temperature off", [](DetailView& v) { v.switchAction(ModuleKind::temperature, false); },
         [](const AppDelegate& d) { return !d.settings().main().temperatureEnabled; },
         "temperatureEnabled", P(false), true, ModuleKind::temperature, true},
        {"compute off", [](DetailView& v) { v.switchAction(ModuleKind::compute, false); },
         [](const AppDelegate& d) { return !d.settings().main().computeEnabled; }, "computeEnabled",
         P(false), true, ModuleKind::compute, true},
        {"devices off", [](DetailView& v) { v.switchAction(ModuleKind::devices, false); },
         [](const AppDelegate& d) { return !d.settings().main().devicesEnabled; }, "devicesEnabled",
         P(false), true, std::nullopt, true},
    };
}

bool historyEmpty(const AppDelegate& d, ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return d.sampling().history.empty();
    case ModuleKind::fan:
        return d.sampling().fanHistory.empty();
    case ModuleKind::network:
        return d.sampling().networkHistory.empty();
    case ModuleKind::temperature:
        return d.sampling().temperatureHistory.empty();
    case ModuleKind::compute:
        return d.sampling().computeHistory.empty();
    case ModuleKind::devices:
        break;
    }
    return false;
}

class AppDelegateSettingsTest : public testing::ControllerHarness {};

TEST_F(AppDelegateSettingsTest, EveryChoiceStoresWritesRefreshesClearsAndSamplesAsTold) {
    int run = 0;
    for (const auto& row : settingsCases()) {
        SCOPED_TRACE(row.name);
        freshPreferences("prefs-" + std::to_string(++run));
        launch();
        advance(1);
        advance(1);
        ASSERT_FALSE(delegate->sampling().history.empty());
        ASSERT_FALSE(delegate->sampler().sampleInFlight());
        // The choices are made in the open details.
        delegate->details().show(std::nullopt);
        ASSERT_TRUE(popover()->isShown());

        DetailView& view = *details();
        DetailViewProbe(view).change([](DetailState& s) { s.languageSelection = "unrefreshed"; });
        row.choose(view);

        EXPECT_TRUE(row.stored(*delegate));
        EXPECT_EQ(view.state().languageSelection != "unrefreshed", row.written.has_value())
            << "the status item was rebuilt";
        EXPECT_EQ(DetailViewProbe(view).lastLayoutRequestedAnimation(), row.animated);
        EXPECT_EQ(delegate->sampler().sampleInFlight(), row.samples);
        for (auto kind : allModuleKinds) {
            if (kind == ModuleKind::devices)
                continue;
            EXPECT_EQ(historyEmpty(*delegate, kind), row.clears == kind) << toString(kind);
        }

        const auto stored = reloaded().objectForKey(row.key);
        ASSERT_EQ(stored.has_value(), row.written.has_value());
        if (stored) {
            EXPECT_TRUE(*stored == *row.written);
        }
        // The next launch's item takes this one's place on the bar, where the details hang.
        popover()->close();
        app.statusBar().removeStatusItem(delegate->statusStrip().item());
        delegate->applicationWillTerminate();
        delegate.reset();
    }
}

TEST_F(AppDelegateSettingsTest, WrittenChoicesReadBackAsTheSameSettings) {
    launch();
    DetailView& view = *details();
    view.chartLengthAction(100.5);
    view.gapAction(12);
    view.switchAction(ModuleKind::memory, false);
    view.displayAction(DisplayMode::automatic);
    view.orderAction({ModuleKind::devices});
    view.moduleColorAction(ColorSlot::theme, PaletteColor::orange);
    view.moduleColorAction(ColorSlot::theme, std::nullopt);
    view.moduleColorAction(ColorSlot::gpu, PaletteColor::red);
    const Preferences read = Preferences::read(reloaded());
    EXPECT_EQ(read.chartLength, 101);
    EXPECT_EQ(read.fanGap, 12);
    EXPECT_FALSE(read.memoryEnabled);
    EXPECT_EQ(read.styles.memoryMode, DisplayMode::automatic);
    EXPECT_EQ(read.moduleOrder.front(), ModuleKind::devices);
    EXPECT_EQ(read.moduleColors, delegate->settings().main().moduleColors);
    EXPECT_FALSE(read.moduleColors.values.contains("theme"));
}

TEST_F(AppDelegateSettingsTest, AModuleShownFloatingKeepsItsHistoryAndIsStillSampled) {
    launch();
    advance(1);
    delegate->settings().change([](Preferences& p) { p.floatingMode = FloatingMode::copy; });
    delegate->settings().changeFloating([](FloatingPreferences&) {});
    details()->switchAction(ModuleKind::memory, false);
    EXPECT_FALSE(delegate->settings().main().memoryEnabled);
    EXPECT_FALSE(delegate->sampling().history.empty());
    EXPECT_TRUE(isModuleActive(ModuleKind::memory, delegate->settings().main(),
                               delegate->settings().floating()));

    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.hidden = {ModuleKind::network}; });
    details()->switchAction(ModuleKind::network, false);
    EXPECT_TRUE(delegate->sampling().networkHistory.empty());
}

TEST_F(AppDelegateSettingsTest, SwitchingOnEmptiesTheHistoryExpandsTheSectionAndSamples) {
    launch();
    advance(1);
    delegate->settings().change(
        [](Preferences& p) { p.collapsedSections = {ModuleKind::compute}; });
    std::optional<std::set<ModuleKind>> reported;
    auto disclosure = details()->disclosureAction;
    details()->disclosureAction = [&](const std::set<ModuleKind>& sections) {
        reported = sections;
        disclosure(sections);
    };
    delegate->settings().change([](Preferences& p) { p.computeEnabled = false; });
    details()->switchAction(ModuleKind::compute, true);
    EXPECT_TRUE(delegate->settings().main().computeEnabled);
    EXPECT_TRUE(delegate->sampling().computeHistory.empty());
    EXPECT_TRUE(delegate->sampler().sampleInFlight());
    ASSERT_TRUE(reported);
    EXPECT_TRUE(reported->empty());

    details()->switchAction(ModuleKind::fan, false);
    pump();
    details()->switchAction(ModuleKind::fan, true);
    EXPECT_TRUE(delegate->sampler().sampleInFlight()) << "the fan switched on samples";
}

TEST_F(AppDelegateSettingsTest, ChoicesAreWrittenEvenWhenTheControllerIsGone) {
    launch();
    auto view = details();
    delegate->applicationWillTerminate();
    delegate.reset();
    view->disclosureAction({ModuleKind::network, ModuleKind::devices});
    EXPECT_TRUE(*reloaded().objectForKey(PreferenceKey::collapsedSections) ==
                foundation::PropertyValue(foundation::PropertyArray{"devices", "network"}));
    // Every other choice is kept as well.
    view->chartLengthAction(20);
    EXPECT_TRUE(*reloaded().objectForKey(PreferenceKey::chartLength) ==
                foundation::PropertyValue(20.0));
}

// The details and the strip sort together; the strip's order and hiding reach the settings only
// while they do, and its done press ends sorting on both sides with the focus back.
TEST_F(AppDelegateSettingsTest, SortingRunsOnBothSidesAndOnlyThenTheStripReorders) {
    launch();
    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());
    DetailView& view = *details();
    MenuBarContentView& strip = *delegate->statusStrip().view();
    strip.statusOrderAction({ModuleKind::devices});
    strip.statusHideAction(ModuleKind::memory);
    EXPECT_EQ(delegate->settings().main().moduleOrder.front(), ModuleKind::memory);
    EXPECT_TRUE(delegate->settings().main().memoryEnabled);

    view.prioritize(ModuleKind::network);
    view.setSorting(true);
    view.sortingAction();
    EXPECT_TRUE(strip.isSorting());
    EXPECT_FALSE(strip.activeModule());
    strip.statusOrderAction({ModuleKind::devices});
    strip.statusHideAction(ModuleKind::memory);
    EXPECT_EQ(delegate->settings().main().moduleOrder.front(), ModuleKind::devices);
    EXPECT_FALSE(*reloaded().objectForKey(PreferenceKey::memoryEnabled)->asBool());

    strip.finishSortingAction();
    EXPECT_FALSE(view.isSorting());
    EXPECT_FALSE(strip.isSorting());
    EXPECT_EQ(strip.activeModule(), ModuleKind::network);
    // Not sorting: nothing to finish.
    strip.setActiveModule(std::nullopt);
    strip.finishSortingAction();
    EXPECT_FALSE(strip.activeModule());
}

TEST_F(AppDelegateSettingsTest, SensorHelpShowsTheCompanionAlertInTheInterfaceLanguage) {
    launch();
    const auto before = server.modalSessions().size();
    server.answerNextModal(text(title(SensorAlertButton::okay), AppLanguage::english));
    details()->sensorAction();
    EXPECT_EQ(server.modalSessions().size(), before + 1);
}

// The login item: the entry an earlier version wrote is taken over at launch; a call only when the
// wanted state differs, and loginFailed exactly when a call was made and failed.
TEST_F(AppDelegateSettingsTest, LoginItemMatrix) {
    const auto entry = config.path() / "autostart" / LoginItem::entryName;
    const auto earlier = entry.parent_path() / "pulsedeck.desktop";
    std::filesystem::create_directories(entry.parent_path());
    std::ofstream(earlier) << "[Desktop Entry]\nType=Application\nExec=pulsedeck\n";
    launch();
    DetailView& view = *details();
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(std::filesystem::exists(earlier));

    view.loginAction(true);
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(view.state().loginFailed) << "already enabled: no call";
    EXPECT_EQ(view.state().loginState, 1);

    view.loginAction(false);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginState, 0);

    view.loginAction(false);
    EXPECT_FALSE(view.state().loginFailed) << "already off: no call";

    view.loginAction(true);
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginState, 1);

    // The autostart folder cannot be made: registering fails.
    std::filesystem::remove_all(config.path() / "autostart");
    std::ofstream(config.path() / "autostart") << "not a folder";
    view.loginAction(true);
    EXPECT_TRUE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginState, 0);
}

} // namespace
} // namespace pulsedeck
