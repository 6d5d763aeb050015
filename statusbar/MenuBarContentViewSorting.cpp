#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripOrnaments.h"
#include "statusbar/StripPressRules.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double jiggleInterval = 1.0 / 60.0;

gfx::Point pointerLocation() {
    if (ui::Application* app = ui::Application::current())
        return app->mouseLocation();
    return {};
}

bool leftButtonDown() {
    ui::Application* app = ui::Application::current();
    return app && (app->pressedMouseButtons() & ui::MouseButton::left) != 0;
}

// Lets go of the module dragged in sorting mode: it slides home from where it was dropped.
void dropDraggedModule(MenuBarContentView& strip) {
    const std::optional<ModuleKind> dragged = strip.draggedModule;
    if (dragged && strip.draggedRect)
        strip.displayedRects[*dragged] = *strip.draggedRect;
    strip.draggedModule.reset();
    strip.draggedRect.reset();
    if (strip.cursorHeld) {
        ui::Cursor::pop();
        strip.cursorHeld = false;
    }
    if (dragged) {
        strip.previousOrder.clear();
        strip.updateDisplayedRects();
    }
}

} // namespace

void MenuBarContentView::setSorting(bool sorting) {
    isSorting_ = sorting;
    endSortDrag();
    setActiveModule(std::nullopt);
    sortPointerIsDown = false;
    sortPointerFrame.reset();
    sortPointerLastPoint.reset();
    pressedClose.reset();
    sortUsesNative_ = false;

    jiggleTimer.reset();
    ui::Application* app = ui::Application::current();
    for (const auto& monitor : escapeMonitors) {
        if (app)
            app->removeMonitor(monitor);
    }
    escapeMonitors.clear();

    if (isSorting_) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        auto strip = [weak]() -> MenuBarContentView* {
            auto strong = weak.lock();
            return strong ? static_cast<MenuBarContentView*>(strong.get()) : nullptr;
        };
        if (app) {
            escapeMonitors.push_back(app->addLocalMonitor(
                ui::EventMasks::keyDown,
                [strip](const ui::Event& event) -> std::optional<ui::Event> {
                    if (MenuBarContentView* view = strip(); view && view->handleEscape(event))
                        return std::nullopt;
                    return event;
                }));
            escapeMonitors.push_back(
                app->addGlobalMonitor(ui::EventMasks::keyDown, [strip](const ui::Event& event) {
                    if (MenuBarContentView* view = strip())
                        view->handleEscape(event);
                }));
        }
        jiggleTimer = std::make_unique<dispatch::Timer>(
            jiggleInterval, true,
            [strip] {
                if (MenuBarContentView* view = strip())
                    view->jiggleTick();
            },
            dispatch::commonModes);
    }

    if (ui::Window* host = window())
        host->invalidateCursorRectsForView(this);
    setNeedsDisplay(true);
}

bool MenuBarContentView::handleEscape(const ui::Event& event) {
    if (event.keyCode() != ui::KeyCode::escape || !isSorting_)
        return false;
    // The controller stores isSorting from the closure, which must not happen inside the
    // monitor that the store removes.
    std::weak_ptr<ui::View> weak = weak_from_this();
    dispatch::RunLoop::main().queue().async([weak] {
        if (auto strong = weak.lock())
            static_cast<MenuBarContentView&>(*strong).requestFinishSorting();
    });
    return true;
}

void MenuBarContentView::requestFinishSorting() {
    if (finishSortingAction)
        finishSortingAction();
}

void MenuBarContentView::jiggleTick() {
    if (!sortUsesNative_) {
        const gfx::Point point = pointerLocation();
        handleSortDrag(leftButtonDown(), menuBarFrame(point, 0), point);
    }
    if (jiggleTimer && animationsEnabled_ && !reduceMotion()) {
        setNeedsDisplay(true);
        if (editingDisplayAction)
            editingDisplayAction();
    }
}

void MenuBarContentView::handleSortDrag(bool buttonDown, std::optional<gfx::Rect> frame,
                                        gfx::Point point) {
    if (!isSorting_)
        return;
    if (buttonDown) {
        if (!sortPointerIsDown) {
            sortPointerIsDown = true;
            sortPointerFrame = frame;
            sortPointerLastPoint.reset();
            if (!frame)
                return;
            const gfx::Point local{point.x - frame->minX(), point.y - frame->minY()};
            pressedClose = closeBadge(local);
            if (!pressedClose) {
                if (const auto kind = module(local)) {
                    beginSortDrag(*kind, local.x);
                    if (window()) {
                        ui::Cursor::closedHand().push();
                        cursorHeld = true;
                    }
                }
            }
        }
        if (sortPointerFrame && draggedModule) {
            if (sortPointerLastPoint == point)
                return;
            sortPointerLastPoint = point;
            moveSortDrag(point.x - sortPointerFrame->minX());
        }
        return;
    }

    if (!sortPointerIsDown)
        return;
    // The release clears the press below; what it needs of the press is read first.
    const std::optional<gfx::Rect> pressFrame = sortPointerFrame;
    const std::optional<ModuleKind> badgePressed = pressedClose;
    if (pressFrame && draggedModule)
        moveSortDrag(point.x - pressFrame->minX());
    sortPointerIsDown = false;
    sortPointerFrame.reset();
    sortPointerLastPoint.reset();
    pressedClose.reset();
    lastPhysicalPress = now();
    if (pressFrame && !draggedModule && badgePressed) {
        const gfx::Point local{point.x - pressFrame->minX(), point.y - pressFrame->minY()};
        if (closeBadgeRect(rect(*badgePressed), stripHeight()).contains(local) && statusHideAction)
            statusHideAction(*badgePressed);
    }
    dropDraggedModule(*this);
    setNeedsDisplay(true);
}

void MenuBarContentView::beginSortDrag(ModuleKind kind, double x) {
    if (!isSorting_ || !moduleWidth(kind) || !editableModules_.contains(kind))
        return;
    const gfx::Rect start = rect(kind);
    draggedModule = kind;
    draggedRect = start;
    dragOffset = x - start.minX();
    reorderTimer_.reset();
}

void MenuBarContentView::moveSortDrag(double x) {
    if (!isSorting_ || !draggedModule || !draggedRect)
        return;
    const auto found = std::find(order_.begin(), order_.end(), *draggedModule);
    if (found == order_.end())
        return;
    const auto index = static_cast<std::size_t>(found - order_.begin());
    const double left = x - dragOffset;
    const double width = draggedRect->width();
    draggedRect->origin.x = clampedSortDragLeft(left, width, bounds().width());
    const std::size_t target = sortDragTarget(order_, index, left + width / 2, layoutModuleRects());
    if (target != index) {
        const ModuleKind moved = *draggedModule;
        order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(index));
        order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(target), moved);
        updateDisplayedRects();
        if (statusOrderAction)
            statusOrderAction(order_);
    }
    setNeedsDisplay(true);
    if (editingDisplayAction)
        editingDisplayAction();
}

void MenuBarContentView::endSortDrag() {
    dropDraggedModule(*this);
    setNeedsDisplay(true);
}

std::optional<ModuleKind> MenuBarContentView::closeBadge(gfx::Point point) const {
    if (!isSorting_)
        return std::nullopt;
    for (const auto& [kind, width] : shownModules()) {
        if (editableModules_.contains(kind) &&
            closeBadgeHitRect(rect(kind), stripHeight()).contains(point))
            return kind;
    }
    return std::nullopt;
}

void MenuBarContentView::resetCursorRects() {
    View::resetCursorRects();
    if (!isSorting_)
        return;
    for (const auto& [kind, width] : shownModules()) {
        if (!editableModules_.contains(kind))
            continue;
        addCursorRect(rect(kind), ui::Cursor::openHand());
        addCursorRect(closeBadgeRect(rect(kind), stripHeight()), ui::Cursor::pointingHand());
    }
}

} // namespace pulsedeck
