#include "platform/toolkit/x11/ResizeVeil.h"

#include <algorithm>

// clang-format off
#include <X11/extensions/shape.h>
// clang-format on

namespace ui::x11 {
namespace {

std::vector<XRectangle> rectangles(const std::vector<PixelBox>& boxes) {
    std::vector<XRectangle> out;
    out.reserve(boxes.size());
    for (const PixelBox& box : boxes)
        if (!box.isEmpty())
            out.push_back({short(box.x), short(box.y), static_cast<unsigned short>(box.width),
                           static_cast<unsigned short>(box.height)});
    return out;
}

void shape(Display* display, ::Window window, int kind, std::vector<XRectangle> boxes) {
    XShapeCombineRectangles(display, window, kind, 0, 0, boxes.data(), int(boxes.size()), ShapeSet,
                            Unsorted);
}

} // namespace

ResizeVeil::ResizeVeil(Display* display, const PixelRect& before, const PixelRect& after,
                       const std::vector<PixelBox>& afterShape, unsigned long picture)
    : display_(display), after_(after) {
    const ::Window root = DefaultRootWindow(display);
    const int left = std::min(before.x, after.x);
    const int top = std::min(before.y, after.y);
    const int right = std::max(before.x + before.width, after.x + after.width);
    const int bottom = std::max(before.y + before.height, after.y + after.height);

    // The desktop's background, as the root paints it, over both places whole: between the
    // manager's steps the window may show any of its pixels at either, in either outline.
    XSetWindowAttributes set{};
    set.override_redirect = True;
    set.background_pixmap = ParentRelative;
    veil_ = XCreateWindow(display, root, left, top, unsigned(right - left), unsigned(bottom - top),
                          0, CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWBackPixmap, &set);
    shape(display, veil_, ShapeInput, {});

    // Over it, the window's new picture in its new outline.
    set.background_pixmap = picture;
    const ::Window window = XCreateWindow(
        display, veil_, after.x - left, after.y - top, unsigned(after.width),
        unsigned(after.height), 0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap, &set);
    shape(display, window, ShapeBounding, rectangles(afterShape));
    shape(display, window, ShapeInput, {});
    XMapWindow(display, window);
    // Both painted by the one request that maps them.
    XMapRaised(display, veil_);
}

ResizeVeil::~ResizeVeil() {
    XDestroyWindow(display_, veil_);
}

} // namespace ui::x11
