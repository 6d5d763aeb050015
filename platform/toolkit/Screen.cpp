#include "platform/toolkit/Screen.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"

namespace ui {

std::vector<Screen> Screen::screens() {
    std::vector<Screen> result;
    if (Application* app = Application::current()) {
        for (const ScreenDescription& description : app->windowServer().screens())
            result.emplace_back(description);
    }
    return result;
}

std::optional<Screen> Screen::mainScreen() {
    Application* app = Application::current();
    if (!app)
        return std::nullopt;
    if (Window* key = app->keyWindow()) {
        if (auto screen = key->screen())
            return screen;
    }
    auto all = screens();
    if (all.empty())
        return std::nullopt;
    return all.front();
}

} // namespace ui
