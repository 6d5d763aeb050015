#pragma once

#include "platform/toolkit/WindowList.h"

namespace ui::x11 {

class X11WindowServer;

// The window list of an X display: the window manager's stacking list of client windows
// (_NET_CLIENT_LIST_STACKING) or, without a window manager, the root window's children. Only
// mapped windows are listed, front to back. Desktop-type windows are left out; docks sit on the
// dock layer and override-redirect windows (menus, tooltips) above it, every other window on
// layer 0. The owner comes from _NET_WM_PID (0, no known process, when absent), the alpha from
// _NET_WM_WINDOW_OPACITY (1 when absent); frames are in the server's global point space.
class X11WindowList final : public WindowList {
public:
    explicit X11WindowList(X11WindowServer& server) : server_(server) {}

    std::optional<foundation::PropertyArray> onScreenWindows() override;
    // The RandR monitors' whole areas, not the screens' frames that other panels' struts trim.
    std::map<int, gfx::Rect> displayBounds() override;

private:
    X11WindowServer& server_;
};

} // namespace ui::x11
