#include "app/AppDelegate.h"
#include "detail/ModuleSectionView.h"
#include "detail/PersistentMenuOption.h"
#include "floating/FloatingOpacityRow.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/SymbolImage.h"
#include "updates/SupportFeedback.h"

namespace pulsedeck {

namespace {

using WeakDelegate = std::weak_ptr<AppDelegate>;

constexpr double closeSymbolSize = 14;

std::shared_ptr<ui::MenuItem> delegateItem(const WeakDelegate& weak, std::string title,
                                           void (AppDelegate::*action)()) {
    return std::make_shared<ui::MenuItem>(std::move(title), [weak, action](ui::MenuItem&) {
        if (auto self = weak.lock())
            (self.get()->*action)();
    });
}

std::shared_ptr<ui::MenuItem> choiceItem(const WeakDelegate& weak, std::string title,
                                         std::string choice,
                                         void (AppDelegate::*action)(const std::any&)) {
    auto item =
        std::make_shared<ui::MenuItem>(std::move(title), [weak, action](ui::MenuItem& sender) {
            if (auto self = weak.lock())
                (self.get()->*action)(sender.representedObject());
        });
    item->setRepresentedObject(std::move(choice));
    return item;
}

// The record as the delegate holds it now: an open menu outlives the state it was built from.
FloatingPreferences currentRecord(const WeakDelegate& weak) {
    auto self = weak.lock();
    return self && self->settings().floating() ? *self->settings().floating()
                                               : FloatingPreferences::standard();
}

ui::ControlState stateFor(bool on) {
    return on ? ui::ControlState::on : ui::ControlState::off;
}

std::shared_ptr<ui::Menu> plainSubmenu() {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    return menu;
}

std::shared_ptr<ui::Menu> appearanceMenu(const WeakDelegate& weak,
                                         const FloatingPreferences& record, AppLanguage language) {
    auto menu = plainSubmenu();
    const std::pair<Copy, AppearanceMode> modes[] = {{Copy::systemLanguage, AppearanceMode::system},
                                                     {Copy::lightAppearance, AppearanceMode::light},
                                                     {Copy::darkAppearance, AppearanceMode::dark}};
    for (const auto& [key, mode] : modes) {
        auto item = choiceItem(weak, text(key, language), std::string(toString(mode)),
                               &AppDelegate::floatingAppearance);
        item->setState(stateFor(record.appearance == mode));
        PersistentMenuOption::attach(item, std::nullopt, true, [weak, mode = mode] {
            return currentRecord(weak).appearance == mode;
        });
        menu->addItem(item);
    }
    return menu;
}

std::shared_ptr<ui::Menu> modulesMenu(const WeakDelegate& weak, const FloatingPreferences& record,
                                      bool fanAvailable, AppLanguage language) {
    auto menu = plainSubmenu();
    for (ModuleKind kind : record.order) {
        if (kind == ModuleKind::fan && !fanAvailable)
            continue;
        auto item = choiceItem(weak, text(moduleTitleKey(kind), language),
                               std::string(toString(kind)), &AppDelegate::floatingModule);
        item->setState(stateFor(!record.hidden.contains(kind)));
        PersistentMenuOption::attach(item, std::nullopt, false, [weak, kind] {
            return !currentRecord(weak).hidden.contains(kind);
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

std::shared_ptr<LiveSettingsMenu> AppDelegate::makeFloatingMenu() {
    loadFloatingPreferences();
    const FloatingPreferences record = *settings_->floating();
    const AppLanguage language = resolvedLanguage();
    const WeakDelegate weak = weak_from_this();

    auto menu = std::make_shared<LiveSettingsMenu>(text(Copy::floating, language));
    menu->setAutoenablesItems(false);
    menu->setHighlight(accentHighlight());

    auto opacity = std::make_shared<ui::MenuItem>(text(Copy::opacity, language));
    auto row = std::make_shared<FloatingOpacityRow>(language, record.opacity);
    row->changed = [weak](double value) {
        if (auto self = weak.lock())
            self->settings_->changeFloating([value](FloatingPreferences& p) { p.opacity = value; });
    };
    opacity->setView(row);
    menu->addItem(opacity);
    menu->addItem(ui::MenuItem::separator());

    auto heading = std::make_shared<ui::MenuItem>(text(Copy::floatingAppearance, language));
    heading->setEnabled(false);
    menu->addItem(heading);
    menu->addItem(
        holder(text(Copy::appearanceTheme, language), appearanceMenu(weak, record, language)));
    auto onTop =
        delegateItem(weak, text(Copy::alwaysOnTop, language), &AppDelegate::toggleFloatingTop);
    onTop->setState(stateFor(prefs().floatingOnTop));
    PersistentMenuOption::attach(onTop, std::nullopt, false, [weak] {
        auto self = weak.lock();
        return !self || self->prefs().floatingOnTop;
    });
    menu->addItem(onTop);
    menu->addItem(ui::MenuItem::separator());

    menu->addItem(holder(text(Copy::floatingModules, language),
                         modulesMenu(weak, record, sampling_.fanAvailable, language)));
    menu->addItem(ui::MenuItem::separator());
    menu->addItem(
        delegateItem(weak, text(Copy::feedback, language), &AppDelegate::floatingFeedback));
    menu->addItem(ui::MenuItem::separator());
    auto close =
        delegateItem(weak, text(Copy::closeFloating, language), &AppDelegate::closeFloating);
    close->setImage(gfx::symbolImage("xmark.circle", {.pointSize = closeSymbolSize}));
    menu->addItem(close);

    fitMenuWidth(*menu);
    menu->rebuild = [weak]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeFloatingMenu();
        return std::make_shared<ui::Menu>();
    };
    // The menu shows over the bar, in the bar's own appearance.
    menu->appearance = [weak] {
        if (auto self = weak.lock())
            return self->floatingView->effectiveAppearance();
        return ui::Application::shared().effectiveAppearance();
    };
    return menu;
}

void AppDelegate::showFloatingMenu(const ui::Event& event) {
    floatingPopover->performClose();
    auto menu = makeFloatingMenu();
    ui::View* over = floatingPanel ? floatingPanel->contentView().get() : nullptr;
    if (auto window = event.window(); window && window->contentView())
        over = window->contentView().get();
    ui::Menu::popUpContextMenu(menu, event, over);
}

void AppDelegate::floatingAppearance(const std::any& representedObject) {
    if (const auto* name = std::any_cast<std::string>(&representedObject))
        if (auto mode = parseAppearanceMode(*name))
            settings_->changeFloating([mode](FloatingPreferences& p) { p.appearance = *mode; });
}

void AppDelegate::floatingModule(const std::any& representedObject) {
    if (const auto* name = std::any_cast<std::string>(&representedObject))
        if (auto kind = parseModuleKind(*name))
            settings_->changeFloating([kind](FloatingPreferences& p) {
                if (!p.hidden.erase(*kind))
                    p.hidden.insert(*kind);
            });
}

void AppDelegate::toggleFloatingTop() {
    settings_->change([](Preferences& p) { p.floatingOnTop = !p.floatingOnTop; });
}

void AppDelegate::floatingFeedback() {
    SupportFeedback::shared().show(resolvedLanguage());
}

void AppDelegate::sortFloating() {
    floatingPopover->performClose();
    floatingView->setSorting(!floatingView->isSorting());
    if (floatingDetails->isSorting != floatingView->isSorting()) {
        floatingDetails->isSorting = floatingView->isSorting();
        floatingDetails->refreshControls();
    }
    floatingView->setActiveModule(std::nullopt);
    // The strip's own redraw request repaints the bar's surface at once.
    if (floatingView->editingDisplayAction)
        floatingView->editingDisplayAction();
}

} // namespace pulsedeck
