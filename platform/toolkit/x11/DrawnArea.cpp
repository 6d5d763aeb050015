#include "platform/toolkit/x11/DrawnArea.h"

#include <algorithm>

namespace ui::x11 {

namespace {

// Where a span of `length` starting at `wanted` lies inside the span [start, start + room): as
// near `wanted` as it fits, at `start` where it does not fit at all.
int keptInside(int wanted, int length, int start, int room) {
    if (length >= room)
        return start;
    return std::clamp(wanted, start, start + room - length);
}

} // namespace

DrawnArea drawnArea(const RootGeometry::PixelRect& asked, const RootGeometry::PixelRect& shown,
                    bool keepsSize, const RootGeometry::PixelRect& largest) {
    const int width = keepsSize ? asked.width : std::min(shown.width, largest.width);
    const int height = keepsSize ? asked.height : std::min(shown.height, largest.height);
    const int x = keptInside(asked.x, width, shown.x, shown.width);
    const int y = keptInside(asked.y, height, shown.y, shown.height);
    return {{x, y, width, height}, x - shown.x, y - shown.y};
}

} // namespace ui::x11
