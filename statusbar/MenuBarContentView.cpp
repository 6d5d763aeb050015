#include "statusbar/MenuBarContentView.h"

#include "model/MenuBarGeometry.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StripPlacement.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr double frameInterval = 1.0 / 60.0;
constexpr double selectionFadeDuration = 0.18;
constexpr double devicePulseDuration = 0.72;
constexpr double devicePulseTolerance = 0.002;
// The pulse redraws the devices module with room for its glow.
constexpr double devicePulseMargin = 4;

// A repeating 1/60 s timer on the main loop in the common modes whose step holds the view
// weakly: once the view is gone the step does nothing.
std::unique_ptr<dispatch::Timer> frameTimer(ui::View& view,
                                            std::function<void(MenuBarContentView&)> step) {
    std::weak_ptr<ui::View> weak = view.weak_from_this();
    return std::make_unique<dispatch::Timer>(
        frameInterval, true,
        [weak, step = std::move(step)] {
            if (auto strong = weak.lock())
                step(static_cast<MenuBarContentView&>(*strong));
        },
        dispatch::commonModes);
}

std::vector<gfx::Rect> screenFrames(const std::vector<ui::Screen>& screens) {
    std::vector<gfx::Rect> frames;
    for (const auto& screen : screens)
        frames.push_back(screen.frame());
    return frames;
}

const ui::Screen* screenContaining(const std::vector<ui::Screen>& screens, gfx::Point point) {
    auto found = std::find_if(screens.begin(), screens.end(), [&](const ui::Screen& screen) {
        return screen.frame().contains(point);
    });
    return found != screens.end() ? &*found : nullptr;
}

} // namespace

MenuBarContentView::MenuBarContentView(const gfx::Rect& frame) : ui::View(frame) {
    phase_.lastTime = now();
    setAccessibilityElement(true);
    setAccessibilityRole(ui::AccessibilityRole::button);
}

MenuBarContentView::~MenuBarContentView() {
    ui::Application* app = ui::Application::current();
    for (const auto& monitor : escapeMonitors_) {
        if (app)
            app->removeMonitor(monitor);
    }
    escapeMonitors_.clear();
    deviceAttentionTimer_.reset();
    animationTimer_.reset();
    if (morphTimer_)
        morphTimer_->stop();
    reorderTimer_.reset();
    temperatureTimer_.reset();
    selectionTimer_.reset();
    jiggleTimer_.reset();
    if (metricLink_)
        metricLink_->stop();
    normalPressTimer_.reset();
    if (pointerMonitor_ && app)
        app->removeMonitor(*pointerMonitor_);
    pointerMonitor_.reset();
}

double MenuBarContentView::now() const {
    return dispatch::RunLoop::main().clock().now();
}

bool MenuBarContentView::reduceMotion() const {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

bool MenuBarContentView::drawsDark() const {
    return effectiveAppearance() == gfx::Appearance::dark;
}

double MenuBarContentView::stripHeight() const {
    return presentationHeight_.value_or(bounds().height());
}

// Invalidation.

void MenuBarContentView::setNeedsDisplay(bool flag) {
    View::setNeedsDisplay(flag);
    if (needsDisplay() && editingDisplayAction)
        editingDisplayAction();
}

void MenuBarContentView::setNeedsDisplayInRect(const gfx::Rect& rect) {
    // Under the surfaces the strip shows nothing of its own, cleared whole when they were
    // presented, so a column that changes is theirs alone to redraw: clearing it again composed
    // and solidified the bar's pixels twice a second for nothing.
    if (!editingSurfacePresented_ || !editingRectAction)
        View::setNeedsDisplayInRect(rect);
    if (editingRectAction)
        editingRectAction(rect);
    else if (editingDisplayAction)
        editingDisplayAction();
}

// What the strip paints.

namespace {

bool samePicture(const std::optional<gfx::Image>& a, const std::optional<gfx::Image>& b) {
    if (!a || !b)
        return a.has_value() == b.has_value();
    return a->sharesContent(*b) && a->size() == b->size();
}

} // namespace

const std::optional<gfx::Image>& MenuBarContentView::moduleImage(ModuleKind kind) const {
    static const std::optional<gfx::Image> none;
    switch (kind) {
    case ModuleKind::memory:
        return memoryImage_;
    case ModuleKind::network:
        return networkImage_;
    case ModuleKind::temperature:
        return temperatureImage_;
    case ModuleKind::compute:
        return computeImage_;
    case ModuleKind::devices:
        return devicesImage_;
    case ModuleKind::fan:
        break;
    }
    return none;
}

void MenuBarContentView::setModuleImage(ModuleKind kind, std::optional<gfx::Image> image) {
    std::optional<gfx::Image>* slot = nullptr;
    switch (kind) {
    case ModuleKind::memory:
        slot = &memoryImage_;
        break;
    case ModuleKind::network:
        slot = &networkImage_;
        break;
    case ModuleKind::temperature:
        slot = &temperatureImage_;
        break;
    case ModuleKind::compute:
        slot = &computeImage_;
        break;
    case ModuleKind::devices:
        slot = &devicesImage_;
        break;
    case ModuleKind::fan:
        return;
    }
    if (samePicture(*slot, image))
        return;
    const std::optional<double> widthBefore = moduleWidth(kind);
    *slot = std::move(image);
    if (moduleWidth(kind) == widthBefore)
        setNeedsDisplayInRect(rect(kind));
    else
        setNeedsDisplay(true);
}

void MenuBarContentView::setPresentationHeight(std::optional<double> height) {
    replaceWholeStripInput(presentationHeight_, height);
}

void MenuBarContentView::setDisplaysAppMark(bool displays) {
    replaceWholeStripInput(displaysAppMark_, displays);
}

void MenuBarContentView::setOrder(std::vector<ModuleKind> order) {
    replaceWholeStripInput(order_, std::move(order));
}

void MenuBarContentView::setEditableModules(std::set<ModuleKind> modules) {
    replaceWholeStripInput(editableModules_, std::move(modules));
}

void MenuBarContentView::setFanGap(double gap) {
    replaceWholeStripInput(fanGap_, gap);
}

void MenuBarContentView::setChartLength(double length) {
    replaceWholeStripInput(chartLength_, length);
}

void MenuBarContentView::setFanMode(FanDisplayMode mode) {
    replaceWholeStripInput(fanMode_, mode);
}

void MenuBarContentView::setEdgePadding(double padding) {
    replaceWholeStripInput(edgePadding_, padding);
}

void MenuBarContentView::setEditingSurfacePresented(bool presented) {
    replaceWholeStripInput(editingSurfacePresented_, presented);
}

void MenuBarContentView::monitorPointerEverywhere(ui::Application& app, ui::EventMask mask) {
    if (pointerMonitor_)
        return;
    std::weak_ptr<ui::View> weak = weak_from_this();
    pointerMonitor_ = app.addGlobalMonitor(mask, [weak](const ui::Event& event) {
        if (auto strong = weak.lock())
            static_cast<MenuBarContentView&>(*strong).handlePointerEvent(event);
    });
}

void MenuBarContentView::setAnimationsEnabled(bool enabled) {
    animationsEnabled_ = enabled;
}

void MenuBarContentView::setFrameSize(gfx::Size size) {
    const double oldHeight = frame().height();
    View::setFrameSize(size);
    if (frame().height() != oldHeight)
        relayout();
}

void MenuBarContentView::setBoundsSize(gfx::Size size) {
    const double oldHeight = bounds().height();
    View::setBoundsSize(size);
    if (bounds().height() != oldHeight)
        relayout();
}

// Sizes and layout.

StripMetrics MenuBarContentView::metrics() const {
    return {stripHeight(), edgePadding_, displaysAppMark_, fanGap_};
}

std::optional<double> MenuBarContentView::moduleWidth(ModuleKind kind) const {
    auto widthOf = [](const std::optional<gfx::Image>& image) -> std::optional<double> {
        if (!image)
            return std::nullopt;
        return image->size().width;
    };
    switch (kind) {
    case ModuleKind::memory:
        return widthOf(memoryImage_);
    case ModuleKind::network:
        return widthOf(networkImage_);
    case ModuleKind::temperature:
        return widthOf(temperatureImage_);
    case ModuleKind::compute:
        return widthOf(computeImage_);
    case ModuleKind::devices:
        return widthOf(devicesImage_);
    case ModuleKind::fan:
        if (fanMode_ == FanDisplayMode::hidden)
            return std::nullopt;
        return fanModuleWidth(chartLength_, graphProgress_);
    }
    return std::nullopt;
}

std::vector<std::pair<ModuleKind, double>> MenuBarContentView::shownModules() const {
    std::vector<std::pair<ModuleKind, double>> shown;
    for (ModuleKind kind : order_) {
        if (auto width = moduleWidth(kind))
            shown.emplace_back(kind, *width);
    }
    return shown;
}

double MenuBarContentView::modulesWidth() const {
    return metrics().modulesWidth(shownModules());
}

double MenuBarContentView::requiredWidth() const {
    return metrics().requiredWidth(modulesWidth());
}

ModuleRects MenuBarContentView::layoutModuleRects() const {
    return metrics().layout(shownModules());
}

gfx::Rect MenuBarContentView::rect(ModuleKind kind) const {
    if (draggedModule_ == kind)
        return draggedRect_.value_or(gfx::Rect{});
    if (auto shown = displayedRects_.find(kind); shown != displayedRects_.end())
        return shown->second;
    const ModuleRects layout = layoutModuleRects();
    if (auto laid = layout.find(kind); laid != layout.end())
        return laid->second;
    return {};
}

void MenuBarContentView::updateDisplayedRects() {
    const ModuleRects target = layoutModuleRects();
    if (order_ == previousOrder_) {
        if (reorderTimer_ || draggedModule_)
            return;
        displayedRects_ = target;
        return;
    }
    previousOrder_ = order_;
    reorderTimer_.reset();
    if (animationsEnabled_ && !displayedRects_.empty()) {
        glide_ = ReorderGlide{now(), displayedRects_};
        reorderTimer_ = frameTimer(*this, [](MenuBarContentView& view) { view.stepGlide(); });
        return;
    }
    displayedRects_ = target;
}

void MenuBarContentView::stepGlide() {
    const double time = now();
    glide_.step(time, layoutModuleRects(), draggedModule_, displayedRects_);
    setNeedsDisplay(true);
    if (editingDisplayAction)
        editingDisplayAction();
    if (glide_.progress(time) < 1)
        return;
    reorderTimer_.reset();
    displayedRects_ = layoutModuleRects();
    if (ui::Window* host = window())
        host->invalidateCursorRectsForView(this);
}

void MenuBarContentView::relayout() {
    reorderTimer_.reset();
    displayedRects_ = layoutModuleRects();
    setNeedsDisplay(true);
    if (widthChangedAction)
        widthChangedAction();
}

// Where the strip is on screen.

std::optional<gfx::Rect> MenuBarContentView::statusItemScreenRect() const {
    ui::Window* host = window();
    if (!host)
        return std::nullopt;
    const gfx::Rect rect = host->convertRectToScreen(convertRectToView(bounds(), nullptr));
    const double thickness = std::max(ui::StatusBar::barThickness, host->frame().height());
    if (!isInMenuBar(rect, screenFrames(ui::Screen::screens()), thickness))
        return std::nullopt;
    return rect;
}

std::optional<gfx::Rect> MenuBarContentView::stripFrame(const ui::Screen& target) const {
    const auto item = statusItemScreenRect();
    if (!item)
        return std::nullopt;
    const auto screens = ui::Screen::screens();
    const ui::Screen* own = screenContaining(screens, item->center());
    if (!own)
        return std::nullopt;
    std::optional<double> windowHeight;
    if (target == *own && window())
        windowHeight = window()->frame().height();
    return pulsedeck::stripFrame(*item, own->frame(),
                                 {target.frame(), target.visibleFrame(), target.safeAreaTop()},
                                 windowHeight, requiredWidth(), stripHeight());
}

std::optional<gfx::Rect> MenuBarContentView::statusItemScreenFrame() const {
    const auto item = statusItemScreenRect();
    if (!item)
        return std::nullopt;
    const auto screens = ui::Screen::screens();
    const ui::Screen* own = screenContaining(screens, item->center());
    if (!own)
        return std::nullopt;
    return stripFrame(*own);
}

std::vector<gfx::Rect> MenuBarContentView::menuBarScreens() const {
    const auto item = statusItemScreenRect();
    if (!item)
        return {};
    std::vector<ScreenFrames> frames;
    for (const auto& screen : ui::Screen::screens())
        frames.push_back({screen.frame(), screen.visibleFrame()});
    return menuBarScreenFrames(*item, frames);
}

std::optional<gfx::Rect> MenuBarContentView::menuBarFrame(gfx::Point point, double margin) const {
    const std::vector<gfx::Rect> frames = menuBarScreens();
    for (const auto& screen : ui::Screen::screens()) {
        if (std::find(frames.begin(), frames.end(), screen.frame()) == frames.end())
            continue;
        const auto strip = stripFrame(screen);
        if (strip && strip->insetBy(-margin, -margin).contains(point))
            return strip;
    }
    return std::nullopt;
}

// Selection, pulse and transitions.

void MenuBarContentView::setActiveModule(std::optional<ModuleKind> module) {
    activeModule_ = module;
    selectionTimer_.reset();
    if (activeModule_ && animationsEnabled_ && !reduceMotion()) {
        selectionOpacity_ = 0;
        const double started = now();
        selectionTimer_ = frameTimer(
            *this, [started](MenuBarContentView& view) { view.stepSelectionFade(started); });
    } else {
        selectionOpacity_ = 1;
    }
    setNeedsDisplay(true);
}

void MenuBarContentView::stepSelectionFade(double started) {
    const double t = std::min((now() - started) / selectionFadeDuration, 1.0);
    selectionOpacity_ = smoothstep(t);
    setNeedsDisplay(true);
    if (t >= 1)
        selectionTimer_.reset();
}

void MenuBarContentView::startDeviceAttentionPulse() {
    deviceAttentionTimer_.reset();
    deviceAttentionProgress_ = 0;
    const double started = now();
    deviceAttentionTimer_ =
        frameTimer(*this, [started](MenuBarContentView& view) { view.stepDevicePulse(started); });
    deviceAttentionTimer_->setTolerance(devicePulseTolerance);
}

void MenuBarContentView::stepDevicePulse(double started) {
    deviceAttentionProgress_ = std::min((now() - started) / devicePulseDuration, 1.0);
    setNeedsDisplayInRect(
        rect(ModuleKind::devices).insetBy(-devicePulseMargin, -devicePulseMargin));
    if (deviceAttentionProgress_ >= 1)
        deviceAttentionTimer_.reset();
}

std::optional<ui::Screen> MenuBarContentView::animationScreen() const {
    if (ui::Window* host = window()) {
        if (auto screen = host->screen())
            return screen;
    }
    return ui::Screen::mainScreen();
}

void MenuBarContentView::runMetricPlan(ModuleKind kind, MetricPlan plan) {
    metricPlans_[kind] = std::move(plan);
    startMetricLink();
}

const MetricPlan* MenuBarContentView::metricPlan(ModuleKind kind) const {
    const auto found = metricPlans_.find(kind);
    return found != metricPlans_.end() ? &found->second : nullptr;
}

void MenuBarContentView::startMetricLink() {
    if (metricLink_ || !animationScreen())
        return;
    std::weak_ptr<ui::View> weak = weak_from_this();
    metricLink_ = std::make_unique<anim::AnimationFrameClock>([weak](double time) {
        if (auto strong = weak.lock())
            static_cast<MenuBarContentView&>(*strong).advanceMetricPlans(time);
    });
}

void MenuBarContentView::advanceMetricPlans(double time) {
    // A step may replace or add plans; it runs on a copy so the walk stays valid.
    const std::map<ModuleKind, MetricPlan> running = metricPlans_;
    for (const auto& [kind, plan] : running) {
        if (plan.step)
            plan.step(plan.morph.value(time));
    }
    std::erase_if(metricPlans_,
                  [time](const auto& entry) { return entry.second.morph.isFinished(time); });
    if (!reorderTimer_)
        displayedRects_ = layoutModuleRects();
    if (widthChangedAction)
        widthChangedAction();
    setNeedsDisplay(true);
    if (metricPlans_.empty() && metricLink_) {
        metricLink_->stop();
        metricLink_.reset();
    }
}

// Appearance.

void MenuBarContentView::viewDidChangeEffectiveAppearance() {
    View::viewDidChangeEffectiveAppearance();
    const bool dark = drawsDark();
    if (darkAppearance_ == dark)
        return;
    darkAppearance_ = dark;
    renderFanImage();
    setNeedsDisplay(true);
}

} // namespace pulsedeck
