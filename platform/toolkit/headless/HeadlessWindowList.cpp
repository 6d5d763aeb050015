#include "platform/toolkit/headless/HeadlessWindowList.h"

namespace ui {

void HeadlessWindowList::setWindows(const std::vector<WindowListEntry>& windows) {
    foundation::PropertyArray list;
    for (const auto& window : windows)
        list.emplace_back(windowInfo(window));
    list_ = std::move(list);
}

std::optional<foundation::PropertyArray> HeadlessWindowList::onScreenWindows() {
    ++queries_;
    return list_;
}

} // namespace ui
