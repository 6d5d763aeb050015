#include "app/AppDelegate.h"
#include "detail/PersistentMenuOption.h"
#include "floating/DetailPlacement.h"
#include "floating/FloatingGeometry.h"
#include "model/StatusClick.h"
#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

namespace {

// A press outside our windows waits this long before it closes the popover, so that a press on
// the strip, which the strip also reports, is handled once, by the strip.
constexpr double outsideCloseDelay = 0.06;
// Presses this close around the strip are left to the strip.
constexpr double stripMargin = 2.0;
constexpr double popoverResizeDuration = 0.24;

// The desktop's system monitors, in the order they are preferred.
constexpr const char* activityMonitors[] = {"org.gnome.SystemMonitor", "gnome-system-monitor",
                                            "org.kde.plasma-systemmonitor", "xfce4-taskmanager",
                                            "lxtask"};

} // namespace

void AppDelegate::installClickActions() {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    statusStrip_->view()->moduleClickAction = [weak](std::optional<ModuleKind> module) {
        if (auto self = weak.lock())
            self->setClickedModule(module);
    };
    statusStrip_->view()->clickAction = [weak](std::optional<gfx::Point> point) {
        if (auto self = weak.lock())
            self->showDetails(point, std::nullopt);
    };
    statusStrip_->view()->hoverDetailsEnabled = [weak] {
        auto self = weak.lock();
        return self && self->hoverDetailsAllowed();
    };
    statusStrip_->view()->moduleHoverAction = [weak](ModuleKind module, gfx::Point point) {
        if (auto self = weak.lock())
            self->hoverModule(module, point);
    };
    statusStrip_->view()->contextMenuAction = [weak](const ui::Event& event) {
        if (auto self = weak.lock())
            self->showContextMenu(event);
    };
    details->openAction = [weak] {
        if (auto self = weak.lock())
            self->openActivityMonitor();
    };
    details->dismissAction = [weak] {
        if (auto self = weak.lock())
            self->dismissDetails(*self->popover);
    };
}

void AppDelegate::setClickedModule(std::optional<ModuleKind> module) {
    clickedModule = module;
}

std::optional<ModuleKind> AppDelegate::detailsModule(std::optional<gfx::Point> point) const {
    if (clickedModule)
        return clickedModule;
    if (point) {
        if (auto frame = statusStrip_->view()->menuBarFrame(*point, 0)) {
            const gfx::Point local{point->x - frame->x(), point->y - frame->y()};
            if (auto module = statusStrip_->view()->module(local))
                return module;
        }
    }
    if (const auto focused = details->priority();
        focused && statusStrip_->view()->moduleWidth(*focused))
        return focused;
    for (auto kind : statusStrip_->view()->order())
        if (statusStrip_->view()->moduleWidth(kind))
            return kind;
    return std::nullopt;
}

void AppDelegate::showDetails(std::optional<gfx::Point> point, std::optional<gfx::Rect> anchor) {
    const auto module = detailsModule(point);
    clickedModule.reset();
    lastStatusActivation = now();
    detailFloatingFrame = anchor;

    const auto outcome = resolveStatusClick(popover->isShown(), details->priority(), module);
    if (outcome.action == StatusClickOutcome::Action::close) {
        popover->performClose();
        return;
    }
    const auto stripFrame = statusStrip_->view()->statusItemScreenFrame();
    // Nothing will be shown without a place to show it from; a closed popover must then not
    // leave its module highlighted on the strip.
    const bool canShow = anchor || stripFrame;
    const bool refocus = outcome.action == StatusClickOutcome::Action::refocus;
    statusStrip_->view()->setActiveModule(canShow || popover->isShown() ? module : std::nullopt);
    details->prioritize(module);
    detailsOpening_ = true;
    refreshStatus(refocus);
    detailsOpening_ = false;
    if (!canShow)
        return;

    gfx::Point origin;
    ui::RectEdge edge = ui::RectEdge::minY;
    if (!anchor) {
        if (point) {
            const auto containing = statusStrip_->view()->menuBarFrame(*point, 0);
            origin = {point->x, (containing ? *containing : *stripFrame).minY()};
        } else {
            origin = {stripFrame->midX(), stripFrame->minY()};
        }
    } else {
        const auto placement =
            detailPlacement(*anchor, popover->contentSize().height, visibleScreenFrames());
        origin = {point ? point->x : anchor->midX(), placement.edgeY};
        edge = placement.edge;
    }
    const gfx::Point panelOrigin{origin.x - 0.5, origin.y};
    detailsAnchorOffset.reset();
    if (const auto shown = statusStrip_->view()->activeModule(); shown && !anchor)
        if (const auto left = moduleScreenLeft(*shown))
            detailsAnchorOffset = panelOrigin.x - *left;

    // Each opening takes the keyboard, so the user's going to another program closes it again.
    application().activateIgnoringOtherApps(true);
    if (anchorPanel) {
        anchorPanel->setFrameOrigin(panelOrigin);
        ui::View* anchorView = anchorPanel->contentView().get();
        popover->showRelativeToRect(anchorView->bounds(), anchorView, edge);
        makeDetailsKey();
        return;
    }

    auto panel =
        std::make_shared<ui::Panel>(gfx::Rect{panelOrigin, {1, 1}}, ui::Style::nonactivatingPanel,
                                    ui::BackingStoreType::buffered, false);
    panel->setReleasedWhenClosed(false);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setHasShadow(false);
    panel->setIgnoresMouseEvents(true);
    panel->setHidesOnDeactivate(false);
    panel->setExcludedFromWindowsMenu(true);
    panel->setLevel(ui::WindowLevel::status);
    panel->setCollectionBehavior(ui::Collection::transient | ui::Collection::ignoresCycle |
                                 ui::Collection::fullScreenAuxiliary);
    auto anchorView = std::make_shared<ui::View>(gfx::Rect{0, 0, 1, 1});
    anchorView->setAccessibilityElement(false);
    panel->setContentView(anchorView);
    panel->setAccessibilityElement(false);
    anchorPanel = panel;
    panel->orderFrontRegardless();

    popover->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());
    popover->showRelativeToRect(anchorView->bounds(), anchorView.get(), edge);
    makeDetailsKey();

    removeOutsideClickMonitor();
    outsideClickMonitor = application().addGlobalMonitor(
        ui::EventMasks::leftMouseDown | ui::EventMasks::rightMouseDown |
            ui::EventMasks::otherMouseDown,
        [weak = weak_from_this()](const ui::Event&) {
            if (auto self = weak.lock())
                self->handleOutsideClick();
        });
}

void AppDelegate::makeDetailsKey() {
    if (ui::Window* window = details->window()) {
        window->makeKeyWindow();
        window->makeFirstResponder(details.get());
    }
}

std::optional<double> AppDelegate::moduleScreenLeft(ModuleKind module) const {
    const ui::Window* window = statusStrip_->view()->window();
    const auto rects = statusStrip_->view()->layoutModuleRects();
    const auto found = rects.find(module);
    if (!window || found == rects.end())
        return std::nullopt;
    return window
        ->convertRectToScreen(statusStrip_->view()->convertRectToView(found->second, nullptr))
        .minX();
}

void AppDelegate::followDetailsAnchor() {
    const auto module = statusStrip_->view()->activeModule();
    if (!popover->isShown() || !anchorPanel || detailFloatingFrame || !detailsAnchorOffset ||
        !module)
        return;
    const auto left = moduleScreenLeft(*module);
    if (!left)
        return;
    const gfx::Point origin{*left + *detailsAnchorOffset, anchorPanel->frame().minY()};
    if (origin == anchorPanel->frame().origin)
        return;
    anchorPanel->setFrameOrigin(origin);
    popover->setPositioningRect(anchorPanel->contentView()->bounds());
}

void AppDelegate::applicationDidResignActive() {
    // Under XWayland a click on a native window reaches none of ours: the focus leaving is what
    // tells that the user went elsewhere.
    if (popover->isShown())
        popover->performClose();
    if (floatingBar_->popover()->isShown())
        floatingBar_->popover()->performClose();
}

void AppDelegate::handleOutsideClick() {
    const gfx::Point location = application().mouseLocation();
    if (prefs().floatingMode != FloatingMode::detached &&
        statusStrip_->view()->menuBarFrame(location, stripMargin))
        return;
    if (floatingBar_->panel() && floatingBar_->panel()->frame().contains(location))
        return;
    if (ui::Window* window = details->window(); window && window->frame().contains(location))
        return;
    scheduleOutsideClose();
}

void AppDelegate::scheduleOutsideClose() {
    const double pressed = now();
    after(outsideCloseDelay, [pressed](AppDelegate& self) {
        if (self.popover->isShown() && self.lastStatusActivation <= pressed)
            self.popover->performClose();
    });
}

bool AppDelegate::hoverDetailsAllowed() const {
    return popover->isShown();
}

void AppDelegate::hoverModule(ModuleKind module, gfx::Point point) {
    const auto& allowed = statusStrip_->view()->hoverDetailsEnabled;
    if (!allowed || !allowed() || statusStrip_->view()->holdsPointer() ||
        details->priority() == module)
        return;
    clickedModule = module;
    showDetails(point, std::nullopt);
}

void AppDelegate::showContextMenu(const ui::Event& event) {
    if (!details->isSorting())
        popover->performClose();
    auto menu = makeSettingsMenu();
    ui::View* over = statusStrip_->view().get();
    if (auto window = event.window(); window && window->contentView())
        over = window->contentView().get();
    ui::Menu::popUpContextMenu(menu, event, over);
}

std::shared_ptr<ui::Menu> AppDelegate::makeSettingsMenu() {
    auto menu = details->makeSettingsMenu();
    menu->rebuild = [weak = weak_from_this()]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeSettingsMenu();
        return std::make_shared<ui::Menu>();
    };
    fitMenuWidth(*menu);
    return menu;
}

void AppDelegate::openActivityMonitor() {
    ui::Workspace& workspace = application().workspace();
    for (const char* identifier : activityMonitors) {
        if (auto url = workspace.urlForApplication(identifier)) {
            workspace.openURL(*url);
            return;
        }
    }
}

void AppDelegate::dismissDetails(ui::Popover& shown) {
    shown.performClose();
}

void AppDelegate::updatePopoverSize(double height, bool animated) {
    if (detailFloatingFrame)
        height = detailPlacement(*detailFloatingFrame, height, visibleScreenFrames()).height;
    const gfx::Size size{details->contentWidth(), height};
    if (popover->contentSize() == size)
        return;
    const bool reduceMotion = application().workspace().accessibilityDisplayShouldReduceMotion();
    popover->setAnimates(!reduceMotion && animated ? popover->isShown() : false);
    ui::AnimationContext::runAnimationGroup([&](ui::AnimationContext& context) {
        context.setDuration(popoverResizeDuration);
        context.setTimingFunction(ui::TimingFunction::easeInEaseOut);
        popover->setContentSize(size);
    });
    popover->setAnimates(!reduceMotion);
}

void AppDelegate::popoverDidClose(ui::Popover&) {
    statusStrip_->forgetHover();
    detailFloatingFrame.reset();
    details->setSorting(false);
    if (statusStrip_->view()->isSorting())
        statusStrip_->view()->setSorting(false);
    statusStrip_->view()->setActiveModule(std::nullopt);
    popover->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());
    updatePopoverSize(details->preferredHeight(), false);
    removeOutsideClickMonitor();
    if (anchorPanel) {
        anchorPanel->orderOut();
        anchorPanel.reset();
    }
}

} // namespace pulsedeck
