#include "app/AppDelegate.h"
#include "floating/DetailPlacement.h"
#include "floating/FloatingGeometry.h"
#include "platform/toolkit/Workspace.h"

#include <algorithm>

namespace pulsedeck {

void AppDelegate::makeFloatingPopover() {
    if (floatingDetailsReady)
        return;
    floatingDetailsReady = true;
    const std::weak_ptr<AppDelegate> weak = weak_from_this();

    floatingDetails->setAutoresizingMask(ui::Autoresizing::widthSizable |
                                         ui::Autoresizing::heightSizable);
    floatingPopover->setContentViewController(
        std::make_shared<ui::ViewController>(floatingDetails));
    floatingPopover->setContentSize(floatingDetails->frame().size);
    floatingPopover->setBehavior(ui::PopoverBehavior::transient);
    floatingPopover->setDelegate(weak);
    floatingPopover->setAnimates(
        !application().workspace().accessibilityDisplayShouldReduceMotion());

    DetailView& view = *floatingDetails;
    view.settingsMenuProvider = [weak]() -> std::shared_ptr<ui::Menu> {
        if (auto self = weak.lock())
            return self->makeFloatingMenu();
        return std::make_shared<ui::Menu>();
    };
    view.dismissAction = [weak] {
        if (auto self = weak.lock())
            self->floatingPopover->performClose();
    };
    view.openAction = details->openAction;
    view.sensorAction = details->sensorAction;

    auto choice = [this](auto edit) { return floatingChoice(settings_, edit); };
    view.orderAction = choice([](FloatingPreferences& p, const std::vector<ModuleKind>& order) {
        p.order = completeOrder(order);
    });
    view.switchAction = choice([](FloatingPreferences& p, ModuleKind kind, bool on) {
        if (on)
            p.hidden.erase(kind);
        else
            p.hidden.insert(kind);
    });
    view.opacityAction = choice([](FloatingPreferences& p, double opacity) {
        p.opacity = clampedFloatingOpacity(opacity);
    });
    view.appearanceAction =
        choice([](FloatingPreferences& p, AppearanceMode mode) { p.appearance = mode; });
    view.displayAction =
        choice([](FloatingPreferences& p, DisplayMode mode) { p.displayMode = mode; });
    view.fanAction = choice([](FloatingPreferences& p, FanDisplayMode mode) { p.fanMode = mode; });
    view.fanAnimationAction =
        choice([](FloatingPreferences& p, FanAnimationMode mode) { p.fanAnimation = mode; });
    view.computeDisplayAction =
        choice([](FloatingPreferences& p, ComputeDisplayMode mode) { p.computeMode = mode; });
    view.temperatureDisplayAction = choice(
        [](FloatingPreferences& p, TemperatureDisplayMode mode) { p.temperatureMode = mode; });
    view.memoryChartAction =
        choice([](FloatingPreferences& p, bool on) { p.memoryShowChart = on; });
    view.networkChartAction =
        choice([](FloatingPreferences& p, bool on) { p.networkShowChart = on; });
    view.networkColorAction =
        choice([](FloatingPreferences& p, bool on) { p.networkColored = on; });
    view.chartLengthAction = choice(
        [](FloatingPreferences& p, double length) { p.chartLength = clampedChartLength(length); });
    view.gapAction = choice([](FloatingPreferences& p, double gap) { p.gap = clampedFanGap(gap); });
    view.hideInFullscreenAction =
        choice([](FloatingPreferences& p, bool on) { p.hideInFullscreen = on; });
    view.disclosureAction =
        choice([](FloatingPreferences& p, const std::set<ModuleKind>& sections) {
            p.collapsed = sections;
        });
    view.presentationAction = [weak](DetailPresentation presentation) {
        auto self = weak.lock();
        if (!self)
            return;
        self->floatingDetails->fadeFromSnapshot();
        self->settings_->changeFloating(
            [presentation](FloatingPreferences& p) { p.presentation = presentation; });
    };
    view.sortingAction = [weak] {
        auto self = weak.lock();
        if (self && self->floatingView->isSorting() != self->floatingDetails->isSorting())
            self->floatingView->setSorting(self->floatingDetails->isSorting());
    };
    view.moduleColorAction = [weak](ColorSlot slot, std::optional<PaletteColor> color) {
        if (auto self = weak.lock())
            self->chooseFloatingColor(slot, color);
    };
}

void AppDelegate::refreshFloatingDetails(bool opening, bool animated) {
    if (!floatingDetailsReady || !settings_->floating())
        return;
    DetailView& view = *floatingDetails;
    view.setAppearance(floatingView->appearance());
    floatingPopover->setAppearance(floatingView->appearance());
    handOffToDetails(view, &*settings_->floating(), opening || floatingPopover->isShown(), animated,
                     resolvedLanguage());

    if (!floatingPopover->isShown())
        return;
    const gfx::Rect anchor = floatingPanel ? floatingPanel->frame() : gfx::Rect{};
    const auto placement = detailPlacement(anchor, view.preferredHeight(), visibleScreenFrames());
    floatingPopover->setAnimates(
        !application().workspace().accessibilityDisplayShouldReduceMotion());
    floatingPopover->setContentSize({view.contentWidth(), placement.height});
}

void AppDelegate::toggleFloatingDetails(ModuleKind module, gfx::Point point,
                                        const gfx::Rect& panelFrame) {
    if (!floatingPanel || !floatingPanel->contentView())
        return;
    makeFloatingPopover();
    popover->performClose();
    if (floatingPopover->isShown() && floatingDetails->priority() == module) {
        floatingPopover->performClose();
        return;
    }

    floatingDetails->prioritize(module);
    floatingView->setActiveModule(module);
    refreshFloatingDetails(true, true);

    const auto placement =
        detailPlacement(panelFrame, floatingDetails->preferredHeight(), visibleScreenFrames());
    floatingPopover->setContentSize({floatingDetails->contentWidth(), placement.height});
    // A point's width above or below the module pressed, inside the bar.
    const double x = std::clamp(point.x - panelFrame.minX(), 0.0, panelFrame.width());
    const double y = placement.edge == ui::RectEdge::minY ? 0 : panelFrame.height();
    ui::View* surface = floatingPanel->contentView().get();
    floatingPopover->showRelativeToRect({x, y, 1, 1}, surface, placement.edge);
    application().activateIgnoringOtherApps(true);
    if (ui::Window* window = floatingDetails->window()) {
        window->makeKeyWindow();
        window->makeFirstResponder(floatingDetails.get());
    }
}

void AppDelegate::floatingModulePressed(std::optional<ModuleKind> module, bool hovering,
                                        gfx::Point point, const gfx::Rect& panelFrame) {
    if (!module || floatingView->isSorting())
        return;
    if (hovering && (!floatingPopover->isShown() || floatingDetails->priority() == module))
        return;
    toggleFloatingDetails(*module, point, panelFrame);
}

} // namespace pulsedeck
