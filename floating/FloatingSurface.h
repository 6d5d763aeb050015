#pragma once

#include "model/Modules.h"
#include "platform/graphics/Geometry.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/WindowFrameAnimation.h"
#include "statusbar/StatusEditingSurface.h"

#include <functional>
#include <optional>

namespace pulsedeck {

// The floating bar's content: the editing surface of the floating strip (its owner), which turns
// the pointer into the bar's actions. A press that travels more than 5 points moves the whole
// panel (kept 6 points inside the screens while dragging, in a screen's usable area after the
// release, and offered for docking at every step); a shorter press on a module is a click on
// it; a right press asks for the context menu; in reorder mode the pointer goes to the strip's
// own sorting. Main thread only.
class FloatingSurface : public StatusEditingSurface {
public:
    // The largest distance a press may travel and still be a click, in points.
    static constexpr double clickTolerance = 5;

    explicit FloatingSurface(const gfx::Rect& frame);

    // Right button pressed.
    std::function<void(const ui::Event&)> contextAction;
    // A move ended without docking; the panel's frame.
    std::function<void(const gfx::Rect&)> movedAction;
    // A module clicked (hovering false, at the press point on screen) or hovered (true).
    std::function<void(std::optional<ModuleKind>, bool hovering, gfx::Point, const gfx::Rect&)>
        moduleAction;
    // A press became a move.
    std::function<void()> dragBeganAction;
    // Whether the panel, at this frame, docks into the menu bar; true: the controller took the
    // panel over and the press ends.
    std::function<bool(const gfx::Rect&)> dockingAction;

    // The press in progress: where it began on screen, the panel's origin then and the module
    // under it; none between presses.
    const std::optional<gfx::Point>& pressPoint() const { return pressPoint_; }
    const std::optional<gfx::Point>& pressOrigin() const { return pressOrigin_; }
    std::optional<ModuleKind> pressModule() const { return pressModule_; }
    bool isMoving() const { return isMoving_; }
    bool sortingPress() const { return sortingPress_; }

    // Reports the module at a point of the surface as clicked or hovered.
    void pressModule(gfx::Point point, bool hovering);

    bool showsHoverDetails() const override;
    void reportHover(ModuleKind kind, gfx::Point screenPoint) override;

    bool accessibilityPerformPress() override;

protected:
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void rightMouseDown(const ui::Event& event) override;
    void resetCursorRects() override;

private:
    // The panel at pressOrigin + (point − pressPoint), clamped 6 points inside the screens.
    void movePanel(gfx::Point point);
    void clearPress();
    // The strip's frame on screen at the panel's origin.
    gfx::Rect stripScreenFrame() const;

    std::optional<gfx::Point> pressPoint_;
    std::optional<gfx::Point> pressOrigin_;
    std::optional<ModuleKind> pressModule_;
    bool isMoving_ = false;
    bool sortingPress_ = false;
    ui::WindowFrameAnimation settle_;
};

} // namespace pulsedeck
