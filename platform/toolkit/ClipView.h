#pragma once

#include "platform/toolkit/View.h"

#include <functional>
#include <memory>

namespace ui {

// The scroll view's window onto its document: its bounds origin is the scroll offset in the
// document view's space, and it runs its y axis as the document view does (so a flipped
// document's offset 0 is its top). It reports every change of its bounds origin, from whatever
// cause, through boundsChangedAction while postsBoundsChangedNotifications is on.
class ClipView : public View {
public:
    explicit ClipView(const gfx::Rect& frame = {});

    View* documentView() const { return document_.get(); }
    void setDocumentView(std::shared_ptr<View> view);

    bool isFlipped() const override { return document_ && document_->isFlipped(); }

    bool postsBoundsChangedNotifications() const { return postsBoundsChanged_; }
    void setPostsBoundsChangedNotifications(bool posts) { postsBoundsChanged_ = posts; }
    std::function<void()> boundsChangedAction;

    void setBoundsOrigin(gfx::Point origin) override;
    // The nearest origin that keeps the visible area inside the document (its top when the
    // document is shorter than the clip).
    gfx::Point constrainBoundsOrigin(gfx::Point origin) const;
    // Scrolls to the constrained origin.
    void scrollToPoint(gfx::Point origin);
    // The part of the document on show, in the document's space.
    gfx::Rect documentVisibleRect() const;

private:
    std::shared_ptr<View> document_;
    bool postsBoundsChanged_ = false;
};

} // namespace ui
