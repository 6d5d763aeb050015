#pragma once

#include "platform/toolkit/Event.h"
#include "platform/toolkit/TrackingArea.h"

#include <memory>

namespace pulsedeck {

// A view that knows whether the pointer is over it: one tracking area for entering and leaving,
// always active, over the visible rect (so it follows what is shown of the view), replaced
// whenever the view asks for updated areas; entering and leaving set the flag and redraw.
template <class Base> class HoverTracking : public Base {
public:
    using Base::Base;

    bool isHovered() const { return hovered_; }

protected:
    void updateTrackingAreas() override {
        if (tracking_)
            this->removeTrackingArea(tracking_);
        tracking_ = std::make_shared<ui::TrackingArea>(gfx::Rect{},
                                                       ui::Tracking::mouseEnteredAndExited |
                                                           ui::Tracking::activeAlways |
                                                           ui::Tracking::inVisibleRect,
                                                       this);
        this->addTrackingArea(tracking_);
    }
    void mouseEntered(const ui::Event&) override { setHovered(true); }
    void mouseExited(const ui::Event&) override { setHovered(false); }

private:
    void setHovered(bool hovered) {
        hovered_ = hovered;
        this->setNeedsDisplay(true);
    }

    bool hovered_ = false;
    std::shared_ptr<ui::TrackingArea> tracking_;
};

} // namespace pulsedeck
