#include "app/StatusStripController.h"

#include "floating/DockAnchors.h"
#include "model/AccentColor.h"
#include "model/MenuBarGeometry.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/StatusEditingSurface.h"
#include "statusbar/StatusLayout.h"

#include <algorithm>
#include <span>

namespace pulsedeck {

namespace {

constexpr ui::EventMask pointerMonitorMask =
    ui::EventMasks::leftMouseDown | ui::EventMasks::leftMouseUp | ui::EventMasks::leftMouseDragged;
// A menu-bar height outside these bounds is not believed.
constexpr double plausibleMenuBarMinimum = 18;
constexpr double plausibleMenuBarMaximum = 80;

namespace Key = PreferenceKey;
// What only the editing panels over the strip show.
constexpr std::string_view panelKeys[] = {Key::floatingOpacity, Key::hideInFullscreen,
                                          Key::floatingMode};
// What neither the strip nor the panels show.
constexpr std::string_view unseenKeys[] = {Key::detailPresentation, Key::collapsedSections,
                                           Key::floatingDockAnchors, Key::floatingOnTop};

bool listed(std::string_view key, std::span<const std::string_view> keys) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

} // namespace

double statusPresentationHeight(const std::vector<ui::Screen>& screens, double thickness) {
    std::vector<double> heights;
    for (const auto& screen : screens) {
        double height = screen.frame().maxY() - screen.visibleFrame().maxY();
        if (height < plausibleMenuBarMinimum || height > plausibleMenuBarMaximum) {
            const double top = screen.safeAreaTop();
            height = top < 24 ? std::max(thickness, 24.0) : std::max(top, thickness);
        }
        heights.push_back(height);
    }
    return statusHeight(heights);
}

StatusStripController::StatusStripController(std::shared_ptr<SettingsStore> settings,
                                             const SamplingState& sampling,
                                             std::shared_ptr<const FullscreenMonitor> fullscreen,
                                             dispatch::RunLoop& loop, gfx::Rect stripFrame)
    : settings_(std::move(settings)), sampling_(sampling), fullscreen_(std::move(fullscreen)),
      loop_(loop), view_(std::make_shared<MenuBarContentView>(stripFrame)) {}

void StatusStripController::install(ui::Application& app, std::function<void()> ready) {
    view_->setPresentationHeight(
        statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()));
    const ModuleLook& look = prefs().look.modules;
    const StatusLayout layout =
        StatusLayout::measure(look.styles.memoryMode, settings_->language(), sampling_.latest,
                              look.styles.memoryShowChart, look.chartLength);
    item_ = app.statusBar().statusItem(layout.width);
    item_->setView(view_);
    if (auto* button = item_->button()) {
        if (auto* cell = button->cell())
            cell->setHighlightsBy(0);
        button->setBordered(false);
    }
    view_->monitorPointerEverywhere(app, pointerMonitorMask);
    wireStrip();

    const std::weak_ptr<StatusStripController> weak = weak_from_this();
    settings_->observe([weak](const SettingsChange& change) {
        if (auto self = weak.lock())
            self->settingsChanged(change);
    });
    refresh();
    loop_.queue().asyncAfter(surfacesReadyDelay, [weak, ready = std::move(ready)] {
        auto self = weak.lock();
        if (!self)
            return;
        self->placeSurfaces();
        if (ready)
            ready();
    });
}

void StatusStripController::wireStrip() {
    const std::weak_ptr<StatusStripController> weak = weak_from_this();
    // Each of the strip's reports goes to this controller while it lives, and on to what it
    // reaches while that lives.
    const auto presses = [weak](auto report) {
        return [weak, report](auto&&... arguments) {
            auto self = weak.lock();
            if (auto presses = self ? self->presses_.lock() : nullptr)
                report(*presses, arguments...);
        };
    };
    MenuBarContentView& strip = *view_;
    strip.widthChangedAction = [weak] {
        if (auto self = weak.lock())
            self->updateItemLength();
    };
    strip.floatingDragAction = [weak](gfx::Point start, gfx::Point current, bool ended) {
        auto self = weak.lock();
        if (auto pullOut = self ? self->pullOut_.lock() : nullptr)
            pullOut->dragOut(start, current, ended);
    };
    strip.editingDisplayAction = [weak] {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces(std::nullopt);
    };
    strip.editingRectAction = [weak](const gfx::Rect& rect) {
        if (auto self = weak.lock())
            self->redrawEditingSurfaces(rect);
    };
    strip.clickAction =
        presses([](StripPresses& p, std::optional<gfx::Point> point) { p.stripClicked(point); });
    strip.moduleClickAction = presses(
        [](StripPresses& p, std::optional<ModuleKind> module) { p.stripModulePressed(module); });
    strip.moduleHoverAction = presses([](StripPresses& p, ModuleKind module, gfx::Point point) {
        p.stripModuleHovered(module, point);
    });
    strip.hoverDetailsEnabled = [weak] {
        auto self = weak.lock();
        auto presses = self ? self->presses_.lock() : nullptr;
        return presses && presses->showsDetailsOnHover();
    };
    strip.contextMenuAction =
        presses([](StripPresses& p, const ui::Event& event) { p.stripContextMenu(event); });
    strip.statusOrderAction = presses(
        [](StripPresses& p, const std::vector<ModuleKind>& order) { p.stripReordered(order); });
    strip.statusHideAction = presses([](StripPresses& p, ModuleKind kind) { p.stripHid(kind); });
    strip.finishSortingAction = presses([](StripPresses& p) { p.stripSortingFinished(); });
}

void StatusStripController::settingsChanged(const SettingsChange& change) {
    const auto& keys = change.keys;
    if (std::any_of(keys.begin(), keys.end(), [](const std::string& key) {
            return !listed(key, panelKeys) && !listed(key, unseenKeys);
        }))
        refresh();
    else if (std::any_of(keys.begin(), keys.end(),
                         [](const std::string& key) { return listed(key, panelKeys); }))
        refreshEditingPanels();
}

void StatusStripController::refresh() {
    if (!item_)
        return;
    const Preferences& p = prefs();
    // The theme is every custom control's accent, the strip's devices picture among them.
    applyAccentColor(toColor(p.look.modules.colors.color(ColorSlot::theme, p.normalBlue)));

    ui::Application& app = ui::Application::shared();
    const StripSettings settings = statusStripSettings(p, sampling_.fanAvailable);
    const StripEnvironment environment{
        .height = statusPresentationHeight(ui::Screen::screens(), app.statusBar().thickness()),
        .systemDark = app.effectiveAppearance() == gfx::Appearance::dark,
        .reduceMotion = app.workspace().accessibilityDisplayShouldReduceMotion(),
        .language = settings_->language(),
        .historyCapacity = static_cast<int>(sampling_.historyCapacity)};
    view_->setInputs(stripInputs(settings, sampling_.stripReadings(), environment));

    StatusToolTipContent tip;
    tip.language = environment.language;
    if (settings.shows(ModuleKind::memory))
        tip.memory = sampling_.latest;
    if (settings.shows(ModuleKind::fan))
        tip.fan = sampling_.fanSnapshot;
    if (settings.shows(ModuleKind::network))
        tip.network = sampling_.networkSnapshot;
    if (settings.shows(ModuleKind::temperature))
        tip.temperature = sampling_.temperatureSnapshot;
    if (settings.shows(ModuleKind::devices))
        tip.devices = sampling_.devicesSnapshot.devices;
    if (settings.shows(ModuleKind::compute))
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

void StatusStripController::placeSurfaces() {
    surfacesReady_ = true;
    editingPanels_ = std::make_unique<EditingPanels>(view_);
    const std::weak_ptr<StatusStripController> weak = weak_from_this();
    editingPanels_->stripPlacedAction = [weak](const ui::Screen& screen, const gfx::Rect& strip) {
        if (auto self = weak.lock())
            self->recordDockAnchor(screen, strip);
    };
    refreshEditingPanels();
}

void StatusStripController::refreshEditingPanels() {
    if (!editingPanels_ || !item_)
        return;
    const Preferences& p = prefs();
    editingPanels_->refresh(
        {.surfacesReady = surfacesReady_,
         .statusHidden = p.floatingMode == FloatingMode::detached || !item_->isVisible(),
         .hideInFullscreen = p.look.hideInFullscreen,
         .opacity = p.look.opacity,
         .fullscreenDisplays = fullscreen_->displayIDs()});
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
    if (auto pullOut = pullOut_.lock())
        pullOut->redrawPreview(rect);
}

} // namespace pulsedeck
