#include "platform/toolkit/WindowList.h"

#include "platform/toolkit/Screen.h"

#include <string>

namespace ui {

foundation::PropertyDictionary windowInfo(const WindowListEntry& entry) {
    foundation::PropertyDictionary bounds{{"x", entry.bounds.x()},
                                          {"y", entry.bounds.y()},
                                          {"width", entry.bounds.width()},
                                          {"height", entry.bounds.height()}};
    return {{std::string(WindowInfoKey::bounds), std::move(bounds)},
            {std::string(WindowInfoKey::layer), entry.layer},
            {std::string(WindowInfoKey::ownerPID), entry.ownerPID},
            {std::string(WindowInfoKey::alpha), entry.alpha},
            {std::string(WindowInfoKey::onScreen), entry.onScreen}};
}

std::map<int, gfx::Rect> WindowList::displayBounds() {
    std::map<int, gfx::Rect> bounds;
    for (const auto& screen : Screen::screens())
        bounds.emplace(screen.displayNumber(), screen.frame());
    return bounds;
}

} // namespace ui
