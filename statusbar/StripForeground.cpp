#include "statusbar/StripForeground.h"

#include "platform/graphics/Context.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripOrnaments.h"

#include <cmath>
#include <utility>

namespace pulsedeck {

namespace {

// How far beyond a changed module its column reaches, as the surface's own column redraws.
constexpr double columnMargin = 4;

bool samePicture(const std::optional<gfx::Image>& a, const std::optional<gfx::Image>& b) {
    if (!a || !b)
        return a.has_value() == b.has_value();
    return a->sharesContent(*b);
}

} // namespace

bool StripForeground::Scene::Module::operator==(const Module& other) const {
    return !moving && !other.moving && kind == other.kind && rect == other.rect &&
           graphProgress == other.graphProgress && heightScale == other.heightScale &&
           samePicture(image, other.image) && samePicture(rotor, other.rotor);
}

// Mirrors what MenuBarContentView::drawStrip and drawModule paint from: whatever they come to
// read must be here too, or a change of it would not be repainted.
std::optional<StripForeground::Scene> StripForeground::currentScene() const {
    if (!surface)
        return std::nullopt;
    const auto strip = surface->owner.lock();
    if (!strip)
        return std::nullopt;
    Scene scene;
    scene.unsettled = strip->isSorting() || strip->draggedModule.has_value() ||
                      strip->deviceAttentionProgress < 1;
    scene.background = surface->backgroundLook();
    scene.appearance = effectiveAppearance();
    scene.dark = strip->drawsDark();
    scene.stripHeight = strip->presentationHeight.value_or(strip->bounds().height());
    if (const auto& active = strip->activeModule(); active && strip->moduleWidth(*active))
        scene.highlight = strip->rect(*active);
    scene.highlightOpacity = strip->selectionOpacity;

    for (const auto& [kind, laidOut] : strip->layoutModuleRects()) {
        Scene::Module module;
        module.kind = kind;
        const auto shown = strip->displayedRects.find(kind);
        module.rect = shown != strip->displayedRects.end() ? shown->second : laidOut;
        switch (kind) {
        case ModuleKind::memory:
            module.image = strip->memoryImage;
            break;
        case ModuleKind::network:
            module.image = strip->networkImage;
            break;
        case ModuleKind::temperature:
            module.image = strip->temperatureImage;
            break;
        case ModuleKind::compute:
            module.image = strip->computeImage;
            break;
        case ModuleKind::devices:
            module.image = strip->devicesImage;
            break;
        case ModuleKind::fan: {
            const double g = strip->graphProgress;
            module.image = g <= 0 ? strip->ringBackdrop
                                  : (g >= 1 ? strip->graphBackdrop : strip->transitionBackdrop);
            module.graphProgress = g;
            module.heightScale = strip->heightScale();
            const auto& frames = strip->rotorFrames;
            if (!frames.empty()) {
                module.moving = strip->phase.speed > 0;
                const int index =
                    rotorFrameIndex(strip->phase.phase, static_cast<int>(frames.size()));
                module.rotor = frames[static_cast<std::size_t>(index)];
            }
            break;
        }
        }
        scene.modules.push_back(std::move(module));
    }
    return scene;
}

std::vector<gfx::Rect> StripForeground::changedArea(const Scene& before, const Scene& after) {
    const gfx::Rect whole = before.background.bounds.unionWith(after.background.bounds);
    if (before.unsettled || after.unsettled || before.background != after.background ||
        before.appearance != after.appearance || before.dark != after.dark ||
        before.stripHeight != after.stripHeight || before.highlight != after.highlight ||
        before.highlightOpacity != after.highlightOpacity)
        return {whole};
    ui::DirtyRegion area;
    auto addColumn = [&](const gfx::Rect& rect) {
        const double left = std::floor(rect.minX()) - columnMargin;
        const double right = std::ceil(rect.maxX()) + columnMargin;
        area.add(gfx::Rect{left, whole.minY(), right - left, whole.height()}.intersection(whole));
    };
    auto find = [](const Scene& scene, ModuleKind kind) -> const Scene::Module* {
        for (const Scene::Module& module : scene.modules)
            if (module.kind == kind)
                return &module;
        return nullptr;
    };
    for (const Scene::Module& module : after.modules) {
        const Scene::Module* old = find(before, module.kind);
        if (!old || !(*old == module)) {
            addColumn(module.rect);
            if (old)
                addColumn(old->rect);
        }
    }
    for (const Scene::Module& old : before.modules)
        if (!find(after, old.kind))
            addColumn(old.rect);
    return area.parts();
}

void StripForeground::redrawChanges() {
    checking_ = true;
    View::setNeedsDisplay(true);
}

void StripForeground::setNeedsDisplay(bool flag) {
    kept_.clear();
    if (flag) {
        kept_.add(bounds());
    } else {
        checking_ = false;
    }
    View::setNeedsDisplay(flag);
}

void StripForeground::setNeedsDisplayInRect(const gfx::Rect& rect) {
    kept_.add(rect.intersection(bounds()));
    View::setNeedsDisplayInRect(rect);
}

void StripForeground::viewWillDraw() {
    const bool checking = std::exchange(checking_, false);
    ui::DirtyRegion area = std::exchange(kept_, ui::DirtyRegion{});
    if (!checking)
        return;
    if (!shown_) {
        // A whole mark draws the whole layer, perhaps in parts; after it the scene is known.
        if (dirtyRect().contains(bounds()))
            shown_ = currentScene();
        return;
    }
    std::optional<Scene> now = currentScene();
    if (!now)
        return;
    for (const gfx::Rect& column : changedArea(*shown_, *now))
        area.add(column);
    replaceDirtyRects(area.parts());
    // The draw that follows covers every difference, so the backing will show this scene.
    shown_ = std::move(now);
}

void StripForeground::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    // A draw of the whole layer shows the current scene everywhere; a partial one keeps what
    // is known only if it draws the scene already shown.
    std::optional<Scene> now = currentScene();
    if (dirtyRect.contains(bounds()))
        shown_ = std::move(now);
    else if (shown_ != now)
        shown_.reset();

    // Our views share one backing, so the layer of its own that this view would have on the
    // platform is a group: clearing inside it leaves the glass below untouched.
    cairo_push_group(context.cairo());
    context.clearRect(dirtyRect);
    if (surface) {
        const gfx::Appearance windowAppearance = context.appearance();
        context.setAppearance(effectiveAppearance());
        surface->drawContent(context, dirtyRect);
        context.setAppearance(windowAppearance);
    }
    cairo_pop_group_to_source(context.cairo());
    cairo_paint(context.cairo());
}

} // namespace pulsedeck
