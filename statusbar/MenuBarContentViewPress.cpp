#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StatusEditingPanel.h"
#include "statusbar/StripPressRules.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double pressPollInterval = 1.0 / 60.0;
// An accessibility press this soon after a physical one is the same press arriving again.
constexpr double accessibilityEchoWindow = 0.25;

gfx::Point pointerLocation() {
    if (ui::Application* app = ui::Application::current())
        return app->mouseLocation();
    return {};
}

bool leftButtonDown() {
    ui::Application* app = ui::Application::current();
    return app && (app->pressedMouseButtons() & ui::MouseButton::left) != 0;
}

gfx::Point relativeTo(gfx::Point point, const gfx::Rect& frame) {
    return {point.x - frame.minX(), point.y - frame.minY()};
}

} // namespace

std::optional<ModuleKind> MenuBarContentView::module(gfx::Point point) const {
    for (const auto& [kind, width] : shownModules()) {
        if (rect(kind).contains(point))
            return kind;
    }
    return std::nullopt;
}

gfx::Point MenuBarContentView::pressLocation(const ui::Event& event) const {
    if (cameThroughEditingPanel(event))
        return StatusPressSession::screenLocation(event);
    const gfx::Point pointer = pointerLocation();
    if (const auto frame = menuBarFrame(pointer, 0); frame && module(relativeTo(pointer, *frame)))
        return pointer;
    if (const auto host = event.window())
        return host->convertPointToScreen(event.locationInWindow());
    return pointer;
}

void MenuBarContentView::mouseDown(const ui::Event& event) {
    const gfx::Point point = pressLocation(event);
    const auto frame = menuBarFrame(point, 0);
    if (isSorting_) {
        sortUsesNative_ = cameThroughEditingPanel(event);
        handleSortDrag(true, frame, point);
        return;
    }
    if (frame) {
        if (const auto kind = module(relativeTo(point, *frame))) {
            beginPress(*kind, event, point);
            return;
        }
    }
    if (event.window().get() != window())
        return;
    if (const auto kind = module(convertPointFromView(event.locationInWindow(), nullptr)))
        beginPress(*kind, event, point);
}

void MenuBarContentView::mouseDragged(const ui::Event& event) {
    const gfx::Point point = pressLocation(event);
    if (isSorting_)
        handleSortDrag(true, menuBarFrame(point, 0), point);
    else
        pressMoved(point);
}

void MenuBarContentView::mouseUp(const ui::Event& event) {
    if (isSorting_) {
        handleSortDrag(false, std::nullopt, pressLocation(event));
        sortUsesNative_ = false;
        return;
    }
    if (normalPress_.pending)
        pressMoved(pressLocation(event));
    endPress();
}

void MenuBarContentView::rightMouseDown(const ui::Event& event) {
    if (contextMenuAction)
        contextMenuAction(event);
}

void MenuBarContentView::rightMouseUp(const ui::Event&) {}

void MenuBarContentView::handlePointerEvent(const ui::Event& event) {
    const gfx::Point point = pointerLocation();
    if (isSorting_) {
        handleSortDrag(event.type() != ui::EventType::leftMouseUp, menuBarFrame(point, 0), point);
        return;
    }
    switch (event.type()) {
    case ui::EventType::leftMouseDown:
        // A window of another program over the strip takes its own clicks.
        if (event.overAnotherProgram())
            break;
        if (const auto frame = menuBarFrame(point, 0)) {
            if (const auto kind = module(relativeTo(point, *frame)))
                beginPress(*kind, event, point);
        }
        break;
    case ui::EventType::leftMouseUp:
        endPress();
        break;
    case ui::EventType::leftMouseDragged:
        pressMoved(point);
        break;
    default:
        break;
    }
}

void MenuBarContentView::beginPress(ModuleKind kind, const ui::Event& event, gfx::Point point) {
    // One physical press may arrive through several doors; only the first one starts it.
    if (normalPress_.pending || !(normalPress_.lastActivationTime < event.timestamp()))
        return;
    normalPress_.pending = StatusPressSession::Pending{point, kind, event.timestamp()};
    normalPressEvent_ = event;
    normalDragLastPoint_ = point;
    // The overlay's own drag and release events carry the press on.
    if (cameThroughEditingPanel(event))
        return;
    std::weak_ptr<ui::View> weak = weak_from_this();
    normalPressTimer_ = std::make_unique<dispatch::Timer>(
        pressPollInterval, true,
        [weak] {
            auto strong = weak.lock();
            if (!strong)
                return;
            auto& strip = static_cast<MenuBarContentView&>(*strong);
            if (leftButtonDown())
                strip.pressMoved(pointerLocation());
            else
                strip.endPress();
        },
        dispatch::commonModes);
}

void MenuBarContentView::pressMoved(gfx::Point point) {
    if (!normalPress_.pending)
        return;
    normalDragLastPoint_ = point;
    const gfx::Point start = normalPress_.pending->point;
    if (!normalDragActive_) {
        if (!exceedsDragThreshold(start, point))
            return;
        normalDragActive_ = true;
    }
    if (floatingDragAction)
        floatingDragAction(start, point, false);
}

void MenuBarContentView::endPress() {
    if (!normalPress_.pending)
        return;
    const StatusPressSession::Pending press = *normalPress_.pending;
    normalPress_.pending.reset();
    normalPress_.lastActivationTime = std::max(now(), press.started);
    normalPressTimer_.reset();
    const std::optional<ui::Event> event = std::move(normalPressEvent_);
    normalPressEvent_.reset();
    lastPhysicalPress_ = normalPress_.lastActivationTime;

    if (normalDragActive_) {
        normalDragActive_ = false;
        if (floatingDragAction)
            floatingDragAction(press.point, normalDragLastPoint_.value_or(pointerLocation()), true);
        return;
    }
    // The context menu follows Control as it was when the press began.
    if (event && (event->modifierFlags() & ui::Modifier::control)) {
        if (contextMenuAction)
            contextMenuAction(*event);
        return;
    }
    if (moduleClickAction)
        moduleClickAction(press.kind);
    if (clickAction)
        clickAction(press.point);
}

bool MenuBarContentView::accessibilityPerformPress() {
    const gfx::Point point = pointerLocation();
    if (isSorting_) {
        handleSortDrag(leftButtonDown(), menuBarFrame(point, 0), point);
        return true;
    }
    if (normalPress_.pending) {
        if (!leftButtonDown())
            endPress();
        return true;
    }
    const double time = now();
    if (time - lastPhysicalPress_ < accessibilityEchoWindow)
        return true;

    std::optional<ModuleKind> kind;
    if (const auto frame = menuBarFrame(point, 0))
        kind = module(relativeTo(point, *frame));
    ui::Application* app = ui::Application::current();
    if (kind && leftButtonDown() && app) {
        if (const auto current = app->currentEvent()) {
            beginPress(*kind, *current, point);
            return true;
        }
    }

    lastPhysicalPress_ = time;
    if (time > normalPress_.lastActivationTime)
        normalPress_.lastActivationTime = time;
    std::optional<ModuleKind> reported = kind;
    if (!reported) {
        const auto shown = shownModules();
        if (!shown.empty())
            reported = shown.front().first;
    }
    if (moduleClickAction)
        moduleClickAction(reported);
    if (clickAction)
        clickAction(kind ? std::optional<gfx::Point>(point) : std::nullopt);
    return true;
}

} // namespace pulsedeck
