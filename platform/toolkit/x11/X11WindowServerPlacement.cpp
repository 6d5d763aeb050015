#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/x11/DrawnArea.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cairo-xlib.h>
#include <cmath>
#include <cstddef>
#include <utility>

// Where our windows stand: the frames asked of the server and the window manager, what they
// answer or refuse, and the size hints and the strut that go with a frame.

namespace ui::x11 {

void X11WindowServer::placeWindow(NativeWindow& window) {
    const RootGeometry::PixelRect pixels = geometry_.pixelsFromRect(window.frame);
    const RootGeometry::PixelRect& before = window.pendingPixels.value_or(window.pixels);
    const bool resized = pixels.width != before.width || pixels.height != before.height;
    const bool moved = pixels.x != before.x || pixels.y != before.y;
    // A window on show takes a new size only with the pixels drawn at it: the next present at
    // that size sends both (paint). Sent apart, the screen showed the old pixels at the new
    // size, with the desktop or black where they did not reach.
    // While a window manager applies the last resize, the next waits for it (landWaitingResize).
    if (window.veil && pixels == window.pixels) {
        window.pendingPixels.reset();
        return;
    }
    if (window.pendingPixels || window.veil ||
        (resized && window.mapped && window.backing && !window.host)) {
        window.pendingPixels = pixels;
        return;
    }
    sendGeometry(window, pixels);
    // Moved over another part of the desktop's picture, a shaped window is drawn over that.
    if (moved && window.shaped && window.mapped && window.backing && desktopPicture_)
        paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
              cairo_image_surface_get_height(window.backing), true);
}

void X11WindowServer::sendGeometry(NativeWindow& window, RootGeometry::PixelRect pixels) {
    window.pendingPixels.reset();
    // A window manager may answer a request for a window it does not manage yet as it likes
    // (weston's puts it at its frame's inner corner, then maps it there and keeps it there): a
    // window never shown is made again where it first shows instead (mapXWindow), as toolkits
    // make their windows when first shown.
    const bool send = window.everShown || !hasWindowManager_ || window.overrideRedirect;
    // A bound on the answers kept in mind: a window manager that never answers must not grow it.
    constexpr std::size_t pendingLimit = 16;
    if (send && window.pixelsAsked && window.pixels != pixels) {
        if (window.pendingPlaces.size() == pendingLimit)
            window.pendingPlaces.erase(window.pendingPlaces.begin());
        window.pendingPlaces.push_back(window.pixels);
    }
    window.pixels = pixels;
    window.pixelsAsked = true;
    const bool resized = cairo_xlib_surface_get_width(window.surface) != pixels.width ||
                         cairo_xlib_surface_get_height(window.surface) != pixels.height;
    // A window manager keeps a window of fixed size to the size its hints give, so they change
    // before the size does.
    if (resized)
        setSizeHints(window);
    if (send) {
        window.sentPixels = pixels;
        XMoveResizeWindow(display_, window.xid, pixels.x, pixels.y, unsigned(pixels.width),
                          unsigned(pixels.height));
    }
    if (resized)
        cairo_xlib_surface_set_size(window.surface, pixels.width, pixels.height);
    // Where nothing stands between us and the server, the X window is what was asked.
    if (send && !placedByManager(window))
        setInset(window, 0, 0);
    if (window.attributes.role == WindowRole::statusBar)
        updateStrut(window);
}

void X11WindowServer::followPlacement(NativeWindow& window) {
    // Until the server shows the window, where it has it says nothing of where it will show it:
    // the window stands where it was withdrawn, or a manager holds it on its way (i3 puts a dock
    // at its frame's corner at its own size before it stretches it, and a strip drawn there
    // showed at the screen's left edge).
    if (window.host || !window.mapped || !window.viewable)
        return;
    // Measured on the root: a window manager holds a managed window inside a frame of its own.
    const std::optional<RootGeometry::PixelRect> shown = rootArea(window.xid);
    if (!shown)
        return;
    // Under a veil, the manager's steps on its way to the place asked for are not where the
    // window stays.
    if (window.veil && *shown != window.pixels)
        return;
    const std::optional<RootGeometry::PixelRect> before = std::exchange(window.lastShown, shown);
    // Only a clip: the X window's size costs nothing here.
    if (cairo_xlib_surface_get_width(window.surface) != shown->width ||
        cairo_xlib_surface_get_height(window.surface) != shown->height)
        cairo_xlib_surface_set_size(window.surface, shown->width, shown->height);
    if (*shown == window.pixels) {
        window.asksLeft = placeAsks;
        setInset(window, 0, 0);
        window.placeToInsist = false;
        window.pendingPlaces.clear();
        // A manager that moved the window its own way (i3 stretches docks) is not taken to
        // follow the next request because the window still stands where it put it; one that
        // put it where it was last asked to be follows, though the window took a place of the
        // manager's own on the way (a frame mapped at the root's corner first).
        if (window.pixelsAsked || *shown == window.sentPixels)
            window.managerFollows = true;
        liftVeilWhenLanded(window);
        return;
    }
    // The answer to an earlier request of ours that a later one overtook: its own answer follows.
    // It stays in mind until then, as the window hears of the same place more than once (the
    // manager's own notice follows the server's).
    const auto earlier =
        std::find(window.pendingPlaces.begin(), window.pendingPlaces.end(), *shown);
    if (earlier != window.pendingPlaces.end()) {
        window.pendingPlaces.erase(window.pendingPlaces.begin(), earlier);
        return;
    }
    // Nor can the manager have answered a resize still waiting for its pixels: it has not seen
    // it yet, and its answer follows once the resize lands. Taken now, an answer to an earlier
    // request would drop that resize, and the toolkit, which asks for a frame once, would keep
    // the old size (a bar that grew kept showing its items cut at the old width).
    if (window.pendingPixels)
        return;
    window.pendingPlaces.clear();
    const bool managed = placedByManager(window);
    // A manager may put a window it maps where it likes, and honour a move once it manages the
    // window (i3 floats it lower by the decoration it would have drawn): the place of a window
    // the user put somewhere (a floating bar dropped where its preview stood) is asked once more,
    // and the manager's place is taken only if it stands a moment later.
    if (window.placeToInsist && managed && window.attributes.role != WindowRole::statusBar) {
        window.placeToInsist = false;
        const RootGeometry::PixelRect& wanted = window.sentPixels;
        XMoveResizeWindow(display_, window.xid, wanted.x, wanted.y, unsigned(wanted.width),
                          unsigned(wanted.height));
        XFlush(display_);
        loop_.queue().asyncAfter(
            refusalPatience, [this, alive = std::weak_ptr<int>(alive_), id = window.id] {
                if (NativeWindow* placed = alive.expired() ? nullptr : find(id))
                    followPlacement(*placed);
            });
        return;
    }
    const DrawnArea drawn =
        drawnArea(window.sentPixels, *shown, keepsOwnSize(window), {0, 0, rootWidth_, rootHeight_});
    const bool ownSize = shown->width == drawn.onRoot.width && shown->height == drawn.onRoot.height;
    if ((!managed || !ownSize) && window.asksLeft > 0) {
        askAgain(window);
        // Back at once where nothing but another program moves it: the frame stays.
        if (!managed) {
            setInset(window, drawn.insetX, drawn.insetY);
            return;
        }
    }
    // At the size last asked but not at its place: resized where it stood before, or shown where
    // the X window was made. So does a manager that moves no shown window: it places a window
    // only as it maps it, where the window stood when it asked for that, and takes only the size
    // of later requests, those sent before it had mapped the window too. A moment later, if
    // nothing has moved it meanwhile, the bar is made again where it belongs, and the manager
    // places it there as it maps it. The last request is the measure, as answers to earlier ones
    // may have been taken in between. This never repeats itself: the new X window is made at the
    // place asked last, so only a new request can find it elsewhere.
    window.refusedPlace.reset();
    const RootGeometry::PixelRect& asked = window.sentPixels;
    const bool leftInPlace = (shown->x == window.madeAt.x && shown->y == window.madeAt.y) ||
                             (before && shown->x == before->x && shown->y == before->y &&
                              (before->width != shown->width || before->height != shown->height));
    if (window.attributes.role == WindowRole::statusBar && leftInPlace &&
        shown->width == asked.width && shown->height == asked.height &&
        (shown->x != asked.x || shown->y != asked.y)) {
        window.refusedPlace = asked;
        loop_.queue().asyncAfter(refusalPatience,
                                 [this, alive = std::weak_ptr<int>(alive_), id = window.id] {
                                     if (!alive.expired())
                                         placeRefused(id);
                                 });
    }
    window.managerFollows = false;
    if (window.attributes.role == WindowRole::statusBar && shown->y != window.pixels.y) {
        // A window manager that stacks docks itself keeps the bar where it put it, and the
        // screen's top then follows the bar; one that only answers late (a stale place before
        // ours lands) has moved on by the time this looks again.
        loop_.queue().asyncAfter(refusalPatience, [this, alive = std::weak_ptr<int>(alive_),
                                                   id = window.id, top = shown->y] {
            if (!alive.expired())
                barPlaced(id, top);
        });
        loop_.queue().asyncAfter(2 * refusalPatience, [this, alive = std::weak_ptr<int>(alive_),
                                                       id = window.id, top = shown->y] {
            if (!alive.expired())
                barPlaced(id, top);
        });
    }
    window.pixels = drawn.onRoot;
    window.pixelsAsked = false;
    window.frame = geometry_.rectFromPixels(drawn.onRoot.x, drawn.onRoot.y, drawn.onRoot.width,
                                            drawn.onRoot.height);
    setInset(window, drawn.insetX, drawn.insetY);
    if (window.attributes.role == WindowRole::statusBar)
        updateStrut(window);
    reportFrame(window.id, window.frame);
    refreshScreens();
}

void X11WindowServer::placeRefused(NativeWindowId id) {
    NativeWindow* window = find(id);
    if (!window || !window->refusedPlace || !window->mapped || window->lastShown != window->pixels)
        return;
    window->pixels = *std::exchange(window->refusedPlace, std::nullopt);
    window->pixelsAsked = true;
    window->pendingPlaces.clear();
    window->frame = geometry_.rectFromPixels(window->pixels.x, window->pixels.y,
                                             window->pixels.width, window->pixels.height);
    remakeXWindow(*window);
    reportFrame(id, window->frame);
    refreshScreens();
}

void X11WindowServer::barPlaced(NativeWindowId id, long top) {
    NativeWindow* window = find(id);
    if (!window || !window->mapped || !window->lastShown || window->lastShown->y != top ||
        window->sentPixels.y == top || placedBarTop_ == top)
        return;
    // A manager may place a window as it maps it and still honour a later move (openbox): it
    // is asked once more for the bar's place, and only a manager that keeps the bar where it put
    // it even so sets the screen's top.
    if (window->insistedTop != top) {
        window->insistedTop = top;
        const RootGeometry::PixelRect& wanted = window->sentPixels;
        XMoveResizeWindow(display_, window->xid, wanted.x, wanted.y, unsigned(wanted.width),
                          unsigned(wanted.height));
        return;
    }
    placedBarTop_ = top;
    refreshScreens();
}

void X11WindowServer::setSizeHints(NativeWindow& window) {
    XSizeHints size{};
    size.flags = USPosition | PPosition | USSize | PSize;
    size.x = window.pixels.x;
    size.y = window.pixels.y;
    size.width = window.pixels.width;
    size.height = window.pixels.height;
    if (kindOf(window).fixedSize) {
        size.flags |= PMinSize | PMaxSize;
        size.min_width = size.max_width = window.pixels.width;
        size.min_height = size.max_height = window.pixels.height;
    }
    XSetWMNormalHints(display_, window.xid, &size);
}

void X11WindowServer::updateStrut(NativeWindow& window) {
    // left, right, top, bottom, then the start and end of each.
    const Strut reserved = statusBarStrut(window.pixels, monitors_,
                                          std::lround(StatusBar::barThickness * geometry_.scale()));
    long strut[12] = {};
    strut[2] = reserved.top;
    strut[8] = reserved.topStartX;
    strut[9] = reserved.topEndX;
    if (reserved.top > 0)
        reservedStrutBottoms_.insert(strut[2]);
    XChangeProperty(display_, window.xid, (*atoms_)[wmStrutPartial], XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(strut), 12);
    XChangeProperty(display_, window.xid, (*atoms_)[wmStrut], XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 4);
}

void X11WindowServer::setFrame(NativeWindowId id, const gfx::Rect& frame) {
    NativeWindow* window = find(id);
    if (!window || window->frame == frame)
        return;
    if (window->host && window->mapped) {
        // A guest moves within its host, or leaves it for a window of its own.
        repaintHostUnder(*window);
        window->frame = frame;
        window->pixels = geometry_.pixelsFromRect(frame);
        // A guest follows its bar through a change of width a moment apart from it, drawn
        // clipped meanwhile; only one moved off the bar altogether becomes a window of its own.
        const NativeWindow* host = find(window->host);
        if (host && host->frame.intersects(frame)) {
            repaintHostUnder(*window);
            return;
        }
        orderOut(id);
        orderFront(id);
        return;
    }
    window->frame = frame;
    placeWindow(*window);
    // A panel of its own that now lies over the bar becomes its guest.
    if (window->mapped && hostFor(*window)) {
        orderOut(id);
        orderFront(id);
    }
}

} // namespace ui::x11
