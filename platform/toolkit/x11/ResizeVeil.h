#pragma once

// Brings Xlib, whose macros (None, Bool, Status) break other headers: include it last.

#include "platform/toolkit/x11/ScreenLayout.h"
#include "platform/toolkit/x11/SolidShape.h"

#include <vector>

// clang-format off
#include <X11/Xlib.h>
// clang-format on

namespace ui::x11 {

// Without a compositing manager a window manager applies a new size and place of a window it
// manages in steps of its own (its frame moved, then our window resized, or the other way round,
// with its own drawing between), and the screen shows each step: the window's pixels at the wrong
// offset, cut short, or the desktop where the window is still to come. Its frame synchronisation
// (_NET_WM_SYNC_REQUEST) paces only resizes the user drags. The veil is an override-redirect
// window of ours laid over both places while the manager works: it shows the window's new picture
// where the window will stand and the desktop's own background around it, so the screen shows
// the outcome from the first step on; lifted once the window stands where it was asked to
// be, the window under it shows the same. It takes no input.
class ResizeVeil {
public:
    using PixelRect = RootGeometry::PixelRect;

    // `before` and `after` are the window's places on the root; `afterShape` holds the pixels the
    // window shows at `after`, as boxes in its own coordinates; `picture` holds the window's
    // pixels at `after` (a pixmap of the root's depth, which the server keeps while the veil
    // needs it).
    ResizeVeil(Display* display, const PixelRect& before, const PixelRect& after,
               const std::vector<PixelBox>& afterShape, unsigned long picture);
    ~ResizeVeil();
    ResizeVeil(const ResizeVeil&) = delete;
    ResizeVeil& operator=(const ResizeVeil&) = delete;

    // Where the window was asked to stand.
    const PixelRect& awaits() const { return after_; }

private:
    Display* display_;
    PixelRect after_;
    ::Window veil_ = 0;
};

} // namespace ui::x11
