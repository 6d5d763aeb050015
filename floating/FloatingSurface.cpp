#include "floating/FloatingSurface.h"

#include "floating/FloatingGeometry.h"
#include "model/StatusPressSession.h"
#include "platform/toolkit/Accessibility.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripOrnaments.h"

namespace pulsedeck {

namespace {

constexpr const char* accessibilityLabel = "Pulsedeck";

bool reduceMotion() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

// The screens' whole frames: while dragging, the bar may go over the menu bar and the Dock.
std::vector<gfx::Rect> screenFrames() {
    std::vector<gfx::Rect> frames;
    for (const auto& screen : ui::Screen::screens())
        frames.push_back(screen.frame());
    return frames;
}

gfx::Point minus(gfx::Point a, gfx::Point b) {
    return {a.x - b.x, a.y - b.y};
}

} // namespace

FloatingSurface::FloatingSurface(const gfx::Rect& frame) : StatusEditingSurface(frame) {
    setAccessibilityElement(true);
    setAccessibilityRole(ui::AccessibilityRole::group);
    setAccessibilityLabel(accessibilityLabel);
}

gfx::Rect FloatingSurface::stripScreenFrame() const {
    const auto strip = owner();
    const gfx::Point origin = window()->frame().origin;
    return {origin.x, origin.y, strip->requiredWidth(),
            strip->presentationHeight().value_or(strip->bounds().height())};
}

void FloatingSurface::clearPress() {
    pressPoint_.reset();
    pressOrigin_.reset();
    pressModule_.reset();
    isMoving_ = false;
}

void FloatingSurface::movePanel(gfx::Point point) {
    ui::Window* panel = window();
    if (!pressPoint_ || !pressOrigin_ || !panel)
        return;
    const gfx::Point offset = minus(point, *pressPoint_);
    const gfx::Rect moved{{pressOrigin_->x + offset.x, pressOrigin_->y + offset.y},
                          panel->frame().size};
    panel->setFrameOrigin(clampFrame(moved, screenFrames()).origin);
}

void FloatingSurface::mouseDown(const ui::Event& event) {
    const gfx::Point point = StatusPressSession::screenLocation(event);
    stopHover();
    settle_.stop();
    const auto strip = owner();
    ui::Window* panel = window();
    if (!strip || !panel)
        return;
    if (strip->isSorting()) {
        sortingPress_ = true;
        strip->setSortUsesNative(true);
        strip->handleSortDrag(true, stripScreenFrame(), point);
        return;
    }
    pressPoint_ = point;
    pressOrigin_ = panel->frame().origin;
    isMoving_ = false;
    pressModule_ = strip->module(minus(point, panel->frame().origin));
}

void FloatingSurface::mouseDragged(const ui::Event& event) {
    const gfx::Point point = StatusPressSession::screenLocation(event);
    if (sortingPress_) {
        if (const auto strip = owner())
            strip->handleSortDrag(true, std::nullopt, point);
        return;
    }
    if (!pressPoint_)
        return;
    if (!isMoving_) {
        // Strictly more than the tolerance: a press that wanders exactly 5 points is a click.
        if (pressPoint_->distanceTo(point) <= clickTolerance)
            return;
        isMoving_ = true;
        ui::Cursor::closedHand().push();
        if (dragBeganAction)
            dragBeganAction();
    }
    movePanel(point);
    ui::Window* panel = window();
    if (panel && dockingAction && dockingAction(panel->frame())) {
        ui::Cursor::pop();
        clearPress();
    }
}

void FloatingSurface::mouseUp(const ui::Event& event) {
    const gfx::Point point = StatusPressSession::screenLocation(event);
    if (sortingPress_) {
        sortingPress_ = false;
        if (const auto strip = owner()) {
            strip->handleSortDrag(false, std::nullopt, point);
            strip->setSortUsesNative(false);
        }
        return;
    }
    if (!pressPoint_)
        return;
    const gfx::Point pressedAt = *pressPoint_;
    const std::optional<ModuleKind> pressedModule = pressModule_;
    bool moved = false;
    if (isMoving_) {
        movePanel(point);
        ui::Cursor::pop();
        moved = true;
    } else if (pressedAt.distanceTo(point) > clickTolerance) {
        // Released far away without a drag step past the tolerance: still a move.
        if (dragBeganAction)
            dragBeganAction();
        movePanel(point);
        moved = true;
    }
    clearPress();

    ui::Window* panel = window();
    if (moved) {
        if (!panel || (dockingAction && dockingAction(panel->frame())))
            return;
        const gfx::Rect kept = keepFrameOnScreen(panel->frame());
        if (kept != panel->frame()) {
            if (reduceMotion())
                panel->setFrame(kept, true);
            else
                settle_.start(panel->shared_from_this(), kept);
        }
        if (movedAction)
            movedAction(kept);
        return;
    }
    if (pressedModule && moduleAction && panel)
        moduleAction(pressedModule, false, pressedAt, panel->frame());
}

void FloatingSurface::rightMouseDown(const ui::Event& event) {
    stopHover();
    if (contextAction)
        contextAction(event);
}

void FloatingSurface::pressModule(gfx::Point point, bool hovering) {
    const auto strip = owner();
    ui::Window* panel = window();
    if (!strip || !panel || strip->isSorting())
        return;
    const auto kind = strip->module(point);
    if (!kind || !moduleAction)
        return;
    const gfx::Point onScreen = panel->convertPointToScreen(convertPointToView(point, nullptr));
    moduleAction(kind, hovering, onScreen, panel->frame());
}

bool FloatingSurface::accessibilityPerformPress() {
    const auto strip = owner();
    if (!strip || strip->isSorting())
        return false;
    for (ModuleKind kind : strip->order()) {
        if (!strip->moduleWidth(kind))
            continue;
        pressModule(strip->rect(kind).center(), false);
        return true;
    }
    return false;
}

bool FloatingSurface::showsHoverDetails() const {
    return !pressPoint_ && StatusEditingSurface::showsHoverDetails();
}

void FloatingSurface::reportHover(ModuleKind kind, gfx::Point screenPoint) {
    if (ui::Window* panel = window(); panel && moduleAction)
        moduleAction(kind, true, screenPoint, panel->frame());
}

void FloatingSurface::resetCursorRects() {
    const auto strip = owner();
    if (!strip)
        return;
    addCursorRect(bounds(), ui::Cursor::openHand());
    const bool sorting = strip->isSorting();
    const double height = strip->presentationHeight().value_or(strip->bounds().height());
    for (ModuleKind kind : strip->order()) {
        if (!strip->moduleWidth(kind))
            continue;
        const gfx::Rect moduleRect = strip->rect(kind);
        addCursorRect(moduleRect, sorting ? ui::Cursor::openHand() : ui::Cursor::pointingHand());
        if (sorting)
            addCursorRect(closeBadgeRect(moduleRect, height), ui::Cursor::pointingHand());
    }
}

} // namespace pulsedeck
