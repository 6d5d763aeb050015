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

// The bar's look as the store holds it now: an open menu outlives the state it was built from.
StripLook currentLook(const Store& store) {
    return store->floating() ? store->floating()->look : StripLook{};
}

ui::ControlState stateFor(bool on) {
    return on ? ui::ControlState::on : ui::ControlState::off;
}

std::shared_ptr<ui::Menu> plainSubmenu() {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    return menu;
}

std::shared_ptr<ui::Menu> appearanceMenu(const Store& store, const StripLook& look,
                                         AppLanguage language) {
    auto menu = plainSubmenu();
    const std::pair<Copy, AppearanceMode> modes[] = {{Copy::systemLanguage, AppearanceMode::system},
                                                     {Copy::lightAppearance, AppearanceMode::light},
                                                     {Copy::darkAppearance, AppearanceMode::dark}};
    for (const auto& [key, mode] : modes) {
        auto item = choiceItem(text(key, language), std::string(toString(mode)),
                               [edit = floatingLookEditor(store)](const std::string& name) {
                                   if (auto chosen = parseAppearanceMode(name))
                                       edit([chosen](StripLook& l) { l.appearance = *chosen; });
                               });
        item->setState(stateFor(look.appearance == mode));
        PersistentMenuOption::attach(item, std::nullopt, true, [store, mode = mode] {
            return currentLook(store).appearance == mode;
        });
        menu->addItem(item);
    }
    return menu;
}

std::shared_ptr<ui::Menu> modulesMenu(const Store& store, const StripLook& look, bool fanAvailable,
                                      AppLanguage language) {
    auto menu = plainSubmenu();
    for (ModuleKind kind : look.modules.order) {
        if (kind == ModuleKind::fan && !fanAvailable)
            continue;
        auto item = choiceItem(text(moduleTitleKey(kind), language), std::string(toString(kind)),
                               [edit = floatingLookEditor(store)](const std::string& name) {
                                   if (auto chosen = parseModuleKind(name))
                                       edit([chosen](StripLook& l) {
                                           l.modules.setShown(*chosen, !l.modules.shows(*chosen));
                                       });
                               });
        item->setState(stateFor(look.modules.shows(kind)));
        PersistentMenuOption::attach(item, std::nullopt, false, [store, kind] {
            return currentLook(store).modules.shows(kind);
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
    const StripLook look = currentLook(store);
    const AppLanguage language = store->language();

    auto menu = std::make_shared<LiveSettingsMenu>(text(Copy::floating, language));
    menu->setAutoenablesItems(false);
    menu->setHighlight(accentHighlight());

    auto opacity = std::make_shared<ui::MenuItem>(text(Copy::opacity, language));
    auto row = std::make_shared<FloatingOpacityRow>(language, look.opacity);
    row->changed = [edit = floatingLookEditor(store)](double value) {
        edit([value](StripLook& l) { l.opacity = clampedOpacity(value); });
    };
    opacity->setView(row);
    menu->addItem(opacity);
    menu->addItem(ui::MenuItem::separator());

    auto heading = std::make_shared<ui::MenuItem>(text(Copy::floatingAppearance, language));
    heading->setEnabled(false);
    menu->addItem(heading);
    menu->addItem(
        holder(text(Copy::appearanceTheme, language), appearanceMenu(store, look, language)));
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
                         modulesMenu(store, look, hooks.fanAvailable(), language)));
    menu->addItem(ui::MenuItem::separator());
    menu->addItem(
        std::make_shared<ui::MenuItem>(text(Copy::feedback, language), [store](ui::MenuItem&) {
            SupportFeedback::shared().show(store->language());
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
