#include "platform/toolkit/x11/X11WindowServer.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "platform/toolkit/x11/KeyMapping.h"
#include "platform/toolkit/x11/SettingsPortal.h"
#include "platform/toolkit/x11/SolidShape.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <array>
#include <bit>
#include <cairo-xlib.h>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <fcntl.h>
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
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
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
    wmProtocols,
    wmDeleteWindow,
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
    // A shaped window's backing as last drawn solid (RGB24, the backing's size): exposures
    // copy from it instead of solidifying again.
    cairo_surface_t* solid = nullptr;
    // What the window's bounding shape holds now, to send only shapes that change it.
    KeptPixels shape;
    // The union of an exposure series not yet repainted (x, y, right, bottom).
    std::optional<std::array<int, 4>> exposed;

    ~NativeWindow() {
        if (surface)
            cairo_surface_destroy(surface);
        if (backing)
            cairo_surface_destroy(backing);
        if (solid)
            cairo_surface_destroy(solid);
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
    // A settings manager that starts (or restarts) after us takes over the settings.
    if (XFixesQueryExtension(display_, &xfixesEventBase_, &error))
        XFixesSelectSelectionInput(display_, root_, atoms_->xsettingsSelection,
                                   XFixesSetSelectionOwnerNotifyMask);
    else
        xfixesEventBase_ = -1;
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
            // The display is gone; nothing can be shown any more. Xlib ends the process at the
            // next call that touches the connection, so the application ends first.
            source_.reset();
            beforeWaiting_.reset();
            if (Application* app = Application::current())
                app->terminate();
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
    if (solidGC_)
        XFreeGC(display_, solidGC_);
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
    hasWindowManager_ =
        !cardinals(display_, root_, (*atoms_)[supportingWmCheck], XA_WINDOW).empty();
    rootWidth_ = DisplayWidth(display_, screenNumber_);
    rootHeight_ = DisplayHeight(display_, screenNumber_);
    monitors_.clear();
    if (randrEventBase_ >= 0) {
        int count = 0;
        if (XRRMonitorInfo* info = XRRGetMonitors(display_, root_, True, &count)) {
            for (int i = 0; i < count; ++i)
                monitors_.push_back(
                    {info[i].x, info[i].y, info[i].width, info[i].height, info[i].primary != 0});
            XRRFreeMonitors(info);
        }
    }
    if (monitors_.empty())
        monitors_.push_back({0, 0, rootWidth_, rootHeight_, true});
    monitors_ = primaryFirst(std::move(monitors_));
    int scale = 1;
    if (options_.backingScale) {
        scale = std::max(1, *options_.backingScale);
    } else {
        std::optional<double> dpi;
        if (const char* resources = XResourceManagerString(display_))
            dpi = xftDpiFromResources(resources);
        scale = backingScaleFrom(xsettings_, dpi);
    }
    geometry_ = RootGeometry(monitors_.front(), scale);
    screens_.reset();
}

void X11WindowServer::refreshScreens() {
    const auto before = screens_.value_or(std::vector<ScreenDescription>{});
    screens_.reset();
    if (screens() == before)
        return;
    // The bar follows the primary screen's top: another panel came or went, or the monitors
    // changed.
    const bool hasBar = std::any_of(windows_.begin(), windows_.end(), [](const auto& entry) {
        return entry.second->attributes.role == WindowRole::statusBar;
    });
    if (Application* app = Application::current(); app && hasBar)
        app->statusBar().relayout();
}

std::vector<Strut> X11WindowServer::otherStruts() const {
    std::vector<::Window> candidates;
    const auto clients = cardinals(display_, root_, (*atoms_)[clientList], XA_WINDOW);
    if (!clients.empty()) {
        candidates.assign(clients.begin(), clients.end());
    } else {
        // Without a window manager the docks are the root's own children.
        ::Window rootReturn = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) {
            candidates.assign(children, children + count);
            if (children)
                XFree(children);
        }
    }
    std::vector<Strut> struts;
    for (::Window candidate : candidates) {
        if (isOurs(candidate))
            continue;
        const auto partial = cardinals(display_, candidate, (*atoms_)[wmStrutPartial], XA_CARDINAL);
        if (partial.size() >= 12) {
            struts.push_back({partial[0], partial[1], partial[2], partial[3], partial[4],
                              partial[5], partial[6], partial[7], partial[8], partial[9],
                              partial[10], partial[11]});
            continue;
        }
        const auto plain = cardinals(display_, candidate, (*atoms_)[wmStrut], XA_CARDINAL);
        if (plain.size() >= 4)
            struts.push_back(Strut::fullSpan(plain[0], plain[1], plain[2], plain[3]));
    }
    return struts;
}

std::vector<ScreenDescription> X11WindowServer::screens() const {
    if (!screens_)
        screens_ = describeScreens(monitors_, rootWidth_, rootHeight_, otherStruts(),
                                   geometry_.scale(), StatusBar::barThickness);
    return *screens_;
}

void X11WindowServer::readXSettings() {
    xsettings_.reset();
    xsettingsOwner_ = XGetSelectionOwner(display_, atoms_->xsettingsSelection);
    if (xsettingsOwner_ == None)
        return;
    // Follow the manager's changes to its settings.
    XSelectInput(display_, xsettingsOwner_, PropertyChangeMask | StructureNotifyMask);
    int format = 0;
    const auto bytes = windowProperty(display_, xsettingsOwner_, (*atoms_)[xsettingsSettings],
                                      (*atoms_)[xsettingsSettings], format);
    if (format == 8)
        xsettings_ = parseXSettings(bytes);
}

void X11WindowServer::applyDesktopSettings() {
    Application* app = Application::current();
    if (!app)
        return;
    std::optional<bool> dark = portal_ ? portal_->prefersDark() : std::nullopt;
    app->setSystemAppearance(dark.value_or(themeIsDark(xsettings_)) ? gfx::Appearance::dark
                                                                    : gfx::Appearance::light);
    std::optional<bool> animations = portal_ ? portal_->animationsEnabled() : std::nullopt;
    app->workspace().setReduceMotion(animations ? !*animations : animationsDisabled(xsettings_));
    // Translucency costs contrast; a user who asked for more contrast gets solid backgrounds.
    app->workspace().setReduceTransparency(portal_ &&
                                           portal_->prefersHigherContrast().value_or(false));
}

void X11WindowServer::checkWake() {
    const double now = clockSeconds(CLOCK_BOOTTIME) - clockSeconds(CLOCK_MONOTONIC);
    const bool woke = now - bootMinusMonotonic_ > wakeJump;
    bootMinusMonotonic_ = now;
    if (!woke)
        return;
    if (Application* app = Application::current())
        app->workspace().post(WorkspaceNotification::didWake);
}

// MARK: Windows

X11WindowServer::NativeWindow* X11WindowServer::find(NativeWindowId window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

const X11WindowServer::NativeWindow* X11WindowServer::find(NativeWindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

NativeWindowId X11WindowServer::windowFor(unsigned long xid) const {
    for (const auto& [id, window] : windows_) {
        if (window->xid == xid)
            return id;
    }
    return 0;
}

bool X11WindowServer::isOurs(unsigned long xid) const {
    return xid != None && windowFor(xid) != 0;
}

std::optional<unsigned long> X11WindowServer::xWindow(NativeWindowId window) const {
    if (const NativeWindow* found = find(window))
        return found->xid;
    return std::nullopt;
}

NativeWindowId X11WindowServer::createWindow(const gfx::Rect& frame,
                                             const NativeWindowAttributes& attributes) {
    auto window = std::make_unique<NativeWindow>();
    window->attributes = attributes;
    window->frame = frame;
    window->pixels = geometry_.pixelsFromRect(frame);
    // The anchor a popover hangs from is a 1 × 1 panel that takes no input; a window manager must
    // not move, decorate or focus it.
    const bool anchor =
        attributes.role == WindowRole::panel && frame.width() <= 1 && frame.height() <= 1;
    window->overrideRedirect = attributes.role == WindowRole::menu || anchor;

    XVisualInfo visualInfo{};
    const bool translucent = !attributes.opaque;
    window->argb = translucent && hasCompositor() &&
                   XMatchVisualInfo(display_, screenNumber_, 32, TrueColor, &visualInfo);
    window->shaped = translucent && !window->argb;

    XSetWindowAttributes set{};
    unsigned long mask = CWEventMask | CWOverrideRedirect | CWBackPixmap | CWBitGravity;
    set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                     StructureNotifyMask | FocusChangeMask;
    set.override_redirect = window->overrideRedirect ? True : False;
    set.background_pixmap = None;
    set.bit_gravity = NorthWestGravity;
    Visual* visual = DefaultVisual(display_, screenNumber_);
    int depth = DefaultDepth(display_, screenNumber_);
    if (window->argb) {
        visual = visualInfo.visual;
        depth = 32;
        set.colormap = XCreateColormap(display_, root_, visual, AllocNone);
        set.border_pixel = 0;
        set.background_pixel = 0;
        mask = (mask & ~static_cast<unsigned long>(CWBackPixmap)) | CWColormap | CWBorderPixel |
               CWBackPixel;
    }
    const RootGeometry::PixelRect& pixels = window->pixels;
    window->xid = XCreateWindow(display_, root_, pixels.x, pixels.y, unsigned(pixels.width),
                                unsigned(pixels.height), 0, depth, InputOutput, visual, mask, &set);
    window->surface =
        cairo_xlib_surface_create(display_, window->xid, visual, pixels.width, pixels.height);
    if (window->shaped) {
        // Nothing shows until something is drawn.
        XShapeCombineRectangles(display_, window->xid, ShapeBounding, 0, 0, nullptr, 0, ShapeSet,
                                Unsorted);
    }
    if (cursors_.count(cursor_))
        XDefineCursor(display_, window->xid, cursors_[cursor_]);
    const NativeWindowId id = nextId_++;
    NativeWindow& stored = *window;
    windows_[id] = std::move(window);
    setWindowProperties(stored);
    if (stored.attributes.role == WindowRole::statusBar)
        placeWindow(stored);
    return id;
}

void X11WindowServer::setWindowProperties(NativeWindow& window) {
    const ::Window xid = window.xid;
    XClassHint classHint{const_cast<char*>("pulsedeck"), const_cast<char*>("Pulsedeck")};
    XSetClassHint(display_, xid, &classHint);
    constexpr const char* title = "Pulsedeck";
    XChangeProperty(display_, xid, (*atoms_)[wmName], (*atoms_)[utf8String], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title), int(std::strlen(title)));
    const long pid = getpid();
    XChangeProperty(display_, xid, (*atoms_)[wmPid], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);

    const WindowRole role = window.attributes.role;
    Atom type = (*atoms_)[typeUtility];
    switch (role) {
    case WindowRole::normal:
        type = (*atoms_)[typeNormal];
        break;
    case WindowRole::alert:
        type = (*atoms_)[typeDialog];
        break;
    case WindowRole::statusBar:
        type = (*atoms_)[typeDock];
        break;
    case WindowRole::menu:
    case WindowRole::popover:
        type = (*atoms_)[typePopupMenu];
        break;
    case WindowRole::toolTip:
        type = (*atoms_)[typeToolTip];
        break;
    case WindowRole::panel:
        type = (*atoms_)[typeUtility];
        break;
    }
    XChangeProperty(display_, xid, (*atoms_)[wmWindowType], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);

    // A window manager closes a window that does not take part in this protocol by killing the
    // whole program; the request is taken and ignored instead, as our windows close themselves.
    Atom protocols[] = {(*atoms_)[wmDeleteWindow]};
    XSetWMProtocols(display_, xid, protocols, 1);

    // Our windows draw everything themselves; no window manager decoration.
    const long motif[5] = {2, 0, 0, 0, 0};
    XChangeProperty(display_, xid, (*atoms_)[motifWmHints], (*atoms_)[motifWmHints], 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(motif), 5);

    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = (window.attributes.nonActivating || role == WindowRole::statusBar ||
                   role == WindowRole::toolTip)
                      ? False
                      : True;
    XSetWMHints(display_, xid, &hints);

    XSizeHints size{};
    size.flags = USPosition | PPosition | USSize | PSize;
    size.x = window.pixels.x;
    size.y = window.pixels.y;
    size.width = window.pixels.width;
    size.height = window.pixels.height;
    XSetWMNormalHints(display_, xid, &size);

    std::vector<Atom> states;
    if (role != WindowRole::normal) {
        states.push_back((*atoms_)[stateSkipTaskbar]);
        states.push_back((*atoms_)[stateSkipPager]);
    }
    if (isSticky(window))
        states.push_back((*atoms_)[stateSticky]);
    if (window.level > 0 || role == WindowRole::statusBar || role == WindowRole::popover ||
        role == WindowRole::toolTip)
        states.push_back((*atoms_)[stateAbove]);
    XChangeProperty(display_, xid, (*atoms_)[wmState], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    if (isSticky(window)) {
        const long everyDesktop = 0xffffffffL;
        XChangeProperty(display_, xid, (*atoms_)[wmDesktop], XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&everyDesktop), 1);
    }
}

bool X11WindowServer::isSticky(const NativeWindow& window) const {
    // The platform's "can join all spaces" is X's "on every desktop".
    constexpr unsigned canJoinAllSpaces = 1u << 0;
    return window.attributes.role == WindowRole::statusBar ||
           (window.attributes.collectionBehavior & canJoinAllSpaces) != 0;
}

void X11WindowServer::setCollectionBehavior(NativeWindowId id, unsigned behavior) {
    NativeWindow* window = find(id);
    if (!window || window->attributes.collectionBehavior == behavior)
        return;
    const bool wasSticky = isSticky(*window);
    window->attributes.collectionBehavior = behavior;
    const bool sticky = isSticky(*window);
    if (!window->mapped) {
        setWindowProperties(*window);
        return;
    }
    if (sticky == wasSticky || !hasWindowManager_ || window->overrideRedirect)
        return;
    // A mapped window's states belong to the window manager: ask it.
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window->xid;
    message.xclient.message_type = (*atoms_)[wmState];
    message.xclient.format = 32;
    message.xclient.data.l[0] = sticky ? 1 : 0; // add or remove
    message.xclient.data.l[1] = long((*atoms_)[stateSticky]);
    message.xclient.data.l[3] = 1; // from an application
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

void X11WindowServer::placeWindow(NativeWindow& window) {
    const RootGeometry::PixelRect pixels = geometry_.pixelsFromRect(window.frame);
    const bool resized =
        pixels.width != window.pixels.width || pixels.height != window.pixels.height;
    window.pixels = pixels;
    XMoveResizeWindow(display_, window.xid, pixels.x, pixels.y, unsigned(pixels.width),
                      unsigned(pixels.height));
    if (resized)
        cairo_xlib_surface_set_size(window.surface, pixels.width, pixels.height);
    if (window.attributes.role == WindowRole::statusBar)
        updateStrut(window);
}

void X11WindowServer::updateStrut(NativeWindow& window) {
    // left, right, top, bottom, then the start and end of each: the bar reserves the top edge
    // down to its own bottom, over its own width only.
    long strut[12] = {};
    strut[2] = window.pixels.y + window.pixels.height;
    strut[8] = window.pixels.x;
    strut[9] = window.pixels.x + window.pixels.width - 1;
    XChangeProperty(display_, window.xid, (*atoms_)[wmStrutPartial], XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 12);
    XChangeProperty(display_, window.xid, (*atoms_)[wmStrut], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 4);
}

void X11WindowServer::destroyWindow(NativeWindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end())
        return;
    const ::Window xid = it->second->xid;
    windows_.erase(it);
    if (keyWindow_ == id)
        keyWindow_.reset();
    XDestroyWindow(display_, xid);
}

void X11WindowServer::setFrame(NativeWindowId id, const gfx::Rect& frame) {
    NativeWindow* window = find(id);
    if (!window || window->frame == frame)
        return;
    window->frame = frame;
    placeWindow(*window);
}

void X11WindowServer::setLevel(NativeWindowId id, int level) {
    NativeWindow* window = find(id);
    if (!window || window->level == level)
        return;
    window->level = level;
    if (!window->mapped)
        setWindowProperties(*window);
    else
        restack();
}

void X11WindowServer::setAlpha(NativeWindowId id, double alpha) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    window->alpha = alpha;
    if (alpha >= 1) {
        XDeleteProperty(display_, window->xid, (*atoms_)[wmWindowOpacity]);
        return;
    }
    const unsigned long opacity =
        static_cast<unsigned long>(std::clamp(alpha, 0.0, 1.0) * double(0xffffffffu));
    XChangeProperty(display_, window->xid, (*atoms_)[wmWindowOpacity], XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&opacity), 1);
}

void X11WindowServer::setIgnoresMouseEvents(NativeWindowId id, bool ignores) {
    NativeWindow* window = find(id);
    if (!window || window->ignoresMouseEvents == ignores)
        return;
    window->ignoresMouseEvents = ignores;
    if (ignores) {
        // An empty input shape: the pointer passes through to whatever lies below.
        XserverRegion empty = XFixesCreateRegion(display_, nullptr, 0);
        XFixesSetWindowShapeRegion(display_, window->xid, ShapeInput, 0, 0, empty);
        XFixesDestroyRegion(display_, empty);
    } else {
        XShapeCombineMask(display_, window->xid, ShapeInput, 0, 0, None, ShapeSet);
    }
}

void X11WindowServer::orderFront(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    window->stackOrder = nextStackOrder_++;
    if (!window->mapped) {
        setWindowProperties(*window);
        placeWindow(*window);
        XMapWindow(display_, window->xid);
        window->mapped = true;
    }
    restack();
}

void X11WindowServer::orderOut(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window || !window->mapped)
        return;
    window->mapped = false;
    window->focusWhenMapped = false;
    if (keyWindow_ == id)
        keyWindow_.reset();
    if (window->overrideRedirect)
        XUnmapWindow(display_, window->xid);
    else
        XWithdrawWindow(display_, window->xid, screenNumber_);
}

void X11WindowServer::restack() {
    std::vector<NativeWindow*> shown;
    for (auto& [id, window] : windows_) {
        if (window->mapped)
            shown.push_back(window.get());
    }
    std::sort(shown.begin(), shown.end(), [](const NativeWindow* a, const NativeWindow* b) {
        if (a->level != b->level)
            return a->level > b->level;
        return a->stackOrder > b->stackOrder;
    });
    if (shown.empty())
        return;
    // A window manager stacks its frames itself: raise from the bottom up and let it keep the
    // levels through the "above" state; on a bare server restack our windows exactly.
    if (hasWindowManager_) {
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            XRaiseWindow(display_, (*it)->xid);
        return;
    }
    XRaiseWindow(display_, shown.front()->xid);
    std::vector<::Window> order;
    for (NativeWindow* window : shown)
        order.push_back(window->xid);
    XRestackWindows(display_, order.data(), int(order.size()));
}

void X11WindowServer::makeKey(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    keyWindow_ = id;
    if (!window->mapped) {
        window->focusWhenMapped = true;
        return;
    }
    if (hasWindowManager_ && !window->overrideRedirect) {
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = window->xid;
        message.xclient.message_type = (*atoms_)[activeWindow];
        message.xclient.format = 32;
        message.xclient.data.l[0] = 1; // from an application
        message.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &message);
    }
    XSetInputFocus(display_, window->xid, RevertToParent, CurrentTime);
}

// MARK: Drawing

void X11WindowServer::present(NativeWindowId id, cairo_surface_t* backing, const gfx::Rect& dirty) {
    NativeWindow* window = find(id);
    if (!window || !backing)
        return;
    if (window->backing != backing) {
        cairo_surface_reference(backing);
        if (window->backing)
            cairo_surface_destroy(window->backing);
        window->backing = backing;
        // Solid pixels drawn from another backing no longer answer exposures.
        if (window->solid) {
            cairo_surface_destroy(window->solid);
            window->solid = nullptr;
        }
    }
    const int wide = cairo_image_surface_get_width(backing);
    const int high = cairo_image_surface_get_height(backing);
    if (window->frame.width() <= 0 || window->frame.height() <= 0 || wide <= 0 || high <= 0)
        return;
    const double sx = wide / window->frame.width();
    const double sy = high / window->frame.height();
    // Window points are y-up from the bottom-left; the backing's rows run from the top.
    const gfx::Rect area = dirty.standardized();
    const int left = std::max(0, int(std::floor(area.minX() * sx)));
    const int right = std::min(wide, int(std::ceil(area.maxX() * sx)));
    const int top = std::max(0, int(std::floor((window->frame.height() - area.maxY()) * sy)));
    const int bottom = std::min(high, int(std::ceil((window->frame.height() - area.minY()) * sy)));
    if (left >= right || top >= bottom)
        return;
    paint(*window, left, top, right - left, bottom - top, true);
}

void X11WindowServer::paint(NativeWindow& window, int x, int y, int width, int height,
                            bool reshape) {
    if (!window.backing || width <= 0 || height <= 0)
        return;
    std::vector<PixelSpan> spans;
    PixelBox paintArea{x, y, width, height};
    if (window.shaped) {
        const int wide = cairo_image_surface_get_width(window.backing);
        const int high = cairo_image_surface_get_height(window.backing);
        const int right = std::min(x + width, wide);
        const int bottom = std::min(y + height, high);
        x = std::max(x, 0);
        y = std::max(y, 0);
        width = right - x;
        height = bottom - y;
        if (width <= 0 || height <= 0)
            return;
        paintArea = {x, y, width, height};
        const bool whole = x == 0 && y == 0 && width == wide && height == high;
        const bool fresh = !window.solid;
        if (fresh) {
            window.solid = cairo_image_surface_create(CAIRO_FORMAT_RGB24, wide, high);
            // Exposures may ask for any part of it later.
            if (!reshape || !whole)
                solidifyTranslucentPixels(window.backing, 0, 0, wide, high, window.solid);
        }
        if (reshape) {
            // Solidify straight into the area of the window's solid copy.
            unsigned char* data = cairo_image_surface_get_data(window.solid);
            const int stride = cairo_image_surface_get_stride(window.solid);
            cairo_surface_t* area = cairo_image_surface_create_for_data(
                data + std::ptrdiff_t(y) * stride + std::ptrdiff_t(x) * 4, CAIRO_FORMAT_RGB24,
                width, height, stride);
            PixelBox changed;
            spans = solidifyTranslucentPixels(window.backing, x, y, width, height, area, &changed);
            cairo_surface_destroy(area);
            cairo_surface_mark_dirty_rectangle(window.solid, x, y, width, height);
            // The window already shows the solid copy as it was: only pixels that changed in it
            // go to the server. A fresh copy was never sent.
            if (!fresh)
                paintArea = {x + changed.x, y + changed.y, changed.width, changed.height};
        }
    }
    if (!paintArea.isEmpty() && window.shaped && solidGC_) {
        // Straight from the solid copy: no shared-memory upload, whose completion event would
        // wake the loop once more for every present.
        const int stride = cairo_image_surface_get_stride(window.solid);
        XImage* image =
            XCreateImage(display_, DefaultVisual(display_, screenNumber_), 24, ZPixmap, 0,
                         reinterpret_cast<char*>(cairo_image_surface_get_data(window.solid)),
                         unsigned(cairo_image_surface_get_width(window.solid)),
                         unsigned(cairo_image_surface_get_height(window.solid)), 32, stride);
        if (image) {
            XPutImage(display_, window.xid, solidGC_, image, paintArea.x, paintArea.y, paintArea.x,
                      paintArea.y, unsigned(paintArea.width), unsigned(paintArea.height));
            // The pixels belong to the solid copy.
            image->data = nullptr;
            XDestroyImage(image);
            paintArea = {};
        }
    }
    if (!paintArea.isEmpty()) {
        cairo_t* cr = cairo_create(window.surface);
        cairo_rectangle(cr, paintArea.x, paintArea.y, paintArea.width, paintArea.height);
        cairo_clip(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, window.shaped ? window.solid : window.backing, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(window.surface);
    }
    // Every change of the bounding shape makes the server expose the window again, so the
    // shape is sent only when the kept pixels differ from what it holds.
    if (window.shaped && reshape && window.shape.replace(x, y, width, height, spans)) {
        XRectangle area{short(x), short(y), static_cast<unsigned short>(width),
                        static_cast<unsigned short>(height)};
        XShapeCombineRectangles(display_, window.xid, ShapeBounding, 0, 0, &area, 1, ShapeSubtract,
                                Unsorted);
        std::vector<XRectangle> kept;
        kept.reserve(spans.size());
        for (const PixelSpan& span : spans)
            kept.push_back(
                {short(x + span.x), short(y + span.y), static_cast<unsigned short>(span.width), 1});
        if (!kept.empty())
            XShapeCombineRectangles(display_, window.xid, ShapeBounding, 0, 0, kept.data(),
                                    int(kept.size()), ShapeUnion, YSorted);
    }
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
    XGrabKeyboard(display_, root_, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    grabbing_ = pointer == GrabSuccess;
}

// MARK: Events

void X11WindowServer::drainEvents() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        handleEvent(&event);
    }
}

void X11WindowServer::deliverPointer(EventType type, std::optional<NativeWindowId> window,
                                     gfx::Point location, unsigned state, int button) {
    NativeEvent native;
    Event::Fields& fields = native.fields;
    fields.type = type;
    fields.timestamp = clock_.now();
    fields.screenLocation = location;
    if (!monitors_.empty()) {
        const gfx::Rect primary = screens().front().frame;
        fields.topLeftLocation = gfx::Point{location.x, primary.maxY() - location.y};
    }
    fields.modifierFlags = modifierFlagsFromState(state);
    fields.buttonNumber = button;
    const bool press = type == EventType::leftMouseDown || type == EventType::rightMouseDown ||
                       type == EventType::otherMouseDown;
    const bool release = type == EventType::leftMouseUp || type == EventType::rightMouseUp ||
                         type == EventType::otherMouseUp;
    if (press) {
        const bool again = lastClick_.button == button &&
                           fields.timestamp - lastClick_.time <= doubleClickInterval &&
                           location.distanceTo(lastClick_.location) <= doubleClickDistance;
        lastClick_ = {button, fields.timestamp, location, again ? lastClick_.count + 1 : 1};
        fields.clickCount = lastClick_.count;
    } else if (release) {
        fields.clickCount = lastClick_.button == button ? lastClick_.count : 1;
    }
    native.window = window;
    deliver(native);
}

namespace {

EventType pressType(int button) {
    return button == 1 ? EventType::leftMouseDown
                       : (button == 3 ? EventType::rightMouseDown : EventType::otherMouseDown);
}

EventType releaseType(int button) {
    return button == 1 ? EventType::leftMouseUp
                       : (button == 3 ? EventType::rightMouseUp : EventType::otherMouseUp);
}

// The platform's button numbers: 0 left, 1 right, 2 the middle one.
int platformButton(unsigned xButton) {
    return xButton == 1 ? 0 : (xButton == 3 ? 1 : 2);
}

EventType motionType(unsigned state) {
    if (state & Button1Mask)
        return EventType::leftMouseDragged;
    if (state & Button3Mask)
        return EventType::rightMouseDragged;
    if (state & Button2Mask)
        return EventType::otherMouseDragged;
    return EventType::mouseMoved;
}

} // namespace

void X11WindowServer::handleEvent(void* raw) {
    XEvent& event = *static_cast<XEvent*>(raw);
    if (event.type == GenericEvent && event.xcookie.extension == xinputOpcode_) {
        if (XGetEventData(display_, &event.xcookie)) {
            handleRawEvent(&event.xcookie);
            XFreeEventData(display_, &event.xcookie);
        }
        return;
    }
    if (randrEventBase_ >= 0 && (event.type == randrEventBase_ + RRScreenChangeNotify ||
                                 event.type == randrEventBase_ + RRNotify)) {
        XRRUpdateConfiguration(&event);
        readDesktop();
        refreshScreens();
        return;
    }
    if (xfixesEventBase_ >= 0 && event.type == xfixesEventBase_ + XFixesSelectionNotify) {
        readXSettings();
        readDesktop();
        refreshScreens();
        applyDesktopSettings();
        return;
    }
    const NativeWindowId id = windowFor(event.xany.window);
    NativeWindow* window = id ? find(id) : nullptr;
    // Where an event inside one of our windows is, in global points: measured from the frame the
    // toolkit gave the window, so a status bar moved below another panel still reads right.
    auto locate = [&](int x, int y, int rootX, int rootY) {
        if (!window)
            return geometry_.pointFromPixel(rootX, rootY);
        const double scale = geometry_.scale();
        return gfx::Point{window->frame.minX() + x / scale,
                          window->frame.minY() + window->frame.height() - y / scale};
    };
    auto target = [&]() { return id ? std::optional(id) : std::nullopt; };

    switch (event.type) {
    case Expose:
        // A shape change exposes many small rectangles at once; repaint their union once, when
        // the last of the series arrives.
        if (window) {
            const XExposeEvent& expose = event.xexpose;
            std::array<int, 4> area{expose.x, expose.y, expose.x + expose.width,
                                    expose.y + expose.height};
            if (window->exposed) {
                const std::array<int, 4>& seen = *window->exposed;
                area = {std::min(area[0], seen[0]), std::min(area[1], seen[1]),
                        std::max(area[2], seen[2]), std::max(area[3], seen[3])};
            }
            window->exposed = area;
            if (expose.count == 0) {
                window->exposed.reset();
                paint(*window, area[0], area[1], area[2] - area[0], area[3] - area[1], false);
            }
        }
        break;
    case MapNotify:
        if (event.xmap.event == root_) {
            if (!event.xmap.override_redirect && !isOurs(event.xmap.window))
                refreshScreens();
            break;
        }
        if (window && window->focusWhenMapped) {
            window->focusWhenMapped = false;
            XSetInputFocus(display_, window->xid, RevertToParent, CurrentTime);
        }
        break;
    case ButtonPress:
    case ButtonRelease: {
        const XButtonEvent& button = event.xbutton;
        if (button.button > 3)
            break;
        const gfx::Point location = locate(button.x, button.y, button.x_root, button.y_root);
        const int number = platformButton(button.button);
        deliverPointer(event.type == ButtonPress ? pressType(int(button.button))
                                                 : releaseType(int(button.button)),
                       target(), location, button.state, number);
        break;
    }
    case MotionNotify: {
        // Only the latest position of a burst matters.
        while (XCheckTypedWindowEvent(display_, event.xany.window, MotionNotify, &event)) {
        }
        const XMotionEvent& motion = event.xmotion;
        deliverPointer(motionType(motion.state), target(),
                       locate(motion.x, motion.y, motion.x_root, motion.y_root), motion.state, 0);
        break;
    }
    case EnterNotify:
    case LeaveNotify: {
        const XCrossingEvent& crossing = event.xcrossing;
        if (crossing.mode != NotifyNormal)
            break;
        // Entering reports the position inside the window; leaving reports it as outside every
        // window of ours, so the toolkit ends hover and tracking areas.
        const bool entering = event.type == EnterNotify;
        const gfx::Point location =
            entering ? locate(crossing.x, crossing.y, crossing.x_root, crossing.y_root)
                     : geometry_.pointFromPixel(crossing.x_root, crossing.y_root);
        deliverPointer(motionType(crossing.state), entering ? target() : std::nullopt, location,
                       crossing.state, 0);
        break;
    }
    case KeyPress:
    case KeyRelease: {
        XKeyEvent& key = event.xkey;
        const bool press = event.type == KeyPress;
        NativeEvent native;
        Event::Fields& fields = native.fields;
        fields.timestamp = clock_.now();
        fields.screenLocation = geometry_.pointFromPixel(key.x_root, key.y_root);
        const KeySym plainSymbol = XLookupKeysym(&key, 0);
        // The state is the one before this key; a modifier key reports the state after it.
        if (const unsigned mask = modifierMaskForKeysym(plainSymbol)) {
            const unsigned after = press ? (key.state | mask) : (key.state & ~mask);
            fields.type = EventType::flagsChanged;
            fields.modifierFlags = modifierFlagsFromState(mask == LockMask ? key.state : after);
            fields.keyCode = keyCodeForKeysym(plainSymbol).value_or(-1);
            native.window = keyWindow_ ? keyWindow_ : target();
            deliver(native);
            break;
        }
        fields.type = press ? EventType::keyDown : EventType::keyUp;
        fields.modifierFlags = modifierFlagsFromState(key.state);
        const unsigned original = key.state;
        KeySym typed = NoSymbol;
        char buffer[16];
        key.state = characterState(original, false);
        XLookupString(&key, buffer, sizeof buffer, &typed, nullptr);
        fields.characters = charactersForKeysym(typed);
        KeySym plain = NoSymbol;
        key.state = characterState(original, true);
        XLookupString(&key, buffer, sizeof buffer, &plain, nullptr);
        fields.charactersIgnoringModifiers = charactersForKeysym(plain);
        key.state = original;
        fields.keyCode = keyCodeForKeysym(plainSymbol).value_or(-1);
        // With detectable auto-repeat a held key sends presses only, no releases between them.
        const unsigned code = key.keycode & 0xffu;
        if (press) {
            fields.isARepeat = keysDown_.test(code);
            keysDown_.set(code);
        } else {
            keysDown_.reset(code);
        }
        // Keys belong to the key window, as the platform's do, whatever X focused.
        native.window = keyWindow_ ? keyWindow_ : target();
        deliver(native);
        break;
    }
    case FocusOut: {
        const XFocusChangeEvent& focus = event.xfocus;
        if (!window || focus.mode != NotifyNormal || focus.detail == NotifyInferior)
            break;
        // The focus went to another program: the application is no longer active.
        ::Window focused = None;
        int revert = 0;
        XGetInputFocus(display_, &focused, &revert);
        Application* app = Application::current();
        if (app && !isOurs(focused))
            app->deactivate();
        break;
    }
    case PropertyNotify: {
        const Atom property = event.xproperty.atom;
        if (event.xproperty.window == xsettingsOwner_ && property == (*atoms_)[xsettingsSettings]) {
            readXSettings();
            applyDesktopSettings();
            break;
        }
        if (event.xproperty.window != root_)
            break;
        if (property == (*atoms_)[currentDesktop]) {
            if (Application* app = Application::current())
                app->workspace().post(WorkspaceNotification::activeSpaceDidChange);
        } else if (property == (*atoms_)[activeWindow]) {
            if (Application* app = Application::current())
                app->workspace().post(WorkspaceNotification::didActivateApplication);
        } else if (property == (*atoms_)[clientList] || property == (*atoms_)[workArea] ||
                   property == (*atoms_)[supportingWmCheck]) {
            hasWindowManager_ =
                !cardinals(display_, root_, (*atoms_)[supportingWmCheck], XA_WINDOW).empty();
            refreshScreens();
        } else if (property == (*atoms_)[resourceManager]) {
            readDesktop();
            refreshScreens();
        }
        break;
    }
    case UnmapNotify:
        if (event.xunmap.event == root_ && !isOurs(event.xunmap.window))
            refreshScreens();
        break;
    case DestroyNotify:
        if (event.xdestroywindow.event == root_ && !isOurs(event.xdestroywindow.window))
            refreshScreens();
        if (event.xdestroywindow.window == xsettingsOwner_) {
            readXSettings();
            applyDesktopSettings();
        }
        break;
    case ConfigureNotify:
        if (event.xconfigure.window == root_ && randrEventBase_ < 0) {
            readDesktop();
            refreshScreens();
        }
        break;
    default:
        break;
    }
}

void X11WindowServer::selectRawMotion(bool select) {
    if (select == rawMotionSelected_ || xinputOpcode_ < 0)
        return;
    rawMotionSelected_ = select;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    if (select)
        XISetMask(bits, XI_RawMotion);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XISelectEvents(display_, root_, &mask, 1);
}

void X11WindowServer::handleRawEvent(void* data) {
    const XGenericEventCookie& cookie = *static_cast<XGenericEventCookie*>(data);
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    const bool press = cookie.evtype == XI_RawButtonPress;
    const bool release = cookie.evtype == XI_RawButtonRelease;
    const bool motion = cookie.evtype == XI_RawMotion;
    if (!press && !release && !motion)
        return;
    const unsigned button = unsigned(raw->detail);
    if ((press || release) && (button < 1 || button > 3))
        return;
    if (press)
        rawButtonsDown_ |= 1u << button;
    if (release)
        rawButtonsDown_ &= ~(1u << button);
    // Drags are watched only while a button is down: motion selected always would wake the
    // process on every pointer move anywhere on the desktop.
    selectRawMotion(rawButtonsDown_ != 0);
    // While a menu grabs the pointer, the same click also arrives as a core event.
    if (grabbing_)
        return;

    ::Window rootReturn = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned state = 0;
    XQueryPointer(display_, root_, &rootReturn, &child, &rootX, &rootY, &x, &y, &state);
    // The application's own windows get their events as core events; global monitors never see
    // them. A window manager's frame holds our window one or two levels down.
    auto ours = [&](::Window candidate) {
        for (int depth = 0; depth < 3 && candidate != None; ++depth) {
            if (isOurs(candidate))
                return true;
            ::Window pointerRoot = 0, inner = None;
            int a = 0, b = 0, c = 0, d = 0;
            unsigned m = 0;
            XQueryPointer(display_, candidate, &pointerRoot, &inner, &a, &b, &c, &d, &m);
            candidate = inner;
        }
        return false;
    };
    if (ours(child))
        return;
    // The state still holds the button while it is being released, and may not hold it yet
    // while it is being pressed; the type says which.
    const gfx::Point location = geometry_.pointFromPixel(rootX, rootY);
    if (press)
        deliverPointer(pressType(int(button)), std::nullopt, location, state,
                       platformButton(button));
    else if (release)
        deliverPointer(releaseType(int(button)), std::nullopt, location, state,
                       platformButton(button));
    else
        deliverPointer(motionType(state), std::nullopt, location, state, 0);
}

} // namespace ui::x11
