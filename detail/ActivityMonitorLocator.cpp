#include "detail/ActivityMonitorLocator.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

// Without an application (a detail view made in a test or before launch) there is no workspace
// to ask, and so no process monitor.
ActivityMonitorLocator ActivityMonitorLocator::desktop() {
    return {[]() -> std::optional<std::string> {
                ui::Application* app = ui::Application::current();
                if (!app)
                    return std::nullopt;
                for (const char* identifier : processMonitorIdentifiers) {
                    if (auto url = app->workspace().urlForApplication(identifier))
                        return url;
                }
                return std::nullopt;
            },
            [](const std::string& url, gfx::Appearance) -> std::optional<gfx::Image> {
                ui::Application* app = ui::Application::current();
                if (!app)
                    return std::nullopt;
                return app->workspace().iconForFile(url);
            }};
}

} // namespace pulsedeck
