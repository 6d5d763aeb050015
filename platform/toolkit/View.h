#pragma once

#include "platform/animation/Layer.h"
#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Appearance.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/Accessibility.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/DirtyRegion.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/TrackingArea.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gfx {
class Context;
}

namespace ui {

class View;
class Window;

// An image of the view's drawing (its subviews included) at its bounds size, drawn at the scale
// in the view's appearance; none when the bounds have no width or no height.
std::optional<gfx::Image> snapshotImage(View& view, double scale = 2);

// Autoresizing bits as fixed numbers callers may write plainly (18 is width and height sizable).
using AutoresizingMask = unsigned;
namespace Autoresizing {
inline constexpr AutoresizingMask none = 0;
inline constexpr AutoresizingMask minXMargin = 1;
inline constexpr AutoresizingMask widthSizable = 2;
inline constexpr AutoresizingMask maxXMargin = 4;
inline constexpr AutoresizingMask minYMargin = 8;
inline constexpr AutoresizingMask heightSizable = 16;
inline constexpr AutoresizingMask maxYMargin = 32;
} // namespace Autoresizing

enum class Ordering { below = -1, above = 1 };

// A rectangle of a window that draws itself and handles input. Views own their subviews; the
// superview and window pointers are not owning.
//
// Geometry: the frame is in the superview's space, the bounds are the view's own space; a bounds
// size that differs from the frame size scales the drawing. A flipped view has y growing down
// from its top edge.
//
// Subclasses customise through protected hooks with empty defaults (drawRect, the mouse and key
// handlers, resetCursorRects, ...). The mouse and key handlers' defaults pass the event on to the
// superview, as a responder chain does, so an override that does not call the base
// swallows the event. The bookkeeping around them (dirty regions, clipping and translation into
// child coordinates, tracking) lives in private wrappers.
class View : public std::enable_shared_from_this<View> {
public:
    explicit View(const gfx::Rect& frame = {});
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Geometry. setFrame is setFrameOrigin then setFrameSize, so an override of either sees it;
    // the base behaviour stays reachable as View::setFrameSize from a subclass or a caller that
    // must bypass an override.
    const gfx::Rect& frame() const { return frame_; }
    void setFrame(const gfx::Rect& frame);
    virtual void setFrameOrigin(gfx::Point origin);
    virtual void setFrameSize(gfx::Size size);
    const gfx::Rect& bounds() const { return bounds_; }
    void setBounds(const gfx::Rect& bounds);
    virtual void setBoundsOrigin(gfx::Point origin);
    virtual void setBoundsSize(gfx::Size size);
    virtual bool isFlipped() const { return false; }
    // The part of the bounds not clipped away by the superviews and the window.
    gfx::Rect visibleRect() const;

    AutoresizingMask autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(AutoresizingMask mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool flag) { autoresizesSubviews_ = flag; }

    // The tree.
    View* superview() const { return superview_; }
    Window* window() const { return window_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    void addSubview(std::shared_ptr<View> view);
    void addSubview(std::shared_ptr<View> view, Ordering place, const View* relativeTo);
    void setSubviews(std::vector<std::shared_ptr<View>> views);
    void removeFromSuperview();
    bool isDescendantOf(const View* view) const;
    // How many times the view's geometry, visibility or subview list has actually changed: a
    // measure for owners that must leave a steady tree alone.
    std::uint64_t mutationCount() const { return mutations_; }

    // Conversions; a null view means the window's base space.
    gfx::Point convertPointToView(gfx::Point point, const View* view) const;
    gfx::Point convertPointFromView(gfx::Point point, const View* view) const;
    gfx::Rect convertRectToView(const gfx::Rect& rect, const View* view) const;
    gfx::Rect convertRectFromView(const gfx::Rect& rect, const View* view) const;
    // Bounds space → window base space.
    gfx::AffineTransform transformToWindow() const;

    // Display. Both invalidations are overridable, and every invalidation the toolkit makes goes
    // through one of them; the base versions only record the dirty area.
    bool needsDisplay() const { return !dirty_.isEmpty(); }
    virtual void setNeedsDisplay(bool flag);
    virtual void setNeedsDisplayInRect(const gfx::Rect& rect);
    // Draws the view (and what it covers) into its window now, whether dirty or not.
    void display();
    void displayRect(const gfx::Rect& rect);
    // The dirty area awaiting display, in bounds space: the union of its parts, which the window
    // draws apart where they lie apart.
    const gfx::Rect& dirtyRect() const { return dirty_.bounds(); }
    const std::vector<gfx::Rect>& dirtyRects() const { return dirty_.parts(); }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    double alphaValue() const { return layer_ ? layer_->opacity() : alpha_; }
    void setAlphaValue(double alpha);
    // A corner radius that clips the view and its subviews to a rounded bounds.
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);

    // Layer backing. A layer-backed view draws with its layer's presented opacity, position and
    // size (so animations added to the layer show on screen while the model frame, which hit
    // testing uses, is already the new one) and casts the layer's shadow. The layer's model
    // bounds and position follow the frame (position = frame origin), and its opacity is the
    // view's alpha value. Views always clip their drawing to their bounds, masking or not.
    bool wantsLayer() const { return layer_ != nullptr; }
    void setWantsLayer(bool wants);
    anim::Layer* layer() const { return layer_.get(); }
    // Where the view shows in the superview's space: the presented frame, widened by the reach
    // of a shadow.
    gfx::Rect drawnFrame() const;

    // Appearance: an explicit one, else the superview's, else the window's, else the app's.
    const std::optional<gfx::Appearance>& appearance() const { return appearance_; }
    void setAppearance(std::optional<gfx::Appearance> appearance);
    gfx::Appearance effectiveAppearance() const;

    // A view that shows another's content (a stand-in drawn over it) may answer with that one's.
    virtual const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip) { toolTip_ = std::move(toolTip); }

    // Accessibility.
    const AccessibilityProperties& accessibility() const { return accessibility_; }
    bool isAccessibilityElement() const { return accessibility_.element; }
    void setAccessibilityElement(bool element) { accessibility_.element = element; }
    void setAccessibilityRole(std::string role) { accessibility_.role = std::move(role); }
    void setAccessibilityLabel(std::string label) { accessibility_.label = std::move(label); }
    void setAccessibilityValue(std::string value) { accessibility_.value = std::move(value); }
    // Called when an assistive client presses the view; the default runs
    // accessibilityPressAction and reports whether there was one.
    virtual bool accessibilityPerformPress();
    std::function<void()> accessibilityPressAction;

    // Input. hitTest takes a point in the superview's space and answers the deepest view there,
    // or none (a view answering none lets the click through to what lies behind).
    virtual View* hitTest(gfx::Point pointInSuperview);
    // The one entry for events: picks the hook for the event's type.
    void dispatchEvent(const Event& event);
    virtual bool acceptsFirstResponder() const { return false; }
    // Escape, as the key handling turns it into an action; the default passes it on to the
    // superview.
    virtual void cancelOperation(const Event& event);

    void addTrackingArea(std::shared_ptr<TrackingArea> area);
    void removeTrackingArea(const std::shared_ptr<TrackingArea>& area);
    const std::vector<std::shared_ptr<TrackingArea>>& trackingAreas() const {
        return trackingAreas_;
    }
    // Called when the view's geometry or window changed; subclasses rebuild their areas here.
    virtual void updateTrackingAreas() {}

    // Cursor rectangles, in bounds space; only meaningful inside resetCursorRects.
    void addCursorRect(const gfx::Rect& rect, Cursor cursor);
    void discardCursorRects() { cursorRects_.clear(); }
    struct CursorRect {
        gfx::Rect rect;
        Cursor cursor;
    };
    const std::vector<CursorRect>& cursorRects() const { return cursorRects_; }

protected:
    virtual void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect);

    virtual void mouseDown(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void mouseMoved(const Event& event);
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseUp(const Event& event);
    virtual void rightMouseDragged(const Event& event);
    virtual void otherMouseDown(const Event& event);
    virtual void otherMouseUp(const Event& event);
    virtual void scrollWheel(const Event& event);
    virtual void keyDown(const Event& event);
    virtual void keyUp(const Event& event);

    // Called on every view of a window just before the window draws what views marked. A view
    // that knows more than its marks say settles them here: replaceDirtyRect takes back the
    // parts that would only draw the same pixels again.
    virtual void viewWillDraw() {}
    // Replaces the area awaiting display (bounds space) without telling the window; meant for
    // viewWillDraw, where the window gathers the marks after every view has settled them.
    void replaceDirtyRect(const gfx::Rect& rect);
    void replaceDirtyRects(const std::vector<gfx::Rect>& rects);

    virtual void resetCursorRects() {}
    virtual void viewDidChangeEffectiveAppearance() {}
    virtual void viewDidMoveToWindow() {}
    // Called when the view's window begins or stops showing (ordered front or out, closed).
    virtual void viewDidChangeWindowVisibility() {}
    // Called after the frame size changed, with the old size; the default autoresizes the
    // subviews when autoresizesSubviews is on.
    virtual void resizeSubviewsWithOldSize(gfx::Size oldSize);
    void resizeWithOldSuperviewSize(gfx::Size oldSize);

private:
    friend class Window;
    friend class Application;
    friend std::optional<gfx::Image> snapshotImage(View& view, double scale);

    void setWindow(Window* window);
    void attach(std::shared_ptr<View> view, std::size_t index);
    void detach(View& view);
    void invalidate(const gfx::Rect& rect);
    // Bounds space → superview's bounds space.
    gfx::AffineTransform transformToSuperview() const;
    void effectiveAppearanceMayHaveChanged();
    void geometryChanged();
    // Draws this view and its subviews clipped to dirty; both the context's user space and
    // dirty are in this view's bounds space.
    void drawHierarchy(gfx::Context& context, const gfx::Rect& dirty);
    // Draws one area of the view (inside its bounds) and its subviews, clipped to the bounds,
    // rounded or not.
    void drawArea(gfx::Context& context, const gfx::Rect& area, bool rounded);
    void clearDirtyInTree();
    // The layer's presented frame against the model frame: where drawing goes.
    gfx::AffineTransform drawingTransformToSuperview() const;
    gfx::Rect presentedBoundsRect() const;
    void layerDisplayChanged();
    void syncLayerGeometry();
    void collectCursorRects();

    gfx::Rect frame_;
    gfx::Rect bounds_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    std::vector<std::shared_ptr<View>> subviews_;
    AutoresizingMask autoresizingMask_ = Autoresizing::none;
    bool autoresizesSubviews_ = true;
    DirtyRegion dirty_;
    bool hidden_ = false;
    double alpha_ = 1;
    double cornerRadius_ = 0;
    std::unique_ptr<anim::Layer> layer_;
    // What the superview last had to redraw for the layer, in its space.
    gfx::Rect layerDrawnFrame_;
    std::optional<gfx::Appearance> appearance_;
    std::optional<gfx::Appearance> shownAppearance_;
    std::string toolTip_;
    AccessibilityProperties accessibility_;
    std::vector<std::shared_ptr<TrackingArea>> trackingAreas_;
    std::vector<CursorRect> cursorRects_;
    std::uint64_t mutations_ = 0;
};

} // namespace ui
