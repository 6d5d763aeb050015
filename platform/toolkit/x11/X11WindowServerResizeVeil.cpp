#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <cairo-xlib.h>

// A new size that reaches the screen in steps: the window's last pixels held as its background
// and veiled until the pixels drawn at the new size land.

namespace ui::x11 {

bool X11WindowServer::drawnAtFrame(const NativeWindow& window) const {
    if (window.drawnSize != window.frame.size)
        return false;
    return std::none_of(windows_.begin(), windows_.end(), [&](const auto& entry) {
        const NativeWindow& guest = *entry.second;
        return guest.host == window.id && guest.mapped && guest.backing &&
               guest.drawnSize != guest.frame.size;
    });
}

void X11WindowServer::holdAsBackground(NativeWindow& window, cairo_surface_t* pixels, int width,
                                       int height, int x, int y) {
    const Pixmap background = XCreatePixmap(display_, window.xid, unsigned(width), unsigned(height),
                                            unsigned(cairo_xlib_surface_get_depth(window.surface)));
    cairo_surface_t* target = cairo_xlib_surface_create(
        display_, background, cairo_xlib_surface_get_visual(window.surface), width, height);
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (x != 0 || y != 0 || width != cairo_image_surface_get_width(pixels) ||
        height != cairo_image_surface_get_height(pixels)) {
        // Clear, or cut away by a shaped window's outline, beyond the pixels.
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
        cairo_paint(cr);
    }
    cairo_set_source_surface(cr, pixels, x, y);
    cairo_rectangle(cr, x, y, cairo_image_surface_get_width(pixels),
                    cairo_image_surface_get_height(pixels));
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_finish(target);
    cairo_surface_destroy(target);
    XSetWindowBackgroundPixmap(display_, window.xid, background);
    if (window.backgroundPixmap)
        XFreePixmap(display_, window.backgroundPixmap);
    window.backgroundPixmap = background;
}

void X11WindowServer::holdShownAsBackground(NativeWindow& window) {
    // A background held for a resize shows at each exposure until the next resize: a window
    // above moving away showed what it held then (the strip without its glass, from before the
    // panels over it came) until it was painted there.
    if (!window.backgroundPixmap || !window.shaped || !window.solid || window.insetX != 0 ||
        window.insetY != 0)
        return;
    holdAsBackground(window, window.solid, cairo_image_surface_get_width(window.solid),
                     cairo_image_surface_get_height(window.solid), 0, 0);
}

void X11WindowServer::landResize(NativeWindow& window, cairo_surface_t* pixels,
                                 const std::vector<PixelSpan>& spans) {
    if (landInsideStretched(window, pixels, spans))
        return;
    const int wide = cairo_image_surface_get_width(pixels);
    const int high = cairo_image_surface_get_height(pixels);
    // The server paints a window's background in the very request that resizes it, whoever
    // sends that request: we, or a window manager once it has handled ours.
    holdAsBackground(window, pixels, wide, high, 0, 0);

    const bool outlined = window.shaped && !window.hiddenByAlpha;
    // A window manager that has put the window where it was asked before applies this resize in
    // steps the screen would show: a veil shows the outcome meanwhile. (A compositor shows only
    // what the window has drawn, and a manager that places the window elsewhere is not waited
    // for.)
    if (hasWindowManager_ && !window.overrideRedirect && !composited_ && window.managerFollows &&
        !window.hiddenByAlpha) {
        std::vector<PixelBox> outline;
        if (window.shaped)
            for (const PixelSpan& span : spans)
                outline.push_back({span.x, span.y, span.width, 1});
        else
            outline.push_back({0, 0, wide, high});
        window.veil.reset();
        window.veil = std::make_unique<ResizeVeil>(display_, window.pixels, *window.pendingPixels,
                                                   outline, window.backgroundPixmap);
        const std::uint64_t serial = ++window.veilSerial;
        // Bounded: a manager that never applies the resize leaves the window as it put it.
        constexpr double veilLimit = 0.5;
        loop_.queue().asyncAfter(
            veilLimit, [this, alive = std::weak_ptr<int>(alive_), id = window.id, serial] {
                if (alive.expired())
                    return;
                NativeWindow* veiled = find(id);
                if (!veiled || !veiled->veil || veiled->veilSerial != serial)
                    return;
                veiled->veil.reset();
                followPlacement(*veiled);
                landWaitingResize(*veiled);
            });
    }
    if (outlined)
        window.shape.replace(0, 0, wide, high, spans);
    // Where nothing stands between us and the server, the outline and the size go as one step
    // that no other program can look between.
    const bool atOnce = outlined && (!hasWindowManager_ || window.overrideRedirect);
    if (atOnce)
        XGrabServer(display_);
    if (outlined)
        combineOutline(display_, window.xid, window.insetX, window.insetY, 0, 0, spans, ShapeSet);
    sendGeometry(window, *window.pendingPixels);
    if (atOnce)
        XUngrabServer(display_);
    XFlush(display_);
}

void X11WindowServer::liftVeilWhenLanded(NativeWindow& window) {
    if (!window.veil || rootArea(window.xid) != window.pixels)
        return;
    if (window.shaped && window.managerFrame) {
        // The frame's outline, where the window lies in it, is the window's own.
        int boundingShaped = 0, clipShaped = 0, x = 0, y = 0, frameX = 0, frameY = 0;
        unsigned width = 0, height = 0, frameWidth = 0, frameHeight = 0, clipWidth = 0,
                 clipHeight = 0;
        int clipX = 0, clipY = 0;
        ::Window child = 0;
        int dx = 0, dy = 0;
        if (!XShapeQueryExtents(display_, window.xid, &boundingShaped, &x, &y, &width, &height,
                                &clipShaped, &clipX, &clipY, &clipWidth, &clipHeight) ||
            !XShapeQueryExtents(display_, window.managerFrame, &boundingShaped, &frameX, &frameY,
                                &frameWidth, &frameHeight, &clipShaped, &clipX, &clipY, &clipWidth,
                                &clipHeight) ||
            !XTranslateCoordinates(display_, window.xid, window.managerFrame, 0, 0, &dx, &dy,
                                   &child))
            return;
        if (frameX != x + dx || frameY != y + dy || frameWidth != width || frameHeight != height)
            return;
    }
    window.veil.reset();
    landWaitingResize(window);
}

void X11WindowServer::landWaitingResize(NativeWindow& window) {
    if (window.pendingPixels && window.backing && window.mapped)
        paint(window, 0, 0, cairo_image_surface_get_width(window.backing),
              cairo_image_surface_get_height(window.backing), true);
    XFlush(display_);
}

} // namespace ui::x11
