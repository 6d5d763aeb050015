#include "platform/toolkit/ImageView.h"

namespace ui {

ImageView::ImageView(const gfx::Rect& frame) : View(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::image);
}

void ImageView::setImage(std::optional<gfx::Image> image) {
    image_ = std::move(image);
    setNeedsDisplay(true);
}

void ImageView::setImageScaling(ImageScaling scaling) {
    scaling_ = scaling;
    setNeedsDisplay(true);
}

View* ImageView::hitTest(gfx::Point pointInSuperview) {
    return ignoresMouseEvents_ ? nullptr : View::hitTest(pointInSuperview);
}

void ImageView::drawRect(gfx::Context& context, const gfx::Rect&) {
    if (!image_)
        return;
    image_->draw(context, scaledImageRect(image_->size(), bounds(), scaling_),
                 {.respectFlipped = true});
}

} // namespace ui
