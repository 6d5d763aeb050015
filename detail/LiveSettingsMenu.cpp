#include "detail/LiveSettingsMenu.h"

namespace pulsedeck {

LiveSettingsMenu::LiveSettingsMenu(std::string title) : ui::Menu(std::move(title)) {}

} // namespace pulsedeck
