#include "platform/toolkit/x11/InputMethod.h"
#include "platform/toolkit/x11/SettingsPortal.h"
#include "platform/toolkit/x11/X11Clipboard.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <bit>
#include <fcntl.h>
#include <poll.h>

// The connection to the X server: opening it, the extensions we select, the run loop's source,
// and the pointer, cursor and grabs that belong to the connection rather than to a window.

namespace ui::x11 {

namespace {

// The X server reports failed requests asynchronously; a window that vanished between a request
// and its reply (a window manager's frame, a dock that quit) is no reason to end the program,
// which is what Xlib's default handler does.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

std::unique_ptr<X11WindowServer> X11WindowServer::open(dispatch::RunLoop& loop, Options options,
                                                       const dispatch::Clock& clock) {
    XSetErrorHandler(ignoreXError);
    Display* display =
        XOpenDisplay(options.displayName.empty() ? nullptr : options.displayName.c_str());
    if (!display)
        return nullptr;
    // No descriptor of ours may leak into the helpers the workspace spawns.
    fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);
    return std::unique_ptr<X11WindowServer>(new X11WindowServer(display, loop, options, clock));
}

X11WindowServer::X11WindowServer(Display* display, dispatch::RunLoop& loop, const Options& options,
                                 const dispatch::Clock& clock)
    : display_(display), loop_(loop), clock_(clock), options_(options),
      atoms_(std::make_unique<Atoms>()) {
    screenNumber_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screenNumber_);
    XInternAtoms(display_, const_cast<char**>(atomNames), atomCount, False, atoms_->atoms);
    const std::string screen = std::to_string(screenNumber_);
    atoms_->compositorSelection = XInternAtom(display_, ("_NET_WM_CM_S" + screen).c_str(), False);
    atoms_->xsettingsSelection = XInternAtom(display_, ("_XSETTINGS_S" + screen).c_str(), False);

    // Substructure changes tell when another dock comes or goes, which moves the visible frames.
    XSelectInput(display_, root_,
                 PropertyChangeMask | StructureNotifyMask | SubstructureNotifyMask);
    if (const auto active = cardinals(display_, root_, (*atoms_)[activeWindow], XA_WINDOW);
        !active.empty())
        activeWindow_ = static_cast<unsigned long>(active.front());

    int event = 0, error = 0;
    if (XQueryExtension(display_, "XInputExtension", &xinputOpcode_, &event, &error)) {
        // 2.1 at least: to an older client the server sends no raw event while any grab holds
        // the pointer, and each press on another program's window starts one, which holds it
        // until the release.
        int major = 2, minor = 1;
        if (XIQueryVersion(display_, &major, &minor) != Success)
            xinputOpcode_ = -1;
    } else {
        xinputOpcode_ = -1;
    }
    if (XRRQueryExtension(display_, &randrEventBase_, &error))
        XRRSelectInput(display_, root_, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask);
    else
        randrEventBase_ = -1;
    if (xinputOpcode_ >= 0) {
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
        XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
        XISelectEvents(display_, root_, &mask, 1);
    }
    // A settings manager that starts (or restarts) after us takes over the settings.
    // So does a compositing manager, which makes translucent windows real.
    if (XFixesQueryExtension(display_, &xfixesEventBase_, &error)) {
        XFixesSelectSelectionInput(display_, root_, atoms_->xsettingsSelection,
                                   XFixesSetSelectionOwnerNotifyMask);
        XFixesSelectSelectionInput(display_, root_, atoms_->compositorSelection,
                                   XFixesSetSelectionOwnerNotifyMask |
                                       XFixesSelectionWindowDestroyNotifyMask |
                                       XFixesSelectionClientCloseNotifyMask);
    } else
        xfixesEventBase_ = -1;
    if (int shapeError = 0; !XShapeQueryExtension(display_, &shapeEventBase_, &shapeError))
        shapeEventBase_ = -1;
    XkbSetDetectableAutoRepeat(display_, True, nullptr);

    // Solid copies (RGB24, 32 bits a pixel in host order) go to the server as they are when the
    // default visual stores pixels the same way.
    const Visual* visual = DefaultVisual(display_, screenNumber_);
    int formatCount = 0;
    bool wordPixels = false;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display_, &formatCount)) {
        for (int i = 0; i < formatCount; ++i)
            if (formats[i].depth == 24 && formats[i].bits_per_pixel == 32)
                wordPixels = true;
        XFree(formats);
    }
    const int hostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
    if (DefaultDepth(display_, screenNumber_) == 24 && wordPixels &&
        ImageByteOrder(display_) == hostOrder && visual->red_mask == 0xff0000 &&
        visual->green_mask == 0xff00 && visual->blue_mask == 0xff)
        solidGC_ = XCreateGC(display_, root_, 0, nullptr);

    clipboard_ = std::make_unique<X11Clipboard>(display_, root_, loop_);
    inputMethod_ = InputMethod::open(display_);

    composited_ = hasCompositor();
    readDesktopBackground();
    readXSettings();
    readDesktop();
    bootMinusMonotonic_ = clockSeconds(CLOCK_BOOTTIME) - clockSeconds(CLOCK_MONOTONIC);

    if (options_.usePortal) {
        std::weak_ptr<int> alive = alive_;
        portal_ = SettingsPortal::connect(loop_, [this, alive] {
            if (!alive.expired())
                post(ServerNotice::desktopSettingsChanged);
        });
    }

    source_ = loop_.addSource(ConnectionNumber(display_), POLLIN, [this](short revents) {
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Xlib ends the process at the next call that touches a lost connection, so the
            // application ends first.
            source_.reset();
            beforeWaiting_.reset();
            post(ServerNotice::connectionLost);
            return;
        }
        drainEvents();
    });
    beforeWaiting_ = loop_.addBeforeWaitingObserver([this] {
        // Replies read during round trips may have brought events along; poll() would not see
        // them again.
        if (XEventsQueued(display_, QueuedAlready) > 0) {
            drainEvents();
            // What those events changed (a menu that ended its tracking) must be seen by the
            // loop's condition before it sleeps: posted work keeps this pass awake.
            loop_.queue().async([] {});
        }
        mapHeldWindows();
        // Flushing may read events in as well, which poll() would not see either.
        if (XEventsQueued(display_, QueuedAfterFlush) > 0)
            loop_.queue().async([] {});
        checkWake();
    });
}

X11WindowServer::~X11WindowServer() {
    source_.reset();
    beforeWaiting_.reset();
    portal_.reset();
    clipboard_.reset();
    inputMethod_.reset();
    for (auto& [id, window] : windows_) {
        window->surface.reset();
        XDestroyWindow(display_, window->xid);
    }
    windows_.clear();
    for (auto& [kind, cursor] : cursors_)
        XFreeCursor(display_, cursor);
    if (solidGC_)
        XFreeGC(display_, solidGC_);
    // cairo's own farewell to the display waits for the server, and the events that wait brings
    // (our windows' destruction) would stay queued where XCloseDisplay never frees them: cairo
    // says farewell first, and what is queued then is dropped.
    cairoDevice_.reset();
    XSync(display_, True);
    XCloseDisplay(display_);
}

void X11WindowServer::setClipboardText(std::optional<std::string> text) {
    clipboard_->setText(std::move(text));
}

void X11WindowServer::requestClipboardText(
    std::function<void(std::optional<std::string>)> completion) {
    clipboard_->requestText(std::move(completion));
}

void X11WindowServer::sync() {
    XSync(display_, False);
    drainEvents();
}
// MARK: Pointer and cursor

gfx::Point X11WindowServer::pointerLocation() const {
    ::Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
    return geometry_.pointFromPixel(rootX, rootY);
}

unsigned X11WindowServer::pressedMouseButtons() const {
    ::Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &mask);
    unsigned buttons = 0;
    if (mask & Button1Mask)
        buttons |= MouseButton::left;
    if (mask & Button3Mask)
        buttons |= MouseButton::right;
    if (mask & Button2Mask)
        buttons |= MouseButton::other;
    return buttons;
}

void X11WindowServer::setCursor(CursorKind kind) {
    cursor_ = kind;
    if (!cursors_.count(kind)) {
        // Theme names first, then the names older themes use, then the core font's shapes.
        struct Names {
            const char* names[3];
            unsigned fallback;
        };
        Names names{{"left_ptr", "default", "arrow"}, XC_left_ptr};
        switch (kind) {
        case CursorKind::arrow:
            break;
        case CursorKind::openHand:
            names = {{"openhand", "grab", "hand1"}, XC_hand1};
            break;
        case CursorKind::closedHand:
            names = {{"closedhand", "grabbing", "fleur"}, XC_fleur};
            break;
        case CursorKind::pointingHand:
            names = {{"pointer", "hand2", "pointing_hand"}, XC_hand2};
            break;
        case CursorKind::iBeam:
            names = {{"text", "xterm", "ibeam"}, XC_xterm};
            break;
        }
        ::Cursor cursor = None;
        for (const char* name : names.names) {
            cursor = XcursorLibraryLoadCursor(display_, name);
            if (cursor != None)
                break;
        }
        if (cursor == None)
            cursor = XCreateFontCursor(display_, names.fallback);
        cursors_[kind] = cursor;
    }
    for (auto& [id, window] : windows_)
        XDefineCursor(display_, window->xid, cursors_[kind]);
}

void X11WindowServer::setInputGrab(bool grab) {
    if (!grab) {
        if (grabbing_) {
            XUngrabPointer(display_, CurrentTime);
            XUngrabKeyboard(display_, CurrentTime);
            XFlush(display_);
        }
        grabbing_ = false;
        return;
    }
    if (grabbing_)
        return;
    // Events over our own windows still go to them; the rest come to the root, so a press
    // anywhere else reaches the menu that tracks. Should another program hold a grab, the raw
    // events still bring presses elsewhere as events outside our windows.
    const int pointer =
        XGrabPointer(display_, root_, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    // Under XWayland a grab sees the keyboard only while the compositor gives it to us.
    if (xwayland_)
        focusThroughPressedWindow();
    XGrabKeyboard(display_, root_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    grabbing_ = pointer == GrabSuccess;
}

} // namespace ui::x11
