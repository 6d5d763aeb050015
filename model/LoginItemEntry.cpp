#include "model/LoginItemEntry.h"

#include "platform/foundation/HomeDirectory.h"

#include <cstdlib>

namespace pulsedeck {

std::optional<std::filesystem::path> liveLoginItemEntry() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        config = xdg;
    else if (const auto home = foundation::homeDirectory())
        config = *home / ".config";
    else
        return std::nullopt;
    return config / "autostart" / loginItemEntryName;
}

} // namespace pulsedeck
