#include "app/DetailsController.h"

#include "detail/ActivityMonitorLocator.h"
#include "detail/PersistentMenuOption.h"
#include "floating/DetailPlacement.h"
#include "floating/FloatingGeometry.h"
#include "model/LinkOpening.h"
#include "model/StatusClick.h"
#include "platform/toolkit/AnimationContext.h"
#include "platform/toolkit/Workspace.h"

#include <cstdio>
#include <utility>

namespace pulsedeck {

DetailsController::DetailsController(std::shared_ptr<SettingsStore> settings,
                                     std::shared_ptr<StatusStripController> statusStrip,
                                     const SamplingState& sampling,
                                     std::shared_ptr<AppUpdates> updates,
                                     std::optional<LoginItem> loginItem, dispatch::RunLoop& loop)
    : settings_(settings), statusStrip_(std::move(statusStrip)), updates_(std::move(updates)),
      loop_(loop), handOff_(std::move(settings), sampling), loginItem_(std::move(loginItem)),
      popover_(std::make_unique<ui::Popover>()),
      view_(std::make_shared<DetailView>(DetailView::initialFrame)) {}

namespace {

// A press outside our windows waits this long before it closes the popover, so that a press on
// the strip, which the strip also reports, is handled once, by the strip.
constexpr double outsideCloseDelay = 0.06;
// Presses this close around the strip are left to the strip.
constexpr double stripMargin = 2.0;
constexpr double popoverResizeDuration = 0.24;

} // namespace

void openProcessMonitor(AppLanguage language) {
    if (auto url = ActivityMonitorLocator::desktop().applicationURL())
        openLinkTellingOfFailure(*url, language);
}

void DetailsController::install() {
    if (std::string error; loginItem_ && !loginItem_->moveLegacyEntry(&error))
        std::fprintf(stderr,
                     "Pulsedeck: the login item of an earlier version stays as it was: %s\n",
                     error.c_str());
    const std::weak_ptr<DetailsController> weak = weak_from_this();
    auto controller = std::make_shared<ui::ViewController>(view_);
    view_->setAutoresizingMask(ui::Autoresizing::widthSizable | ui::Autoresizing::heightSizable);
    popover_->setContentViewController(controller);
    popover_->setContentSize(view_->frame().size);
    popover_->setBehavior(ui::PopoverBehavior::applicationDefined);
    popover_->setAnimates(true);
    popover_->setDelegate(weak);

    view_->openAction = [store = settings_] { openProcessMonitor(store->language()); };
    view_->dismissAction = [weak] {
        if (auto self = weak.lock())
            self->popover_->performClose();
    };
    installSettingsActions();
    updates_->install(*view_, AppUpdates::Hooks{.closeDetails =
                                                    [weak] {
                                                        if (auto self = weak.lock())
                                                            self->close();
                                                    },
                                                .frequencyChanged =
                                                    [weak] {
                                                        if (auto self = weak.lock())
                                                            self->refresh();
                                                    }});
    settings_->observe([weak](const SettingsChange& change) {
        if (auto self = weak.lock())
            self->settingsChanged(change);
    });
    refresh();
}

void DetailsController::refresh(bool animated) {
    const bool open = popover_->isShown();
    // Closed, the details show no login state: it is read as they or the settings menu open.
    if (open)
        shownLoginStatus_ = loginStatus();
    handOff_.handOff(*view_, prefs().look, open, animated, shownLoginStatus_, loginFailed_);
    if (open)
        updatePopoverSize(view_->preferredHeight(), animated);
}

void DetailsController::setAppearance(gfx::Appearance appearance) {
    popover_->setAppearance(appearance);
    view_->setAppearance(appearance);
}

void DetailsController::stripClicked(std::optional<gfx::Point> point) {
    show(point, std::nullopt);
}

void DetailsController::stripModulePressed(std::optional<ModuleKind> module) {
    clickedModule = module;
}

void DetailsController::stripModuleHovered(ModuleKind module, gfx::Point point) {
    hoverModule(module, point);
}

bool DetailsController::showsDetailsOnHover() const {
    return popover_->isShown();
}

std::optional<ModuleKind> DetailsController::detailsModule(std::optional<gfx::Point> point) const {
    if (clickedModule)
        return clickedModule;
    if (point) {
        if (auto frame = statusStrip_->view()->menuBarFrame(*point, 0)) {
            const gfx::Point local{point->x - frame->x(), point->y - frame->y()};
            if (auto module = statusStrip_->view()->module(local))
                return module;
        }
    }
    if (const auto focused = view_->priority();
        focused && statusStrip_->view()->moduleWidth(*focused))
        return focused;
    for (auto kind : statusStrip_->view()->order())
        if (statusStrip_->view()->moduleWidth(kind))
            return kind;
    return std::nullopt;
}

void DetailsController::show(std::optional<gfx::Point> point, std::optional<gfx::Rect> anchor) {
    const auto module = detailsModule(point);
    clickedModule.reset();
    lastStatusActivation = now();
    detailFloatingFrame = anchor;

    const auto outcome = resolveStatusClick(popover_->isShown(), view_->priority(), module);
    if (outcome.action == StatusClickOutcome::Action::close) {
        popover_->performClose();
        return;
    }
    const auto stripFrame = statusStrip_->view()->statusItemScreenFrame();
    // Nothing will be shown without a place to show it from; a closed popover must then not
    // leave its module highlighted on the strip.
    const bool canShow = anchor || stripFrame;
    const bool refocus = outcome.action == StatusClickOutcome::Action::refocus;
    statusStrip_->view()->setActiveModule(canShow || popover_->isShown() ? module : std::nullopt);
    view_->prioritize(module);
    // The details about to open take the readings they skip while closed, before they are
    // measured.
    shownLoginStatus_ = loginStatus();
    handOff_.handOff(*view_, prefs().look, true, refocus, shownLoginStatus_, loginFailed_);
    updatePopoverSize(view_->preferredHeight(), refocus);
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
            detailPlacement(*anchor, popover_->contentSize().height, visibleScreenFrames());
        origin = {point ? point->x : anchor->midX(), placement.edgeY};
        edge = placement.edge;
    }
    const gfx::Point panelOrigin{origin.x - 0.5, origin.y};
    if (!anchor)
        anchorFromStripEnd = stripFrame->maxX() - panelOrigin.x;

    // Each opening takes the keyboard, so the user's going to another program closes it again.
    application().activateIgnoringOtherApps(true);
    if (anchorPanel) {
        anchorPanel->setFrameOrigin(panelOrigin);
        ui::View* anchorView = anchorPanel->contentView().get();
        popover_->showRelativeToRect(anchorView->bounds(), anchorView, edge);
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

    popover_->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());
    popover_->showRelativeToRect(anchorView->bounds(), anchorView.get(), edge);
    makeDetailsKey();

    removeOutsideClickMonitor();
    constexpr ui::EventMask presses = ui::EventMasks::leftMouseDown |
                                      ui::EventMasks::rightMouseDown |
                                      ui::EventMasks::otherMouseDown;
    outsideClickMonitor =
        application().addGlobalMonitor(presses, [weak = weak_from_this()](const ui::Event&) {
            if (auto self = weak.lock())
                self->handleOutsideClick();
        });
    // A press in another window of ours, such as the first-run tip, is outside the details too.
    ownWindowsPressMonitor =
        application().addLocalMonitor(presses, [weak = weak_from_this()](const ui::Event& event) {
            if (auto self = weak.lock())
                self->handleOutsideClick();
            return std::optional(event);
        });
}

void DetailsController::makeDetailsKey() {
    if (ui::Window* window = view_->window()) {
        window->makeKeyWindow();
        window->makeFirstResponder(view_.get());
    }
}

void DetailsController::followScreens() {
    if (!popover_->isShown() || !anchorPanel)
        return;
    if (const auto strip = statusStrip_->view()->statusItemScreenFrame();
        strip && !detailFloatingFrame)
        anchorPanel->setFrameOrigin({strip->maxX() - anchorFromStripEnd, strip->minY()});
    popover_->setPositioningRect(anchorPanel->contentView()->bounds());
}

void DetailsController::handleOutsideClick() {
    const gfx::Point location = application().mouseLocation();
    if (settings_->main().floatingMode != FloatingMode::detached &&
        statusStrip_->view()->menuBarFrame(location, stripMargin))
        return;
    if (auto modes = modes_.lock(); modes && modes->barHolds(location))
        return;
    if (ui::Window* window = view_->window(); window && window->frame().contains(location))
        return;
    scheduleOutsideClose();
}

void DetailsController::scheduleOutsideClose() {
    const double pressed = now();
    loop_.queue().asyncAfter(outsideCloseDelay, [weak = weak_from_this(), pressed] {
        auto self = weak.lock();
        if (self && self->popover_->isShown() && self->lastStatusActivation <= pressed)
            self->popover_->performClose();
    });
}

void DetailsController::hoverModule(ModuleKind module, gfx::Point point) {
    if (!showsDetailsOnHover() || statusStrip_->view()->holdsPointer() ||
        view_->priority() == module)
        return;
    clickedModule = module;
    show(point, std::nullopt);
}

void DetailsController::stripContextMenu(const ui::Event& event) {
    if (!view_->isSorting())
        popover_->performClose();
    auto menu = makeSettingsMenu();
    ui::View* over = statusStrip_->view().get();
    if (auto window = event.window(); window && window->contentView())
        over = window->contentView().get();
    ui::Menu::popUpContextMenu(menu, event, over);
}

std::shared_ptr<ui::Menu> DetailsController::makeSettingsMenu() {
    // The strip's menu opens with the details closed: its login mark is the entry as it is now.
    shownLoginStatus_ = loginStatus();
    refresh();
    auto menu = view_->makeSettingsMenu();
    menu->rebuild = [weak = weak_from_this()]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeSettingsMenu();
        return std::make_shared<ui::Menu>();
    };
    fitMenuWidth(*menu);
    return menu;
}

void DetailsController::updatePopoverSize(double height, bool animated) {
    if (detailFloatingFrame)
        height = detailPlacement(*detailFloatingFrame, height, visibleScreenFrames()).height;
    const gfx::Size size{view_->contentWidth(), height};
    if (popover_->contentSize() == size)
        return;
    const bool reduceMotion = application().workspace().accessibilityDisplayShouldReduceMotion();
    popover_->setAnimates(!reduceMotion && animated ? popover_->isShown() : false);
    ui::AnimationContext::runAnimationGroup([&](ui::AnimationContext& context) {
        context.setDuration(popoverResizeDuration);
        context.setTimingFunction(ui::TimingFunction::easeInEaseOut);
        popover_->setContentSize(size);
    });
    popover_->setAnimates(!reduceMotion);
}

void DetailsController::popoverDidClose(ui::Popover&) {
    statusStrip_->forgetHover();
    detailFloatingFrame.reset();
    setSorting(false);
    statusStrip_->view()->setActiveModule(std::nullopt);
    popover_->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());
    updatePopoverSize(view_->preferredHeight(), false);
    removeOutsideClickMonitor();
    if (anchorPanel) {
        anchorPanel->orderOut();
        anchorPanel.reset();
    }
}

void DetailsController::removeOutsideClickMonitor() {
    for (const auto& monitor : {std::exchange(outsideClickMonitor, std::nullopt),
                                std::exchange(ownWindowsPressMonitor, std::nullopt)})
        if (monitor)
            application().removeMonitor(*monitor);
}

std::optional<gfx::Rect> DetailsController::anchorFrame() const {
    if (!anchorPanel)
        return std::nullopt;
    return anchorPanel->frame();
}

void DetailsController::close() {
    if (popover_->isShown())
        popover_->performClose();
}

} // namespace pulsedeck
