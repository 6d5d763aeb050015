#include "detail/SettingsMenu.h"

#include "detail/DetailView.h"
#include "detail/PersistentMenuOption.h"
#include "model/FloatingMode.h"
#include "model/UpdateFrequency.h"
#include "platform/toolkit/MenuTracker.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "support/DetailViewProbe.h"

#include <any>
#include <gtest/gtest.h>

namespace pulsedeck {
namespace {

class SettingsMenuTest : public toolkittest::ToolkitFixture {
protected:
    std::shared_ptr<LiveSettingsMenu> build(bool privacySafe = true) {
        return makeSettingsMenu(view, privacySafe);
    }

    std::vector<std::string> titles(const ui::Menu& menu) const {
        std::vector<std::string> all;
        for (const auto& item : menu.items())
            all.push_back(item->isSeparatorItem() ? "-" : item->title());
        return all;
    }

    std::string t(Copy key) const { return text(key, view->state().language); }

    std::shared_ptr<ui::MenuItem> titled(const ui::Menu& menu, Copy key) const {
        for (const auto& item : menu.items())
            if (item->title() == t(key))
                return item;
        return nullptr;
    }

    std::shared_ptr<DetailView> view = std::make_shared<DetailView>(DetailView::initialFrame);

    DetailViewProbe probe{*view};
};

TEST_F(SettingsMenuTest, LaunchAtLoginWaitingForApprovalAddsTheSettingsLine) {
    probe.change([&](DetailState& s) { s.loginStatus = LoginItemStatus::requiresApproval; });
    auto menu = build();
    EXPECT_EQ(menu->itemAt(0)->title(), t(Copy::launchAtLogin));
    EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::on);
    EXPECT_EQ(menu->itemAt(1)->title(), t(Copy::systemSettings));

    probe.change([&](DetailState& s) { s.loginStatus = LoginItemStatus::enabled; });
    probe.change([&](DetailState& s) { s.loginFailed = true; });
    menu = build();
    EXPECT_EQ(menu->itemAt(0)->state(), ui::ControlState::on);
    EXPECT_EQ(menu->itemAt(1)->title(), t(Copy::loginError));
    EXPECT_FALSE(menu->itemAt(1)->isEnabled());

    std::vector<bool> wanted;
    view->loginAction = [&](bool on) { wanted.push_back(on); };
    menu->itemAt(0)->action()(*menu->itemAt(0));
    probe.change([&](DetailState& s) { s.loginStatus = LoginItemStatus::notRegistered; });
    build()->itemAt(0)->action()(*menu->itemAt(0));
    EXPECT_EQ(wanted, (std::vector<bool>{false, true}));
}

TEST_F(SettingsMenuTest, TheFloatingSubmenuOffersClosingOnlyWhileTheBarIsOut) {
    auto floating = titled(*build(), Copy::floating)->submenu();
    EXPECT_EQ(titles(*floating),
              (std::vector<std::string>{t(Copy::floatingCopy), t(Copy::floatingMove)}));
    probe.change([&](DetailState& s) { s.floatingMode = FloatingMode::detached; });
    floating = titled(*build(), Copy::floating)->submenu();
    ASSERT_EQ(floating->numberOfItems(), 4u);
    EXPECT_TRUE(floating->itemAt(2)->isSeparatorItem());
    EXPECT_EQ(floating->itemAt(1)->state(), ui::ControlState::on);
    std::vector<FloatingMode> modes;
    view->floatingAction = [&](FloatingMode mode) { modes.push_back(mode); };
    floating->itemAt(3)->action()(*floating->itemAt(3));
    floating->itemAt(0)->action()(*floating->itemAt(0));
    EXPECT_EQ(modes, (std::vector<FloatingMode>{FloatingMode::none, FloatingMode::copy}));
    EXPECT_FALSE(floating->itemAt(0)->view()) << "plain items: a choice closes the menu";
}

TEST_F(SettingsMenuTest, OnlyQuitHasAKeyEquivalentAndAnUnsafePrivacyLinkIsDisabled) {
    auto menu = build(false);
    EXPECT_FALSE(titled(*menu, Copy::privacyPolicy)->isEnabled());
    EXPECT_TRUE(titled(*build(true), Copy::privacyPolicy)->isEnabled());
    std::vector<std::string> withKeys;
    std::function<void(const ui::Menu&)> walk = [&](const ui::Menu& each) {
        for (const auto& item : each.items()) {
            if (!item->keyEquivalent().empty())
                withKeys.push_back(item->title());
            if (item->submenu())
                walk(*item->submenu());
        }
    };
    walk(*menu);
    EXPECT_EQ(withKeys, std::vector<std::string>{t(Copy::quit)});
    EXPECT_EQ(menu->items().back()->keyEquivalentModifierMask(), ui::Modifier::command);
    EXPECT_FALSE(menu->autoenablesItems());
}

TEST_F(SettingsMenuTest, LanguageAndAppearanceOptionsReturnAndCarryTheirCodes) {
    probe.change([&](DetailState& s) { s.languageSelection = "de"; });
    auto menu = build();
    auto languages = titled(*menu, Copy::language)->submenu();
    ASSERT_EQ(languages->numberOfItems(), 9u);
    EXPECT_EQ(languages->itemAt(6)->title(), "Deutsch");
    EXPECT_EQ(languages->itemAt(6)->state(), ui::ControlState::on);
    EXPECT_EQ(languages->supermenu(), menu.get());
    std::vector<std::string> codes;
    for (const auto& item : languages->items()) {
        codes.push_back(std::any_cast<std::string>(item->representedObject()));
        auto option = std::dynamic_pointer_cast<PersistentMenuOption>(item->view());
        ASSERT_TRUE(option);
        EXPECT_TRUE(option->returnsToParent());
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"system", "en", "zh-Hans", "zh-Hant", "ja", "ko",
                                               "de", "fr", "es"}));
    auto appearance = titled(*menu, Copy::appearanceTheme)->submenu();
    EXPECT_EQ(titles(*appearance),
              (std::vector<std::string>{t(Copy::systemLanguage), t(Copy::lightAppearance),
                                        t(Copy::darkAppearance)}));
}

TEST_F(SettingsMenuTest, EveryMonthMovesTheCheckInsideTheOpenSubmenu) {
    view->updateFrequencyAction = [&](UpdateFrequency frequency) {
        probe.change([&](DetailState& s) { s.updateFrequency = frequency; });
    };
    auto menu = build();
    auto holder = titled(*menu, Copy::automaticUpdates);
    auto updates = holder->submenu();
    const gfx::Point origin{300, 700};
    loop.queue().asyncAfter(0.1, [&] {
        const gfx::Rect top = *menu->frameOnScreen();
        const auto rects = ui::MenuLayout::itemRects(*menu, top.width());
        const std::size_t index = std::size_t(
            std::find(menu->items().begin(), menu->items().end(), holder) - menu->items().begin());
        server.movePointer({top.midX(), top.minY() + rects[index].midY()});
        ASSERT_TRUE(updates->isTracking());
        const gfx::Rect sub = *updates->frameOnScreen();
        const gfx::Point month{sub.midX(), sub.maxY() - ui::MenuLayout::verticalPadding -
                                               PersistentMenuOption::height * 1.5};
        server.movePointer(month);
        server.click(month);
        EXPECT_TRUE(updates->isTracking());
        EXPECT_EQ(updates->itemAt(1)->state(), ui::ControlState::on);
        EXPECT_EQ(updates->itemAt(0)->state(), ui::ControlState::off);
        server.key(ui::KeyCode::escape, "\x1b");
    });
    server.movePointer(origin);
    ui::Menu::popUpAtScreenPoint(menu, origin, gfx::Appearance::light);
    EXPECT_EQ(view->state().updateFrequency, UpdateFrequency::monthly);
}

TEST_F(SettingsMenuTest, WithTheViewGoneTheMenuRebuildsEmptyAndOptionsReadUnchecked) {
    probe.change([&](DetailState& s) { s.look.hideInFullscreen = true; });
    auto menu = build();
    auto hide = titled(*menu, Copy::hideInFullscreen);
    auto option = std::dynamic_pointer_cast<PersistentMenuOption>(hide->view());
    ASSERT_TRUE(option);
    EXPECT_TRUE(option->checked()());
    EXPECT_FALSE(menu->rebuild()->items().empty());
    view.reset();
    EXPECT_FALSE(option->checked()());
    EXPECT_TRUE(menu->rebuild()->items().empty());
    hide->action()(*hide);
}

} // namespace
} // namespace pulsedeck
