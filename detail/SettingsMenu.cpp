#include "detail/SettingsMenu.h"

#include "detail/DetailView.h"
#include "detail/PersistentMenuOption.h"
#include "model/FloatingMode.h"
#include "model/SafeWebURL.h"
#include "model/UpdateFrequency.h"
#include "platform/toolkit/Application.h"

#include <any>
#include <string>

namespace pulsedeck {

namespace {

using WeakView = std::weak_ptr<DetailView>;

// An item whose action reaches the view while it exists.
std::shared_ptr<ui::MenuItem> viewItem(const WeakView& weak, std::string title,
                                       void (DetailView::*action)()) {
    return std::make_shared<ui::MenuItem>(std::move(title), [weak, action](ui::MenuItem&) {
        if (auto view = weak.lock())
            (view.get()->*action)();
    });
}

// An item carrying its choice as its represented object.
std::shared_ptr<ui::MenuItem> choiceItem(const WeakView& weak, std::string title,
                                         std::string choice,
                                         void (DetailView::*action)(const std::any&)) {
    auto item =
        std::make_shared<ui::MenuItem>(std::move(title), [weak, action](ui::MenuItem& sender) {
            if (auto view = weak.lock())
                (view.get()->*action)(sender.representedObject());
        });
    item->setRepresentedObject(std::move(choice));
    return item;
}

std::function<bool()> whileViewLives(const WeakView& weak,
                                     std::function<bool(const DetailView&)> test) {
    return [weak, test = std::move(test)] {
        auto view = weak.lock();
        return view && test(*view);
    };
}

std::shared_ptr<ui::Menu> plainSubmenu() {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    return menu;
}

void addOption(ui::Menu& menu, const std::shared_ptr<ui::MenuItem>& item, bool returnsToParent,
               std::function<bool()> checked) {
    PersistentMenuOption::attach(item, std::nullopt, returnsToParent, std::move(checked));
    menu.addItem(item);
}

std::shared_ptr<ui::MenuItem> holder(std::string title, std::shared_ptr<ui::Menu> submenu) {
    auto item = std::make_shared<ui::MenuItem>(std::move(title));
    item->setSubmenu(std::move(submenu));
    return item;
}

std::shared_ptr<ui::Menu> languageMenu(const WeakView& weak, AppLanguage language) {
    auto menu = plainSubmenu();
    auto add = [&](std::string title, std::string code) {
        addOption(*menu, choiceItem(weak, std::move(title), code, &DetailView::menuLanguage), true,
                  whileViewLives(weak, [code](const DetailView& view) {
                      return view.state().languageSelection == code;
                  }));
    };
    add(text(Copy::systemLanguage, language), "system");
    for (AppLanguage each : allAppLanguages())
        add(std::string(nativeName(each)), std::string(toString(each)));
    return menu;
}

std::shared_ptr<ui::Menu> appearanceMenu(const WeakView& weak, AppLanguage language) {
    auto menu = plainSubmenu();
    const std::pair<Copy, AppearanceMode> modes[] = {{Copy::systemLanguage, AppearanceMode::system},
                                                     {Copy::lightAppearance, AppearanceMode::light},
                                                     {Copy::darkAppearance, AppearanceMode::dark}};
    for (const auto& [key, mode] : modes) {
        addOption(*menu,
                  choiceItem(weak, text(key, language), std::string(toString(mode)),
                             &DetailView::menuAppearance),
                  true, whileViewLives(weak, [mode = mode](const DetailView& view) {
                      return view.state().look.appearance == mode;
                  }));
    }
    return menu;
}

std::shared_ptr<ui::Menu> floatingMenu(const WeakView& weak, const DetailView& view) {
    auto menu = plainSubmenu();
    const AppLanguage language = view.state().language;
    auto add = [&](Copy key, FloatingMode mode) {
        auto item = choiceItem(weak, text(key, language), std::string(toString(mode)),
                               &DetailView::doFloating);
        item->setState(mode != FloatingMode::none && view.state().floatingMode == mode
                           ? ui::ControlState::on
                           : ui::ControlState::off);
        menu->addItem(item);
    };
    add(Copy::floatingCopy, FloatingMode::copy);
    add(Copy::floatingMove, FloatingMode::detached);
    if (view.state().floatingMode != FloatingMode::none) {
        menu->addItem(ui::MenuItem::separator());
        add(Copy::closeFloating, FloatingMode::none);
    }
    return menu;
}

std::shared_ptr<ui::Menu> updatesMenu(const WeakView& weak, AppLanguage language) {
    auto menu = plainSubmenu();
    const std::pair<Copy, UpdateFrequency> frequencies[] = {
        {Copy::everyWeek, UpdateFrequency::weekly},
        {Copy::everyMonth, UpdateFrequency::monthly},
        {Copy::everyThreeMonths, UpdateFrequency::quarterly},
        {Copy::neverUpdates, UpdateFrequency::never}};
    for (const auto& [key, frequency] : frequencies) {
        addOption(*menu,
                  choiceItem(weak, text(key, language), std::string(toString(frequency)),
                             &DetailView::menuUpdateFrequency),
                  false, whileViewLives(weak, [frequency = frequency](const DetailView& view) {
                      return view.state().updateFrequency == frequency;
                  }));
    }
    return menu;
}

} // namespace

std::shared_ptr<LiveSettingsMenu> makeSettingsMenu(const std::shared_ptr<DetailView>& view,
                                                   bool privacyLinkSafe) {
    auto menu = std::make_shared<LiveSettingsMenu>();
    menu->setAutoenablesItems(false);
    menu->setHighlight(accentHighlight());
    const WeakView weak = view;
    menu->rebuild = [weak, privacyLinkSafe]() -> std::shared_ptr<ui::Menu> {
        if (auto live = weak.lock())
            return makeSettingsMenu(live, privacyLinkSafe);
        return std::make_shared<ui::Menu>();
    };
    // The view takes the app's appearance, whatever the desktop's.
    menu->appearance = [weak] {
        if (auto live = weak.lock())
            return live->effectiveAppearance();
        return ui::Application::shared().effectiveAppearance();
    };
    if (!view)
        return menu;
    const AppLanguage language = view->state().language;

    addOption(*menu, viewItem(weak, text(Copy::launchAtLogin, language), &DetailView::menuLogin),
              false, whileViewLives(weak, [](const DetailView& live) {
                  return startsAtLogin(live.state().loginStatus);
              }));
    if (view->state().loginStatus == LoginItemStatus::requiresApproval)
        menu->addItem(
            viewItem(weak, text(Copy::systemSettings, language), &DetailView::doApproval));
    if (view->state().loginFailed) {
        auto error = std::make_shared<ui::MenuItem>(text(Copy::loginError, language));
        error->setEnabled(false);
        menu->addItem(error);
    }
    menu->addItem(holder(text(Copy::language, language), languageMenu(weak, language)));
    menu->addItem(holder(text(Copy::appearanceTheme, language), appearanceMenu(weak, language)));
    menu->addItem(holder(text(Copy::floating, language), floatingMenu(weak, *view)));
    addOption(*menu,
              viewItem(weak, text(Copy::hideInFullscreen, language), &DetailView::menuFullscreen),
              false, whileViewLives(weak, [](const DetailView& live) {
                  return live.state().look.hideInFullscreen;
              }));
    menu->addItem(viewItem(weak, text(Copy::checkUpdates, language), &DetailView::doCheckUpdates));
    menu->addItem(holder(text(Copy::automaticUpdates, language), updatesMenu(weak, language)));
    auto privacy = viewItem(weak, text(Copy::privacyPolicy, language), &DetailView::doPrivacy);
    privacy->setEnabled(privacyLinkSafe);
    menu->addItem(privacy);
    menu->addItem(viewItem(weak, text(Copy::feedback, language), &DetailView::doFeedback));
    menu->addItem(ui::MenuItem::separator());
    auto quit = std::make_shared<ui::MenuItem>(
        text(Copy::quit, language),
        [](ui::MenuItem&) {
            if (auto* application = ui::Application::current())
                application->terminate();
        },
        "q");
    quit->setKeyEquivalentModifierMask(ui::Modifier::command);
    menu->addItem(quit);
    fitMenuWidth(*menu);
    return menu;
}

} // namespace pulsedeck
