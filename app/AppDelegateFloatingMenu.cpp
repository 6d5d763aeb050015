#include "app/AppDelegate.h"
#include "app/FloatingBarMenu.h"

namespace pulsedeck {

std::shared_ptr<LiveSettingsMenu> AppDelegate::makeFloatingMenu() {
    loadFloatingPreferences();
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    auto menu = makeFloatingBarMenu(
        settings_, {.language =
                        [weak] {
                            auto self = weak.lock();
                            return self ? self->resolvedLanguage() : AppLanguage::english;
                        },
                    .fanAvailable =
                        [weak] {
                            auto self = weak.lock();
                            return self && self->sampling_.fanAvailable;
                        },
                    .appearance =
                        [weak] {
                            if (auto self = weak.lock())
                                return self->floatingView->effectiveAppearance();
                            return ui::Application::shared().effectiveAppearance();
                        },
                    .closeBar =
                        [weak] {
                            if (auto self = weak.lock())
                                self->closeFloating();
                        }});
    menu->rebuild = [weak]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeFloatingMenu();
        return std::make_shared<ui::Menu>();
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

void AppDelegate::sortFloating() {
    floatingPopover->performClose();
    floatingView->setSorting(!floatingView->isSorting());
    floatingDetails->setSorting(floatingView->isSorting());
    floatingView->setActiveModule(std::nullopt);
    // The strip's own redraw request repaints the bar's surface at once.
    if (floatingView->editingDisplayAction)
        floatingView->editingDisplayAction();
}

} // namespace pulsedeck
