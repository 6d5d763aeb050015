#pragma once

#include "platform/toolkit/x11/ScreenLayout.h"

namespace ui::x11 {

// Where a window's own pixels stand when the server shows its X window elsewhere or at another
// size than asked: a window manager, or any other program, may move, stretch or shrink any window
// of ours. A window draws its own size, never the size it is given, so no stretch can cost
// memory: what lies beyond its pixels is filled.
struct DrawnArea {
    // The pixels on the root.
    RootGeometry::PixelRect onRoot;
    // Their top-left corner inside the X window.
    int insetX = 0;
    int insetY = 0;

    friend bool operator==(const DrawnArea&, const DrawnArea&) = default;
};

// `asked` is the place and size last asked of the server, `shown` where the X window stands. A
// window that keeps its size draws at the asked size, at the asked place as far as the X window
// holds it (a dock stretched over the screen's width keeps to where it belongs in it); one that
// takes the size it is given takes no more than `largest` (the screen's), from the X window's
// corner.
DrawnArea drawnArea(const RootGeometry::PixelRect& asked, const RootGeometry::PixelRect& shown,
                    bool keepsSize, const RootGeometry::PixelRect& largest);

} // namespace ui::x11
