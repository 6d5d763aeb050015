#include "floating/FloatingLiquidView.h"

#include "model/StripLook.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/PassiveStripMaterial.h"

#include <algorithm>

namespace pulsedeck {
namespace {

constexpr int behindWindowBlending = 0;
constexpr int hudWindowMaterial = 13;
constexpr int alwaysActive = 1;

} // namespace

FloatingLiquidView::FloatingLiquidView(const gfx::Rect& frame)
    : ui::View(frame), material_(std::make_shared<PassiveStripMaterial>(bounds())) {
    setWantsLayer(true);
    material_->blendingMode = behindWindowBlending;
    material_->material = hudWindowMaterial;
    material_->state = alwaysActive;
    material_->setAutoresizingMask(ui::Autoresizing::widthSizable |
                                   ui::Autoresizing::heightSizable);
    addSubview(material_);
}

void FloatingLiquidView::applyScene() {
    if (!scene)
        return;
    material_->setAlphaValue(clampedOpacity(opacity));
    std::vector<gfx::Path> paths = scene->outline();
    gfx::Rect extent;
    for (const gfx::Path& path : paths)
        extent = extent.unionWith(path.bounds());
    // The mask covers only the shape; the glass shows nowhere else anyway.
    extent = extent.integral().intersection(bounds());
    material_->maskRect = extent;
    material_->maskImage =
        gfx::Image::withDrawingHandler(extent.size, false,
                                       [paths = std::move(paths), origin = extent.origin](
                                           gfx::Context& context, const gfx::Rect&) {
                                           context.translate(-origin.x, -origin.y);
                                           context.setFillColor(gfx::Color::black());
                                           for (const gfx::Path& path : paths)
                                               context.fill(path);
                                           return true;
                                       });
    material_->setNeedsDisplay(true);
    setNeedsDisplay(true);
}

void FloatingLiquidInkView::drawRect(gfx::Context& context, const gfx::Rect&) {
    if (!scene)
        return;
    const bool dark = effectiveAppearance() == gfx::Appearance::dark;
    scene->draw(context, image ? &*image : nullptr, dark, opacity,
                ui::Workspace::shared().accessibilityDisplayShouldReduceTransparency());
}

} // namespace pulsedeck
