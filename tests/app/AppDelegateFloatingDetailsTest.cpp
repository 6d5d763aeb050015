#include "app/ControllerHarness.h"
#include "detail/ModuleSectionView.h"
#include "detail/PersistentMenuOption.h"
#include "floating/FloatingOpacityRow.h"
#include "floating/FloatingSurface.h"
#include "support/DetailViewProbe.h"
#include "support/OtherStyles.h"
#include "updates/SupportFeedback.h"

#include <any>

namespace pulsedeck {
namespace {

class AppDelegateFloatingDetailsTest : public testing::ControllerHarness {
protected:
    void showBar() {
        delegate->floatingMode().set(FloatingMode::copy, std::nullopt);
        for (int tick = 0; tick < 4; ++tick)
            advance(1.0);
        ASSERT_TRUE(floatingBar().panel());
    }

    FloatingSurface& surface() const {
        return dynamic_cast<FloatingSurface&>(*floatingBar().panel()->contentView());
    }

    gfx::Point onBar(ModuleKind kind) const {
        const gfx::Rect panel = floatingBar().panel()->frame();
        const gfx::Rect rect = floatingBar().strip()->rect(kind);
        return {panel.x() + rect.midX(), panel.y() + rect.midY()};
    }

    void click(ModuleKind kind) {
        server.click(onBar(kind));
        pump();
    }

    void hover(ModuleKind kind) {
        surface().reportHover(kind, onBar(kind));
        pump();
    }

    std::optional<ModuleKind> shownDetails() const {
        if (!floatingBar().popover()->isShown())
            return std::nullopt;
        return floatingBar().details()->priority();
    }

    const FloatingPreferences& record() const { return *delegate->settings().floating(); }
};

TEST_F(AppDelegateFloatingDetailsTest,
       AClickOpensTheModuleBesideTheBarTheSameClosesAnotherSwitches) {
    launch();
    showBar();
    // Away from the menu bar's details, which hang where a new bar first appears.
    floatingBar().panel()->setFrameOrigin({200, 600});
    delegate->details().show(std::nullopt);
    ASSERT_TRUE(popover()->isShown());

    click(ModuleKind::network);
    EXPECT_EQ(shownDetails(), ModuleKind::network);
    EXPECT_FALSE(popover()->isShown()) << "the menu bar's details make way";
    EXPECT_EQ(floatingBar().strip()->activeModule(), ModuleKind::network);
    const gfx::Rect bar = floatingBar().panel()->frame();
    const gfx::Rect shown = floatingBar().popover()->window()->frame();
    EXPECT_EQ(shown.maxY(), bar.minY()) << "hangs from the bar's lower edge";
    EXPECT_NEAR(shown.midX(), onBar(ModuleKind::network).x, 1);
    EXPECT_EQ(shown.width(), floatingBar().details()->contentWidth());
    EXPECT_TRUE(floatingBar().popover()->window()->isKeyWindow());

    click(ModuleKind::memory);
    EXPECT_EQ(shownDetails(), ModuleKind::memory);
    EXPECT_EQ(floatingBar().strip()->activeModule(), ModuleKind::memory);

    click(ModuleKind::memory);
    EXPECT_FALSE(floatingBar().popover()->isShown());
    EXPECT_EQ(floatingBar().strip()->activeModule(), std::nullopt);

    // Near the bottom of the screen they open above the bar, from just over its top edge.
    floatingBar().panel()->setFrameOrigin({300, 40});
    click(ModuleKind::compute);
    EXPECT_EQ(floatingBar().popover()->window()->frame().minY(),
              floatingBar().panel()->frame().maxY() + 1);
}

TEST_F(AppDelegateFloatingDetailsTest, HoverMovesOnlyOpenDetailsAndSortingTakesNoClicks) {
    launch();
    showBar();
    hover(ModuleKind::network);
    EXPECT_EQ(shownDetails(), std::nullopt) << "hovering never opens the details";

    click(ModuleKind::memory);
    hover(ModuleKind::network);
    EXPECT_EQ(shownDetails(), ModuleKind::network);
    hover(ModuleKind::network);
    EXPECT_EQ(shownDetails(), ModuleKind::network) << "hovering never closes them";

    floatingBar().sort();
    EXPECT_FALSE(floatingBar().popover()->isShown());
    EXPECT_TRUE(floatingBar().strip()->isSorting());
    EXPECT_TRUE(floatingBar().details()->isSorting());
    EXPECT_EQ(floatingBar().strip()->activeModule(), std::nullopt);
    floatingBar().modulePressed(ModuleKind::memory, false, onBar(ModuleKind::memory),
                                floatingBar().panel()->frame());
    EXPECT_EQ(shownDetails(), std::nullopt) << "a sorting bar opens nothing";

    floatingBar().sort();
    EXPECT_FALSE(floatingBar().strip()->isSorting());
    EXPECT_FALSE(floatingBar().details()->isSorting());
    click(ModuleKind::memory);
    EXPECT_EQ(shownDetails(), ModuleKind::memory);
}

TEST_F(AppDelegateFloatingDetailsTest, TheDetailsChoicesReachTheBarsOwnSettings) {
    launch();
    showBar();
    DetailView& v = *floatingBar().details();
    using K = ModuleKind;
    using Change = std::function<void(FloatingPreferences&)>;
    std::vector<std::pair<std::function<void()>, Change>> cases = {
        {[&] {
             v.editLook([](StripLook& l) {
                 l.modules.order = completeOrder({K::devices});
                 l.modules.styles = testsupport::otherStyles;
                 l.modules.chartLength = 120;
                 l.opacity = 0.2;
                 l.appearance = AppearanceMode::light;
                 l.hideInFullscreen = true;
                 l.collapsed = {K::fan};
                 l.presentation = DetailPresentation::overview;
                 l.modules.colors.setColor(PaletteColor::pink, ColorSlot::cpu);
             });
         },
         [](auto& r) {
             r.look.modules.order = {K::devices, K::memory,      K::fan,
                                     K::network, K::temperature, K::compute};
             r.look.modules.styles = testsupport::otherStyles;
             r.look.modules.chartLength = 120;
             r.look.opacity = 0.2;
             r.look.appearance = AppearanceMode::light;
             r.look.hideInFullscreen = true;
             r.look.collapsed = {K::fan};
             r.look.presentation = DetailPresentation::overview;
             r.look.modules.colors.setColor(PaletteColor::pink, ColorSlot::cpu);
         }},
        // The theme is the menu bar's: the bar's record stays as it was.
        {[&] {
             v.editLook([](StripLook& l) {
                 l.modules.colors.setColor(PaletteColor::purple, ColorSlot::theme);
             });
         },
         [](auto&) {}},
    };
    // Every module's switch off, then one back on.
    for (ModuleKind kind : allModuleKinds)
        cases.emplace_back(
            [&v, kind] { v.editLook([=](StripLook& l) { l.modules.setShown(kind, false); }); },
            [kind](auto& r) { r.look.modules.hidden.insert(kind); });
    cases.emplace_back(
        [&] { v.editLook([=](StripLook& l) { l.modules.setShown(K::memory, true); }); },
        [](auto& r) { r.look.modules.hidden.erase(K::memory); });
    for (std::size_t i = 0; i < cases.size(); ++i) {
        FloatingPreferences expected = record();
        cases[i].second(expected);
        cases[i].first();
        EXPECT_EQ(record(), expected) << "choice " << i;
    }
    EXPECT_EQ(delegate->settings().main().look.modules.colors.explicitColor(ColorSlot::theme),
              PaletteColor::purple);
    EXPECT_EQ(v.state().look.modules.colors.explicitColor(ColorSlot::theme), PaletteColor::purple)
        << "the bar's details show the menu bar's theme";
    // The rest is the bar's own, where the menu bar's differs.
    EXPECT_EQ(v.state().look.opacity, record().look.opacity);
    EXPECT_EQ(v.state().look.modules.chartLength, record().look.modules.chartLength);
    EXPECT_EQ(v.state().look.appearance, record().look.appearance);
    EXPECT_TRUE(v.state().look.hideInFullscreen);

    v.setSorting(true);
    v.sortingAction();
    EXPECT_TRUE(floatingBar().strip()->isSorting());

    // The context menu's row keeps to the same bounds as the details' slider.
    auto menu = floatingBar().makeMenu();
    dynamic_cast<FloatingOpacityRow&>(*menu->itemAt(0)->view()).changed(0.1);
    EXPECT_EQ(record().look.opacity, 0.2);
    dynamic_cast<FloatingOpacityRow&>(*menu->itemAt(0)->view()).changed(0.7);
    EXPECT_EQ(record().look.opacity, 0.7);
}

// What the floating details show of one module: its figures and history, or nothing.
struct ModuleReadings {
    ModuleKind kind;
    std::function<bool(const DetailView&)> hasFigures;
    std::function<bool(const DetailView&)> hasHistory;
};

TEST_F(AppDelegateFloatingDetailsTest, AModuleTheBarHidesShowsNoFiguresAndNoHistory) {
    launch();
    showBar();
    click(ModuleKind::network);
    const std::vector<ModuleReadings> modules = {
        {ModuleKind::memory,
         [](const DetailView& v) { return v.state().readings.memory.used != "—"; },
         [](const DetailView& v) { return !v.state().readings.memoryHistory.empty(); }},
        {ModuleKind::fan, [](const DetailView& v) { return !v.state().readings.fan.fans.empty(); },
         [](const DetailView& v) { return !v.state().readings.fanHistory.empty(); }},
        {ModuleKind::network,
         [](const DetailView& v) { return v.state().readings.network.download.has_value(); },
         [](const DetailView& v) { return !v.state().readings.networkHistory.empty(); }},
        {ModuleKind::temperature,
         [](const DetailView& v) { return v.state().readings.temperature.celsius.has_value(); },
         [](const DetailView& v) { return !v.state().readings.temperatureHistory.empty(); }},
        {ModuleKind::compute,
         [](const DetailView& v) { return v.state().readings.compute.cpu.has_value(); },
         [](const DetailView& v) { return !v.state().readings.computeHistory.empty(); }},
        // The devices keep no history.
        {ModuleKind::devices,
         [](const DetailView& v) { return !v.state().readings.devices.empty(); }, nullptr},
    };
    // Every other module hidden, then the other half: each module is seen both ways.
    for (bool hideEven : {true, false}) {
        for (std::size_t i = 0; i < modules.size(); ++i) {
            const bool hide = (i % 2 == 0) == hideEven;
            if (record().look.modules.hidden.contains(modules[i].kind) != hide)
                floatingBar().details()->editLook(
                    [=](StripLook& l) { l.modules.setShown(modules[i].kind, !hide); });
        }
        advance(1.0);
        const DetailView& view = *floatingBar().details();
        for (const auto& module : modules) {
            const bool shown = !record().look.modules.hidden.contains(module.kind);
            SCOPED_TRACE(std::string(toString(module.kind)) + (shown ? " shown" : " hidden"));
            EXPECT_EQ(view.state().module(module.kind).on(), shown);
            EXPECT_EQ(module.hasFigures(view), shown);
            if (module.hasHistory) {
                EXPECT_EQ(module.hasHistory(view), shown);
            }
        }
        if (record().look.modules.hidden.contains(ModuleKind::compute)) {
            EXPECT_EQ(view.state().readings.compute, computePlaceholder())
                << "the core count stays";
        }
    }
}

TEST_F(AppDelegateFloatingDetailsTest, WithoutFansTheFanIsNeitherListedNorOnInTheDetails) {
    defaults->setBool(true, PreferenceKey::hasLaunched);
    defaults->setBool(true, PreferenceKey::menuBarTipShown);
    auto fanless = environment();
    fanless.fanless = true;
    delegate = AppDelegate::create(fanless);
    app.setDelegate(delegate);
    app.finishLaunching();
    pump();
    showBar();
    ASSERT_FALSE(record().look.modules.hidden.contains(ModuleKind::fan));

    auto menu = floatingBar().makeMenu();
    std::vector<std::string> listed;
    for (const auto& item : menu->itemAt(6)->submenu()->items())
        listed.push_back(std::any_cast<std::string>(item->representedObject()));
    EXPECT_EQ(listed,
              (std::vector<std::string>{"memory", "network", "temperature", "compute", "devices"}));

    click(ModuleKind::memory);
    EXPECT_FALSE(floatingBar().details()->state().module(ModuleKind::fan).on());
    EXPECT_TRUE(DetailViewProbe(*floatingBar().details()).card(ModuleKind::fan).isHidden());
}

// One row of the context menu as it is shown.
struct Row {
    std::string title;
    bool separator = false;
    bool enabled = true;
    ui::ControlState state = ui::ControlState::off;
    bool option = false;
    bool submenu = false;
    bool image = false;
};

TEST_F(AppDelegateFloatingDetailsTest, TheContextMenuListsItsItemsInOrderWithTheirStates) {
    launch();
    showBar();
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.appearance = AppearanceMode::dark; });
    delegate->settings().changeFloating([](FloatingPreferences& p) {
        p.look.modules.order = completeOrder({ModuleKind::compute, ModuleKind::memory});
    });
    delegate->settings().changeFloating(
        [](FloatingPreferences& p) { p.look.modules.hidden.insert(ModuleKind::network); });
    const auto t = [](Copy key) { return text(key, AppLanguage::english); };

    auto menu = floatingBar().makeMenu();
    EXPECT_EQ(menu->title(), t(Copy::floating));
    EXPECT_FALSE(menu->autoenablesItems());
    const std::vector<Row> expected = {
        {t(Copy::opacity)},
        {"", true},
        {t(Copy::floatingAppearance), false, false},
        {t(Copy::appearanceTheme), false, true, ui::ControlState::off, false, true},
        {t(Copy::alwaysOnTop), false, true, ui::ControlState::on, true},
        {"", true},
        {t(Copy::floatingModules), false, true, ui::ControlState::off, false, true},
        {"", true},
        {t(Copy::feedback)},
        {"", true},
        {t(Copy::closeFloating), false, true, ui::ControlState::off, false, false, true},
    };
    ASSERT_EQ(menu->numberOfItems(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& item = *menu->itemAt(i);
        const Row& row = expected[i];
        SCOPED_TRACE("item " + std::to_string(i + 1));
        EXPECT_EQ(item.isSeparatorItem(), row.separator);
        if (row.separator)
            continue;
        EXPECT_EQ(item.title(), row.title);
        EXPECT_EQ(item.isEnabled(), row.enabled);
        EXPECT_EQ(item.state(), row.state);
        EXPECT_EQ(dynamic_cast<PersistentMenuOption*>(item.view().get()) != nullptr, row.option);
        EXPECT_EQ(item.hasSubmenu(), row.submenu);
        EXPECT_EQ(item.image().has_value(), row.image);
    }
    auto* opacity = dynamic_cast<FloatingOpacityRow*>(menu->itemAt(0)->view().get());
    ASSERT_TRUE(opacity);
    EXPECT_EQ(opacity->slider()->doubleValue(), record().look.opacity);

    const auto& appearance = menu->itemAt(3)->submenu();
    EXPECT_FALSE(appearance->autoenablesItems());
    std::vector<std::pair<std::string, ui::ControlState>> modes;
    for (const auto& item : appearance->items()) {
        modes.emplace_back(std::any_cast<std::string>(item->representedObject()), item->state());
        auto* option = dynamic_cast<PersistentMenuOption*>(item->view().get());
        ASSERT_TRUE(option);
        EXPECT_TRUE(option->returnsToParent());
    }
    EXPECT_EQ(modes, (std::vector<std::pair<std::string, ui::ControlState>>{
                         {"system", ui::ControlState::off},
                         {"light", ui::ControlState::off},
                         {"dark", ui::ControlState::on}}));

    std::vector<std::pair<std::string, ui::ControlState>> listed;
    for (const auto& item : menu->itemAt(6)->submenu()->items()) {
        listed.emplace_back(std::any_cast<std::string>(item->representedObject()), item->state());
        EXPECT_FALSE(dynamic_cast<PersistentMenuOption&>(*item->view()).returnsToParent());
    }
    const auto on = ui::ControlState::on;
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, ui::ControlState>>{
                          {"compute", on},
                          {"memory", on},
                          {"fan", on},
                          {"network", ui::ControlState::off},
                          {"temperature", on},
                          {"devices", on}}));
}

TEST_F(AppDelegateFloatingDetailsTest, TheContextMenusChoicesChangeTheBarAndUnknownOnesNothing) {
    launch();
    showBar();
    auto menu = floatingBar().makeMenu();
    const auto appearanceItem = menu->itemAt(3)->submenu()->itemAt(0);
    const auto moduleItem = menu->itemAt(6)->submenu()->itemAt(0);
    struct Case {
        std::shared_ptr<ui::MenuItem> item;
        std::any object;
        std::function<void(FloatingPreferences&)> change;
    };
    const std::vector<Case> cases = {
        {appearanceItem, std::string("light"),
         [](FloatingPreferences& r) { r.look.appearance = AppearanceMode::light; }},
        {appearanceItem, std::string("dark"),
         [](FloatingPreferences& r) { r.look.appearance = AppearanceMode::dark; }},
        {appearanceItem, std::string("system"),
         [](FloatingPreferences& r) { r.look.appearance = AppearanceMode::system; }},
        {appearanceItem, std::string("Dark"), [](FloatingPreferences&) {}},
        {appearanceItem, std::string("memory"), [](FloatingPreferences&) {}},
        {appearanceItem, 2, [](FloatingPreferences&) {}},
        {moduleItem, std::string("network"),
         [](FloatingPreferences& r) { r.look.modules.hidden.insert(ModuleKind::network); }},
        {moduleItem, std::string("network"),
         [](FloatingPreferences& r) { r.look.modules.hidden.erase(ModuleKind::network); }},
        {moduleItem, std::string("devices"),
         [](FloatingPreferences& r) { r.look.modules.hidden.insert(ModuleKind::devices); }},
        {moduleItem, std::string("cpu"), [](FloatingPreferences&) {}},
        {moduleItem, std::string("dark"), [](FloatingPreferences&) {}},
        {moduleItem, std::any(), [](FloatingPreferences&) {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        FloatingPreferences expected = record();
        cases[i].change(expected);
        cases[i].item->setRepresentedObject(cases[i].object);
        cases[i].item->action()(*cases[i].item);
        EXPECT_EQ(record(), expected);
    }

    // The checks follow the record while the menu stays open.
    auto fresh = floatingBar().makeMenu();
    auto* devices = dynamic_cast<PersistentMenuOption*>(
        fresh->itemAt(6)->submenu()->items().back()->view().get());
    ASSERT_TRUE(devices);
    EXPECT_FALSE(devices->checked()());
    devices->activateOption();
    EXPECT_TRUE(devices->checked()());
    EXPECT_FALSE(record().look.modules.hidden.contains(ModuleKind::devices));

    const auto onTop = fresh->itemAt(4);
    for (bool expected : {false, true, false}) {
        onTop->action()(*onTop);
        EXPECT_EQ(delegate->settings().main().floatingOnTop, expected);
        EXPECT_EQ(floatingBar().panel()->level(),
                  expected ? ui::WindowLevel::floating : ui::WindowLevel::normal);
        EXPECT_EQ(reloaded().boolForKey(PreferenceKey::floatingOnTop), expected);
        EXPECT_EQ(dynamic_cast<PersistentMenuOption&>(*onTop->view()).checked()(), expected);
    }

    const auto feedback = fresh->itemAt(8);
    feedback->action()(*feedback);
    ASSERT_TRUE(SupportFeedback::shared().panel());
    EXPECT_TRUE(SupportFeedback::shared().panel()->isVisible());

    const auto close = fresh->itemAt(10);
    close->action()(*close);
    EXPECT_EQ(delegate->settings().main().floatingMode, FloatingMode::none);
    EXPECT_FALSE(floatingBar().panel());
    floatingBar().toggleDetails(ModuleKind::memory, {300, 300}, {200, 280, 400, 29});
    EXPECT_FALSE(floatingBar().popover()->isShown()) << "no bar, no details";
}

TEST_F(AppDelegateFloatingDetailsTest, ARightClickClosesTheDetailsAndTheMenuRebuildsItself) {
    launch();
    showBar();
    click(ModuleKind::memory);
    ASSERT_TRUE(floatingBar().popover()->isShown());
    loop.queue().asyncAfter(0.1, [&] { server.key(ui::KeyCode::escape, "\x1b"); });
    server.rightClick(onBar(ModuleKind::network));
    EXPECT_FALSE(floatingBar().popover()->isShown());

    auto menu = floatingBar().makeMenu();
    ASSERT_TRUE(menu->rebuild);
    EXPECT_EQ(menu->rebuild()->numberOfItems(), 11u);
    std::weak_ptr<AppDelegate> gone = delegate;
    delegate.reset();
    ASSERT_TRUE(gone.expired());
    EXPECT_EQ(menu->rebuild()->numberOfItems(), 0u);
    auto* onTop = dynamic_cast<PersistentMenuOption*>(menu->itemAt(4)->view().get());
    EXPECT_TRUE(onTop->checked()()) << "always on top counts as on without the controller";
}

} // namespace
} // namespace pulsedeck
