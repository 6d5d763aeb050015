#pragma once

#include "model/Modules.h"
#include "platform/graphics/Image.h"
#include "platform/toolkit/DirtyRegion.h"
#include "platform/toolkit/View.h"
#include "statusbar/StatusEditingSurface.h"

#include <optional>
#include <vector>

namespace pulsedeck {

// The transparent layer above an editing surface's glass that paints the strip through the
// surface. The pointer passes through it.
//
// A status rebuild asks for the whole strip every second, though most modules keep their
// image. So the layer remembers what it last drew (each module's picture and place, and what
// lies under and around them) and, just before the window draws, narrows such a request to the
// columns of the modules that changed. Marks of any other kind are drawn as they are.
class StripForeground : public ui::View {
public:
    using ui::View::View;

    // The surface that owns this layer; it clears the pointer when it goes away, so a stray
    // reference to the layer never paints through a dead surface.
    StatusEditingSurface* surface = nullptr;

    ui::View* hitTest(gfx::Point) override { return nullptr; }

    // Marks the layer for what changed in the strip since it was last drawn.
    void redrawChanges();
    void setNeedsDisplay(bool flag) override;
    void setNeedsDisplayInRect(const gfx::Rect& rect) override;

    // What the layer shows: the strip's pictures and everything they are drawn with.
    struct Scene {
        struct Module {
            ModuleKind kind = ModuleKind::memory;
            gfx::Rect rect;
            // The picture drawn in the rect (the fan's backdrop) and, for the fan, the rotor
            // frame over it.
            std::optional<gfx::Image> image;
            std::optional<gfx::Image> rotor;
            double graphProgress = 0;
            double heightScale = 1;
            // A turning rotor: another frame at every moment, never the same picture twice.
            bool moving = false;
            bool operator==(const Module& other) const;
        };
        // Sorting, a drag or a device's arrival glow: pictures that move on their own or reach
        // beyond their module. Everything is drawn then.
        bool unsettled = false;
        // What every module is drawn over or with.
        StatusEditingSurface::BackgroundLook background;
        gfx::Appearance appearance = gfx::Appearance::light;
        bool dark = false;
        double stripHeight = 0;
        std::optional<gfx::Rect> highlight;
        double highlightOpacity = 1;
        std::vector<Module> modules;
        bool operator==(const Scene&) const = default;
    };
    // The scene the layer would draw now; none without a surface and owner.
    std::optional<Scene> currentScene() const;
    // The columns (in the layer's bounds) where two scenes differ, 4 pt beyond each changed
    // module either side, as the surface's column redraws are, columns that meet joined; the
    // whole bounds when either is unsettled or what they are drawn over differs.
    static std::vector<gfx::Rect> changedArea(const Scene& before, const Scene& after);

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    void viewWillDraw() override;

private:
    // What the backing shows wherever the layer was drawn; none when unknown.
    std::optional<Scene> shown_;
    // Marks that are drawn whatever changed.
    ui::DirtyRegion kept_;
    // A request to draw only what changed is pending.
    bool checking_ = false;
};

} // namespace pulsedeck
