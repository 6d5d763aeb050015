#include "app/FloatingBarMenu.h"

#include "detail/ModuleSectionView.h"
#include "detail/PersistentMenuOption.h"
#include "floating/FloatingOpacityRow.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Application.h"
#include "updates/SupportFeedback.h"

#include <any>

namespace pulsedeck {

namespace {

using Store = std::shared_ptr<SettingsStore>;

constexpr double closeSymbolSize = 14;

// An item that carries its choice as a raw name; `choose` gets the name it carries, and an item
// whose name names no choice does nothing.
std::shared_ptr<ui::MenuItem> choiceItem(std::string title, std::string choice,
                                         std::function<void(const std::string&)> choose) {
    auto item = std::make_shared<ui::MenuItem>(
        std::move(title), [choose = std::move(choose)](ui::MenuItem& sender) {
            if (const auto* name = std::any_cast<std::string>(&sender.representedObject()))
                choose(*name);
        });
    item->setRepresentedObject(std::move(choice));
    return item;
}

// The record as the store holds it now: an open menu outlives the state it was built from.
FloatingPreferences currentRecord(const Store& store) {
    return store->floating() ? *store->floating() : FloatingPreferences::standard();
}

ui::ControlState stateFor(bool on) {
    return on ? ui::ControlState::on : ui::ControlState::off;
}

std::shared_ptr<ui::Menu> plainSubmenu() {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    return menu;
}

std::shared_ptr<ui::Menu> appearanceMenu(const Store& store, const FloatingPreferences& record,
                                         AppLanguage language) {
    auto menu = plainSubmenu();
    const std::pair<Copy, AppearanceMode> modes[] = {{Copy::systemLanguage, AppearanceMode::system},
                                                     {Copy::lightAppearance, AppearanceMode::light},
                                                     {Copy::darkAppearance, AppearanceMode::dark}};
    for (const auto& [key, mode] : modes) {
        auto item = choiceItem(text(key, language), std::string(toString(mode)),
                               [store](const std::string& name) {
                                   if (auto chosen = parseAppearanceMode(name))
                                       store->changeFloating([chosen](FloatingPreferences& p) {
                                           p.appearance = *chosen;
                                       });
                               });
        item->setState(stateFor(record.appearance == mode));
        PersistentMenuOption::attach(item, std::nullopt, true, [store, mode = mode] {
            return currentRecord(store).appearance == mode;
        });
        menu->addItem(item);
    }
    return menu;
}

std::shared_ptr<ui::Menu> modulesMenu(const Store& store, const FloatingPreferences& record,
                                      bool fanAvailable, AppLanguage language) {
    auto menu = plainSubmenu();
    for (ModuleKind kind : record.order) {
        if (kind == ModuleKind::fan && !fanAvailable)
            continue;
        auto item = choiceItem(text(moduleTitleKey(kind), language), std::string(toString(kind)),
                               [store](const std::string& name) {
                                   if (auto chosen = parseModuleKind(name))
                                       store->changeFloating([chosen](FloatingPreferences& p) {
                                           if (!p.hidden.erase(*chosen))
                                               p.hidden.insert(*chosen);
                                       });
                               });
        item->setState(stateFor(!record.hidden.contains(kind)));
        PersistentMenuOption::attach(item, std::nullopt, false, [store, kind] {
            return !currentRecord(store).hidden.contains(kind);
        });
        menu->addItem(item);
    }
    return menu;
}

std::shared_ptr<ui::MenuItem> holder(std::string title, std::shared_ptr<ui::Menu> submenu) {
    auto item = std::make_shared<ui::MenuItem>(std::move(title));
    item->setSubmenu(std::move(submenu));
    return item;
}

} // namespace

std::shared_ptr<LiveSettingsMenu> makeFloatingBarMenu(const Store& store,
                                                      const FloatingBarMenuHooks& hooks) {
    const FloatingPreferences record = currentRecord(store);
    const AppLanguage language = hooks.language();

    auto menu = std::make_shared<LiveSettingsMenu>(text(Copy::floating, language));
    menu->setAutoenablesItems(false);
    menu->setHighlight(accentHighlight());

    auto opacity = std::make_shared<ui::MenuItem>(text(Copy::opacity, language));
    auto row = std::make_shared<FloatingOpacityRow>(language, record.opacity);
    row->changed = [store](double value) {
        store->changeFloating([value](FloatingPreferences& p) { p.opacity = value; });
    };
    opacity->setView(row);
    menu->addItem(opacity);
    menu->addItem(ui::MenuItem::separator());

    auto heading = std::make_shared<ui::MenuItem>(text(Copy::floatingAppearance, language));
    heading->setEnabled(false);
    menu->addItem(heading);
    menu->addItem(
        holder(text(Copy::appearanceTheme, language), appearanceMenu(store, record, language)));
    auto onTop =
        std::make_shared<ui::MenuItem>(text(Copy::alwaysOnTop, language), [store](ui::MenuItem&) {
            store->change([](Preferences& p) { p.floatingOnTop = !p.floatingOnTop; });
        });
    onTop->setState(stateFor(store->main().floatingOnTop));
    PersistentMenuOption::attach(onTop, std::nullopt, false,
                                 [store] { return store->main().floatingOnTop; });
    menu->addItem(onTop);
    menu->addItem(ui::MenuItem::separator());

    menu->addItem(holder(text(Copy::floatingModules, language),
                         modulesMenu(store, record, hooks.fanAvailable(), language)));
    menu->addItem(ui::MenuItem::separator());
    menu->addItem(std::make_shared<ui::MenuItem>(text(Copy::feedback, language),
                                                 [language = hooks.language](ui::MenuItem&) {
                                                     SupportFeedback::shared().show(language());
                                                 }));
    menu->addItem(ui::MenuItem::separator());
    auto close =
        std::make_shared<ui::MenuItem>(text(Copy::closeFloating, language),
                                       [closeBar = hooks.closeBar](ui::MenuItem&) { closeBar(); });
    close->setImage(gfx::symbolImage("xmark.circle", {.pointSize = closeSymbolSize}));
    menu->addItem(close);

    fitMenuWidth(*menu);
    // The menu shows over the bar, in the bar's own appearance.
    menu->appearance = hooks.appearance;
    return menu;
}

} // namespace pulsedeck
