#include "platform/toolkit/x11/DrawnArea.h"
#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/extensions/shape.h>
#include <algorithm>
#include <cairo-xlib.h>

// Our windows as other programs change them: any client may move, resize or unmap any window on
// the server, and a window manager may stretch one. A window keeps drawing its own size where it
// belongs, fills what lies beyond, and asks again for what it was given against its hints.

namespace ui::x11 {

bool X11WindowServer::placedByManager(const NativeWindow& window) const {
    return hasWindowManager_ && !window.overrideRedirect;
}

bool X11WindowServer::keepsOwnSize(const NativeWindow& window) const {
    return window.overrideRedirect || kindOf(window).fixedSize;
}

void X11WindowServer::setInset(NativeWindow& window, int x, int y) {
    if (x == window.insetX && y == window.insetY)
        return;
    if (window.shaped)
        XShapeOffsetShape(display_, window.xid, ShapeBounding, x - window.insetX,
                          y - window.insetY);
    window.insetX = x;
    window.insetY = y;
    cairo_surface_set_device_offset(window.surface, x, y);
    if (!window.mapped || !window.lastShown)
        return;
    fillBeyond(window, 0, 0, window.lastShown->width, window.lastShown->height);
    if (window.backing)
        paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
              cairo_image_surface_get_height(window.backing), false);
}

bool X11WindowServer::landInsideStretched(NativeWindow& window, cairo_surface_t* pixels,
                                          const std::vector<PixelSpan>& spans) {
    if (!window.mapped || !window.lastShown || !window.pendingPixels || !placedByManager(window) ||
        !keepsOwnSize(window))
        return false;
    const RootGeometry::PixelRect shown = *window.lastShown;
    const RootGeometry::PixelRect wanted = *window.pendingPixels;
    const bool stretched = shown.width > window.pixels.width || shown.height > window.pixels.height;
    const bool inside = wanted.x >= shown.x && wanted.y >= shown.y &&
                        wanted.x + wanted.width <= shown.x + shown.width &&
                        wanted.y + wanted.height <= shown.y + shown.height;
    if (!stretched || !inside)
        return false;
    // The manager keeps the X window as it stretched it (i3 gives docks the screen's width), so
    // a new size is drawn inside it where it belongs, in one step: the outline, the pixels and
    // what lies beyond them change together, and the background holds the same picture.
    const DrawnArea drawn = drawnArea(wanted, shown, true, {0, 0, rootWidth_, rootHeight_});
    // An X window of any size costs a background of the screen's size at most.
    const int wide = std::min(shown.width, std::max(rootWidth_, drawn.insetX + wanted.width));
    const int high = std::min(shown.height, std::max(rootHeight_, drawn.insetY + wanted.height));
    holdAsBackground(window, pixels, wide, high, drawn.insetX, drawn.insetY);
    XGrabServer(display_);
    if (window.shaped && !window.hiddenByAlpha) {
        window.shape = KeptPixels{};
        window.shape.replace(0, 0, wanted.width, wanted.height, spans);
        combineOutline(display_, window.xid, drawn.insetX, drawn.insetY, 0, 0, spans, ShapeSet);
    }
    window.insetX = drawn.insetX;
    window.insetY = drawn.insetY;
    cairo_surface_set_device_offset(window.surface, drawn.insetX, drawn.insetY);
    XClearWindow(display_, window.xid);
    XUngrabServer(display_);
    // Asked all the same: the manager answers with where it keeps the window.
    sendGeometry(window, wanted);
    cairo_xlib_surface_set_size(window.surface, shown.width, shown.height);
    XFlush(display_);
    return true;
}

void X11WindowServer::fillBeyond(NativeWindow& window, int x, int y, int width, int height) {
    // A shaped window's outline holds its own pixels only: nothing of it lies beyond them.
    if (window.shaped || !window.lastShown)
        return;
    const RootGeometry::PixelRect& shown = *window.lastShown;
    // Only what the screen can show: an X window of any size costs a fill of the screen at most.
    const int left = std::max({x, 0, -shown.x});
    const int top = std::max({y, 0, -shown.y});
    const int right = std::min({x + width, shown.width, rootWidth_ - shown.x});
    const int bottom = std::min({y + height, shown.height, rootHeight_ - shown.y});
    if (left >= right || top >= bottom)
        return;
    const int drawnLeft = std::max(left, window.insetX);
    const int drawnTop = std::max(top, window.insetY);
    const int drawnRight = std::min(right, window.insetX + window.pixels.width);
    const int drawnBottom = std::min(bottom, window.insetY + window.pixels.height);
    const bool drawnWithin = drawnLeft < drawnRight && drawnTop < drawnBottom;
    if (drawnWithin && drawnLeft == left && drawnTop == top && drawnRight == right &&
        drawnBottom == bottom)
        return;
    cairo_t* cr = cairo_create(window.surface);
    // The surface's origin is the window's own pixels; this fill is in the X window's.
    cairo_translate(cr, -window.insetX, -window.insetY);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (window.argb) {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
    } else {
        const std::uint32_t colour = rootColour();
        cairo_set_source_rgb(cr, ((colour >> 16) & 0xff) / 255.0, ((colour >> 8) & 0xff) / 255.0,
                             (colour & 0xff) / 255.0);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    if (drawnWithin)
        cairo_rectangle(cr, drawnLeft, drawnTop, drawnRight - drawnLeft, drawnBottom - drawnTop);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(window.surface);
}

void X11WindowServer::askAgain(NativeWindow& window) {
    if (!placedByManager(window)) {
        --window.asksLeft;
        const RootGeometry::PixelRect& pixels = window.pixels;
        XMoveResizeWindow(display_, window.xid, pixels.x, pixels.y, unsigned(pixels.width),
                          unsigned(pixels.height));
        XFlush(display_);
        return;
    }
    if (window.askWaiting)
        return;
    window.askWaiting = true;
    // A manager's place is its own; only the size goes against the hints.
    loop_.queue().asyncAfter(
        refusalPatience, [this, alive = std::weak_ptr<int>(alive_), id = window.id] {
            NativeWindow* waiting = alive.expired() ? nullptr : find(id);
            if (!waiting)
                return;
            waiting->askWaiting = false;
            const std::optional<RootGeometry::PixelRect>& shown = waiting->lastShown;
            if (!waiting->mapped || waiting->host || !shown || waiting->asksLeft <= 0 ||
                (shown->width == waiting->pixels.width && shown->height == waiting->pixels.height))
                return;
            --waiting->asksLeft;
            XResizeWindow(display_, waiting->xid, unsigned(waiting->pixels.width),
                          unsigned(waiting->pixels.height));
            XFlush(display_);
        });
}

void X11WindowServer::mapAgainAfterUnmap(NativeWindowId id) {
    // A manager reparenting a shown window unmaps it for a moment; what still stands unmapped a
    // moment later was taken away.
    loop_.queue().asyncAfter(refusalPatience, [this, alive = std::weak_ptr<int>(alive_), id] {
        NativeWindow* unmapped = alive.expired() ? nullptr : find(id);
        if (!unmapped || !unmapped->mapped || unmapped->mapHeld || unmapped->host)
            return;
        // Unmapped again at once, by a manager that will have it so, it is left unmapped after a
        // few tries; one that stood shown a while is mapped again.
        constexpr double shownAWhile = 2;
        if (clock_.now() - unmapped->lastRemap > shownAWhile)
            unmapped->remapsLeft = placeAsks;
        if (unmapped->remapsLeft <= 0)
            return;
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, unmapped->xid, &attributes) ||
            attributes.map_state != IsUnmapped)
            return;
        // A manager that iconifies a window, or hides it with its desktop, leaves its WM_STATE
        // standing; a window withdrawn behind our back has none, or a withdrawn one.
        constexpr long withdrawnState = 0;
        const Atom property = (*atoms_)[managedState];
        const std::vector<long> state = cardinals(display_, unmapped->xid, property, property);
        if (!state.empty() && state.front() != withdrawnState)
            return;
        --unmapped->remapsLeft;
        unmapped->lastRemap = clock_.now();
        if (!placedByManager(*unmapped)) {
            const RootGeometry::PixelRect& pixels = unmapped->pixels;
            XMoveResizeWindow(display_, unmapped->xid, pixels.x, pixels.y, unsigned(pixels.width),
                              unsigned(pixels.height));
        }
        XMapWindow(display_, unmapped->xid);
        XFlush(display_);
    });
}

} // namespace ui::x11
