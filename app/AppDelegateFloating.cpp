#include "app/AppDelegate.h"
#include "app/FloatingSettingsTransfer.h"
#include "floating/FloatingGeometry.h"
#include "floating/FloatingPanel.h"
#include "floating/FloatingSurface.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/RectText.h"
#include "platform/toolkit/Workspace.h"

#include <any>

namespace pulsedeck {

namespace {

constexpr std::string_view floatingFrameKey = "floatingFrame";
// A new bar without a place of its own hangs this far below the status item.
constexpr double dropBelowStatusItem = 60;
// The hand-off drops the bar into place from this far above.
constexpr double handoffLift = 3;
// Where the bar goes when there is no screen to measure.
constexpr gfx::Rect screenlessBase{0, 0, 800, 600};

} // namespace

void AppDelegate::setFloatingMode(FloatingMode mode, std::optional<gfx::Rect> dropFrame) {
    floatingMotion.stop();
    const FloatingMode old = prefs().floatingMode;
    // The steps below apply what the mode's settings changes bring along.
    const auto quietly = [this](auto change) {
        changingFloatingMode_ = true;
        change();
        changingFloatingMode_ = false;
    };
    if (mode == FloatingMode::detached && old != FloatingMode::detached) {
        // Detaching, the bar takes over the strip's modules and styles.
        loadFloatingPreferences();
        quietly([this] {
            settings_->changeFloating([this](FloatingPreferences& p) { seedFloating(p, prefs()); });
        });
    } else if (mode == FloatingMode::none && old == FloatingMode::detached &&
               settings_->floating()) {
        quietly([this] {
            settings_->change(
                [this](Preferences& p) { returnFloatingToMain(*settings_->floating(), p); });
        });
    }
    if (mode == FloatingMode::none && detailFloatingFrame && popover->isShown())
        popover->performClose();

    quietly([this, mode] { settings_->change([mode](Preferences& p) { p.floatingMode = mode; }); });

    if (mode == FloatingMode::none) {
        floatingPopover->close();
        floatingDetails->setSorting(false);
        if (floatingView->isSorting())
            floatingView->setSorting(false);
        // The bar's fan rotor must not keep turning for a strip nobody sees.
        floatingView->setFanMode(FanDisplayMode::hidden);
        floatingView->renderFanImage();
        if (floatingPanel)
            floatingPanel->orderOut();
        floatingPanel.reset();
        applyFullscreenVisibility();
    } else {
        showFloatingPanel(dropFrame);
    }

    refreshEditingPanels();
    handOffToDetails(false, resolvedLanguage());

    if (mode == FloatingMode::none && old == FloatingMode::detached) {
        refreshStatus(false);
        requestSample();
        fullscreenMonitor->setEnabled(prefs().hideInFullscreen);
    } else {
        updateFullscreenMonitoring();
    }
}

void AppDelegate::showFloatingPanel(std::optional<gfx::Rect> dropFrame) {
    loadFloatingPreferences();
    makeFloatingPopover();
    refreshFloatingView();

    const gfx::Size size{floatingView->requiredWidth(), floatingView->presentationHeight().value_or(
                                                            floatingView->bounds().height())};
    gfx::Rect base = screenlessBase;
    if (auto itemFrame = statusView->statusItemScreenFrame())
        base = *itemFrame;
    else if (auto screen = ui::Screen::mainScreen())
        base = screen->visibleFrame();

    gfx::Point origin{base.minX(), base.minY() - dropBelowStatusItem};
    if (dropFrame)
        origin = dropFrame->origin;
    else if (floatingPanel)
        origin = floatingPanel->frame().origin;
    else if (auto stored = defaults().stringForKey(floatingFrameKey))
        origin = gfx::rectFromString(*stored).value_or(gfx::Rect{}).origin;
    const gfx::Rect frame = keepFrameOnScreen({origin, size});

    if (!floatingPanel)
        floatingPanel = makeFloatingPanel(false, frame);
    else if (FloatingSurface* surface = floatingSurface())
        surface->setOpacity(settings_->floating()->opacity);
    floatingPanel->setFrame(frame, true);
    floatingPanel->orderFrontRegardless();

    if (dropFrame) {
        const bool reduceMotion =
            application().workspace().accessibilityDisplayShouldReduceMotion();
        floatingMotion.stop();
        if (!reduceMotion && floatingMotion.begin(floatingPanel)) {
            floatingMotion.startHandoff(frame.offsetBy(0, handoffLift), frame,
                                        [panel = std::weak_ptr<ui::Window>(floatingPanel), frame] {
                                            if (auto shown = panel.lock())
                                                shown->setFrame(frame, true);
                                        });
        } else {
            floatingPanel->setFrame(frame, false);
        }
    }
    defaults().setObject(gfx::stringFromRect(frame), floatingFrameKey);
    applyFullscreenVisibility();

    if (prefs().floatingMode == FloatingMode::detached) {
        popover->performClose();
        if (details->isSorting()) {
            details->setSorting(false);
            if (details->sortingAction)
                details->sortingAction();
        }
        statusView->setActiveModule(std::nullopt);
    }
}

std::shared_ptr<ui::Window> AppDelegate::makeFloatingPanel(bool preview, const gfx::Rect& frame) {
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
    if (preview) {
        surface->setOwner(statusView);
        surface->setOpacity(prefs().floatingOpacity);
    } else {
        surface->setOwner(floatingView);
        surface->setOpacity(settings_->floating() ? settings_->floating()->opacity : 1.0);
    }
    surface->applyMaterial();
    panel->setContentView(surface);
    if (!preview)
        panel->setAppearance(floatingView->appearance());
    panel->setIgnoresMouseEvents(preview);
    installFloatingSurfaceActions(*surface);
    return panel;
}

void AppDelegate::installFloatingSurfaceActions(FloatingSurface& surface) {
    const std::weak_ptr<AppDelegate> weak = weak_from_this();
    surface.movedAction = [weak](const gfx::Rect& frame) {
        if (auto self = weak.lock())
            self->saveFloatingFrame(frame);
    };
    surface.dragBeganAction = [weak] {
        if (auto self = weak.lock())
            self->floatingDragBegan();
    };
    surface.dockingAction = [weak](const gfx::Rect& frame) {
        auto self = weak.lock();
        return self && self->dockFloatingPanel(frame);
    };
    surface.moduleAction = [weak](std::optional<ModuleKind> module, bool hovering, gfx::Point point,
                                  const gfx::Rect& panelFrame) {
        if (auto self = weak.lock())
            self->floatingModulePressed(module, hovering, point, panelFrame);
    };
    surface.contextAction = [weak](const ui::Event& event) {
        if (auto self = weak.lock())
            self->showFloatingMenu(event);
    };
}

void AppDelegate::saveFloatingFrame(const gfx::Rect& frame) {
    defaults().setObject(gfx::stringFromRect(frame), floatingFrameKey);
    applyFullscreenVisibility();
}

bool AppDelegate::floatingBarStandsIn() const {
    // Without a bar to show, or a screen to show it on, the status item is the only way back to
    // the program, so it stays.
    return prefs().floatingMode == FloatingMode::detached && floatingPanel &&
           !ui::Screen::screens().empty();
}

void AppDelegate::applyFullscreenVisibility() {
    if (!item)
        return;
    std::vector<int> displayNumbers;
    for (const auto& screen : ui::Screen::screens())
        displayNumbers.push_back(screen.displayNumber());
    const bool itemVisible = statusItemVisible(floatingBarStandsIn(), prefs().hideInFullscreen,
                                               displayNumbers, fullscreenMonitor->displayIDs());
    if (item->isVisible() != itemVisible)
        item->setVisible(itemVisible);

    if (floatingPanel) {
        const bool barHides = settings_->floating() && settings_->floating()->hideInFullscreen &&
                              fullscreenMonitor->isFullscreen(floatingPanel->frame());
        if (barHides)
            floatingPanel->orderOut();
        else if (nativeSurfacesReady)
            floatingPanel->orderFrontRegardless();
    }

    if (popover->isShown()) {
        std::optional<gfx::Rect> shownAt = detailFloatingFrame;
        if (!shownAt && anchorPanel)
            shownAt = anchorPanel->frame();
        if (!shownAt)
            shownAt = statusView->statusItemScreenFrame();
        if (!shownAt) {
            refreshEditingPanels();
            return;
        }
        if (prefs().hideInFullscreen && fullscreenMonitor->isFullscreen(*shownAt))
            popover->performClose();
    }
    refreshEditingPanels();
}

void AppDelegate::closeFloating() {
    setFloatingMode(FloatingMode::none, std::nullopt);
}

void AppDelegate::chooseFloating(const std::any& representedObject) {
    const auto* name = std::any_cast<std::string>(&representedObject);
    if (!name)
        return;
    if (auto mode = parseFloatingMode(*name))
        setFloatingMode(*mode, floatingDropFrame);
}

} // namespace pulsedeck
