#include "model/StatusPressSession.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/Window.h"

namespace pulsedeck {

gfx::Point StatusPressSession::screenLocation(const ui::Event& event) {
    if (auto topLeft = event.topLeftLocation()) {
        auto screens = ui::Screen::screens();
        if (!screens.empty()) {
            return {topLeft->x, screens.front().frame().maxY() - topLeft->y};
        }
    }
    if (auto window = event.window()) {
        return window->convertRectToScreen(gfx::Rect(event.locationInWindow(), gfx::Size())).origin;
    }
    if (auto* application = ui::Application::current()) {
        return application->mouseLocation();
    }
    return event.screenLocation();
}

} // namespace pulsedeck
