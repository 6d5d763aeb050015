#include "detail/LiveSettingsMenu.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/MenuItem.h"

namespace pulsedeck {

LiveSettingsMenu::LiveSettingsMenu() = default;

std::shared_ptr<LiveSettingsMenu> LiveSettingsMenu::make(AppLanguage language) {
    auto menu = std::make_shared<LiveSettingsMenu>();
    auto quit = std::make_shared<ui::MenuItem>(
        text(Copy::quit, language),
        [](ui::MenuItem&) {
            if (auto* application = ui::Application::current())
                application->terminate();
        },
        "q");
    quit->setKeyEquivalentModifierMask(ui::Modifier::command);
    menu->addItem(quit);
    return menu;
}

} // namespace pulsedeck
