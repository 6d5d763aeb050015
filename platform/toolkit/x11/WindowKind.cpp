#include "platform/toolkit/x11/WindowKind.h"

namespace ui::x11 {

bool isAnchor(const NativeWindowAttributes& attributes, gfx::Size size) {
    return attributes.role == WindowRole::panel && size.width <= 1 && size.height <= 1;
}

WindowKind windowKind(const NativeWindowAttributes& attributes, gfx::Size size,
                      bool ignoresMouseEvents) {
    WindowKind kind;
    switch (attributes.role) {
    case WindowRole::statusBar:
        kind.type = WindowType::dock;
        kind.fixedSize = true;
        kind.acceptsFocus = false;
        kind.noFocusOnMap = true;
        break;
    case WindowRole::menu:
        kind.type = WindowType::popupMenu;
        kind.overrideRedirect = true;
        break;
    case WindowRole::popover:
        // Takes the keyboard itself while open, as a toolkit's menu does.
        kind.type = WindowType::popupMenu;
        kind.overrideRedirect = true;
        break;
    case WindowRole::toolTip:
        kind.type = WindowType::toolTip;
        kind.overrideRedirect = true;
        kind.acceptsFocus = false;
        break;
    case WindowRole::panel:
        if (isAnchor(attributes, size) || ignoresMouseEvents) {
            kind.type = ignoresMouseEvents ? WindowType::dragPreview : WindowType::utility;
            kind.overrideRedirect = true;
            kind.acceptsFocus = false;
            break;
        }
        kind.type = WindowType::utility;
        kind.fixedSize = true;
        break;
    case WindowRole::alert:
    case WindowRole::normal:
        // A menu-bar program has no main window: its titled windows (the tip, the feedback
        // panel) and its alerts are dialogs of the strip.
        kind.type = WindowType::dialog;
        kind.fixedSize = !attributes.resizable;
        kind.transientForStatusBar = true;
        break;
    }
    if (attributes.nonActivating && !kind.overrideRedirect) {
        kind.acceptsFocus = false;
        kind.noFocusOnMap = true;
    }
    return kind;
}

} // namespace ui::x11
