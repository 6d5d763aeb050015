#include "platform/toolkit/ImageScaling.h"

#include <algorithm>

namespace ui {

gfx::Rect scaledImageRect(gfx::Size image, const gfx::Rect& box, ImageScaling scaling) {
    if (!(image.width > 0 && image.height > 0))
        return {};
    if (scaling == ImageScaling::axesIndependently)
        return box;
    double factor = 1;
    const double fit = std::min(box.width() / image.width, box.height() / image.height);
    if (scaling == ImageScaling::proportionallyUpOrDown ||
        (scaling == ImageScaling::proportionallyDown && fit < 1))
        factor = std::max(0.0, fit);
    const gfx::Size size{image.width * factor, image.height * factor};
    return {box.midX() - size.width / 2, box.midY() - size.height / 2, size.width, size.height};
}

} // namespace ui
