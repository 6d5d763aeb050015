#pragma once

#include "platform/graphics/Color.h"
#include "platform/toolkit/ClipView.h"
#include "platform/toolkit/Scroller.h"
#include "platform/toolkit/View.h"

#include <memory>

namespace ui {

// Legacy scrollers take their width from the clip view; overlay scrollers float over it.
enum class ScrollerStyle { legacy, overlay };

// A document view seen through a clip view, with an optional vertical scroller at the right edge
// that the owner may replace by a subclass. It draws no border, and a background only when
// drawsBackground is on.
//
// tile() lays out the clip view and the scroller; reflectScrolledClipView() brings the scroller's
// knob in line with the clip view. Both run when the scroll view changes size, when the document
// view, the scroller or its flag changes, and after every scroll; an owner that changes the
// document's size calls tile() itself. Scrolling: the wheel (a precise delta in points, else 16
// points a line), the scroller, scroll(to:) and autoscroll during a drag.
class ScrollView : public View {
public:
    static constexpr double lineScroll = 16;

    explicit ScrollView(const gfx::Rect& frame = {});

    ClipView& contentView() const { return *clip_; }
    View* documentView() const { return clip_->documentView(); }
    void setDocumentView(std::shared_ptr<View> view);

    bool hasVerticalScroller() const { return hasVerticalScroller_; }
    void setHasVerticalScroller(bool has);
    Scroller* verticalScroller() const { return scroller_.get(); }
    // Takes the scroller's action over: it scrolls this view.
    void setVerticalScroller(std::shared_ptr<Scroller> scroller);
    bool autohidesScrollers() const { return autohides_; }
    void setAutohidesScrollers(bool autohides);
    ScrollerStyle scrollerStyle() const { return style_; }
    void setScrollerStyle(ScrollerStyle style);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool draws);
    const gfx::Color& backgroundColor() const { return background_; }
    void setBackgroundColor(gfx::Color color);

    void tile();
    void reflectScrolledClipView(ClipView& clip);
    // Scrolls the clip view to the point (constrained to the document) and reflects it.
    void scrollTo(gfx::Point origin);
    // During a drag: scrolls by how far the event lies above or below the clip view; answers
    // whether it scrolled.
    bool autoscroll(const Event& event);

    void setFrameSize(gfx::Size size) override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void scrollWheel(const Event& event) override;

private:
    bool showsScroller() const;

    std::shared_ptr<ClipView> clip_;
    std::shared_ptr<Scroller> scroller_;
    bool hasVerticalScroller_ = false;
    bool autohides_ = false;
    ScrollerStyle style_ = ScrollerStyle::overlay;
    bool drawsBackground_ = true;
    gfx::Color background_ = gfx::Color::dynamic(gfx::Color::white(), gfx::Color::grey(0.12));
};

} // namespace ui
