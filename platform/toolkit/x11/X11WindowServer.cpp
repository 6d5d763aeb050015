#include "platform/toolkit/x11/X11WindowServer.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/x11/KeyMapping.h"
#include "platform/toolkit/x11/SettingsPortal.h"
#include "platform/toolkit/x11/SolidShape.h"

#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <cairo-xlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace ui::x11 {

namespace {

// The X server reports failed requests asynchronously; a window that vanished between a request
// and its reply (a window manager's frame, a dock that quit) is no reason to end the program,
// which is what Xlib's default handler does.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

double clockSeconds(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) * 1e-9;
}

// A suspend advances the boot-time clock but not the monotonic one; a jump between them larger
// than this is a wake.
constexpr double wakeJump = 2.0;
// The platform's double-click interval and how far the pointer may stray between the clicks.
constexpr double doubleClickInterval = 0.5;
constexpr double doubleClickDistance = 4;

constexpr const char* atomNames[] = {
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_UTILITY",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_STATE",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_STATE_STICKY",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_SKIP_PAGER",
    "_NET_WM_DESKTOP",
    "_NET_WM_STRUT",
    "_NET_WM_STRUT_PARTIAL",
    "_NET_WM_WINDOW_OPACITY",
    "_NET_WM_PID",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_MOTIF_WM_HINTS",
    "_NET_ACTIVE_WINDOW",
    "_NET_CURRENT_DESKTOP",
    "_NET_CLIENT_LIST",
    "_NET_WORKAREA",
    "_NET_SUPPORTING_WM_CHECK",
    "_XSETTINGS_SETTINGS",
    "RESOURCE_MANAGER",
};

enum AtomIndex {
    wmWindowType,
    typeNormal,
    typeDock,
    typeUtility,
    typePopupMenu,
    typeToolTip,
    typeDialog,
    wmState,
    stateAbove,
    stateSticky,
    stateSkipTaskbar,
    stateSkipPager,
    wmDesktop,
    wmStrut,
    wmStrutPartial,
    wmWindowOpacity,
    wmPid,
    wmName,
    utf8String,
    motifWmHints,
    activeWindow,
    currentDesktop,
    clientList,
    workArea,
    supportingWmCheck,
    xsettingsSettings,
    resourceManager,
    atomCount
};

std::vector<unsigned char> windowProperty(Display* display, ::Window window, Atom property,
                                          Atom type, int& format) {
    std::vector<unsigned char> bytes;
    Atom actualType = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    format = 0;
    // Big enough for any strut, settings blob or client list we read.
    constexpr long maximumLongs = 1 << 16;
    if (XGetWindowProperty(display, window, property, 0, maximumLongs, False, type, &actualType,
                           &format, &count, &remaining, &data) != Success)
        return bytes;
    if (data && count > 0 && (type == AnyPropertyType || actualType == type)) {
        // Xlib hands 32-bit items back as longs.
        const std::size_t itemSize = format == 32 ? sizeof(long) : std::size_t(format / 8);
        bytes.assign(data, data + count * itemSize);
    }
    if (data)
        XFree(data);
    return bytes;
}

std::vector<long> cardinals(Display* display, ::Window window, Atom property, Atom type) {
    int format = 0;
    const auto bytes = windowProperty(display, window, property, type, format);
    std::vector<long> values;
    if (format != 32)
        return values;
    values.resize(bytes.size() / sizeof(long));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(long));
    return values;
}

} // namespace

struct X11WindowServer::Atoms {
    Atom atoms[atomCount] = {};
    Atom compositorSelection = 0;
    Atom xsettingsSelection = 0;
    Atom operator[](AtomIndex index) const { return atoms[index]; }
};

struct X11WindowServer::NativeWindow {
    ::Window xid = 0;
    NativeWindowAttributes attributes;
    // Where the toolkit put the window; the status bar alone may sit lower on the display.
    gfx::Rect frame;
    RootGeometry::PixelRect pixels;
    int level = 0;
    double alpha = 1;
    bool ignoresMouseEvents = false;
    bool mapped = false;
    bool overrideRedirect = false;
    // Drawn with alpha (a compositing manager blends it) or solid and shaped.
    bool argb = false;
    bool shaped = false;
    bool focusWhenMapped = false;
    std::uint64_t stackOrder = 0;
    cairo_surface_t* surface = nullptr;
    // The last backing the toolkit presented, kept to answer exposures.
    cairo_surface_t* backing = nullptr;

    ~NativeWindow() {
        if (surface)
            cairo_surface_destroy(surface);
        if (backing)
            cairo_surface_destroy(backing);
    }
};

// MARK: Connection

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

X11WindowServer::X11WindowServer(Display* display, dispatch::RunLoop& loop,
                                 const Options& options, const dispatch::Clock& clock)
    : display_(display), loop_(loop), clock_(clock), options_(options),
      atoms_(std::make_unique<Atoms>()) {
    screenNumber_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screenNumber_);
    XInternAtoms(display_, const_cast<char**>(atomNames), atomCount, False, atoms_->atoms);
    const std::string screen = std::to_string(screenNumber_);
    atoms_->compositorSelection = XInternAtom(display_, ("_NET_WM_CM_S" + screen).c_str(), False);
    atoms_->xsettingsSelection =
        XInternAtom(display_, ("_XSETTINGS_S" + screen).c_str(), False);

    XSelectInput(display_, root_, PropertyChangeMask | StructureNotifyMask);

    int event = 0, error = 0;
    if (XQueryExtension(display_, "XInputExtension", &xinputOpcode_, &event, &error)) {
        int major = 2, minor = 0;
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

    readXSettings();
    readDesktop();
    bootMinusMonotonic_ = clockSeconds(CLOCK_BOOTTIME) - clockSeconds(CLOCK_MONOTONIC);

    if (options_.usePortal) {
        std::weak_ptr<int> alive = alive_;
        portal_ = SettingsPortal::connect(loop_, [this, alive] {
            if (!alive.expired())
                applyDesktopSettings();
        });
    }

    source_ = loop_.addSource(ConnectionNumber(display_), POLLIN, [this](short revents) {
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // The display is gone; nothing can be shown any more.
            source_.reset();
            if (Application* app = Application::current())
                app->terminate();
            return;
        }
        drainEvents();
    });
    beforeWaiting_ = loop_.addBeforeWaitingObserver([this] {
        // Replies read during round trips may have brought events along; poll() would not see
        // them again.
        if (XEventsQueued(display_, QueuedAlready) > 0)
            drainEvents();
        XFlush(display_);
        checkWake();
    });

    // The application is made after its server: hand it the desktop's settings once it exists.
    std::weak_ptr<int> alive = alive_;
    loop_.queue().async([this, alive] {
        if (!alive.expired())
            applyDesktopSettings();
    });
}

X11WindowServer::~X11WindowServer() {
    source_.reset();
    beforeWaiting_.reset();
    portal_.reset();
    for (auto& [id, window] : windows_) {
        if (window->surface) {
            cairo_surface_destroy(window->surface);
            window->surface = nullptr;
        }
        XDestroyWindow(display_, window->xid);
    }
    windows_.clear();
    for (auto& [kind, cursor] : cursors_)
        XFreeCursor(display_, cursor);
    XCloseDisplay(display_);
}

void X11WindowServer::sync() {
    XSync(display_, False);
    drainEvents();
}

bool X11WindowServer::hasCompositor() const {
    return XGetSelectionOwner(display_, atoms_->compositorSelection) != None;
}

// MARK: Desktop

void X11WindowServer::readDesktop() {
    Window::AllocateWindowsOnStack;
}
