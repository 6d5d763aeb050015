#include "app/ControllerHarness.h"
#include "app/ModuleActivity.h"
#include "detail/PersistentMenuOption.h"
#include "sources/SensorHelperAlert.h"
#include "statusbar/PassiveStripMaterial.h"
#include "statusbar/StatusEditingSurface.h"
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

// The editing panels over the strip stand, and their glass shows the menu bar's opacity.
bool panelsShowOpacity(const AppDelegate& d, double opacity) {
    const EditingPanels* panels = d.statusStrip().editingPanels();
    return panels && !panels->panels().empty() &&
           std::all_of(panels->panels().begin(), panels->panels().end(), [&](const auto& entry) {
               const StatusEditingSurface* surface = EditingPanels::surfaceOf(*entry.second);
               return surface && surface->glass()->alphaValue() == opacity;
           });
}

std::vector<SettingsCase> settingsCases() {
    using P = foundation::PropertyValue;
    return {
        {"presentation",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.presentation = DetailPresentation::overview; });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.presentation == DetailPresentation::overview;
         },
         "detailPresentation", P("overview"), false, std::nullopt, false},
        {"presentation unchanged",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.presentation = DetailPresentation::details; });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.presentation == DetailPresentation::details;
         },
         "detailPresentation", std::nullopt, false, std::nullopt, false},
        {"colour",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) {
                 l.modules.colors.setColor(PaletteColor::pink, ColorSlot::memory);
             });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.modules.colors.values.at("memory") == 4;
         },
         "moduleColors", P(foundation::PropertyDictionary{{"memory", 4}}), false, std::nullopt,
         false},
        {"opacity", [](DetailView& v) { v.editLook([](StripLook& l) { l.opacity = 0.2; }); },
         [](const AppDelegate& d) {
             return d.settings().main().look.opacity == 0.2 && panelsShowOpacity(d, 0.2);
         },
         "floatingOpacity", P(0.2), false, std::nullopt, false},
        {"order",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) {
                 l.modules.order =
                     completeOrder({ModuleKind::network, ModuleKind::network, ModuleKind::compute});
             });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.modules.order ==
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
             v.editLook([=](StripLook& l) {
                 l.collapsed = {ModuleKind::memory, ModuleKind::compute};
             });
         },
         [](const AppDelegate&) { return true; }, "collapsedSections",
         P(foundation::PropertyArray{"compute", "memory"}), true, std::nullopt, false},
        {"appearance",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.appearance = AppearanceMode::dark; });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.appearance == AppearanceMode::dark;
         },
         "appAppearance", P("dark"), false, std::nullopt, false},
        {"network colour",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.styles.networkColored = true; });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.modules.styles.networkColored;
         },
         "networkColored", P(true), false, std::nullopt, false},
        {"memory style",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.styles.memoryMode = DisplayMode::pair; });
         },
         [](const AppDelegate& d) {
             return d.settings().main().look.modules.styles.memoryMode == DisplayMode::pair;
         },
         "displayMode", P(2), false, std::nullopt, false},
        {"chart length",
         [](DetailView& v) { v.editLook([=](StripLook& l) { l.modules.chartLength = 160; }); },
         [](const AppDelegate& d) { return d.settings().main().look.modules.chartLength == 160; },
         "chartLength", P(160.0), false, std::nullopt, false},
        {"gap", [](DetailView& v) { v.editLook([=](StripLook& l) { l.modules.gap = 32; }); },
         [](const AppDelegate& d) {
             return d.settings().main().look.modules.gap == 32 &&
                    d.statusStrip().view()->fanGap() == 32;
         },
         "fanGap", P(32.0), false, std::nullopt, false},
        {"language", [](DetailView& v) { v.languageAction("de"); },
         [](const AppDelegate& d) { return d.settings().main().languageSelection == "de"; },
         "language", P("de"), false, std::nullopt, false},
        {"hide in full screen",
         [](DetailView& v) { v.editLook([=](StripLook& l) { l.hideInFullscreen = true; }); },
         [](const AppDelegate& d) {
             return d.settings().main().look.hideInFullscreen &&
                    d.floatingMode().fullscreen().isEnabled();
         },
         "hideInFullscreen", P(true), false, std::nullopt, false},
        {"memory off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::memory, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::memory) &&
                    !d.details().view()->state().module(ModuleKind::memory).on();
         },
         "memoryEnabled", P(false), true, ModuleKind::memory, true},
        {"fan off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::fan, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::fan) &&
                    !d.details().view()->state().module(ModuleKind::fan).on();
         },
         "fanEnabled", P(false), true, ModuleKind::fan, false},
        {"network off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::network, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::network) &&
                    !d.sampling().networkSnapshot.download &&
                    d.sampling().networkSnapshot.interfaces.empty();
         },
         "networkEnabled", P(false), true, ModuleKind::network, true},
        {"temperature off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::temperature, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::temperature);
         },
         "temperatureEnabled", P(false), true, ModuleKind::temperature, true},
        {"compute off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::compute, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::compute);
         },
         "computeEnabled", P(false), true, ModuleKind::compute, true},
        {"devices off",
         [](DetailView& v) {
             v.editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::devices, false); });
         },
         [](const AppDelegate& d) {
             return !d.settings().main().look.modules.shows(ModuleKind::devices);
         },
         "devicesEnabled", P(false), true, std::nullopt, true},
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
    view.editLook([](StripLook& l) {
        l.modules.chartLength = 101;
        l.modules.gap = 12;
        l.modules.setShown(ModuleKind::memory, false);
        l.modules.styles.memoryMode = DisplayMode::automatic;
        l.modules.order = completeOrder({ModuleKind::devices});
        l.modules.colors.setColor(PaletteColor::red, ColorSlot::gpu);
    });
    view.editLook(
        [](StripLook& l) { l.modules.colors.setColor(PaletteColor::orange, ColorSlot::theme); });
    view.editLook([](StripLook& l) { l.modules.colors.setColor(std::nullopt, ColorSlot::theme); });
    const Preferences read = Preferences::read(reloaded());
    EXPECT_EQ(read.look, delegate->settings().main().look);
    EXPECT_FALSE(read.look.modules.colors.values.contains("theme"));
}

TEST_F(AppDelegateSettingsTest, AModuleShownFloatingKeepsItsHistoryAndIsStillSampled) {
    launch();
    advance(1);
    delegate->settings().change([](Preferences& p) { p.floatingMode = FloatingMode::copy; });
    delegate->settings().changeFloating([](FloatingPreferences&) {});
    details()->editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::memory, false); });
    EXPECT_FALSE(delegate->settings().main().look.modules.shows(ModuleKind::memory));
    EXPECT_FALSE(delegate->sampling().history.empty());
    EXPECT_TRUE(isModuleActive(ModuleKind::memory, delegate->settings().main(),
                               delegate->settings().floating()));

    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.modules.hidden = {ModuleKind::network}; });
    details()->editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::network, false); });
    EXPECT_TRUE(delegate->sampling().networkHistory.empty());
}

TEST_F(AppDelegateSettingsTest, SwitchingOnEmptiesTheHistoryExpandsTheSectionAndSamples) {
    launch();
    advance(1);
    delegate->settings().change([](Preferences& p) { p.look.collapsed = {ModuleKind::compute}; });
    std::optional<std::set<ModuleKind>> reported;
    auto choose = details()->lookAction;
    details()->lookAction = [&](const LookEdit& edit) {
        StripLook look;
        look.collapsed = {ModuleKind::devices};
        edit(look);
        if (look.collapsed != std::set{ModuleKind::devices})
            reported = look.collapsed;
        choose(edit);
    };
    delegate->settings().change(
        [](Preferences& p) { p.look.modules.setShown(ModuleKind::compute, false); });
    details()->editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::compute, true); });
    EXPECT_TRUE(delegate->settings().main().look.modules.shows(ModuleKind::compute));
    EXPECT_TRUE(delegate->sampling().computeHistory.empty());
    EXPECT_TRUE(delegate->sampler().sampleInFlight());
    ASSERT_TRUE(reported);
    EXPECT_TRUE(reported->empty());

    details()->editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::fan, false); });
    pump();
    details()->editLook([=](StripLook& l) { l.modules.setShown(ModuleKind::fan, true); });
    EXPECT_TRUE(delegate->sampler().sampleInFlight()) << "the fan switched on samples";
}

TEST_F(AppDelegateSettingsTest, ChoicesAreWrittenEvenWhenTheControllerIsGone) {
    launch();
    auto view = details();
    delegate->applicationWillTerminate();
    delegate.reset();
    view->editLook([=](StripLook& l) { l.collapsed = {ModuleKind::network, ModuleKind::devices}; });
    EXPECT_TRUE(*reloaded().objectForKey(PreferenceKey::collapsedSections) ==
                foundation::PropertyValue(foundation::PropertyArray{"devices", "network"}));
    // Every other choice is kept as well.
    view->editLook([=](StripLook& l) { l.modules.chartLength = clampedChartLength(20); });
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
    EXPECT_EQ(delegate->settings().main().look.modules.order.front(), ModuleKind::memory);
    EXPECT_TRUE(delegate->settings().main().look.modules.shows(ModuleKind::memory));

    view.prioritize(ModuleKind::network);
    view.setSorting(true);
    view.sortingAction();
    EXPECT_TRUE(strip.isSorting());
    EXPECT_FALSE(strip.activeModule());
    strip.statusOrderAction({ModuleKind::devices});
    strip.statusHideAction(ModuleKind::memory);
    EXPECT_EQ(delegate->settings().main().look.modules.order.front(), ModuleKind::devices);
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
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::enabled);

    view.loginAction(false);
    EXPECT_FALSE(std::filesystem::exists(entry));
    EXPECT_FALSE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::notRegistered);

    view.loginAction(false);
    EXPECT_FALSE(view.state().loginFailed) << "already off: no call";

    view.loginAction(true);
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_FALSE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::enabled);

    // The autostart folder cannot be made: registering fails.
    std::filesystem::remove_all(config.path() / "autostart");
    std::ofstream(config.path() / "autostart") << "not a folder";
    view.loginAction(true);
    EXPECT_TRUE(view.state().loginFailed);
    EXPECT_EQ(view.state().loginStatus, LoginItemStatus::notRegistered);
    std::filesystem::remove(config.path() / "autostart");

    // After a restart, each menu's first opening marks the entry as it is, and one click on the
    // row turns it over.
    struct Case {
        const char* name;
        bool entry;
        bool fromGear;
    };
    const Case cases[] = {{"the strip's menu, entry there", true, false},
                          {"the strip's menu, no entry", false, false},
                          {"the gear's menu, entry there", true, true},
                          {"the gear's menu, no entry", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.statusBar().removeStatusItem(delegate->statusStrip().item());
        delegate->applicationWillTerminate();
        delegate.reset();
        if (c.entry)
            ASSERT_TRUE(LoginItem(entry, "/usr/bin/true").registerItem());
        else
            std::filesystem::remove(entry);
        launch();
        advance(0.3);
        std::optional<bool> marked;
        loop.queue().asyncAfter(0.2, [&] {
            for (const auto& window : app.windows())
                if (window->level() == ui::WindowLevel::popUpMenu && window->contentView())
                    for (const auto& row : window->contentView()->subviews())
                        if (auto option = std::dynamic_pointer_cast<PersistentMenuOption>(row);
                            option &&
                            option->title() == text(Copy::launchAtLogin, AppLanguage::english)) {
                            marked = option->menuItem()->state() == ui::ControlState::on;
                            server.click(window->convertPointToScreen(
                                {option->frame().midX(), option->frame().midY()}));
                        }
            server.key(ui::KeyCode::escape, "\x1b");
        });
        if (c.fromGear) {
            delegate->details().show(std::nullopt);
            const auto& gear = DetailViewProbe(*details()).settingsButton();
            server.click(gear.window()->convertPointToScreen(
                gear.convertPointToView({gear.bounds().midX(), gear.bounds().midY()}, nullptr)));
        } else {
            server.rightClick(moduleCenter(ModuleKind::memory));
        }
        loop.runUntilIdle();
        EXPECT_EQ(marked, c.entry);
        EXPECT_EQ(std::filesystem::exists(entry), !c.entry);
    }
}

} // namespace
} // namespace pulsedeck
