#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/DrawnArea.h"
#include "platform/toolkit/x11/InputMethod.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <cairo-xlib.h>
#include <unistd.h>
#include <utility>

// Our windows on the X server: making them and making them again, their kinds, hints and states,
// their level, alpha and input, and taking them apart.

namespace ui::x11 {

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
    if (const NativeWindow* found = find(window)) {
        const NativeWindow* host = found->host ? find(found->host) : nullptr;
        return host ? host->xid : found->xid;
    }
    return std::nullopt;
}

NativeWindowId X11WindowServer::createWindow(const gfx::Rect& frame,
                                             const NativeWindowAttributes& attributes) {
    auto window = std::make_unique<NativeWindow>();
    window->attributes = attributes;
    window->frame = frame;
    window->pixels = geometry_.pixelsFromRect(frame);
    window->overrideRedirect = windowKind(attributes, frame.size, false).overrideRedirect;

    makeXWindow(*window);
    const NativeWindowId id = nextId_++;
    window->id = id;
    NativeWindow& stored = *window;
    windows_[id] = std::move(window);
    setWindowProperties(stored);
    if (stored.attributes.role == WindowRole::statusBar)
        placeWindow(stored);
    return id;
}

void X11WindowServer::makeXWindow(NativeWindow& window) {
    XVisualInfo visualInfo{};
    const bool translucent = !window.attributes.opaque;
    window.argb = translucent && composited_ &&
                  XMatchVisualInfo(display_, screenNumber_, 32, TrueColor, &visualInfo);
    window.shaped = translucent && !window.argb;

    XSetWindowAttributes set{};
    unsigned long mask = CWEventMask | CWOverrideRedirect | CWBackPixmap | CWBitGravity;
    set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                     EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                     StructureNotifyMask | FocusChangeMask | VisibilityChangeMask;
    set.override_redirect = window.overrideRedirect ? True : False;
    set.background_pixmap = None;
    // A resize forgets the contents and paints the background, which holds the pixels drawn for
    // the new size by then (landResize): old pixels never show at a new offset.
    set.bit_gravity = ForgetGravity;
    Visual* visual = DefaultVisual(display_, screenNumber_);
    int depth = DefaultDepth(display_, screenNumber_);
    if (window.argb) {
        visual = visualInfo.visual;
        depth = 32;
        window.colormap = XCreateColormap(display_, root_, visual, AllocNone);
        set.colormap = window.colormap;
        set.border_pixel = 0;
        set.background_pixel = 0;
        mask = (mask & ~static_cast<unsigned long>(CWBackPixmap)) | CWColormap | CWBorderPixel |
               CWBackPixel;
    }
    const RootGeometry::PixelRect& pixels = window.pixels;
    window.sentPixels = pixels;
    window.madeAt = pixels;
    window.insetX = 0;
    window.insetY = 0;
    window.viewable = false;
    window.xid = XCreateWindow(display_, root_, pixels.x, pixels.y, unsigned(pixels.width),
                               unsigned(pixels.height), 0, depth, InputOutput, visual, mask, &set);
    window.surface.reset(
        cairo_xlib_surface_create(display_, window.xid, visual, pixels.width, pixels.height));
    if (!cairoDevice_)
        cairoDevice_.reset(cairo_device_reference(cairo_surface_get_device(window.surface)));
    if (window.shaped) {
        // Nothing shows until something is drawn.
        XShapeCombineRectangles(display_, window.xid, ShapeBounding, 0, 0, nullptr, 0, ShapeSet,
                                Unsorted);
    }
    if (cursors_.count(cursor_))
        XDefineCursor(display_, window.xid, cursors_[cursor_]);
}

void X11WindowServer::followCompositor() {
    const bool composited = hasCompositor();
    if (composited == composited_)
        return;
    composited_ = composited;
    // Without a compositor and the desktop's picture, nothing can show through a translucent
    // window: the application draws its glass solid.
    if (!desktopPicture_)
        post(ServerNotice::desktopSettingsChanged);
    std::vector<NativeWindowId> translucent;
    for (const auto& [id, window] : windows_) {
        if (!window->attributes.opaque)
            translucent.push_back(id);
    }
    // A window's visual is fixed when it is made: each translucent window is made again, with
    // alpha now that a compositor blends it, or solid and shaped now that none does.
    for (NativeWindowId id : translucent)
        remakeXWindow(*find(id));
    // The windows that kept their X window follow too: alpha 0 hides them only where nothing
    // blends it.
    for (const auto& [id, window] : windows_)
        applyAlphaVisibility(*window);
    restack();
}

void X11WindowServer::remakeXWindow(NativeWindow& window) {
    const ::Window old = window.xid;
    const unsigned long oldColormap = std::exchange(window.colormap, 0);
    window.surface.reset();
    window.solid.reset();
    window.shape = KeptPixels{};
    window.exposed.reset();
    window.veil.reset();
    if (window.backgroundPixmap)
        XFreePixmap(display_, std::exchange(window.backgroundPixmap, 0));
    // A manager that held the window stretched (i3 gives docks the screen's width) holds the new
    // one so too: its pixels go where they belong in it from the first, not at its left edge
    // until the manager's answer comes.
    const std::optional<RootGeometry::PixelRect> held = window.lastShown;
    const bool stretched =
        held && placedByManager(window) && keepsOwnSize(window) &&
        (held->width > window.pixels.width || held->height > window.pixels.height);
    makeXWindow(window);
    if (stretched) {
        const DrawnArea drawn =
            drawnArea(window.pixels, *held, true, {0, 0, rootWidth_, rootHeight_});
        window.insetX = drawn.insetX;
        window.insetY = drawn.insetY;
        cairo_surface_set_device_offset(window.surface, drawn.insetX, drawn.insetY);
    }
    window.hiddenByAlpha = false;
    setWindowProperties(window);
    if (window.ignoresMouseEvents) {
        window.ignoresMouseEvents = false;
        setIgnoresMouseEvents(window.id, true);
    }
    if (window.alpha < 1)
        setAlpha(window.id, window.alpha);
    if (window.attributes.role == WindowRole::statusBar)
        updateStrut(window);
    if (window.mapped && !window.host && !window.mapHeld) {
        XMapWindow(display_, window.xid);
        window.wholeUntil = clock_.now() + madeAgainSettling;
        // Sent again whole once the manager has shown it, not only with the next new picture (a
        // resize on its way sends it whole as it lands).
        loop_.queue().asyncAfter(
            refusalPatience, [this, alive = std::weak_ptr<int>(alive_), id = window.id] {
                NativeWindow* shown = alive.expired() ? nullptr : find(id);
                if (shown && shown->mapped && shown->backing && !shown->pendingPixels)
                    paint(*shown, 0, 0, 1, 1, false);
            });
        if (keyWindow_ == window.id)
            window.focusWhenMapped = true;
        // The new window's shape (and, once shown, its pixels) from the last backing.
        if (window.backing)
            paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
                  cairo_image_surface_get_height(window.backing), true);
    }
    if (inputMethod_)
        inputMethod_->windowDestroyed(old);
    XDestroyWindow(display_, old);
    if (oldColormap)
        XFreeColormap(display_, oldColormap);
}

void X11WindowServer::setWindowProperties(NativeWindow& window) {
    const ::Window xid = window.xid;
    XClassHint classHint{const_cast<char*>("pulsedeck"), const_cast<char*>("Pulsedeck")};
    XSetClassHint(display_, xid, &classHint);
    XChangeProperty(display_, xid, (*atoms_)[wmName], (*atoms_)[utf8String], 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(window.title.data()),
                    int(window.title.size()));
    const long pid = getpid();
    XChangeProperty(display_, xid, (*atoms_)[wmPid], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);

    const WindowRole role = window.attributes.role;
    const WindowKind kind = kindOf(window);
    const AtomIndex types[] = {typeNormal,  typeDock,   typeUtility,    typePopupMenu,
                               typeToolTip, typeDialog, typeDragPreview};
    const Atom type = (*atoms_)[types[static_cast<int>(kind.type)]];
    XChangeProperty(display_, xid, (*atoms_)[wmWindowType], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&type), 1);
    const NativeWindow* statusBar = nullptr;
    for (const auto& [id, candidate] : windows_)
        if (candidate->attributes.role == WindowRole::statusBar)
            statusBar = candidate.get();
    if (kind.transientForStatusBar && statusBar && statusBar != &window)
        XSetTransientForHint(display_, xid, statusBar->xid);
    else
        XDeleteProperty(display_, xid, XA_WM_TRANSIENT_FOR);
    // A window that must not take the focus when it shows says so with a user time of 0; a
    // manager that honours no input hint honours this (the user's window keeps the keyboard
    // after a drag-out).
    if (kind.noFocusOnMap) {
        const long never = 0;
        XChangeProperty(display_, xid, (*atoms_)[wmUserTime], XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&never), 1);
    } else {
        XDeleteProperty(display_, xid, (*atoms_)[wmUserTime]);
    }

    // A window manager closes a window that does not take part in this protocol by killing the
    // whole program; taking part, the request reaches the window, which closes only if closable.
    // A window that never takes the keyboard is "globally active" (input hint false, with
    // WM_TAKE_FOCUS): a manager that focuses it anyway (i3 when the pointer enters it) only asks,
    // and the request is left unanswered, so the user's window keeps the focus.
    Atom protocols[] = {(*atoms_)[wmDeleteWindow], (*atoms_)[wmTakeFocus]};
    XSetWMProtocols(display_, xid, protocols, kind.acceptsFocus ? 1 : 2);

    // A compositor casts a shadow under every window it draws, those without one of their own
    // too: the drag's overlay would throw a box of shadow around the strip it carries. A window
    // without a shadow says so in the property the compositors of the compton line read.
    if (!window.attributes.hasShadow) {
        const long noShadow = 0;
        XChangeProperty(display_, xid, (*atoms_)[compositorShadow], XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&noShadow), 1);
    }

    // Our windows draw everything themselves; no window manager decoration.
    const long motif[5] = {2, 0, 0, 0, 0};
    XChangeProperty(display_, xid, (*atoms_)[motifWmHints], (*atoms_)[motifWmHints], 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(motif), 5);

    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = kind.acceptsFocus ? True : False;
    XSetWMHints(display_, xid, &hints);

    setSizeHints(window);

    std::vector<Atom> states;
    if (role != WindowRole::normal) {
        states.push_back((*atoms_)[stateSkipTaskbar]);
        states.push_back((*atoms_)[stateSkipPager]);
    }
    if (isSticky(window))
        states.push_back((*atoms_)[stateSticky]);
    if (keepsAbove(window))
        states.push_back((*atoms_)[stateAbove]);
    XChangeProperty(display_, xid, (*atoms_)[wmState], XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()), int(states.size()));
    if (isSticky(window)) {
        const long everyDesktop = 0xffffffffL;
        XChangeProperty(display_, xid, (*atoms_)[wmDesktop], XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&everyDesktop), 1);
    }
    setIconProperty(window);
}

WindowKind X11WindowServer::kindOf(const NativeWindow& window) const {
    return windowKind(window.attributes, window.frame.size, window.ignoresMouseEvents);
}

bool X11WindowServer::keepsAbove(const NativeWindow& window) const {
    const WindowRole role = window.attributes.role;
    return window.level > 0 || role == WindowRole::statusBar || role == WindowRole::popover ||
           role == WindowRole::toolTip;
}

bool X11WindowServer::isSticky(const NativeWindow& window) const {
    // The toolkit's "can join all spaces" is X's "on every desktop".
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
    if (sticky != wasSticky)
        askWindowManagerState(*window, (*atoms_)[stateSticky], sticky);
}

void X11WindowServer::askWindowManagerState(NativeWindow& window, unsigned long state, bool add) {
    if (!hasWindowManager_ || window.overrideRedirect)
        return;
    // A mapped window's states belong to the window manager: ask it.
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = window.xid;
    message.xclient.message_type = (*atoms_)[wmState];
    message.xclient.format = 32;
    message.xclient.data.l[0] = add ? 1 : 0; // add or remove
    message.xclient.data.l[1] = long(state);
    message.xclient.data.l[3] = 1; // from an application
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
}

void X11WindowServer::destroyWindow(NativeWindowId id) {
    auto it = windows_.find(id);
    if (it == windows_.end())
        return;
    const ::Window xid = it->second->xid;
    const std::unique_ptr<NativeWindow> gone = std::move(it->second);
    if (gone->colormap)
        XFreeColormap(display_, gone->colormap);
    if (gone->backgroundPixmap)
        XFreePixmap(display_, gone->backgroundPixmap);
    windows_.erase(it);
    if (pressedGuest_ == id)
        pressedGuest_.reset();
    if (gone->host && gone->mapped) {
        gone->mapped = false;
        repaintHostUnder(*gone);
    }
    if (inputMethod_)
        inputMethod_->windowDestroyed(xid);
    if (keyWindow_ == id) {
        keyWindow_.reset();
        giveFocusBack(xid);
    }
    XDestroyWindow(display_, xid);
}

void X11WindowServer::setLevel(NativeWindowId id, int level) {
    NativeWindow* window = find(id);
    if (!window || window->level == level)
        return;
    const bool wasAbove = keepsAbove(*window);
    window->level = level;
    if (!window->mapped) {
        setWindowProperties(*window);
        return;
    }
    // Under a window manager the level lives on as the "above" state (a bar taken off the
    // floating level must drop it while shown).
    if (keepsAbove(*window) != wasAbove)
        askWindowManagerState(*window, (*atoms_)[stateAbove], !wasAbove);
    restack();
}

void X11WindowServer::setAlpha(NativeWindowId id, double alpha) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    window->alpha = alpha;
    if (window->host && window->mapped) {
        repaintHostUnder(*window);
        return;
    }
    if (alpha >= 1) {
        XDeleteProperty(display_, window->xid, (*atoms_)[wmWindowOpacity]);
    } else {
        const unsigned long opacity =
            static_cast<unsigned long>(std::clamp(alpha, 0.0, 1.0) * double(0xffffffffu));
        XChangeProperty(display_, window->xid, (*atoms_)[wmWindowOpacity], XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&opacity), 1);
    }
    applyAlphaVisibility(*window);
}

void X11WindowServer::applyAlphaVisibility(NativeWindow& window) {
    const bool hide = !composited_ && window.alpha <= 0;
    if (hide == window.hiddenByAlpha)
        return;
    window.hiddenByAlpha = hide;
    if (hide) {
        XShapeCombineRectangles(display_, window.xid, ShapeBounding, 0, 0, nullptr, 0, ShapeSet,
                                Unsorted);
    } else if (!window.shaped) {
        XShapeCombineMask(display_, window.xid, ShapeBounding, 0, 0, None, ShapeSet);
    } else {
        // A shaped window's outline comes back from the pixels it last showed.
        window.shape = KeptPixels{};
        if (window.backing)
            paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
                  cairo_image_surface_get_height(window.backing), true);
    }
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

void X11WindowServer::setTitle(NativeWindowId id, const std::string& title) {
    NativeWindow* window = find(id);
    if (!window || window->title == title)
        return;
    window->title = title;
    XChangeProperty(display_, window->xid, (*atoms_)[wmName], (*atoms_)[utf8String], 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                    int(title.size()));
    XStoreName(display_, window->xid, title.c_str());
}

} // namespace ui::x11
