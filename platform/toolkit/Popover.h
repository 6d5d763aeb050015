#pragma once

#include "platform/dispatch/Timer.h"
#include "platform/graphics/Appearance.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/EventMonitors.h"
#include "platform/toolkit/ViewController.h"
#include "platform/toolkit/Window.h"

#include <memory>
#include <optional>
#include <vector>

namespace ui {

// Rectangle edges as fixed numbers; minY is below in a plain (y-up) view.
enum class RectEdge { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// Application-defined popovers close only when told; transient ones also close at a press
// outside them anywhere, semitransient ones at a press in another window of the application.
enum class PopoverBehavior { applicationDefined = 0, transient = 1, semitransient = 2 };

class Popover;

class PopoverDelegate {
public:
    virtual ~PopoverDelegate() = default;
    // Once per closing, whoever closed it.
    virtual void popoverDidClose(Popover& popover) = 0;
};

// Where a popover of a content size goes next to an anchor rectangle (screen points), on the
// preferred edge unless only the opposite side has room, kept inside the visible area across
// that edge, and cut to the room on its side where it has too little.
gfx::Rect popoverFrame(const gfx::Rect& anchor, gfx::Size contentSize, RectEdge preferredEdge,
                       const std::optional<gfx::Rect>& visibleArea);

// Content shown in its own window next to a rectangle of a view. Its content size changes
// animate when set inside an animation group while it is shown and animates is on.
class Popover {
public:
    Popover();
    ~Popover();
    Popover(const Popover&) = delete;
    Popover& operator=(const Popover&) = delete;

    const std::shared_ptr<ViewController>& contentViewController() const { return controller_; }
    void setContentViewController(std::shared_ptr<ViewController> controller);

    // The target size; while an animation runs, the window's size is on its way there.
    gfx::Size contentSize() const { return contentSize_; }
    void setContentSize(gfx::Size size);

    PopoverBehavior behavior() const { return behavior_; }
    void setBehavior(PopoverBehavior behavior) { behavior_ = behavior; }
    bool animates() const { return animates_; }
    void setAnimates(bool animates) { animates_ = animates; }
    const std::optional<gfx::Appearance>& appearance() const { return appearance_; }
    void setAppearance(std::optional<gfx::Appearance> appearance);
    void setDelegate(std::weak_ptr<PopoverDelegate> delegate) { delegate_ = std::move(delegate); }

    bool isShown() const { return shown_; }
    // Shows (or, when shown, moves) the popover next to rect, in view's coordinates.
    void showRelativeToRect(const gfx::Rect& rect, View* view, RectEdge preferredEdge);
    const gfx::Rect& positioningRect() const { return positioningRect_; }
    // Moves a shown popover to a new rectangle of the same view.
    void setPositioningRect(const gfx::Rect& rect);
    void performClose();
    void close();

    // The popover's window while it exists.
    const std::shared_ptr<Window>& window() const { return window_; }

private:
    gfx::Rect anchorOnScreen() const;
    void watchOutsidePresses();
    void stopWatching();
    void pressSeen(const Event& event);
    void place(gfx::Size size);
    void stepAnimation();

    std::shared_ptr<ViewController> controller_;
    gfx::Size contentSize_;
    PopoverBehavior behavior_ = PopoverBehavior::applicationDefined;
    bool animates_ = true;
    std::optional<gfx::Appearance> appearance_;
    std::weak_ptr<PopoverDelegate> delegate_;
    bool shown_ = false;
    gfx::Rect positioningRect_;
    std::weak_ptr<View> positioningView_;
    RectEdge edge_ = RectEdge::minY;
    std::shared_ptr<Window> window_;
    std::vector<EventMonitorToken> monitors_;
    // Lets monitor handlers find out that the popover is gone.
    std::shared_ptr<Popover*> self_ = std::make_shared<Popover*>(this);

    struct Resize {
        gfx::Size from;
        gfx::Size to;
        double start = 0;
        double duration = 0;
        TimingFunction timing = TimingFunction::defaultTiming;
        std::shared_ptr<AnimationContext::Completion> completion;
    };
    std::optional<Resize> resize_;
    std::unique_ptr<dispatch::Timer> resizeTimer_;
};

} // namespace ui
