#include "platform/toolkit/ScrollView.h"

#include "platform/graphics/Context.h"

#include <algorithm>

namespace ui {

namespace {

// How far the document can scroll, and where its top shows.
struct ScrollRange {
    double range = 0;
    double topOrigin = 0;
};

ScrollRange scrollRange(const ClipView& clip) {
    const View* document = clip.documentView();
    if (!document)
        return {};
    const gfx::Rect frame = document->frame();
    const double visible = clip.bounds().height();
    const double range = std::max(0.0, frame.height() - visible);
    return {range, clip.isFlipped() ? frame.minY() : frame.maxY() - visible};
}

} // namespace

ScrollView::ScrollView(const gfx::Rect& frame)
    : View(frame), clip_(std::make_shared<ClipView>(gfx::Rect{{0, 0}, frame.size})) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::scrollArea);
    addSubview(clip_);
    // The clip view reports every scroll, whoever made it, so the knob always follows.
    auto reflect = [this] { reflectScrolledClipView(*clip_); };
    clip_->boundsChangedAction = reflect;
    clip_->setPostsBoundsChangedNotifications(true);
    setVerticalScroller(std::make_shared<Scroller>());
}

void ScrollView::setDocumentView(std::shared_ptr<View> view) {
    clip_->setDocumentView(std::move(view));
    tile();
}

void ScrollView::setHasVerticalScroller(bool has) {
    if (hasVerticalScroller_ == has)
        return;
    hasVerticalScroller_ = has;
    tile();
}

void ScrollView::setVerticalScroller(std::shared_ptr<Scroller> scroller) {
    if (scroller_)
        scroller_->removeFromSuperview();
    scroller_ = std::move(scroller);
    if (scroller_) {
        scroller_->setAction([this](Control& sender) {
            const ScrollRange scroll = scrollRange(*clip_);
            const double v = static_cast<Scroller&>(sender).doubleValue() * scroll.range;
            const double y = clip_->isFlipped() ? scroll.topOrigin + v : scroll.topOrigin - v;
            clip_->scrollToPoint({clip_->bounds().x(), y});
        });
        addSubview(scroller_);
    }
    tile();
}

void ScrollView::setAutohidesScrollers(bool autohides) {
    autohides_ = autohides;
    tile();
}

void ScrollView::setScrollerStyle(ScrollerStyle style) {
    style_ = style;
    tile();
}

void ScrollView::setDrawsBackground(bool draws) {
    drawsBackground_ = draws;
    setNeedsDisplay(true);
}

void ScrollView::setBackgroundColor(gfx::Color color) {
    background_ = color;
    setNeedsDisplay(true);
}

bool ScrollView::showsScroller() const {
    if (!hasVerticalScroller_ || !scroller_)
        return false;
    if (!autohides_)
        return true;
    const View* document = documentView();
    return document && document->frame().height() > bounds().height();
}

void ScrollView::setFrameSize(gfx::Size size) {
    View::setFrameSize(size);
    tile();
}

void ScrollView::tile() {
    const bool shows = showsScroller();
    const double width = shows ? scroller_->scrollerWidth() : 0;
    const gfx::Rect b = bounds();
    const bool narrows = shows && style_ == ScrollerStyle::legacy;
    clip_->setFrame(
        {b.minX(), b.minY(), std::max(0.0, b.width() - (narrows ? width : 0)), b.height()});
    clip_->setBoundsSize(clip_->frame().size);
    if (scroller_) {
        scroller_->setHidden(!shows);
        scroller_->setFrame({b.maxX() - width, b.minY(), width, b.height()});
    }
    clip_->scrollToPoint(clip_->bounds().origin);
    reflectScrolledClipView(*clip_);
}

void ScrollView::reflectScrolledClipView(ClipView& clip) {
    if (!scroller_ || &clip != clip_.get())
        return;
    const View* document = clip.documentView();
    const double documentHeight = document ? document->frame().height() : 0;
    const double visible = clip.bounds().height();
    scroller_->setKnobProportion(documentHeight > 0 ? std::min(1.0, visible / documentHeight)
                                                    : 1.0);
    const ScrollRange scroll = scrollRange(clip);
    const double offset = clip.isFlipped() ? clip.bounds().y() - scroll.topOrigin
                                           : scroll.topOrigin - clip.bounds().y();
    scroller_->setDoubleValue(scroll.range > 0 ? std::clamp(offset / scroll.range, 0.0, 1.0) : 0);
}

void ScrollView::scrollTo(gfx::Point origin) {
    clip_->scrollToPoint(origin);
    reflectScrolledClipView(*clip_);
}

bool ScrollView::autoscroll(const Event& event) {
    const gfx::Point point = clip_->convertPointFromView(event.locationInWindow(), nullptr);
    const gfx::Rect visible = clip_->bounds();
    double dy = 0;
    if (point.y < visible.minY())
        dy = point.y - visible.minY();
    else if (point.y > visible.maxY())
        dy = point.y - visible.maxY();
    if (dy == 0)
        return false;
    const gfx::Point before = visible.origin;
    scrollTo({before.x, before.y + dy});
    return clip_->bounds().origin != before;
}

void ScrollView::scrollWheel(const Event& event) {
    const double lines = event.hasPreciseScrollingDeltas() ? 1 : lineScroll;
    const double delta = event.scrollingDeltaY() * lines;
    if (delta == 0)
        return;
    // Positive deltas move towards the document's top.
    const gfx::Point origin = clip_->bounds().origin;
    scrollTo({origin.x, clip_->isFlipped() ? origin.y - delta : origin.y + delta});
}

void ScrollView::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (!drawsBackground_)
        return;
    context.setFillColor(background_);
    context.fillRect(dirtyRect);
}

} // namespace ui
