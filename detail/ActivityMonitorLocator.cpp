#include "detail/ActivityMonitorLocator.h"

#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

ActivityMonitorLocator ActivityMonitorLocator::desktop() {
    return {[]() -> std::optional<std::string> {
                for (const char* identifier : processMonitorIdentifiers) {
                    if (auto url = ui::Workspace::shared().urlForApplication(identifier))
                        return url;
                }
                return std::nullopt;
            },
            [](const std::string& url, gfx::Appearance) {
                return ui::Workspace::shared().iconForFile(url);
            }};
}

} // namespace pulsedeck
