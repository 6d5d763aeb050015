#include "app/FloatingBarController.h"

#include "app/DetailsController.h"
#include "app/FloatingBarMenu.h"
#include "app/SensorHelperAlertPresentation.h"
#include "floating/DetailPlacement.h"
#include "floating/DockAnchors.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingStripSettings.h"
#include "floating/FloatingSurface.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/RectText.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Menu.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StripInputs.h"
#include "statusbar/StripMetrics.h"

#include <algorithm>

namespace pulsedeck {

namespace {

constexpr std::string_view floatingFrameKey = "floatingFrame";
// A new bar without a place of its own hangs this far below the status item.
constexpr double dropBelowStatusItem = 60;
// The hand-off drops the bar into place from this far above.
constexpr double handoffLift = 3;
// Where the bar goes when there is no screen to measure.
constexpr gfx::Rect screenlessBase{0, 0, 800, 600};
// A drop this close to a strip still counts as a drop on it.
constexpr double stripDropMargin = 2;

gfx::Size stripSize(const MenuBarContentView& strip) {
    return {strip.requiredWidth(), strip.presentationHeight().value_or(strip.bounds().height())};
}

bool reduceMotion() {
    return ui::Application::shared().workspace().accessibilityDisplayShouldReduceMotion();
}

} // namespace

FloatingBarController::FloatingBarController(std::shared_ptr<SettingsStore> settings,
                                             const SamplingState& sampling,
                                             std::shared_ptr<StatusStripController> statusStrip,
                                             std::shared_ptr<const FullscreenMonitor> fullscreen,
                                             gfx::Rect stripFrame)
    : settings_(settings), sampling_(sampling), statusStrip_(std::move(statusStrip)),
      fullscreen_(std::move(fullscreen)), handOff_(std::move(settings), sampling),
      strip_(std::make_shared<MenuBarContentView>(stripFrame)),
      details_(std::make_shared<DetailView>(DetailView::initialFrame)),
      popover_(std::make_unique<ui::Popover>()) {}

void FloatingBarController::install(std::weak_ptr<FloatingBarOwner> owner) {
    owner_ = std::move(owner);
    settings_->observe([weak = weak_from_this()](const SettingsChange& change) {
        if (auto self = weak.lock())
            self->settingsChanged(change);
    });
}

void FloatingBarController::settingsChanged(const SettingsChange& change) {
    namespace Key = PreferenceKey;
    if (change.touches(Key::floatingOnTop) && panel_)
        panel_->setLevel(prefs().floatingOnTop ? ui::WindowLevel::floating
                                               : ui::WindowLevel::normal);
    // What the bar shows of the menu bar's settings: its theme, its language, the mode.
    const bool menuBarShown =
        change.touchesAny({Key::moduleColors, Key::themeBlue, Key::language, Key::floatingMode});
    const auto& entries = change.floatingEntries;
    if (entries.contains("opacity"))
        applyOpacity();
    // The bar's opacity shows on its surface and its details' slider alone.
    const bool stripShown =
        menuBarShown || std::any_of(entries.begin(), entries.end(),
                                    [](const std::string& entry) { return entry != "opacity"; });
    if (!stripShown && entries.empty())
        return;
    // The open details show the change first, animated; the strip's refresh then finds them up
    // to date.
    refreshDetails(false, !entries.empty());
    if (stripShown)
        refreshStrip();
}

void FloatingBarController::setMode(FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
    if (auto owner = owner_.lock())
        owner->set(mode, dropFrame);
}

ui::Application& FloatingBarController::application() {
    return ui::Application::shared();
}

FloatingSurface* FloatingBarController::surface() const {
    return panel_ ? dynamic_cast<FloatingSurface*>(panel_->contentView().get()) : nullptr;
}

void FloatingBarController::load() {
    settings_->loadFloating();
    if (stripWired_)
        return;
    stripWired_ = true;
    const std::weak_ptr<FloatingBarController> weak = weak_from_this();
    MenuBarContentView& strip = *strip_;
    strip.editingDisplayAction = [weak] {
        auto self = weak.lock();
        FloatingSurface* surface = self ? self->surface() : nullptr;
        if (!surface)
            return;
        surface->redraw();
        if (self->panel_->isVisible())
            self->panel_->displayIfNeeded();
    };
    strip.editingRectAction = [weak](const gfx::Rect& rect) {
        if (auto self = weak.lock())
            if (FloatingSurface* surface = self->surface())
                surface->redraw(rect);
    };
    strip.widthChangedAction = [weak] {
        if (auto self = weak.lock())
            self->layoutPanel();
    };
    strip.statusOrderAction = [store = settings_](const std::vector<ModuleKind>& order) {
        store->changeFloating(
            [&order](FloatingPreferences& p) { p.look.modules.order = completeOrder(order); });
    };
    strip.statusHideAction = [store = settings_](ModuleKind kind) {
        store->changeFloating(
            [kind](FloatingPreferences& p) { p.look.modules.setShown(kind, false); });
    };
    strip.finishSortingAction = [weak] {
        if (auto self = weak.lock())
            self->setSorting(false);
    };
    strip.hoverDetailsEnabled = [weak] {
        auto self = weak.lock();
        return self && self->popover_->isShown();
    };
}

void FloatingBarController::show(std::optional<gfx::Rect> dropFrame) {
    load();
    makePopover();
    refreshStrip();

    const gfx::Size size = stripSize(*strip_);
    gfx::Rect base = screenlessBase;
    if (auto itemFrame = statusStrip_->view()->statusItemScreenFrame())
        base = *itemFrame;
    else if (auto screen = ui::Screen::mainScreen())
        base = screen->visibleFrame();

    gfx::Point origin{base.minX(), base.minY() - dropBelowStatusItem};
    // Where the bar was put, not where a window manager shows it: its decoration, or a height it
    // gives every window while mapping it, is no choice of the user's, to be kept.
    if (dropFrame)
        origin = dropFrame->origin;
    else if (panel_)
        origin = panel_->requestedFrame().origin;
    else if (auto stored = settings_->defaults().stringForKey(floatingFrameKey))
        origin = gfx::rectFromString(*stored).value_or(gfx::Rect{}).origin;
    const gfx::Rect frame = keepFrameOnScreen({origin, size});

    if (!panel_)
        panel_ = makePanel(false, frame);
    applyOpacity();
    panel_->setFrame(frame, true);
    panel_->orderFrontRegardless();

    if (dropFrame) {
        motion_.stop();
        if (!reduceMotion() && motion_.begin(panel_)) {
            motion_.startHandoff(frame.offsetBy(0, handoffLift), frame,
                                 [panel = std::weak_ptr<ui::Window>(panel_), frame] {
                                     if (auto shown = panel.lock())
                                         shown->setFrame(frame, true);
                                 });
        } else {
            panel_->setFrame(frame, false);
        }
    }
    settings_->defaults().setObject(gfx::stringFromRect(frame), floatingFrameKey);
}

void FloatingBarController::hide() {
    popover_->close();
    setSorting(false);
    // The bar's fan rotor must not keep turning for a strip nobody sees.
    strip_->setFanMode(FanDisplayMode::hidden);
    strip_->renderFanImage();
    if (panel_)
        panel_->orderOut();
    panel_.reset();
}

std::shared_ptr<ui::Window> FloatingBarController::makePanel(bool preview, const gfx::Rect& frame) {
    auto panel = std::make_shared<FloatingPanel>(frame, ui::Style::nonactivatingPanel,
                                                 ui::BackingStoreType::buffered, false);
    panel->setReleasedWhenClosed(false);
    panel->setOpaque(false);
    panel->setBackgroundColor(gfx::Color::clear());
    panel->setHasShadow(true);
    panel->setHidesOnDeactivate(false);
    panel->setLevel(prefs().floatingOnTop ? ui::WindowLevel::floating : ui::WindowLevel::normal);
    panel->setAlphaValue(1.0);
    panel->setCollectionBehavior(ui::Collection::canJoinAllSpaces | ui::Collection::ignoresCycle |
                                 ui::Collection::fullScreenAuxiliary);
    panel->setTitle("Pulsedeck Floating Bar");
    panel->setExcludedFromWindowsMenu(true);
    panel->setAcceptsMouseMovedEvents(true);
    panel->setAccessibilityElement(true);

    auto surface = std::make_shared<FloatingSurface>(gfx::Rect{{}, frame.size});
    // A preview draws the status strip, over the menu bar's opacity.
    surface->setOwner(preview ? statusStrip_->view() : strip_);
    if (preview)
        surface->setOpacity(prefs().look.opacity);
    surface->applyMaterial();
    panel->setContentView(surface);
    if (!preview)
        panel->setAppearance(strip_->appearance());
    panel->setIgnoresMouseEvents(preview);
    installSurfaceActions(*surface);
    return panel;
}

void FloatingBarController::applyOpacity() {
    if (FloatingSurface* shown = surface(); shown && settings_->floating())
        shown->setOpacity(settings_->floating()->look.opacity);
}

void FloatingBarController::setSorting(bool sorting) {
    details_->setSorting(sorting);
    if (strip_->isSorting() != sorting)
        strip_->setSorting(sorting);
}

void FloatingBarController::installSurfaceActions(FloatingSurface& surface) {
    const std::weak_ptr<FloatingBarController> weak = weak_from_this();
    surface.movedAction = [weak](const gfx::Rect& frame) {
        if (auto self = weak.lock())
            self->saveFrame(frame);
    };
    surface.dragBeganAction = [weak] {
        if (auto self = weak.lock())
            self->dragBegan();
    };
    surface.dockingAction = [weak](const gfx::Rect& frame) {
        auto self = weak.lock();
        return self && self->dock(frame);
    };
    surface.moduleAction = [weak](std::optional<ModuleKind> module, bool hovering, gfx::Point point,
                                  const gfx::Rect& panelFrame) {
        if (auto self = weak.lock())
            self->modulePressed(module, hovering, point, panelFrame);
    };
    surface.contextAction = [weak](const ui::Event& event) {
        if (auto self = weak.lock())
            self->showMenu(event);
    };
}

void FloatingBarController::saveFrame(const gfx::Rect& frame) {
    settings_->defaults().setObject(gfx::stringFromRect(frame), floatingFrameKey);
    if (auto owner = owner_.lock())
        owner->applyVisibility();
}

void FloatingBarController::refreshStrip() {
    if (prefs().floatingMode == FloatingMode::none || !settings_->floating())
        return;
    ui::Application& app = application();
    const MenuBarContentView& status = *statusStrip_->view();
    StripEnvironment environment =
        floatingStripEnvironment(status.presentationHeight().value_or(status.bounds().height()));
    environment.systemDark = app.effectiveAppearance() == gfx::Appearance::dark;
    environment.reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion();
    environment.language = settings_->language();
    const StripReadings readings = sampling_.stripReadings();
    strip_->setInputs(stripInputs(floatingStripSettings(settings_->floating()->look,
                                                        prefs().look.modules.colors.color(
                                                            ColorSlot::theme, prefs().normalBlue),
                                                        sampling_.fanAvailable),
                                  readings, environment));
    strip_->setAccessibilityLabel("Pulsedeck · " +
                                  std::string(text(Copy::floating, environment.language)));
    layoutPanel();
    refreshDetails();
}

void FloatingBarController::layoutPanel() {
    if (!panel_ || motion_.isRunning())
        return;
    FloatingSurface* shown = surface();
    const gfx::Rect wanted{panel_->frame().origin, stripSize(*strip_)};
    gfx::Rect frame;
    if (shown && shown->pressPoint()) {
        // While the bar is held it may sit over the menu bar; it settles when released.
        std::vector<gfx::Rect> screens;
        for (const auto& screen : ui::Screen::screens())
            screens.push_back(screen.frame());
        frame = clampFrame(wanted, screens);
    } else {
        frame = keepFrameOnScreen(wanted);
    }
    const bool moved = frame != panel_->frame();
    if (moved)
        panel_->setFrame(frame, false);
    panel_->setAppearance(strip_->appearance());
    if (const auto& content = panel_->contentView()) {
        const std::string& label = strip_->accessibility().label;
        content->setAccessibilityLabel(label.empty() ? "Pulsedeck" : label);
        // The strip has marked what changed in it; the surface repaints beyond that only when
        // its material changed.
        if (shown)
            shown->applyMaterial();
        panel_->invalidateCursorRectsForView(content.get());
    }
    // Moved onto a screen with a full-screen window, the bar may have to step aside there.
    if (auto owner = owner_.lock(); owner && moved)
        owner->applyVisibility();
}

std::optional<gfx::Rect> FloatingBarController::dockAnchorFrame(const ui::Screen& screen) const {
    if (prefs().look.hideInFullscreen && fullscreen_->isFullscreen(screen))
        return std::nullopt;
    const auto entry = prefs().floatingDockAnchors.find(dockAnchorKey(screen.displayNumber()));
    if (entry == prefs().floatingDockAnchors.end())
        return std::nullopt;
    const std::optional<DockAnchor> anchor = DockAnchor::parse(entry->second);
    if (!anchor)
        return std::nullopt;
    return anchor->frame(screen.frame(), stripSize(*strip_));
}

std::vector<gfx::Rect> FloatingBarController::dockAnchorFrames() const {
    std::vector<gfx::Rect> frames;
    for (const auto& screen : ui::Screen::screens())
        if (auto frame = dockAnchorFrame(screen))
            frames.push_back(*frame);
    return frames;
}

void FloatingBarController::dragBegan() {
    motion_.stop();
    popover_->close();
    // A drag that starts on an anchor would dock at its first step; it must leave first.
    dockArmed_ = !panel_ || !dockAnchor(panel_->frame(), dockAnchorFrames()).has_value();
}

bool FloatingBarController::dock(const gfx::Rect& frame) {
    if (motion_.isRunning())
        return false;
    const std::optional<gfx::Rect> anchor = dockAnchor(frame, dockAnchorFrames());
    if (!anchor) {
        dockArmed_ = true;
        return false;
    }
    if (!dockArmed_)
        return false;
    dockArmed_ = false;
    popover_->close();
    motion_.stop();
    const std::shared_ptr<ui::Window> panel = panel_;
    if (panel && !reduceMotion() && motion_.begin(panel)) {
        motion_.startDocking(frame, *anchor,
                             [weak = weak_from_this(), weakPanel = std::weak_ptr<ui::Window>(panel),
                              target = *anchor] {
                                 if (auto docked = weakPanel.lock())
                                     docked->setFrame(target, false);
                                 if (auto self = weak.lock())
                                     self->setMode(FloatingMode::none, std::nullopt);
                             });
        return true;
    }
    if (panel)
        panel->setFrame(*anchor, false);
    setMode(FloatingMode::none, std::nullopt);
    return true;
}

void FloatingBarController::dragOut(gfx::Point start, gfx::Point current, bool ended) {
    const std::shared_ptr<MenuBarContentView>& status = statusStrip_->view();
    const std::optional<gfx::Rect> itemFrame = status->statusItemScreenFrame();
    if (!itemFrame) {
        // The item left the screen under the drag: let go of what it pulled out.
        if (ended) {
            motion_.stop();
            clearPreview();
        }
        return;
    }
    const gfx::Rect source = status->menuBarFrame(start, 0).value_or(*itemFrame);
    std::vector<gfx::Rect> screens;
    for (const auto& screen : ui::Screen::screens())
        screens.push_back(screen.frame());
    const gfx::Rect frame =
        clampFrame({{current.x - (start.x - source.minX()), current.y - (start.y - source.minY())},
                    stripSize(*status)},
                   screens);
    if (ended) {
        const bool brokeFree = motion_.cancel();
        if (brokeFree && (prefs().floatingMode == FloatingMode::detached ||
                          !status->menuBarFrame(current, stripDropMargin))) {
            dropFrame_ = frame;
            offerDrop(current);
        }
        clearPreview();
        return;
    }
    if (!preview_) {
        if (auto owner = owner_.lock())
            owner->closeStatusDetails();
        motion_.stop();
        motion_.setHasBrokenFree(false);
        preview_ = makePanel(true, frame);
        if (!preview_)
            return;
    }
    preview_->setFrame(frame, true);
    preview_->orderFrontRegardless();
    const double grab = source.width() > 0 ? (start.x - source.minX()) / source.width() : 0.5;
    motion_.update(preview_, source, grab, !reduceMotion());
}

void FloatingBarController::offerDrop(gfx::Point point) {
    auto menu = std::make_shared<ui::Menu>();
    menu->setAutoenablesItems(false);
    const AppLanguage language = settings_->language();
    const std::weak_ptr<FloatingBarController> weak = weak_from_this();
    for (const auto& [key, mode] : {std::pair{Copy::floatingCopy, FloatingMode::copy},
                                    std::pair{Copy::floatingMove, FloatingMode::detached}}) {
        auto item =
            std::make_shared<ui::MenuItem>(text(key, language), [weak](ui::MenuItem& sender) {
                if (auto self = weak.lock())
                    self->choose(sender.representedObject());
            });
        item->setRepresentedObject(std::string(toString(mode)));
        menu->addItem(item);
    }
    // Runs modally: the choice reaches choose while the drop frame is still set.
    ui::Menu::popUpAtScreenPoint(menu, point, statusStrip_->view()->effectiveAppearance());
}

void FloatingBarController::choose(const std::any& representedObject) {
    const auto* name = std::any_cast<std::string>(&representedObject);
    if (!name)
        return;
    if (auto mode = parseFloatingMode(*name))
        setMode(*mode, dropFrame_);
}

void FloatingBarController::clearPreview() {
    if (preview_)
        preview_->orderOut();
    preview_.reset();
    dropFrame_.reset();
}

void FloatingBarController::redrawPreview(std::optional<gfx::Rect> rect) {
    auto* surface =
        preview_ ? dynamic_cast<StatusEditingSurface*>(preview_->contentView().get()) : nullptr;
    if (!surface)
        return;
    if (rect)
        surface->redraw(*rect);
    else
        surface->redraw();
}

void FloatingBarController::makePopover() {
    if (detailsReady_)
        return;
    detailsReady_ = true;
    const std::weak_ptr<FloatingBarController> weak = weak_from_this();

    details_->setAutoresizingMask(ui::Autoresizing::widthSizable | ui::Autoresizing::heightSizable);
    popover_->setContentViewController(std::make_shared<ui::ViewController>(details_));
    popover_->setContentSize(details_->frame().size);
    popover_->setBehavior(ui::PopoverBehavior::transient);
    popover_->setDelegate(weak);
    popover_->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());

    DetailView& view = *details_;
    view.settingsMenuProvider = [weak]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeMenu();
        return std::make_shared<ui::Menu>();
    };
    view.dismissAction = [weak] {
        if (auto self = weak.lock())
            self->popover_->performClose();
    };
    view.openAction = [store = settings_] { openProcessMonitor(store->language()); };
    view.sensorAction = [store = settings_] { presentSensorHelp(store->language()); };

    view.lookAction = floatingLookEditor(settings_);
    view.sortingAction = [weak] {
        if (auto self = weak.lock())
            self->setSorting(self->details_->isSorting());
    };
}

void FloatingBarController::refreshDetails(bool opening, bool animated) {
    if (!detailsReady_ || !settings_->floating())
        return;
    DetailView& view = *details_;
    view.setAppearance(strip_->appearance());
    popover_->setAppearance(strip_->appearance());
    handOff_.handOff(view, shownFloatingLook(*settings_), opening || popover_->isShown(), animated);

    if (!popover_->isShown())
        return;
    const gfx::Rect anchor = panel_ ? panel_->frame() : gfx::Rect{};
    const auto placement = detailPlacement(anchor, view.preferredHeight(), visibleScreenFrames());
    popover_->setAnimates(!application().workspace().accessibilityDisplayShouldReduceMotion());
    popover_->setContentSize({view.contentWidth(), placement.height});
}

void FloatingBarController::toggleDetails(ModuleKind module, gfx::Point point,
                                          const gfx::Rect& panelFrame) {
    if (!panel_ || !panel_->contentView())
        return;
    makePopover();
    if (auto owner = owner_.lock())
        owner->closeStatusDetails();
    if (popover_->isShown() && details_->priority() == module) {
        popover_->performClose();
        return;
    }

    details_->prioritize(module);
    strip_->setActiveModule(module);
    refreshDetails(true, true);

    const auto placement =
        detailPlacement(panelFrame, details_->preferredHeight(), visibleScreenFrames());
    popover_->setContentSize({details_->contentWidth(), placement.height});
    // A point's width above or below the module pressed, inside the bar.
    const double x = std::clamp(point.x - panelFrame.minX(), 0.0, panelFrame.width());
    const double y = placement.edge == ui::RectEdge::minY ? 0 : panelFrame.height();
    ui::View* surface = panel_->contentView().get();
    popover_->showRelativeToRect({x, y, 1, 1}, surface, placement.edge);
    application().activateIgnoringOtherApps(true);
    if (ui::Window* window = details_->window()) {
        window->makeKeyWindow();
        window->makeFirstResponder(details_.get());
    }
}

void FloatingBarController::modulePressed(std::optional<ModuleKind> module, bool hovering,
                                          gfx::Point point, const gfx::Rect& panelFrame) {
    if (!module || strip_->isSorting())
        return;
    if (hovering && (!popover_->isShown() || details_->priority() == module))
        return;
    toggleDetails(*module, point, panelFrame);
}

std::shared_ptr<LiveSettingsMenu> FloatingBarController::makeMenu() {
    load();
    const std::weak_ptr<FloatingBarController> weak = weak_from_this();
    auto menu = makeFloatingBarMenu(settings_,
                                    {.fanAvailable =
                                         [weak] {
                                             auto self = weak.lock();
                                             return self && self->sampling_.fanAvailable;
                                         },
                                     .appearance =
                                         [weak] {
                                             if (auto self = weak.lock())
                                                 return self->strip_->effectiveAppearance();
                                             return ui::Application::shared().effectiveAppearance();
                                         },
                                     .closeBar =
                                         [weak] {
                                             if (auto self = weak.lock())
                                                 self->setMode(FloatingMode::none, std::nullopt);
                                         }});
    menu->rebuild = [weak]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeMenu();
        return std::make_shared<ui::Menu>();
    };
    return menu;
}

void FloatingBarController::showMenu(const ui::Event& event) {
    popover_->performClose();
    auto menu = makeMenu();
    ui::View* over = panel_ ? panel_->contentView().get() : nullptr;
    if (auto window = event.window(); window && window->contentView())
        over = window->contentView().get();
    ui::Menu::popUpContextMenu(menu, event, over);
}

void FloatingBarController::sort() {
    popover_->performClose();
    setSorting(!strip_->isSorting());
    strip_->setActiveModule(std::nullopt);
    // The strip's own redraw request repaints the bar's surface at once.
    if (strip_->editingDisplayAction)
        strip_->editingDisplayAction();
}

void FloatingBarController::popoverDidClose(ui::Popover&) {
    // A hover already under way must not bring the details straight back.
    if (panel_)
        if (auto* surface = dynamic_cast<StatusEditingSurface*>(panel_->contentView().get()))
            surface->updateHover({}, true);
    strip_->setActiveModule(std::nullopt);
}

} // namespace pulsedeck
