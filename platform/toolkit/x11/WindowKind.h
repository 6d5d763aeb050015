#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/toolkit/WindowServer.h"

namespace ui::x11 {

// The _NET_WM_WINDOW_TYPE a window announces.
enum class WindowType { normal, dock, utility, popupMenu, toolTip, dialog, dragPreview };

// How a window of ours presents itself to a window manager, chosen as mature X11 toolkits
// choose: whatever comes and goes with one gesture is override-redirect, so no manager tiles
// it, hides it on "show desktop" or delays it; everything else is managed, and the managers
// that tile float it by its type and fixed size hints.
struct WindowKind {
    WindowType type = WindowType::normal;
    bool overrideRedirect = false;
    // Size hints with minimum = maximum = the window's size, followed as it changes.
    bool fixedSize = false;
    // WM_HINTS input: whether the manager may give the window the keyboard.
    bool acceptsFocus = true;
    // _NET_WM_USER_TIME 0: the manager must not focus it when it is mapped.
    bool noFocusOnMap = false;
    // WM_TRANSIENT_FOR the status bar: a dialog of the program, whose one standing window is
    // the strip.
    bool transientForStatusBar = false;

    friend bool operator==(const WindowKind&, const WindowKind&) = default;
};

// The popover's 1 × 1 anchor: a panel no larger than a pixel that takes no input.
bool isAnchor(const NativeWindowAttributes& attributes, gfx::Size size);

// The kind of a window with these attributes and size. `ignoresMouseEvents` marks a panel that
// only shows something under the pointer (the drag-out preview, the liquid overlay).
WindowKind windowKind(const NativeWindowAttributes& attributes, gfx::Size size,
                      bool ignoresMouseEvents);

} // namespace ui::x11
