#include "platform/toolkit/ClipView.h"

#include <algorithm>

namespace ui {

ClipView::ClipView(const gfx::Rect& frame) : View(frame) {}

void ClipView::setDocumentView(std::shared_ptr<View> view) {
    if (document_)
        document_->removeFromSuperview();
    document_ = std::move(view);
    if (document_)
        addSubview(document_);
    scrollToPoint(bounds().origin);
}

void ClipView::setBoundsOrigin(gfx::Point origin) {
    const gfx::Point before = bounds().origin;
    View::setBoundsOrigin(origin);
    if (postsBoundsChanged_ && bounds().origin != before && boundsChangedAction)
        boundsChangedAction();
}

gfx::Point ClipView::constrainBoundsOrigin(gfx::Point origin) const {
    if (!document_)
        return {0, 0};
    const gfx::Rect document = document_->frame();
    const double visible = bounds().height();
    const double range = std::max(0.0, document.height() - visible);
    double y;
    if (isFlipped())
        y = std::clamp(origin.y, document.minY(), document.minY() + range);
    else if (range == 0)
        y = document.maxY() - visible; // the document's top at the clip's top
    else
        y = std::clamp(origin.y, document.minY(), document.maxY() - visible);
    const double xRange = std::max(0.0, document.width() - bounds().width());
    const double x = std::clamp(origin.x, document.minX(), document.minX() + xRange);
    return {x, y};
}

void ClipView::scrollToPoint(gfx::Point origin) {
    setBoundsOrigin(constrainBoundsOrigin(origin));
}

gfx::Rect ClipView::documentVisibleRect() const {
    if (!document_)
        return {};
    return document_->convertRectFromView(bounds(), this).intersection(document_->bounds());
}

} // namespace ui
