#include "platform/toolkit/x11/InputMethod.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cairo-xlib.h>
#include <utility>

// Showing and hiding our windows: mapping them, keeping them stacked as their levels say, and the
// keyboard focus.

namespace ui::x11 {

void X11WindowServer::orderFront(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    if (!window->mapped && (window->host = hostFor(*window))) {
        window->stackOrder = nextStackOrder_++;
        window->pixels = geometry_.pixelsFromRect(window->frame);
        window->mapped = true;
        repaintHostUnder(*window);
        return;
    }
    if (window->host) {
        // The strip raises its panels every second; one already above the host's other guests
        // of its level shows no pixel differently, and composing the host again for it cost a
        // tenth of the program's processor time.
        const bool alreadyTop =
            std::none_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
                const NativeWindow& other = *entry.second;
                return &other != window && other.host == window->host && other.mapped &&
                       other.level == window->level && other.stackOrder > window->stackOrder;
            });
        if (alreadyTop)
            return;
        window->stackOrder = nextStackOrder_++;
        repaintHostUnder(*window);
        return;
    }
    window->stackOrder = nextStackOrder_++;
    if (!window->mapped) {
        // Whether a panel only shows something under the pointer is known once it is made. A
        // window manager may read the flag only as the X window is made (weston's keeps such a
        // window where it first maps it, and each showing leaves a copy there): it is made again.
        if (const bool overrideRedirect = kindOf(*window).overrideRedirect;
            overrideRedirect != window->overrideRedirect) {
            window->overrideRedirect = overrideRedirect;
            remakeXWindow(*window);
        }
        setWindowProperties(*window);
        placeWindow(*window);
        window->mapped = true;
        // A window manager may keep a window where it first maps it (weston's moves it no more):
        // the first map waits for the end of the turn, when the place and size a window opening
        // is given (a strip whose items come one by one) are all in.
        // So does the bar each time it shows, with the panels laid over it then: shown at once,
        // it showed what it drew without them for a moment (the strip without its glass).
        if ((!window->everShown && hasWindowManager_ && !window->overrideRedirect) ||
            window->attributes.role == WindowRole::statusBar)
            window->mapHeld = true;
        else
            mapXWindow(*window);
    }
    restack();
}

void X11WindowServer::mapXWindow(NativeWindow& window) {
    window.mapHeld = false;
    window.placeToInsist = true;
    if (window.pendingPixels)
        sendGeometry(window, *window.pendingPixels);
    const bool firstShown = !std::exchange(window.everShown, true);
    window.asksLeft = placeAsks;
    window.remapsLeft = placeAsks;
    // A window manager places a window it maps again as it likes too (weston's puts it at the
    // corner of the frame it had, off the screen): a managed window is made again each time it
    // shows again, where it belongs.
    const bool shownAgain = !firstShown && hasWindowManager_ && !window.overrideRedirect;
    if ((firstShown && window.sentPixels != window.pixels) || shownAgain) {
        remakeXWindow(window);
    } else if (!placedByManager(window) && window.backing) {
        // What was presented before the window showed went nowhere, or stayed with the server
        // as it was then: where nothing redirects the map, the window is on show at once and
        // gets its pixels in the same step, not at its exposure (the bar showed the strip it
        // drew while hidden, without its glass, for a moment).
        XGrabServer(display_);
        XMapWindow(display_, window.xid);
        paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
              cairo_image_surface_get_height(window.backing), false);
        XUngrabServer(display_);
        XFlush(display_);
    } else {
        XMapWindow(display_, window.xid);
    }
    // A window manager that is still starting may drop a map request (openbox at login, when
    // the program starts beside it): one never shown is asked for again, a bounded few times.
    if (hasWindowManager_ && !window.overrideRedirect && !window.everViewable)
        mapAgainUnlessShown(window.id, 5);
}

void X11WindowServer::mapAgainUnlessShown(NativeWindowId id, int attemptsLeft) {
    constexpr double mapPatience = 1.0;
    loop_.queue().asyncAfter(
        mapPatience, [this, alive = std::weak_ptr<int>(alive_), id, attemptsLeft] {
            NativeWindow* window = alive.expired() ? nullptr : find(id);
            if (!window || !window->mapped || window->mapHeld || window->everViewable)
                return;
            XWindowAttributes attributes{};
            if (!XGetWindowAttributes(display_, window->xid, &attributes) ||
                attributes.map_state != IsUnmapped)
                return;
            XMapWindow(display_, window->xid);
            XFlush(display_);
            if (attemptsLeft > 1)
                mapAgainUnlessShown(id, attemptsLeft - 1);
        });
}

void X11WindowServer::mapHeldWindows() {
    bool mappedAny = false;
    for (auto& [id, window] : windows_)
        if (window->mapHeld) {
            mapXWindow(*window);
            mappedAny = true;
        }
    if (mappedAny)
        restack();
}

void X11WindowServer::orderOut(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window || !window->mapped)
        return;
    window->mapped = false;
    window->focusWhenMapped = false;
    window->veil.reset();
    if (window->pendingPixels)
        sendGeometry(*window, *window->pendingPixels);
    if (keyWindow_ == id) {
        keyWindow_.reset();
        giveFocusBack(window->xid);
    }
    if (pressedGuest_ == id)
        pressedGuest_.reset();
    if (window->host) {
        repaintHostUnder(*window);
        window->host = 0;
        return;
    }
    if (window->mapHeld) {
        window->mapHeld = false;
        return;
    }
    if (window->overrideRedirect) {
        XUnmapWindow(display_, window->xid);
        return;
    }
    // A manager hands the focus of the window it held active to its next window when that one is
    // withdrawn, perhaps after another of ours took it.
    ::Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    if (hasWindowManager_ && (focused == window->xid || activeWindow_ == window->xid))
        focusSettling_ = {clock_.now() + FocusSettling::duration, 0};
    XWithdrawWindow(display_, window->xid, screenNumber_);
}

void X11WindowServer::restack(bool keptAboveOnly) {
    std::vector<NativeWindow*> shown;
    for (auto& [id, window] : windows_) {
        if (window->mapped && !window->host && (!keptAboveOnly || keepsAbove(*window)))
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
        // A raise request reads as an activation to some managers (i3), which would take the
        // user's focus for a window that never takes it; those stack by their states alone.
        for (auto it = shown.rbegin(); it != shown.rend(); ++it)
            if ((*it)->overrideRedirect || !kindOf(**it).noFocusOnMap)
                XRaiseWindow(display_, (*it)->xid);
        return;
    }
    XRaiseWindow(display_, shown.front()->xid);
    std::vector<::Window> order;
    for (NativeWindow* window : shown)
        order.push_back(window->xid);
    XRestackWindows(display_, order.data(), int(order.size()));
}

bool X11WindowServer::coveredByAnotherProgram(const NativeWindow& window) const {
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count))
        return false;
    const RootGeometry::PixelRect& ours = window.pixels;
    bool covered = false;
    bool above = false;
    // Children come bottom to top: only those above ours can cover it.
    for (unsigned i = 0; i < count && !covered; ++i) {
        if (children[i] == window.xid) {
            above = true;
            continue;
        }
        XWindowAttributes attributes{};
        if (!above || isOurs(children[i]) ||
            !XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.override_redirect)
            continue;
        covered = attributes.x < ours.x + ours.width && ours.x < attributes.x + attributes.width &&
                  attributes.y < ours.y + ours.height && ours.y < attributes.y + attributes.height;
    }
    if (children)
        XFree(children);
    return covered;
}

void X11WindowServer::makeKey(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window)
        return;
    keyWindow_ = id;
    // The focus goes back where it was when our windows give it up.
    ::Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    if (focused != None && focused != PointerRoot && !isOurs(focused))
        previousFocus_ = focused;
    // The server refuses the focus to a window that is not yet viewable (a window manager maps
    // its frame after the window): it is given once the window shows.
    XWindowAttributes attributes{};
    if (!window->mapped || !XGetWindowAttributes(display_, window->xid, &attributes) ||
        attributes.map_state != IsViewable) {
        window->focusWhenMapped = true;
        return;
    }
    focus(*window);
}

void X11WindowServer::giveFocusBack(unsigned long leaving) {
    ::Window focused = None;
    int revert = 0;
    XGetInputFocus(display_, &focused, &revert);
    const ::Window previous = std::exchange(previousFocus_, None);
    if (focused != leaving && !isOurs(focused))
        return;
    XWindowAttributes attributes{};
    if (previous == None || !XGetWindowAttributes(display_, previous, &attributes) ||
        attributes.map_state != IsViewable || (xwayland_ && !insideListedClient(previous)))
        return;
    XSetInputFocus(display_, previous, RevertToPointerRoot, CurrentTime);
}

bool X11WindowServer::insideListedClient(unsigned long xid) const {
    const auto clients = cardinals(display_, root_, (*atoms_)[clientList], XA_WINDOW);
    for (::Window window = xid; window != None && window != root_;) {
        if (std::find(clients.begin(), clients.end(), long(window)) != clients.end())
            return true;
        ::Window rootReturn = 0, parent = None, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, window, &rootReturn, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        window = parent;
    }
    return false;
}

void X11WindowServer::focus(NativeWindow& window) {
    window.focusWhenMapped = false;
    if (window.overrideRedirect && xwayland_ && focusThroughPressedWindow())
        return;
    if (hasWindowManager_ && !window.overrideRedirect) {
        XEvent message{};
        message.xclient.type = ClientMessage;
        message.xclient.window = window.xid;
        message.xclient.message_type = (*atoms_)[activeWindow];
        message.xclient.format = 32;
        message.xclient.data.l[0] = 1; // from an application
        message.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &message);
    }
    XSetInputFocus(display_, window.xid, RevertToParent, CurrentTime);
    if (inputMethod_)
        inputMethod_->windowGainedFocus(window.xid);
}

bool X11WindowServer::focusThroughPressedWindow() {
    NativeWindow* pressed = find(lastPressedManaged_);
    if (!pressed || !pressed->mapped || pressed->overrideRedirect || pressed->host ||
        lastUserTime_ == 0)
        return false;
    const long time = long(lastUserTime_);
    XChangeProperty(display_, pressed->xid, (*atoms_)[wmUserTime], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&time), 1);
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = pressed->xid;
    message.xclient.message_type = (*atoms_)[activeWindow];
    message.xclient.format = 32;
    message.xclient.data.l[0] = 1; // from an application
    message.xclient.data.l[1] = time;
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XSetInputFocus(display_, pressed->xid, RevertToParent, lastUserTime_);
    if (inputMethod_)
        inputMethod_->windowGainedFocus(pressed->xid);
    return true;
}

} // namespace ui::x11
