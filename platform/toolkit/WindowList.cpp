#include "platform/toolkit/WindowList.h"

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

} // namespace ui
