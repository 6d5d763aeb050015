#pragma once

#include "floating/LiquidScene.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/View.h"

#include <memory>
#include <optional>

namespace pulsedeck {

class PassiveStripMaterial;

// The liquid overlay's content: frosted glass masked to the scene's outline. Clicks pass
// through it.
class FloatingLiquidView : public ui::View {
public:
    explicit FloatingLiquidView(const gfx::Rect& frame);

    std::optional<LiquidScene> scene;
    double opacity = 1.0;

    // Re-applies the scene and opacity to the glass: its alpha and the outline as its mask.
    void applyScene();
    const std::shared_ptr<PassiveStripMaterial>& material() const { return material_; }

    View* hitTest(gfx::Point) override { return nullptr; }

private:
    std::shared_ptr<PassiveStripMaterial> material_;
};

// Above the glass: the scene's shadow, tint, rim, the strip's snapshot and the bubble's pop
// ring. Clicks pass through it.
class FloatingLiquidInkView : public ui::View {
public:
    using ui::View::View;

    std::optional<LiquidScene> scene;
    std::optional<gfx::Image> image;
    double opacity = 1.0;

    View* hitTest(gfx::Point) override { return nullptr; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
};

} // namespace pulsedeck
