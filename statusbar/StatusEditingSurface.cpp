#include "statusbar/StatusEditingSurface.h"

#include "model/StripLook.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/PassiveStripMaterial.h"
#include "statusbar/StripForeground.h"
#include "statusbar/StripOrnaments.h"

#include <algorithm>
#include <cmath>

namespace pulsedeck {

namespace {

constexpr double appMarkCornerFactor = 0.23;
constexpr double roundCornerFactor = 0.5;

// The heads-up display material, blended with what is behind the window, always active.
constexpr int behindWindowBlending = 0;
constexpr int hudWindowMaterial = 13;
constexpr int activeMaterialState = 1;

constexpr double backgroundWhiteDark = 0.1;
constexpr double backgroundWhiteLight = 0.94;
constexpr double outlineAlpha = 0.12;
constexpr double outlineWidth = 0.5;

// redraw(in:) repaints this much beyond each side of the rect.
constexpr double redrawMargin = 4;

constexpr ui::TrackingOptions trackingOptions =
    ui::Tracking::mouseEnteredAndExited | ui::Tracking::mouseMoved | ui::Tracking::activeAlways |
    ui::Tracking::inVisibleRect;

constexpr const char* accessibilityLabel = "Pulsedeck";

bool reduceTransparency() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceTransparency();
}

bool anyMouseButtonDown() {
    ui::Application* app = ui::Application::current();
    return app && app->pressedMouseButtons() != 0;
}

} // namespace

StatusEditingSurface::StatusEditingSurface(const gfx::Rect& frame)
    : ui::View(frame), glass_(std::make_shared<PassiveStripMaterial>(bounds())),
      foreground_(std::make_shared<StripForeground>(bounds())) {
    setAccessibilityElement(true);
    setAccessibilityRole(ui::AccessibilityRole::button);
    setAccessibilityLabel(accessibilityLabel);
    foreground_->surface = this;
    for (const auto& layer : {std::static_pointer_cast<ui::View>(glass_),
                              std::static_pointer_cast<ui::View>(foreground_)}) {
        layer->setFrame(bounds());
        layer->setAutoresizingMask(ui::Autoresizing::widthSizable |
                                   ui::Autoresizing::heightSizable);
        addSubview(layer);
    }
    applyMaterial();
}

StatusEditingSurface::~StatusEditingSurface() {
    hoverTimer_.reset();
    foreground_->surface = nullptr;
}

void StatusEditingSurface::setOwner(std::weak_ptr<MenuBarContentView> owner) {
    // The same strip, alive or gone, is the same owner.
    if (!owner_.owner_before(owner) && !owner.owner_before(owner_))
        return;
    owner_ = std::move(owner);
    setNeedsDisplay(true);
}

const std::string& StatusEditingSurface::toolTip() const {
    if (const auto strip = owner())
        return strip->toolTip();
    return View::toolTip();
}

double StatusEditingSurface::cornerFactor() const {
    const auto strip = owner();
    return strip && strip->displaysAppMark() ? appMarkCornerFactor : roundCornerFactor;
}

gfx::Point StatusEditingSurface::stripOrigin() const {
    return {};
}

bool StatusEditingSurface::showsHoverDetails() const {
    const auto strip = owner();
    return strip && strip->hoverDetailsEnabled && strip->hoverDetailsEnabled() &&
           !strip->holdsPointer();
}

void StatusEditingSurface::reportHover(ModuleKind kind, gfx::Point screenPoint) {
    if (const auto strip = owner(); strip && strip->moduleHoverAction)
        strip->moduleHoverAction(kind, screenPoint);
}

void StatusEditingSurface::setOpacity(double opacity) {
    if (opacity_ == opacity)
        return;
    opacity_ = opacity;
    applyMaterial();
}

void StatusEditingSurface::applyMaterial() {
    const auto strip = owner();
    const Material material{clampedOpacity(opacity_),
                            strip ? std::optional(strip->effectiveAppearance()) : std::nullopt,
                            bounds().height() * cornerFactor(), reduceTransparency()};
    if (appliedMaterial_ == material)
        return;
    appliedMaterial_ = material;
    glass_->blendingMode = behindWindowBlending;
    glass_->material = hudWindowMaterial;
    glass_->state = activeMaterialState;
    glass_->setAlphaValue(material.opacity);
    setAppearance(material.appearance);
    setCornerRadius(material.cornerRadius);
    setNeedsDisplay(true);
}

void StatusEditingSurface::setFrameSize(gfx::Size size) {
    View::setFrameSize(size);
    setCornerRadius(size.height * cornerFactor());
}

// The surface paints nothing of its own: its area shows its glass and foreground, which mark
// themselves when what they draw changes. So a whole mark is kept only when the surface's own
// geometry, clip, opacity or appearance changed (the toolkit asks on each such change); the
// display asked for after every status rebuild repaints only the modules that changed.
void StatusEditingSurface::setNeedsDisplay(bool flag) {
    if (!flag) {
        View::setNeedsDisplay(false);
        return;
    }
    const OwnLook look{window(),
                       frame(),
                       bounds(),
                       cornerRadius(),
                       alphaValue(),
                       isHidden(),
                       effectiveAppearance()};
    if (markedLook_ != look) {
        markedLook_ = look;
        View::setNeedsDisplay(true);
    }
    redraw();
}

// Both redraws only mark the foreground: one status rebuild asks for a redraw many times, and
// drawing each time would paint and present the whole strip again for every ask. The window
// draws what is marked once, on its next scheduled display.
void StatusEditingSurface::redraw() {
    foreground_->setNeedsDisplay(true);
}

void StatusEditingSurface::redraw(const gfx::Rect& rect) {
    const gfx::Rect layer = foreground_->bounds();
    const gfx::Rect column = gfx::Rect{std::floor(rect.minX()) - redrawMargin, layer.minY(),
                                       std::ceil(rect.width()) + 2 * redrawMargin, layer.height()}
                                 .intersection(layer);
    if (column.isEmpty())
        return;
    foreground_->setNeedsDisplayInRect(column);
}

void StatusEditingSurface::drawContent(gfx::Context& context, const gfx::Rect& rect) {
    drawBackground(context, rect);
    if (const auto strip = owner())
        strip->drawStrip(context, true, rect);
}

StatusEditingSurface::BackgroundLook StatusEditingSurface::backgroundLook() const {
    const auto strip = owner();
    if (!strip)
        return {};
    return {strip->effectiveAppearance() == gfx::Appearance::dark,
            reduceTransparency() ? 1.0 : std::pow(clampedOpacity(opacity_), 3),
            bounds().height() * cornerFactor(), bounds()};
}

void StatusEditingSurface::drawBackground(gfx::Context& context, const gfx::Rect&) {
    if (owner_.expired())
        return;
    const BackgroundLook look = backgroundLook();
    const auto paint = [&look](gfx::Context& target) {
        const gfx::Path glassShape =
            gfx::Path::roundedRect(look.bounds.insetBy(0.5, 0.5), look.radius, look.radius);
        gfx::Context::SavedState saved(target);
        target.setFillColor(
            gfx::Color::grey(look.dark ? backgroundWhiteDark : backgroundWhiteLight, look.alpha));
        target.fill(glassShape);
        target.setStrokeColor(look.dark ? gfx::Color::white().withAlpha(outlineAlpha)
                                        : gfx::Color::black().withAlpha(outlineAlpha));
        target.setLineWidth(outlineWidth);
        target.stroke(glassShape);
    };
    // Every partial repaint of the strip draws the background under it; the whole rounded
    // outline would be stroked again for a column of a few points.
    const bool changed = keptLook_ != look;
    keptLook_ = look;
    if (!keptBackground_.draw(context, look.bounds, changed, paint))
        paint(context);
}

// Hover.

void StatusEditingSurface::updateHover(gfx::Point point, bool held) {
    const gfx::Point origin = stripOrigin();
    const auto strip = owner();
    std::optional<ModuleKind> kind;
    if (strip && showsHoverDetails() && !held)
        kind = strip->module({point.x - origin.x, point.y - origin.y});
    if (!kind) {
        stopHover();
        return;
    }
    // Moving inside the module keeps the running delay.
    if (kind == hoveredModule_)
        return;
    hoverTimer_.reset();
    hoveredModule_ = kind;
    std::weak_ptr<ui::View> weak = weak_from_this();
    hoverTimer_ = std::make_unique<dispatch::Timer>(
        hoverDelay, false,
        [weak, hovered = *kind] {
            if (auto strong = weak.lock())
                static_cast<StatusEditingSurface&>(*strong).hoverDelayExpired(hovered);
        },
        dispatch::commonModes);
}

void StatusEditingSurface::hoverDelayExpired(ModuleKind kind) {
    const auto strip = owner();
    ui::Window* host = window();
    if (!strip || !showsHoverDetails() || hoveredModule_ != kind || !host)
        return;
    hoverTimer_.reset();
    const gfx::Point origin = stripOrigin();
    const gfx::Rect inSurface = strip->rect(kind).offsetBy(origin.x, origin.y);
    const gfx::Rect onScreen = host->convertRectToScreen(convertRectToView(inSurface, nullptr));
    reportHover(kind, onScreen.center());
}

void StatusEditingSurface::stopHover() {
    hoverTimer_.reset();
    hoveredModule_.reset();
}

// The mouse, forwarded to the owner.

void StatusEditingSurface::mouseDown(const ui::Event& event) {
    stopHover();
    if (const auto strip = owner())
        strip->dispatchEvent(event);
}

void StatusEditingSurface::mouseDragged(const ui::Event& event) {
    const auto strip = owner();
    if (!strip)
        return;
    const gfx::Point point = strip->pressLocation(event);
    if (strip->isSorting())
        strip->handleSortDrag(true, strip->menuBarFrame(point, 0), point);
    else
        strip->pressMoved(point);
}

void StatusEditingSurface::mouseUp(const ui::Event& event) {
    if (const auto strip = owner())
        strip->dispatchEvent(event);
}

void StatusEditingSurface::rightMouseDown(const ui::Event& event) {
    stopHover();
    if (const auto strip = owner(); strip && strip->contextMenuAction)
        strip->contextMenuAction(event);
}

void StatusEditingSurface::mouseEntered(const ui::Event& event) {
    updateHover(convertPointFromView(event.locationInWindow(), nullptr), anyMouseButtonDown());
}

void StatusEditingSurface::mouseMoved(const ui::Event& event) {
    updateHover(convertPointFromView(event.locationInWindow(), nullptr), anyMouseButtonDown());
}

void StatusEditingSurface::mouseExited(const ui::Event&) {
    stopHover();
}

bool StatusEditingSurface::accessibilityPerformPress() {
    const auto strip = owner();
    if (!strip)
        return false;
    strip->accessibilityPerformPress();
    return true;
}

void StatusEditingSurface::updateTrackingAreas() {
    if (tracking_)
        removeTrackingArea(tracking_);
    tracking_ = std::make_shared<ui::TrackingArea>(gfx::Rect{}, trackingOptions, this);
    addTrackingArea(tracking_);
    View::updateTrackingAreas();
}

void StatusEditingSurface::resetCursorRects() {
    const auto strip = owner();
    if (!strip)
        return;
    if (!strip->isSorting()) {
        addCursorRect(bounds(), ui::Cursor::pointingHand());
        return;
    }
    const double height = strip->presentationHeight().value_or(strip->bounds().height());
    for (ModuleKind kind : strip->order()) {
        if (!strip->moduleWidth(kind) || !strip->editableModules().contains(kind))
            continue;
        const gfx::Rect moduleRect = strip->rect(kind);
        addCursorRect(moduleRect, ui::Cursor::openHand());
        addCursorRect(closeBadgeRect(moduleRect, height), ui::Cursor::pointingHand());
    }
}

} // namespace pulsedeck
