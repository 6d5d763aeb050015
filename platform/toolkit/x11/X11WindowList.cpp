#include "platform/toolkit/x11/X11WindowList.h"

#include "platform/toolkit/x11/X11WindowServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <memory>
#include <vector>

namespace ui::x11 {

namespace {

struct XFreeDeleter {
    void operator()(void* data) const {
        if (data)
            XFree(data);
    }
};
using XData = std::unique_ptr<unsigned char, XFreeDeleter>;

// The 32-bit items of a property of the given type; none when the window lacks it.
std::optional<std::vector<unsigned long>> longProperty(Display* display, ::Window window,
                                                       Atom property, Atom type) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType,
                           &actualFormat, &count, &remaining, &raw) != Success)
        return std::nullopt;
    XData data(raw);
    if (actualType != type || actualFormat != 32)
        return std::nullopt;
    // Xlib hands 32-bit items out as longs.
    const auto* items = reinterpret_cast<const unsigned long*>(data.get());
    return std::vector<unsigned long>(items, items + count);
}

struct Atoms {
    Atom stacking, pid, opacity, type, typeDesktop, typeDock;

    explicit Atoms(Display* display) {
        stacking = XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False);
        pid = XInternAtom(display, "_NET_WM_PID", False);
        opacity = XInternAtom(display, "_NET_WM_WINDOW_OPACITY", False);
        type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
        typeDesktop = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
        typeDock = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", False);
    }
};

// Bottom to top: the window manager's list when it keeps one, else the root's children.
std::vector<::Window> stackedWindows(Display* display, ::Window root, const Atoms& atoms) {
    if (auto clients = longProperty(display, root, atoms.stacking, XA_WINDOW))
        return {clients->begin(), clients->end()};
    ::Window rootReturn = None;
    ::Window parent = None;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        return {};
    std::unique_ptr<::Window, XFreeDeleter> owned(children);
    return {children, children + count};
}

} // namespace

std::optional<foundation::PropertyArray> X11WindowList::onScreenWindows() {
    Display* display = server_.display();
    if (!display)
        return std::nullopt;
    const ::Window root = DefaultRootWindow(display);
    const Atoms atoms(display);
    const auto stacked = stackedWindows(display, root, atoms);

    foundation::PropertyArray list;
    for (auto it = stacked.rbegin(); it != stacked.rend(); ++it) {
        const ::Window window = *it;
        XWindowAttributes attributes{};
        // A window may be gone by now; the server's error handler lets the call fail quietly.
        if (!XGetWindowAttributes(display, window, &attributes) ||
            attributes.map_state != IsViewable)
            continue;

        WindowListEntry entry;
        if (attributes.override_redirect)
            entry.layer = WindowLayer::overlay;
        if (auto types = longProperty(display, window, atoms.type, XA_ATOM)) {
            bool desktop = false;
            for (unsigned long type : *types) {
                desktop = desktop || type == atoms.typeDesktop;
                if (type == atoms.typeDock && entry.layer == WindowLayer::normal)
                    entry.layer = WindowLayer::dock;
            }
            if (desktop)
                continue;
        }
        if (auto pid = longProperty(display, window, atoms.pid, XA_CARDINAL); pid && !pid->empty())
            entry.ownerPID = static_cast<int>(pid->front());
        if (auto opacity = longProperty(display, window, atoms.opacity, XA_CARDINAL);
            opacity && !opacity->empty())
            entry.alpha = static_cast<double>(opacity->front() & 0xffffffffUL) / 0xffffffffUL;

        int x = attributes.x;
        int y = attributes.y;
        ::Window child = None;
        XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
        entry.bounds = server_.geometry().rectFromPixels(x, y, attributes.width, attributes.height);
        entry.onScreen = true;
        list.emplace_back(windowInfo(entry));
    }
    return list;
}

std::map<int, gfx::Rect> X11WindowList::displayBounds() {
    return describeDisplays(server_.monitors(), server_.geometry().scale());
}

} // namespace ui::x11
