#include "platform/toolkit/x11/WindowIcon.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <iterator>

namespace ui::x11 {

void X11WindowServer::setApplicationIcon(const gfx::Image& image) {
    iconCardinals_ = windowIconCardinals(
        image, std::vector<int>(std::begin(windowIconSides), std::end(windowIconSides)));
    for (const auto& [id, window] : windows_)
        setIconProperty(*window);
}

void X11WindowServer::setIconProperty(const NativeWindow& window) {
    if (iconCardinals_.empty())
        return;
    const Atom icon = XInternAtom(display_, "_NET_WM_ICON", False);
    XChangeProperty(display_, window.xid, icon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(iconCardinals_.data()),
                    static_cast<int>(iconCardinals_.size()));
}

} // namespace ui::x11
