#include "platform/toolkit/x11/X11WindowServerPrivate.h"

#include <X11/extensions/shape.h>
#include <algorithm>
#include <cairo-xlib.h>

// Our windows as other programs change them: any client may move, resize or unmap any window on
// the server, and a window manager may stretch one. A window keeps drawing its own size where it
// belongs and fills what lies beyond.

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
        if (!desktopRead_)
            readDesktopBackground();
        cairo_set_source_rgb(cr, ((desktopColour_ >> 16) & 0xff) / 255.0,
                             ((desktopColour_ >> 8) & 0xff) / 255.0,
                             (desktopColour_ & 0xff) / 255.0);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    if (drawnWithin)
        cairo_rectangle(cr, drawnLeft, drawnTop, drawnRight - drawnLeft, drawnBottom - drawnTop);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(window.surface);
}

} // namespace ui::x11
