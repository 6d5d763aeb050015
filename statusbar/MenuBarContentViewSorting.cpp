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

} // namespace

void MenuBarContentView::setSorting(bool sorting) {
    isSorting_ = sorting;
    endSortDrag();
    setActiveModule(std::nullopt);
    sortPointerIsDown_ = false;
    sortPointerFrame_.reset();
    sortPointerLastPoint_.reset();
    pressedClose_.reset();
    sortUsesNative_ = false;

    jiggleTimer_.reset();
    ui::Application* app = ui::Application::current();
    for (const auto& monitor : escapeMonitors_) {
        if (app)
            app->removeMonitor(monitor);
    }
    escapeMonitors_.clear();

    if (isSorting_) {
        std::weak_ptr<ui::View> weak = weak_from_this();
        auto strip = [weak]() -> MenuBarContentView* {
            auto strong = weak.lock();
            return strong ? static_cast<MenuBarContentView*>(strong.get()) : nullptr;
        };
        if (app) {
            escapeMonitors_.push_back(app->addLocalMonitor(
                ui::EventMasks::keyDown,
                [strip](const ui::Event& event) -> std::optional<ui::Event> {
                    if (MenuBarContentView* view = strip(); view && view->handleEscape(event))
                        return std::nullopt;
                    return event;
                }));
            escapeMonitors_.push_back(
                app->addGlobalMonitor(ui::EventMasks::keyDown, [strip](const ui::Event& event) {
                    if (MenuBarContentView* view = strip())
                        view->handleEscape(event);
                }));
        }
        jiggleTimer_ = std::make_unique<dispatch::Timer>(
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
    if (jiggleTimer_ && animationsEnabled_ && !reduceMotion()) {
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
        if (!sortPointerIsDown_) {
            sortPointerIsDown_ = true;
            sortPointerFrame_ = frame;
            sortPointerLastPoint_.reset();
            if (!frame)
                return;
            const gfx::Point local{point.x - frame->minX(), point.y - frame->minY()};
            pressedClose_ = closeBadge(local);
            if (!pressedClose_) {
                if (const auto kind = module(local)) {
                    beginSortDrag(*kind, local.x);
                    if (window()) {
                        ui::Cursor::closedHand().push();
                        cursorHeld_ = true;
                    }
                }
            }
        }
        if (sortPointerFrame_ && draggedModule_) {
            if (sortPointerLastPoint_ == point)
                return;
            sortPointerLastPoint_ = point;
            moveSortDrag(point.x - sortPointerFrame_->minX());
        }
        return;
    }

    if (!sortPointerIsDown_)
        return;
    // The release clears the press below; what it needs of the press is read first.
    const std::optional<gfx::Rect> pressFrame = sortPointerFrame_;
    const std::optional<ModuleKind> badgePressed = pressedClose_;
    if (pressFrame && draggedModule_)
        moveSortDrag(point.x - pressFrame->minX());
    sortPointerIsDown_ = false;
    sortPointerFrame_.reset();
    sortPointerLastPoint_.reset();
    pressedClose_.reset();
    lastPhysicalPress_ = now();
    if (pressFrame && !draggedModule_ && badgePressed) {
        const gfx::Point local{point.x - pressFrame->minX(), point.y - pressFrame->minY()};
        if (closeBadgeRect(rect(*badgePressed), stripHeight()).contains(local) && statusHideAction)
            statusHideAction(*badgePressed);
    }
    dropDraggedModule();
    setNeedsDisplay(true);
}

void MenuBarContentView::beginSortDrag(ModuleKind kind, double x) {
    if (!isSorting_ || !moduleWidth(kind) || !editableModules_.contains(kind))
        return;
    const gfx::Rect start = rect(kind);
    draggedModule_ = kind;
    draggedRect_ = start;
    dragOffset_ = x - start.minX();
    reorderTimer_.reset();
}

void MenuBarContentView::moveSortDrag(double x) {
    if (!isSorting_ || !draggedModule_ || !draggedRect_)
        return;
    const auto found = std::find(order_.begin(), order_.end(), *draggedModule_);
    if (found == order_.end())
        return;
    const auto index = static_cast<std::size_t>(found - order_.begin());
    const double left = x - dragOffset_;
    const double width = draggedRect_->width();
    draggedRect_->origin.x = clampedSortDragLeft(left, width, bounds().width());
    const std::size_t target = sortDragTarget(order_, index, left + width / 2, layoutModuleRects());
    if (target != index) {
        const ModuleKind moved = *draggedModule_;
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

void MenuBarContentView::dropDraggedModule() {
    const std::optional<ModuleKind> dragged = draggedModule_;
    if (dragged && draggedRect_)
        displayedRects_[*dragged] = *draggedRect_;
    draggedModule_.reset();
    draggedRect_.reset();
    if (cursorHeld_) {
        ui::Cursor::pop();
        cursorHeld_ = false;
    }
    if (dragged) {
        previousOrder_.clear();
        updateDisplayedRects();
    }
}

void MenuBarContentView::endSortDrag() {
    dropDraggedModule();
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
