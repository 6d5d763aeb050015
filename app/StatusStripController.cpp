#include "app/StatusStripController.h"

#include "floating/DockAnchors.h"
#include "statusbar/StatusEditingSurface.h"

namespace pulsedeck {

namespace {

constexpr ui::EventMask pointerMonitorMask =
    ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp | ui::EventMasks::leftMouseDragged;

} // namespace

StatusStripController::StatusStripController(std::shared_ptr<SettingsStore> settings,
                                             const SamplingState& sampling, gfx::Rect stripFrame,
                                             Hooks hooks)
    : settings_(std::move(settings)), sampling_(sampling), hooks_(std::move(hooks)),
      view_(std::make_shared<MenuBarContentView>(stripFrame)) {}

void StatusStripController::install(ui::Application& app, double length) {
    item_ = app.statusBar().statusItem(length);
    item_->setView(view_);
    if (auto* button = item_->button()) {
        if (auto* cell = button->cell())
            cell->setHighlightsBy(0);
        button->setBordered(false);
    }

    view_->monitorPointerEverywhere(app, pointerMonitorMask);

    const std::weak_ptr<StatusStripController> weak = weak_from_this();
    view_->widthChangedAction = [weak] {
        if (auto self = weak.lock())
            self->updateItemLength();
    };
    view_->floatingDragAction = [weak](gfx::Point start, gfx::Point current, bool ended) {
        if (auto self = weak.lock())
            self->hooks_.dragOut(start, current, ended);
    };
}

void StatusStripController::refresh(const StripSettings& settings,
                                    const StripEnvironment& environment) {
    if (!item_)
        return;
    view_->setInputs(stripInputs(settings, sampling_.stripReadings(), environment));

    const auto shows = [&settings](ModuleKind kind) { return settings.shows(kind); };
    StatusToolTipContent tip;
    tip.language = environment.language;
    if (shows(ModuleKind::memory))
        tip.memory = sampling_.latest;
    if (shows(ModuleKind::fan))
        tip.fan = sampling_.fanSnapshot;
    if (shows(ModuleKind::network))
        tip.network = sampling_.networkSnapshot;
    if (shows(ModuleKind::temperature))
        tip.temperature = sampling_.temperatureSnapshot;
    if (shows(ModuleKind::devices))
        tip.devices = sampling_.devicesSnapshot.devices;
    if (shows(ModuleKind::compute))
        tip.compute = sampling_.computeSnapshot;
    if (toolTipShown_ != tip) {
        const std::string text = statusToolTip(tip);
        view_->setToolTip(text);
        view_->setAccessibilityLabel(text);
        toolTipShown_ = std::move(tip);
    }

    // Also places the editing panels over the strip's new width. The strip's setters have
    // marked what changed in it, and tell the editing surfaces that draw it.
    updateItemLength();
}

void StatusStripController::updateItemLength() {
    if (!item_)
        return;
    const double width = view_->requiredWidth();
    if (item_->length() != width)
        item_->setLength(width);
    if (view_->frame().width() != width)
        view_->View::setFrameSize({width, view_->frame().height()});
    refreshEditingPanels();
}

void StatusStripController::installEditingPanels() {
    editingPanels_ = std::make_unique<EditingPanels>(view_);
    const std::weak_ptr<StatusStripController> weak = weak_from_this();
    editingPanels_->stripPlacedAction = [weak](const ui::Screen& screen, const gfx::Rect& strip) {
        if (auto self = weak.lock())
            self->recordDockAnchor(screen, strip);
    };
    view_->editingDisplayAction = [weak] {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces(std::nullopt);
    };
    view_->editingRectAction = [weak](const gfx::Rect& rect) {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces(rect);
    };
}

void StatusStripController::refreshEditingPanels() {
    if (!editingPanels_ || !item_)
        return;
    EditingPanels::Conditions conditions;
    conditions.surfacesReady = hooks_.surfacesReady();
    conditions.statusHidden = prefs().floatingMode == FloatingMode::detached || !item_->isVisible();
    conditions.hideInFullscreen = prefs().look.hideInFullscreen;
    conditions.opacity = prefs().look.opacity;
    conditions.fullscreenDisplays = hooks_.fullscreenDisplays();
    editingPanels_->refresh(conditions);
}

void StatusStripController::forgetHover() {
    // No hover survives a held button.
    if (editingPanels_)
        for (const auto& [key, panel] : editingPanels_->panels())
            if (auto* surface = EditingPanels::surfaceOf(*panel))
                surface->updateHover({}, true);
}

void StatusStripController::recordDockAnchor(const ui::Screen& screen, const gfx::Rect& strip) {
    std::string text = DockAnchor::measure(screen.frame(), strip).text();
    settings_->change([&](Preferences& p) {
        p.floatingDockAnchors.insert_or_assign(dockAnchorKey(screen.displayNumber()), text);
    });
}

void StatusStripController::redrawEditingSurfaces(std::optional<gfx::Rect> rect) {
    if (editingPanels_) {
        if (rect)
            editingPanels_->redrawSurfaces(*rect);
        else
            editingPanels_->redrawSurfaces();
    }
    hooks_.redrawPreview(rect);
}

} // namespace pulsedeck
