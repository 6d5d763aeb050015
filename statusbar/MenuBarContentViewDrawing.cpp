#include "drawing/FanBladeGlyph.h"
#include "model/AccentColor.h"
#include "statusbar/MenuBarContentView.h"
#include "statusbar/StripOrnaments.h"

#include <algorithm>

namespace pulsedeck {

namespace {

// Modules whose rect, grown by this much, misses the dirty rect are not painted.
constexpr double paintMargin = 2;

constexpr double selectionAlphaDark = 0.13;
constexpr double selectionAlphaLight = 0.08;

constexpr double badgeFillDark = 0.3;
constexpr double badgeFillLight = 0.97;
constexpr double badgeFillAlpha = 0.98;
constexpr double badgeStrokeWidth = 0.8;
constexpr double badgeStrokeAlphaDark = 0.42;
constexpr double badgeStrokeAlphaLight = 0.3;
constexpr double badgeCrossInset = 0.32;
constexpr double badgeCrossWidth = 1.3;
constexpr double badgeCrossAlpha = 0.85;

constexpr double glowShadowAlpha = 0.3;
constexpr double glowShadowBlur = 6;
constexpr double glowFillAlpha = 0.18;

constexpr gfx::Point rotorCentre{12, 12};
constexpr double rotorRadius = 7.1;
constexpr double rotorLightGrey = 0.42;
constexpr double rotorBladeAlpha = 0.9;
constexpr double rotorArcWidth = 0.45;
constexpr double rotorArcAlphaPeak = 0.46;
constexpr double rotorArcAlphaLoaded = 0.3;

constexpr double ringStrokeWidth = 2.2;
constexpr double graphStrokeThinning = 1.2;

int canonicalIndex(ModuleKind kind) {
    return static_cast<int>(std::find(allModuleKinds.begin(), allModuleKinds.end(), kind) -
                            allModuleKinds.begin());
}

} // namespace

void MenuBarContentView::drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) {
    if (editingSurfacePresented_) {
        context.clearRect(dirtyRect);
        return;
    }
    double dy = (bounds().height() - stripHeight()) / 2;
    if (const auto item = statusItemScreenRect()) {
        if (const auto strip = statusItemScreenFrame())
            dy = strip->minY() - item->minY();
    }
    gfx::Context::SavedState saved(context);
    context.translate(0, dy);
    drawStrip(context, true, dirtyRect.offsetBy(0, -dy));
}

void MenuBarContentView::drawStrip(gfx::Context& context, bool highlightingSelection,
                                   const gfx::Rect& dirty) {
    const bool dark = drawsDark();
    if (highlightingSelection && activeModule_ && moduleWidth(*activeModule_)) {
        const gfx::Color highlight =
            dark ? gfx::Color::white().withAlpha(selectionAlphaDark * selectionOpacity_)
                 : gfx::Color::black().withAlpha(selectionAlphaLight * selectionOpacity_);
        const gfx::Rect capsule = rect(*activeModule_).insetBy(0.5, 0);
        context.setFillColor(highlight);
        context.fill(gfx::Path::roundedRect(capsule, capsule.height() / 2, capsule.height() / 2));
    }

    std::vector<ModuleKind> painted;
    for (const auto& [kind, width] : shownModules())
        painted.push_back(kind);
    if (highlightingSelection && draggedModule_) {
        std::erase(painted, *draggedModule_);
        painted.push_back(*draggedModule_);
    }

    const ModuleRects layout = layoutModuleRects();
    auto laidOut = [&layout](ModuleKind kind) {
        auto found = layout.find(kind);
        return found != layout.end() ? found->second : gfx::Rect{};
    };
    const bool jiggles = animationsEnabled_ && !reduceMotion();
    const double time = now();
    for (ModuleKind kind : painted) {
        gfx::Rect moduleRect;
        if (!highlightingSelection) {
            moduleRect = laidOut(kind);
        } else if (draggedModule_ == kind) {
            moduleRect = draggedRect_.value_or(gfx::Rect{});
        } else if (auto shown = displayedRects_.find(kind); shown != displayedRects_.end()) {
            moduleRect = shown->second;
        } else {
            moduleRect = laidOut(kind);
        }
        if (!moduleRect.insetBy(-paintMargin, -paintMargin).intersects(dirty))
            continue;
        const bool editing = highlightingSelection && isSorting_ && editableModules_.contains(kind);
        {
            gfx::Context::SavedState saved(context);
            if (editing) {
                context.concat(jiggleTransform(moduleRect, canonicalIndex(kind), time,
                                               jiggles && draggedModule_ != kind));
            }
            drawModule(context, kind, moduleRect);
        }
        if (editing)
            drawCloseBadge(context, kind, dark);
    }
}

void MenuBarContentView::drawCloseBadge(gfx::Context& context, ModuleKind kind, bool dark) {
    const gfx::Rect square = closeBadgeRect(rect(kind), stripHeight());
    const gfx::Path badge = gfx::Path::oval(square.insetBy(0.5, 0.5));
    context.setFillColor(gfx::Color::grey(dark ? badgeFillDark : badgeFillLight, badgeFillAlpha));
    context.fill(badge);
    context.setStrokeColor(dark ? gfx::Color::white().withAlpha(badgeStrokeAlphaDark)
                                : gfx::Color::black().withAlpha(badgeStrokeAlphaLight));
    context.setLineWidth(badgeStrokeWidth);
    context.stroke(badge);

    const double d = badgeCrossInset * square.width();
    gfx::Path cross;
    cross.moveTo({square.minX() + d, square.minY() + d});
    cross.lineTo({square.maxX() - d, square.maxY() - d});
    cross.moveTo({square.minX() + d, square.maxY() - d});
    cross.lineTo({square.maxX() - d, square.minY() + d});
    gfx::Context::SavedState saved(context);
    context.setStrokeColor(gfx::Color::label().withAlpha(badgeCrossAlpha));
    context.setLineWidth(badgeCrossWidth);
    context.setLineCap(gfx::LineCap::round);
    context.stroke(cross);
}

void MenuBarContentView::drawModule(gfx::Context& context, ModuleKind kind,
                                    const gfx::Rect& moduleRect) {
    auto drawImage = [&](const std::optional<gfx::Image>& image) {
        if (image)
            image->draw(context, moduleRect);
    };
    switch (kind) {
    case ModuleKind::memory:
        drawImage(memoryImage_);
        return;
    case ModuleKind::network:
        drawImage(networkImage_);
        return;
    case ModuleKind::temperature:
        drawImage(temperatureImage_);
        return;
    case ModuleKind::compute:
        drawImage(computeImage_);
        return;
    case ModuleKind::devices:
        drawDevices(context, moduleRect);
        return;
    case ModuleKind::fan:
        drawFan(context, moduleRect);
        return;
    }
}

void MenuBarContentView::drawDevices(gfx::Context& context, const gfx::Rect& moduleRect) {
    const double progress = deviceAttentionProgress_;
    if (progress >= 1) {
        if (devicesImage_)
            devicesImage_->draw(context, moduleRect);
        return;
    }
    const DeviceGlow glow = DeviceGlow::at(progress);
    const gfx::Color accent = accentColor();
    {
        gfx::Context::SavedState saved(context);
        context.setShadow(
            gfx::Shadow{accent.withAlpha(glowShadowAlpha * glow.strength), glowShadowBlur, {0, 0}});
        context.setFillColor(accent.withAlpha(glowFillAlpha * glow.strength));
        const gfx::Rect capsule = moduleRect.insetBy(1, 1);
        const double radius = moduleRect.height() / 2 - 1;
        context.fill(gfx::Path::roundedRect(capsule, radius, radius));
    }
    if (devicesImage_) {
        gfx::ImageDrawOptions options;
        options.fraction = glow.imageFraction();
        devicesImage_->draw(context, glow.imageRect(moduleRect), options);
    }
}

void MenuBarContentView::drawFan(gfx::Context& context, const gfx::Rect& moduleRect) {
    const double g = graphProgress_;
    const std::optional<gfx::Image>& backdrop =
        g <= 0 ? ringBackdrop_ : (g >= 1 ? graphBackdrop_ : transitionBackdrop_);
    if (backdrop)
        backdrop->draw(context, moduleRect);
    if (rotorFrames_.empty())
        return;
    const int index = rotorFrameIndex(phase_.angle(now()), static_cast<int>(rotorFrames_.size()));
    rotorFrames_[static_cast<std::size_t>(index)].draw(context,
                                                       rotorRect(moduleRect, g, heightScale()));
}

void MenuBarContentView::renderRotorFrame(gfx::Context& context, int index, bool dark, bool loaded,
                                          bool peak) {
    const gfx::Color colour = dark ? gfx::Color::white() : gfx::Color::grey(rotorLightGrey);
    const double rotation = 2.0 * index;
    if (loaded) {
        gfx::Context::SavedState saved(context);
        context.setStrokeColor(colour.withAlpha(peak ? rotorArcAlphaPeak : rotorArcAlphaLoaded));
        context.setLineWidth(rotorArcWidth);
        context.setLineCap(gfx::LineCap::round);
        context.stroke(*fanMotionArcs(peak, rotorCentre, rotorRadius, rotation));
    }
    drawFanBlades(context, colour, rotation, rotorBladeAlpha, rotorCentre, rotorRadius);
}

void MenuBarContentView::redrawFanModule() {
    const gfx::Rect fan = rect(ModuleKind::fan);
    if (editingSurfacePresented_ && editingRectAction) {
        editingRectAction(fan);
        return;
    }
    setNeedsDisplayInRect(fan);
}

gfx::Path MenuBarContentView::fanGraphStrokePath(const std::vector<gfx::Point>& points,
                                                 double progress) {
    gfx::Path path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0)
            path.moveTo(points[i]);
        else
            path.lineTo(points[i]);
    }
    path.setLineCap(gfx::LineCap::round);
    path.setLineJoin(gfx::LineJoin::round);
    path.setLineWidth(ringStrokeWidth - graphStrokeThinning * progress);
    return path;
}

} // namespace pulsedeck
